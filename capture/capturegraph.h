#pragma once
#include "capturedevice.h"
#include "framegrab.h"
#include "gsthandle.h"
#include "hresult.h"
#include <atomic>
#include <memory>
#include <mutex>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class QWidget;

namespace pelmora {

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

    // Starts the stream; false when the pipeline refused to start.
    bool Run();

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

    GstElementPtr m_pipeline;
    QString m_deviceName;
    CFrameGrabCallback* m_callback = nullptr;
    QPointer<CVideoWindow> m_videoWindow;
    QSocketNotifier* m_busNotifier = nullptr;
    bool m_running = false;
    bool m_failed = false;
    QString m_lastError;

    // The renderer's mailbox: the streaming thread leaves only the newest
    // frame and posts at most one event until the window thread has taken it,
    // so a busy window thread never lets frames pile up.
    std::mutex m_frameLock;
    QImage m_pendingFrame;
    std::atomic<bool> m_framePosted{false};
};

// Finds the first camera of the category that binds. S_OK with *element and
// *device filled; S_FALSE when the category is empty; otherwise the failure of
// the last camera that was tried.
HRESULT FindCaptureDevice(const CaptureDeviceSource& devices, GstElementPtr* element,
                          std::unique_ptr<CaptureDevice>* device);

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
