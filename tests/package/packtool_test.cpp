// pelmora-pack as a user runs it: build, list, extract, preview; files it
// must not overwrite; packages and pictures it must refuse.
#include "bytes.h"
#include "bmp.h"
#include "package.h"
#include "packagewriter.h"
#include "rgndata.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegion>
#include <QTemporaryDir>

#include <optional>
#include <tuple>
#include <vector>

#include "testing.h"
#include <gtest/gtest.h>

using namespace pelmora;
using namespace testbytes;

namespace {

struct ToolRun {
    int code = -1;
    QString out;
    QString err;
};

ToolRun Pack(const QStringList& args)
{
    const ProgramRun run = RunProgram(QStringLiteral(PELMORA_PACK_TOOL), args);
    return {run.exitCode, QString::fromLocal8Bit(run.out), QString::fromLocal8Bit(run.err)};
}

// A 6 by 4 frame: opaque except a 2 by 2 window; a colour per frame.
QImage Frame(QRgb colour)
{
    QImage picture(6, 4, QImage::Format_ARGB32);
    picture.fill(colour);
    for (int y = 1; y < 3; ++y)
        for (int x = 2; x < 4; ++x)
            picture.setPixel(x, y, qRgba(0, 0, 0, 0));
    return picture;
}

// A package with the given frame range whose frame 1001 is a 320 by 240
// picture of one colour and the given outline; either may be left out.
QByteArray FramePackage(const QString& first, const QString& last, std::optional<QRgb> colour,
                        std::optional<QRegion> outline)
{
    std::vector<PackageResourceData> resources = StringTableResources({{1, first}, {2, last}});
    if (colour) {
        QImage picture(320, 240, QImage::Format_RGB32);
        picture.fill(*colour);
        resources.push_back({QStringLiteral("IMAGE"), 0, 2001, MakeBmpFile(320, 240, ImageToBmpPixels(picture))});
    }
    if (outline)
        resources.push_back({QStringLiteral("REGION"), 0, 1001, WriteRegionData(*outline)});
    return WriteResourcePackage(resources);
}

// Two frame pictures, a camera picture whose every pixel differs from its
// neighbours and from the frame (saved by Qt's own BMP writer, independent
// of ours: 24 bits, rows bottom-up) and a package framing the top ten rows.
class PackTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(Frame(qRgba(200, 30, 60, 255)).save(Path("a.png")));
        ASSERT_TRUE(Frame(qRgba(20, 130, 60, 255)).save(Path("b.png")));
        camera = QImage(320, 240, QImage::Format_RGB32);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                camera.setPixel(x, y, qRgb(x & 0xff, y, (x >> 8) * 100 + (x + y) % 100));
        ASSERT_TRUE(camera.save(Path("camera.bmp"), "BMP"));
        ASSERT_EQ(ReadAll(Path("camera.bmp")).size(), 230454);
        WriteFile("Top.dll", FramePackage(QStringLiteral("1001"), QStringLiteral("1003"), kFrameColour, QRegion(0, 0, 320, 10)));
    }
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    void WriteFile(const char* name, const QByteArray& bytes)
    {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    ToolRun Run(const QString& package, const QString& frame, const QString& cameraPath, const QString& out)
    {
        return Pack({QStringLiteral("preview"), package, frame, cameraPath, out});
    }
    static constexpr QRgb kFrameColour = qRgb(250, 200, 10);
    QTemporaryDir m_dir;
    QImage camera;
};

