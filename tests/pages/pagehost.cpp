#include "pagehost.h"

#include "resscheme.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QScreen>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>

namespace {
// Bounds for waiting on the engine: they keep a broken page from hanging the
// run; nothing is asserted about how long anything takes.
constexpr int kLoadBoundMs = 60000;
constexpr int kScriptBoundMs = 20000;
} // namespace

PageHost::PageHost() : m_view(std::make_unique<QWebEngineView>())
{
    pelmora::InstallWizardSchemeHandlers(m_view->page()->profile());
    m_view->setWindowFlags(Qt::FramelessWindowHint);
    m_view->resize(800, 600);
    m_view->move(0, 0);
    m_view->show();
}

PageHost::~PageHost() = default;

QString PageHost::urlFor(const QString& name)
{
    return QStringLiteral("res://") + QCoreApplication::applicationFilePath() + QLatin1Char('/') +
           name;
}

bool PageHost::load(const QString& name)
{
    QEventLoop loop;
    bool ok = false;
    bool finished = false;
    auto connection = QObject::connect(m_view.get(), &QWebEngineView::loadFinished, &loop,
                                       [&](bool success) {
                                           ok = success;
                                           finished = true;
                                           loop.quit();
                                       });
    QTimer::singleShot(kLoadBoundMs, &loop, &QEventLoop::quit);
    m_view->load(QUrl(urlFor(name)));
    if (!finished)
        loop.exec();
    QObject::disconnect(connection);
    return finished && ok;
}

QJsonValue PageHost::eval(const QString& script)
{
    QEventLoop loop;
    QVariant result;
    bool done = false;
    m_view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
        loop.quit();
    });
    QTimer::singleShot(kScriptBoundMs, &loop, &QEventLoop::quit);
    if (!done)
        loop.exec();
    if (!done || result.typeId() != QMetaType::QString)
        return QJsonValue(QJsonValue::Undefined);
    const QByteArray text = result.toString().toUtf8();
    // Wrap so that plain values (true, 3, "x") parse as well as objects.
    const QJsonDocument doc = QJsonDocument::fromJson("[" + text + "]");
    return doc.isArray() ? doc.array().at(0) : QJsonValue(QJsonValue::Undefined);
}

bool PageHost::waitUntil(const QString& condition)
{
    const QDeadlineTimer deadline(kScriptBoundMs);
    while (!deadline.hasExpired()) {
        if (eval(QStringLiteral("JSON.stringify(!!(%1))").arg(condition)).toBool())
            return true;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return false;
}

QImage PageHost::screenshot()
{
    QScreen* screen = m_view->windowHandle() ? m_view->windowHandle()->screen() : nullptr;
    if (!screen)
        return {};
    // The compositor delivers frames on its own schedule: take the picture
    // once two grabs a little apart agree.
    QImage last;
    const QDeadlineTimer deadline(kScriptBoundMs);
    while (!deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
        const QImage shot = screen->grabWindow(m_view->winId()).toImage();
        if (!shot.isNull() && shot == last)
            return shot;
        last = shot;
    }
    return last;
}
