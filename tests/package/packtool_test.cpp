// pelmora-pack as a user runs it: build, list, extract and preview, and what it refuses or keeps.
#include "bytes.h"
#include "bmp.h"
#include "package.h"
#include "packagewriter.h"
#include "rgndata.h"

#include <QFile>
#include <QImage>
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

ProgramRun Pack(const QStringList& args) { return RunProgram(QStringLiteral(PELMORA_PACK_TOOL), args); }

QImage Frame(QRgb colour)
{
    QImage picture(6, 4, QImage::Format_ARGB32);
    picture.fill(colour);
    for (int y = 1; y < 3; ++y)
        for (int x = 2; x < 4; ++x)
            picture.setPixel(x, y, qRgba(0, 0, 0, 0));
    return picture;
}

// A frame range, and for frame 1001 a 320 by 240 picture of one colour and an outline, either optional.
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

// A camera picture whose every pixel differs from its neighbours and the frame, saved by Qt's BMP writer.
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
        WriteFile("Top.dll", FramePackage("1001", "1003", kFrameColour, QRegion(0, 0, 320, 10)));
    }
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    void WriteFile(const char* name, const QByteArray& bytes) { ASSERT_TRUE(WriteAll(Path(name), bytes)); }
    ProgramRun Run(const QString& package, const QString& picture, const QString& out) { return Pack({"preview", package, "1001", picture, out}); }
    static constexpr QRgb kFrameColour = qRgb(250, 200, 10);
    QTemporaryDir m_dir;
    QImage camera;
};

TEST_F(PackTool, BuildListExtract)
{
    const QString dll = Path("Tiny.dll");
    ProgramRun r = Pack({"build", dll, "1001", Path("a.png"), Path("b.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    // 6 by 4 at 24 bits: rows of 18 bytes padded to 20, plus the 54-byte header.
    r = Pack({"list", dll});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "first 1001\nlast 1002\nframe 1001: image 6x4 (134 bytes), region 4 rectangles\n"
                     "frame 1002: image 6x4 (134 bytes), region 4 rectangles\n");
    EXPECT_EQ(Pack({"extract", dll, "REGION", "1002", Path("r.bin")}).exitCode, 0);
    EXPECT_EQ(ReadAll(Path("r.bin")), WriteRegionData(QRegion(0, 0, 6, 4).subtracted(QRegion(2, 1, 2, 2))));
    EXPECT_EQ(Pack({"extract", dll, "IMAGE", "2002", Path("i.bmp")}).exitCode, 0);
    const QImage picture(Path("i.bmp"));
    EXPECT_TRUE(picture.size() == QSize(6, 4) && picture.pixel(0, 0) == qRgb(20, 130, 60)
                && picture.pixel(5, 3) == qRgb(20, 130, 60));
    EXPECT_EQ(Pack({"extract", dll, "STRING", "2", Path("s.bin")}).exitCode, 0);
    EXPECT_EQ(ReadAll(Path("s.bin")), QByteArray("1\0" "0\0" "0\0" "2\0", 8));
}

TEST_F(PackTool, PreviewFramesItsOutlineOnly)
{
    ProgramRun r = Run(Path("Top.dll"), Path("camera.bmp"), Path("photo.bmp"));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty() && r.err.isEmpty());
    const QByteArray file = ReadAll(Path("photo.bmp"));
    ASSERT_EQ(file.size(), 230454);
    EXPECT_EQ(file.left(54), BmpHeader(320, 240, 230400)) << "24 bits, rows bottom-up";
    const QImage photo(Path("photo.bmp"));
    ASSERT_EQ(photo.size(), QSize(320, 240));
    int wrong = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            wrong += photo.pixel(x, y) != (y < 10 ? kFrameColour : camera.pixel(x, y));
    EXPECT_EQ(wrong, 0);

    // The same camera picture stored top-down (its mirror's rows, the height negative) gives the same photo.
    QByteArray topDown = BmpBytes(camera.mirrored());
    Set32(topDown, 22, std::uint32_t(-240));
    WriteFile("topdown.bmp", topDown);
    r = Run(Path("Top.dll"), Path("topdown.bmp"), Path("photo2.bmp"));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(ReadAll(Path("photo2.bmp")), file);

    // A shipped frame for the 412 by 309 window: a 320 by 240 photo framed at the corners.
    r = Run(PELMORA_BIN_DIR "/Resource/Hearts.dll", Path("camera.bmp"), Path("hearts.bmp"));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QImage hearts(Path("hearts.bmp"));
    ASSERT_EQ(hearts.size(), QSize(320, 240));
    EXPECT_TRUE(hearts.pixel(1, 1) != camera.pixel(1, 1) && hearts.pixel(318, 238) != camera.pixel(318, 238));
    EXPECT_EQ(hearts.pixel(160, 120), camera.pixel(160, 120));
}

// Every refusal: exit 1, one line on stderr, nothing on stdout, no file made or overwritten.
TEST_F(PackTool, RefusesAndNeverOverwrites)
{
    const QRegion corner(0, 0, 5, 5);
    WriteFile("Keep.dll", "user data");
    WriteFile("Cut.dll", ReadAll(Path("Top.dll")).left(300));
    WriteFile("NoRegion.dll", FramePackage("1001", "1001", kFrameColour, {}));
    WriteFile("NoImage.dll", FramePackage("1001", "1001", {}, corner));
    WriteFile("NoRange.dll", WriteResourcePackage({{"REGION", 0, 1001, WriteRegionData(corner)}}));
    QImage(640, 480, QImage::Format_RGB32).save(Path("large.bmp"), "BMP");
    const QByteArray cameraBytes = ReadAll(Path("camera.bmp"));
    WriteFile("cut.bmp", cameraBytes.left(100000));
    WriteFile("sixteen.bmp", cameraBytes.left(28) + QByteArray("\x10\0", 2) + cameraBytes.mid(30));
    const QString top = Path("Top.dll"), cam = Path("camera.bmp"), out = Path("out.bmp"), dll = Path("X.dll");
    const char* inRange = "range 1001 to 1003";
    const std::vector<std::tuple<const char*, QStringList, const char*>> cases{
        {"list a package cut short", {"list", Path("Cut.dll")}, "offset 0x"},
        {"build without a picture", {"build", dll, "1001"}, "usage: "},
        {"build from an unreadable picture", {"build", dll, "1001", Path("Cut.dll")}, "cannot read picture"},
        {"build beyond 16-bit ids", {"build", dll, "64535", Path("a.png"), Path("b.png")}, "no room"},
        {"build over a file", {"build", Path("Keep.dll"), "1001", Path("a.png")}, "not overwriting"},
        {"extract a missing picture", {"extract", top, "IMAGE", "2003", out}, "no IMAGE 2003"},
        {"extract over a file", {"extract", top, "IMAGE", "2001", Path("Keep.dll")}, "not overwriting"},
        {"preview over a file", {"preview", top, "1001", cam, Path("Keep.dll")}, "not overwriting"},
        {"preview over its camera picture", {"preview", top, "1001", cam, cam}, "not overwriting"},
        {"three arguments", {"preview", top, "1001", cam}, "usage: "},
        {"five arguments", {"preview", top, "1001", cam, out, out}, "usage: "},
        {"frame before the range", {"preview", top, "1000", cam, out}, inRange},
        {"frame after the range", {"preview", top, "1004", cam, out}, inRange},
        {"missing package", {"preview", Path("None.dll"), "1001", cam, out}, ""},
        {"package without a range", {"preview", Path("NoRange.dll"), "1001", cam, out}, "no frame range"},
        {"frame without an outline", {"preview", Path("NoRegion.dll"), "1001", cam, out}, "no REGION 1001"},
        {"frame without a picture", {"preview", Path("NoImage.dll"), "1001", cam, out}, "no readable IMAGE 2001"},
        {"missing camera picture", {"preview", top, "1001", Path("none.bmp"), out}, ""},
        {"camera picture not a BMP", {"preview", top, "1001", Path("a.png"), out}, "not a BMP"},
        {"camera picture 640x480", {"preview", top, "1001", Path("large.bmp"), out}, "a 640x480 24-bit picture"},
        {"camera picture 16-bit", {"preview", top, "1001", Path("sixteen.bmp"), out}, "a 320x240 16-bit picture"},
        {"camera picture cut short", {"preview", top, "1001", Path("cut.bmp"), out}, "cut short"},
        {"output in a missing folder", {"preview", top, "1001", cam, Path("no/out.bmp")}, "cannot create"},
    };
    for (const auto& [name, args, says] : cases) {
        const ProgramRun r = Pack(args);
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_TRUE(r.err.startsWith("pelmora-pack: ") && r.err.contains(says) && r.err.count('\n') == 1)
            << name << ": " << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty() && !QFile::exists(out) && !QFile::exists(dll)) << name;
        EXPECT_EQ(ReadAll(Path("Keep.dll")), QByteArray("user data")) << name;
        EXPECT_EQ(ReadAll(cam), cameraBytes) << name;
    }
}

