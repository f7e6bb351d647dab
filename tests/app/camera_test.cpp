// A camera that goes away and comes back while the booth runs, end to end.
#include "booth.h"

using namespace booth;

namespace {

struct Replug {
    const char* name;
    bool onSeriesPage;   // unplugged and plugged in while the series page shows
    bool duringShutter;  // unplugged while Capture's sound plays
    const char* pattern; // of the camera plugged in
    const char* camera;
};

class CameraReplug : public Booth, public ::testing::WithParamInterface<Replug> {};

TEST_P(CameraReplug, TheLivePictureComesBackWithPageFrameAndPhotos)
{
    const Replug& row = GetParam();
    ASSERT_TRUE(ToCapture());
    ASSERT_TRUE(Capture(1));
    dlg->ExecuteCommand("NextPhotoFrame/");
    if (row.onSeriesPage) {
        ASSERT_TRUE(Go(kBack, "Series.htm"));
    }
    if (row.duringShutter) {
        QTimer::singleShot(100, [] { FailTestCameras(true); });
        dlg->ExecuteCommand("Capture/");
    } else {
        FailTestCameras(true);
    }
    ASSERT_TRUE(WaitFor([&] { return !graph->IsDelivering(); }));
    if (!row.onSeriesPage) {
        // Once the frames already on their way are painted, the last picture
        // stays; Capture takes no photo, now or later.
        QTest::qWait(300);
        ASSERT_FALSE(VideoMoves());
        EXPECT_FALSE(ShutterRuns());
    }
    PlugTestCamera(row.pattern, row.camera);
    if (row.onSeriesPage) {
        ASSERT_TRUE(ForwardToCapture());
    }
    EXPECT_TRUE(VideoMoves());
    EXPECT_EQ(graph->DeviceName(), row.camera);
    QTest::qWait(1000);
    EXPECT_EQ(Photos(), 1) << "no photo from a Capture made without a camera";
    EXPECT_EQ(CurrentPage(), "Capture.htm");
    EXPECT_EQ(dlg->FrameWindow().GetFrame(), row.onSeriesPage ? 1001 : 1002);
    ASSERT_TRUE(Capture(2));
}

INSTANTIATE_TEST_SUITE_P(
    Places, CameraReplug,
    ::testing::Values(Replug{"capture_page_same_camera", false, false, "ball", "Pelmora Test Camera"},
                      Replug{"capture_page_other_camera", false, false, "snow", "Second Camera"},
                      Replug{"series_page", true, false, "snow", "Second Camera"},
                      Replug{"during_the_shutter", false, true, "ball", "Pelmora Test Camera"}),
    [](const ::testing::TestParamInfo<Replug>& place) { return std::string(place.param.name); });

TEST_F(Booth, UnpluggedForGoodCancelStillEnds)
{
    ASSERT_TRUE(ToCapture());
    FailTestCameras(true);
    ASSERT_TRUE(WaitFor([&] { return graph->HasFailed(); }));
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    Click("a[href^='pk:Cancel'] img");
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    EXPECT_EQ(finished.at(0).at(0).toInt(), 0);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(TakeMessages().isEmpty());
}

} // namespace
