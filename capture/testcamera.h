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

// A fresh camera plugged in: the given pattern (empty: the variable's) and
// display name.
void PlugTestCamera(const QString& pattern = QString(),
                    const QString& displayName = QStringLiteral("Pelmora Test Camera"));

// Every test camera now plugged in fails as an unplugged camera does: its
// element posts an error and delivers no more frames, for good, and it can
// no longer be opened. With remove, the cameras also leave the device list.
void FailTestCameras(bool remove);

} // namespace pelmora
