#pragma once
// Drives the real wizard window as a user would: clicks, keys, dialogs answered.
#include <QDialog>
#include <QImage>
#include <QMessageBox>
#include <QObject>
#include <QRect>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <utility>

namespace pelmora {
class CBoothDlg;
}

class WizardDriver : public QObject {
public:
    explicit WizardDriver(pelmora::CBoothDlg& dlg);

    // Waits until the named page (any case) has loaded its pictures and settled.
    bool waitForPage(const QString& name, int timeoutMs = 20000);
    // The page that shows: the last path segment of its address.
    QString currentPage() const;

    QVariant js(const QString& script, int timeoutMs = 10000);
    // In the window's client pixels; empty when there is none.
    QRect elementRect(const QString& selector);

    void clickAt(QPoint clientPos, bool doubleClick = false);
    void click(const QString& selector) { clickAt(elementRect(selector).center()); }
    void pressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QWidget* to = nullptr);

    // Message boxes from now on: answered with this button, "caption|text" kept.
    void answerMessagesWith(QMessageBox::StandardButton button) { m_answer = button; }
    QStringList takeMessages() { return std::exchange(m_messages, {}); }

    // Other modal dialogs from now on: handed to this once each, titles kept.
    void handleDialogsWith(std::function<void(QDialog*)> handler) { m_dialogHandler = std::move(handler); }
    QStringList takeDialogs() { return std::exchange(m_dialogs, {}); }

    // What is on screen in the window.
    QImage screenshot();

private:
    void pollModals();

    pelmora::CBoothDlg& m_dlg;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
    QStringList m_messages;
    QStringList m_dialogs;
    std::function<void(QDialog*)> m_dialogHandler;
};
