#pragma once
// The film strip of captured photos on the capture page: where each photo's
// thumbnail goes and what it shows.
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

class CPicture;

namespace pelmora {

// The size of one image-list slot: strip thumbnails and chooser pictures.
inline constexpr QSize kStripSlotSize{71, 53};

// Photo i's thumbnail: the photo smoothly scaled to a slot; null when the
// photo has no pixels.
QImage StripThumbnail(const CPicture& photo);

// Photo i's label, "<i + 1>/<capacity>".
QString StripLabel(int i, int capacity);

// Photo i's place in the strip's list view: one slot every 79 pixels.
inline constexpr QPoint StripItemPosition(int i) { return QPoint(5 + 79 * i, 10); }

} // namespace pelmora
