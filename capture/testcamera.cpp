#include "testcamera.h"
#include "capturedevice.h"
#include "clockstamp.h"

#include <QByteArray>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using pelmora::GstCapsPtr;
using pelmora::GstElementPtr;
using pelmora::GstStructurePtr;

constexpr const char* kProviderName = "pelmoratestcamera";

qint64 SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One plugging-in of a camera: what its device node stands for until the
// camera is unplugged. The device objects and elements made for it share it.
struct CameraNode {
    int number = 0; // of /dev/videoN
    QByteArray pattern;
    QString name;
    pelmora::TestCameraTraits traits;
    qint64 pluggedMs = 0;
    std::atomic<bool> gone{false}; // unplugged or failed, for good
    GstDevice* listed = nullptr;   // the running monitor's entry (one reference)

    bool Busy() const { return traits.busyMs < 0 || SteadyMs() - pluggedMs < traits.busyMs; }
};
using NodePtr = std::shared_ptr<CameraNode>;

struct PelmoraTestCamera {
    GstDevice parent;
    NodePtr* node;
};
struct PelmoraTestCameraClass {
    GstDeviceClass parent_class;
};

struct PelmoraTestCameraProvider {
    GstDeviceProvider parent;
};
struct PelmoraTestCameraProviderClass {
    GstDeviceProviderClass parent_class;
};

GType pelmora_test_camera_get_type();
GType pelmora_test_camera_provider_get_type();

G_DEFINE_TYPE(PelmoraTestCamera, pelmora_test_camera, GST_TYPE_DEVICE)
G_DEFINE_TYPE(PelmoraTestCameraProvider, pelmora_test_camera_provider, GST_TYPE_DEVICE_PROVIDER)

// The cameras plugged in, in plugging order.
std::mutex g_lock;
std::vector<NodePtr> g_cameras;
bool g_started = false;
std::atomic<pelmora::TestCameraStyle> g_style{pelmora::TestCameraStyle::Shared};

bool Enabled()
{
    return !qEnvironmentVariableIsEmpty("PELMORA_TEST_CAMERA");
}

void DeleteNode(gpointer node)
{
    delete static_cast<NodePtr*>(node);
}

CameraNode* NodeOf(GstElement* source)
{
    auto* node = static_cast<NodePtr*>(g_object_get_data(G_OBJECT(source), "pelmora-node"));
    return node ? node->get() : nullptr;
}

// Fails the stream once: the driver's error, then no more buffers.
GstPadProbeReturn FailStream(GstElement* source, GstPadProbeInfo* info, bool busy)
{
    if (!g_object_get_data(G_OBJECT(source), "pelmora-failed")) {
        g_object_set_data(G_OBJECT(source), "pelmora-failed", GINT_TO_POINTER(1));
        if (busy)
            GST_ELEMENT_ERROR(source, RESOURCE, BUSY, ("Device is busy."), ("Another program streams."));
        else
            GST_ELEMENT_ERROR(source, RESOURCE, READ, ("Could not read from resource."),
                              ("The camera was unplugged."));
    }
    gst_buffer_unref(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_FLOW_RETURN(info) = GST_FLOW_ERROR;
    return GST_PAD_PROBE_HANDLED;
}

// Every buffer of a camera's stream: an unplugged camera reports a read error
// and stops its stream; a busy one stops before its first frame; one that
// warms up drops what comes before its first frame.
GstPadProbeReturn OnCameraBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer)
{
    GstElementPtr source(gst_pad_get_parent_element(pad));
    CameraNode* node = source ? NodeOf(source.get()) : nullptr;
    if (!node)
        return GST_PAD_PROBE_OK;
    if (node->gone.load() || node->Busy())
        return FailStream(source.get(), info, !node->gone.load());
    auto started = qint64(GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(source.get()), "pelmora-started")));
    if (!started) {
        started = SteadyMs();
        g_object_set_data(G_OBJECT(source.get()), "pelmora-started", GSIZE_TO_POINTER(gsize(started)));
    }
    return SteadyMs() - started < node->traits.firstFrameMs ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

// The camera's source: a videotestsrc whose start fails for good once its
// camera has been unplugged, as a V4L2 source's does (its file descriptor is
// gone), and says nothing on the bus about it: whatever a driver posts then
// goes when the pipeline stops.
GstElementClass* g_sourceParent = nullptr;

GstStateChangeReturn ChangeSourceState(GstElement* element, GstStateChange transition)
{
    const CameraNode* node = NodeOf(element);
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && node)
        std::this_thread::sleep_for(std::chrono::milliseconds(node->traits.openMs));
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED && node && node->gone.load())
        return GST_STATE_CHANGE_FAILURE;
    return g_sourceParent->change_state(element, transition);
}

void InitSourceClass(gpointer klass, gpointer)
{
    g_sourceParent = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    GST_ELEMENT_CLASS(klass)->change_state = ChangeSourceState;
}

