#pragma once
// The camera end of the capture graph: the camera's source element and the
// formats, decoder and converters that bring it to the grabber. Built at
// start-up and again, in place, whenever a camera comes back.
#include "capturedevice.h"
#include "gsthandle.h"
#include "hresult.h"
#include <vector>

namespace pelmora {

// Adds the elements to the bin and links them in order, from upstream (may
// be null) to downstream (may be null); on failure takes back the ones it
// added, so that the bin is as it was.
bool AddAndLink(GstBin* bin, GstElement* upstream, const std::vector<GstElementPtr>& chain,
                GstElement* downstream);

// Connects a camera's opened source, already in the pipeline, to the grabber:
// in the first of the camera's capabilities that offers 320x240 and connects,
// or, for a camera that lists none, in whatever it produces. E_FAIL when
// nothing connects; nothing is then left between source and grabber.
HRESULT ConnectCamera(GstBin* pipeline, GstElement* source, GstElement* grabber,
                      const CaptureDevice& device);

// Binds the camera, names its element "CaptureDevice", adds it to the
// stopped pipeline and connects it. On failure the pipeline is as it was.
HRESULT AttachCamera(GstBin* pipeline, GstElement* grabber, CaptureDevice& device);

// Takes the camera's source and everything between it and the grabber out
// of the stopped pipeline.
void DetachCamera(GstBin* pipeline, GstElement* grabber);

} // namespace pelmora
