// CPicture, and frame pictures as other programs save them, in a library linked by MinGW.
#include "compose.h"
#include "package.h"
#include "packagewriter.h"
#include "photofixtures.h"
#include "testing.h"

#include <QBuffer>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <climits>
#include <vector>
#include <gtest/gtest.h>

namespace {

QByteArray testFile(const char* name) { return fixtures::readFile(PELMORA_TEST_DATA_DIR "/" + QLatin1String(name)); }

QByteArray plainBmp(int width, int height) { return pelmora::MakeBmpFile(width, height, QByteArray(pelmora::BmpRowStride(width) * height, '\1')); }

CPicture load(const QByteArray& bytes)
{
    CPicture picture;
    EXPECT_TRUE(picture.LoadFromMemory(bytes.size(), bytes.constData()));
    return picture;
}

TEST(MulDiv, RoundsToNearestAndReportsOverflow)
{
    // Halves away from zero; no 32-bit overflow inside; -1 for no result.
    const int rows[][4] = {{8467, 96, 2540, 320}, {5, 1, 2, 3},        {-5, 1, 2, -3},          {5, -1, 2, -3},
                           {-5, -1, -2, -3},      {7, 1, 3, 2},        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
                           {INT_MAX, 2, 1, -1},   {INT_MIN, 2, 1, -1}, {1, 1, 0, -1}};
    for (const auto& r : rows)
        EXPECT_EQ(pelmora::MulDiv(r[0], r[1], r[2]), r[3]) << r[0] << " * " << r[1] << " / " << r[2];
}

TEST(CPictureSize, FirstDeviceFixesTheCacheAndAssignmentKeepsOrReplacesIt)
{
    QImage screen = fixtures::deviceAt(96), printer = fixtures::deviceAt(192);
    const QByteArray bmp = plainBmp(320, 240);
    CPicture a = load(bmp);
    const CPicture b(a); // same picture, no caches yet
    EXPECT_EQ(a.GetPixelWidth(&printer), 640);
    EXPECT_EQ(a.GetPixelWidth(&screen), 640);
    // Height has its own cache.
    EXPECT_EQ(a.GetPixelHeight(&screen), 240);
    EXPECT_EQ(a.GetPixelHeight(&printer), 240);
    CPicture copy(a), assigned;
    assigned = a;
    EXPECT_EQ(copy.GetPixelWidth(&screen), 640);
    EXPECT_EQ(assigned.GetPixelWidth(&screen), 640);
    CPicture empty, fresh = load(plainBmp(4, 4));
    EXPECT_EQ(empty.GetPixelWidth(&screen), -1);
    EXPECT_EQ(empty.GetPixelHeight(&screen), -1);
    EXPECT_EQ(fresh.GetPixelWidth(nullptr), -1);
    EXPECT_EQ(fresh.GetPixelWidth(&printer), 8);

    // Assigning itself or the same picture keeps the caches: b's empty ones would measure 320.
    const CPicture& self = a;
    a = self;
    EXPECT_EQ(a.GetPixelWidth(&screen), 640);
    a = b;
    EXPECT_TRUE(a.SharesPictureWith(b));
    EXPECT_EQ(a.GetPixelWidth(&screen), 640);
    // Another picture (even of the same bytes) brings its own caches.
    const CPicture c = load(bmp);
    a = c;
    EXPECT_TRUE(a.SharesPictureWith(c));
    EXPECT_EQ(a.GetPixelWidth(&screen), 320);
    // An empty source empties the target; the others still hold their picture.
    a = CPicture();
    EXPECT_EQ(a.GetBitmap(), nullptr);
    EXPECT_EQ(a.GetPixelWidth(&screen), -1);
    EXPECT_EQ(a.GetHimetricWidth(), 0);
    ASSERT_NE(b.GetBitmap(), nullptr);
    EXPECT_EQ(b.GetBitmap()->size(), QSize(320, 240));
}

TEST(CPicturePixels, BmpGifAndJpegDecodeUprightAndCopyAsBmpRows)
{
    // 3 by 2 pixels, by hand: rows of 9 bytes stored in 12, bottom row first, blue-green-red.
    const QByteArray pixels("\x10\x11\x12\x20\x21\x22\x30\x31\x32\0\0\0"  // bottom row
                            "\x40\x41\x42\x50\x51\x52\x60\x61\x62\0\0\0", // top row
                            24);
    const QByteArray file = pelmora::MakeBmpFile(3, 2, pixels);
    CPicture picture = load(file);
    ASSERT_NE(picture.GetBitmap(), nullptr);
    // Upright: the top-left pixel is the first pixel of the last stored row.
    EXPECT_EQ(picture.GetBitmap()->pixel(0, 0), qRgb(0x42, 0x41, 0x40));
    EXPECT_EQ(picture.GetBitmap()->pixel(2, 1), qRgb(0x32, 0x31, 0x30));

    // A larger buffer receives the rows, a shorter one its length, the rest stays untouched.
    QByteArray dest(100, '\xAA'), part(10, '\xAA');
    EXPECT_EQ(picture.CopyPixels(dest.size(), dest.data()), 24);
    EXPECT_EQ(dest, pixels + QByteArray(76, '\xAA'));
    EXPECT_EQ(picture.CopyPixels(5, part.data()), 5);
    EXPECT_EQ(CPicture().CopyPixels(part.size(), part.data()), 0);
    EXPECT_EQ(picture.CopyPixels(0, part.data()), 0);
    EXPECT_EQ(part, pixels.left(5) + QByteArray(5, '\xAA'));

    // three-colours.gif (ImageMagick): 5 by 3, rows red red red lime lime, twice, then five blue.
    const CPicture gif = load(testFile("three-colours.gif"));
    const QImage g = gif.GetBitmap() ? *gif.GetBitmap() : QImage();
    ASSERT_EQ(g.size(), QSize(5, 3));
    EXPECT_TRUE(g.pixel(0, 0) == qRgb(255, 0, 0) && g.pixel(3, 1) == qRgb(0, 255, 0) && g.pixel(4, 2) == qRgb(0, 0, 255));
    QByteArray gifRows(64, '\xAA');
    EXPECT_EQ(gif.CopyPixels(gifRows.size(), gifRows.data()), 48);
    EXPECT_EQ(gifRows.left(16), QByteArray("\xFF\0\0\xFF\0\0\xFF\0\0\xFF\0\0\xFF\0\0\0", 16));
    EXPECT_EQ(gifRows.mid(32, 16), QByteArray("\0\0\xFF\0\0\xFF\0\0\xFF\0\xFF\0\0\xFF\0\0", 16));

    // halves-nodpi.jpg: 32 by 16, left half red, right half blue (lossy: near those colours).
    const CPicture jpeg = load(testFile("halves-nodpi.jpg"));
    const QImage j = jpeg.GetBitmap() ? *jpeg.GetBitmap() : QImage();
    ASSERT_EQ(j.size(), QSize(32, 16));
    const QColor left = j.pixelColor(4, 8), right = j.pixelColor(27, 8);
    EXPECT_TRUE(left.red() > 230 && left.blue() < 25 && right.blue() > 230 && right.red() < 25);
}

TEST(CPictureValue, FailedLoadLeavesItEmpty)
{
    QImage screen = fixtures::deviceAt(96);
    const QByteArray bmp = plainBmp(8, 8), garbage("BM not a bitmap at all, not even close");
    // Headers alone promising enormous pictures, refused before decoding.
    const auto header = [](std::int32_t width, std::int32_t height) {
        QByteArray h = pelmora::BmpHeader(1, 1, 0);
        qToLittleEndian(width, h.data() + 18);
        qToLittleEndian(height, h.data() + 22);
        return h;
    };
    const QByteArray wide = plainBmp(pelmora::kMaxPictureSide + 1, 1), edge = plainBmp(pelmora::kMaxPictureSide, 1);
    const QByteArray refused[] = {garbage, wide, header(100000, 100000), header(INT32_MAX, 1), header(8192, 4097), header(1, -100000)};
    // No bytes, no pointer, a negative size, a BMP cut inside its header; then the refused files.
    std::vector<std::pair<qsizetype, const char*>> loads{{0, bmp.constData()}, {bmp.size(), nullptr}, {-1, bmp.constData()}, {40, bmp.constData()}};
    for (const QByteArray& bytes : refused)
        loads.emplace_back(bytes.size(), bytes.constData());
    for (const auto& [size, bytes] : loads) {
        CPicture picture = load(bmp);
        EXPECT_EQ(picture.GetPixelWidth(&screen), 8);
        EXPECT_FALSE(picture.LoadFromMemory(size, bytes)) << size;
        EXPECT_EQ(picture.GetBitmap(), nullptr);
        EXPECT_EQ(picture.GetPixelWidth(&screen), -1);
    }
    EXPECT_NE(load(edge).GetBitmap(), nullptr);
}

// On a 192-dpi canvas each pixel covers two by two, placed in device pixels (96 dpi: SavedElsewhere).
TEST(CPictureDraw, UprightAtTheDeviceResolution)
{
    const QByteArray rows("\xFF\0\0\xFF\0\0\0\0"  // bottom row: blue, blue
                          "\0\0\xFF\0\xFF\0\0\0", // top row: red, lime
                          16);
    CPicture picture = load(pelmora::MakeBmpFile(2, 2, rows));
    QImage fine = fixtures::deviceAt(192).scaled(8, 8);
    fine.fill(Qt::white);
    {
        QPainter painter(&fine);
        EXPECT_TRUE(picture.Draw(painter, 1, 1));
        EXPECT_FALSE(CPicture().Draw(painter, 0, 0));
    }
    const std::pair<QPoint, QRgb> seen[] = {{{2, 2}, qRgb(255, 0, 0)},     {{3, 2}, qRgb(0, 255, 0)},
                                            {{4, 4}, qRgb(0, 0, 255)},     {{5, 5}, qRgb(255, 255, 255)},
                                            {{0, 0}, qRgb(255, 255, 255)}, {{1, 5}, qRgb(255, 255, 255)}};
    for (const auto& [at, colour] : seen)
        EXPECT_EQ(fine.pixel(at), colour) << at.x() << "," << at.y();
    QPainter idle;
    EXPECT_FALSE(picture.Draw(idle, 0, 0));
}

TEST(CPictureResource, FromAPackageAndFromTheExecutable)
{
    const QByteArray gif = testFile("three-colours.gif");
    const auto package = pelmora::ResourcePackage::FromBytes(pelmora::WriteResourcePackage({{"IMAGE", 0, 1001, gif}}));
    ASSERT_NE(package, nullptr);

    CPicture frame(package.get(), 1001, "IMAGE");
    ASSERT_NE(frame.GetBitmap(), nullptr);
    EXPECT_EQ(frame.GetBitmap()->size(), QSize(5, 3));
    // Only the low 16 bits of the id count.
    CPicture high;
    EXPECT_TRUE(high.LoadFromResource(package.get(), 0x10000 + 1001, "IMAGE"));
    for (const auto& [id, type] : {std::pair{1002u, "IMAGE"}, {1001u, "REGION"}, {1001u, nullptr}})
        EXPECT_FALSE(high.LoadFromResource(package.get(), id, type)) << id;
    EXPECT_EQ(high.GetBitmap(), nullptr);

    // No module: the executable's own resources (this test's resource file).
    CPicture own(nullptr, 169, "BITMAP");
    ASSERT_NE(own.GetBitmap(), nullptr);
    EXPECT_EQ(own.GetBitmap()->size(), QSize(5, 3));
    EXPECT_FALSE(own.LoadFromResource(nullptr, 170, "BITMAP"));
    EXPECT_EQ(own.GetBitmap(), nullptr);
}

struct Saved {
    const char* name;
    const char* format; // as Qt's writers name it
    int dpi;            // 0: the file records no resolution
};

const Saved kSaved[] = {
    {"Bmp72", "BMP", 72},   {"Bmp96", "BMP", 96},   {"Bmp300", "BMP", 300},   {"BmpNone", "BMP", 0},
    {"Jpeg72", "JPEG", 72}, {"Jpeg96", "JPEG", 96}, {"Jpeg300", "JPEG", 300}, {"JpegNone", "JPEG", 0},
    {"Png72", "PNG", 72},   {"Png300", "PNG", 300},
};

const QSize kFrameSizes[] = {{320, 240}, {412, 309}};

bool IsJpeg(const Saved& saved) { return qstrcmp(saved.format, "JPEG") == 0; }

unsigned ImageId(int n, int s) { return unsigned(2001 + 2 * n + s); }

int DotsPerMetre(int dpi) { return qRound(dpi / 0.0254); }

// The resolution in each format's own field: BMP pixels per metre at 38 and 42, the JFIF density
// (units at 13: 1 = dots per inch, 0 = none) patched by hand, PNG's pHYs by Qt's writer.
QByteArray SavedFile(const Saved& saved, const QSize& size)
{
    QImage image = fixtures::patternImage(size.width(), size.height(), 3);
    QByteArray file;
    if (qstrcmp(saved.format, "BMP") == 0) {
        file = pelmora::MakeBmpFile(size.width(), size.height(), pelmora::ImageToBmpPixels(image));
        for (int at : {38, 42})
            qToLittleEndian<qint32>(saved.dpi ? DotsPerMetre(saved.dpi) : 0, file.data() + at);
        return file;
    }
    // Without a resolution (0, which Qt does not take) Qt's default stays; the JPEG's is patched below.
    image.setDotsPerMeterX(DotsPerMetre(saved.dpi));
    image.setDotsPerMeterY(DotsPerMetre(saved.dpi));
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, saved.format, 90))
        return {};
    if (IsJpeg(saved)) {
        if (file.mid(2, 2) != "\xFF\xE0" || file.mid(6, 5) != QByteArray("JFIF\0", 5))
            return {};
        file[13] = char(saved.dpi ? 1 : 0);
        for (int at : {14, 16})
            qToBigEndian<quint16>(saved.dpi ? saved.dpi : 1, file.data() + at);
    } else if (!file.contains("pHYs")) {
        return {};
    }
    return file;
}

