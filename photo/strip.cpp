#include "strip.h"

#include "picture.h"

namespace pelmora {

QImage StripThumbnail(const CPicture& photo)
{
    const QImage* bitmap = photo.GetBitmap();
    if (!bitmap || bitmap->isNull())
        return {};
    return bitmap->scaled(kStripSlotSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QString StripLabel(int i, int capacity) { return QStringLiteral("%1/%2").arg(i + 1).arg(capacity); }

} // namespace pelmora
