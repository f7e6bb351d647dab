// pelmora-pack: builds, lists and takes apart frame-series packages with the
// booth's own package reader and writer.
#include "bmp.h"
#include "package.h"
#include "packagewriter.h"
#include "rgndata.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QStringList>

#include <cstdio>

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
    return Fail(QStringLiteral("usage: pelmora-pack build|list|extract ..."));
}
