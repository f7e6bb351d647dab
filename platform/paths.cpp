#include "paths.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

namespace pelmora {

QString ExecutablePath()
{
    // applicationFilePath() resolves /proc/self/exe, symlinks included, so a
    // program started through bin/pelmora names its real folder. Before a
    // QCoreApplication exists it is empty, so fall back to the link itself.
    QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty())
        path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return path;
}

QString ExecutableFolder()
{
    const QString path = ExecutablePath();
    const qsizetype cut = path.lastIndexOf(QLatin1Char('/'));
    if (cut <= 0)
        return cut == 0 ? QStringLiteral("/") : QString();
    return path.left(cut);
}

QString ResourceFolder()
{
    return ExecutableFolder() + QStringLiteral("/Resource");
}

QString UserResourceFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/pelmora/Resource");
}

QStringList ResourceFiles(const QString& pattern)
{
    QStringList paths;
    for (const QString& folder : {ResourceFolder(), UserResourceFolder()}) {
        if (folder.isEmpty())
            continue;
        QDirIterator it(folder, {pattern},
                        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        while (it.hasNext())
            paths << it.next();
    }
    return paths;
}

} // namespace pelmora
