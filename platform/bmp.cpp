#include "bmp.h"

#include <QtEndian>
#include <cstring>

namespace pelmora {

namespace {
void put16(char* p, std::uint16_t v) { qToLittleEndian(v, p); }
void put32(char* p, std::uint32_t v) { qToLittleEndian(v, p); }
} // namespace

QByteArray BmpHeader(int width, int height, std::uint32_t pixelBytes)
{
    QByteArray header(kBmpHeaderSize, '\0');
    char* p = header.data();
    p[0] = 'B';
    p[1] = 'M';
    put32(p + 2, pixelBytes + kBmpHeaderSize);
    put32(p + 10, kBmpHeaderSize);
    put32(p + 14, 40);
    put32(p + 18, std::uint32_t(width));
    put32(p + 22, std::uint32_t(height));
    put16(p + 26, 1);
    put16(p + 28, 24);
    return header; // compression, image size, resolutions and colour counts stay 0
}

QByteArray MakeBmpFile(int width, int height, const QByteArray& pixels)
{
    QByteArray file = BmpHeader(width, height, std::uint32_t(pixels.size()));
    file.append(pixels);
    return file;
}

QByteArray ImageToBmpPixels(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    const int w = bgr.width();
    const int h = bgr.height();
    const int stride = BmpRowStride(w);
    QByteArray pixels(qsizetype(stride) * h, '\0');
    for (int row = 0; row < h; ++row)
        std::memcpy(pixels.data() + qsizetype(row) * stride, bgr.constScanLine(h - 1 - row),
                    size_t(w) * 3);
    return pixels;
}

QImage BmpPixelsToImage(const char* pixels, qsizetype size, int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    const int stride = BmpRowStride(width);
    if (size < qsizetype(stride) * height)
        return {};
    QImage image(width, height, QImage::Format_BGR888);
    if (image.isNull())
        return {};
    for (int row = 0; row < height; ++row)
        std::memcpy(image.scanLine(height - 1 - row), pixels + qsizetype(row) * stride,
                    size_t(width) * 3);
    return image;
}

} // namespace pelmora
