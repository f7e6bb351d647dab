#include "capturegraph.h"
#include "camerachain.h"
#include "camerafollower.h"
#include "camerawatch.h"
#include "videowindow.h"
#include <cstring>
#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <QApplication>
#include <QThread>
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

} // namespace

CCaptureGraph::CCaptureGraph()
{
    if (EnsureGStreamer())
        m_pipeline = AdoptElement(gst_pipeline_new("CaptureGraph"));
}

CCaptureGraph::~CCaptureGraph()
{
    // No camera work after this; stopping joins the streaming threads, so no
    // callback can run past here either.
    if (m_camera)
        m_camera->Shutdown();
    if (m_pipeline)
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
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
    return m_camera && m_camera->Run();
}

void CCaptureGraph::StartWatching()
{
    if (m_camera)
        m_camera->StartWatching();
}

void CCaptureGraph::DrainBus()
{
    if (m_camera)
        m_camera->DrainBus();
}

bool CCaptureGraph::IsDelivering() const
{
    return m_camera && m_camera->IsDelivering();
}

QString CCaptureGraph::DeviceName() const
{
    return m_camera ? m_camera->DeviceName() : QString();
}

bool CCaptureGraph::HasCamera() const
{
    return m_camera && m_camera->HasCamera();
}

bool CCaptureGraph::IsRunning() const
{
    return m_camera && (m_camera->State() == CameraState::Starting || m_camera->State() == CameraState::Live);
}

bool CCaptureGraph::HasFailed() const
{
    return m_camera && m_camera->State() == CameraState::NoCamera;
}

QString CCaptureGraph::LastError() const
{
    return m_camera ? m_camera->LastError() : QString();
}

GstPadProbeReturn CCaptureGraph::OnGrabberBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer self)
{
    auto* graph = static_cast<CCaptureGraph*>(self);
    graph->m_camera->FrameSeen();
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

    // The device monitor that follows the cameras later lists the first one.
    CCameraWatch* watch = devices ? nullptr : new CCameraWatch(graph);
    GstElementPtr source;
    std::unique_ptr<CaptureDevice> device;
    HRESULT hr = FindCaptureDevice(devices ? devices : CaptureDeviceSource([watch] { return watch->Devices(); }),
                                   &source, &device);
    if (FAILED(hr) || !source)
        return hr;

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
    graph->m_callback = callback;
    graph->m_camera = new CCameraFollower(graph->m_pipeline.get(), grabber.get(), callback, watch, graph);
    graph->m_camera->Adopt(std::move(device));

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
