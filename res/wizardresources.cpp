#include "wizardresources.h"

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerWizardResources()
{
    Q_INIT_RESOURCE(wizard);
}

namespace pelmora {

void InitWizardResources()
{
    // Registering twice would add the same tree a second time.
    if (!QFile::exists(QStringLiteral(":/pages/WELCOME.HTM")))
        registerWizardResources();
}

} // namespace pelmora
