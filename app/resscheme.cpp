#include "resscheme.h"

#include "paths.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QMimeDatabase>
#include <QUrl>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace pelmora {

void RegisterWizardSchemes()
{
    static bool done = false;
    if (done)
        return;
    done = true;

    // Path syntax: the address carries the executable's full path where a
    // host would be ("res:///usr/lib/pelmora/Pelmora/welcome.htm").
    QWebEngineUrlScheme res("res");
    res.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    res.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                 QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(res);

    // No flags: a LocalScheme "pk" makes the engine block clicks from "res"
    // pages as about:blank#blocked instead of asking the page first.
    QWebEngineUrlScheme pk("pk");
    pk.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    pk.setFlags({});
    QWebEngineUrlScheme::registerScheme(pk);
}

QString ResAddress(const QString& name)
{
    return QStringLiteral("res://") + QString::fromLatin1(QUrl::toPercentEncoding(ExecutablePath(), "/")) +
           QLatin1Char('/') + name;
}

ResSchemeHandler::ResSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent)
{
    QDirIterator it(QStringLiteral(":/pages"), QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        m_byLowerName.insert(it.fileName().toLower(), path);
    }
}

QString ResSchemeHandler::resourceFor(const QString& name) const
{
    return m_byLowerName.value(name.toLower());
}

void ResSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
    const QString path = job->requestUrl().path();
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const QString resource = resourceFor(name);
    QFile file(resource);
    if (resource.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const QByteArray mime = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension)
                                .name()
                                .toLatin1();
    auto* buffer = new QBuffer(job);
    buffer->setData(file.readAll());
    buffer->open(QIODevice::ReadOnly);
    job->reply(mime == "application/x-extension-htm" ? QByteArray("text/html") : mime, buffer);
}

void PkSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
}

void InstallWizardSchemeHandlers(QWebEngineProfile* profile)
{
    if (!profile->urlSchemeHandler("res"))
        profile->installUrlSchemeHandler("res", new ResSchemeHandler(profile));
    if (!profile->urlSchemeHandler("pk"))
        profile->installUrlSchemeHandler("pk", new PkSchemeHandler(profile));
}

} // namespace pelmora
