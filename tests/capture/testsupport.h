#pragma once
// Cameras for the capture tests: categories of given cameras, the test camera and fakes.
#include "capturedevice.h"
#include "capturegraph.h"
#include "testing.h"
#include <functional>
#include <vector>

namespace pelmora::test {

// Made afresh on each call, as the system's category is.
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

inline DeviceFactory FakeCamera(const QString& capabilities, const QString& factory = "videotestsrc",
                                const QString& name = "Fake Camera", const QString& properties = "is-live=true")
{
    return [=] { return std::make_unique<FactoryCaptureDevice>(name, factory, properties, capabilities); };
}

class ScriptedCamera : public CaptureDevice {
public:
    using Binder = std::function<HRESULT(GstElementPtr*)>;
    ScriptedCamera(Binder bind, QByteArray capabilities) : m_bind(std::move(bind)), m_caps(capabilities) {}
    QString DisplayName() const override { return QStringLiteral("Scripted Camera"); }
    HRESULT Bind(GstElementPtr* element) override { return m_bind(element); }
    GstCapsPtr Capabilities() const override
    {
        return GstCapsPtr(m_caps.isEmpty() ? nullptr : gst_caps_from_string(m_caps.constData()));
    }

private:
    Binder m_bind;
    QByteArray m_caps;
};

// A driver's chain of elements behind one output, as a bin from a pipeline description.
inline DeviceFactory BinCamera(QByteArray description, QByteArray capabilities)
{
    return [=] {
        return std::make_unique<ScriptedCamera>([description](GstElementPtr* element) {
            GstElementPtr bin =
                AdoptElement(GST_ELEMENT(gst_parse_bin_from_description(description.constData(), TRUE, nullptr)));
            if (!bin)
                return E_FAIL;
            gst_element_set_state(bin.get(), GST_STATE_READY);
            *element = std::move(bin);
            return S_OK;
        }, capabilities);
    };
}

inline GstElementPtr ChildNamed(CCaptureGraph* graph, const char* name)
{
    return GstElementPtr(gst_bin_get_by_name(GST_BIN(graph->Pipeline()), name));
}

inline const char* PatternNick(GstElement* element)
{
    gint chosen = 0;
    g_object_get(element, "pattern", &chosen, nullptr);
    GParamSpec* param = g_object_class_find_property(G_OBJECT_GET_CLASS(element), "pattern");
    return g_enum_get_value(G_PARAM_SPEC_ENUM(param)->enum_class, chosen)->value_nick;
}

} // namespace pelmora::test
