// main for test programs that need a QApplication, headless on the offscreen platform; webmain.cpp
// builds it for the wizard's web engine.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef PELMORA_WEB_MAIN
    pelmora::RegisterWizardSchemes();
    QApplication app(argc, argv);
    // The web view drawn as the booth draws it.
    pelmora::ChooseWindowComposition();
#else
    QApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
