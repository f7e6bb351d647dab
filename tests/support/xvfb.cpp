#include "xvfb.h"

#include "testing.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <csignal>
#include <sys/prctl.h>

VirtualDisplay::VirtualDisplay(QSize size)
{
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The server ends with its owner, even one killed outright.
    m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    // -displayfd: the server picks a free display number and writes it to us.
    m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0", QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                            "-nolisten", "tcp"});
    while (!m_server.canReadLine() && m_server.waitForReadyRead(10000)) {
    }
    const QByteArray number = m_server.readLine().trimmed();
    if (!number.isEmpty())
        m_display = ":" + QString::fromLatin1(number);
}

VirtualDisplay::~VirtualDisplay()
{
    m_server.terminate();
    if (!m_server.waitForFinished(3000))
        m_server.kill();
    m_server.waitForFinished(3000);
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

QRect VirtualDisplay::windowGeometry(const QString& id) const
{
    const auto m = QRegularExpression("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)",
                                      QRegularExpression::DotMatchesEverythingOption)
                       .match(run("xdotool", {"getwindowgeometry", id}));
    return m.hasMatch() ? QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt())
                        : QRect();
}

void VirtualDisplay::key(const QString& keys, const QString& window) const
{
    run("xdotool", {"key", "--window", window, keys});
}

void VirtualDisplay::click(QPoint at) const
{
    run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "sleep", "0.2", "click", "1"});
}

bool VirtualDisplay::screenshot(const QString& path) const
{
    int code = -1;
    run("import", {"-window", "root", path}, &code);
    return code == 0;
}

BoothOnDisplay::~BoothOnDisplay()
{
    booth.kill();
    booth.waitForFinished(5000);
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
    return WaitFor(
        [&] {
            for (const QString& id : display.visibleWindows())
                if (const QRect frame = display.windowGeometry(id); frame.size() == QSize(800, 600)) {
                    origin = frame.topLeft();
                    wizard = id;
                }
            return !wizard.isEmpty() && painted("welcome", [](const QImage& s, QPoint o) {
                       // The title picture differs from the light page body.
                       const QRgb body = s.pixel(o + QPoint(100, 300));
                       return s.pixel(o + QPoint(400, 50)) != body && qGray(body) > 150;
                   });
        },
        60000, 200);
}

bool BoothOnDisplay::painted(const QString& name, const std::function<bool(const QImage&, QPoint)>& check)
{
    const QString folder = QStringLiteral(PELMORA_BIN_DIR "/../tests/screens");
    QDir().mkpath(folder);
    const QString path = folder + "/" + QFileInfo(booth.program()).fileName() + "-" + name + ".png";
    QImage shot;
    return WaitFor([&] { return display.screenshot(path) && !(shot = QImage(path)).isNull() && check(shot, origin); }, 20000, 200);
}

QString BoothOnDisplay::installedDirectory() const
{
    return QSettings(home.filePath("config/Orvane/Pelmora 2004.conf"), QSettings::IniFormat).value("Installed Directory").toString();
}

bool BoothOnDisplay::endsWithZero()
{
    return booth.waitForFinished(20000) && booth.exitStatus() == QProcess::NormalExit && booth.exitCode() == 0;
}
