// pelmora-pack: builds, lists and takes apart frame-series packages with the
// booth's own package reader and writer, and previews a frame on a camera
// picture with the booth's own composition.
#include "bmp.h"
#include "compose.h"
#include "package.h"
#include "packagewriter.h"
#include "picture.h"
#include "rgndata.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QStringList>
#include <QtEndian>

#include <cstdio>
#include <cstring>
#include <optional>

using namespace pelmora;

namespace {

constexpr int kImageIdOffset = 1000;

int Fail(const QString& message)
{
    std::fprintf(stderr, "pelmora-pack: %s\n", qPrintable(message));
    return 1;
}

// Never replaces a file: a package or extracted resource that exists stays.
bool WriteNew(const QString& path, const QByteArray& bytes, QString* error)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = out.exists() ? QStringLiteral("%1 exists; not overwriting it").arg(path)
                              : QStringLiteral("cannot create %1: %2").arg(path, out.errorString());
        return false;
    }
    if (out.write(bytes) != bytes.size() || !out.flush()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, out.errorString());
        out.close();
        out.remove();
        return false;
    }
    return true;
}

int Build(const QStringList& args)
{
    if (args.size() < 3)
        return Fail(QStringLiteral("usage: pelmora-pack build OUT.dll FIRST PICTURE [PICTURE ...]"));
    bool ok = false;
    const int first = args[1].toInt(&ok);
    const qsizetype count = args.size() - 2;
    // The last picture's id is last + 1000, and ids are 16-bit.
    if (!ok || first < 0 || first + count - 1 + kImageIdOffset > 0xffff)
        return Fail(
            QStringLiteral("first frame number %1 leaves no room for %2 frames").arg(args[1]).arg(count));

    std::map<std::uint16_t, QString> strings{{1, QString::number(first)},
                                             {2, QString::number(first + count - 1)}};
    std::vector<PackageResourceData> resources = StringTableResources(strings);
    for (qsizetype i = 0; i < count; ++i) {
        const QString& path = args[2 + i];
        QImage picture(path);
        if (picture.isNull())
            return Fail(QStringLiteral("cannot read picture %1").arg(path));
        const int frame = first + int(i);
        const QByteArray bmp = MakeBmpFile(picture.width(), picture.height(), ImageToBmpPixels(picture));
        resources.push_back({QStringLiteral("IMAGE"), 0, std::uint16_t(frame + kImageIdOffset), bmp});
        resources.push_back(
            {QStringLiteral("REGION"), 0, std::uint16_t(frame), WriteRegionData(OpaqueRegion(picture))});
    }
    QString error;
    if (!WriteNew(args[0], WriteResourcePackage(resources), &error))
        return Fail(error);
    return 0;
}

int List(const QStringList& args)
{
    if (args.size() != 1)
        return Fail(QStringLiteral("usage: pelmora-pack list IN.dll"));
    QString error;
    const auto package = ResourcePackage::FromFile(args[0], &error);
    if (!package)
        return Fail(error);
    const auto first = package->LoadString(1);
    const auto last = package->LoadString(2);
    std::printf("first %s\n", first ? qPrintable(QString::number(Atoi(*first))) : "missing");
    std::printf("last %s\n", last ? qPrintable(QString::number(Atoi(*last))) : "missing");
    if (!first || !last)
        return 0;
    // Frame numbers beyond the 16-bit resource ids can hold nothing.
    const int from = std::max(Atoi(*first), 0);
    const int to = std::min(Atoi(*last), 0xffff);
    for (int n = from; n <= to; ++n) {
        QString image = QStringLiteral("image missing");
        if (n + kImageIdOffset <= 0xffff) {
            if (auto bytes = package->FindResource("IMAGE", std::uint16_t(n + kImageIdOffset))) {
                const QImage picture = QImage::fromData(bytes->data(), int(bytes->size()));
                image = picture.isNull() ? QStringLiteral("image unreadable (%1 bytes)").arg(bytes->size())
                                         : QStringLiteral("image %1x%2 (%3 bytes)")
                                               .arg(picture.width())
                                               .arg(picture.height())
                                               .arg(bytes->size());
            }
        }
        QString region = QStringLiteral("region missing");
        if (auto bytes = package->FindResource("REGION", std::uint16_t(n))) {
            QString why;
            if (auto rgn = ReadRegionData(*bytes, &why))
                region = QStringLiteral("region %1 rectangles").arg(rgn->rectCount());
            else
                region = QStringLiteral("region unreadable (%1)").arg(why);
        }
        std::printf("frame %d: %s, %s\n", n, qPrintable(image), qPrintable(region));
    }
    return 0;
}

