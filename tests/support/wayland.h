#pragma once
// A headless Wayland compositor of a test's own (sway), acted on as a user would: the seat's pointer through
// sway's commands, wtype's keyboard, grim's screenshots.
#include "desktop.h"

#include <QJsonObject>
#include <QTemporaryDir>

class WaylandDesktop : public Desktop {
public:
    WaylandDesktop();
    ~WaylandDesktop() override;

    bool ok() const override { return !m_socket.isEmpty(); }
    // Qt's Wayland platform and no X display to fall back to.
    QProcessEnvironment environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const override;
    QMap<QString, QRect> windows() const override;
    QString windowClass(const QString& id) const override { return windowNodes().value(id).value("app_id").toString(); }
    void click(QPoint at) const override;
    // wtype's keyboard is new with every run: it pauses for the focused window to take it before the first key.
    void key(const QString& keys, const QString&) const override { run("wtype", {"-s", "300", "-k", keys}); }
    void type(const QString& text) const { run("wtype", {"-s", "300", text}); }
    bool screenshot(const QString& to) const override { return runs("grim", {to}); }

private:
    // sway's nodes of the windows shown, by their ids.
    QMap<QString, QJsonObject> windowNodes() const;

    QTemporaryDir m_runtime;
    QProcess m_sway;
    QString m_socket;
};
