#pragma once
#include <QByteArray>
#include <QImage>

namespace pelmora::art {

// A GIF87a file of an opaque image with at most 256 distinct colours, or an
// empty array when the image has more. Qt reads GIF but cannot write it.
QByteArray EncodeGif(const QImage& image);

} // namespace pelmora::art