TEST_F(PackTool, BuildListExtract)
{
    const QString dll = Path("Tiny.dll");
    ToolRun r = Pack({QStringLiteral("build"), dll, QStringLiteral("1001"), Path("a.png"), Path("b.png")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);

    r = Pack({QStringLiteral("list"), dll});
    EXPECT_EQ(r.code, 0);
    // 6 by 4 at 24 bits: rows of 18 bytes padded to 20, plus the 54-byte header.
    EXPECT_EQ(r.out, QStringLiteral("first 1001\nlast 1002\n"
                                    "frame 1001: image 6x4 (134 bytes), region 4 rectangles\n"
                                    "frame 1002: image 6x4 (134 bytes), region 4 rectangles\n"));

    // An independent reader of resource libraries sees the same resources.
    QProcess wrestool;
    wrestool.start(QStringLiteral("wrestool"), {QStringLiteral("-l"), dll});
    ASSERT_TRUE(wrestool.waitForFinished(-1));
    EXPECT_EQ(wrestool.exitCode(), 0);
    const QStringList listed = QString::fromLocal8Bit(wrestool.readAllStandardOutput())
                                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(listed.size(), 5) << qPrintable(listed.join(QLatin1Char('\n')));
    const char* starts[] = {"--type='IMAGE' --name=2001 --language=1033 [offset=0x", "--type='IMAGE' --name=2002 ",
                            "--type='REGION' --name=1001 ", "--type='REGION' --name=1002 ",
                            "--type=6 --name=1 --language=1033 [type=string"};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(listed[i].startsWith(QLatin1String(starts[i]))) << qPrintable(listed[i]);
    EXPECT_TRUE(listed[0].endsWith(QStringLiteral(" size=134]")));
    EXPECT_TRUE(listed[2].endsWith(QStringLiteral(" size=96]"))); // 32 + 4 rectangles
    const auto package = ResourcePackage::FromFile(dll);
    ASSERT_TRUE(package);
    const QRegion outline = QRegion(0, 0, 6, 4).subtracted(QRegion(2, 1, 2, 2));
    EXPECT_EQ(ReadRegionData(*package->FindResource("REGION", 1002)), outline);
    const QByteArray bmp = Bytes(*package->FindResource("IMAGE", 2002));
    ASSERT_EQ(bmp.size(), 134);
    const QImage picture = BmpPixelsToImage(bmp.constData() + 54, bmp.size() - 54, 6, 4);
    EXPECT_EQ(picture.pixel(0, 0), qRgb(20, 130, 60));
    EXPECT_EQ(picture.pixel(5, 3), qRgb(20, 130, 60));

    r = Pack({QStringLiteral("extract"), dll, QStringLiteral("REGION"), QStringLiteral("1001"), Path("r.bin")});
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(ReadAll(Path("r.bin")), WriteRegionData(outline));
    r = Pack({QStringLiteral("extract"), dll, QStringLiteral("STRING"), QStringLiteral("2"), Path("s.bin")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(ReadAll(Path("s.bin")), QByteArray("1\0" "0\0" "0\0" "2\0", 8));
    r = Pack({QStringLiteral("extract"), dll, QStringLiteral("IMAGE"), QStringLiteral("2003"), Path("none.bmp")});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(QFile::exists(Path("none.bmp")));
}

TEST_F(PackTool, RefusesBadInput)
{
    // A package cut short: one line on stderr, exit 1.
    WriteFile("Cut.dll", ReadAll(Path("Top.dll")).left(300));
    ToolRun r = Pack({QStringLiteral("list"), Path("Cut.dll")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("pelmora-pack: offset 0x"))) << qPrintable(r.err);
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);

    // No picture, an unreadable picture, a range beyond 16-bit ids.
    EXPECT_EQ(Pack({QStringLiteral("build"), Path("X.dll"), QStringLiteral("1001")}).code, 1);
    EXPECT_EQ(Pack({QStringLiteral("build"), Path("X.dll"), QStringLiteral("1001"), Path("Cut.dll")}).code, 1);
    EXPECT_EQ(Pack({QStringLiteral("build"), Path("X.dll"), QStringLiteral("64535"), Path("a.png"), Path("b.png")}).code, 1);
    EXPECT_FALSE(QFile::exists(Path("X.dll")));
}

class Preview : public PackTool {
protected:
    // The top ten rows as seen are the frame's, the others the camera's.
    void ExpectTopTenRowsFramed(const QString& photoPath)
    {
        const QByteArray file = ReadAll(photoPath);
        ASSERT_EQ(file.size(), 230454);
        EXPECT_EQ(file.left(54), BmpHeader(320, 240, 230400)) << "24 bits, rows bottom-up";
        const QImage photo(photoPath);
        ASSERT_EQ(photo.size(), QSize(320, 240));
        int wrong = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                wrong += photo.pixel(x, y) != (y < 10 ? kFrameColour : camera.pixel(x, y));
        EXPECT_EQ(wrong, 0);
        // Stored rows: the frame's are the last ten of the pixel array.
        EXPECT_EQ(quint8(file[54 + 229 * 960]), qBlue(camera.pixel(0, 10)));
        EXPECT_EQ(quint8(file[54 + 230 * 960]), qBlue(kFrameColour));
    }
};

TEST_F(Preview, FrameCoversItsOutlineOnly)
{
    ToolRun r = Run(Path("Top.dll"), QStringLiteral("1001"), Path("camera.bmp"), Path("photo.bmp"));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.isEmpty());
    ExpectTopTenRowsFramed(Path("photo.bmp"));

    // The same camera picture stored top-down gives the same photo.
    QByteArray topDown = ReadAll(Path("camera.bmp"));
    const QByteArray bottomUp = topDown.mid(54);
    Set32(topDown, 22, std::uint32_t(-240));
    for (int row = 0; row < 240; ++row)
        topDown.replace(54 + row * 960, 960, bottomUp.mid((239 - row) * 960, 960));
    WriteFile("topdown.bmp", topDown);
    r = Run(Path("Top.dll"), QStringLiteral("1001"), Path("topdown.bmp"), Path("photo2.bmp"));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(ReadAll(Path("photo2.bmp")), ReadAll(Path("photo.bmp")));
}

TEST_F(Preview, StretchesALargerFrameWithItsOutline)
{
    // A shipped frame made for the 412 by 309 window: the photo is still
    // 320 by 240, framed at the corners, the camera's in the middle.
    const ToolRun r = Run(QStringLiteral(PELMORA_BIN_DIR "/Resource/Hearts.dll"), QStringLiteral("1001"),
                          Path("camera.bmp"), Path("hearts.bmp"));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    const QImage photo(Path("hearts.bmp"));
    ASSERT_EQ(photo.size(), QSize(320, 240));
    EXPECT_NE(photo.pixel(1, 1), camera.pixel(1, 1));
    EXPECT_NE(photo.pixel(318, 238), camera.pixel(318, 238));
    EXPECT_EQ(photo.pixel(160, 120), camera.pixel(160, 120));
}

TEST_F(Preview, NeverOverwrites)
{
    // Not the package built, nor a picture extracted, a photo previewed or
    // the camera picture read.
    WriteFile("Keep.dll", "user data");
    const QByteArray cameraBytes = ReadAll(Path("camera.bmp"));
    ASSERT_EQ(Pack({QStringLiteral("build"), Path("Ok.dll"), QStringLiteral("1001"), Path("a.png")}).code, 0);
    for (const QStringList& args : QList<QStringList>{
             {QStringLiteral("build"), Path("Keep.dll"), QStringLiteral("1001"), Path("a.png")},
             {QStringLiteral("extract"), Path("Ok.dll"), QStringLiteral("IMAGE"), QStringLiteral("2001"), Path("Keep.dll")},
             {QStringLiteral("preview"), Path("Top.dll"), QStringLiteral("1001"), Path("camera.bmp"), Path("Keep.dll")},
             {QStringLiteral("preview"), Path("Top.dll"), QStringLiteral("1001"), Path("camera.bmp"), Path("camera.bmp")}}) {
        const ToolRun r = Pack(args);
        EXPECT_EQ(r.code, 1) << qPrintable(args.join(' '));
        EXPECT_TRUE(r.err.contains(QStringLiteral("not overwriting")) || args.last() == Path("camera.bmp")) << qPrintable(r.err);
        EXPECT_EQ(ReadAll(Path("Keep.dll")), QByteArray("user data"));
        EXPECT_EQ(ReadAll(Path("camera.bmp")), cameraBytes);
    }
}

TEST_F(Preview, RefusesBadArguments)
{
    const QString n1001 = QStringLiteral("1001");
    const QRegion corner(0, 0, 5, 5);
    WriteFile("NoRegion.dll", FramePackage(n1001, n1001, kFrameColour, {}));
    WriteFile("NoImage.dll", FramePackage(n1001, n1001, {}, corner));
    WriteFile("NoRange.dll",
              WriteResourcePackage({{QStringLiteral("REGION"), 0, 1001, WriteRegionData(corner)}}));
    QImage(640, 480, QImage::Format_RGB32).save(Path("large.bmp"), "BMP");
    WriteFile("cut.bmp", ReadAll(Path("camera.bmp")).left(100000));
    QByteArray sixteenBit = ReadAll(Path("camera.bmp"));
    Set16(sixteenBit, 28, 16);
    WriteFile("sixteen.bmp", sixteenBit);

    const QString top = Path("Top.dll"), cam = Path("camera.bmp"), out = Path("out.bmp");
    const QString inRange = QStringLiteral("range 1001 to 1003");
    // What each refusal must say, where the reason is the tool's own.
    const std::vector<std::tuple<const char*, QStringList, QString>> cases{
        {"no arguments", {}, QStringLiteral("usage: ")},
        {"three arguments", {top, QStringLiteral("1001"), cam}, QStringLiteral("usage: ")},
        {"five arguments", {top, QStringLiteral("1001"), cam, out, out}, QStringLiteral("usage: ")},
        {"frame not a number", {top, QStringLiteral("first"), cam, out}, inRange},
        {"frame before the range", {top, QStringLiteral("1000"), cam, out}, inRange},
        {"frame after the range", {top, QStringLiteral("1004"), cam, out}, inRange},
        {"missing package", {Path("None.dll"), QStringLiteral("1001"), cam, out}, {}},
        {"package not a library", {cam, QStringLiteral("1001"), cam, out}, {}},
        {"package without a range", {Path("NoRange.dll"), QStringLiteral("1001"), cam, out},
         QStringLiteral("no frame range")},
        {"frame without an outline", {Path("NoRegion.dll"), QStringLiteral("1001"), cam, out},
         QStringLiteral("no REGION 1001")},
        {"frame without a picture", {Path("NoImage.dll"), QStringLiteral("1001"), cam, out},
         QStringLiteral("no readable IMAGE 2001")},
        {"missing camera picture", {top, QStringLiteral("1001"), Path("none.bmp"), out}, {}},
        {"camera picture not a BMP", {top, QStringLiteral("1001"), Path("a.png"), out},
         QStringLiteral("not a BMP")},
        {"camera picture 640x480", {top, QStringLiteral("1001"), Path("large.bmp"), out},
         QStringLiteral("a 640x480 24-bit picture")},
        {"camera picture 16-bit", {top, QStringLiteral("1001"), Path("sixteen.bmp"), out},
         QStringLiteral("a 320x240 16-bit picture")},
        {"camera picture cut short", {top, QStringLiteral("1001"), Path("cut.bmp"), out},
         QStringLiteral("cut short")},
        {"camera picture a folder", {top, QStringLiteral("1001"), m_dir.path(), out}, {}},
        {"output in a missing folder", {top, QStringLiteral("1001"), cam, Path("no/out.bmp")},
         QStringLiteral("cannot create")},
    };
    for (const auto& [name, args, says] : cases) {
        const ToolRun r = Pack(QStringList{QStringLiteral("preview")} + args);
        EXPECT_EQ(r.code, 1) << name;
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("pelmora-pack: "))) << name << ": " << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(says)) << name << ": " << qPrintable(r.err);
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << name << ": " << qPrintable(r.err);
        EXPECT_TRUE(r.out.isEmpty()) << name;
        EXPECT_FALSE(QFile::exists(out)) << name;
    }
}

