#include "capturegraph.h"
#include "videowindow.h"
#include <cstring>
#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <QApplication>
#include <QSocketNotifier>
#include <vector>

namespace pelmora {

namespace {

constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 240;
constexpr int kFrameRowBytes = kFrameWidth * 3;            // 960, no padding
constexpr int kFrameBytes = kFrameRowBytes * kFrameHeight; // 230,400

const QEvent::Type kRendererFrameEvent = QEvent::Type(QEvent::registerEventType());

// What the grabber accepts: 24-bit blue-green-red at the photo size.
constexpr const char* kGrabberCaps = "video/x-raw, format=BGR, width=320, height=240";

// The renderer paints QImage::Format_RGB32, whose bytes in memory are B, G, R, x
// on a little-endian machine and x, R, G, B on a big-endian one.
constexpr const char* kRendererCaps =
    Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "video/x-raw, format=BGRx" : "video/x-raw, format=xRGB";

bool FieldContains(const GstStructure* s, const char* field, int wanted)
{
    const GValue* value = gst_structure_get_value(s, field);
    if (!value)
        return false;
    GValue probe = G_VALUE_INIT;
    g_value_init(&probe, G_TYPE_INT);
    g_value_set_int(&probe, wanted);
    const bool contains = gst_value_intersect(nullptr, value, &probe);
    g_value_unset(&probe);
    return contains;
}

// The capability narrowed to the photo size, keeping its own format and
// memory features; of several frame rates the one nearest to 30 a second.
GstCapsPtr PhotoFormatFrom(const GstCaps* capabilities, guint index)
{
    GstStructure* format = gst_structure_copy(gst_caps_get_structure(capabilities, index));
    gst_structure_set(format, "width", G_TYPE_INT, kFrameWidth, "height", G_TYPE_INT, kFrameHeight,
                      nullptr);
    if (gst_structure_has_field(format, "framerate"))
        gst_structure_fixate_field_nearest_fraction(format, "framerate", 30, 1);
    GstCapsFeatures* features = gst_caps_get_features(capabilities, index);
    GstCapsPtr caps(gst_caps_new_empty());
    gst_caps_append_structure_full(caps.get(), format,
                                   features ? gst_caps_features_copy(features) : nullptr);
    return caps;
}

GstElementPtr MakeCapsFilter(const char* name, GstCaps* caps)
{
    GstElementPtr filter = MakeElement("capsfilter", name);
    if (filter)
        g_object_set(filter.get(), "caps", caps, nullptr);
    return filter;
}

// Adds the elements to the bin and links them in order; on failure takes back
// the ones it added, so that the bin is as it was.
bool AddAndLink(GstBin* bin, GstElement* upstream, const std::vector<GstElementPtr>& chain,
                GstElement* downstream)
{
    std::vector<GstElement*> added;
    bool ok = true;
    for (const GstElementPtr& element : chain) {
        if (!gst_bin_add(bin, element.get())) {
            ok = false;
            break;
        }
        added.push_back(element.get());
    }
    GstElement* previous = upstream;
    for (size_t i = 0; ok && i < added.size(); ++i) {
        ok = gst_element_link(previous, added[i]);
        previous = added[i];
    }
    if (ok && downstream)
        ok = gst_element_link(previous, downstream);
    if (!ok) {
        // Removing unlinks the pads, including those to upstream and downstream.
        for (GstElement* element : added)
            gst_bin_remove(bin, element);
    }
    return ok;
}

// Connects the camera to the grabber through whatever converters it takes,
// in the given format (null: whatever the camera produces). Succeeds only when
// the camera's side, as the source reports it once opened, can reach BGR at
// 320x240 through the chain.
HRESULT ConnectToGrabber(GstBin* pipeline, GstElement* source, GstElement* grabber, GstCaps* format)
{
    std::vector<GstElementPtr> chain;
    if (format) {
        chain.push_back(MakeCapsFilter("CaptureFormat", format));
        // Compressed webcam formats need decoding before any conversion.
        if (gst_structure_has_name(gst_caps_get_structure(format, 0), "image/jpeg"))
            chain.push_back(MakeElement("jpegdec", "CaptureDecoder"));
    }
    chain.push_back(MakeElement("videoconvert", "GrabberConvert"));
    chain.push_back(MakeElement("videoscale", "GrabberScale"));
    GstCapsPtr grabberCaps(gst_caps_from_string(kGrabberCaps));
    chain.push_back(MakeCapsFilter("GrabberFormat", grabberCaps.get()));
    for (const GstElementPtr& element : chain)
        if (!element)
            return E_FAIL;

    if (!AddAndLink(pipeline, source, chain, grabber))
        return E_FAIL;

    // Linking checks only the pads' templates; the caps query walks upstream
    // through the converters to what the opened source can really produce.
    GstPadPtr out(gst_element_get_static_pad(chain.back().get(), "src"));
    GstCapsPtr reachable(out ? gst_pad_query_caps(out.get(), nullptr) : nullptr);
    if (reachable && !gst_caps_is_empty(reachable.get()) &&
        gst_caps_can_intersect(reachable.get(), grabberCaps.get()))
        return S_OK;

    for (const GstElementPtr& element : chain)
        gst_bin_remove(pipeline, element.get());
    return E_FAIL;
}

} // namespace

bool OffersPhotoSize(const GstStructure* capability)
{
    return capability && FieldContains(capability, "width", kFrameWidth) &&
           FieldContains(capability, "height", kFrameHeight);
}

CCaptureGraph::CCaptureGraph()
{
    if (EnsureGStreamer())
        m_pipeline = AdoptElement(gst_pipeline_new("CaptureGraph"));
}

CCaptureGraph::~CCaptureGraph()
{
    // Stopping joins the streaming threads: no callback can run past here.
    if (m_pipeline)
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    delete m_busNotifier;
    m_busNotifier = nullptr;
    delete m_videoWindow.data();
}

CVideoWindow* CCaptureGraph::VideoWindow()
{
    if (!m_videoWindow && qobject_cast<QApplication*>(QCoreApplication::instance()))
        m_videoWindow = new CVideoWindow;
    return m_videoWindow.data();
}

bool CCaptureGraph::Run()
{
    if (!m_pipeline)
        return false;
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // The reason is on the bus; the graph stays stopped.
        Stop();
        return false;
    }
    m_running = true;
    m_failed = false;
    return true;
}

