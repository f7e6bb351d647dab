#pragma once
#include "gsthandle.h"
#include "hresult.h"
#include <functional>
#include <memory>
#include <QString>
#include <vector>

namespace pelmora {

// One entry of the video-input category: a camera the capture graph may use.
class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;

    // The name people know the camera by; the property sheet's title.
    virtual QString DisplayName() const = 0;

    // Creates the camera's source element and opens it (state READY). On
    // success *element owns it; a failure result means the camera is skipped.
    virtual HRESULT Bind(GstElementPtr* element) = 0;

    // The formats the camera offers, one structure per capability in the
    // camera's order; null when it reports none.
    virtual GstCapsPtr Capabilities() const = 0;

    // The device monitor's entry for the camera; null for cameras that do
    // not come from a monitor.
    virtual GstDevice* Device() const { return nullptr; }
};

using CaptureDeviceList = std::vector<std::unique_ptr<CaptureDevice>>;

// A camera as the device monitor lists it.
std::unique_ptr<CaptureDevice> MakeMonitoredDevice(GstDevicePtr device);

// The cameras a device monitor lists now, test cameras first.
CaptureDeviceList MonitorDevices(GstDeviceMonitor* monitor);

// True when two device entries name the same camera: the same object; or,
// when both name a device node ("device.path", "api.v4l2.path"), the same
// node; otherwise the same display name and device properties.
bool SameDevice(GstDevice* a, GstDevice* b);

// Enumerates the video-input category, in order, each time it is called.
// Tests inject their own cameras through it.
using CaptureDeviceSource = std::function<CaptureDeviceList()>;

// Finds the first camera of the category that binds. S_OK with *element and
// *device filled; S_FALSE when the category is empty; otherwise the failure of
// the last camera that was tried.
HRESULT FindCaptureDevice(const CaptureDeviceSource& devices, GstElementPtr* element,
                          std::unique_ptr<CaptureDevice>* device);

// A camera whose element comes from a factory by name, with the properties
// given as text ("pattern=smpte is-live=true"), and a fixed list of
// capabilities. The test camera is one; tests build others.
class FactoryCaptureDevice : public CaptureDevice {
public:
    FactoryCaptureDevice(QString displayName, QString factory, QString properties,
                         QString capabilities);

    QString DisplayName() const override { return m_displayName; }
    HRESULT Bind(GstElementPtr* element) override;
    GstCapsPtr Capabilities() const override;

private:
    QString m_displayName;
    QString m_factory;
    QString m_properties;
    QString m_capabilities;
};

// The synthetic camera: a live videotestsrc with the capabilities of a common
// webcam (YUY2 at 640x480, 352x288, 320x240 and 176x144, 30 frames a second).
// patternName picks the picture ("smpte", "ball", "snow", ...); an empty or
// unknown name, or "1", keeps the default.
std::unique_ptr<CaptureDevice> MakeTestCamera(const QString& patternName = QString());

// The capabilities the test camera reports, in its order.
QString TestCameraCapabilities();

// The videotestsrc pattern a name (its first word) picks; empty for none or
// an unknown one.
QString TestCameraPattern(const QString& patternName);

// The product's video-input category: the system's video sources as
// GStreamer's device monitor lists them ("Video/Source"). When the
// environment variable PELMORA_TEST_CAMERA is set and not empty, the test
// camera's provider is registered first (its value picks the pattern) and its
// cameras come before the others.
CaptureDeviceList EnumerateSystemCaptureDevices();
CaptureDeviceSource SystemCaptureDevices();

} // namespace pelmora
