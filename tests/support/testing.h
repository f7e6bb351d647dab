#pragma once
// Helpers shared by the test programs: waiting on the event loop, running a program, BMP bytes.
#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <functional>

// Runs the event loop until the condition holds; the bound guards against a hang, it measures nothing.
inline bool WaitFor(const std::function<bool()>& condition, int boundMs = 20000, int stepMs = 10)
{
    QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, stepMs);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(std::min(stepMs, 10));
    }
    return true;
}

// exitCode is -1 when the program did not start or did not end normally.
struct ProgramRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QString outputIfSucceeded() const { return exitCode == 0 ? QString::fromLocal8Bit(out) : "failed"; }
};

inline ProgramRun RunProgram(const QString& program, const QStringList& args,
                             QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

inline QByteArray BmpBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}
