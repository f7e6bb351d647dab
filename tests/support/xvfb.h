#pragma once
// A virtual X display of a test's own, acted on as a user would with xdotool
// and ImageMagick's import.
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

class VirtualDisplay {
public:
    explicit VirtualDisplay(QSize size = QSize(1024, 768));
    ~VirtualDisplay();

    bool ok() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; }
    // An environment for programs that run on this display.
    QProcessEnvironment environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

    // Runs an X tool on this display and returns its standard output.
    QString run(const QString& program, const QStringList& args, int* exitCode = nullptr) const;
    // Window ids whose name matches the pattern (xdotool search --name).
    QStringList windowsNamed(const QString& pattern) const;
    QStringList visibleWindows() const { return windowsNamed(".*"); }
    QRect windowGeometry(const QString& id) const;
    // The process that owns a window, 0 when it does not say.
    qint64 windowProcess(const QString& id) const { return run("xdotool", {"getwindowpid", id}).trimmed().toLongLong(); }
    void key(const QString& keys, const QString& window) const;
    void click(QPoint screenPos) const;
    bool screenshot(const QString& path) const;

private:
    QProcess m_server;
    QString m_display;
};

// The booth started on a display of its own as a user starts it, with its
// settings and data under a home of its own, and what it paints there.
class BoothOnDisplay {
public:
    ~BoothOnDisplay();
    // With the test camera showing `camera` (none when empty); without
    // QTWEBENGINE_DISABLE_SANDBOX, which the booth sets itself as root.
    void start(const QString& executable, const QString& camera);
    // Waits for the painted welcome page; the window's corner lands in `origin`.
    bool waitForWelcome();
    // Waits until a screenshot passes `check`; the last one is kept.
    bool painted(const QString& name, const std::function<bool(const QImage&, QPoint)>& check);
    QString installedDirectory() const;
    bool endsWithZero();

    VirtualDisplay display;
    QTemporaryDir home;
    QProcess booth;
    QString wizard; // the wizard's window id
    QPoint origin;
};
