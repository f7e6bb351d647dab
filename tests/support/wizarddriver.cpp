#include <QDebug>
#include "wizarddriver.h"

#include "boothdlg.h"
#include "htmlctrl.h"
#include "testing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimerEvent>
#include <QWindow>

WizardDriver::WizardDriver(pelmora::CBoothDlg& dlg) : m_dlg(dlg)
{
    m_timer = startTimer(20);
}

WizardDriver::~WizardDriver() { killTimer(m_timer); }

void WizardDriver::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer)
        pollMessageBoxes();
}

void WizardDriver::pollMessageBoxes()
{
    if (qEnvironmentVariableIsSet("WIZARD_DEBUG") && QApplication::activeModalWidget())
        qWarning() << "modal" << QApplication::activeModalWidget();
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog && !qobject_cast<QMessageBox*>(dialog) && dialog->isVisible() &&
        !dialog->property("answered").toBool()) {
        dialog->setProperty("answered", true);
        m_dialogs << dialog->windowTitle();
        QPointer<QDialog> guard(dialog);
        auto handler = m_dialogHandler;
        QMetaObject::invokeMethod(
            dialog,
            [guard, handler] {
                if (!guard)
                    return;
                if (handler)
                    handler(guard);
                else
                    guard->reject();
            },
            Qt::QueuedConnection);
        return;
    }
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("answered").toBool())
        return;
    box->setProperty("answered", true);
    m_messages << box->windowTitle() + QLatin1Char('|') + box->text();
    QPointer<QMessageBox> guard(box);
    const QMessageBox::StandardButton answer = m_answer;
    QMetaObject::invokeMethod(
        box,
        [guard, answer] {
            if (!guard)
                return;
            if (QAbstractButton* b = guard->button(answer))
                b->click();
            else
                guard->reject();
        },
        Qt::QueuedConnection);
}

QStringList WizardDriver::takeDialogs()
{
    QStringList d;
    d.swap(m_dialogs);
    return d;
}

QStringList WizardDriver::takeMessages()
{
    QStringList m;
    m.swap(m_messages);
    return m;
}

bool WizardDriver::waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    return ::WaitFor(condition, timeoutMs);
}

QVariant WizardDriver::js(const QString& script, int timeoutMs)
{
    QVariant result;
    bool done = false;
    auto alive = std::make_shared<bool>(true);
    m_dlg.Html()->page()->runJavaScript(script, [&result, &done, alive](const QVariant& v) {
        if (*alive) {
            result = v;
            done = true;
        }
    });
    waitFor([&] { return done; }, timeoutMs);
    *alive = false;
    return result;
}

QString WizardDriver::currentPage() const
{
    const QString path = m_dlg.Html()->url().path();
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool WizardDriver::waitForPage(const QString& name, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    const bool loaded = waitFor(
        [&] {
            if (currentPage().compare(name, Qt::CaseInsensitive) != 0)
                return false;
            const QVariant ready = js(QStringLiteral(
                "document.readyState === 'complete' && "
                "Array.prototype.every.call(document.images, function(i){return i.complete && i.naturalWidth > 0;})"));
            return ready.toBool();
        },
        timeoutMs);
    if (!loaded)
        return false;
    // The panel grows in ten 1 ms steps after the load; let it finish.
    QTest::qWait(150);
    return true;
}

namespace {
// A JavaScript string literal holding text.
QString JsString(const QString& text)
{
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}
} // namespace

QRect WizardDriver::elementRect(const QString& selector)
{
    const QVariant v = js(QStringLiteral("(function(){var e=document.querySelector(%1);"
                                         "if(!e)return null;var r=e.getBoundingClientRect();"
                                         "return [r.left,r.top,r.width,r.height];})()")
                              .arg(JsString(selector)));
    const QVariantList l = v.toList();
    if (l.size() != 4)
        return {};
    const QPoint origin = m_dlg.Html()->mapTo(&m_dlg, QPoint(0, 0));
    return QRect(qRound(l[0].toDouble()) + origin.x(), qRound(l[1].toDouble()) + origin.y(),
                 qRound(l[2].toDouble()), qRound(l[3].toDouble()));
}

void WizardDriver::clickAt(QPoint clientPos, bool doubleClick)
{
    QWidget* target = m_dlg.childAt(clientPos);
    if (!target)
        target = &m_dlg;
    if (target == m_dlg.Html() || m_dlg.Html()->isAncestorOf(target))
        target = m_dlg.Html()->focusProxy() ? m_dlg.Html()->focusProxy() : m_dlg.Html();
    const QPoint local = target->mapFrom(&m_dlg, clientPos);
    if (doubleClick)
        QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, local);
    else
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, local);
}

void WizardDriver::click(const QString& selector)
{
    const QRect r = elementRect(selector);
    if (qEnvironmentVariableIsSet("WIZARD_DEBUG"))
        qWarning() << "click" << selector << r << m_dlg.childAt(r.center());
    clickAt(r.center());
}

void WizardDriver::pressKey(int key, Qt::KeyboardModifiers modifiers, QWidget* to)
{
    QWidget* target = to ? to : m_dlg.Html()->focusProxy();
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

QImage WizardDriver::screenshot(const QString& saveAs)
{
    QImage shot;
    if (QScreen* screen = m_dlg.screen())
        shot = screen->grabWindow(m_dlg.winId()).toImage();
    if (!saveAs.isEmpty() && !shot.isNull()) {
        QDir().mkpath(QStringLiteral(PELMORA_BIN_DIR "/../tests/screens"));
        shot.save(QStringLiteral(PELMORA_BIN_DIR "/../tests/screens/") + saveAs);
    }
    return shot;
}
