#include "camerachain.h"
#include "capturegraph.h"

namespace pelmora {

namespace {

constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 240;

// What the grabber accepts: 24-bit blue-green-red at the photo size.
constexpr const char* kGrabberCaps = "video/x-raw, format=BGR, width=320, height=240";

bool FieldContains(const GstStructure* s, const char* field, int wanted)
{
    const GValue* value = gst_structure_get_value(s, field);
    if (!value)
        return false;
    GValue probe = G_VALUE_INIT;
    g_value_init(&probe, G_TYPE_INT);
    g_value_set_int(&probe, wanted);
    const bool contains = gst_value_intersect(nullptr, value, &probe);
    g_value_unset(&probe);
    return contains;
}

// The capability narrowed to the photo size, keeping its own format and
// memory features; of several frame rates the one nearest to 30 a second.
GstCapsPtr PhotoFormatFrom(const GstCaps* capabilities, guint index)
{
    GstStructure* format = gst_structure_copy(gst_caps_get_structure(capabilities, index));
    gst_structure_set(format, "width", G_TYPE_INT, kFrameWidth, "height", G_TYPE_INT, kFrameHeight,
                      nullptr);
    if (gst_structure_has_field(format, "framerate"))
        gst_structure_fixate_field_nearest_fraction(format, "framerate", 30, 1);
    GstCapsFeatures* features = gst_caps_get_features(capabilities, index);
    GstCapsPtr caps(gst_caps_new_empty());
    gst_caps_append_structure_full(caps.get(), format,
                                   features ? gst_caps_features_copy(features) : nullptr);
    return caps;
}

GstElementPtr MakeCapsFilter(const char* name, GstCaps* caps)
{
    GstElementPtr filter = MakeElement("capsfilter", name);
    if (filter)
        g_object_set(filter.get(), "caps", caps, nullptr);
    return filter;
}

// Connects the camera to the grabber through whatever converters it takes,
// in the given format (null: whatever the camera produces). Succeeds only when
// the camera's side, as the source reports it once opened, can reach BGR at
// 320x240 through the chain.
HRESULT ConnectToGrabber(GstBin* pipeline, GstElement* source, GstElement* grabber, GstCaps* format)
{
    std::vector<GstElementPtr> chain;
    if (format) {
        chain.push_back(MakeCapsFilter("CaptureFormat", format));
        // Compressed webcam formats need decoding before any conversion.
        if (gst_structure_has_name(gst_caps_get_structure(format, 0), "image/jpeg"))
            chain.push_back(MakeElement("jpegdec", "CaptureDecoder"));
    }
    chain.push_back(MakeElement("videoconvert", "GrabberConvert"));
    chain.push_back(MakeElement("videoscale", "GrabberScale"));
    GstCapsPtr grabberCaps(gst_caps_from_string(kGrabberCaps));
    chain.push_back(MakeCapsFilter("GrabberFormat", grabberCaps.get()));
    for (const GstElementPtr& element : chain)
        if (!element)
            return E_FAIL;

    if (!AddAndLink(pipeline, source, chain, grabber))
        return E_FAIL;

    // Linking checks only the pads' templates; the caps query walks upstream
    // through the converters to what the opened source can really produce.
    GstPadPtr out(gst_element_get_static_pad(chain.back().get(), "src"));
    GstCapsPtr reachable(out ? gst_pad_query_caps(out.get(), nullptr) : nullptr);
    if (reachable && !gst_caps_is_empty(reachable.get()) &&
        gst_caps_can_intersect(reachable.get(), grabberCaps.get()))
        return S_OK;

    for (const GstElementPtr& element : chain)
        gst_bin_remove(pipeline, element.get());
    return E_FAIL;
}

// The element linked to the pad's peer, or null.
GstElementPtr PeerElement(GstPad* pad)
{
    GstPadPtr peer(pad ? gst_pad_get_peer(pad) : nullptr);
    return GstElementPtr(peer ? gst_pad_get_parent_element(peer.get()) : nullptr);
}

} // namespace

bool OffersPhotoSize(const GstStructure* capability)
{
    return capability && FieldContains(capability, "width", kFrameWidth) &&
           FieldContains(capability, "height", kFrameHeight);
}

bool AddAndLink(GstBin* bin, GstElement* upstream, const std::vector<GstElementPtr>& chain,
                GstElement* downstream)
{
    std::vector<GstElement*> added;
    bool ok = true;
    for (const GstElementPtr& element : chain) {
        if (!gst_bin_add(bin, element.get())) {
            ok = false;
            break;
        }
        added.push_back(element.get());
    }
    GstElement* previous = upstream;
    for (size_t i = 0; ok && i < added.size(); ++i) {
        ok = gst_element_link(previous, added[i]);
        previous = added[i];
    }
    if (ok && downstream)
        ok = gst_element_link(previous, downstream);
    if (!ok) {
        // Removing unlinks the pads, including those to upstream and downstream.
        for (GstElement* element : added)
            gst_bin_remove(bin, element);
    }
    return ok;
}


HRESULT ConnectCamera(GstBin* pipeline, GstElement* source, GstElement* grabber,
                      const CaptureDevice& device)
{
    GstCapsPtr capabilities = device.Capabilities();
    const guint count = capabilities ? gst_caps_get_size(capabilities.get()) : 0;
    // A camera that lists no formats (or any format) is connected in
    // whatever it produces; the converters and the scaler bring that to
    // the photo size.
    if (count == 0)
        return ConnectToGrabber(pipeline, source, grabber, nullptr);
    HRESULT hr = E_FAIL;
    for (guint i = 0; i < count && FAILED(hr); ++i) {
        if (!OffersPhotoSize(gst_caps_get_structure(capabilities.get(), i)))
            continue;
        GstCapsPtr format = PhotoFormatFrom(capabilities.get(), i);
        hr = ConnectToGrabber(pipeline, source, grabber, format.get());
    }
    return hr;
}

HRESULT AttachCamera(GstBin* pipeline, GstElement* grabber, CaptureDevice& device)
{
    GstElementPtr source;
    HRESULT hr = device.Bind(&source);
    if (FAILED(hr) || !source)
        return FAILED(hr) ? hr : E_FAIL;
    // Names are the way back to the elements (the property sheet looks for
    // "CaptureDevice"); an element's name can change only outside a bin.
    gst_object_set_name(GST_OBJECT(source.get()), "CaptureDevice");
    if (!gst_bin_add(pipeline, source.get())) {
        gst_element_set_state(source.get(), GST_STATE_NULL);
        return E_FAIL;
    }
    hr = ConnectCamera(pipeline, source.get(), grabber, device);
    if (FAILED(hr)) {
        gst_element_set_state(source.get(), GST_STATE_NULL);
        gst_bin_remove(pipeline, source.get());
    }
    return hr;
}

void DetachCamera(GstBin* pipeline, GstElement* grabber)
{
    GstPadPtr input(gst_element_get_static_pad(grabber, "sink"));
    GstElementPtr element = PeerElement(input.get());
    while (element) {
        GstPadPtr sink(gst_element_get_static_pad(element.get(), "sink"));
        GstElementPtr upstream = PeerElement(sink.get());
        gst_element_set_state(element.get(), GST_STATE_NULL);
        gst_bin_remove(pipeline, element.get());
        element = std::move(upstream);
    }
    // A source that never got linked (its connection failed) goes too.
    if (GstElementPtr source{gst_bin_get_by_name(pipeline, "CaptureDevice")}) {
        gst_element_set_state(source.get(), GST_STATE_NULL);
        gst_bin_remove(pipeline, source.get());
    }
}

} // namespace pelmora
