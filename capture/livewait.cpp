#include "livewait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace pelmora {

namespace {

// Between two looks at done(): short against a frame interval at 30 a second.
constexpr int kCheckMs = 4;

bool OnWindowThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void WaitPainting(int ms)
{
    ms = std::max(ms, 0);
    if (!OnWindowThread()) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool WaitPaintingUntil(const std::function<bool()>& done, int boundMs)
{
    QDeadlineTimer deadline(std::max(boundMs, 0), Qt::PreciseTimer);
    while (!done()) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        WaitPainting(int(std::min<qint64>(left, kCheckMs)));
    }
    return true;
}

void WhenDone(QObject* context, std::function<bool()> done, int boundMs, std::function<void()> then)
{
    auto* poll = new QTimer(context);
    QDeadlineTimer deadline(std::max(boundMs, 0), Qt::PreciseTimer);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, done = std::move(done), then = std::move(then)] {
        if (!done() && !deadline.hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        then();
    });
    poll->start(kCheckMs);
}

} // namespace pelmora
