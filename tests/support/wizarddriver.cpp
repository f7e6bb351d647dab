#include "wizarddriver.h"

#include "boothdlg.h"
#include "htmlctrl.h"
#include "testing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

WizardDriver::WizardDriver(pelmora::CBoothDlg& dlg) : m_dlg(dlg)
{
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &WizardDriver::pollModals);
    timer->start(20);
}

void WizardDriver::pollModals()
{
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible() || dialog->property("answered").toBool())
        return;
    dialog->setProperty("answered", true);
    if (auto* box = qobject_cast<QMessageBox*>(dialog))
        m_messages << box->windowTitle() + QLatin1Char('|') + box->text();
    else
        m_dialogs << dialog->windowTitle();
    // Answered once the dialog's own event loop runs (dropped if it is gone).
    QMetaObject::invokeMethod(
        dialog,
        [dialog, handler = m_dialogHandler, answer = m_answer] {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (box && box->button(answer))
                box->button(answer)->click();
            else if (!box && handler)
                handler(dialog);
            else
                dialog->reject();
        },
        Qt::QueuedConnection);
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
    WaitFor([&] { return done; }, timeoutMs);
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
    if (!WaitFor(
            [&] {
                return currentPage().compare(name, Qt::CaseInsensitive) == 0 &&
                       js("document.readyState === 'complete' && Array.prototype.every.call(document.images, "
                          "function(i){return i.complete && i.naturalWidth > 0;})")
                           .toBool();
            },
            timeoutMs))
        return false;
    // The panel grows in ten 1 ms steps after the load; let it finish.
    QTest::qWait(150);
    return true;
}

QRect WizardDriver::elementRect(const QString& selector)
{
    // The selectors are the tests' own, without double quotes.
    const QVariantList l = js(QStringLiteral("(function(){var e=document.querySelector(\"%1\");"
                                             "if(!e)return null;var r=e.getBoundingClientRect();"
                                             "return [r.left,r.top,r.width,r.height];})()")
                                  .arg(selector))
                               .toList();
    if (l.size() != 4)
        return {};
    return QRectF(l[0].toDouble(), l[1].toDouble(), l[2].toDouble(), l[3].toDouble())
        .translated(m_dlg.Html()->mapTo(&m_dlg, QPoint(0, 0)))
        .toRect();
}

void WizardDriver::clickAt(QPoint clientPos, bool doubleClick)
{
    QWidget* target = m_dlg.childAt(clientPos) ? m_dlg.childAt(clientPos) : &m_dlg;
    if (target == m_dlg.Html() || m_dlg.Html()->isAncestorOf(target))
        target = m_dlg.Html()->focusProxy() ? m_dlg.Html()->focusProxy() : m_dlg.Html();
    const QPoint local = target->mapFrom(&m_dlg, clientPos);
    if (doubleClick)
        QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, local);
    else
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, local);
}

void WizardDriver::pressKey(int key, Qt::KeyboardModifiers modifiers, QWidget* to)
{
    QTest::keyClick(to ? to : m_dlg.Html()->focusProxy(), Qt::Key(key), modifiers);
}

QImage WizardDriver::screenshot()
{
    QScreen* screen = m_dlg.screen();
    return screen ? screen->grabWindow(m_dlg.winId()).toImage() : QImage();
}
