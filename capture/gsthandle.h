#pragma once
#include <glib.h>
#include <gst/gst.h>
#include <memory>

namespace pelmora {

// One owner for every GStreamer and GLib object: each handle releases exactly
// the reference it was given.
struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct GstCapsUnref {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
struct GstStructureFree {
    void operator()(GstStructure* s) const { gst_structure_free(s); }
};
struct GstSampleUnref {
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
};
struct GstMessageUnref {
    void operator()(GstMessage* message) const { gst_message_unref(message); }
};
struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};

using GstElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;
using GstPadPtr = std::unique_ptr<GstPad, GstObjectUnref>;
using GstBusPtr = std::unique_ptr<GstBus, GstObjectUnref>;
using GstDevicePtr = std::unique_ptr<GstDevice, GstObjectUnref>;
using GstDeviceMonitorPtr = std::unique_ptr<GstDeviceMonitor, GstObjectUnref>;
using GstCapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;
using GstStructurePtr = std::unique_ptr<GstStructure, GstStructureFree>;
using GstSamplePtr = std::unique_ptr<GstSample, GstSampleUnref>;
using GstMessagePtr = std::unique_ptr<GstMessage, GstMessageUnref>;
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;
using GCharPtr = std::unique_ptr<gchar, GFree>;

// A new element from a factory, its floating reference sunk so that the handle
// owns it; adding it to a bin later gives the bin a reference of its own.
// Null when the plugin is missing.
inline GstElementPtr MakeElement(const char* factory, const char* name = nullptr)
{
    GstElement* element = gst_element_factory_make(factory, name);
    if (!element)
        return {};
    return GstElementPtr(GST_ELEMENT(gst_object_ref_sink(element)));
}

// Takes over the one reference a creating call returned, sinking it when it is
// still floating (gst_device_create_element returns a floating element).
inline GstElementPtr AdoptElement(GstElement* element)
{
    if (element && g_object_is_floating(element))
        gst_object_ref_sink(element);
    return GstElementPtr(element);
}

// gst_init may be called any number of times; false when GStreamer cannot start.
bool EnsureGStreamer();

} // namespace pelmora