const pelmora::ResourcePackage* ToolchainPackage()
{
    static const std::unique_ptr<pelmora::ResourcePackage> package =
        []() -> std::unique_ptr<pelmora::ResourcePackage> {
        QTemporaryDir dir;
        const auto write = [&dir](const QString& name, const QByteArray& bytes) {
            return !bytes.isEmpty() && fixtures::writeFile(dir.filePath(name), bytes);
        };
        QByteArray rc;
        for (int n = 0; n < int(std::size(kSaved)); ++n)
            for (int s = 0; s < 2; ++s) {
                const QString name = QStringLiteral("%1-%2.pic").arg(kSaved[n].name).arg(s);
                if (!write(name, SavedFile(kSaved[n], kFrameSizes[s])))
                    return nullptr;
                rc += QByteArray::number(ImageId(n, s)) + " IMAGE \"" + name.toLatin1() + "\"\n";
            }
        const QString object = dir.filePath("frames.o"), library = dir.filePath("frames.dll");
        const bool linked = write("frames.rc", rc)
            && RunProgram(PELMORA_WINDRES, {"--preprocessor=cpp", "-I", dir.path(), "-i", dir.filePath("frames.rc"), "-O", "coff", "-o", object}).exitCode == 0
            && RunProgram(PELMORA_MINGW_LD, {"--dll", "-e", "0", "-s", "--subsystem", "windows", "-o", library, object}).exitCode == 0;
        return linked ? pelmora::ResourcePackage::FromFile(library) : nullptr;
    }();
    return package.get();
}

