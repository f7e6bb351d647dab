// Cameras that go away and come back while the booth runs, end to end, also as GStreamer's V4L2 provider hands
// them out.
#include "booth.h"

using namespace booth;

namespace {

enum When { kBeforeCapturePage, kOnSeriesPage, kOnCapturePage, kDuringShutter, kDuringConfigure };

struct Replug {
    const char* name;
    TestCameraStyle style;
    When when;           // the camera is unplugged, and another plugged in after it
    const char* pattern; // of the camera plugged in
    const char* camera;
    TestCameraTraits traits = {};
    bool failedStaysListed = false; // the camera unplugged fails but stays in the device list
    bool pluggedBefore = false;     // the camera plugged in comes before the other goes
};

class CameraReplug : public Booth, public ::testing::WithParamInterface<Replug> {
    void PlugStartCameras() override
    {
        SetTestCameraStyle(GetParam().style);
        PlugTestCamera();
    }
};

TEST_P(CameraReplug, TheLivePictureComesBackWithPageFrameAndPhotos)
{
    const Replug& row = GetParam();
    const bool early = row.when == kBeforeCapturePage, onSeries = row.when == kOnSeriesPage;
    ASSERT_TRUE(early ? Go(kNext, "Layout.htm") : ToCapture());
    const int photos = early ? 0 : 1;
    if (!early) {
        ASSERT_TRUE(Capture(1));
        dlg->ExecuteCommand("NextPhotoFrame/");
    }
    if (onSeries) {
        ASSERT_TRUE(Go(kBack, "Series.htm"));
    }
    if (row.pluggedBefore) {
        PlugTestCamera(row.pattern, row.camera, row.traits);
    }
    const auto unplug = [&] { FailTestCameras(!row.failedStaysListed, "Pelmora Test Camera"); };
    bool sheetLeftOpen = false;
    if (row.when == kDuringShutter) {
        QTimer::singleShot(100, unplug);
        dlg->ExecuteCommand("Capture/");
    } else if (row.when == kDuringConfigure) {
        // The camera's own sheet closes with it.
        HandleDialogsWith([&](QDialog* sheet) {
            unplug();
            QTimer::singleShot(5000, sheet, [&, sheet] {
                sheetLeftOpen = true;
                sheet->reject();
            });
        });
        dlg->ExecuteCommand("Configure/");
        EXPECT_FALSE(sheetLeftOpen);
    } else {
        unplug();
    }
    if (!early && !row.pluggedBefore) {
        ASSERT_TRUE(WaitFor([&] { return !graph->IsDelivering(); }));
    }
    if (!early && !onSeries && !row.pluggedBefore) {
        // Once the frames already on their way are painted, the last picture
        // stays; Capture takes no photo, now or later.
        QTest::qWait(300);
        ASSERT_FALSE(VideoMoves());
        EXPECT_FALSE(ShutterRuns());
    }
    if (!row.pluggedBefore) {
        PlugTestCamera(row.pattern, row.camera, row.traits);
    }
    if (early) {
        Select(0);
        ASSERT_TRUE(Go(kNext, "Series.htm"));
    }
    if (early || onSeries) {
        ASSERT_TRUE(ForwardToCapture());
    }
    ASSERT_TRUE(WaitFor([&] { return graph->DeviceName() == row.camera; }));
    EXPECT_EQ(Photos(), photos) << "no photo from a Capture made without a camera";
    // Right after the camera came: a photo from it, or a beep, never a shutter alone.
    const bool shutter = ShutterRuns();
    EXPECT_EQ(WaitFor([&] { return Photos() > photos; }, 2000), shutter);
    EXPECT_TRUE(VideoMoves(8000));
    EXPECT_EQ(CurrentPage(), "Capture.htm");
    EXPECT_EQ(dlg->FrameWindow().GetFrame(), early || onSeries ? 1001 : 1002);
    ASSERT_TRUE(Capture(Photos() + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Places, CameraReplug,
    ::testing::Values(Replug{"capture_page_same_camera", TestCameraStyle::Shared, kOnCapturePage, "ball", "Pelmora Test Camera"},
                      Replug{"capture_page_other_camera", TestCameraStyle::Shared, kOnCapturePage, "snow", "Second Camera"},
                      Replug{"series_page", TestCameraStyle::Shared, kOnSeriesPage, "snow", "Second Camera"},
                      Replug{"during_the_shutter", TestCameraStyle::Shared, kDuringShutter, "ball", "Pelmora Test Camera"},
                      Replug{"v4l2_before_the_capture_page", TestCameraStyle::V4l2, kBeforeCapturePage, "ball", "Pelmora Test Camera"},
                      Replug{"v4l2_failed_before_the_capture_page", TestCameraStyle::V4l2, kBeforeCapturePage, "snow", "Second Camera", {}, true},
                      Replug{"v4l2_series_page", TestCameraStyle::V4l2, kOnSeriesPage, "ball", "Pelmora Test Camera"},
                      Replug{"v4l2_listed_camera_slow_first_frame", TestCameraStyle::V4l2, kOnCapturePage, "snow", "Second Camera", {0, 1500}, false, true},
                      Replug{"v4l2_busy_at_first", TestCameraStyle::V4l2, kOnCapturePage, "snow", "Second Camera", {1500, 0}},
                      Replug{"v4l2_during_configure", TestCameraStyle::V4l2, kDuringConfigure, "ball", "Pelmora Test Camera"}),
    [](const ::testing::TestParamInfo<Replug>& place) { return std::string(place.param.name); });

// A camera that is listed and opens but cannot stream is passed over for the next.
class BusyCameraFirst : public Booth {
    void PlugStartCameras() override
    {
        SetTestCameraStyle(TestCameraStyle::V4l2);
        PlugTestCamera("snow", "Busy Camera", {-1, 0});
        PlugTestCamera();
    }
};

TEST_F(BusyCameraFirst, TheNextCameraShowsAndTakesThePhotos)
{
    ASSERT_TRUE(ToCapture());
    EXPECT_TRUE(VideoMoves());
    EXPECT_EQ(graph->DeviceName(), "Pelmora Test Camera");
    ASSERT_TRUE(Capture(1));
}

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
