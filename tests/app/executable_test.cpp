// The real program from the build tree on a virtual X display, started as a
// user starts it: with the test camera it opens the wizard centred on the
// screen and the Cancel button ends it, also after the camera was unplugged
// for good; without any camera it says so and ends.
#include "xvfb.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include "testing.h"
#include <gtest/gtest.h>
#include <csignal>

namespace {

const QString kExecutable = QStringLiteral(PELMORA_BIN_DIR "/Pelmora");

class Executable : public ::testing::Test, public BoothOnDisplay {
protected:
    void SetUp() override { ASSERT_TRUE(display.ok() && home.isValid()) << "Xvfb did not start"; }
};

TEST_F(Executable, WithTheTestCameraOpensTheWizardAndCancelEndsIt)
{
    start(kExecutable, "smpte unplug=3000");
    ASSERT_TRUE(waitForWelcome());
    // Centred on the 1024 by 768 screen, horizontally exactly; vertically the
    // platform centres within the available area.
    EXPECT_EQ(origin.x(), (1024 - 800) / 2);
    EXPECT_GE(origin.y(), 0);
    EXPECT_LE(origin.y() + 599, 767);
    EXPECT_EQ(installedDirectory(), QStringLiteral(PELMORA_BIN_DIR));

    // "Learn more about Pelmora 2004" opens the help file beside the program
    // with the desktop's viewer for it.
    ASSERT_TRUE(QFile::exists(QStringLiteral(PELMORA_BIN_DIR "/Pelmora.chm")));
    display.click(origin + QPoint(330, 352));
    QStringList viewer;
    EXPECT_TRUE(WaitFor([&] { return !(viewer = display.windowsNamed("Pelmora 2004 Help")).isEmpty(); }, 30000, 100));
    for (const QString& id : viewer)
        if (const qint64 pid = display.windowProcess(id); pid > 0)
            ::kill(pid_t(pid), SIGTERM);
    EXPECT_EQ(booth.state(), QProcess::Running);

    // By now the camera was unplugged for good; the booth ends as ever with
    // the Cancel button of the button bar, centred at 695, 575.
    QTest::qWait(3000);
    display.click(origin + QPoint(695, 575));
    EXPECT_TRUE(endsWithZero());
}

TEST_F(Executable, WithoutACameraShowsMessageTwoAndEnds)
{
    if (!QDir("/dev").entryList({"video*"}, QDir::System).isEmpty())
        GTEST_SKIP() << "this machine has a camera";
    start(kExecutable, {});
    QStringList boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = display.windowsNamed("^Pelmora$")).isEmpty(); }, 30000, 100));
    for (const QString& id : display.visibleWindows())
        EXPECT_NE(display.windowGeometry(id).size(), QSize(800, 600)) << "no wizard";
    EXPECT_EQ(booth.state(), QProcess::Running);
    display.key("Return", boxes.first());
    EXPECT_TRUE(endsWithZero());
    // The installation folder was recorded before the camera was looked for.
    EXPECT_EQ(installedDirectory(), QStringLiteral(PELMORA_BIN_DIR));
}

} // namespace
