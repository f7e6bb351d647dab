#include "picture.h"

#include "bmp.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace pelmora {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = std::int64_t(a) * b;
    const std::int64_t magnitude = (std::llabs(product) + std::llabs(std::int64_t(c)) / 2)
                                   / std::llabs(std::int64_t(c));
    const std::int64_t result = ((product < 0) != (c < 0)) ? -magnitude : magnitude;
    if (result > INT_MAX || result < INT_MIN)
        return -1;
    return int(result);
}

int PixelsToHimetric(int pixels)
{
    return MulDiv(pixels, 2540, kScreenDpi);
}

} // namespace pelmora

// The shared, immutable decoded picture. The HIMETRIC size is fixed at
// decoding time, as a platform picture object fixes it when it is created.
struct CPicture::Picture {
    QImage image;
    int himetricWidth = 0;
    int himetricHeight = 0;
};

namespace {

bool withinDecodingBounds(const QSize& size)
{
    return size.width() > 0 && size.height() > 0 && size.width() <= pelmora::kMaxPictureSide
           && size.height() <= pelmora::kMaxPictureSide
           && qint64(size.width()) * size.height() <= pelmora::kMaxPicturePixels;
}

} // namespace

CPicture& CPicture::operator=(const CPicture& other)
{
    // Same picture (self-assignment included): nothing changes, the caches
    // computed for it stay.
    if (m_pPicture == other.m_pPicture)
        return *this;
    ReleasePicture();
    if (other.m_pPicture) {
        m_pPicture = other.m_pPicture;
        m_cyPixels = other.m_cyPixels;
        m_cxPixels = other.m_cxPixels;
    }
    return *this;
}

bool CPicture::LoadFromMemory(qsizetype size, const void* bytes)
{
    ReleasePicture();
    if (size <= 0 || bytes == nullptr)
        return false;

    // The reader only looks at the caller's bytes while this call runs.
    const QByteArray data = QByteArray::fromRawData(static_cast<const char*>(bytes), size);
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    // 32 Mpx of 32-bit pixels plus slack. The size check below is the real
    // bound; this one holds should a handler decode more than its header said.
    reader.setAllocationLimit(int(pelmora::kMaxPicturePixels * 4 / (1024 * 1024)) + 16);

    if (!withinDecodingBounds(reader.size()))
        return false;

    QImage image = reader.read();
    if (image.isNull() || !withinDecodingBounds(image.size()))
        return false;

    // The size is the decoded pixels on the screen; a resolution the file
    // records (BMP pixels per metre, JFIF density, PNG pHYs) plays no part,
    // or a 72-dpi frame would be drawn enlarged and miss its own outline.
    auto picture = std::make_shared<Picture>();
    picture->himetricWidth = pelmora::PixelsToHimetric(image.width());
    picture->himetricHeight = pelmora::PixelsToHimetric(image.height());
    picture->image = std::move(image);
    m_pPicture = std::move(picture);
    return true;
}

const QImage* CPicture::GetBitmap() const
{
    return m_pPicture ? &m_pPicture->image : nullptr;
}

// The first device fixes the value: later calls return the cache whatever
// device they pass. -1 (nothing to measure, or an overflow) is not kept.
static int cachedPixels(int& cache, bool held, int himetric, const QPaintDevice* dc, int (QPaintDevice::*dpi)() const)
{
    if (cache == -1 && held && dc != nullptr)
        cache = pelmora::MulDiv(himetric, (dc->*dpi)(), 2540);
    return cache;
}

int CPicture::GetPixelWidth(const QPaintDevice* dc)
{
    return cachedPixels(m_cxPixels, bool(m_pPicture), GetHimetricWidth(), dc, &QPaintDevice::logicalDpiX);
}

int CPicture::GetPixelHeight(const QPaintDevice* dc)
{
    return cachedPixels(m_cyPixels, bool(m_pPicture), GetHimetricHeight(), dc, &QPaintDevice::logicalDpiY);
}

bool CPicture::Draw(QPainter& painter, int x, int y)
{
    if (!m_pPicture || !painter.isActive())
        return false;
    const int width = GetPixelWidth(painter.device());
    const int height = GetPixelHeight(painter.device());
    if (width < 0 || height < 0)
        return false;
    painter.drawImage(QRect(x, y, width, height), m_pPicture->image);
    return true;
}

qsizetype CPicture::CopyPixels(qsizetype length, void* dest) const
{
    if (!m_pPicture || length <= 0 || dest == nullptr)
        return 0;
    const QByteArray rows = pelmora::ImageToBmpPixels(m_pPicture->image);
    const qsizetype count = std::min(length, rows.size());
    if (count > 0)
        std::memcpy(dest, rows.constData(), size_t(count));
    return count;
}

void CPicture::ReleasePicture()
{
    m_pPicture.reset();
    m_cyPixels = -1;
    m_cxPixels = -1;
}

int CPicture::GetHimetricWidth() const
{
    return m_pPicture ? m_pPicture->himetricWidth : 0;
}

int CPicture::GetHimetricHeight() const
{
    return m_pPicture ? m_pPicture->himetricHeight : 0;
}
