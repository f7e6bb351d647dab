// pelmora-pack as a user runs it: build, list, extract; files it must not
// overwrite; packages it must refuse.
#include "bytes.h"
#include "bmp.h"
#include "package.h"
#include "rgndata.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

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
    QProcess p;
    p.start(QStringLiteral(PELMORA_PACK_TOOL), args);
    p.waitForFinished(-1);
    ToolRun r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
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

class PackTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(Frame(qRgba(200, 30, 60, 255)).save(Path("a.png")));
        ASSERT_TRUE(Frame(qRgba(20, 130, 60, 255)).save(Path("b.png")));
    }
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QTemporaryDir m_dir;
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
    EXPECT_TRUE(listed[0].startsWith(QStringLiteral("--type='IMAGE' --name=2001 --language=1033 [offset=0x")));
    EXPECT_TRUE(listed[0].endsWith(QStringLiteral(" size=134]")));
    EXPECT_TRUE(listed[1].startsWith(QStringLiteral("--type='IMAGE' --name=2002 ")));
    EXPECT_TRUE(listed[2].startsWith(QStringLiteral("--type='REGION' --name=1001 ")));
    EXPECT_TRUE(listed[2].endsWith(QStringLiteral(" size=96]"))); // 32 + 4 rectangles
    EXPECT_TRUE(listed[3].startsWith(QStringLiteral("--type='REGION' --name=1002 ")));
    EXPECT_TRUE(listed[4].startsWith(QStringLiteral("--type=6 --name=1 --language=1033 [type=string")));

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
    r = Pack({QStringLiteral("extract"), dll, QStringLiteral("IMAGE"), QStringLiteral("2002"), Path("i.bmp")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(ReadAll(Path("i.bmp")), bmp);
    r = Pack({QStringLiteral("extract"), dll, QStringLiteral("STRING"), QStringLiteral("2"), Path("s.bin")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(ReadAll(Path("s.bin")), QByteArray("1\0" "0\0" "0\0" "2\0", 8));
    r = Pack({QStringLiteral("extract"), dll, QStringLiteral("IMAGE"), QStringLiteral("2003"), Path("none.bmp")});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(QFile::exists(Path("none.bmp")));
}

TEST_F(PackTool, NeverOverwrites)
{
    QFile keep(Path("Keep.dll"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("user data");
    keep.close();
    ToolRun r = Pack({QStringLiteral("build"), Path("Keep.dll"), QStringLiteral("1001"), Path("a.png")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not overwriting"))) << qPrintable(r.err);
    EXPECT_EQ(ReadAll(Path("Keep.dll")), QByteArray("user data"));

    ASSERT_EQ(Pack({QStringLiteral("build"), Path("Ok.dll"), QStringLiteral("1001"), Path("a.png")}).code, 0);
    r = Pack({QStringLiteral("extract"), Path("Ok.dll"), QStringLiteral("IMAGE"), QStringLiteral("2001"),
              Path("Keep.dll")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(ReadAll(Path("Keep.dll")), QByteArray("user data"));
}

TEST_F(PackTool, RefusesBadInput)
{
    // A package cut short: one line on stderr, exit 1.
    ASSERT_EQ(Pack({QStringLiteral("build"), Path("Ok.dll"), QStringLiteral("1001"), Path("a.png")}).code, 0);
    QFile cut(Path("Cut.dll"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(ReadAll(Path("Ok.dll")).left(300));
    cut.close();
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

TEST(ShippedSeries, EveryFrameIsComplete)
{
    // The packages the build put beside the program.
    const QStringList series{QStringLiteral("Hearts"), QStringLiteral("Stars"), QStringLiteral("Film"),
                             QStringLiteral("Bubbles")};
    bool smallSeries = false;
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
            EXPECT_TRUE(picture.size() == QSize(412, 309) || picture.size() == QSize(320, 240));
            smallSeries |= picture.size() == QSize(320, 240);
            const auto region = ReadRegionData(*package->FindResource("REGION", std::uint16_t(n)));
            ASSERT_TRUE(region);
            // Opaque round the edges, a window for the face in the middle.
            const QRect all(QPoint(0, 0), picture.size());
            EXPECT_TRUE(all.contains(region->boundingRect()));
            EXPECT_TRUE(region->contains(QPoint(2, 2)));
            EXPECT_TRUE(region->contains(QPoint(picture.width() - 3, picture.height() - 3)));
            EXPECT_FALSE(region->contains(all.center()));
            EXPECT_FALSE(region->contains(all.center() + QPoint(0, picture.height() / 6)));
            EXPECT_FALSE(region->contains(all.center() + QPoint(-picture.width() / 6, 0)));
            EXPECT_FALSE(region->contains(all.center() + QPoint(picture.width() / 6, 0)));
        }
    }
    EXPECT_TRUE(smallSeries);
}

} // namespace
