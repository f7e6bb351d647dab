#pragma once
// A virtual X display of a test's own, acted on as a user would with xdotool and ImageMagick's import.
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

class VirtualDisplay {
public:
    explicit VirtualDisplay(QSize size = QSize(1024, 768));
    ~VirtualDisplay();

    bool ok() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; }
    QProcessEnvironment environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

    // Runs an X tool on this display and returns its standard output.
    QString run(const QString& program, const QStringList& args, int* exitCode = nullptr) const;
    QStringList windowsNamed(const QString& pattern) const
    {
        return run("xdotool", {"search", "--onlyvisible", "--name", pattern}).split('\n', Qt::SkipEmptyParts);
    }
    QStringList visibleWindows() const { return windowsNamed(".*"); }
    QRect windowGeometry(const QString& id) const;
    // 0 when the window does not say.
    qint64 windowProcess(const QString& id) const { return run("xdotool", {"getwindowpid", id}).trimmed().toLongLong(); }
    void key(const QString& keys, const QString& window) const { run("xdotool", {"key", "--window", window, keys}); }
    void click(QPoint at) const
    {
        run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "sleep", "0.2", "click", "1"});
    }
    bool screenshot(const QString& path) const;

private:
    QProcess m_server;
    QString m_display;
};
