// The real program on a virtual X display, started as a user starts it:
// with the test camera it opens the wizard centred on the screen and the
// Cancel button ends it, also after the camera was unplugged for good;
// without any camera it says so and ends.
#include "stringtable.h"
#include "xvfb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include "testing.h"
#include <gtest/gtest.h>
#include <csignal>

namespace {

const QString kExecutable = QStringLiteral(PELMORA_BIN_DIR "/Pelmora");
const QString kScreens = QStringLiteral(PELMORA_BIN_DIR "/../tests/screens");

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    return ::WaitFor(condition, timeoutMs, 100);
}

class Executable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok()) << "Xvfb did not start";
        ASSERT_TRUE(config.isValid());
        QDir().mkpath(kScreens);
    }

    void Start(bool testCamera)
    {
        QProcessEnvironment env = display.environment();
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        if (testCamera)
            env.insert("PELMORA_TEST_CAMERA", "smpte unplug=3000");
        else
            env.remove("PELMORA_TEST_CAMERA");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(kExecutable, {});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    QString installedDirectory() const
    {
        QSettings s(config.path() + "/Orvane/Pelmora 2004.conf", QSettings::IniFormat);
        return s.value("Installed Directory").toString();
    }

    VirtualDisplay display;
    QTemporaryDir config;
    QProcess program;
};

TEST_F(Executable, WithTheTestCameraOpensTheWizardAndCancelEndsIt)
{
    Start(true);
    QStringList wizard;
    ASSERT_TRUE(WaitFor(
        [&] {
            wizard.clear();
            for (const QString& id : display.visibleWindows())
                if (display.windowGeometry(id).size() == QSize(800, 600))
                    wizard << id;
            return !wizard.isEmpty();
        },
        30000));
    const QRect frame = display.windowGeometry(wizard.first());
    // Centred on the 1024 by 768 screen, horizontally exactly; vertically the
    // platform centres within the available area.
    EXPECT_EQ(frame.left(), (1024 - 800) / 2);
    EXPECT_GE(frame.top(), 0);
    EXPECT_LE(frame.bottom(), 767);

    // Wait for the welcome page to be painted: the title picture's band is
    // no longer the blank window colour.
    QImage shot;
    const QString path = kScreens + "/executable-welcome.png";
    ASSERT_TRUE(WaitFor(
        [&] {
            if (!display.screenshot(path))
                return false;
            shot = QImage(path);
            const QRgb title = shot.pixel(frame.left() + 400, frame.top() + 50);
            const QRgb body = shot.pixel(frame.left() + 100, frame.top() + 300);
            return title != body && qGray(body) > 150;
        },
        30000));
    EXPECT_EQ(installedDirectory(), QStringLiteral(PELMORA_BIN_DIR));

    // "Learn more about Pelmora 2004" opens the help file beside the program
    // with the desktop's viewer for it.
    ASSERT_TRUE(QFile::exists(QStringLiteral(PELMORA_BIN_DIR "/Pelmora.chm")));
    display.click(frame.topLeft() + QPoint(330, 352));
    QStringList viewer;
    EXPECT_TRUE(WaitFor([&] { return !(viewer = display.windowsNamed("Pelmora 2004 Help")).isEmpty(); }, 30000));
    display.screenshot(kScreens + "/executable-help.png");
    for (const QString& id : viewer)
        if (const qint64 pid = display.windowProcess(id); pid > 0)
            ::kill(pid_t(pid), SIGTERM);
    EXPECT_EQ(program.state(), QProcess::Running);

    // By now the camera was unplugged for good; the booth ends as ever with
    // the Cancel button of the button bar, centred at 695, 575.
    QTest::qWait(3000);
    display.click(frame.topLeft() + QPoint(695, 575));
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(Executable, WithoutACameraShowsMessageTwoAndEnds)
{
    if (!QDir("/dev").entryList({"video*"}, QDir::System).isEmpty())
        GTEST_SKIP() << "this machine has a camera";
    Start(false);
    QStringList boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = display.windowsNamed("^Pelmora$")).isEmpty(); }, 30000));
    display.screenshot(kScreens + "/executable-no-camera.png");
    // No wizard window was opened.
    for (const QString& id : display.visibleWindows())
        EXPECT_NE(display.windowGeometry(id).size(), QSize(800, 600));
    EXPECT_EQ(program.state(), QProcess::Running);

    display.key("Return", boxes.first());
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    // The installation folder was recorded before the camera was looked for.
    EXPECT_EQ(installedDirectory(), QStringLiteral(PELMORA_BIN_DIR));
}

} // namespace
