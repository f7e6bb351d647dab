#include "wayland.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

WaylandDesktop::WaylandDesktop()
{
    // sway refuses to start as root; there it runs as nobody, whose sockets root's programs still reach.
    const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    const uid_t uid = nobody ? nobody->pw_uid : ::geteuid();
    const gid_t gid = nobody ? nobody->pw_gid : ::getegid();
    // A remote desktop's pointer and keyboard (wayvnc's) join the seat for the whole run, so that the booth
    // has them from its start, as on a desktop; sway's seat commands move the pointer and click.
    QFile config(m_runtime.filePath("config"));
    const QByteArray settings = "output HEADLESS-1 resolution 1024x768\nxwayland disable\n"
                                "exec wayvnc --unix-socket " + QFile::encodeName(m_runtime.filePath("vnc")) + "\n";
    if (!m_runtime.isValid() || ::chown(QFile::encodeName(m_runtime.path()), uid, gid) != 0
        || !config.open(QIODevice::WriteOnly) || config.write(settings) < 0)
        return;
    config.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* folder : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME"})
        env.insert(folder, m_runtime.path());
    env.insert("WLR_BACKENDS", "headless");
    env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    env.insert("WLR_RENDERER", "pixman");
    m_sway.setProcessEnvironment(env);
    m_sway.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_sway.setChildProcessModifier([uid, gid] {
        if (::getuid() != uid && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(127);
        // After the change of user, which clears it: the compositor ends with its owner, even one killed outright.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_sway.start("sway", {"--config", config.fileName()});
    for (int i = 0; i < 100 && m_socket.isEmpty() && m_sway.state() != QProcess::NotRunning; ++i) {
        QThread::msleep(100);
        m_socket = QDir(m_runtime.path()).entryInfoList({"wayland-?"}, QDir::System).value(0).filePath();
    }
    // Until the seat has a pointer (wl_seat's capability bit 1), which clicks need.
    for (int i = 0, seat = 0; i < 100 && !m_socket.isEmpty() && !(seat & 1); ++i) {
        QThread::msleep(100);
        const QJsonDocument seats = QJsonDocument::fromJson(run("swaymsg", {"-r", "-t", "get_seats"}).toUtf8());
        seat = seats[0]["capabilities"].toInt();
    }
}

WaylandDesktop::~WaylandDesktop() { Stop(m_sway); }

QProcessEnvironment WaylandDesktop::environment(QProcessEnvironment base) const
{
    base.insert("WAYLAND_DISPLAY", m_socket);
    base.insert("SWAYSOCK", QDir(m_runtime.path()).entryInfoList({"sway-ipc.*"}, QDir::System).value(0).filePath());
    base.insert("QT_QPA_PLATFORM", "wayland");
    base.insert("XDG_SESSION_TYPE", "wayland");
    base.remove("DISPLAY");
    return base;
}

QMap<QString, QJsonObject> WaylandDesktop::windowNodes() const
{
    QMap<QString, QJsonObject> shown;
    const std::function<void(const QJsonObject&)> collect = [&](const QJsonObject& node) {
        if (node.contains("app_id") && node.value("visible").toBool())
            shown.insert(QString::number(node.value("id").toInteger()), node);
        for (const char* children : {"nodes", "floating_nodes"})
            for (const QJsonValue& child : node.value(children).toArray())
                collect(child.toObject());
    };
    collect(QJsonDocument::fromJson(run("swaymsg", {"-r", "-t", "get_tree"}).toUtf8()).object());
    return shown;
}

QMap<QString, QRect> WaylandDesktop::windows() const
{
    QMap<QString, QRect> shown;
    const QMap<QString, QJsonObject> nodes = windowNodes();
    for (auto node = nodes.begin(); node != nodes.end(); ++node) {
        const QJsonObject r = node->value("rect").toObject();
        shown.insert(node.key(), QRect(r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt()));
    }
    return shown;
}

void WaylandDesktop::click(QPoint at) const
{
    run("swaymsg", {QStringLiteral("seat - cursor set %1 %2").arg(at.x()).arg(at.y())});
    // As xdotool does: the pointer rests a moment before the click.
    QThread::msleep(200);
    run("swaymsg", {"seat - cursor press button1"});
    run("swaymsg", {"seat - cursor release button1"});
}
