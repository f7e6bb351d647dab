// The sheet picture: every photo in its place on one canvas, and its printing.
#include "photooutput.h"

#include "bmp.h"
#include "compose.h"

#include <QImage>
#include <algorithm>
#include <cstring>

namespace pelmora {

CPicture ComposeSheetPicture(std::span<const CPicture> photos, std::span<const SheetRect> places,
                             const QPaintDevice* dc, int W, int H)
{
    if (W <= 0 || H <= 0 || W > kMaxPictureSide || H > kMaxPictureSide)
        return {};
    const qsizetype stride = BmpRowStride(W);
    // White where no photo lies, rather than whatever the buffer held.
    QByteArray file = BmpHeader(W, H, std::uint32_t(stride * H));
    file.append(QByteArray(stride * H, char(0xFF)));
    uchar* canvas = reinterpret_cast<uchar*>(file.data()) + kBmpHeaderSize;

    const size_t placed = std::min(photos.size(), places.size());
    for (size_t i = 0; i < placed; ++i) {
        const SheetRect& place = places[i];
        // Widened: the file's coordinates are any 32-bit values.
        const qint64 rw = qint64(place.right) - place.left;
        const qint64 rh = qint64(place.bottom) - place.top;
        if (rw <= 0 || rh <= 0)
            continue;
        CPicture photo = photos[i];
        if (photo.GetPixelWidth(dc) == -1 || photo.GetPixelHeight(dc) == -1)
            continue;
        const QImage* bitmap = photo.GetBitmap();
        if (bitmap == nullptr || bitmap->isNull())
            continue;
        const QImage pixels = bitmap->convertToFormat(QImage::Format_BGR888);
        if (pixels.isNull())
            continue;

        // Only the part of the place that lies on the canvas is drawn, each
        // canvas pixel sampling the photo pixel a stretch to rw x rh would put
        // there; a place far larger than the canvas costs no more than the
        // canvas. Stored row k of the stretched photo (its bottom row first)
        // goes to stored row top + k of the canvas.
        const qint64 firstRow = std::max<qint64>(0, -qint64(place.top));
        const qint64 endRow = std::min<qint64>(rh, qint64(H) - place.top);
        const qint64 firstColumn = std::max<qint64>(0, -qint64(place.left));
        const qint64 endColumn = std::min<qint64>(rw, qint64(W) - place.left);
        if (firstRow >= endRow || firstColumn >= endColumn)
            continue;
        for (qint64 k = firstRow; k < endRow; ++k) {
            const qint64 stretchedRow = rh - 1 - k; // counted from the top
            const uchar* from = pixels.constScanLine(StretchSource(stretchedRow, pixels.height(), rh));
            uchar* to = canvas + (place.top + k) * stride + (place.left + firstColumn) * 3;
            for (qint64 c = firstColumn; c < endColumn; ++c, to += 3)
                std::memcpy(to, from + qsizetype(StretchSource(c, pixels.width(), rw)) * 3, 3);
        }
    }

    CPicture sheet;
    sheet.LoadFromMemory(file.size(), file.constData());
    return sheet;
}

void PrintSheetPicture(std::span<const CPicture> photos, std::span<const SheetRect> places,
                       const QPaintDevice* dc, const std::function<void(const QString&)>& tell)
{
    CPicture sheet = ComposeSheetPicture(photos, places, dc, kPhotoWidth, kPhotoHeight);
    sheet.PrintPicture(dc, kSheetWidthMm, kSheetHeightMm, tell);
}

bool PrintSheetPictureOn(QPrinter& printer, std::span<const CPicture> photos,
                         std::span<const SheetRect> places, const QPaintDevice* dc)
{
    CPicture sheet = ComposeSheetPicture(photos, places, dc, kPhotoWidth, kPhotoHeight);
    return sheet.PrintPictureOn(printer, dc, kSheetWidthMm, kSheetHeightMm);
}

} // namespace pelmora
