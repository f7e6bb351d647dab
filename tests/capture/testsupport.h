#pragma once
// Helpers shared by the capture tests: fake cameras and an event recorder.
#include "capturedevice.h"
#include "capturegraph.h"
#include "framegrab.h"
#include "testing.h"
#include "videowindow.h"
#include <functional>
#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <vector>

namespace pelmora::test {

// Collects the frames posted to the main window.
class FrameRecorder : public QObject {
public:
    std::vector<QByteArray> frames;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == CFrameReadyEvent::Type) {
            frames.push_back(static_cast<CFrameReadyEvent*>(event)->Frame());
            return true;
        }
        return QObject::event(event);
    }
};


// A camera whose binding fails with a given result.
class UnbindableDevice : public CaptureDevice {
public:
    explicit UnbindableDevice(HRESULT result) : m_result(result) {}
    QString DisplayName() const override { return QStringLiteral("Unbindable"); }
    HRESULT Bind(GstElementPtr*) override { return m_result; }
    GstCapsPtr Capabilities() const override { return {}; }

private:
    HRESULT m_result;
};

// A category listing exactly the given cameras, made afresh on each call.
using DeviceFactory = std::function<std::unique_ptr<CaptureDevice>()>;
inline CaptureDeviceSource Category(std::vector<DeviceFactory> factories)
{
    return [factories] {
        CaptureDeviceList list;
        for (const DeviceFactory& make : factories)
            list.push_back(make());
        return list;
    };
}

inline DeviceFactory TestCamera(const QString& pattern = QString())
{
    return [pattern] { return MakeTestCamera(pattern); };
}

// A videotestsrc-based camera reporting the given capabilities.
inline DeviceFactory FakeCamera(const QString& capabilities,
                                const QString& factory = "videotestsrc",
                                const QString& name = "Fake Camera")
{
    return [=] {
        return std::make_unique<FactoryCaptureDevice>(name, factory, QStringLiteral("is-live=true"),
                                                      capabilities);
    };
}

inline GstElementPtr ChildNamed(CCaptureGraph* graph, const char* name)
{
    return GstElementPtr(gst_bin_get_by_name(GST_BIN(graph->Pipeline()), name));
}

inline GstState CurrentState(GstElement* element)
{
    GstState state = GST_STATE_VOID_PENDING;
    gst_element_get_state(element, &state, nullptr, 0);
    return state;
}

} // namespace pelmora::test
