// main for test programs that run the wizard's web engine: the "res" and
// "pk" schemes are registered before the application object exists.
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
