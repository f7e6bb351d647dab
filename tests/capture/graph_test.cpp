// Finding the camera and building the graph: result codes, the choice of
// camera and capability, and the shape of the pipeline left behind.
#include "testsupport.h"
#include <gtest/gtest.h>

namespace pelmora::test {
namespace {

constexpr HRESULT kBusy = HRESULT(0x800700AAu);     // "the resource is in use"
constexpr HRESULT kNoDriver = HRESULT(0x80040154u); // "class not registered"

TEST(CaptureDeviceSearch, EmptyCategoryGivesSFalseAndStillHandsOverTheGraph)
{
    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback callback;
    EXPECT_EQ(BuildCaptureGraph(&graph, &callback, Category({})), S_FALSE);
    ASSERT_TRUE(graph);
    ASSERT_NE(graph->Pipeline(), nullptr);
    EXPECT_EQ(GST_BIN(graph->Pipeline())->numchildren, 0);

    GstElementPtr element;
    std::unique_ptr<CaptureDevice> device;
    EXPECT_EQ(FindCaptureDevice(Category({}), &element, &device), S_FALSE);
    EXPECT_FALSE(element);
}

TEST(CaptureDeviceSearch, CameraThatFailsToBindIsSkipped)
{
    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback callback;
    const HRESULT hr = BuildCaptureGraph(
        &graph, &callback,
        Category({FakeCamera(TestCameraCapabilities(), "no-such-element-factory", "Missing"),
                  [] { return std::make_unique<UnbindableDevice>(kBusy); }, TestCamera()}));
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(graph->DeviceName(), "Pelmora Test Camera");
    GstElementPtr source = ChildNamed(graph.get(), "CaptureDevice");
    ASSERT_TRUE(source);
    GstElementFactory* factory = gst_element_get_factory(source.get());
    EXPECT_STREQ(GST_OBJECT_NAME(factory), "videotestsrc");
}

TEST(CaptureDeviceSearch, WhenNoCameraBindsTheLastFailureIsReturned)
{
    CFrameGrabCallback callback;
    std::unique_ptr<CCaptureGraph> graph;
    EXPECT_EQ(
        BuildCaptureGraph(&graph, &callback,
                          Category({[] { return std::make_unique<UnbindableDevice>(kBusy); },
                                    [] { return std::make_unique<UnbindableDevice>(kNoDriver); }})),
        kNoDriver);
    ASSERT_TRUE(graph) << "the graph is handed over even when building fails";

    // An element that cannot be created is a binding failure too.
    EXPECT_EQ(BuildCaptureGraph(
                  &graph, &callback,
                  Category({[] { return std::make_unique<UnbindableDevice>(kNoDriver); },
                            FakeCamera(TestCameraCapabilities(), "no-such-element-factory")})),
              E_FAIL);
    EXPECT_LT(E_FAIL, 0);
    EXPECT_EQ(uint32_t(E_FAIL), 0x80004005u);
}

TEST(CaptureCapabilities, PhotoSizeIsFoundInValuesListsAndRanges)
{
    struct Row {
        const char* caps;
        bool offers;
    } rows[] = {
        {"video/x-raw, format=YUY2, width=320, height=240", true},
        {"video/x-raw, format=YUY2, width={ 640, 320 }, height={ 480, 240 }", true},
        {"video/x-raw, format=YUY2, width=[ 160, 640 ], height=[ 120, 480 ]", true},
        {"image/jpeg, width=320, height=240", true},
        {"video/x-raw, format=YUY2, width=352, height=288", false},
        {"video/x-raw, format=YUY2, width=320, height=288", false},
        {"video/x-raw, format=YUY2, width=[ 640, 1280 ], height=[ 120, 480 ]", false},
        {"video/x-raw, format=YUY2", false},
    };
    ASSERT_TRUE(EnsureGStreamer());
    for (const Row& row : rows) {
        GstCapsPtr caps(gst_caps_from_string(row.caps));
        ASSERT_TRUE(caps) << row.caps;
        EXPECT_EQ(OffersPhotoSize(gst_caps_get_structure(caps.get(), 0)), row.offers) << row.caps;
    }
}

TEST(CaptureCapabilities, CameraWithoutThePhotoSizeFailsWithEFail)
{
    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback callback;
    EXPECT_EQ(
        BuildCaptureGraph(&graph, &callback,
                          Category({FakeCamera("video/x-raw, format=YUY2, width=640, height=480, "
                                               "framerate=30/1; video/x-raw, format=YUY2, "
                                               "width=176, height=144, framerate=30/1")})),
        E_FAIL);
    // Nothing is left half-connected to the grabber.
    GstElementPtr grabber = ChildNamed(graph.get(), "SampleGrabber");
    ASSERT_TRUE(grabber);
    GstPadPtr input(gst_element_get_static_pad(grabber.get(), "sink"));
    EXPECT_FALSE(gst_pad_is_linked(input.get()));
}

TEST(CaptureCapabilities, LaterCapabilityIsUsedWhenTheFirstMatchCannotConnect)
{
    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback callback;
    // No converter turns H.264 into raw video, so the first 320x240 entry
    // cannot reach the grabber; the I420 one after it can.
    EXPECT_EQ(
        BuildCaptureGraph(
            &graph, &callback,
            Category({FakeCamera("video/x-raw, format=YUY2, width=640, height=480, framerate=30/1; "
                                 "video/x-h264, width=320, height=240, framerate=30/1; "
                                 "video/x-raw, format=I420, width=320, height=240, "
                                 "framerate={ 15/1, 30/1, 5/1 }")})),
        S_OK);
    GstElementPtr format = ChildNamed(graph.get(), "CaptureFormat");
    ASSERT_TRUE(format);
    GstCaps* chosen = nullptr;
    g_object_get(format.get(), "caps", &chosen, nullptr);
    GstCapsPtr owned(chosen);
    GstCapsPtr expected(
        gst_caps_from_string("video/x-raw, format=I420, width=320, height=240, framerate=30/1"));
    EXPECT_TRUE(gst_caps_is_equal(chosen, expected.get())) << gst_caps_to_string(chosen);
}

TEST(CaptureCapabilities, NoMatchThatConnectsFailsWithEFail)
{
    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback callback;
    EXPECT_EQ(BuildCaptureGraph(&graph, &callback,
                                Category({FakeCamera("video/x-h264, width=320, height=240, "
                                                     "framerate=30/1")})),
              E_FAIL);
}

TEST(CaptureGraphShape, TestCameraGraphIsCompleteAndStopped)
{
    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback callback;
    ASSERT_EQ(BuildCaptureGraph(&graph, &callback, Category({TestCamera()})), S_OK);
    EXPECT_FALSE(graph->IsRunning());
    EXPECT_EQ(CurrentState(graph->Pipeline()), GST_STATE_READY);

    for (const char* name : {"CaptureDevice", "CaptureFormat", "SampleGrabber", "VideoRenderer"})
        EXPECT_TRUE(ChildNamed(graph.get(), name)) << name;

    // The test camera's third capability is the one at 320x240.
    GstElementPtr format = ChildNamed(graph.get(), "CaptureFormat");
    GstCaps* chosen = nullptr;
    g_object_get(format.get(), "caps", &chosen, nullptr);
    GstCapsPtr owned(chosen);
    GstCapsPtr expected(
        gst_caps_from_string("video/x-raw, format=YUY2, width=320, height=240, framerate=30/1"));
    EXPECT_TRUE(gst_caps_is_equal(chosen, expected.get()));

    // The renderer may hold one frame and never waits for the clock.
    GstElementPtr renderer = ChildNamed(graph.get(), "VideoRenderer");
    guint maxBuffers = 0;
    gboolean drop = FALSE, sync = TRUE;
    g_object_get(renderer.get(), "max-buffers", &maxBuffers, "drop", &drop, "sync", &sync, nullptr);
    EXPECT_EQ(maxBuffers, 1u);
    EXPECT_TRUE(drop);
    EXPECT_FALSE(sync);
}

TEST(CaptureGraphShape, CameraWithoutCapabilitiesIsConnectedInItsOwnFormat)
{
    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback callback;
    ASSERT_EQ(BuildCaptureGraph(&graph, &callback, Category({FakeCamera(QString())})), S_OK);
    EXPECT_FALSE(ChildNamed(graph.get(), "CaptureFormat")) << "no format is set";
    GstElementPtr grabber = ChildNamed(graph.get(), "SampleGrabber");
    GstPadPtr input(gst_element_get_static_pad(grabber.get(), "sink"));
    EXPECT_TRUE(gst_pad_is_linked(input.get()));

    // And it delivers photos of the right size.
    FrameRecorder window;
    callback.m_hWndNotify = &window;
    ASSERT_TRUE(graph->Run());
    callback.RequestFrame();
    ASSERT_TRUE(WaitFor([&] { return !window.frames.empty(); }));
    EXPECT_EQ(window.frames.front().size(), 230400);
}

// A webcam that offers 320x240 only as motion JPEG: a source and an encoder
// behind one output, as the camera's driver would present them.
class JpegCamera : public CaptureDevice {
public:
    QString DisplayName() const override { return QStringLiteral("JPEG Camera"); }
    HRESULT Bind(GstElementPtr* element) override
    {
        GstElementPtr bin = AdoptElement(GST_ELEMENT(
            gst_parse_bin_from_description("videotestsrc is-live=true ! jpegenc", TRUE, nullptr)));
        if (!bin)
            return E_FAIL;
        gst_element_set_state(bin.get(), GST_STATE_READY);
        *element = std::move(bin);
        return S_OK;
    }
    GstCapsPtr Capabilities() const override
    {
        return GstCapsPtr(
            gst_caps_from_string("image/jpeg, width=640, height=480, framerate=30/1; "
                                 "image/jpeg, width=320, height=240, framerate={ 30/1, 15/1 }"));
    }
};

TEST(CaptureGraphShape, MotionJpegCameraIsDecodedToPhotos)
{
    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback callback;
    ASSERT_EQ(BuildCaptureGraph(&graph, &callback,
                                Category({[] { return std::make_unique<JpegCamera>(); }})),
              S_OK);
    EXPECT_TRUE(ChildNamed(graph.get(), "CaptureDecoder"));

    FrameRecorder window;
    callback.m_hWndNotify = &window;
    ASSERT_TRUE(graph->Run());
    callback.RequestFrame();
    ASSERT_TRUE(WaitFor([&] { return !window.frames.empty(); }));
    EXPECT_EQ(window.frames.front().size(), 230400);
}

TEST(CaptureDevices, TestCameraComesFirstWhenAskedForAndPicksItsPattern)
{
    for (const char* off : std::initializer_list<const char*>{"", nullptr}) {
        if (off)
            qputenv("PELMORA_TEST_CAMERA", off);
        else
            qunsetenv("PELMORA_TEST_CAMERA");
        for (const auto& device : EnumerateSystemCaptureDevices())
            EXPECT_NE(device->DisplayName(), "Pelmora Test Camera");
    }

    struct Row {
        const char* value;
        const char* pattern;
    } rows[] = {{"snow", "snow"}, {"ball", "ball"}, {"1", "smpte"}, {"no-such-pattern", "smpte"}};
    for (const Row& row : rows) {
        qputenv("PELMORA_TEST_CAMERA", row.value);
        CaptureDeviceList devices = SystemCaptureDevices()();
        ASSERT_FALSE(devices.empty());
        EXPECT_EQ(devices.front()->DisplayName(), "Pelmora Test Camera");
        GstElementPtr element;
        ASSERT_EQ(devices.front()->Bind(&element), S_OK);
        gboolean live = FALSE;
        g_object_get(element.get(), "is-live", &live, nullptr);
        EXPECT_TRUE(live);
        GParamSpec* param =
            g_object_class_find_property(G_OBJECT_GET_CLASS(element.get()), "pattern");
        gint value = 0;
        g_object_get(element.get(), "pattern", &value, nullptr);
        EXPECT_STREQ(g_enum_get_value(G_PARAM_SPEC_ENUM(param)->enum_class, value)->value_nick,
                     row.pattern)
            << row.value;
        gst_element_set_state(element.get(), GST_STATE_NULL);
    }
    qunsetenv("PELMORA_TEST_CAMERA");
}

} // namespace
} // namespace pelmora::test
