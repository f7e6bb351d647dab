#include "capturegraph.h"
#include "camerachain.h"
#include "camerawatch.h"
#include "videowindow.h"
#include <chrono>
#include <cstring>
#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <QApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <vector>

namespace pelmora {

namespace {

constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 240;
constexpr int kFrameRowBytes = kFrameWidth * 3;            // 960, no padding
constexpr int kFrameBytes = kFrameRowBytes * kFrameHeight; // 230,400

const QEvent::Type kRendererFrameEvent = QEvent::Type(QEvent::registerEventType());

// The renderer paints QImage::Format_RGB32, whose bytes in memory are B, G, R, x
// on a little-endian machine and x, R, G, B on a big-endian one.
constexpr const char* kRendererCaps =
    Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "video/x-raw, format=BGRx" : "video/x-raw, format=xRGB";

// A camera that has sent nothing for this long delivers no frames: many
// times the frame interval of even a slow camera.
constexpr qint64 kStaleFrameMs = 1000;

qint64 SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

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
    delete m_watch;
    m_watch = nullptr;
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
    m_wantRunning = true;
    if (!m_pipeline || !m_device)
        return false;
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // The reason is on the bus; the graph stays stopped.
        Stop();
        return false;
    }
    m_running = true;
    m_failed = false;
    // Counts as the last sign of life until the first frame comes.
    m_lastFrameMs.store(SteadyMs());
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
            // A camera taken out already (unplugged, replaced) may still
            // have had its say: that is no news about the camera now.
            if (!gst_object_has_as_ancestor(GST_MESSAGE_SRC(message.get()),
                                            GST_OBJECT(m_pipeline.get())))
                break;
            // A camera unplugged or failing while running: stop the whole
            // stream; the video window keeps its last picture.
            GError* error = nullptr;
            gst_message_parse_error(message.get(), &error, nullptr);
            GErrorPtr owned(error);
            m_lastError = owned ? QString::fromUtf8(owned->message) : QString();
            LoseCamera();
            break;
        }
        case GST_MESSAGE_EOS:
            LoseCamera();
            break;
        default:
            break;
        }
    }
}

void CCaptureGraph::StartWatching()
{
    if (m_busNotifier || !m_pipeline)
        return;
    WatchBus();
    m_watch = new CCameraWatch([this](GstDevice* device, bool added) { OnCameraNotice(device, added); });
    // A request made just before the camera stalled without a word would
    // otherwise be answered whenever it wakes up.
    m_watchdog = new QTimer(this);
    QObject::connect(m_watchdog, &QTimer::timeout, this, [this] {
        if (!m_device || m_failed || (m_running && SteadyMs() - m_lastFrameMs.load() >= kStaleFrameMs))
            CancelPendingRequest();
    });
    m_watchdog->start(250);
    // A camera that failed before anyone watched is replaced now, if another is there.
    if (!m_device)
        AttachFirst(m_watch->Devices());
}

bool CCaptureGraph::IsDelivering() const
{
    return m_device && m_running && !m_failed && m_sentFrames.load() > 0 &&
           SteadyMs() - m_lastFrameMs.load() < kStaleFrameMs;
}

void CCaptureGraph::CancelPendingRequest()
{
    if (m_callback)
        m_callback->CancelRequest();
}

GstElementPtr CCaptureGraph::Grabber() const
{
    return GstElementPtr(gst_bin_get_by_name(GST_BIN(m_pipeline.get()), "SampleGrabber"));
}

void CCaptureGraph::LoseCamera()
{
    Stop();
    m_failed = true;
    CancelPendingRequest();
    if (!m_device)
        return;
    if (GstElementPtr grabber = Grabber())
        DetachCamera(GST_BIN(m_pipeline.get()), grabber.get());
    m_lostDevice = std::move(m_device);
    // Another camera still plugged in takes over at once.
    if (m_watch)
        AttachFirst(m_watch->Devices());
}

void CCaptureGraph::OnCameraNotice(GstDevice* device, bool added)
{
    if (!added) {
        if (m_device && SameDevice(m_device->Device(), device))
            LoseCamera();
        if (m_lostDevice && SameDevice(m_lostDevice->Device(), device))
            m_lostDevice.reset(); // plugged in again later, it is a fresh camera
        return;
    }
    if (m_device)
        return;
    CaptureDeviceList candidates;
    candidates.push_back(MakeMonitoredDevice(GstDevicePtr(GST_DEVICE(gst_object_ref(device)))));
    AttachFirst(std::move(candidates));
}

bool CCaptureGraph::AttachFirst(CaptureDeviceList candidates)
{
    GstElementPtr grabber = Grabber();
    if (m_device || !grabber)
        return false;
    for (std::unique_ptr<CaptureDevice>& candidate : candidates) {
        if (!candidate || (m_lostDevice && SameDevice(m_lostDevice->Device(), candidate->Device())))
            continue;
        if (FAILED(AttachCamera(GST_BIN(m_pipeline.get()), grabber.get(), *candidate)))
            continue;
        m_device = std::move(candidate);
        m_lostDevice.reset();
        m_deviceName = m_device->DisplayName();
        m_failed = false;
        m_lastError.clear();
        if (m_wantRunning)
            Run();
        else
            gst_element_set_state(m_pipeline.get(), GST_STATE_READY);
        return true;
    }
    return false;
}

GstPadProbeReturn CCaptureGraph::OnGrabberBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer self)
{
    auto* graph = static_cast<CCaptureGraph*>(self);
    graph->m_lastFrameMs.store(SteadyMs());
    ++graph->m_sentFrames;
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

    hr = ConnectCamera(pipeline, source.get(), grabber.get(), *device);
    if (FAILED(hr))
        return hr;
    graph->m_device = std::move(device);

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
    // Built on another thread (start-up overlaps this with the web engine's
    // start), the graph is handed over and watched from there.
    if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
        graph->StartWatching();
    return S_OK;
}

} // namespace pelmora
