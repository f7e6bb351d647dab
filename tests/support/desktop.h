#pragma once
// A desktop of a test's own that the booth is started on and acted on as a user would: an X display or a
// Wayland compositor.
#include "testing.h"

#include <QMap>
#include <QPoint>
#include <QRect>

class Desktop {
public:
    virtual ~Desktop() = default;
    virtual bool ok() const = 0;
    // What a program started on this desktop needs to reach it.
    virtual QProcessEnvironment environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const = 0;
    // The top-level windows shown, by the desktop's id for each, with their places on the screen.
    virtual QMap<QString, QRect> windows() const = 0;
    // What the desktop matches a window to its desktop entry by: the X11 window class, the Wayland app id.
    virtual QString windowClass(const QString& id) const = 0;
    virtual void click(QPoint at) const = 0;
    // A key by its keysym name, to the window given where the desktop lets a tool choose.
    virtual void key(const QString& keys, const QString& window) const = 0;
    virtual bool screenshot(const QString& path) const = 0;

    // Runs a tool on this desktop: its standard output, or whether it ended with 0.
    QString run(const QString& program, const QStringList& args) const
    {
        return QString::fromLocal8Bit(RunProgram(program, args, environment()).out);
    }
    bool runs(const QString& program, const QStringList& args) const
    {
        return RunProgram(program, args, environment()).exitCode == 0;
    }

protected:
    // Ends the desktop's server; one that outlives the wait is killed with its QProcess.
    static void Stop(QProcess& server)
    {
        server.terminate();
        server.waitForFinished(3000);
    }
};
