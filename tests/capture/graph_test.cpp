// The capture graph, its frames checked against an independent pipeline, and the video window.
#include "framegrab.h"
#include "testsupport.h"
#include "videowindow.h"
#include <gst/app/gstappsink.h>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace pelmora::test {
namespace {

class FrameRecorder : public QObject {
public:
    std::vector<QByteArray> frames;
    bool event(QEvent* event) override
    {
        if (event->type() != CFrameReadyEvent::Type)
            return QObject::event(event);
        frames.push_back(static_cast<CFrameReadyEvent*>(event)->Frame());
        return true;
    }
};

constexpr HRESULT kBusy = HRESULT(0x800700AAu);
constexpr HRESULT kNoDriver = HRESULT(0x80040154u);
constexpr int kRowBytes = 960, kRows = 240, kFrameBytes = 230400;

DeviceFactory Unbindable(HRESULT hr)
{
    return [hr] { return std::make_unique<ScriptedCamera>([hr](GstElementPtr*) { return hr; }, QByteArray()); };
}

class CaptureGraph : public ::testing::Test {
protected:
    HRESULT Build(std::vector<DeviceFactory> devices)
    {
        callback.m_hWndNotify = &window;
        return BuildCaptureGraph(&graph, &callback, Category(std::move(devices)));
    }
    bool GrabOne()
    {
        callback.RequestFrame();
        return WaitFor([&] { return !window.frames.empty(); });
    }
    void ExpectStoppedWithPicture(CVideoWindow* video)
    {
        ASSERT_TRUE(WaitFor([&] { return graph->HasFailed(); }));
        EXPECT_FALSE(graph->IsRunning());
        EXPECT_EQ(GST_STATE(graph->Pipeline()), GST_STATE_NULL);
        EXPECT_FALSE(video->CurrentFrame().isNull());
    }
    CFrameGrabCallback callback;
    FrameRecorder window;
    std::unique_ptr<CCaptureGraph> graph;
};

struct BuildRow {
    const char* name;
    std::vector<DeviceFactory> devices;
    HRESULT result;
    const char* caps; // the capability set; "": none
};

class CaptureGraphBuild : public CaptureGraph, public ::testing::WithParamInterface<BuildRow> {};

TEST_P(CaptureGraphBuild, ResultCapabilityAndGrabberLink)
{
    const BuildRow& row = GetParam();
    EXPECT_EQ(Build(row.devices), row.result);
    ASSERT_TRUE(graph && graph->Pipeline()) << "the graph is handed over even when building fails";
    if (row.result == S_FALSE) {
        EXPECT_EQ(GST_BIN(graph->Pipeline())->numchildren, 0);
    }
    GstElementPtr grabber = ChildNamed(graph.get(), "SampleGrabber");
    GstPadPtr input(grabber ? gst_element_get_static_pad(grabber.get(), "sink") : nullptr);
    EXPECT_EQ(input && gst_pad_is_linked(input.get()), row.result == S_OK) << "nothing is left half-connected";
    GstElementPtr format = ChildNamed(graph.get(), "CaptureFormat");
    ASSERT_EQ(bool(format), *row.caps != 0);
    if (!format)
        return;
    GstCaps* chosen = nullptr;
    g_object_get(format.get(), "caps", &chosen, nullptr);
    GstCapsPtr owned(chosen), expected(gst_caps_from_string(row.caps));
    EXPECT_TRUE(gst_caps_is_equal(chosen, expected.get())) << GCharPtr(gst_caps_to_string(chosen)).get();
}

const char* const kNoPhotoSize = "video/x-raw, format=YUY2, width=640, height=480, framerate=30/1; "
                                 "video/x-raw, format=YUY2, width=176, height=144, framerate=30/1";
// No converter turns H.264 into raw video: the I420 entry after it is chosen.
const char* const kH264First = "video/x-raw, format=YUY2, width=640, height=480, framerate=30/1; "
                               "video/x-h264, width=320, height=240, framerate=30/1; "
                               "video/x-raw, format=I420, width=320, height=240, framerate={ 15/1, 30/1, 5/1 }";

INSTANTIATE_TEST_SUITE_P(Cameras, CaptureGraphBuild, ::testing::Values(
    BuildRow{"empty", {}, S_FALSE, ""},
    BuildRow{"failing_cameras_skipped",
             {FakeCamera(TestCameraCapabilities(), "no-such-element-factory", "Missing"), Unbindable(kBusy),
              TestCamera()}, S_OK, "video/x-raw, format=YUY2, width=320, height=240, framerate=30/1"},
    BuildRow{"last_failure_returned", {Unbindable(kBusy), Unbindable(kNoDriver)}, kNoDriver, ""},
    BuildRow{"uncreatable_element", {Unbindable(kNoDriver), FakeCamera(TestCameraCapabilities(), "no-such")},
             E_FAIL, ""},
    BuildRow{"no_photo_size", {FakeCamera(kNoPhotoSize)}, E_FAIL, ""},
    BuildRow{"later_capability", {FakeCamera(kH264First)}, S_OK,
             "video/x-raw, format=I420, width=320, height=240, framerate=30/1"},
    BuildRow{"no_match_connects", {FakeCamera("video/x-h264, width=320, height=240, framerate=30/1")}, E_FAIL, ""},
    BuildRow{"own_format_without_capabilities", {FakeCamera(QString())}, S_OK, ""}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(CaptureCapabilities, PhotoSizeIsFoundInValuesListsAndRanges)
{
    const std::pair<const char*, bool> rows[] = {
        {"video/x-raw, format=YUY2, width=320, height=240", true},
        {"video/x-raw, format=YUY2, width={ 640, 320 }, height={ 480, 240 }", true},
        {"video/x-raw, format=YUY2, width=[ 160, 640 ], height=[ 120, 480 ]", true},
        {"video/x-raw, format=YUY2, width=320, height=288", false},
        {"video/x-raw, format=YUY2, width=[ 640, 1280 ], height=[ 120, 480 ]", false},
        {"video/x-raw, format=YUY2", false},
    };
    ASSERT_TRUE(EnsureGStreamer());
    for (const auto& [text, offers] : rows) {
        GstCapsPtr caps(gst_caps_from_string(text));
        EXPECT_EQ(OffersPhotoSize(gst_caps_get_structure(caps.get(), 0)), offers) << text;
    }
}

TEST_F(CaptureGraph, MotionJpegCameraIsDecodedToPhotosOfTheRightSize)
{
    ASSERT_EQ(Build({BinCamera("videotestsrc is-live=true ! jpegenc",
                               "image/jpeg, width=640, height=480, framerate=30/1; "
                               "image/jpeg, width=320, height=240, framerate={ 30/1, 15/1 }")}), S_OK);
    EXPECT_TRUE(ChildNamed(graph.get(), "CaptureDecoder"));
    ASSERT_TRUE(graph->Run());
    ASSERT_TRUE(GrabOne());
    EXPECT_EQ(window.frames.front().size(), kFrameBytes);
}

TEST(CaptureDevices, TestCameraComesFirstWhenAskedForAndPicksItsPattern)
{
    for (const char* off : std::initializer_list<const char*>{"", nullptr}) {
        off ? qputenv("PELMORA_TEST_CAMERA", off) : qunsetenv("PELMORA_TEST_CAMERA");
        for (const auto& device : EnumerateSystemCaptureDevices())
            EXPECT_NE(device->DisplayName(), "Pelmora Test Camera");
    }
    const std::pair<const char*, const char*> rows[] = {{"snow", "snow"}, {"1", "smpte"}, {"no-such-pattern", "smpte"}};
    for (const auto& [value, pattern] : rows) {
        qputenv("PELMORA_TEST_CAMERA", value);
        CaptureDeviceList devices = SystemCaptureDevices()();
        ASSERT_FALSE(devices.empty());
        EXPECT_EQ(devices.front()->DisplayName(), "Pelmora Test Camera");
        GstElementPtr element;
        ASSERT_EQ(devices.front()->Bind(&element), S_OK);
        gboolean live = FALSE;
        g_object_get(element.get(), "is-live", &live, nullptr);
        EXPECT_TRUE(live);
        EXPECT_STREQ(PatternNick(element.get()), pattern) << value;
        gst_element_set_state(element.get(), GST_STATE_NULL);
    }
    qunsetenv("PELMORA_TEST_CAMERA");
}

TEST(CaptureDevices, OneCameraIsKnownByItsDeviceNodeWhateverElseItsEntriesSay)
{
    ASSERT_TRUE(EnsureGStreamer());
    static const GType type = g_type_register_static_simple(GST_TYPE_DEVICE, "PelmoraTestEntry", sizeof(GstDeviceClass),
                                                            nullptr, sizeof(GstDevice), nullptr, GTypeFlags(0));
    auto entry = [](const char* name, const char* properties) {
        GstStructurePtr fields(gst_structure_from_string(properties, nullptr));
        return GstDevicePtr(GST_DEVICE(gst_object_ref_sink(
            g_object_new(type, "display-name", name, "properties", fields.get(), nullptr))));
    };
    const std::tuple<const char*, const char*, const char*, bool> rows[] = {
        // A one-off V4L2 probe's entry and the running monitor's, for one node and for two.
        {"v4l2-proplist, device.path=/dev/video0, udev-probed=false", "Cam",
         "v4l2deviceprovider, udev-probed=true, sysfs.path=/sys/x, device.path=/dev/video0", true},
        {"v4l2-proplist, device.path=/dev/video0", "Cam", "v4l2-proplist, device.path=/dev/video1", false},
        {"pipewire-proplist, api.v4l2.path=/dev/video2, object.id=40", "Cam", "pipewire-proplist, api.v4l2.path=/dev/video2, object.id=41", true},
        // Without a node: the name and every property.
        {"x, serial=1", "Cam", "x, serial=1", true},
        {"x, serial=1", "Cam", "x, serial=2", false},
        {"x, serial=1", "Other", "x, serial=1", false},
    };
    for (const auto& [first, name, second, same] : rows)
        EXPECT_EQ(SameDevice(entry("Cam", first).get(), entry(name, second).get()), same) << first << " | " << second;
}

TEST(FrameGrabCallback, OneRequestGivesOneOwnCopyAndNoWindowFailsTheRequest)
{
    CFrameGrabCallback callback;
    auto* window = new FrameRecorder;
    callback.m_hWndNotify = window;
    std::vector<std::uint8_t> bytes = {10, 20, 30, 40, 50, 60};
    EXPECT_EQ(callback.BufferCB(0.5, bytes.data(), 6), S_OK) << "idle: not delivered";
    callback.RequestFrame();
    callback.RequestFrame();
    EXPECT_EQ(callback.BufferCB(1.0, bytes.data(), 6), S_OK);
    bytes.assign(6, 0); // the grabber's buffer is reused at once
    EXPECT_EQ(callback.BufferCB(1.1, bytes.data(), 6), S_OK);
    QCoreApplication::sendPostedEvents(window);
    EXPECT_EQ(window->frames, std::vector<QByteArray>{QByteArray("\x0a\x14\x1e\x28\x32\x3c", 6)});

    delete window;
    callback.RequestFrame();
    EXPECT_EQ(callback.BufferCB(0.0, bytes.data(), 3), E_FAIL) << "a window that went away counts as none";
    EXPECT_EQ(callback.BufferCB(0.0, bytes.data(), 3), S_OK) << "the request is used up";
}

// The test camera's picture at 320x240 from a pipeline of its own, as top-down BGR rows.
QByteArray ReferencePicture(const char* pattern)
{
    const QByteArray description =
        QByteArray("videotestsrc num-buffers=1 pattern=") + pattern +
        " ! video/x-raw,format=YUY2,width=320,height=240,framerate=30/1 ! videoconvert"
        " ! video/x-raw,format=BGR,width=320,height=240 ! appsink name=out sync=false";
    GstElementPtr pipeline = AdoptElement(gst_parse_launch(description.constData(), nullptr));
    GstElementPtr sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "out"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    GstSamplePtr sample(gst_app_sink_pull_sample(GST_APP_SINK(sink.get())));
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
    QByteArray picture(buffer ? qsizetype(gst_buffer_get_size(buffer)) : 0, '\0');
    if (buffer)
        gst_buffer_extract(buffer, 0, picture.data(), size_t(picture.size()));
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

TEST_F(CaptureGraph, TestCameraFromBuildToLoss)
{
    ASSERT_EQ(Build({TestCamera("smpte")}), S_OK);
    EXPECT_EQ(graph->DeviceName(), "Pelmora Test Camera");
    EXPECT_FALSE(graph->IsRunning());
    EXPECT_EQ(GST_STATE(graph->Pipeline()), GST_STATE_READY) << "built, not yet started";
    guint maxBuffers = 0;
    gboolean drop = FALSE, sync = TRUE;
    g_object_get(ChildNamed(graph.get(), "VideoRenderer").get(), "max-buffers", &maxBuffers, "drop", &drop,
                 "sync", &sync, nullptr);
    EXPECT_TRUE(maxBuffers == 1 && drop && !sync);
    CVideoWindow* video = graph->VideoWindow();
    ASSERT_TRUE(video && graph->Run());

    // Detached, the video window is hidden and no longer the owner's child, which would delete it.
    {
        QWidget owner;
        owner.resize(800, 600);
        owner.show();
        video->put_Owner(&owner);
        video->SetWindowPosition(69, 120, 412, 308);
        EXPECT_TRUE(video->parentWidget() == &owner && !video->isWindow());
        EXPECT_FALSE(video->isVisible());
        video->put_Visible(true);
        ASSERT_TRUE(WaitFor([&] { return video->PaintedFrames() >= 3; }));
        const QImage frame = video->CurrentFrame();
        ASSERT_EQ(frame.size(), QSize(320, 240));
        // The white bar top left; the bottom band starts with a dark blue patch.
        const QColor topLeft = frame.pixelColor(0, 0), bottomLeft = frame.pixelColor(0, 239);
        EXPECT_GT(std::min({topLeft.red(), topLeft.green(), topLeft.blue()}), 240);
        EXPECT_LT(bottomLeft.red(), 20);
        EXPECT_GT(bottomLeft.blue(), 60);
        video->put_Owner(nullptr);
        EXPECT_EQ(video->parentWidget(), nullptr);
        EXPECT_FALSE(video->isVisible());
    }

    // Stored bottom row first (top and bottom differ); the bottom right is noise: 200 pixels compared.
    ASSERT_TRUE(GrabOne());
    const QByteArray frame = window.frames.front();
    ASSERT_EQ(frame.size(), kFrameBytes);
    const QByteArray reference = ReferencePicture("smpte");
    ASSERT_EQ(reference.size(), kFrameBytes);
    constexpr int kCompared = 600;
    ASSERT_GT(LargestDifference(reference.constData(), reference.constData() + 239 * kRowBytes, kCompared), 100);
    for (int row = 0; row < kRows; ++row)
        ASSERT_LE(LargestDifference(frame.constData() + row * kRowBytes,
                                    reference.constData() + (kRows - 1 - row) * kRowBytes, kCompared), 3)
            << "stored row " << row;

    graph->StartWatching();
    GstElementPtr source = ChildNamed(graph.get(), "CaptureDevice");
    GstPadPtr pad(gst_element_get_static_pad(source.get(), "src"));
    const gulong stall = gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM,
                                           [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_OK; },
                                           nullptr, nullptr);
    QTest::qWait(300); // what was on its way has passed
    callback.RequestFrame();
    QTest::qWait(1800); // past the one second after which a silent camera counts as stalled
    gst_pad_remove_probe(pad.get(), stall);
    // The renderer's frames are the clock, so no check depends on speed.
    const std::uint64_t until = video->ReceivedFrames() + 10;
    ASSERT_TRUE(WaitFor([&] { return video->ReceivedFrames() >= until; }));
    EXPECT_EQ(window.frames.size(), 1u) << "a request made during a stall is dropped, not answered on waking";

    GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Camera was unplugged");
    gst_element_post_message(source.get(), gst_message_new_error(GST_OBJECT(source.get()), error, "test"));
    g_error_free(error);
    ExpectStoppedWithPicture(video);
    EXPECT_EQ(graph->LastError(), "Camera was unplugged");
    QCoreApplication::processEvents();
    const std::uint64_t received = video->ReceivedFrames();
    callback.RequestFrame();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.frames.size(), 1u);
    EXPECT_EQ(video->ReceivedFrames(), received);
}

TEST_F(CaptureGraph, CameraThatStopsDeliveringLeavesTheGraphStopped)
{
    // The stream ends by itself from its own streaming thread, as a driver giving up would.
    ASSERT_EQ(Build({FakeCamera(TestCameraCapabilities(), "videotestsrc", "Short", "is-live=true num-buffers=5")}), S_OK);
    CVideoWindow* video = graph->VideoWindow(); // made on first use: frames before it are not shown
    ASSERT_TRUE(graph->Run());
    ExpectStoppedWithPicture(video);
    QCoreApplication::processEvents();
    EXPECT_LE(video->ReceivedFrames(), 5u);
}

TEST(VideoWindow, PaintsTheLatestFrameScaledToItsSize)
{
    QImage frame(320, 240, QImage::Format_RGB32);
    frame.fill(QColor(0, 0, 255));
    QPainter(&frame).fillRect(0, 0, 320, 120, QColor(255, 0, 0));
    CVideoWindow video;
    video.SetWindowPosition(0, 0, 412, 308);
    video.show();
    EXPECT_EQ(video.grab().toImage().pixelColor(20, 15), QColor(0, 0, 0)) << "black without a frame";
    EXPECT_EQ(video.PaintedFrames(), 0u);
    video.ShowFrame(frame);
    video.ShowFrame(frame); // replaced before any paint: painted once
    EXPECT_EQ(video.ReceivedFrames(), 2u);

    const QImage shown = video.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(412, 308));
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(406, 150), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(406, 302), QColor(0, 0, 255));
    EXPECT_EQ(video.PaintedFrames(), 1u);
    video.grab(); // an expose repaints the same frame: not a new one
    EXPECT_EQ(video.PaintedFrames(), 1u);
    video.ShowFrame(frame);
    video.grab();
    EXPECT_EQ(video.PaintedFrames(), 2u);
}

} // namespace
} // namespace pelmora::test
