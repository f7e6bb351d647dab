// The booth as a user starts it: unpacked from its checked Debian package, and from the build tree.
#include "wayland.h"
#include "xvfb.h"

#include "testing.h"

#include <QDir>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// Runs a command to its end; its output goes to the test's log.
int RunTool(const QString& program, const QStringList& args)
{
    const ProgramRun run = RunProgram(program, args);
    std::printf("%s %s: %d\n%s\n", qPrintable(program), qPrintable(args.join(' ')), run.exitCode,
                qPrintable(QString::fromLocal8Bit(run.out + run.err)));
    return run.exitCode;
}

// Every file of a tree with its size and modification time.
QStringList Snapshot(const QString& root)
{
    QStringList entries = QString::fromLocal8Bit(RunProgram("find", {root, "-printf", "%p %s %T@\\n"}).out).split('\n');
    entries.sort();
    return entries;
}

// Where a picture shows pixel for pixel inside the wizard's chooser list
// (206, 110 to 742, 545), its centre on the screen; null when nowhere.
QPoint Find(const QImage& shot, QPoint origin, const QImage& picture)
{
    const QImage want = picture.convertToFormat(QImage::Format_RGB32);
    const QImage have = shot.convertToFormat(QImage::Format_RGB32);
    for (int y = origin.y() + 110; y + want.height() <= origin.y() + 545; ++y)
        for (int x = origin.x() + 206; x + want.width() <= origin.x() + 742; ++x) {
            bool same = true;
            for (int v = 0; same && v < want.height(); ++v)
                same = !std::memcmp(have.constScanLine(y + v) + 4 * x, want.constScanLine(v), 4 * want.width());
            if (same)
                return QPoint(x, y) + want.rect().center();
        }
    return {};
}

// Whether the screen at `at` looks more like page picture a than b.
bool LooksLike(const QImage& shot, QPoint at, const char* a, const char* b)
{
    const QString pages = QStringLiteral(PELMORA_SOURCE_DIR "/res/pages/");
    const QImage pa(pages + a), pb(pages + b);
    qint64 toA = 0, toB = 0;
    for (int y = 0; y < pa.height(); ++y)
        for (int x = 0; x < pa.width(); ++x) {
            const int seen = qGray(shot.pixel(at + QPoint(x, y)));
            toA += std::abs(seen - qGray(pa.pixel(x, y)));
            toB += std::abs(seen - qGray(pb.pixel(x, y)));
        }
    return toA < toB;
}

bool IsGreen(QRgb pixel) { return qRed(pixel) < 16 && qGreen(pixel) > 239 && qBlue(pixel) < 16; }

// Pages are told apart by their pictures, as a click lands only on a loaded page: the Back
// button at 427, 564 (disabled on the welcome page), the side panel at 22, 114, the Next
// button at 527, 564 (disabled on the capture page).
bool BackEnabled(const QImage& s, QPoint o) { return LooksLike(s, o + QPoint(427, 564), "Back.jpg", "Back_Disable.jpg"); }

// The booth started on a desktop of its own (an X display unless a test says otherwise), with settings and
// data under a home of its own.
class Installed : public ::testing::Test {
protected:
    explicit Installed(std::unique_ptr<Desktop> on = std::make_unique<VirtualDisplay>()) : desktop(std::move(on)) {}
    void SetUp() override { ASSERT_TRUE(desktop->ok() && home.isValid()) << "Xvfb did not start"; }

    // Without QTWEBENGINE_DISABLE_SANDBOX, which the booth sets itself as root.
    void start(const QString& executable, const QString& camera)
    {
        QProcessEnvironment env = desktop->environment();
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.remove("QTWEBENGINE_DISABLE_SANDBOX");
        env.insert("PELMORA_TEST_CAMERA", camera); // empty: the machine's own cameras
        booth.setProcessEnvironment(env);
        booth.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        booth.start(executable, {});
    }
    // The painted welcome page; the window's corner lands in `origin`.
    bool waitForWelcome()
    {
        const auto shown = [&] {
            const QMap<QString, QRect> windows = desktop->windows();
            for (auto w = windows.begin(); w != windows.end(); ++w)
                if (w->size() == QSize(800, 600))
                    origin = w->topLeft(), wizard = w.key();
            return !wizard.isEmpty() && painted("welcome", [](const QImage& s, QPoint o) {
                // The title picture differs from the light page body.
                const QRgb body = s.pixel(o + QPoint(100, 300));
                return s.pixel(o + QPoint(400, 50)) != body && qGray(body) > 150;
            });
        };
        return WaitFor(shown, 60000, 200);
    }
    // Waits until a screenshot passes `check`; the last one is kept under tests/screens.
    bool painted(const QString& name, const std::function<bool(const QImage&, QPoint)>& check)
    {
        const QString folder = QStringLiteral(PELMORA_BIN_DIR "/../tests/screens");
        QDir().mkpath(folder);
        const QString path = folder + "/" + QFileInfo(booth.program()).fileName() + "-" + name + ".png";
        QImage shot;
        return WaitFor([&] { return desktop->screenshot(path) && !(shot = QImage(path)).isNull() && check(shot, origin); }, 20000, 200);
    }
    QString installedDirectory() const
    {
        return QSettings(home.filePath("config/Orvane/Pelmora 2004.conf"), QSettings::IniFormat).value("Installed Directory").toString();
    }
    bool endsWithZero() { return booth.waitForFinished(20000) && booth.exitStatus() == QProcess::NormalExit && booth.exitCode() == 0; }