void CCaptureGraph::Stop()
{
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    m_running = false;
}

void CCaptureGraph::WatchBus()
{
    GstBusPtr bus(gst_element_get_bus(m_pipeline.get()));
    GPollFD pollfd{};
    gst_bus_get_pollfd(bus.get(), &pollfd);
    // The descriptor is readable while messages wait, so reading the bus needs
    // no GLib main loop: Qt's loop (and every modal loop) serves it.
    m_busNotifier = new QSocketNotifier(pollfd.fd, QSocketNotifier::Read, this);
    QObject::connect(m_busNotifier, &QSocketNotifier::activated, this, [this] { DrainBus(); });
}

void CCaptureGraph::DrainBus()
{
    if (!m_pipeline)
        return;
    GstBusPtr bus(gst_element_get_bus(m_pipeline.get()));
    while (GstMessagePtr message{gst_bus_pop(bus.get())}) {
        switch (GST_MESSAGE_TYPE(message.get())) {
        case GST_MESSAGE_ERROR: {
            // A camera unplugged or failing while running: stop the whole
            // stream; the video window keeps its last picture.
            GError* error = nullptr;
            gst_message_parse_error(message.get(), &error, nullptr);
            GErrorPtr owned(error);
            m_lastError = owned ? QString::fromUtf8(owned->message) : QString();
            Stop();
            m_failed = true;
            break;
        }
        case GST_MESSAGE_EOS:
            Stop();
            m_failed = true;
            break;
        default:
            break;
        }
    }
}

GstPadProbeReturn CCaptureGraph::OnGrabberBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer self)
{
    auto* graph = static_cast<CCaptureGraph*>(self);
    // The test costs one atomic load per frame; only a requested frame is copied.
    if (graph->m_callback && !graph->m_callback->IsIdle())
        graph->GrabFrame(pad, GST_PAD_PROBE_INFO_BUFFER(info));
    return GST_PAD_PROBE_OK;
}