GType SourceType()
{
    static const GType type = [] {
        GstElementFactory* factory = gst_element_factory_find("videotestsrc");
        GstPluginFeature* loaded = factory ? gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory)) : nullptr;
        if (factory)
            gst_object_unref(factory);
        if (!loaded)
            return G_TYPE_INVALID;
        const GType parent = gst_element_factory_get_element_type(GST_ELEMENT_FACTORY(loaded));
        gst_object_unref(loaded);
        GTypeQuery query;
        g_type_query(parent, &query);
        return g_type_register_static_simple(parent, "PelmoraTestCameraSource", query.class_size,
                                             InitSourceClass, query.instance_size, nullptr, GTypeFlags(0));
    }();
    return type;
}

GstElement* CreateCameraElement(GstDevice* device, const gchar* name)
{
    NodePtr node = *reinterpret_cast<PelmoraTestCamera*>(device)->node;
    if (g_style.load() == pelmora::TestCameraStyle::V4l2) {
        // A V4L2 device object opens whatever camera has its node now.
        std::lock_guard<std::mutex> lock(g_lock);
        for (const NodePtr& plugged : g_cameras)
            if (plugged->number == node->number && !plugged->gone.load())
                node = plugged;
    }
    if (node->gone.load() || SourceType() == G_TYPE_INVALID)
        return nullptr; // the device node is gone
    auto* source = GST_ELEMENT(g_object_new(SourceType(), "name", name, "is-live", TRUE, nullptr));
    const QString wanted =
        !node->pattern.isEmpty() ? QString::fromUtf8(node->pattern) : qEnvironmentVariable("PELMORA_TEST_CAMERA");
    // "clock": the default picture, each frame stamped with the moment it left.
    if (wanted.section(QLatin1Char(' '), 0, 0) == QLatin1String("clock")) {
        pelmora::clockstamp::StampEveryFrame(source);
    } else {
        const QString pattern = !node->pattern.isEmpty() ? wanted : pelmora::TestCameraPattern(wanted);
        if (!pattern.isEmpty())
            gst_util_set_object_arg(G_OBJECT(source), "pattern", pattern.toUtf8().constData());
    }
    g_object_set_data_full(G_OBJECT(source), "pelmora-node", new NodePtr(node), DeleteNode);
    if (GstPad* out = gst_element_get_static_pad(source, "src")) {
        gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_BUFFER, OnCameraBuffer, nullptr, nullptr);
        gst_object_unref(out);
    }
    return source;
}

void pelmora_test_camera_init(PelmoraTestCamera* camera)
{
    camera->node = nullptr;
}

void pelmora_test_camera_finalize(GObject* object)
{
    DeleteNode(reinterpret_cast<PelmoraTestCamera*>(object)->node);
    G_OBJECT_CLASS(pelmora_test_camera_parent_class)->finalize(object);
}

void pelmora_test_camera_class_init(PelmoraTestCameraClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = pelmora_test_camera_finalize;
    GST_DEVICE_CLASS(klass)->create_element = CreateCameraElement;
}

// A device object for the camera: the running monitor's entry (listed) or a
// one-off probe's, with the properties each gets in the given style.
GstDevice* NewEntry(const NodePtr& node, const QString& displayName, bool listed, pelmora::TestCameraStyle style)
{
    static std::atomic<int> serial{0};
    const QByteArray path = "/dev/video" + QByteArray::number(node->number);
    const QByteArray port = QByteArray::number(node->number + 1);
    const QByteArray name = displayName.toUtf8();
    GstStructurePtr properties;
    if (style == pelmora::TestCameraStyle::Shared) {
        properties.reset(gst_structure_new("pelmora-test-camera", "serial", G_TYPE_INT, ++serial, nullptr));
    } else if (listed) {
        properties.reset(gst_structure_new(
            "v4l2deviceprovider", "udev-probed", G_TYPE_BOOLEAN, TRUE, "device.bus_path", G_TYPE_STRING,
            ("pci-0000:00:14.0-usb-0:" + port + ":1.0").constData(), "sysfs.path", G_TYPE_STRING,
            ("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + port + "/video4linux/video" +
             QByteArray::number(node->number)).constData(),
            "device.api", G_TYPE_STRING, "v4l2", "device.path", G_TYPE_STRING, path.constData(),
            "v4l2.device.card", G_TYPE_STRING, name.constData(), nullptr));
    } else {
        properties.reset(gst_structure_new(
            "v4l2-proplist", "device.path", G_TYPE_STRING, path.constData(), "udev-probed", G_TYPE_BOOLEAN,
            FALSE, "device.api", G_TYPE_STRING, "v4l2", "v4l2.device.card", G_TYPE_STRING, name.constData(),
            "v4l2.device.bus_info", G_TYPE_STRING, ("usb-0000:00:14.0-" + port).constData(), nullptr));
    }
    GstCapsPtr caps(gst_caps_from_string(pelmora::TestCameraCapabilities().toUtf8().constData()));
    auto* camera = static_cast<PelmoraTestCamera*>(
        g_object_new(pelmora_test_camera_get_type(), "display-name", name.constData(), "device-class",
                     "Video/Source", "caps", caps.get(), "properties", properties.get(), nullptr));
    camera->node = new NodePtr(node);
    return GST_DEVICE(gst_object_ref_sink(camera));
}

