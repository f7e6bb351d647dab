#pragma once
#include <QHash>
#include <QString>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

namespace pelmora {

// Registers the "res" scheme (pages and pictures stored in the executable) and
// the "pk" scheme (the wizard's command links). Must run before the
// QApplication is constructed.
void RegisterWizardSchemes();

// The address of a page or picture stored in the executable:
// "res://<executable path>/<name>", the path percent-encoded so that a folder
// named with blanks, '#', '?', '%' or any non-ASCII letter stays part of it.
QString ResAddress(const QString& name);

// Serves "res://<executable path>/<name>" from the executable's own Qt
// resources under ":/pages". Names are matched without regard to case, as the
// pages ask for "welcome.htm" while the resource is stored as "WELCOME.HTM".
class ResSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    explicit ResSchemeHandler(QObject* parent = nullptr);
    void requestStarted(QWebEngineUrlRequestJob* job) override;

    // The resource path (":/pages/...") that serves the last path segment of
    // an address, or an empty string when the executable holds no such page.
    QString resourceFor(const QString& name) const;

private:
    QHash<QString, QString> m_byLowerName;
};

// The scheme "pk" needs a handler of its own, or the engine blocks the link
// before the navigation request reaches the page. It is never reached: every
// "pk://" navigation is refused before it loads.
class PkSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override;
};

// Installs both handlers on a profile (once per profile).
void InstallWizardSchemeHandlers(QWebEngineProfile* profile);

} // namespace pelmora