    // The user's own layout (one place over the whole canvas) and series (a green band round the
    // picture), made with the tools in `tools`.
    void makeUsersOwnFiles(const QString& tools)
    {
        const QString mine = home.filePath("data/pelmora/Resource");
        ASSERT_TRUE(QDir().mkpath(mine));
        ASSERT_EQ(RunTool(tools + "/pelmora-layout", {"write", mine + "/Mine.dat", "0,0,320,240"}), 0);
        QImage frame(412, 309, QImage::Format_ARGB32);
        frame.fill(QColor(0, 255, 0));
        for (int y = 30; y < 279; ++y)
            for (int x = 30; x < 382; ++x)
                frame.setPixel(x, y, qRgba(0, 0, 0, 0));
        ASSERT_TRUE(frame.save(home.filePath("green.png")));
        ASSERT_EQ(RunTool(tools + "/pelmora-pack", {"build", mine + "/Green.dll", "1001", home.filePath("green.png")}), 0);
    }
    // From the welcome page to the capture page with the user's own layout and series.
    void walkToCapture()
    {
        // Get Started leads to the layouts: the user's one shows a black outline round the 71 by 53 slot.
        desktop->click(origin + QPoint(588, 315));
        QImage slot(71, 53, QImage::Format_RGB32);
        slot.fill(Qt::white);
        QPainter(&slot).drawRect(slot.rect().adjusted(0, 0, -1, -1));
        QPoint item;
        ASSERT_TRUE(painted("layouts", [&](const QImage& s, QPoint o) { return BackEnabled(s, o) && !(item = Find(s, o, slot)).isNull(); }));
        desktop->click(item);
        desktop->click(origin + QPoint(573, 575));
        // The series page: the user's series comes last, after the shipped ones.
        const QImage series(QStringLiteral(PELMORA_SOURCE_DIR "/res/bitmaps/139.bmp"));
        ASSERT_TRUE(painted("series", [&](const QImage& s, QPoint o) {
            return LooksLike(s, o + QPoint(22, 114), "SeriesPanel.jpg", "LayoutPanel.jpg") && !(item = Find(s, o, series)).isNull();
        }));
        desktop->click(item);
        desktop->key("End", wizard);
        desktop->click(origin + QPoint(573, 575));
        // The capture page: its frame is the user's green band over the live video. Both buttons
        // are checked: on a page not yet painted the nearer picture of each is the disabled one.
        ASSERT_TRUE(painted("capture", [&](const QImage& s, QPoint o) {
            return LooksLike(s, o + QPoint(527, 564), "Next_Disable.jpg", "Next.jpg") && BackEnabled(s, o) && IsGreen(s.pixel(o + QPoint(80, 130))) &&
                   !IsGreen(s.pixel(o + QPoint(112, 250))); // the white bar
        }));
    }
    void cancel() { desktop->click(origin + QPoint(695, 575)); }

    std::unique_ptr<Desktop> desktop;
    QTemporaryDir home;
    QProcess booth;
    QString wizard; // the wizard's window id
    QPoint origin;
};