void CCaptureGraph::GrabFrame(GstPad* pad, GstBuffer* buffer)
{
    GstCapsPtr caps(gst_pad_get_current_caps(pad));
    GstVideoInfo videoInfo;
    if (!buffer || !caps || !gst_video_info_from_caps(&videoInfo, caps.get()))
        return;
    // Every consumer assumes exactly this layout; anything else (it cannot
    // pass the grabber's caps filter) leaves the request for the next frame.
    if (GST_VIDEO_INFO_FORMAT(&videoInfo) != GST_VIDEO_FORMAT_BGR ||
        GST_VIDEO_INFO_WIDTH(&videoInfo) != kFrameWidth ||
        GST_VIDEO_INFO_HEIGHT(&videoInfo) != kFrameHeight)
        return;

    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &videoInfo, buffer, GST_MAP_READ))
        return;
    const auto* top = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    // Stored bottom row first, as a bottom-up bitmap holds its pixels.
    std::vector<std::uint8_t> rows(kFrameBytes);
    for (int y = 0; y < kFrameHeight; ++y)
        std::memcpy(rows.data() + size_t(kFrameHeight - 1 - y) * kFrameRowBytes,
                    top + size_t(y) * size_t(stride), kFrameRowBytes);
    gst_video_frame_unmap(&frame);

    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    const double sampleTime = GST_CLOCK_TIME_IS_VALID(pts) ? double(pts) / GST_SECOND : 0.0;
    m_callback->BufferCB(sampleTime, rows.data(), kFrameBytes);
}

GstFlowReturn CCaptureGraph::OnRendererSample(GstElement* sink, gpointer self)
{
    GstSamplePtr sample(gst_app_sink_pull_sample(GST_APP_SINK(sink)));
    if (!sample)
        return GST_FLOW_EOS;
    static_cast<CCaptureGraph*>(self)->DeliverRendererSample(std::move(sample));
    return GST_FLOW_OK;
}

void CCaptureGraph::DeliverRendererSample(GstSamplePtr sample)
{
    GstVideoInfo videoInfo;
    GstCaps* caps = gst_sample_get_caps(sample.get());
    GstBuffer* buffer = gst_sample_get_buffer(sample.get());
    if (!caps || !buffer || !gst_video_info_from_caps(&videoInfo, caps))
        return;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &videoInfo, buffer, GST_MAP_READ))
        return;
    const int width = GST_VIDEO_FRAME_WIDTH(&frame);
    const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
    // Copied here, on the streaming thread, so that the buffer goes back to
    // its pool at once and the window thread only paints.
    QImage picture(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), width, height,
                   GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
    QImage copy = picture.copy();
    gst_video_frame_unmap(&frame);

    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_pendingFrame = std::move(copy);
    }
    if (!m_framePosted.exchange(true))
        QCoreApplication::postEvent(this, new QEvent(kRendererFrameEvent));
}

bool CCaptureGraph::event(QEvent* event)
{
    if (event->type() != kRendererFrameEvent)
        return QObject::event(event);
    // Cleared before taking the frame: a frame arriving after this point posts
    // again instead of waiting in the mailbox unseen.
    m_framePosted.store(false);
    QImage frame;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        frame.swap(m_pendingFrame);
    }
    if (!frame.isNull() && m_videoWindow)
        m_videoWindow->ShowFrame(frame);
    return true;
}

HRESULT FindCaptureDevice(const CaptureDeviceSource& devices, GstElementPtr* element,
                          std::unique_ptr<CaptureDevice>* device)
{
    CaptureDeviceList candidates = devices ? devices() : CaptureDeviceList{};
    if (candidates.empty())
        return S_FALSE;
    HRESULT hr = S_FALSE;
    for (std::unique_ptr<CaptureDevice>& candidate : candidates) {
        if (!candidate)
            continue;
        GstElementPtr bound;
        hr = candidate->Bind(&bound);
        if (SUCCEEDED(hr) && bound) {
            *element = std::move(bound);
            *device = std::move(candidate);
            return S_OK;
        }
        if (SUCCEEDED(hr))
            hr = E_FAIL; // a "success" without an element is no camera
    }
    return hr;
}

