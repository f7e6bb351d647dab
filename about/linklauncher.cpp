// Opening a link the way the desktop does: its URL handler first, then the
// HTML handler named in the desktop's MIME settings, started with the URL.
#include "linklabel.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace pelmora {

namespace {

// How long the desktop's MIME tool may take to answer before the fallback
// gives up on it; it only reads a few small files.
constexpr int kMimeQueryMilliseconds = 5000;
// A desktop entry is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxDesktopEntryBytes = 1 << 20;

const char* OpenErrorReason(int code)
{
    switch (code) {
    case 0:
        return "The operating system is out\nof memory or resources.";
    case 2:
        return "The specified file was not found.";
    case 3:
        return "The specified path was not found.";
    case 5:
        return "The operating system denied\naccess to the specified file.";
    case 8:
        return "There was not enough memory to complete the operation.";
    case 11:
        return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case 26:
        return "A sharing violation occurred. ";
    case 27:
        return "The filename association is\nincomplete or invalid.";
    case 28:
        return "The DDE transaction could not\nbe completed because the request timed out.";
    case 29:
        return "The DDE transaction failed.";
    case 30:
        return "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
               "being processed.";
    case 31:
        return "There is no application associated\nwith the given filename extension.";
    case 32:
        return "The specified dynamic-link library was not found.";
    default:
        return nullptr;
    }
}

// The earliest of several markers in the text, or -1.
qsizetype FirstOf(const QString& text, std::initializer_list<const char*> markers)
{
    qsizetype first = -1;
    for (const char* marker : markers) {
        const qsizetype at = text.indexOf(QLatin1String(marker));
        if (at >= 0 && (first < 0 || at < first))
            first = at;
    }
    return first;
}

// A desktop entry's value with its escapes resolved (\s, \n, \t, \r, \\).
QString UnescapeDesktopValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        default: out += next; break;
        }
    }
    return out;
}

std::optional<QString> ExecLineOf(const QString& desktopEntryPath)
{
    QFile file(desktopEntryPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    const QString text = QString::fromUtf8(file.read(kMaxDesktopEntryBytes));
    bool inMainGroup = false;
    for (const QString& rawLine : text.split('\n')) {
        const QString line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != QLatin1String("Exec"))
            continue;
        const QString value = UnescapeDesktopValue(line.mid(equals + 1).trimmed());
        if (value.isEmpty())
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

} // namespace

QString OpenErrorText(int code)
{
    const char* reason = OpenErrorReason(code);
    const QString text = reason ? QString::fromLatin1(reason)
                                : QStringLiteral("Unknown Error (%1) occurred.").arg(code);
    return QStringLiteral("Unable to open hyperlink:\n\n") + text;
}

QString CutAtPlaceholder(const QString& command)
{
    qsizetype at = command.indexOf(QLatin1String("\"%1\""));
    if (at < 0)
        at = command.indexOf(QLatin1String("%1"));
    if (at < 0)
        at = FirstOf(command, {"\"%u\"", "\"%U\"", "\"%f\"", "\"%F\""});
    if (at < 0)
        at = FirstOf(command, {"%u", "%U", "%f", "%F"});
    return at < 0 ? command : command.left(at);
}

QString FallbackCommandLine(const QString& command, const QString& url)
{
    return CutAtPlaceholder(command) + QLatin1Char(' ') + url;
}

std::optional<QString> DesktopHtmlCommand()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(kMimeQueryMilliseconds)) {
        query.kill();
        query.waitForFinished();
        return std::nullopt;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return std::nullopt;
    // The answer may list several entries separated by ';': the first is
    // the default.
    const QString desktopId =
        QString::fromUtf8(query.readAllStandardOutput()).trimmed().section(';', 0, 0).trimmed();
    if (desktopId.isEmpty() || desktopId.contains('/'))
        return std::nullopt;
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    if (entry.isEmpty())
        return std::nullopt;
    return ExecLineOf(entry);
}

int StartDetachedProgram(const QString& program, const QStringList& arguments)
{
    if (program.isEmpty())
        return kLaunchFileNotFound;
    QString path = program;
    if (!program.contains('/')) {
        path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            return kLaunchFileNotFound;
    } else {
        const QFileInfo info(program);
        if (!info.dir().exists())
            return kLaunchPathNotFound;
        if (!info.exists())
            return kLaunchFileNotFound;
        if (!info.isFile() || !info.isExecutable())
            return kLaunchAccessDenied;
    }
    return QProcess::startDetached(path, arguments) ? kLaunchOpened : kLaunchOutOfResources;
}

LinkLauncher LinkLauncher::Desktop()
{
    return {[](const QUrl& url) { return QDesktopServices::openUrl(url); }, &DesktopHtmlCommand,
            &StartDetachedProgram};
}

} // namespace pelmora
