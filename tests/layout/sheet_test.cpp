// Layout files read into the sticker sheet and its photos, and pelmora-layout run as a process.
#include "archive.h"
#include "bmp.h"
#include "photofixtures.h"
#include "stickersheet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "testing.h"
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const auto contents = fixtures::readFile;

class LayoutFiles : public ::testing::Test {
protected:
    QString path(const char* name) const { return m_dir.filePath(name); }
    QString file(const char* name, const QByteArray& bytes)
    {
        EXPECT_TRUE(fixtures::writeFile(path(name), bytes));
        return path(name);
    }
    QTemporaryDir m_dir;
};

TEST_F(LayoutFiles, PlacesInFileOrderOrNoneOrAnErrorWithItsOffset)
{
    const std::vector<SheetRect> rects = {{0, 0, 160, 120}, {160, 120, 320, 240}, {9, 9, 100, 50}};
    CStickerSheet sheet(file("Three up.dat", pelmora::WriteLayoutArchive(rects)));
    ASSERT_EQ(sheet.GetCapacity(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(sheet.GetRect(i) ? sheet.GetRect(i)->m_rect : SheetRect(), rects[size_t(i)]) << i;
    EXPECT_TRUE(sheet.GetRect(3) == nullptr && sheet.GetRect(-1) == nullptr && sheet.GetPhotoCount() == 0);

    // No places and no error: empty, missing, a folder, a pipe (opening it would wait forever).
    const QString pipe = path("Pipe.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("Folder.dat"));
    for (const QString& path : {file("Empty.dat", QByteArray("\0\0", 2)), path("Missing.dat"),
                                path("Folder.dat"), pipe})
        EXPECT_EQ(CStickerSheet(path).GetCapacity(), 0) << path.toStdString();

    QByteArray bytes = pelmora::WriteLayoutArchive(std::vector<SheetRect>{{1, 2, 3, 4}});
    bytes[4] = 2; // schema 2 in an otherwise whole one-place file
    const QString path = file("Bad.dat", bytes);
    try {
        CStickerSheet bad(path);
        ADD_FAILURE() << "a malformed layout gave a sheet of " << bad.GetCapacity();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(e.offset(), 4u);
        EXPECT_NE(e.reason().find("schema 2"), std::string::npos);
    }
    EXPECT_THROW(CStickerSheet(file("Nothing.dat", QByteArray())), CArchiveException);
}

QImage plain(QRgb colour, int width = 320, int height = 240)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}
CPicture photo(QRgb colour) { return fixtures::pictureOf(plain(colour)); }

TEST_F(LayoutFiles, PhotosAddRemoveAndClear)
{
    CStickerSheet sheet(file("Four.dat", pelmora::WriteLayoutArchive(std::vector<SheetRect>(4))));
    ASSERT_EQ(sheet.GetCapacity(), 4);
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    const CPicture a = photo(red);
    for (const auto& [picture, index] : {std::pair{photo(red), 0}, {photo(green), 1}, {photo(blue), 2}, {a, 3}})
        EXPECT_EQ(sheet.AddPhoto(picture), index);
    EXPECT_TRUE(sheet.GetPhoto(3)->SharesPictureWith(a)) << "shared, not copied";

    // Positions count from 1; out of range changes nothing.
    for (int n : {0, 5, -1})
        EXPECT_FALSE(sheet.RemovePhoto(n)) << n;
    const auto colours = [&] {
        std::vector<QRgb> out;
        for (const CPicture& p : sheet.Photos())
            out.push_back(p.GetBitmap() ? p.GetBitmap()->pixel(0, 0) : 0);
        return out;
    };
    for (const auto& [n, left] : {std::pair{2, std::vector<QRgb>{red, blue, red}}, {3, {red, blue}}, {1, {blue}}}) {
        EXPECT_TRUE(sheet.RemovePhoto(n)) << n;
        EXPECT_EQ(colours(), left) << n;
    }
    EXPECT_EQ(sheet.GetPhoto(1), nullptr);

    EXPECT_EQ(sheet.Clear(), 1);
    EXPECT_EQ(sheet.GetCapacity(), 0);
    EXPECT_EQ(sheet.Clear(), 0);
    EXPECT_TRUE(a.GetBitmap() && a.GetBitmap()->pixel(0, 0) == red) << "the caller's picture outlives the sheet's share";
}

class LayoutTool : public LayoutFiles {
protected:
    static ProgramRun run(const QStringList& args) { return RunProgram(QStringLiteral(PELMORA_BIN_DIR "/pelmora-layout"), args); }
    void expectRefused(const QStringList& args, const QString& out, const QByteArray& kept = {}, const char* says = "")
    {
        const ProgramRun r = run(args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.count('\n') == 1 && r.err.contains(says) && r.out.isEmpty())
            << r.err.constData();
        EXPECT_EQ(contents(out), kept) << args.join(' ').toStdString();
        EXPECT_EQ(QFile::exists(out), !kept.isEmpty());
    }
};

TEST_F(LayoutTool, WriteDumpAndRefuse)
{
    const QString two = path("Two up.dat");
    const ProgramRun written = run({"write", two, "0,0,160,120", "160,120,320,-240"});
    ASSERT_EQ(written.exitCode, 0) << written.err.constData();
    const QByteArray bytes = contents(two);
    EXPECT_EQ(bytes.size(), 52);
    EXPECT_EQ(pelmora::ReadLayoutArchive(bytes).rects, (std::vector<SheetRect>{{0, 0, 160, 120}, {160, 120, 320, -240}}));
    EXPECT_EQ(run({"dump", two}).out, "0 0 160 120\n160 120 320 -240\n");
    expectRefused({"write", two, "1,1,2,2"}, two, bytes, "already exists");

    const QString bad = path("Bad.dat");
    for (const char* spec : {"1,2,3", "1,2,3,4,5", "1,2,3,x", "1;2;3;4", "1,2,3,4294967296", ""})
        expectRefused({"write", bad, "0,0,1,1", spec}, bad);
    EXPECT_EQ(run({"write", bad}).exitCode, 2);
    EXPECT_EQ(run({"frobnicate", bad}).exitCode, 2);
    expectRefused({"write", path("no/such/folder.dat"), "0,0,1,1"}, bad, {}, "folder.dat");
    const QByteArray cut = pelmora::WriteLayoutArchive(std::vector<SheetRect>(3)).left(60);
    expectRefused({"dump", file("Cut.dat", cut)}, path("Cut.dat"), cut, "offset 54: file ends inside rectangle 3");
    expectRefused({"dump", path("Missing.dat")}, path("Missing.dat"));
}

TEST_F(LayoutTool, ShippedLayoutsFitTheCanvas)
{
    const std::pair<const char*, int> layouts[] = {{"1 Photo", 1},  {"2 Photos", 2},  {"4 Photos", 4}, {"6 Photos", 6},
                                                   {"9 Photos", 9}, {"16 Photos", 16}, {"1 Large 4 Small", 5}};
    for (const auto& [name, count] : layouts) {
        const auto read = pelmora::ReadLayoutArchive(contents(QStringLiteral(PELMORA_BIN_DIR "/Resource/%1.dat").arg(name)));
        ASSERT_EQ(int(read.rects.size()), count) << name;
        for (size_t a = 0; a < read.rects.size(); ++a) {
            const SheetRect& r = read.rects[a];
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 320 && r.bottom <= 240 && r.right > r.left && r.bottom > r.top) << name;
            for (size_t b = a + 1; b < read.rects.size(); ++b) { // stickers do not overlap
                const SheetRect& o = read.rects[b];
                EXPECT_TRUE(r.right <= o.left || o.right <= r.left || r.bottom <= o.top || o.bottom <= r.top) << name << a << b;
            }
        }
    }
}

TEST_F(LayoutTool, SheetPlacesPhotosFromTheBottomEdgeAndRefuses)
{
    const QString layout = path("Two.dat"), out = path("sheet.bmp");
    const QString red = file("red.bmp", BmpBytes(plain(qRgb(255, 0, 0)))), blue = file("blue.bmp", BmpBytes(plain(qRgb(0, 0, 255))));
    ASSERT_EQ(run({"write", layout, "0,0,160,120", "0,120,320,240", "1,1,2,2"}).exitCode, 0);
    const ProgramRun r = run({"sheet", layout, out, red, blue});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QByteArray bytes = contents(out);
    ASSERT_EQ(bytes.size(), 230454);
    EXPECT_EQ(bytes.left(54), pelmora::BmpHeader(320, 240, 230400));
    const QImage sheet = QImage::fromData(bytes, "BMP");
    // As seen: place 1 is the lower-left quarter, place 2 the upper half; place 3 has no photo.
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 320; x += 7)
            ASSERT_EQ(sheet.pixel(x, y), y < 120 ? qRgb(0, 0, 255) : x < 160 ? qRgb(255, 0, 0) : qRgb(255, 255, 255)) << x << "," << y;
    expectRefused({"sheet", layout, out, blue, red}, out, bytes, "already exists");

    const QString one = path("One.dat"), none = path("none.bmp");
    ASSERT_EQ(run({"write", one, "0,0,320,240"}).exitCode, 0);
    const QString small = file("small.bmp", BmpBytes(plain(qRgb(1, 2, 3), 100, 75))), text = file("text.bmp", "BM not a picture");
    const QString broken = file("broken.dat", contents(one).left(20));
    for (const QStringList& args : QList<QStringList>{
             {one, none, small},                   // not 320 x 240
             {one, none, text},                    // not a picture
             {one, none, path("missing.bmp")},     // no such photo
             {one, none, red, red},                // more photos than places
             {path("none.dat"), none, red},        // no such layout
             {broken, none, red},                  // malformed layout
             {one, path("no/dir/s.bmp"), red}})    // nowhere to write
        expectRefused(QStringList{"sheet"} + args, none);
    EXPECT_EQ(run({"sheet", one, none}).exitCode, 2);
}

} // namespace
