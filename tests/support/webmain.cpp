// main for test programs with the wizard's web engine: its schemes registered before the application.
#include "composition.h"
#include "resscheme.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    pelmora::RegisterWizardSchemes();
    QApplication app(argc, argv);
    // The web view drawn as the booth draws it.
    pelmora::ChooseWindowComposition();
    return RUN_ALL_TESTS();
}
