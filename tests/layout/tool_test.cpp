// pelmora-layout run as a process, its files checked by the archive reader
// and by exact bytes.
#include "archive.h"
#include "bmp.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include "testing.h"
#include <gtest/gtest.h>

namespace {

using ToolRun = ProgramRun;

ToolRun layoutTool(const QStringList& args)
{
    return RunProgram(QStringLiteral(PELMORA_BIN_DIR "/pelmora-layout"), args);
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A one-colour photo file as the booth makes them, of the given size.
QByteArray photoFile(QRgb colour, int width = 320, int height = 240)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return pelmora::MakeBmpFile(width, height, pelmora::ImageToBmpPixels(image));
}

bool save(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

TEST(LayoutTool, WriteDumpAndRefuseOverwrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Two up.dat");
    const ToolRun written = layoutTool({"write", path, "0,0,160,120", "160,120,320,-240"});
    ASSERT_EQ(written.exitCode, 0) << written.err.constData();
    const QByteArray bytes = contents(path);
    ASSERT_EQ(bytes.size(), 52);
    EXPECT_EQ(bytes.left(8), QByteArray("\x02\x00\xFF\xFF\x01\x00\x0A\x00", 8));
    const auto read = pelmora::ReadLayoutArchive(bytes);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.rects, (std::vector<SheetRect>{{0, 0, 160, 120}, {160, 120, 320, -240}}));

    const ToolRun dumped = layoutTool({"dump", path});
    EXPECT_EQ(dumped.exitCode, 0);
    EXPECT_EQ(dumped.out, "0 0 160 120\n160 120 320 -240\n");

    // An existing file is never overwritten.
    const ToolRun again = layoutTool({"write", path, "1,1,2,2"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains("already exists")) << again.err.constData();
    EXPECT_EQ(contents(path), bytes);
}

TEST(LayoutTool, RefusalsWriteNothingAndSayWhy)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Bad.dat");
    for (const char* spec : {"1,2,3", "1,2,3,4,5", "1,2,3,x", "1;2;3;4", "1,2,3,4294967296", ""}) {
        EXPECT_EQ(layoutTool({"write", path, "0,0,1,1", QString::fromLatin1(spec)}).exitCode, 1) << spec;
        EXPECT_FALSE(QFile::exists(path)) << spec;
    }
    EXPECT_EQ(layoutTool({"write", path}).exitCode, 2);
    EXPECT_EQ(layoutTool({"frobnicate", path}).exitCode, 2);
    const ToolRun nowhere = layoutTool({"write", dir.filePath("no/such/folder.dat"), "0,0,1,1"});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.err.contains("folder.dat")) << nowhere.err.constData();

    // A file cut inside its third rectangle: one line naming the offset.
    const QString cut = dir.filePath("Cut.dat");
    ASSERT_EQ(layoutTool({"write", cut, "1,2,3,4", "5,6,7,8", "9,10,11,12"}).exitCode, 0);
    const QByteArray bytes = contents(cut);
    QFile::remove(cut);
    ASSERT_TRUE(save(cut, bytes.left(60)));
    const ToolRun run = layoutTool({"dump", cut});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err.count('\n'), 1);
    EXPECT_TRUE(run.err.contains("offset 54: file ends inside rectangle 3")) << run.err.constData();
    EXPECT_EQ(layoutTool({"dump", dir.filePath("Missing.dat")}).exitCode, 1);
}

TEST(LayoutTool, ShippedLayoutsFitTheCanvas)
{
    const std::pair<const char*, int> layouts[] = {{"1 Photo", 1}, {"2 Photos", 2}, {"4 Photos", 4},
                                                   {"6 Photos", 6}, {"9 Photos", 9}, {"16 Photos", 16},
                                                   {"1 Large 4 Small", 5}};
    for (const auto& [name, count] : layouts) {
        const auto read =
            pelmora::ReadLayoutArchive(contents(QStringLiteral(PELMORA_BIN_DIR "/Resource/%1.dat").arg(name)));
        ASSERT_TRUE(read.ok()) << name;
        ASSERT_EQ(int(read.rects.size()), count) << name;
        for (size_t a = 0; a < read.rects.size(); ++a) {
            const SheetRect& r = read.rects[a];
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 320 && r.bottom <= 240) << name;
            EXPECT_TRUE(r.right > r.left && r.bottom > r.top) << name;
            // Stickers do not overlap.
            for (size_t b = a + 1; b < read.rects.size(); ++b) {
                const SheetRect& o = read.rects[b];
                EXPECT_TRUE(r.right <= o.left || o.right <= r.left || r.bottom <= o.top || o.bottom <= r.top)
                    << name << " places " << a << " and " << b;
            }
        }
    }
}