GList* ProbeCameras(GstDeviceProvider*)
{
    GList* list = nullptr;
    std::lock_guard<std::mutex> lock(g_lock);
    if (!Enabled())
        return nullptr;
    const pelmora::TestCameraStyle style = g_style.load();
    for (const NodePtr& node : g_cameras) {
        list = g_list_append(list, style == pelmora::TestCameraStyle::Shared ? gst_object_ref(node->listed)
                                                                             : NewEntry(node, node->name, false, style));
    }
    return list;
}

gboolean StartProvider(GstDeviceProvider* provider)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_started = true;
    if (Enabled())
        for (const NodePtr& node : g_cameras)
            gst_device_provider_device_add(provider, node->listed);
    return TRUE;
}

void StopProvider(GstDeviceProvider*)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_started = false;
}

void pelmora_test_camera_provider_init(PelmoraTestCameraProvider*) {}

void pelmora_test_camera_provider_class_init(PelmoraTestCameraProviderClass* klass)
{
    GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = ProbeCameras;
    provider->start = StartProvider;
    provider->stop = StopProvider;
    gst_device_provider_class_set_static_metadata(provider, "Pelmora test camera",
                                                  "Source/Video",
                                                  "Synthetic cameras that tests plug in and out",
                                                  "Orvane");
}

// The provider instance the monitors use (a factory keeps one), or null.
GstDeviceProvider* Provider()
{
    return gst_device_provider_factory_get_by_name(kProviderName);
}

} // namespace

namespace pelmora {

void RegisterTestCameraProvider()
{
    if (!EnsureGStreamer())
        return;
    static std::once_flag once;
    std::call_once(once, [] {
        // Above the system's own providers, so the test camera comes first.
        if (!gst_device_provider_register(nullptr, kProviderName, GST_RANK_PRIMARY + 1,
                                          pelmora_test_camera_provider_get_type()))
            return;
        PlugTestCamera();
        // "smpte unplug=1500": the camera is unplugged for good that many
        // milliseconds after it was plugged in, for tests of the whole program.
        const QString value = qEnvironmentVariable("PELMORA_TEST_CAMERA");
        const qsizetype at = value.indexOf(QLatin1String("unplug="));
        const int unplugMs = at < 0 ? -1 : value.mid(at + 7).section(QLatin1Char(' '), 0, 0).toInt();
        if (unplugMs > 0)
            std::thread([unplugMs] {
                std::this_thread::sleep_for(std::chrono::milliseconds(unplugMs));
                FailTestCameras(true);
            }).detach();
    });
}

bool IsTestCameraDevice(GstDevice* device)
{
    return device && G_TYPE_CHECK_INSTANCE_TYPE(device, pelmora_test_camera_get_type());
}

void SetTestCameraStyle(TestCameraStyle style)
{
    g_style.store(style);
}

void PlugTestCamera(const QString& pattern, const QString& displayName, const TestCameraTraits& traits)
{
    auto node = std::make_shared<CameraNode>();
    node->pattern = pattern.toUtf8();
    node->name = displayName;
    node->traits = traits;
    node->pluggedMs = SteadyMs();
    GstDeviceProvider* provider = Provider();
    std::lock_guard<std::mutex> lock(g_lock);
    // The kernel gives the lowest device number that is free.
    while (std::any_of(g_cameras.begin(), g_cameras.end(),
                       [&](const NodePtr& other) { return other->number == node->number; }))
        ++node->number;
    node->listed = NewEntry(node, displayName, true, g_style.load());
    g_cameras.push_back(node);
    if (provider && g_started && Enabled())
        gst_device_provider_device_add(provider, node->listed);
    if (provider)
        gst_object_unref(provider);
}

void FailTestCameras(bool remove, const QString& displayName)
{
    GstDeviceProvider* provider = Provider();
    std::vector<NodePtr> removed;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        const auto failing = [&](const NodePtr& node) { return displayName.isEmpty() || node->name == displayName; };
        for (const NodePtr& node : g_cameras)
            node->gone.store(node->gone.load() || failing(node));
        if (remove) {
            std::copy_if(g_cameras.begin(), g_cameras.end(), std::back_inserter(removed), failing);
            std::erase_if(g_cameras, failing);
        }
    }
    for (const NodePtr& node : removed) {
        if (provider && GST_OBJECT_PARENT(node->listed))
            gst_device_provider_device_remove(provider, node->listed);
        gst_object_unref(node->listed);
    }
    if (provider)
        gst_object_unref(provider);
}

} // namespace pelmora
