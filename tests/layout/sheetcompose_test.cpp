// The sheet picture: photos placed and stretched into their places, checked
// pixel by pixel against where each place must show on the printed sheet.
#include "archive.h"
#include "bmp.h"
#include "photofixtures.h"
#include "stickersheet.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using fixtures::patternImage;
using fixtures::pictureOf;

constexpr int W = 320;
constexpr int H = 240;

class SheetPicture : public ::testing::Test {
protected:
    // A sheet of the given places holding one photo a place, photo i the
    // pattern of seed i + 1 in the given size.
    std::unique_ptr<CStickerSheet> sheet(const std::vector<SheetRect>& places, int photos,
                                         QSize photoSize = QSize(W, H))
    {
        const QString path = m_dir.filePath(QStringLiteral("layout%1.dat").arg(m_count++));
        EXPECT_TRUE(fixtures::writeFile(path, pelmora::WriteLayoutArchive(places)));
        auto made = std::make_unique<CStickerSheet>(path);
        for (int i = 0; i < photos; ++i)
            made->AddPhoto(pictureOf(patternImage(photoSize.width(), photoSize.height(), i + 1)));
        return made;
    }

    // The sheet as the printed page shows it, by the placing rule: a place
    // covers rows H - bottom to H - 1 - top counted from the top, columns
    // left to right - 1; its pixel at (c, r) from the place's top-left is the
    // photo pixel under the centre of the stretched pixel. The rest is white.
    static QImage expected(const std::vector<SheetRect>& places, int photos, QSize photoSize = QSize(W, H))
    {
        QImage page(W, H, QImage::Format_RGB32);
        page.fill(Qt::white);
        for (int i = 0; i < photos; ++i) {
            const SheetRect& p = places[size_t(i)];
            const qint64 rw = qint64(p.right) - p.left, rh = qint64(p.bottom) - p.top;
            const QImage photo = patternImage(photoSize.width(), photoSize.height(), i + 1);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const qint64 c = x - qint64(p.left), r = y - (H - qint64(p.bottom));
                    if (c >= 0 && c < rw && r >= 0 && r < rh)
                        page.setPixel(x, y, photo.pixel(int((2 * c + 1) * photo.width() / (2 * rw)),
                                                        int((2 * r + 1) * photo.height() / (2 * rh))));
                }
        }
        return page;
    }

    QImage composed(CStickerSheet& stickers, const QPaintDevice* dc)
    {
        const CPicture picture = stickers.ComposeSheet(dc, W, H);
        EXPECT_NE(picture.GetBitmap(), nullptr);
        return picture.GetBitmap() ? picture.GetBitmap()->convertToFormat(QImage::Format_RGB32) : QImage();
    }

    QTemporaryDir m_dir;
    int m_count = 0;
    QImage m_screen = fixtures::deviceAt(96);
};

struct PlacingCase {
    const char* name;
    std::vector<SheetRect> places;
    int photos;
    QSize photoSize;
};

TEST_F(SheetPicture, PhotosAreStretchedIntoTheirPlacesCountedFromTheBottomEdge)
{
    const QSize photo(W, H);
    const std::vector<PlacingCase> cases = {
        {"lower-left quarter, upper half", {{0, 0, 160, 120}, {0, 120, 320, 240}}, 2, photo},
        {"one photo for two places", {{0, 0, 160, 120}, {0, 120, 320, 240}}, 1, photo},
        {"no photos: white", {{0, 0, 160, 120}, {160, 120, 320, 240}}, 0, photo},
        // 75, 74 and 77 pixels are rows of bytes not a multiple of four.
        {"narrow places", {{10, 20, 85, 76}, {100, 3, 174, 240}, {200, 130, 277, 131}}, 3, photo},
        {"photos of another size", {{0, 0, 320, 240}, {5, 5, 105, 80}}, 2, QSize(97, 61)},
        {"reaching outside", {{-40, 200, 120, 280}, {250, -30, 400, 60},
                              {-2000000000, -2000000000, 2000000000, 2000000000}}, 3, photo},
        {"empty, inverted, unmeasurable", {{10, 10, 10, 50}, {50, 50, 20, 20}, {60, 60, 100, 59},
                                           {2147483647, 0, -2147483647 - 1, 10}}, 4, photo},
    };
    for (const PlacingCase& c : cases) {
        auto stickers = sheet(c.places, c.photos, c.photoSize);
        EXPECT_EQ(composed(*stickers, &m_screen), expected(c.places, c.photos, c.photoSize)) << c.name;
    }
    // The rule spelled out at the corners: the half-size copy's top-left
    // pixel is photo pixel (1, 1), under the centre of the stretched pixel.
    auto two = sheet(cases[0].places, 2);
    const QImage page = composed(*two, &m_screen);
    EXPECT_EQ(page.pixel(0, 120), patternImage(W, H, 1).pixel(1, 1));
    EXPECT_EQ(page.pixel(159, 239), patternImage(W, H, 1).pixel(319, 239));
    EXPECT_EQ(page.pixel(160, 120), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel(0, 0), patternImage(W, H, 2).pixel(0, 1));
    auto whole = sheet({{0, 0, 320, 240}}, 1);
    EXPECT_EQ(composed(*whole, &m_screen), patternImage(W, H, 1)) << "unscaled: the photo exactly";
    // Without a device no photo has a size: all are left out.
    EXPECT_EQ(composed(*whole, nullptr), expected({}, 0));
}

} // namespace
