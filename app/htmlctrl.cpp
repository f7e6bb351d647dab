#include "htmlctrl.h"
#include <utility>

#include "navigation.h"
#include "resscheme.h"

#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace pelmora {

namespace {

// The engine's URL type lowercases what follows "pk://" as if it were a host
// ("pk://Next/Layout.htm" would arrive as "pk://next/Layout.htm"), but the
// commands are compared case-sensitively. So every "pk://" link of a loaded
// page is rewritten to "pk:" plus the percent-encoded rest, which reaches the
// navigation request as the URL's path, exactly as the page wrote it.
const char kKeepPkAddresses[] = R"JS(
(function () {
  var links = document.querySelectorAll('a[href], area[href]');
  for (var i = 0; i < links.length; ++i) {
    var href = links[i].getAttribute('href');
    if (href && href.lastIndexOf('pk://', 0) === 0)
      links[i].setAttribute('href', 'pk:' + encodeURIComponent(href.substring(5)));
  }
})();
)JS";

QWebEngineProfile* WizardProfile()
{
    // One off-the-record profile for the program's life: the pages keep no
    // cookies, cache or history on disk.
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile();
        InstallWizardSchemeHandlers(p);
        QWebEngineScript script;
        script.setName(QStringLiteral("keep-pk-addresses"));
        script.setSourceCode(QString::fromLatin1(kKeepPkAddresses));
        script.setInjectionPoint(QWebEngineScript::DocumentReady);
        script.setWorldId(QWebEngineScript::ApplicationWorld);
        script.setRunsOnSubFrames(true);
        p->scripts()->insert(script);
        return p;
    }();
    return profile;
}

} // namespace

WizardPage::WizardPage(QWebEngineProfile* profile, CHtmlCtrl* control)
    : QWebEnginePage(profile, control), m_control(control)
{
}

bool WizardPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool)
{
    if (url.scheme() == QLatin1String("pk")) {
        // Every "pk://" address is refused. Its handlers may open message
        // boxes and start the next page load, which must not happen inside
        // the engine's own navigation callback: they run right after it.
        const QString address = QString::fromLatin1(kPkPrefix) + url.path(QUrl::FullyDecoded);
        QMetaObject::invokeMethod(
            m_control,
            [control = m_control, address] { control->FollowLink(address); },
            Qt::QueuedConnection);
        return false;
    }
    bool cancel = false;
    m_control->OnBeforeNavigate2(url.toString(), &cancel);
    return !cancel;
}

void CHtmlCtrl::FollowLink(const QString& address)
{
    if (m_holdLinks) {
        m_heldLinks << address;
        return;
    }
    bool cancel = false;
    OnBeforeNavigate2(address, &cancel);
}

void CHtmlCtrl::HoldLinks(bool hold)
{
    m_holdLinks = hold;
    if (hold)
        return;
    const QStringList held = std::exchange(m_heldLinks, {});
    for (const QString& address : held)
        QMetaObject::invokeMethod(
            this, [this, address] { FollowLink(address); }, Qt::QueuedConnection);
}

CHtmlCtrl::CHtmlCtrl(QWidget* parent) : QWebEngineView(parent)
{
    setPage(new WizardPage(WizardProfile(), this));
    setContextMenuPolicy(Qt::NoContextMenu);
    settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, true);
    // A refused navigation ends as loadFinished(false); nothing is to be done
    // about it, the page that shows stays.
}

void CHtmlCtrl::Navigate2(const QString& address)
{
    bool cancel = false;
    OnBeforeNavigate2(address, &cancel);
    if (!cancel)
        load(QUrl(address));
}

void CHtmlCtrl::OnBeforeNavigate2(const QString&, bool*) {}

QString CHtmlCtrl::CurrentAddress() const { return url().toString(); }

CWizardHtmlCtrl::CWizardHtmlCtrl(NavigationTarget* owner, QWidget* parentWindow)
    : CHtmlCtrl(parentWindow), m_pOwner(owner)
{
}

void CWizardHtmlCtrl::OnBeforeNavigate2(const QString& address, bool* cancel)
{
    if (m_pOwner && BeforeNavigate(address, *m_pOwner))
        *cancel = true;
}

} // namespace pelmora
