#include "testcamera.h"
#include "capturedevice.h"
#include "clockstamp.h"

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr const char* kProviderName = "pelmoratestcamera";

struct PelmoraTestCamera {
    GstDevice parent;
    gchar* pattern;
    std::atomic<bool>* failed;
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

// The cameras plugged in, in plugging order; each holds one reference.
std::mutex g_lock;
std::vector<GstDevice*> g_cameras;
bool g_started = false;

bool Enabled()
{
    return !qEnvironmentVariableIsEmpty("PELMORA_TEST_CAMERA");
}

// An unplugged camera's driver reports a read error and stops its stream:
// the buffer is dropped and the push fails, which pauses the source's
// streaming thread for good.
GstPadProbeReturn FailWhenUnplugged(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    auto* camera = static_cast<PelmoraTestCamera*>(data);
    if (!camera->failed->load())
        return GST_PAD_PROBE_OK;
    if (GstElement* source = gst_pad_get_parent_element(pad)) {
        if (!g_object_get_data(G_OBJECT(source), "pelmora-unplugged")) {
            g_object_set_data(G_OBJECT(source), "pelmora-unplugged", GINT_TO_POINTER(1));
            GST_ELEMENT_ERROR(source, RESOURCE, READ, ("Could not read from resource."),
                              ("The camera was unplugged."));
        }
        gst_object_unref(source);
    }
    gst_buffer_unref(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_FLOW_RETURN(info) = GST_FLOW_ERROR;
    return GST_PAD_PROBE_HANDLED;
}

GstElement* CreateCameraElement(GstDevice* device, const gchar* name)
{
    auto* camera = reinterpret_cast<PelmoraTestCamera*>(device);
    if (camera->failed->load())
        return nullptr; // the device node is gone
    GstElement* source = gst_element_factory_make("videotestsrc", name);
    if (!source)
        return nullptr;
    g_object_set(source, "is-live", TRUE, nullptr);
    const QString wanted = camera->pattern && *camera->pattern ? QString::fromUtf8(camera->pattern)
                                                               : qEnvironmentVariable("PELMORA_TEST_CAMERA");
    // "clock": the default picture, each frame stamped with the moment it left.
    if (wanted.section(QLatin1Char(' '), 0, 0) == QLatin1String("clock")) {
        pelmora::clockstamp::StampEveryFrame(source);
    } else {
        const QString pattern = camera->pattern && *camera->pattern ? wanted : pelmora::TestCameraPattern(wanted);
        if (!pattern.isEmpty())
            gst_util_set_object_arg(G_OBJECT(source), "pattern", pattern.toUtf8().constData());
    }
    if (GstPad* out = gst_element_get_static_pad(source, "src")) {
        gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_BUFFER, FailWhenUnplugged,
                          gst_object_ref(device), gst_object_unref);
        gst_object_unref(out);
    }
    return source;
}

void pelmora_test_camera_init(PelmoraTestCamera* camera)
{
    camera->pattern = nullptr;
    camera->failed = new std::atomic<bool>(false);
}

void pelmora_test_camera_finalize(GObject* object)
{
    auto* camera = reinterpret_cast<PelmoraTestCamera*>(object);
    g_free(camera->pattern);
    delete camera->failed;
    G_OBJECT_CLASS(pelmora_test_camera_parent_class)->finalize(object);
}

void pelmora_test_camera_class_init(PelmoraTestCameraClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = pelmora_test_camera_finalize;
    GST_DEVICE_CLASS(klass)->create_element = CreateCameraElement;
}

GList* ProbeCameras(GstDeviceProvider*)
{
    GList* list = nullptr;
    std::lock_guard<std::mutex> lock(g_lock);
    if (Enabled())
        for (GstDevice* camera : g_cameras)
            list = g_list_append(list, gst_object_ref(camera));
    return list;
}

gboolean StartProvider(GstDeviceProvider* provider)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_started = true;
    if (Enabled())
        for (GstDevice* camera : g_cameras)
            gst_device_provider_device_add(provider, camera);
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

void PlugTestCamera(const QString& pattern, const QString& displayName)
{
    GstCapsPtr caps(gst_caps_from_string(TestCameraCapabilities().toUtf8().constData()));
    static std::atomic<int> serial{0};
    GstStructurePtr properties(
        gst_structure_new("pelmora-test-camera", "serial", G_TYPE_INT, ++serial, nullptr));
    auto* camera = static_cast<PelmoraTestCamera*>(g_object_new(
        pelmora_test_camera_get_type(), "display-name", displayName.toUtf8().constData(),
        "device-class", "Video/Source", "caps", caps.get(), "properties", properties.get(),
        nullptr));
    camera->pattern = g_strdup(pattern.toUtf8().constData());
    GstDevice* device = GST_DEVICE(gst_object_ref_sink(camera));

    GstDeviceProvider* provider = Provider();
    std::lock_guard<std::mutex> lock(g_lock);
    g_cameras.push_back(device);
    if (provider && g_started && Enabled())
        gst_device_provider_device_add(provider, device);
    if (provider)
        gst_object_unref(provider);
}

void FailTestCameras(bool remove)
{
    GstDeviceProvider* provider = Provider();
    std::vector<GstDevice*> removed;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        for (GstDevice* device : g_cameras)
            reinterpret_cast<PelmoraTestCamera*>(device)->failed->store(true);
        if (remove)
            removed.swap(g_cameras);
    }
    for (GstDevice* device : removed) {
        if (provider && GST_OBJECT_PARENT(device))
            gst_device_provider_device_remove(provider, device);
        gst_object_unref(device);
    }
    if (provider)
        gst_object_unref(provider);
}

} // namespace pelmora
