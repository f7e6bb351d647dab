#pragma once
// The test camera as a device of its own device provider: with
// PELMORA_TEST_CAMERA set it is registered in this process, and the device
// monitor finds it exactly as it finds a V4L2 camera. Tests plug it in,
// unplug it and make it fail through the functions below (from any thread).
#include <gst/gst.h>
#include <QString>

namespace pelmora {

// Registers the provider once and plugs in the first test camera, which
// follows PELMORA_TEST_CAMERA for its pattern (the first word of its value;
// "unplug=MS" after it unplugs that camera for good after MS milliseconds).
// The provider lists its cameras only while the variable is set and not empty.
void RegisterTestCameraProvider();

bool IsTestCameraDevice(GstDevice* device);

// How the provider hands its cameras out.
enum class TestCameraStyle {
    // One device object per camera, the same to a one-off probe and to a
    // running monitor.
    Shared,
    // As GStreamer's V4L2 provider does: each camera is a device node
    // /dev/videoN (the lowest number free when it is plugged in); a one-off
    // probe makes new device objects each time, whose property structure
    // differs from the running monitor's ("v4l2-proplist" against
    // "v4l2deviceprovider", other fields) but for the same "device.path".
    V4l2,
};
// For the cameras plugged in from now on, and for every probe.
void SetTestCameraStyle(TestCameraStyle style);

// How a test camera behaves once opened. Whatever the traits, an element made
// for a camera that is unplugged afterwards fails its start for good, as a
// V4L2 source whose file descriptor is gone does, even once the camera is back.
struct TestCameraTraits {
    // It opens and lists its formats, but every stream it starts stops with
    // an error before its first frame until this many milliseconds after it
    // was plugged in (a camera another program holds); negative: for good.
    int busyMs = 0;
    // Its first frame comes this long after its stream starts, as a real
    // camera's does while its exposure settles.
    int firstFrameMs = 0;
    // Opening it takes this long, as a UVC camera's driver takes tens of
    // milliseconds.
    int openMs = 0;
};

// A fresh camera plugged in: the given pattern (empty: the variable's),
// display name and traits.
void PlugTestCamera(const QString& pattern = QString(),
                    const QString& displayName = QStringLiteral("Pelmora Test Camera"),
                    const TestCameraTraits& traits = {});

// Every test camera now plugged in (with a display name: those of that name)
// fails as an unplugged camera does: its element posts an error and delivers
// no more frames, for good, and it can no longer be opened. With remove, the
// cameras also leave the device list.
void FailTestCameras(bool remove, const QString& displayName = QString());

} // namespace pelmora
