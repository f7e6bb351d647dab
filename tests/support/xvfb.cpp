#include "xvfb.h"

#include "testing.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>
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
    m_server.start("Xvfb", {"-displayfd", "3", "-screen", "0", QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                            "-nolisten", "tcp"});
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
        m_display = ":" + QString::fromLatin1(number);
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
    base.insert("DISPLAY", m_display);
    base.remove("WAYLAND_DISPLAY");
    base.remove("QT_QPA_PLATFORM");
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
    return run("xdotool", {"search", "--onlyvisible", "--name", pattern}).split('\n', Qt::SkipEmptyParts);
}

QStringList VirtualDisplay::visibleWindows() const { return windowsNamed(".*"); }

qint64 VirtualDisplay::windowProcess(const QString& id) const
{
    return run("xdotool", {"getwindowpid", id}).trimmed().toLongLong();
}

QRect VirtualDisplay::windowGeometry(const QString& id) const
{
    const QString out = run("xdotool", {"getwindowgeometry", id});
    const auto p = QRegularExpression("Position: (-?\\d+),(-?\\d+)").match(out);
    const auto s = QRegularExpression("Geometry: (\\d+)x(\\d+)").match(out);
    if (!p.hasMatch() || !s.hasMatch())
        return {};
    return QRect(p.captured(1).toInt(), p.captured(2).toInt(), s.captured(1).toInt(), s.captured(2).toInt());
}

void VirtualDisplay::key(const QString& keys, const QString& window) const
{
    run("xdotool", window.isEmpty() ? QStringList{"key", keys} : QStringList{"key", "--window", window, keys});
}

void VirtualDisplay::click(QPoint screenPos) const
{
    run("xdotool", {"mousemove", QString::number(screenPos.x()), QString::number(screenPos.y()), "sleep", "0.2",
                    "click", "1"});
}

bool VirtualDisplay::screenshot(const QString& path) const
{
    int code = -1;
    run("import", {"-window", "root", path}, &code);
    return code == 0;
}

BoothOnDisplay::~BoothOnDisplay()
{
    if (booth.state() != QProcess::NotRunning) {
        booth.kill();
        booth.waitForFinished(5000);
    }
}

void BoothOnDisplay::start(const QString& executable, const QString& camera)
{
    QProcessEnvironment env = display.environment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.remove("QTWEBENGINE_DISABLE_SANDBOX");
    env.remove("PELMORA_TEST_CAMERA");
    if (!camera.isEmpty())
        env.insert("PELMORA_TEST_CAMERA", camera);
    booth.setProcessEnvironment(env);
    booth.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    booth.start(executable, {});
}

bool BoothOnDisplay::waitForWelcome()
{
    QRect frame;
    return WaitFor(
        [&] {
            for (const QString& id : display.visibleWindows())
                if (display.windowGeometry(id).size() == QSize(800, 600)) {
                    frame = display.windowGeometry(id);
                    wizard = id;
                }
            origin = frame.topLeft();
            return frame.isValid() && painted("welcome", [](const QImage& s, QPoint o) {
                       // The title picture differs from the light page body.
                       const QRgb body = s.pixel(o + QPoint(100, 300));
                       return s.pixel(o + QPoint(400, 50)) != body && qGray(body) > 150;
                   });
        },
        40000, 200);
}

bool BoothOnDisplay::painted(const QString& name, const std::function<bool(const QImage&, QPoint)>& check)
{
    const QString folder = QStringLiteral(PELMORA_BIN_DIR "/../tests/screens");
    QDir().mkpath(folder);
    const QString path = folder + "/" + QFileInfo(booth.program()).fileName() + "-" + name + ".png";
    return WaitFor(
        [&] {
            const QImage shot = display.screenshot(path) ? QImage(path) : QImage();
            return !shot.isNull() && check(shot, origin);
        },
        20000, 200);
}

QString BoothOnDisplay::installedDirectory() const
{
    return QSettings(home.filePath("config/Orvane/Pelmora 2004.conf"), QSettings::IniFormat)
        .value("Installed Directory")
        .toString();
}

bool BoothOnDisplay::endsWithZero()
{
    return booth.waitForFinished(20000) && booth.exitStatus() == QProcess::NormalExit && booth.exitCode() == 0;
}
