#pragma once
// Watches the system's cameras come and go: a GStreamer device monitor for
// "Video/Source" kept running, its bus read from the window thread's event
// loop (no GLib main loop needed). The cameras it lists and those its notices
// name are the same device objects.
#include "capturedevice.h"
#include "gsthandle.h"
#include <functional>
#include <QObject>

class QSocketNotifier;

namespace pelmora {

class CCameraWatch : public QObject {
public:
    // Called on the window thread for each camera plugged in (added true) or
    // unplugged (false), with the monitor's entry for it.
    using Notice = std::function<void(GstDevice* device, bool added)>;

    // Starts the monitor (on any thread; with PELMORA_TEST_CAMERA set, the
    // test camera's provider is registered first). Its notices wait on its
    // bus until Listen.
    explicit CCameraWatch(QObject* parent = nullptr);
    ~CCameraWatch() override;

    // From now on the notices go to notice, on the thread the watch lives in.
    void Listen(Notice notice);
    bool IsWatching() const { return m_started; }
    // The cameras the monitor knows now, test cameras first.
    CaptureDeviceList Devices() const;
    // Handles whatever notices wait on the bus now; the event loop does this
    // by itself once listening.
    void DrainBus();

private:
    Notice m_notice;
    GstDeviceMonitorPtr m_monitor;
    QSocketNotifier* m_notifier = nullptr;
    bool m_started = false;
};

} // namespace pelmora
