#pragma once
// A virtual X display of a test's own, acted on as a user would with xdotool and ImageMagick's import.
#include "desktop.h"

class VirtualDisplay : public Desktop {
public:
    explicit VirtualDisplay(QSize size = QSize(1024, 768));
    // A display that runs already (a desktop's), acted on the same way.
    explicit VirtualDisplay(const QString& existing) : m_display(existing) {}
    ~VirtualDisplay() override;

    bool ok() const override { return !m_display.isEmpty(); }
    QString display() const { return m_display; }
    QProcessEnvironment environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const override;

    QStringList windowsNamed(const QString& pattern) const
    {
        return run("xdotool", {"search", "--onlyvisible", "--name", pattern}).split('\n', Qt::SkipEmptyParts);
    }
    QMap<QString, QRect> windows() const override;
    // 0 when the window does not say.
    qint64 windowProcess(const QString& id) const { return run("xdotool", {"getwindowpid", id}).trimmed().toLongLong(); }
    // WM_CLASS(STRING) = "instance", "class"
    QString windowClass(const QString& id) const override { return run("xprop", {"-id", id, "WM_CLASS"}).section('"', 3, 3); }
    void key(const QString& keys, const QString& window) const override { run("xdotool", {"key", "--window", window, keys}); }
    void click(QPoint at) const override
    {
        run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "sleep", "0.2", "click", "1"});
    }
    bool screenshot(const QString& to) const override { return runs("import", {"-window", "root", to}); }

private:
    QProcess m_server;
    QString m_display;
};