HRESULT BuildCaptureGraph(std::unique_ptr<CCaptureGraph>* ppGraph, CFrameGrabCallback* callback,
                          const CaptureDeviceSource& devices)
{
    if (!ppGraph)
        return E_POINTER;
    *ppGraph = std::make_unique<CCaptureGraph>();
    CCaptureGraph* graph = ppGraph->get();
    if (!graph->m_pipeline)
        return E_FAIL;
    GstBin* pipeline = GST_BIN(graph->m_pipeline.get());

    GstElementPtr source;
    std::unique_ptr<CaptureDevice> device;
    HRESULT hr = FindCaptureDevice(devices, &source, &device);
    if (FAILED(hr) || !source)
        return hr;
    graph->m_deviceName = device->DisplayName();

    // Names are the way back to the elements (the property sheet looks for
    // "CaptureDevice"); an element's name can change only outside a bin.
    gst_object_set_name(GST_OBJECT(source.get()), "CaptureDevice");
    if (!gst_bin_add(pipeline, source.get())) {
        gst_element_set_state(source.get(), GST_STATE_NULL);
        return E_FAIL;
    }

    GstElementPtr grabber = MakeElement("identity", "SampleGrabber");
    if (!grabber)
        return E_FAIL;
    g_object_set(grabber.get(), "signal-handoffs", FALSE, "silent", TRUE, nullptr);
    if (!gst_bin_add(pipeline, grabber.get()))
        return E_FAIL;

    GstCapsPtr capabilities = device->Capabilities();
    const guint count = capabilities ? gst_caps_get_size(capabilities.get()) : 0;
    if (count == 0) {
        // A camera that lists no formats (or any format) is connected in
        // whatever it produces; the converters and the scaler bring that to
        // the photo size.
        hr = ConnectToGrabber(pipeline, source.get(), grabber.get(), nullptr);
        if (FAILED(hr))
            return hr;
    } else {
        hr = E_FAIL;
        for (guint i = 0; i < count && FAILED(hr); ++i) {
            if (!OffersPhotoSize(gst_caps_get_structure(capabilities.get(), i)))
                continue;
            GstCapsPtr format = PhotoFormatFrom(capabilities.get(), i);
            hr = ConnectToGrabber(pipeline, source.get(), grabber.get(), format.get());
        }
        if (FAILED(hr))
            return hr;
    }

    // The renderer: converted for painting, handed to the video window. The
    // sink holds one frame at most and drops older ones; it never waits for
    // the clock, as the camera already paces the stream.
    GstElementPtr convert = MakeElement("videoconvert", "RendererConvert");
    GstElementPtr renderer = MakeElement("appsink", "VideoRenderer");
    if (!convert || !renderer)
        return E_FAIL;
    GstCapsPtr rendererCaps(gst_caps_from_string(kRendererCaps));
    g_object_set(renderer.get(), "caps", rendererCaps.get(), "max-buffers", 1u, "drop", TRUE,
                 "sync", FALSE, "emit-signals", FALSE, "enable-last-sample", FALSE, nullptr);
    std::vector<GstElementPtr> render;
    render.push_back(std::move(convert));
    render.push_back(std::move(renderer));
    if (!AddAndLink(pipeline, grabber.get(), render, nullptr))
        return E_FAIL;

    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* sink, gpointer self) {
        return CCaptureGraph::OnRendererSample(GST_ELEMENT(sink), self);
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(render.back().get()), &callbacks, graph, nullptr);

    graph->m_callback = callback;
    GstPadPtr grabberInput(gst_element_get_static_pad(grabber.get(), "sink"));
    if (!grabberInput)
        return E_FAIL;
    gst_pad_add_probe(grabberInput.get(), GST_PAD_PROBE_TYPE_BUFFER,
                      &CCaptureGraph::OnGrabberBuffer, graph, nullptr);

    if (gst_element_set_state(graph->m_pipeline.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
        return E_FAIL;
    graph->WatchBus();
    return S_OK;
}

} // namespace pelmora