QImage Drawn(CPicture picture)
{
    QImage canvas = fixtures::deviceAt(96).scaled(430, 320);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    EXPECT_TRUE(picture.Draw(painter, 4, 4));
    return canvas;
}

class SavedElsewhere : public ::testing::TestWithParam<int> {};

TEST_P(SavedElsewhere, MeasuresDrawsAndComposesAsItsPixels)
{
    const Saved& saved = kSaved[GetParam()];
    const pelmora::ResourcePackage* package = ToolchainPackage();
    ASSERT_NE(package, nullptr) << "windres, ld or a picture writer failed";
    // A lossy file is held against the same file without a resolution.
    const int plain = IsJpeg(saved) ? 7 : 3;
    QImage screen = fixtures::deviceAt(96);
    const QByteArray camera = pelmora::ImageToBmpPixels(fixtures::patternImage(320, 240, 1));
    for (int s = 0; s < 2; ++s) {
        const QSize size = kFrameSizes[s];
        SCOPED_TRACE(size.width());
        CPicture picture(package, ImageId(GetParam(), s), "IMAGE");
        const CPicture reference(package, ImageId(plain, s), "IMAGE");
        ASSERT_NE(picture.GetBitmap(), nullptr);
        EXPECT_EQ(picture.GetPixelWidth(&screen), size.width());
        EXPECT_EQ(picture.GetPixelHeight(&screen), size.height());

        const QImage drawn = Drawn(picture);
        EXPECT_EQ(drawn, Drawn(reference));
        EXPECT_EQ(drawn.pixel(4 + size.width(), 4 + size.height()), qRgb(255, 255, 255));
        EXPECT_TRUE(IsJpeg(saved) || drawn.copy(QRect(QPoint(4, 4), size)) == fixtures::patternImage(size.width(), size.height(), 3));

        // A band ten pixels wide round the edge: picture and outline must meet.
        const QRegion outline =
            QRegion(QRect(QPoint(0, 0), size)) - QRegion(10, 10, size.width() - 20, size.height() - 20);
        const QByteArray photo = ComposeFramedPhotoFile(camera, &picture, &outline, &screen);
        EXPECT_EQ(photo, ComposeFramedPhotoFile(camera, &reference, &outline, &screen));
        EXPECT_NE(photo, pelmora::MakeBmpFile(320, 240, camera));
    }
}

INSTANTIATE_TEST_SUITE_P(Resolutions, SavedElsewhere, ::testing::Range(0, int(std::size(kSaved))),
                         [](const auto& row) { return std::string(kSaved[row.param].name); });

} // namespace
