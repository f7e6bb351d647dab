#include "shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace pelmora {

bool ShellOpen(const QString& pathOrUrl)
{
    const bool looksLikeUrl = pathOrUrl.contains(QStringLiteral(":")) && !pathOrUrl.startsWith('/');
    const QUrl url = looksLikeUrl ? QUrl(pathOrUrl) : QUrl::fromLocalFile(pathOrUrl);
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace pelmora