TEST(ShippedSeries, EveryFrameIsComplete)
{
    for (const char* name : {"Hearts", "Stars", "Film", "Bubbles"}) {
        QString error;
        const auto package = ResourcePackage::FromFile(PELMORA_BIN_DIR "/Resource/" + QString(name) + ".dll", &error);
        ASSERT_TRUE(package) << qPrintable(error);
        const int first = Atoi(*package->LoadString(1)), last = Atoi(*package->LoadString(2));
        EXPECT_TRUE(first == 1001 && last >= 1003 && last <= 1006) << name << " " << last;
        for (int n = first; n <= last; ++n) {
            const auto bmp = package->FindResource("IMAGE", std::uint16_t(n + 1000));
            ASSERT_TRUE(bmp);
            const QImage picture = QImage::fromData(bmp->data(), int(bmp->size()), "BMP");
            // The frame window's size: on the live view the frame covers the whole video.
            ASSERT_EQ(picture.size(), QSize(412, 309)) << name;
            const auto region = ReadRegionData(*package->FindResource("REGION", std::uint16_t(n)));
            ASSERT_TRUE(region);
            // Opaque round the edges, a window for the face.
            const QRect all(QPoint(0, 0), picture.size());
            EXPECT_TRUE(all.contains(region->boundingRect()) && region->contains(QPoint(2, 2))
                        && region->contains(all.bottomRight() - QPoint(2, 2)));
            for (const QPoint off : {QPoint(0, 0), QPoint(0, all.height() / 6), QPoint(all.width() / 6, 0),
                                     QPoint(-all.width() / 6, 0)})
                EXPECT_FALSE(region->contains(all.center() + off));
        }
    }
}

} // namespace
