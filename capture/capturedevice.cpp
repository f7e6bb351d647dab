#include "capturedevice.h"
#include "testcamera.h"
#include <algorithm>
#include <QByteArray>
#include <QStringList>

namespace pelmora {

bool EnsureGStreamer()
{
    GError* error = nullptr;
    const bool ok = gst_init_check(nullptr, nullptr, &error);
    GErrorPtr owned(error);
    return ok;
}

namespace {

// Opens a freshly created source: a camera that cannot even be opened (busy,
// unplugged, no permission) is skipped like one that cannot be created.
HRESULT OpenSource(GstElementPtr created, GstElementPtr* element)
{
    if (!created)
        return E_FAIL;
    if (gst_element_set_state(created.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(created.get(), GST_STATE_NULL);
        return E_FAIL;
    }
    *element = std::move(created);
    return S_OK;
}

class MonitoredCaptureDevice : public CaptureDevice {
public:
    explicit MonitoredCaptureDevice(GstDevicePtr device) : m_device(std::move(device)) {}

    QString DisplayName() const override
    {
        GCharPtr name(gst_device_get_display_name(m_device.get()));
        return QString::fromUtf8(name.get());
    }

    HRESULT Bind(GstElementPtr* element) override
    {
        return OpenSource(AdoptElement(gst_device_create_element(m_device.get(), nullptr)),
                          element);
    }

    GstCapsPtr Capabilities() const override
    {
        return GstCapsPtr(gst_device_get_caps(m_device.get()));
    }

    GstDevice* Device() const override { return m_device.get(); }

private:
    GstDevicePtr m_device;
};

} // namespace

QString TestCameraPattern(const QString& patternName)
{
    const QByteArray wanted = patternName.trimmed().section(QLatin1Char(' '), 0, 0).toUtf8();
    if (wanted.isEmpty())
        return {};
    GstElementPtr probe = MakeElement("videotestsrc");
    if (!probe)
        return {};
    GParamSpec* param = g_object_class_find_property(G_OBJECT_GET_CLASS(probe.get()), "pattern");
    if (!param || !G_IS_PARAM_SPEC_ENUM(param))
        return {};
    GEnumClass* patterns = G_PARAM_SPEC_ENUM(param)->enum_class;
    const GEnumValue* value = g_enum_get_value_by_nick(patterns, wanted.constData());
    if (!value)
        value = g_enum_get_value_by_name(patterns, wanted.constData());
    return value ? QString::fromUtf8(value->value_nick) : QString();
}

FactoryCaptureDevice::FactoryCaptureDevice(QString displayName, QString factory, QString properties,
                                           QString capabilities)
    : m_displayName(std::move(displayName)), m_factory(std::move(factory)),
      m_properties(std::move(properties)), m_capabilities(std::move(capabilities))
{
}

HRESULT FactoryCaptureDevice::Bind(GstElementPtr* element)
{
    GstElementPtr created = MakeElement(m_factory.toUtf8().constData());
    if (!created)
        return E_FAIL;
    const QStringList assignments = m_properties.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& assignment : assignments) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QByteArray key = assignment.left(equals).toUtf8();
        const QByteArray value = assignment.mid(equals + 1).toUtf8();
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(created.get()), key.constData()))
            gst_util_set_object_arg(G_OBJECT(created.get()), key.constData(), value.constData());
    }
    return OpenSource(std::move(created), element);
}

GstCapsPtr FactoryCaptureDevice::Capabilities() const
{
    if (m_capabilities.isEmpty())
        return {};
    return GstCapsPtr(gst_caps_from_string(m_capabilities.toUtf8().constData()));
}

QString TestCameraCapabilities()
{
    return QStringLiteral("video/x-raw, format=YUY2, width=640, height=480, framerate=30/1; "
                          "video/x-raw, format=YUY2, width=352, height=288, framerate=30/1; "
                          "video/x-raw, format=YUY2, width=320, height=240, framerate=30/1; "
                          "video/x-raw, format=YUY2, width=176, height=144, framerate=30/1");
}

std::unique_ptr<CaptureDevice> MakeTestCamera(const QString& patternName)
{
    // A live source paces itself at the negotiated frame rate, as a camera
    // does; a non-live one would run as fast as the machine allows.
    QString properties = QStringLiteral("is-live=true");
    const QString pattern = TestCameraPattern(patternName);
    if (!pattern.isEmpty())
        properties += QStringLiteral(" pattern=") + pattern;
    return std::make_unique<FactoryCaptureDevice>(QStringLiteral("Pelmora Test Camera"),
                                                  QStringLiteral("videotestsrc"), properties,
                                                  TestCameraCapabilities());
}

CaptureDeviceList EnumerateSystemCaptureDevices()
{
    if (!EnsureGStreamer())
        return {};

    if (!qEnvironmentVariableIsEmpty("PELMORA_TEST_CAMERA"))
        RegisterTestCameraProvider();

    GstDeviceMonitorPtr monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    // Without start the monitor probes the hardware once for this list.
    return MonitorDevices(monitor.get());
}

CaptureDeviceList MonitorDevices(GstDeviceMonitor* monitor)
{
    CaptureDeviceList devices;
    GList* found = gst_device_monitor_get_devices(monitor);
    for (GList* item = found; item; item = item->next)
        devices.push_back(MakeMonitoredDevice(GstDevicePtr(GST_DEVICE(item->data))));
    g_list_free(found);
    std::stable_partition(devices.begin(), devices.end(),
                          [](const auto& device) { return IsTestCameraDevice(device->Device()); });
    return devices;
}

std::unique_ptr<CaptureDevice> MakeMonitoredDevice(GstDevicePtr device)
{
    return std::make_unique<MonitoredCaptureDevice>(std::move(device));
}

namespace {

// The device node a camera's entry names: V4L2's "device.path", PipeWire's
// "api.v4l2.path"; empty for a provider that names none.
QByteArray DeviceNode(GstDevice* device)
{
    GstStructurePtr properties(gst_device_get_properties(device));
    for (const char* field : {"device.path", "api.v4l2.path"})
        if (const gchar* path = properties ? gst_structure_get_string(properties.get(), field) : nullptr)
            return QByteArray(path);
    return {};
}

} // namespace

bool SameDevice(GstDevice* a, GstDevice* b)
{
    if (!a || !b)
        return false;
    if (a == b)
        return true;
    // A one-off probe and a running monitor describe one V4L2 camera with
    // different properties; its device node is what both name alike.
    const QByteArray nodeA = DeviceNode(a), nodeB = DeviceNode(b);
    if (!nodeA.isEmpty() && !nodeB.isEmpty())
        return nodeA == nodeB;
    GCharPtr nameA(gst_device_get_display_name(a));
    GCharPtr nameB(gst_device_get_display_name(b));
    if (g_strcmp0(nameA.get(), nameB.get()) != 0)
        return false;
    GstStructurePtr propertiesA(gst_device_get_properties(a));
    GstStructurePtr propertiesB(gst_device_get_properties(b));
    if (!propertiesA || !propertiesB)
        return !propertiesA && !propertiesB;
    return gst_structure_is_equal(propertiesA.get(), propertiesB.get());
}

CaptureDeviceSource SystemCaptureDevices()
{
    return &EnumerateSystemCaptureDevices;
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

} // namespace pelmora
