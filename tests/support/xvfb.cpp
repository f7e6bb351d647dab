#include "xvfb.h"

#include <QRegularExpression>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

VirtualDisplay::VirtualDisplay(QSize size) : m_size(size)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // -displayfd: the server picks a free display number and writes it to us.
    m_server.setChildProcessModifier([wfd = fds[1], rfd = fds[0]] {
        // The server ends with its owner, even one killed outright.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::close(rfd);
        if (wfd != 3) {
            ::dup2(wfd, 3);
            ::close(wfd);
        }
    });
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("3"), QStringLiteral("-screen"),
                    QStringLiteral("0"),
                    QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    ::close(fds[1]);
    if (!m_server.waitForStarted(5000)) {
        ::close(fds[0]);
        return;
    }
    QByteArray number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
        number.append(c);
    ::close(fds[0]);
    if (!number.isEmpty())
        m_display = QStringLiteral(":") + QString::fromLatin1(number);
}

VirtualDisplay::~VirtualDisplay()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(3000))
            m_server.kill();
        m_server.waitForFinished(3000);
    }
}

QProcessEnvironment VirtualDisplay::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("DISPLAY"), m_display);
    base.remove(QStringLiteral("WAYLAND_DISPLAY"));
    base.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return base;
}

QString VirtualDisplay::run(const QString& program, const QStringList& args, int* exitCode) const
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, args);
    p.waitForFinished(15000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

QStringList VirtualDisplay::windowsNamed(const QString& pattern) const
{
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList VirtualDisplay::visibleWindows() const
{
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), QStringLiteral(".*")})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

qint64 VirtualDisplay::windowProcess(const QString& id) const
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowpid"), id}).trimmed().toLongLong();
}

QRect VirtualDisplay::windowGeometry(const QString& id) const
{
    const QString out = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), id});
    const QRegularExpression pos(QStringLiteral("Position: (-?\\d+),(-?\\d+)"));
    const QRegularExpression size(QStringLiteral("Geometry: (\\d+)x(\\d+)"));
    const auto p = pos.match(out);
    const auto s = size.match(out);
    if (!p.hasMatch() || !s.hasMatch())
        return {};
    return QRect(p.captured(1).toInt(), p.captured(2).toInt(), s.captured(1).toInt(), s.captured(2).toInt());
}

void VirtualDisplay::key(const QString& keys, const QString& window) const
{
    QStringList args{QStringLiteral("key")};
    if (!window.isEmpty())
        args << QStringLiteral("--window") << window;
    args << keys;
    run(QStringLiteral("xdotool"), args);
}

void VirtualDisplay::click(QPoint screenPos) const
{
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(screenPos.x()), QString::number(screenPos.y()),
         QStringLiteral("sleep"), QStringLiteral("0.2"), QStringLiteral("click"), QStringLiteral("1")});
}

bool VirtualDisplay::screenshot(const QString& path) const
{
    int code = -1;
    run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path}, &code);
    return code == 0;
}
