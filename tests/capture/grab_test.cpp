// Frame delivery: the request flag, the hand-over event, and real frames from
// the running test camera checked against an independently produced picture.
#include "testsupport.h"
#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

namespace pelmora::test {
namespace {

constexpr int kRowBytes = 960;
constexpr int kRows = 240;

TEST(FrameGrabCallback, IdleFramesAreNotDelivered)
{
    CFrameGrabCallback callback;
    FrameRecorder window;
    callback.m_hWndNotify = &window;
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(callback.m_bIdle.load(), 1);
    EXPECT_EQ(callback.BufferCB(0.5, bytes, 4), S_OK);
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_TRUE(window.frames.empty());
}

TEST(FrameGrabCallback, OneRequestGivesOneFrameWithItsOwnCopyOfTheBytes)
{
    CFrameGrabCallback callback;
    FrameRecorder window;
    callback.m_hWndNotify = &window;
    std::vector<std::uint8_t> bytes = {10, 20, 30, 40, 50, 60};

    callback.RequestFrame();
    callback.RequestFrame(); // a second request before the frame changes nothing
    EXPECT_EQ(callback.m_bIdle.load(), 0);
    EXPECT_EQ(callback.BufferCB(1.0, bytes.data(), long(bytes.size())), S_OK);
    EXPECT_EQ(callback.m_bIdle.load(), 1);
    bytes.assign(bytes.size(), 0); // the grabber's buffer is reused at once
    EXPECT_EQ(callback.BufferCB(1.1, bytes.data(), long(bytes.size())), S_OK);

    QCoreApplication::sendPostedEvents(&window);
    ASSERT_EQ(window.frames.size(), 1u);
    EXPECT_EQ(window.frames[0], QByteArray("\x0a\x14\x1e\x28\x32\x3c", 6));
    EXPECT_EQ(CFrameReadyEvent::Type, QEvent::Type(QEvent::User + 1));
}

TEST(FrameGrabCallback, WithoutAWindowThePostFailsAndTheRequestIsUsedUp)
{
    CFrameGrabCallback callback;
    const std::uint8_t bytes[3] = {1, 2, 3};
    callback.RequestFrame();
    EXPECT_EQ(callback.BufferCB(0.0, bytes, 3), E_FAIL);
    EXPECT_EQ(callback.m_bIdle.load(), 1);
    EXPECT_EQ(callback.BufferCB(0.0, bytes, 3), S_OK);

    // A window that went away counts as none.
    auto* window = new FrameRecorder;
    callback.m_hWndNotify = window;
    delete window;
    callback.RequestFrame();
    EXPECT_EQ(callback.BufferCB(0.0, bytes, 3), E_FAIL);
}

// The test camera's picture at 320x240, made by a pipeline of its own: the
// same source and format, converted straight to top-down BGR rows.
QByteArray ReferencePicture(const char* pattern)
{
    const QByteArray description =
        QByteArray("videotestsrc num-buffers=1 pattern=") + pattern +
        " ! video/x-raw,format=YUY2,width=320,height=240,framerate=30/1 ! videoconvert"
        " ! video/x-raw,format=BGR,width=320,height=240 ! appsink name=out sync=false";
    GstElementPtr pipeline = AdoptElement(gst_parse_launch(description.constData(), nullptr));
    if (!pipeline)
        return {};
    GstElementPtr sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "out"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    GstSamplePtr sample(gst_app_sink_pull_sample(GST_APP_SINK(sink.get())));
    QByteArray picture;
    if (sample) {
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample.get());
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            picture = QByteArray(reinterpret_cast<const char*>(map.data), qsizetype(map.size));
            gst_buffer_unmap(buffer, &map);
        }
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return picture;
}

int LargestDifference(const char* a, const char* b, int count)
{
    int largest = 0;
    for (int i = 0; i < count; ++i)
        largest = std::max(largest, std::abs(int(uchar(a[i])) - int(uchar(b[i]))));
    return largest;
}

class RunningTestCamera : public ::testing::Test {
protected:
    void SetUp() override
    {
        callback.m_hWndNotify = &window;
        ASSERT_EQ(BuildCaptureGraph(&graph, &callback, Category({TestCamera("smpte")})), S_OK);
        video = graph->VideoWindow();
        ASSERT_NE(video, nullptr);
        ASSERT_TRUE(graph->Run());
        ASSERT_TRUE(WaitFor([&] { return video->ReceivedFrames() > 0; }));
    }

    // Lets the camera run on for a number of renderer frames: the frames
    // themselves are the clock, so the check does not depend on speed.
    bool RunFrames(std::uint64_t frames)
    {
        const std::uint64_t until = video->ReceivedFrames() + frames;
        return WaitFor([&] { return video->ReceivedFrames() >= until; });
    }