TEST(ShippedSeries, EveryFrameIsComplete)
{
    // The packages the build put beside the program.
    const QStringList series{QStringLiteral("Hearts"), QStringLiteral("Stars"), QStringLiteral("Film"),
                             QStringLiteral("Bubbles")};
    for (const QString& name : series) {
        QString error;
        const auto package = ResourcePackage::FromFile(QStringLiteral(PELMORA_BIN_DIR "/Resource/") + name + ".dll", &error);
        ASSERT_TRUE(package) << qPrintable(error);
        const int first = Atoi(*package->LoadString(1));
        const int last = Atoi(*package->LoadString(2));
        EXPECT_EQ(first, 1001) << qPrintable(name);
        EXPECT_GE(last - first + 1, 3);
        EXPECT_LE(last - first + 1, 6);
        for (int n = first; n <= last; ++n) {
            const auto bmp = package->FindResource("IMAGE", std::uint16_t(n + 1000));
            ASSERT_TRUE(bmp);
            const QImage picture = QImage::fromData(bmp->data(), int(bmp->size()), "BMP");
            ASSERT_FALSE(picture.isNull());
            // The frame window's size: on the live view the frame covers the whole video.
            EXPECT_EQ(picture.size(), QSize(412, 309)) << qPrintable(name);
            const auto region = ReadRegionData(*package->FindResource("REGION", std::uint16_t(n)));
            ASSERT_TRUE(region);
            // Opaque round the edges, a window for the face in the middle.
            const QRect all(QPoint(0, 0), picture.size());
            EXPECT_TRUE(all.contains(region->boundingRect()));
            EXPECT_TRUE(region->contains(QPoint(2, 2)) && region->contains(all.bottomRight() - QPoint(2, 2)));
            for (const QPoint off : {QPoint(0, 0), QPoint(0, all.height() / 6), QPoint(all.width() / 6, 0),
                                     QPoint(-all.width() / 6, 0)})
                EXPECT_FALSE(region->contains(all.center() + off));
        }
    }
}

} // namespace
