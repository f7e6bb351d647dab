// Feeds arbitrary bytes to the picture decoder as frame pictures reach it from a package: whatever it
// accepts lies within the decoding bounds, measures its own pixels on a 96-dpi screen and serialises
// to exactly its rows.
#include "../photo/photofixtures.h"
#include "bmp.h"
#include "picture.h"

#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The image readers warn about every broken file; printing that costs more than the decoding.
    [[maybe_unused]] static const QtMessageHandler quiet =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    CPicture picture;
    if (!picture.LoadFromMemory(qsizetype(size), data)) {
        if (picture.GetBitmap() != nullptr)
            std::abort(); // a failed load leaves the picture empty
        return 0;
    }
    const QImage* image = picture.GetBitmap();
    if (image == nullptr || image->isNull())
        std::abort();
    const int width = image->width();
    const int height = image->height();
    if (width > pelmora::kMaxPictureSide || height > pelmora::kMaxPictureSide
        || qint64(width) * height > pelmora::kMaxPicturePixels)
        std::abort();
    QImage screen = fixtures::deviceAt(96);
    if (picture.GetPixelWidth(&screen) != width || picture.GetPixelHeight(&screen) != height)
        std::abort();
    const qsizetype rows = qsizetype(pelmora::BmpRowStride(width)) * height;
    std::vector<char> buffer(std::size_t(rows) + 1);
    if (picture.CopyPixels(rows + 1, buffer.data()) != rows)
        std::abort();
    return 0;
}
