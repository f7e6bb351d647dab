// The yardstick of startup_bench: a bare Qt WebEngine window of the booth's
// size, frameless and centred, showing the booth's welcome page from the
// same resources through the same "res" scheme, and nothing else (no camera,
// no settings, no wizard).
#include "resscheme.h"
#include "wizardresources.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QWebEngineProfile>
#include <QWebEnginePage>
#include <QWebEngineView>

int main(int argc, char** argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    pelmora::RegisterWizardSchemes();
    QApplication app(argc, argv);
    pelmora::InitWizardResources();
    auto* profile = new QWebEngineProfile(&app);
    pelmora::InstallWizardSchemeHandlers(profile);
    QWebEngineView view;
    view.setPage(new QWebEnginePage(profile, &view));
    view.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    view.resize(800, 600);
    if (const QScreen* screen = view.screen())
        view.move(screen->availableGeometry().center() - view.rect().center());
    view.load(QUrl(QStringLiteral("res://") + QCoreApplication::applicationFilePath() +
                   QStringLiteral("/welcome.htm")));
    view.show();
    return app.exec();
}
