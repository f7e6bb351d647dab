#pragma once
// Small helpers shared by the test programs: waiting on the event loop,
// running another program, and BMP bytes of a picture.
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

// Runs the event loop until the condition holds; false if it never did within
// the bound (which guards against a hang, it measures nothing).
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

// What a program run to its end said; exitCode is -1 when it did not start
// or did not end normally.
struct ProgramRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    // The standard output, or "failed" when the program did not exit with 0.
    QString outputIfSucceeded() const
    {
        return exitCode == 0 ? QString::fromLocal8Bit(out) : QStringLiteral("failed");
    }
};

inline ProgramRun RunProgram(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    ProgramRun run;
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = p.exitCode();
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

// The picture as a BMP file, as Qt's own writer makes it.
inline QByteArray BmpBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}
