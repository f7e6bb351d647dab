#include "paths.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace pelmora {

QString ExecutablePath()
{
    // applicationFilePath() resolves /proc/self/exe; before a QCoreApplication
    // exists it is empty, so fall back to the link itself.
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

} // namespace pelmora
