// The sheet picture, checked pixel by pixel against where each place must show on the printed sheet.
#include "photofixtures.h"
#include "photooutput.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

using fixtures::patternImage;

constexpr int W = 320, H = 240;

struct PlacingCase {
    const char* name;
    std::vector<SheetRect> places;
    int photos;
    QSize photoSize = QSize(W, H);
};

// Photo i of a case is the pattern of seed i + 1.
QImage photo(const PlacingCase& c, int i) { return patternImage(c.photoSize.width(), c.photoSize.height(), i + 1); }

QImage composed(const PlacingCase& c, const QPaintDevice* dc)
{
    std::vector<CPicture> photos;
    for (int i = 0; i < c.photos; ++i)
        photos.push_back(fixtures::pictureOf(photo(c, i)));
    const CPicture picture = pelmora::ComposeSheetPicture(photos, c.places, dc, W, H);
    EXPECT_NE(picture.GetBitmap(), nullptr) << c.name;
    return picture.GetBitmap() ? picture.GetBitmap()->convertToFormat(QImage::Format_RGB32) : QImage();
}

// The sheet as the printed page shows it, by the placing rule: a place covers
// rows H - bottom to H - 1 - top counted from the top, columns left to
// right - 1; its pixel at (c, r) from the place's top-left is the photo pixel
// under the centre of the stretched pixel. The rest is white.
QImage expected(const PlacingCase& c)
{
    QImage page(W, H, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int i = 0; i < c.photos; ++i) {
        const SheetRect& p = c.places[size_t(i)];
        const qint64 rw = qint64(p.right) - p.left, rh = qint64(p.bottom) - p.top;
        const QImage source = photo(c, i);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const qint64 col = x - qint64(p.left), row = y - (H - qint64(p.bottom));
                if (col >= 0 && col < rw && row >= 0 && row < rh)
                    page.setPixel(x, y, source.pixel(int((2 * col + 1) * source.width() / (2 * rw)),
                                                     int((2 * row + 1) * source.height() / (2 * rh))));
            }
    }
    return page;
}

TEST(SheetPicture, PhotosAreStretchedIntoTheirPlacesCountedFromTheBottomEdge)
{
    const QImage screen = fixtures::deviceAt(96);
    const std::vector<PlacingCase> cases = {
        {"lower-left quarter, upper half", {{0, 0, 160, 120}, {0, 120, 320, 240}}, 2},
        {"one photo for two places", {{0, 0, 160, 120}, {0, 120, 320, 240}}, 1},
        {"no photos: white", {{0, 0, 160, 120}, {160, 120, 320, 240}}, 0},
        // 75, 74 and 77 pixels are rows of bytes not a multiple of four.
        {"narrow places", {{10, 20, 85, 76}, {100, 3, 174, 240}, {200, 130, 277, 131}}, 3},
        {"photos of another size", {{0, 0, 320, 240}, {5, 5, 105, 80}}, 2, QSize(97, 61)},
        {"reaching outside", {{-40, 200, 120, 280}, {250, -30, 400, 60},
                              {-2000000000, -2000000000, 2000000000, 2000000000}}, 3},
        {"empty, inverted, unmeasurable", {{10, 10, 10, 50}, {50, 50, 20, 20}, {60, 60, 100, 59},
                                           {2147483647, 0, -2147483647 - 1, 10}}, 4},
    };
    for (const PlacingCase& c : cases)
        EXPECT_EQ(composed(c, &screen), expected(c)) << c.name;
    // The rule spelled out at the corners: the half-size copy's top-left
    // pixel is photo pixel (1, 1), under the centre of the stretched pixel.
    const QImage page = composed(cases[0], &screen);
    EXPECT_EQ(page.pixel(0, 120), patternImage(W, H, 1).pixel(1, 1));
    EXPECT_EQ(page.pixel(159, 239), patternImage(W, H, 1).pixel(319, 239));
    EXPECT_EQ(page.pixel(160, 120), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel(0, 0), patternImage(W, H, 2).pixel(0, 1));
    const PlacingCase whole{"unscaled: the photo exactly", {{0, 0, W, H}}, 1};
    EXPECT_EQ(composed(whole, &screen), patternImage(W, H, 1));
    // Without a device no photo has a size: all are left out.
    EXPECT_EQ(composed(whole, nullptr), expected({"white", {}, 0}));
}

} // namespace
