// Framed-photo composition checked pixel by pixel, and the mask and region helpers under it.
#include "bmp.h"
#include "compose.h"
#include "photofixtures.h"
#include "picture.h"

#include <QImage>
#include <QRegion>
#include <gtest/gtest.h>
#include <random>

namespace {

using fixtures::patternImage;
using fixtures::pictureOf;

constexpr int W = 320, H = 240;

// Per pixel: the frame's source pixel (nearest under the centre) if that lies in the region, else the camera's.
QByteArray perPixelReference(const QImage& frame, const QRegion& region, bool stretched)
{
    const QImage camera = patternImage(W, H, 1);
    QImage photo(W, H, QImage::Format_RGB32);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int sx = stretched ? int((2 * x + 1) * qint64(frame.width()) / (2 * W)) : x;
            const int sy = stretched ? int((2 * y + 1) * qint64(frame.height()) / (2 * H)) : y;
            photo.setPixel(x, y, region.contains(QPoint(sx, sy)) ? frame.pixel(sx, sy) : camera.pixel(x, y));
        }
    return pelmora::MakeBmpFile(W, H, pelmora::ImageToBmpPixels(photo));
}

// Rectangles, some outside the picture, united and xored: holes, single pixels, ragged edges.
QRegion randomRegion(std::mt19937& random, int width, int height)
{
    std::uniform_int_distribution<int> x(-20, width + 20), y(-20, height + 20), side(1, 90);
    QRegion region;
    for (int i = 0; i < 12; ++i) {
        const QRect r(x(random), y(random), side(random), side(random));
        region = (i % 3 == 2) ? region.xored(r) : region.united(r);
        region = region.united(QRect(x(random), y(random), 1, 1));
    }
    return region.united(QRegion(QRect(40, 30, 101, 77), QRegion::Ellipse));
}

class Compose : public ::testing::Test {
protected:
    QImage m_screen = fixtures::deviceAt(96);
    QImage m_frameImage = patternImage(W, H, 2);
    CPicture m_frame = pictureOf(m_frameImage);
    QByteArray m_camera = pelmora::ImageToBmpPixels(patternImage(W, H, 1)); // bottom-up BGR rows
};

TEST_F(Compose, HeaderFullEmptyAndMissingOutlines)
{
    const QRegion all(0, 0, W, H), empty, outside(QRect(-50, -50, 40, 400));
    const QByteArray file = ComposeFramedPhotoFile(m_camera, &m_frame, &all, &m_screen);
    EXPECT_EQ(file, pelmora::MakeBmpFile(W, H, pelmora::ImageToBmpPixels(m_frameImage)));
    // No outline or frame picture, or all outside, leave the camera frame; another camera size gives nothing.
    const QByteArray unchanged = pelmora::MakeBmpFile(W, H, m_camera);
    const CPicture none;
    const std::pair<const CPicture*, const QRegion*> leftAlone[] = {
        {&m_frame, &empty}, {&m_frame, nullptr}, {&none, &all}, {nullptr, &all}, {&m_frame, &outside}};
    for (const auto& [frame, outline] : leftAlone)
        EXPECT_EQ(ComposeFramedPhotoFile(m_camera, frame, outline, &m_screen), unchanged) << frame << outline;
    for (qsizetype size : {0, 230399, 230401, 230454})
        EXPECT_TRUE(ComposeFramedPhotoFile(QByteArray(size, '\x10'), &m_frame, &all, &m_screen).isEmpty()) << size;
}

TEST_F(Compose, SpanCopyEqualsThePerPixelTestOnOddRegions)
{
    std::mt19937 random(20040601);
    const QImage frames[] = {m_frameImage, patternImage(412, 309, 4), patternImage(200, 150, 5)};
    for (int round = 0; round < 12; ++round)
        for (const QImage& image : frames) {
            const CPicture frame = pictureOf(image);
            const QRegion region = randomRegion(random, image.width(), image.height());
            EXPECT_EQ(ComposeFramedPhotoFile(m_camera, &frame, &region, &m_screen),
                      perPixelReference(image, region, image.size() != QSize(W, H)))
                << image.width() << " x " << image.height() << ", round " << round;
        }
}

TEST(MaskAndRegion, MaskIsWhiteWithTheRegionBlack)
{
    const QRegion region = QRegion(2, 1, 3, 2) + QRegion(6, 3, 1, 1) + QRegion(-5, -5, 6, 6);
    const QImage mask = CreateMaskFromRegion(region, 8, 5);
    ASSERT_TRUE(mask.size() == QSize(8, 5) && mask.depth() == 24);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(mask.pixel(x, y), region.contains(QPoint(x, y)) ? qRgb(0, 0, 0) : qRgb(255, 255, 255))
                << x << "," << y;
    for (const QSize& size : {QSize(0, 5), QSize(8, -1), QSize(100000, 100000)})
        EXPECT_TRUE(CreateMaskFromRegion(region, size.width(), size.height()).isNull()) << size.width();
}

// QRegion's == compares band lists: touching rows of the same runs must come back as one band.
TEST(MaskAndRegion, RegionOfTheKeyColourByRowRuns)
{
    const char* rows[] = {".##.##", ".##.##", "######", "##...."}; // '#': black
    QImage mask(6, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            mask.setPixel(x, y, rows[y][x] == '#' ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    const QRegion black = CreateRegionFromMask(mask, qRgb(0, 0, 0));
    EXPECT_EQ(black, QRegion(1, 0, 2, 2) + QRegion(4, 0, 2, 2) + QRegion(0, 2, 6, 1) + QRegion(0, 3, 2, 1));
    EXPECT_EQ(black.rectCount(), 4);
    EXPECT_EQ(CreateRegionFromMask(mask, qRgb(255, 255, 255)), QRegion(0, 0, 1, 2) + QRegion(3, 0, 1, 2) + QRegion(2, 3, 4, 1));
    EXPECT_TRUE(CreateRegionFromMask(mask, qRgb(1, 2, 3)).isEmpty());
    EXPECT_TRUE(CreateRegionFromMask(QImage(), qRgb(0, 0, 0)).isEmpty());
}

TEST(MaskAndRegion, StretchTakesThePixelUnderEachCentre)
{
    QImage source(3, 2, QImage::Format_RGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            source.setPixel(x, y, qRgb(x * 10, y * 10, 7));
    const QImage wide = pelmora::StretchImage(source, 7, 3);
    ASSERT_TRUE(wide.size() == QSize(7, 3) && wide.format() == QImage::Format_RGB888);
    const int columns[7] = {0, 0, 1, 1, 1, 2, 2}, rows[3] = {0, 1, 1}; // the source under each centre
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(wide.pixel(x, y), source.pixel(columns[x], rows[y])) << x << "," << y;
    EXPECT_TRUE(pelmora::StretchImage(source, 0, 3).isNull());
    EXPECT_TRUE(pelmora::StretchImage(QImage(), 3, 3).isNull());
}

} // namespace
