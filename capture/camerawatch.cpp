#include "camerawatch.h"
#include "testcamera.h"

#include <QSocketNotifier>

namespace pelmora {

CCameraWatch::CCameraWatch(QObject* parent) : QObject(parent)
{
    if (!EnsureGStreamer())
        return;
    if (!qEnvironmentVariableIsEmpty("PELMORA_TEST_CAMERA"))
        RegisterTestCameraProvider();
    m_monitor.reset(gst_device_monitor_new());
    gst_device_monitor_add_filter(m_monitor.get(), "Video/Source", nullptr);
    m_started = gst_device_monitor_start(m_monitor.get());
}

CCameraWatch::~CCameraWatch()
{
    delete m_notifier;
    if (m_started)
        gst_device_monitor_stop(m_monitor.get());
}

void CCameraWatch::Listen(Notice notice)
{
    m_notice = std::move(notice);
    if (!m_monitor || m_notifier)
        return;
    GstBusPtr bus(gst_device_monitor_get_bus(m_monitor.get()));
    GPollFD pollfd{};
    gst_bus_get_pollfd(bus.get(), &pollfd);
    m_notifier = new QSocketNotifier(pollfd.fd, QSocketNotifier::Read, this);
    QObject::connect(m_notifier, &QSocketNotifier::activated, this, [this] { DrainBus(); });
    DrainBus();
}

CaptureDeviceList CCameraWatch::Devices() const
{
    // A started monitor lists the very objects its notices carry.
    return m_monitor ? MonitorDevices(m_monitor.get()) : CaptureDeviceList{};
}

void CCameraWatch::DrainBus()
{
    if (!m_monitor)
        return;
    GstBusPtr bus(gst_device_monitor_get_bus(m_monitor.get()));
    while (GstMessagePtr message{gst_bus_pop(bus.get())}) {
        GstDevice* device = nullptr;
        bool added = false;
        if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_DEVICE_ADDED) {
            gst_message_parse_device_added(message.get(), &device);
            added = true;
        } else if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_DEVICE_REMOVED) {
            gst_message_parse_device_removed(message.get(), &device);
        }
        GstDevicePtr owned(device);
        if (owned && m_notice)
            m_notice(owned.get(), added);
    }
}

} // namespace pelmora
