// Reading a package file and finding it the way the library loader does, and the C
// runtime's number reading that the series strings go through.
#include "package.h"

#include "paths.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <limits>

namespace pelmora {

namespace {

// The file in path's folder whose name is path's own up to its extension and
// whose extension differs at most in case; path itself when there is none.
QString WithExtensionAsStored(const QString& path)
{
    const QFileInfo wanted(path);
    const QString stem = wanted.completeBaseName() + QLatin1Char('.');
    const QString suffix = wanted.suffix();
    // No name filter: a series name may hold the filter's wildcards.
    QDirIterator it(wanted.path(), QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QString found = it.fileName();
        if (found.startsWith(stem) && found.mid(stem.size()).compare(suffix, Qt::CaseInsensitive) == 0)
            return it.filePath();
    }
    return path;
}

} // namespace

std::unique_ptr<ResourcePackage> ResourcePackage::FromFile(const QString& path, QString* error)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open %1").arg(path);
        return nullptr;
    }
    if (file.size() > kMaxPackageBytes) {
        if (error)
            *error = QStringLiteral("offset 0x0: %1 is larger than %2 bytes").arg(path).arg(kMaxPackageBytes);
        return nullptr;
    }
    return FromBytes(file.read(kMaxPackageBytes + 1), error);
}

std::unique_ptr<ResourcePackage> LoadPackage(const QString& path, QString* error)
{
    QString file = path;
    file.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!file.startsWith(QLatin1Char('/')))
        file = ExecutableFolder() + QLatin1Char('/') + file;
    // The library loader takes anything after a dot in the file name for an
    // extension and then adds none of its own.
    const QString name = file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
    if (!name.contains(QLatin1Char('.'))) {
        file += QStringLiteral(".dll");
        // Packages copied from Windows keep the case they had there
        // ("HEARTS.DLL", "Stars.Dll"), where the file system ignores it.
        if (!QFileInfo(file).isFile())
            file = WithExtensionAsStored(file);
    }
    return ResourcePackage::FromFile(file, error);
}

int Atoi(const QString& text)
{
    qsizetype i = 0;
    const auto isBlank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
    };
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    // Saturate like strtol instead of overflowing.
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > std::int64_t(std::numeric_limits<int>::max()) + 1)
            value = std::int64_t(std::numeric_limits<int>::max()) + 1;
    }
    if (negative)
        return int(std::max<std::int64_t>(-value, std::numeric_limits<int>::min()));
    return int(std::min<std::int64_t>(value, std::numeric_limits<int>::max()));
}

} // namespace pelmora
