#include "compose.h"

#include "bmp.h"
#include "picture.h"
#include "rgndata.h"

#include <QPaintDevice>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace pelmora {

namespace {

bool usableSize(int width, int height)
{
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide
           && qint64(width) * height <= kMaxPicturePixels;
}

} // namespace

QImage StretchImage(const QImage& image, int width, int height)
{
    if (image.isNull() || !usableSize(width, height))
        return {};
    // Whole bytes per pixel make the copy a plain byte move; the 1-bit and
    // 4-bit formats are widened first.
    const QImage source = image.depth() < 8 ? image.convertToFormat(QImage::Format_RGB32) : image;
    const int bytesPerPixel = source.depth() / 8;
    QImage out(width, height, source.format());
    if (out.isNull())
        return {};
    out.setColorTable(source.colorTable());
    std::vector<int> sourceOffset(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        sourceOffset[size_t(x)] = StretchSource(x, source.width(), width) * bytesPerPixel;
    for (int y = 0; y < height; ++y) {
        const uchar* from = source.constScanLine(StretchSource(y, source.height(), height));
        uchar* to = out.scanLine(y);
        for (int x = 0; x < width; ++x, to += bytesPerPixel)
            std::memcpy(to, from + sourceOffset[size_t(x)], size_t(bytesPerPixel));
    }
    return out;
}

} // namespace pelmora

QImage CreateMaskFromRegion(const QRegion& region, int width, int height)
{
    if (!pelmora::usableSize(width, height))
        return {};
    QImage mask(width, height, QImage::Format_RGB888);
    if (mask.isNull())
        return {};
    mask.fill(Qt::white);
    const QRect bounds(0, 0, width, height);
    for (const QRect& part : region) {
        const QRect r = part.intersected(bounds);
        if (r.isEmpty())
            continue;
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memset(mask.scanLine(y) + qsizetype(r.left()) * 3, 0, size_t(r.width()) * 3);
    }
    return mask;
}

QRegion CreateRegionFromMask(const QImage& mask, QRgb key)
{
    if (mask.isNull())
        return {};
    // The match is on the three colour bytes, as a 24-bit pixel array holds
    // them; whatever the mask's format, compare in that form.
    const QImage rgb = mask.convertToFormat(QImage::Format_RGB888);
    const uchar keyBytes[3] = {uchar(qRed(key)), uchar(qGreen(key)), uchar(qBlue(key))};
    const int width = rgb.width();
    const int height = rgb.height();

    // The maximal runs of each row, [x1, x2) pairs, scanned from the bottom
    // row up as the stored rows come.
    std::vector<std::vector<std::pair<int, int>>> runs(static_cast<size_t>(height));
    for (int y = height - 1; y >= 0; --y) {
        const uchar* line = rgb.constScanLine(y);
        auto matches = [&](int x) { return std::memcmp(line + qsizetype(x) * 3, keyBytes, 3) == 0; };
        for (int x = 0; x < width;) {
            if (!matches(x)) {
                ++x;
                continue;
            }
            const int x1 = x;
            while (x < width && matches(x))
                ++x;
            runs[size_t(y)].emplace_back(x1, x);
        }
    }

    // The union of the one-pixel-high run rectangles, given to QRegion in
    // its own form: bands from the top, rows with the same runs joined into
    // one band. Uniting row by row would copy the region for every row, and
    // QRegion's union leaves touching bands with equal runs unjoined, so
    // equal regions would not compare equal.
    std::vector<QRect> rects;
    for (int y = 0; y < height;) {
        int end = y + 1;
        while (end < height && runs[size_t(end)] == runs[size_t(y)])
            ++end;
        for (const auto& [x1, x2] : runs[size_t(y)])
            rects.emplace_back(QPoint(x1, y), QPoint(x2 - 1, end - 1));
        y = end;
    }
    QRegion region;
    if (!rects.empty())
        region.setRects(rects.data(), int(rects.size()));
    return region;
}

QByteArray ComposeFramedPhotoFile(const QByteArray& cameraBottomUpBgr, const CPicture* framePicture,
                                  const QRegion* frameRegion, const QPaintDevice* dc)
{
    using namespace pelmora;
    if (cameraBottomUpBgr.size() != kPhotoPixelBytes)
        return {};
    QByteArray file = MakeBmpFile(kPhotoWidth, kPhotoHeight, cameraBottomUpBgr);
    if (framePicture == nullptr || frameRegion == nullptr || framePicture->GetBitmap() == nullptr)
        return file;

    // A copy, because measuring a picture fills its size cache.
    CPicture frame = *framePicture;
    const QImage& bitmap = *frame.GetBitmap();
    const int frameWidth = frame.GetPixelWidth(dc);
    const int frameHeight = frame.GetPixelHeight(dc);

    QRegion region = *frameRegion;
    if (frameWidth != kPhotoWidth || frameHeight != kPhotoHeight) {
        // The outline is in the frame picture's pixels: draw it at that size
        // and stretch it as the picture is stretched. A mask that cannot be
        // made leaves no outline, so the photo keeps the camera picture.
        const QImage mask = StretchImage(CreateMaskFromRegion(region, frameWidth, frameHeight),
                                         kPhotoWidth, kPhotoHeight);
        region = CreateRegionFromMask(mask, qRgb(0, 0, 0));
    }
    // The picture is brought to the photo's size whenever its decoded size
    // differs, also when a device's resolution made it measure 320 x 240:
    // rows are never read past the picture's own.
    QImage framePixels = bitmap.size() == QSize(kPhotoWidth, kPhotoHeight)
                             ? bitmap
                             : StretchImage(bitmap, kPhotoWidth, kPhotoHeight);
    framePixels = framePixels.convertToFormat(QImage::Format_BGR888);
    if (framePixels.isNull())
        return file;

    // The region's rectangles are disjoint, so copying them span by span is
    // the per-pixel test without testing each pixel. Region y grows
    // downwards; picture row y is stored row 239 - y of the photo.
    char* pixels = file.data() + kBmpHeaderSize;
    const QRect bounds(0, 0, kPhotoWidth, kPhotoHeight);
    for (const QRect& part : std::as_const(region)) {
        const QRect r = part.intersected(bounds);
        if (r.isEmpty())
            continue;
        const qsizetype offset = qsizetype(r.left()) * 3;
        const size_t bytes = size_t(r.width()) * 3;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const qsizetype stored = qsizetype(kPhotoHeight - 1 - y) * BmpRowStride(kPhotoWidth);
            std::memcpy(pixels + stored + offset, framePixels.constScanLine(y) + offset, bytes);
        }
    }
    return file;
}

QByteArray ComposePackageFramePhoto(const QByteArray& cameraBottomUpBgr, pelmora::HMODULE package, int n,
                                    const QPaintDevice* dc)
{
    std::optional<CPicture> picture;
    std::optional<QRegion> region;
    if (package) {
        CPicture framePicture(package, unsigned(n + 1000), "IMAGE");
        if (framePicture.GetBitmap())
            picture = framePicture;
        if (const auto bytes = package->FindResource("REGION", std::uint16_t(n)))
            region = pelmora::ReadRegionData(*bytes);
    }
    return ComposeFramedPhotoFile(cameraBottomUpBgr, picture ? &*picture : nullptr,
                                  region ? &*region : nullptr, dc);
}