int Extract(const QStringList& args)
{
    if (args.size() != 4)
        return Fail(QStringLiteral("usage: pelmora-pack extract IN.dll REGION|IMAGE|STRING ID OUT"));
    bool ok = false;
    const uint id = args[2].toUInt(&ok);
    if (!ok || id > 0xffff)
        return Fail(QStringLiteral("resource id %1 is not a 16-bit number").arg(args[2]));
    QString error;
    const auto package = ResourcePackage::FromFile(args[0], &error);
    if (!package)
        return Fail(error);
    QByteArray bytes;
    const QString type = args[1].toUpper();
    if (type == QLatin1String("STRING")) {
        const auto text = package->StringEntry(std::uint16_t(id));
        if (!text)
            return Fail(QStringLiteral("no string %1 in %2").arg(id).arg(args[0]));
        // The entry's characters as stored: UTF-16, little-endian.
        for (QChar c : *text)
            bytes.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    } else if (type == QLatin1String("REGION") || type == QLatin1String("IMAGE")) {
        const auto data = package->FindResource(qPrintable(type), std::uint16_t(id));
        if (!data)
            return Fail(QStringLiteral("no %1 %2 in %3").arg(type).arg(id).arg(args[0]));
        bytes = QByteArray(reinterpret_cast<const char*>(data->data()), qsizetype(data->size()));
    } else {
        return Fail(QStringLiteral("unknown resource type %1").arg(args[1]));
    }
    if (!WriteNew(args[3], bytes, &error))
        return Fail(error);
    return 0;
}

// A camera picture file is a 54-byte header and 230,400 pixel bytes; anything
// much larger is not one, and is not read whole.
constexpr qint64 kMaxCameraFileBytes = 16 * 1024 * 1024;

// The 230,400 pixel bytes of a camera frame (320 x 240, bottom-up
// blue-green-red rows, as the capture graph delivers them) from a BMP file
// holding exactly such a picture. Rows stored top-down (a negative height)
// are turned bottom-up.
std::optional<QByteArray> ReadCameraBmp(const QByteArray& file, QString* error)
{
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(file.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(file.constData() + at); };
    if (file.size() < kBmpHeaderSize || !file.startsWith("BM") || u32(14) < 40) {
        *error = QStringLiteral("not a BMP file with a Windows info header");
        return std::nullopt;
    }
    const quint32 pixelOffset = u32(10);
    const qint32 width = qint32(u32(18));
    const qint32 height = qint32(u32(22));
    const quint16 bitCount = u16(28);
    const quint32 compression = u32(30);
    if (width != kPhotoWidth || (height != kPhotoHeight && height != -kPhotoHeight) || bitCount != 24 ||
        compression != 0) {
        *error = QStringLiteral("a %1x%2 %3-bit picture (compression %4); the camera gives 320x240 "
                                "24-bit uncompressed")
                     .arg(width)
                     .arg(height < 0 ? -qint64(height) : qint64(height))
                     .arg(bitCount)
                     .arg(compression);
        return std::nullopt;
    }
    // 320 pixels of 3 bytes need no row padding: the rows are contiguous.
    if (quint64(pixelOffset) + kPhotoPixelBytes > quint64(file.size())) {
        *error = QStringLiteral("pixels cut short: %1 bytes from offset %2 needed, the file has %3")
                     .arg(kPhotoPixelBytes)
                     .arg(pixelOffset)
                     .arg(file.size());
        return std::nullopt;
    }
    QByteArray pixels = file.mid(qsizetype(pixelOffset), kPhotoPixelBytes);
    if (height < 0) {
        const int stride = BmpRowStride(kPhotoWidth);
        QByteArray bottomUp(pixels.size(), Qt::Uninitialized);
        for (int row = 0; row < kPhotoHeight; ++row)
            std::memcpy(bottomUp.data() + qsizetype(kPhotoHeight - 1 - row) * stride,
                        pixels.constData() + qsizetype(row) * stride, size_t(stride));
        pixels = bottomUp;
    }
    return pixels;
}

