#pragma once
#include "capturedevice.h"
#include "framegrab.h"
#include "gsthandle.h"
#include "hresult.h"
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class QTimer;
class QWidget;

namespace pelmora {

class CCameraWatch;
class CVideoWindow;

// The camera pipeline, built once at start-up:
//   "CaptureDevice" -> capsfilter (the chosen capability at 320x240)
//     -> converters -> capsfilter (BGR, 320x240) -> "SampleGrabber"
//     -> videoconvert -> appsink "VideoRenderer" -> CVideoWindow
// It owns the pipeline and the video window. Destroying it stops the stream
// and joins the streaming threads before anything they use goes away.
class CCaptureGraph : public QObject {
public:
    CCaptureGraph();
    ~CCaptureGraph() override;
    CCaptureGraph(const CCaptureGraph&) = delete;
    CCaptureGraph& operator=(const CCaptureGraph&) = delete;

    // Starts the stream; false when the pipeline refused to start or no
    // camera is attached (the stream then starts when one comes).
    bool Run();

    // From now on the graph follows the cameras: one that fails or is
    // unplugged is taken out of the graph, and the first that is plugged in
    // (or is still there) and connects takes its place, in the same graph,
    // streaming again if the graph was running. Call on the window thread;
    // the graph must live there. BuildCaptureGraph calls it when it runs there.
    void StartWatching();

    // True while a camera delivers frames to the grabber: attached, running
    // and seen within the last second.
    bool IsDelivering() const;
    // Frames that passed the grabber on their way to the renderer, since the
    // graph was built.
    std::uint64_t SentFrames() const { return m_sentFrames.load(); }

    // The renderer's window, created on first use (a QApplication must exist);
    // it shows the frames once the graph runs. The graph owns it unless a
    // parent widget deletes it first.
    CVideoWindow* VideoWindow();

    // The pipeline (owned by the graph) and the chosen camera's display name.
    GstElement* Pipeline() const { return m_pipeline.get(); }
    QString DeviceName() const { return m_deviceName; }

    bool IsRunning() const { return m_running; }
    // True once an error or the end of the stream, read from the bus, has
    // stopped the graph.
    bool HasFailed() const { return m_failed; }
    QString LastError() const { return m_lastError; }

    // Reads whatever the bus holds now; the socket notifier does this from the
    // event loop, tests may call it directly.
    void DrainBus();
    // The camera watch's notices (also callable by tests).
    void OnCameraNotice(GstDevice* device, bool added);

protected:
    bool event(QEvent* event) override;

private:
    friend HRESULT BuildCaptureGraph(std::unique_ptr<CCaptureGraph>*, CFrameGrabCallback*,
                                     const CaptureDeviceSource&);

    static GstPadProbeReturn OnGrabberBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstFlowReturn OnRendererSample(GstElement* sink, gpointer self);
    void GrabFrame(GstPad* pad, GstBuffer* buffer);
    void DeliverRendererSample(GstSamplePtr sample);
    void WatchBus();
    void Stop();
    // The camera is gone: stop, take it out, let no request wait for it.
    void LoseCamera();
    // Attaches the first of the given cameras that connects, skipping the
    // one that was lost; streams again if the graph should be running.
    bool AttachFirst(CaptureDeviceList candidates);
    void CancelPendingRequest();
    GstElementPtr Grabber() const;

    GstElementPtr m_pipeline;
    QString m_deviceName;
    std::unique_ptr<CaptureDevice> m_device;     // the attached camera, null while none
    std::unique_ptr<CaptureDevice> m_lostDevice; // the camera that failed last
    CFrameGrabCallback* m_callback = nullptr;
    QPointer<CVideoWindow> m_videoWindow;
    QSocketNotifier* m_busNotifier = nullptr;
    CCameraWatch* m_watch = nullptr;
    QTimer* m_watchdog = nullptr;
    bool m_running = false;
    bool m_wantRunning = false;
    bool m_failed = false;
    QString m_lastError;
    // Streaming thread: frames seen at the grabber, and when the last one came
    // (milliseconds of a steady clock).
    std::atomic<std::uint64_t> m_sentFrames{0};
    std::atomic<qint64> m_lastFrameMs{0};

    // The renderer's mailbox: the streaming thread leaves only the newest
    // frame and posts at most one event until the window thread has taken it,
    // so a busy window thread never lets frames pile up.
    std::mutex m_frameLock;
    QImage m_pendingFrame;
    std::atomic<bool> m_framePosted{false};
};

// Builds the capture graph and leaves it stopped. *ppGraph receives the graph
// as soon as it exists, so the caller holds it even when a later step fails.
// Results: S_FALSE no camera at all; negative: building failed (no camera
// could be bound, none of its capabilities offers 320x240 or connects);
// S_OK: the graph is complete. callback must outlive the graph.
HRESULT BuildCaptureGraph(std::unique_ptr<CCaptureGraph>* ppGraph, CFrameGrabCallback* callback,
                          const CaptureDeviceSource& devices = SystemCaptureDevices());

// True when a capability structure offers 320 by 240: its width and height
// are, or (as a list or range) contain, 320 and 240.
bool OffersPhotoSize(const GstStructure* capability);

} // namespace pelmora