TEST_F(Installed, PackagePassesItsCheckersAndUnpackedUnderAnAwkwardNameUsesTheUsersFilesAndHelp)
{
    ASSERT_EQ(RunTool(CPACK_COMMAND, {"-G", "DEB", "--config", PELMORA_BUILD_DIR "/CPackConfig.cmake", "-B", PELMORA_BUILD_DIR}), 0);
    EXPECT_EQ(RunTool("lintian", {"--fail-on", "error", PELMORA_DEB}), 0);
    // Every character an address can trip over.
    const QString root = home.filePath(QStringLiteral("Pel mora #1 ?50% Résumé")), share = root + "/usr/share";
    ASSERT_EQ(RunTool("dpkg-deb", {"-x", PELMORA_DEB, root}), 0);
    const QString entry = share + "/applications/example.orvane.Pelmora.desktop";
    EXPECT_EQ(RunTool("desktop-file-validate", {entry}), 0);
    EXPECT_EQ(RunTool("appstreamcli", {"validate", "--no-net", share + "/metainfo/example.orvane.Pelmora.metainfo.xml"}), 0);
    ASSERT_NO_FATAL_FAILURE(makeUsersOwnFiles(root + "/usr/bin"));

    const QStringList tree = Snapshot(root);
    ASSERT_GT(tree.size(), 10);
    start(root + "/usr/bin/pelmora", "smpte");
    ASSERT_TRUE(waitForWelcome());
    // Centred on the 1024 by 768 screen (vertically within the available area).
    EXPECT_TRUE(origin.x() == 112 && origin.y() >= 0 && origin.y() + 599 <= 767) << origin.y();
    EXPECT_EQ(installedDirectory(), root + "/usr/lib/pelmora");
    // Started through its link, the window's class is still the one the desktop entry names.
    const QSettings entryKeys(entry, QSettings::IniFormat);
    EXPECT_EQ(entryKeys.value("Desktop Entry/StartupWMClass").toString(), desktop->windowClass(wizard));
    // "Learn more about Pelmora 2004" opens the installed help file in the desktop's viewer.
    desktop->click(origin + QPoint(330, 352));
    const auto& display = static_cast<const VirtualDisplay&>(*desktop);
    QStringList viewer;
    EXPECT_TRUE(WaitFor([&] { return !(viewer = display.windowsNamed("Pelmora 2004 Help")).isEmpty(); }, 30000, 100));
    for (const QString& id : viewer)
        if (const qint64 pid = display.windowProcess(id); pid > 0)
            ::kill(pid_t(pid), SIGTERM);
    ASSERT_NO_FATAL_FAILURE(walkToCapture());
    cancel();
    EXPECT_TRUE(endsWithZero());
    // The installed tree is read, never written.
    EXPECT_EQ(Snapshot(root), tree);
}

TEST_F(Installed, FromTheBuildTreeWithoutACameraShowsMessageTwoAndEnds)
{
    if (!QDir("/dev").entryList({"video*"}, QDir::System).isEmpty())
        GTEST_SKIP() << "this machine has a camera";
    start(PELMORA_BIN_DIR "/Pelmora", {});
    const auto& display = static_cast<const VirtualDisplay&>(*desktop);
    QStringList boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = display.windowsNamed("^Pelmora$")).isEmpty(); }, 30000, 100));
    for (const QRect& w : display.windows())
        EXPECT_NE(w.size(), QSize(800, 600)) << "no wizard";
    display.key("Return", boxes.first());
    EXPECT_TRUE(endsWithZero());
    // The installation folder was recorded before the camera was looked for.
    EXPECT_EQ(installedDirectory(), PELMORA_BIN_DIR);
}

// On Qt's native Wayland platform under a headless compositor (sway), from the build tree: the
// compositor knows the window by the desktop entry's name, and a photo is taken and exported.
class OnWayland : public Installed {
protected:
    OnWayland() : Installed(std::make_unique<WaylandDesktop>()) {}
    void SetUp() override
    {
        if (!desktop->ok())
            GTEST_SKIP() << "sway could not start a headless Wayland desktop here";
        ASSERT_TRUE(home.isValid());
    }
};

TEST_F(OnWayland, TheBoothTakesAndExportsAPhotoUnderItsDesktopEntrysName)
{
    ASSERT_NO_FATAL_FAILURE(makeUsersOwnFiles(PELMORA_BIN_DIR));
    start(PELMORA_BIN_DIR "/Pelmora", "smpte");
    ASSERT_TRUE(waitForWelcome());
    EXPECT_EQ(desktop->windowClass(wizard), "example.orvane.Pelmora");
    ASSERT_NO_FATAL_FAILURE(walkToCapture());
    // Capture it! puts the photo, framed green, into the strip's first slot.
    desktop->click(origin + QPoint(656, 390));
    EXPECT_TRUE(painted("captured", [](const QImage& s, QPoint o) { return IsGreen(s.pixel(o + QPoint(35, 470))); }));
    // Export asks for a folder in a window of its own; its name box takes a typed path.
    QTemporaryDir folder;
    desktop->click(origin + QPoint(715, 490));
    ASSERT_TRUE(WaitFor([&] { return desktop->windows().size() == 2; }, 20000, 200));
    static_cast<const WaylandDesktop&>(*desktop).type(folder.path() + "\n");
    const QString file = folder.filePath("Pelmora 1.bmp");
    ASSERT_TRUE(WaitFor([&] { return QImage(file).size() == QSize(320, 240); }, 20000, 200));
    EXPECT_TRUE(IsGreen(QImage(file).pixel(2, 2)) && !IsGreen(QImage(file).pixel(40, 40)));
    cancel();
    EXPECT_TRUE(endsWithZero());
}

} // namespace