int Preview(const QStringList& args)
{
    if (args.size() != 4)
        return Fail(QStringLiteral("usage: pelmora-pack preview IN.dll FRAME CAMERA.bmp OUT.bmp"));
    const QString& packagePath = args[0];
    const QString& cameraPath = args[2];
    const QString& outPath = args[3];
    QString error;
    const auto package = ResourcePackage::FromFile(packagePath, &error);
    if (!package)
        return Fail(error);

    // Only the frames of the package's range ever reach the booth's screen.
    bool ok = false;
    const int frame = args[1].toInt(&ok);
    const auto first = package->LoadString(1);
    const auto last = package->LoadString(2);
    if (!first || !last)
        return Fail(QStringLiteral("%1 has no frame range (strings 1 and 2)").arg(packagePath));
    // Resource ids are 16-bit: a frame's picture id is its number + 1000.
    if (!ok || frame < std::max(Atoi(*first), 0) || frame > Atoi(*last) || frame + kImageIdOffset > 0xffff)
        return Fail(QStringLiteral("frame %1 is not in the range %2 to %3 of %4")
                        .arg(args[1])
                        .arg(Atoi(*first))
                        .arg(Atoi(*last))
                        .arg(packagePath));

    // The booth would compose the bare camera picture for a frame without
    // its picture or outline; a designer needs to hear of it instead.
    const CPicture picture(package.get(), unsigned(frame + kImageIdOffset), "IMAGE");
    if (!picture.GetBitmap())
        return Fail(
            QStringLiteral("%1 has no readable IMAGE %2").arg(packagePath).arg(frame + kImageIdOffset));
    const auto regionBytes = package->FindResource("REGION", std::uint16_t(frame));
    if (!regionBytes)
        return Fail(QStringLiteral("%1 has no REGION %2").arg(packagePath).arg(frame));
    QString why;
    const auto region = ReadRegionData(*regionBytes, &why);
    if (!region)
        return Fail(QStringLiteral("REGION %1 of %2 is unreadable: %3").arg(frame).arg(packagePath, why));

    QFile cameraFile(cameraPath);
    if (!cameraFile.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(cameraPath, cameraFile.errorString()));
    const QByteArray cameraBytes = cameraFile.read(kMaxCameraFileBytes + 1);
    if (cameraBytes.size() > kMaxCameraFileBytes)
        return Fail(QStringLiteral("%1 is too large for a 320x240 camera picture").arg(cameraPath));
    const auto camera = ReadCameraBmp(cameraBytes, &error);
    if (!camera)
        return Fail(QStringLiteral("%1: %2").arg(cameraPath, error));

    // The booth measures frame pictures on its screen; 96 dpi is the
    // resolution of the desktops it runs on, so a picture whose file states
    // no other resolution measures its own pixel size.
    QImage screen(1, 1, QImage::Format_RGB32);
    screen.setDotsPerMeterX(3780);
    screen.setDotsPerMeterY(3780);
    const QByteArray photo = ComposeFramedPhotoFile(*camera, &picture, &*region, &screen);
    if (photo.isEmpty())
        return Fail(QStringLiteral("composing frame %1 failed").arg(frame));
    if (!WriteNew(outPath, photo, &error))
        return Fail(error);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    if (command == QLatin1String("build"))
        return Build(args);
    if (command == QLatin1String("list"))
        return List(args);
    if (command == QLatin1String("extract"))
        return Extract(args);
    if (command == QLatin1String("preview"))
        return Preview(args);
    return Fail(QStringLiteral("usage: pelmora-pack build|list|extract|preview ..."));
}
