// main for test programs with the wizard's web engine: its schemes registered before the application.
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
    return RUN_ALL_TESTS();
}