    CFrameGrabCallback callback;
    FrameRecorder window;
    std::unique_ptr<CCaptureGraph> graph;
    CVideoWindow* video = nullptr;
};

TEST_F(RunningTestCamera, RequestedFrameIsStoredBottomRowFirst)
{
    callback.RequestFrame();
    ASSERT_TRUE(WaitFor([&] { return !window.frames.empty(); }));
    const QByteArray& frame = window.frames.front();
    ASSERT_EQ(frame.size(), 230400);

    const QByteArray reference = ReferencePicture("smpte");
    ASSERT_EQ(reference.size(), 230400);
    // The pattern's top (colour bars) and bottom (patches) differ, so a frame
    // stored top row first could not pass. The bottom right of the pattern is
    // noise, different in every frame: rows are compared over their left 200
    // pixels.
    constexpr int kCompared = 600;
    ASSERT_GT(LargestDifference(reference.constData(), reference.constData() + 239 * kRowBytes,
                                kCompared),
              100);
    for (int row = 0; row < kRows; ++row)
        ASSERT_LE(LargestDifference(frame.constData() + row * kRowBytes,
                                    reference.constData() + (kRows - 1 - row) * kRowBytes,
                                    kCompared),
                  3)
            << "stored row " << row;

    // The picture's top-left is the white bar; its bottom-left a dark blue patch.
    const auto* top = reinterpret_cast<const uchar*>(frame.constData()) + 239 * kRowBytes;
    const auto* bottom = reinterpret_cast<const uchar*>(frame.constData());
    for (int channel = 0; channel < 3; ++channel)
        EXPECT_GT(top[channel], 240);
    EXPECT_GT(bottom[0], 60); // blue
    EXPECT_LT(bottom[2], 20); // red
}

TEST_F(RunningTestCamera, TwoRequestsBeforeAFrameGiveOneFrame)
{
    callback.RequestFrame();
    callback.RequestFrame();
    ASSERT_TRUE(WaitFor([&] { return !window.frames.empty(); }));
    ASSERT_TRUE(RunFrames(10));
    EXPECT_EQ(window.frames.size(), 1u);

    // A later request is answered again, once.
    callback.RequestFrame();
    ASSERT_TRUE(WaitFor([&] { return window.frames.size() == 2; }));
    ASSERT_TRUE(RunFrames(10));
    EXPECT_EQ(window.frames.size(), 2u);
}

TEST_F(RunningTestCamera, NothingIsPostedWhileIdle)
{
    ASSERT_TRUE(RunFrames(15));
    EXPECT_TRUE(window.frames.empty());
    EXPECT_EQ(callback.m_bIdle.load(), 1);
}

TEST_F(RunningTestCamera, RendererFramesReachTheVideoWindowUpright)
{
    QWidget owner;
    owner.resize(800, 600);
    video->put_Owner(&owner);
    video->SetWindowPosition(69, 120, 412, 308);
    video->put_Visible(true);
    owner.show();
    ASSERT_TRUE(WaitFor([&] { return video->PaintedFrames() >= 3; }));

    const QImage frame = video->CurrentFrame();
    ASSERT_EQ(frame.size(), QSize(320, 240));
    const QColor topLeft = frame.pixelColor(0, 0);
    EXPECT_GT(topLeft.red(), 240);
    EXPECT_GT(topLeft.green(), 240);
    EXPECT_GT(topLeft.blue(), 240);
    // The bottom band of the pattern starts with a dark blue patch.
    const QColor bottomLeft = frame.pixelColor(0, 239);
    EXPECT_LT(bottomLeft.red(), 20);
    EXPECT_GT(bottomLeft.blue(), 60);
    video->put_Owner(nullptr);
}

TEST_F(RunningTestCamera, BusErrorStopsTheGraphAndKeepsTheLastPicture)
{
    GstElementPtr source = ChildNamed(graph.get(), "CaptureDevice");
    GError* error =
        g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Camera was unplugged");
    gst_element_post_message(source.get(),
                             gst_message_new_error(GST_OBJECT(source.get()), error, "test"));
    g_error_free(error);

    ASSERT_TRUE(WaitFor([&] { return graph->HasFailed(); }));
    EXPECT_FALSE(graph->IsRunning());
    EXPECT_EQ(CurrentState(graph->Pipeline()), GST_STATE_NULL);
    EXPECT_EQ(graph->LastError(), "Camera was unplugged");
    EXPECT_FALSE(video->CurrentFrame().isNull());

    // Stopped means stopped: once what was already on its way is handled, no
    // frame arrives and a request goes unanswered; nothing hangs.
    QCoreApplication::processEvents();
    const std::uint64_t received = video->ReceivedFrames();
    callback.RequestFrame();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.frames.empty());
    EXPECT_EQ(video->ReceivedFrames(), received);
}

} // namespace
} // namespace pelmora::test

namespace pelmora::test {
namespace {

TEST(CaptureGraphStream, CameraThatStopsDeliveringLeavesTheGraphStopped)
{
    // A camera whose stream ends by itself after a few frames, from its own
    // streaming thread, as a driver giving up would.
    CFrameGrabCallback callback;
    FrameRecorder window;
    callback.m_hWndNotify = &window;
    std::unique_ptr<CCaptureGraph> graph;
    ASSERT_EQ(BuildCaptureGraph(&graph, &callback, Category({[] {
                  return std::make_unique<FactoryCaptureDevice>("Short Camera", "videotestsrc",
                                                                "is-live=true num-buffers=5",
                                                                TestCameraCapabilities());
              }})),
              S_OK);
    CVideoWindow* video = graph->VideoWindow();
    ASSERT_TRUE(graph->Run());
    ASSERT_TRUE(WaitFor([&] { return graph->HasFailed(); }));
    EXPECT_FALSE(graph->IsRunning());
    EXPECT_EQ(CurrentState(graph->Pipeline()), GST_STATE_NULL);
    QCoreApplication::processEvents();
    EXPECT_GE(video->ReceivedFrames(), 1u);
    EXPECT_LE(video->ReceivedFrames(), 5u);
    EXPECT_FALSE(video->CurrentFrame().isNull());
}

} // namespace
} // namespace pelmora::test
