#pragma once
// The HTML control: a web view used as an ordinary child control of the
// wizard window, and its subclass that reports every navigation to its owner
// before it happens.
#include <QStringList>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace pelmora {

class NavigationTarget;

class CHtmlCtrl : public QWebEngineView {
    Q_OBJECT
public:
    explicit CHtmlCtrl(QWidget* parent = nullptr);

    // Starts a navigation as the browser control does: OnBeforeNavigate2 is
    // asked first and may cancel it.
    void Navigate2(const QString& address);

    // Called before every navigation with the address exactly as the page
    // wrote it; setting cancel stops the navigation.
    virtual void OnBeforeNavigate2(const QString& address, bool* cancel);

    // The address of the page that shows ("res://..."), empty before the first load.
    QString CurrentAddress() const;

    // While held, the links the page sends wait; released, they are followed
    // in order, right after the caller returns. A command that keeps the
    // window thread busy so ends before the next link is handled.
    void HoldLinks(bool hold);

private:
    friend class WizardPage;
    void FollowLink(const QString& address);

    bool m_holdLinks = false;
    QStringList m_heldLinks;
};

class CWizardHtmlCtrl : public CHtmlCtrl {
    Q_OBJECT
public:
    // Creates the control as a child of owner, which receives the page links.
    CWizardHtmlCtrl(NavigationTarget* owner, QWidget* parentWindow);
    void OnBeforeNavigate2(const QString& address, bool* cancel) override;

    NavigationTarget* m_pOwner;
};

// The page of an HTML control: hands every navigation request to the control.
class WizardPage : public QWebEnginePage {
    Q_OBJECT
public:
    WizardPage(QWebEngineProfile* profile, CHtmlCtrl* control);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    CHtmlCtrl* m_control;
};

} // namespace pelmora