TEST(LayoutTool, SheetPlacesPhotosFromTheBottomEdge)
{
    QTemporaryDir dir;
    const QString layout = dir.filePath("Two.dat");
    ASSERT_EQ(layoutTool({"write", layout, "0,0,160,120", "0,120,320,240", "1,1,2,2"}).exitCode, 0);
    const QString red = dir.filePath("red.bmp");
    const QString blue = dir.filePath("blue.bmp");
    ASSERT_TRUE(save(red, photoFile(qRgb(255, 0, 0))));
    ASSERT_TRUE(save(blue, photoFile(qRgb(0, 0, 255))));
    const QString out = dir.filePath("sheet.bmp");
    const ToolRun run = layoutTool({"sheet", layout, out, red, blue});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();

    const QByteArray bytes = contents(out);
    ASSERT_EQ(bytes.size(), 230454);
    EXPECT_EQ(bytes.left(54), pelmora::BmpHeader(320, 240, 230400));
    const QImage sheet = QImage::fromData(bytes, "BMP");
    ASSERT_EQ(sheet.size(), QSize(320, 240));
    // As seen: the first place is the lower-left quarter, the second the
    // upper half; the third has no photo and stays white like the rest.
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 320; x += 7) {
            const QRgb want = y < 120 ? qRgb(0, 0, 255) : x < 160 ? qRgb(255, 0, 0) : qRgb(255, 255, 255);
            ASSERT_EQ(sheet.pixel(x, y), want) << x << "," << y;
        }

    // Never over an existing file.
    const ToolRun again = layoutTool({"sheet", layout, out, blue, red});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains("already exists")) << again.err.constData();
    EXPECT_EQ(contents(out), bytes);
}

TEST(LayoutTool, SheetRefusesWhatItCannotCompose)
{
    QTemporaryDir dir;
    const QString layout = dir.filePath("One.dat");
    ASSERT_EQ(layoutTool({"write", layout, "0,0,320,240"}).exitCode, 0);
    const QString photo = dir.filePath("photo.bmp");
    ASSERT_TRUE(save(photo, photoFile(qRgb(1, 2, 3))));
    const QString small = dir.filePath("small.bmp");
    ASSERT_TRUE(save(small, photoFile(qRgb(1, 2, 3), 100, 75)));
    const QString text = dir.filePath("text.bmp");
    ASSERT_TRUE(save(text, "BM not a picture"));
    const QString broken = dir.filePath("broken.dat");
    ASSERT_TRUE(save(broken, contents(layout).left(20)));
    const QString out = dir.filePath("sheet.bmp");
    const QList<QStringList> refused{
        {"sheet", layout, out, small},                        // not 320 x 240
        {"sheet", layout, out, text},                         // not a picture
        {"sheet", layout, out, dir.filePath("none.bmp")},     // no such photo
        {"sheet", layout, out, photo, photo},                 // more photos than places
        {"sheet", dir.filePath("none.dat"), out, photo},      // no such layout
        {"sheet", broken, out, photo},                        // malformed layout
        {"sheet", layout, dir.filePath("no/dir/s.bmp"), photo}, // nowhere to write
    };
    for (const QStringList& args : refused) {
        const ToolRun run = layoutTool(args);
        EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.constData();
        EXPECT_FALSE(QFile::exists(out)) << args.join(' ').toStdString();
    }
    EXPECT_EQ(layoutTool({"sheet", layout, out}).exitCode, 2);
}

} // namespace
