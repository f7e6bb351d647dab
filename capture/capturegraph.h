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

class QWidget;

namespace pelmora {

class CCameraFollower;
class CVideoWindow;

// The camera pipeline, built once at start-up:
//   "CaptureDevice" -> capsfilter (the chosen capability at 320x240)
//     -> converters -> capsfilter (BGR, 320x240) -> "SampleGrabber"
//     -> videoconvert -> appsink "VideoRenderer" -> CVideoWindow
// It owns the pipeline and the video window; the camera end (source to
// grabber) is rebuilt in place by its camera follower whenever the camera
// changes. Destroying it ends the camera work, stops the stream and joins the
// streaming threads before anything they use goes away.
class CCaptureGraph : public QObject {
public:
    CCaptureGraph();
    ~CCaptureGraph() override;
    CCaptureGraph(const CCaptureGraph&) = delete;
    CCaptureGraph& operator=(const CCaptureGraph&) = delete;

    // Asks for the stream, now and with every camera that comes later; false
    // while no camera is attached (the stream then starts when one comes).
    // The camera starts on a thread of its own: a start it refuses counts as
    // its failure, and the next camera listed takes its place.
    bool Run();

    // From now on the graph follows the cameras: one that fails or is
    // unplugged is taken out of the graph, and the first that is plugged in
    // (or is still there) and connects takes its place, in the same graph,
    // streaming again if the graph was running. Call on the window thread;
    // the graph must live there. BuildCaptureGraph calls it when it runs there.
    void StartWatching();

    // True while a camera delivers frames to the grabber: attached, running,
    // its first frame come and its last within the last second.
    bool IsDelivering() const;
    // Frames that passed the grabber on their way to the renderer, since the
    // graph was built.
    std::uint64_t SentFrames() const { return m_sentFrames.load(); }

    // The renderer's window, created on first use (a QApplication must exist);
    // it shows the frames once the graph runs. The graph owns it unless a
    // parent widget deletes it first.
    CVideoWindow* VideoWindow();

    // The pipeline (owned by the graph) and the attached camera's display name
    // (the last one's while none is attached).
    GstElement* Pipeline() const { return m_pipeline.get(); }
    QString DeviceName() const;
    // The camera's life (null when building failed before a camera was found).
    CCameraFollower* Camera() const { return m_camera; }
    // A camera is attached (whether or not it streams).
    bool HasCamera() const;

    // Streaming asked for and a camera attached to stream.
    bool IsRunning() const;
    // True while no camera is attached because the last one failed or was
    // unplugged and none listed could take its place.
    bool HasFailed() const;
    QString LastError() const;

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

    GstElementPtr m_pipeline;
    CCameraFollower* m_camera = nullptr;
    CFrameGrabCallback* m_callback = nullptr;
    QPointer<CVideoWindow> m_videoWindow;
    std::atomic<std::uint64_t> m_sentFrames{0};

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
// S_OK: the graph is complete. callback must outlive the graph. Without
// devices the cameras are those of the device monitor that the graph keeps
// running from then on, so that the camera it starts with and the cameras
// the monitor's notices name are the same objects.
HRESULT BuildCaptureGraph(std::unique_ptr<CCaptureGraph>* ppGraph, CFrameGrabCallback* callback,
                          const CaptureDeviceSource& devices = {});

// True when a capability structure offers 320 by 240: its width and height
// are, or (as a list or range) contain, 320 and 240.
bool OffersPhotoSize(const GstStructure* capability);

} // namespace pelmora
