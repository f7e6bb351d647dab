#include "bmp.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

TEST(BmpHeader, PhotoHeaderBytes)
{
    const QByteArray h = pelmora::BmpHeader(320, 240, 230400);
    const unsigned char expected[54] = {
        'B', 'M', 0x36, 0x84, 0x03, 0x00, 0, 0, 0, 0, 54, 0, 0, 0,        // file header
        40,  0,   0,    0,    0x40, 0x01, 0, 0, 0xF0, 0, 0, 0, 1, 0, 24, // info header...
        0,   0,   0,    0,    0,    0,    0, 0, 0,    0, 0, 0, 0, 0, 0,
        0,   0,   0,    0,    0,    0,    0, 0, 0,    0};
    ASSERT_EQ(h.size(), 54);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(expected), 54), h);
}

TEST(BmpRows, BottomUpBgrWithPadding)
{
    // 5 pixels wide: 15 bytes of pixels, stored in rows of 16.
    QImage img(5, 2, QImage::Format_RGB32);
    img.fill(Qt::black);
    img.setPixel(0, 0, qRgb(1, 2, 3));  // top-left
    img.setPixel(4, 1, qRgb(7, 8, 9));  // bottom-right
    const QByteArray px = pelmora::ImageToBmpPixels(img);
    ASSERT_EQ(px.size(), 32);
    // The bottom row is stored first; its last pixel is blue-green-red 9, 8, 7.
    EXPECT_EQ(px.mid(12, 3), QByteArray("\x09\x08\x07", 3));
    EXPECT_EQ(px.at(15), '\0');
    EXPECT_EQ(px.mid(16, 3), QByteArray("\x03\x02\x01", 3));

    const QImage back = pelmora::BmpPixelsToImage(px.constData(), px.size(), 5, 2);
    EXPECT_EQ(back.pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(back.pixel(4, 1), qRgb(7, 8, 9));
    EXPECT_TRUE(pelmora::BmpPixelsToImage(px.constData(), px.size() - 1, 5, 2).isNull());
}

} // namespace
