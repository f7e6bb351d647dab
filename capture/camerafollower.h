#pragma once
// Follows the cameras for the capture graph: which camera is attached and in
// which state of its life (camerastate.h), the device monitor's notices, the
// errors on the pipeline's bus, and the rebuilding of the camera end, which
// runs off the window thread. Lives on the window thread; its state changes
// only there.
#include "cameraopener.h"
#include "camerastate.h"
#include "capturedevice.h"
#include "gsthandle.h"
#include <atomic>
#include <cstdint>
#include <memory>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

namespace pelmora {

class CCameraWatch;
class CFrameGrabCallback;

class CCameraFollower : public QObject {
    Q_OBJECT
public:
    // The camera end lies between the pipeline's source and grabber; a
    // request of the callback that the camera can no longer answer is dropped.
    // The cameras come from watch (null: a watch of its own, made when
    // watching starts).
    CCameraFollower(GstElement* pipeline, GstElement* grabber, CFrameGrabCallback* callback,
                    CCameraWatch* watch, QObject* parent = nullptr);
    ~CCameraFollower() override;

    // The camera attached and connected when the graph was built.
    void Adopt(std::unique_ptr<CaptureDevice> device);
    // From now on the monitor's notices and the bus are read, on the window
    // thread, and a camera lost before is replaced.
    void StartWatching();
    // Waits for the camera work under way and ends it; nothing changes after.
    void Shutdown();

    // The stream is wanted, now and with every camera that comes later. False
    // while no camera is attached (the stream then starts when one comes).
    bool Run();

    CameraState State() const { return m_state; }
    bool HasCamera() const;
    // Attached, streaming, and its last frame within the last second.
    bool IsDelivering() const;
    QString DeviceName() const { return m_deviceName; }
    QString LastError() const { return m_lastError; }

    // Streaming thread, for every frame that reaches the grabber.
    void FrameSeen();
    // Handles whatever the pipeline's bus holds now.
    void DrainBus();
    void OnCameraNotice(GstDevice* device, bool added);

Q_SIGNALS:
    // The attached camera was taken out: whatever acts on its element stops.
    void CameraChanged();

private:
    void Raise(CameraEvent event);
    void Perform(CameraAction action);
    // Takes the camera end out and opens the first of the candidates that
    // connects, on the opener's thread; OnOpened follows.
    void OpenFirst(CaptureDeviceList candidates);
    void OnOpened(int generation, std::unique_ptr<CaptureDevice> device);
    void LetGo(bool passOver);
    // The cameras listed now, but for those passed over.
    CaptureDeviceList Candidates() const;
    void ForgetPassedOver(GstDevice* device);

    GstElement* m_pipeline;
    GstElement* m_grabber;
    CFrameGrabCallback* m_callback;
    CCameraOpener m_opener;
    CCameraWatch* m_watch = nullptr;
    QSocketNotifier* m_busNotifier = nullptr;
    QTimer* m_watchdog = nullptr;
    QTimer* m_retry = nullptr;
    int m_retryMs = 0;

    CameraState m_state = CameraState::NoCamera;
    std::unique_ptr<CaptureDevice> m_device; // attached while Ready, Starting or Live
    CaptureDeviceList m_passedOver;          // failed; tried again on a retry or a new plug
    std::vector<GstDevicePtr> m_goneWhileOpening;
    GstDevicePtr m_notice; // the device of the notice being handled
    bool m_pluggedWhileOpening = false;
    bool m_wantRunning = false;
    int m_attached = 0; // generation of the attached camera
    int m_opening = 0;  // generation of the latest opening
    QString m_deviceName;
    QString m_lastError;

    // Streaming and opener threads: the camera whose frames the grabber
    // counts, its frames, and when the last came (steady clock, ms).
    std::atomic<int> m_generation{0};
    std::atomic<std::uint64_t> m_cameraFrames{0};
    std::atomic<qint64> m_lastFrameMs{0};
};

} // namespace pelmora
