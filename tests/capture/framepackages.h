#pragma once
// Frame-series packages for the capture tests, written by the package writer
// into a temporary folder: the range strings, and per frame an optional
// outline and an optional picture.

#include "packagewriter.h"
#include "rgndata.h"
#include "testing.h"
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace pelmora::test {

struct FrameContent {
    std::optional<QByteArray> region; // REGION bytes; none: no resource
    std::optional<QColor> colour;     // IMAGE: a 412 by 309 BMP of this colour; none: no resource
    QSize pictureSize{412, 309};
};

inline QByteArray SolidBmp(const QColor& colour, const QSize& size)
{
    QImage picture(size, QImage::Format_RGB888);
    picture.fill(colour);
    return BmpBytes(picture);
}

// A package with the given string entries (1 and 2 are the range) and frames.
inline QByteArray FramePackage(const std::map<std::uint16_t, QString>& strings,
                               const std::map<int, FrameContent>& frames)
{
    std::vector<PackageResourceData> resources = StringTableResources(strings);
    for (const auto& [number, content] : frames) {
        if (content.region)
            resources.push_back({QStringLiteral("REGION"), 0, std::uint16_t(number), *content.region});
        if (content.colour)
            resources.push_back({QStringLiteral("IMAGE"), 0, std::uint16_t(number + 1000),
                                 SolidBmp(*content.colour, content.pictureSize)});
    }
    return WriteResourcePackage(resources);
}

// Writes bytes to folder/fileName; the path for LoadPackage is returned
// without the ".dll" the loader adds.
inline QString WritePackage(const QTemporaryDir& folder, const QString& fileName, const QByteArray& bytes)
{
    QFile file(folder.filePath(fileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    QString path = file.fileName();
    if (path.endsWith(QStringLiteral(".dll")))
        path.chop(4);
    return path;
}

} // namespace pelmora::test
