// pelmora-layout run as a process, its files checked by the archive reader
// and by exact bytes.
#include "archive.h"
#include "bmp.h"
#include "photofixtures.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include "testing.h"
#include <gtest/gtest.h>

namespace {

const auto contents = fixtures::readFile;
const auto save = fixtures::writeFile;

// A one-colour photo file as the booth makes them, of the given size.
QByteArray photoFile(QRgb colour, int width = 320, int height = 240)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return pelmora::MakeBmpFile(width, height, pelmora::ImageToBmpPixels(image));
}

class LayoutTool : public ::testing::Test {
protected:
    static ProgramRun run(const QStringList& args) { return RunProgram(QStringLiteral(PELMORA_BIN_DIR "/pelmora-layout"), args); }
    QString path(const char* name) const { return m_dir.filePath(name); }
    // The run refused with one line on stderr and left `out` alone.
    void expectRefused(const QStringList& args, const QString& out, const QByteArray& kept = {}, const char* says = "")
    {
        const ProgramRun r = run(args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
        EXPECT_TRUE(r.err.contains(says)) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(contents(out), kept) << args.join(' ').toStdString();
        EXPECT_EQ(QFile::exists(out), !kept.isEmpty());
    }
    QTemporaryDir m_dir;
};

TEST_F(LayoutTool, WriteDumpAndRefuse)
{
    const QString file = path("Two up.dat");
    const ProgramRun written = run({"write", file, "0,0,160,120", "160,120,320,-240"});
    ASSERT_EQ(written.exitCode, 0) << written.err.constData();
    const QByteArray bytes = contents(file);
    ASSERT_EQ(bytes.size(), 52);
    EXPECT_EQ(bytes.left(8), QByteArray("\x02\x00\xFF\xFF\x01\x00\x0A\x00", 8));
    const auto read = pelmora::ReadLayoutArchive(bytes);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.rects, (std::vector<SheetRect>{{0, 0, 160, 120}, {160, 120, 320, -240}}));
    EXPECT_EQ(run({"dump", file}).out, "0 0 160 120\n160 120 320 -240\n");
    expectRefused({"write", file, "1,1,2,2"}, file, bytes, "already exists");

    const QString bad = path("Bad.dat");
    for (const char* spec : {"1,2,3", "1,2,3,4,5", "1,2,3,x", "1;2;3;4", "1,2,3,4294967296", ""})
        expectRefused({"write", bad, "0,0,1,1", spec}, bad);
    EXPECT_EQ(run({"write", bad}).exitCode, 2);
    EXPECT_EQ(run({"frobnicate", bad}).exitCode, 2);
    expectRefused({"write", path("no/such/folder.dat"), "0,0,1,1"}, bad, {}, "folder.dat");
    // A file cut inside its third rectangle: one line naming the offset.
    const QString cut = path("Cut.dat");
    ASSERT_EQ(run({"write", bad, "1,2,3,4", "5,6,7,8", "9,10,11,12"}).exitCode, 0);
    ASSERT_TRUE(save(cut, contents(bad).left(60)));
    expectRefused({"dump", cut}, cut, contents(bad).left(60), "offset 54: file ends inside rectangle 3");
    expectRefused({"dump", path("Missing.dat")}, path("Missing.dat"));
}

TEST_F(LayoutTool, ShippedLayoutsFitTheCanvas)
{
    const std::pair<const char*, int> layouts[] = {{"1 Photo", 1},  {"2 Photos", 2},  {"4 Photos", 4}, {"6 Photos", 6},
                                                   {"9 Photos", 9}, {"16 Photos", 16}, {"1 Large 4 Small", 5}};
    for (const auto& [name, count] : layouts) {
        const auto read = pelmora::ReadLayoutArchive(contents(QStringLiteral(PELMORA_BIN_DIR "/Resource/%1.dat").arg(name)));
        ASSERT_TRUE(read.ok()) << name;
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
    const QString layout = path("Two.dat"), red = path("red.bmp"), blue = path("blue.bmp"), out = path("sheet.bmp");
    ASSERT_EQ(run({"write", layout, "0,0,160,120", "0,120,320,240", "1,1,2,2"}).exitCode, 0);
    ASSERT_TRUE(save(red, photoFile(qRgb(255, 0, 0))) && save(blue, photoFile(qRgb(0, 0, 255))));
    const ProgramRun r = run({"sheet", layout, out, red, blue});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QByteArray bytes = contents(out);
    ASSERT_EQ(bytes.size(), 230454);
    EXPECT_EQ(bytes.left(54), pelmora::BmpHeader(320, 240, 230400));
    const QImage sheet = QImage::fromData(bytes, "BMP");
    ASSERT_EQ(sheet.size(), QSize(320, 240));
    // As seen: the first place is the lower-left quarter, the second the
    // upper half; the third has no photo and stays white like the rest.
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 320; x += 7)
            ASSERT_EQ(sheet.pixel(x, y), y < 120 ? qRgb(0, 0, 255) : x < 160 ? qRgb(255, 0, 0) : qRgb(255, 255, 255)) << x << "," << y;
    expectRefused({"sheet", layout, out, blue, red}, out, bytes, "already exists");

    const QString one = path("One.dat"), small = path("small.bmp"), text = path("text.bmp"), broken = path("broken.dat");
    const QString none = path("none.bmp");
    ASSERT_EQ(run({"write", one, "0,0,320,240"}).exitCode, 0);
    ASSERT_TRUE(save(small, photoFile(qRgb(1, 2, 3), 100, 75)) && save(text, "BM not a picture"));
    ASSERT_TRUE(save(broken, contents(one).left(20)));
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
