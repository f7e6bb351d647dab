#include "xvfb.h"

#include <QRegularExpression>
#include <csignal>
#include <sys/prctl.h>

VirtualDisplay::VirtualDisplay(QSize size)
{
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The server ends with its owner, even one killed outright.
    m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    // The server picks a free display number and writes it to us. Without -noreset it resets whenever its last
    // client leaves, and a program connecting during that reset (while a test polls with xdotool) is refused.
    m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0", QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                            "-nolisten", "tcp", "-noreset"});
    while (!m_server.canReadLine() && m_server.waitForReadyRead(10000)) {
    }
    const QByteArray number = m_server.readLine().trimmed();
    if (!number.isEmpty())
        m_display = ":" + QString::fromLatin1(number);
}

VirtualDisplay::~VirtualDisplay() { Stop(m_server); }

QProcessEnvironment VirtualDisplay::environment(QProcessEnvironment base) const
{
    base.insert("DISPLAY", m_display);
    base.remove("WAYLAND_DISPLAY");
    base.remove("QT_QPA_PLATFORM");
    return base;
}

QMap<QString, QRect> VirtualDisplay::windows() const
{
    QMap<QString, QRect> shown;
    for (const QString& id : windowsNamed(".*")) {
        const auto m = QRegularExpression("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)",
                                          QRegularExpression::DotMatchesEverythingOption)
                           .match(run("xdotool", {"getwindowgeometry", id}));
        if (m.hasMatch())
            shown.insert(id, QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt()));
    }
    return shown;
}
