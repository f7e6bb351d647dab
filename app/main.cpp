#include "boothapp.h"

#include <QLoggingCategory>

int main(int argc, char** argv)
{
    // The web engine reports its graphics set-up at start; the booth keeps
    // the terminal quiet.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    pelmora::CBoothApp app(argc, argv);
    app.InitInstance();
    return 0;
}
