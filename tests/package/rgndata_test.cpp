// RGNDATA: exact bytes written, the reader's checks, and the outline of a picture's opaque pixels.
#include "bytes.h"
#include "rgndata.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace pelmora;
using namespace testbytes;

namespace {

std::optional<QRegion> Read(const QByteArray& bytes, QString* error = nullptr) { return ReadRegionData(Span(bytes), error); }

TEST(RegionData, ExactBytesOfASmallRegion)
{
    // An L shape: one band of one rectangle, one band of two.
    const QRegion region = QRegion(0, 0, 4, 1).united(QRect(0, 1, 1, 2)).united(QRect(3, 1, 1, 2));
    EXPECT_EQ(WriteRegionData(region), Words({32, 1, 3, 48, 0, 0, 4, 3, /**/ 0, 0, 4, 1, /**/ 0, 1, 1, 3, /**/ 3, 1, 4, 3}));
    EXPECT_EQ(WriteRegionData(QRegion()), Words({32, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(WriteRegionData(QRegion(-5, -6, 2, 3)), Words({32, 1, 1, 16, -5, -6, -3, -3, -5, -6, -3, -3}));
}

TEST(RegionData, RoundTrip)
{
    const QRegion ellipse(10, 20, 200, 150, QRegion::Ellipse);
    const QRegion shape = ellipse.xored(QRegion(60, 60, 90, 40)).united(QRect(-3, 0, 5, 5));
    const QByteArray bytes = WriteRegionData(shape);
    EXPECT_TRUE(Get32(bytes, 8) == std::uint32_t(shape.rectCount()) && bytes.size() == 32 + 16 * shape.rectCount());
    const auto back = Read(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, shape);
    EXPECT_EQ(WriteRegionData(*back), bytes);
}

TEST(RegionData, BandsAreCoalescedAsTheDesktopDoes)
{
    // Row by row, as an outline is traced: one rectangle per run of rows
    // with the same spans.
    const QRect rows[] = {QRect(0, 0, 3, 1), QRect(0, 1, 3, 1), QRect(5, 1, 2, 1), QRect(0, 2, 3, 1),
                          QRect(5, 2, 2, 1), QRect(0, 3, 3, 1)};
    const QRegion united = UniteRects(rows);
    EXPECT_EQ(WriteRegionData(united), Words({32, 1, 4, 64, 0, 0, 7, 4, /**/ 0, 0, 3, 1, /**/ 0, 1, 3, 3, /**/ 5, 1, 7, 3, /**/ 0, 3, 3, 4}));
    EXPECT_EQ(Coalesced(united), united);
    EXPECT_EQ(WriteRegionData(QRegion(0, 0, 3, 1).united(QRegion(0, 1, 3, 1))), Words({32, 1, 1, 16, 0, 0, 3, 2, 0, 0, 3, 2}));
}

TEST(RegionData, ReaderSkipsEmptyAndUnitesOverlapping)
{
    // Header bounds and nRgnSize are not trusted; a zero-width, an inverted
    // and an overlapping rectangle.
    const QByteArray bytes = Words({32, 1, 4, 999, 7, 7, 7, 7, /**/ 0, 0, 10, 10, /**/ 5, 5, 5, 20, /**/ 8, 9, 2, 3, /**/ 5, 5, 15, 15});
    EXPECT_EQ(Read(bytes), QRegion(0, 0, 10, 10).united(QRect(5, 5, 10, 10)));
    EXPECT_EQ(Read(Words({32, 1, 0, 0, 0, 0, 0, 0})), QRegion());
    // Extra bytes after the rectangles are ignored, as the byte count only
    // has to be large enough.
    EXPECT_EQ(Read(Words({32, 1, 1, 16, 0, 0, 0, 0, 1, 1, 2, 2, 77})), QRegion(1, 1, 1, 1));
}

TEST(RegionData, ReaderRefusesMalformedHeadersAndCountsBeyondTheBytes)
{
    // Two rectangles need 64 bytes: exactly that is fine, one short is not.
    const QByteArray two = Words({32, 1, 2, 32, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 3, 3});
    EXPECT_EQ(Read(two), QRegion(0, 0, 1, 1).united(QRect(2, 2, 1, 1)));
    const std::pair<QByteArray, const char*> cases[] = {
        {QByteArray(), "offset 0x0: header needs 32 bytes"},
        {Words({32, 1, 0, 0, 0, 0, 0}), "header needs 32 bytes"},
        {Words({40, 1, 0, 0, 0, 0, 0, 0, 0, 0}), "offset 0x0: dwSize"},
        {Words({0, 1, 0, 0, 0, 0, 0, 0}), "offset 0x0: dwSize"},
        {Words({32, 2, 0, 0, 0, 0, 0, 0}), "offset 0x4: iType"},
        {two.left(two.size() - 1), "offset 0x8: nCount"},
        // A count whose byte size wraps 32 bits.
        {Words({32, 1, 0x10000002, 32, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 3, 3}), "offset 0x8: nCount"},
        {Words({32, 1, -1, 0, 0, 0, 0, 0}), "offset 0x8: nCount"},
    };
    for (const auto& [bytes, reason] : cases) {
        QString error;
        EXPECT_FALSE(Read(bytes, &error)) << reason;
        EXPECT_TRUE(error.contains(QLatin1String(reason))) << qPrintable(error);
    }
}

TEST(RegionData, ExtremeCoordinatesStayBounded)
{
    const auto region = Read(Words({32, 1, 1, 16, 0, 0, 0, 0, -2147483647 - 1, -2147483647 - 1,
                                    2147483647, 2147483647}));
    ASSERT_TRUE(region);
    EXPECT_EQ(region->boundingRect(), QRect(QPoint(-(1 << 27), -(1 << 27)), QPoint((1 << 27) - 1, (1 << 27) - 1)));
}

TEST(RegionData, OpaqueRegionTakesAlphaAboveHalf)
{
    QImage picture(5, 3, QImage::Format_ARGB32);
    picture.fill(qRgba(10, 20, 30, 0));
    picture.setPixel(0, 0, qRgba(1, 2, 3, 128)); // just above half
    picture.setPixel(1, 0, qRgba(1, 2, 3, 127)); // just below
    for (int x = 1; x < 4; ++x)
        picture.setPixel(x, 2, qRgba(255, 255, 255, 255));
    picture.setPixel(4, 1, qRgba(0, 0, 0, 255));
    EXPECT_EQ(OpaqueRegion(picture), QRegion(0, 0, 1, 1).united(QRect(4, 1, 1, 1)).united(QRect(1, 2, 3, 1)));

    QImage opaque(4, 2, QImage::Format_RGB32);
    opaque.fill(Qt::red);
    EXPECT_EQ(OpaqueRegion(opaque), QRegion(0, 0, 4, 2));
    EXPECT_EQ(OpaqueRegion(QImage()), QRegion());
}

} // namespace
