// Frame pictures as other programs save them, in a package linked by MinGW windres and ld.
#include "compose.h"
#include "package.h"
#include "photofixtures.h"
#include "picture.h"
#include "testing.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using fixtures::patternImage;

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

bool IsJpeg(const Saved& saved) { return std::strcmp(saved.format, "JPEG") == 0; }

// IMAGE id of row n's picture of frame size s.
unsigned ImageId(int n, int s) { return unsigned(2001 + 2 * n + s); }

int DotsPerMetre(int dpi) { return qRound(dpi / 0.0254); }

// The resolution goes into each format's own field: BMP pixels per metre at
// 38 and 42, the JFIF density (units at 13, 1 = dots per inch, 0 = none)
// patched by hand; PNG's pHYs as Qt's writer makes it from the image.
QByteArray SavedFile(const Saved& saved, const QSize& size)
{
    QImage image = patternImage(size.width(), size.height(), 3);
    QByteArray file;
    if (std::strcmp(saved.format, "BMP") == 0) {
        file = pelmora::MakeBmpFile(size.width(), size.height(), pelmora::ImageToBmpPixels(image));
        for (int at : {38, 42})
            qToLittleEndian<qint32>(saved.dpi ? DotsPerMetre(saved.dpi) : 0, file.data() + at);
        return file;
    }
    if (saved.dpi) {
        image.setDotsPerMeterX(DotsPerMetre(saved.dpi));
        image.setDotsPerMeterY(DotsPerMetre(saved.dpi));
    }
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, saved.format);
    writer.setQuality(90);
    if (!writer.write(image))
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

// Every row's pictures in one library, built once.
const pelmora::ResourcePackage* ToolchainPackage()
{
    static const std::unique_ptr<pelmora::ResourcePackage> package =
        []() -> std::unique_ptr<pelmora::ResourcePackage> {
        QTemporaryDir dir;
        const auto write = [&dir](const QString& name, const QByteArray& bytes) {
            return !bytes.isEmpty() && fixtures::writeFile(dir.filePath(name), bytes);
        };
        QByteArray rc;
        for (int n = 0; n < int(std::size(kSaved)); ++n) {
            for (int s = 0; s < 2; ++s) {
                const QString name = QStringLiteral("%1-%2.pic").arg(kSaved[n].name).arg(s);
                if (!write(name, SavedFile(kSaved[n], kFrameSizes[s])))
                    return nullptr;
                rc += QByteArray::number(ImageId(n, s)) + " IMAGE \"" + name.toLatin1() + "\"\n";
            }
        }
        const QString object = dir.filePath("frames.o"), library = dir.filePath("frames.dll");
        const bool linked =
            write("frames.rc", rc)
            && RunProgram(PELMORA_WINDRES, {"--preprocessor=cpp", "-I", dir.path(), "-i", dir.filePath("frames.rc"), "-O", "coff", "-o", object}).exitCode == 0
            && RunProgram(PELMORA_MINGW_LD, {"--dll", "-e", "0", "-s", "--subsystem", "windows", "-o", library, object}).exitCode == 0;
        return linked ? pelmora::ResourcePackage::FromFile(library) : nullptr;
    }();
    return package.get();
}

// The picture drawn at (4, 4) of a white 96-dpi canvas larger than a frame.
QImage Drawn(CPicture picture)
{
    QImage canvas = fixtures::deviceAt(96).scaled(430, 320);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    EXPECT_TRUE(picture.Draw(painter, 4, 4));
    return canvas;
}

// Whatever resolution a file records, the picture measures, draws and composes as its pixels do.
class SavedElsewhere : public ::testing::TestWithParam<int> {};

TEST_P(SavedElsewhere, MeasuresDrawsAndComposesAsItsPixels)
{
    const Saved& saved = kSaved[GetParam()];
    const pelmora::ResourcePackage* package = ToolchainPackage();
    ASSERT_NE(package, nullptr) << "windres, ld or a picture writer failed";
    // A lossy file is held against the same file without a resolution.
    const int plain = IsJpeg(saved) ? 7 : 3;
    QImage screen = fixtures::deviceAt(96);
    const QByteArray camera = pelmora::ImageToBmpPixels(patternImage(320, 240, 1));
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
        EXPECT_TRUE(IsJpeg(saved) || drawn.copy(QRect(QPoint(4, 4), size)) == patternImage(size.width(), size.height(), 3));

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
