#pragma once
// Framed-photo composition: the current frame picture laid over a grabbed
// camera frame inside the frame's outline, and the mask and region helpers
// that bring an outline to another size.
#include <QByteArray>
#include <QImage>
#include <QRegion>
#include <QtGlobal>

#include "package.h"

class CPicture;
class QPaintDevice;

namespace pelmora {

// The source index that destination index i of a stretch from srcLength to
// dstLength samples: the source pixel under the destination pixel's centre.
// Every stretch in this library (frame pictures, masks, photos placed on the
// sheet) uses it, so a frame picture and its outline stretch alike: a frame
// pixel covers the photo exactly when its source pixel lay in the outline.
// i must be in [0, dstLength); the result is in [0, srcLength).
inline int StretchSource(qint64 i, qint64 srcLength, qint64 dstLength)
{
    return int(((2 * i + 1) * srcLength) / (2 * dstLength));
}

// A nearest-pixel stretch of image to width x height (StretchSource in both
// directions), in the image's own format. Null when the image is null or the
// size is not positive or beyond the decoding bounds of CPicture.
QImage StretchImage(const QImage& image, int width, int height);

} // namespace pelmora

// A width x height 24-bit mask (QImage::Format_RGB888): white everywhere,
// black on every pixel of the region (the region's parts outside the mask are
// ignored). Null when the size is not positive or beyond the decoding bounds.
QImage CreateMaskFromRegion(const QRegion& region, int width, int height);

// The region of all mask pixels whose colour equals key (alpha ignored): for
// each row from the bottom one up, every maximal run of matching pixels from
// x1 to x2 (exclusive) adds the rectangle (x1, y) to (x2, y + 1). Empty for a
// null mask.
QRegion CreateRegionFromMask(const QImage& mask, QRgb key);

// The complete 230,454-byte photo file (the 54-byte BMP header, then 320 x 240
// bottom-up blue-green-red rows) of a grabbed camera frame with the frame
// picture over it: every pixel inside the frame region takes the frame
// picture's pixel, the others keep the camera's. A frame picture whose pixel
// size for dc is not 320 x 240 is stretched to it, its region through a mask.
// A missing frame picture or region leaves the camera frame as it is. Empty
// when the camera buffer is not exactly 230,400 bytes.
QByteArray ComposeFramedPhotoFile(const QByteArray& cameraBottomUpBgr, const CPicture* framePicture,
                                  const QRegion* frameRegion, const QPaintDevice* dc);

// The photo of a grabbed camera frame with frame number n of a frame-series
// package over it: its picture IMAGE n + 1000 and outline REGION n, read
// afresh for every photo. A missing picture or outline leaves the camera frame
// as it is; a null package gives the camera frame. Empty when the camera
// buffer is not exactly 230,400 bytes.
QByteArray ComposePackageFramePhoto(const QByteArray& cameraBottomUpBgr, pelmora::HMODULE package, int n,
                                    const QPaintDevice* dc);
