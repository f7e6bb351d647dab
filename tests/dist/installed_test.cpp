// The installed booth, started as a user starts it: from the unpacked Debian
// package (after the ecosystem's checkers have passed it) with the user's own
// layout and frame series, and from a `cmake --install` prefix whose name
// holds every character an address can trip over. Both run as whoever runs
// the tests, without QTWEBENGINE_DISABLE_SANDBOX: as root the booth sets it.
#include "xvfb.h"

#include <QDirIterator>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include "testing.h"
#include <gtest/gtest.h>

namespace {

const QString kScreens = QStringLiteral(PELMORA_BUILD_DIR "/tests/screens");

// Runs a command to its end; its output goes to the test's log.
int RunTool(const QString& program, const QStringList& args, QString* output = nullptr)
{
    const ProgramRun run = RunProgram(program, args);
    const QString text = QString::fromLocal8Bit(run.out + run.err);
    if (output)
        *output = text;
    else if (run.exitCode != 0)
        std::printf("%s %s:\n%s\n", qPrintable(program), qPrintable(args.join(' ')), qPrintable(text));
    return run.exitCode;
}

// Every file of a tree with its size and modification time.
QStringList Snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << QStringLiteral("%1 %2 %3").arg(info.filePath()).arg(info.size()).arg(
                       info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

class Installed : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok()) << "Xvfb did not start";
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(kScreens);
    }

    void TearDown() override
    {
        if (booth.state() != QProcess::NotRunning) {
            booth.kill();
            booth.waitForFinished(5000);
        }
    }

    QString userResource() const { return home.filePath("data/pelmora/Resource"); }

    // Starts the booth and waits for its painted welcome page; the wizard's
    // top-left corner on the screen.
    QPoint Start(const QString& executable)
    {
        QProcessEnvironment env = display.environment();
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("PELMORA_TEST_CAMERA", "smpte");
        env.remove("QTWEBENGINE_DISABLE_SANDBOX");
        booth.setProcessEnvironment(env);
        booth.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        booth.start(executable, {});
        QRect frame;
        const bool up = WaitFor(
            [&] {
                for (const QString& id : display.visibleWindows())
                    if (display.windowGeometry(id).size() == QSize(800, 600)) {
                        frame = display.windowGeometry(id);
                        wizard = id;
                    }
                return frame.isValid() && Painted(frame.topLeft(), "welcome", [](const QImage& s, QPoint o) {
                           // The title picture differs from the light page body.
                           const QRgb body = s.pixel(o + QPoint(100, 300));
                           return s.pixel(o + QPoint(400, 50)) != body && qGray(body) > 150;
                       });
            },
            40000, 200);
        EXPECT_TRUE(up) << "no painted welcome page";
        return frame.topLeft();
    }

    // Waits until a screenshot shows what `check` looks for; the last one is
    // kept under tests/screens.
    bool Painted(QPoint origin, const char* name, const std::function<bool(const QImage&, QPoint)>& check)
    {
        const QString path = kScreens + QStringLiteral("/installed-%1.png").arg(name);
        return WaitFor(
            [&] {
                const QImage shot = display.screenshot(path) ? QImage(path) : QImage();
                return !shot.isNull() && check(shot, origin);
            },
            20000, 200);
    }

    QString InstalledDirectory() const
    {
        QSettings s(home.filePath("config/Orvane/Pelmora 2004.conf"), QSettings::IniFormat);
        return s.value("Installed Directory").toString();
    }

    VirtualDisplay display;
    QTemporaryDir home;
    QProcess booth;
    QString wizard; // the wizard's window id
};

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
                for (int u = 0; same && u < want.width(); ++u)
                    same = have.pixel(x + u, y + v) == want.pixel(u, v);
            if (same)
                return QPoint(x, y) + want.rect().center();
        }
    return {};
}

// Whether the screen at `at` looks more like picture a than picture b.
bool LooksLike(const QImage& shot, QPoint at, const QImage& a, const QImage& b)
{
    qint64 toA = 0, toB = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const int seen = qGray(shot.pixel(at + QPoint(x, y)));
            toA += std::abs(seen - qGray(a.pixel(x, y)));
            toB += std::abs(seen - qGray(b.pixel(x, y)));
        }
    return toA < toB;
}

bool IsColour(QRgb pixel, QRgb want)
{
    return std::abs(qRed(pixel) - qRed(want)) < 16 && std::abs(qGreen(pixel) - qGreen(want)) < 16 &&
           std::abs(qBlue(pixel) - qBlue(want)) < 16;
}

TEST_F(Installed, PackagePassesItsCheckersAndItsUnpackedBoothUsesTheUsersFiles)
{
    ASSERT_EQ(RunTool(CPACK_COMMAND,
                      {"-G", "DEB", "--config", PELMORA_BUILD_DIR "/CPackConfig.cmake", "-B", PELMORA_BUILD_DIR}),
              0);
    ASSERT_TRUE(QFile::exists(PELMORA_DEB));
    QString lintian;
    EXPECT_EQ(RunTool("lintian", {"--fail-on", "error", PELMORA_DEB}, &lintian), 0) << qPrintable(lintian);
    std::printf("lintian:\n%s\n", qPrintable(lintian));

    const QString root = home.filePath("root");
    ASSERT_EQ(RunTool("dpkg-deb", {"-x", PELMORA_DEB, root}), 0);
    const QString share = root + "/usr/share";
    EXPECT_EQ(RunTool("desktop-file-validate", {share + "/applications/example.orvane.Pelmora.desktop"}), 0);
    EXPECT_EQ(RunTool("appstreamcli",
                      {"validate", "--no-net", share + "/metainfo/example.orvane.Pelmora.metainfo.xml"}),
              0);

    // The user's own layout (one place over the whole canvas) and series (a
    // green band round the picture), made with the installed tools.
    ASSERT_TRUE(QDir().mkpath(userResource()));
    ASSERT_EQ(RunTool(root + "/usr/bin/pelmora-layout", {"write", userResource() + "/Mine.dat", "0,0,320,240"}),
              0);
    QImage frame(412, 309, QImage::Format_ARGB32);
    frame.fill(QColor(0, 255, 0));
    for (int y = 30; y < 279; ++y)
        for (int x = 30; x < 382; ++x)
            frame.setPixel(x, y, qRgba(0, 0, 0, 0));
    ASSERT_TRUE(frame.save(home.filePath("green.png")));
    ASSERT_EQ(RunTool(root + "/usr/bin/pelmora-pack",
                      {"build", userResource() + "/Green.dll", "1001", home.filePath("green.png")}),
              0);

    const QStringList tree = Snapshot(root);
    const QPoint o = Start(root + "/usr/bin/pelmora");
    EXPECT_EQ(InstalledDirectory(), root + "/usr/lib/pelmora");

    // The welcome page's forward link has the focus: Enter goes to the
    // layout page, which lists the user's layout with its picture: its one
    // place over the whole canvas, a black outline round the 71 by 53 slot.
    display.key("Return", wizard);
    // Pages are told apart by their pictures, as a click lands only on a
    // page that has loaded: the Back button at 427, 564 (disabled on the
    // welcome page), the side panel at 22, 114, the Next button at 527, 564
    // (disabled on the capture page).
    const auto picture = [](const char* name) {
        return QImage(QStringLiteral(PELMORA_SOURCE_DIR "/res/pages/") + QLatin1String(name));
    };
    QImage mine(71, 53, QImage::Format_RGB32);
    mine.fill(Qt::white);
    {
        QPainter p(&mine);
        p.setPen(Qt::black);
        p.drawRect(mine.rect().adjusted(0, 0, -1, -1));
    }
    QPoint item;
    ASSERT_TRUE(Painted(o, "layouts", [&](const QImage& s, QPoint at) {
        return LooksLike(s, at + QPoint(427, 564), picture("Back.jpg"), picture("Back_Disable.jpg")) &&
               !(item = Find(s, at, mine)).isNull();
    }));
    display.click(item);
    display.click(o + QPoint(573, 575));

    // The series page: the user's series comes last, after the shipped ones.
    const QImage series(QStringLiteral(PELMORA_SOURCE_DIR "/res/bitmaps/139.bmp"));
    ASSERT_TRUE(Painted(o, "series", [&](const QImage& s, QPoint at) {
        return LooksLike(s, at + QPoint(22, 114), picture("SeriesPanel.jpg"), picture("LayoutPanel.jpg")) &&
               !(item = Find(s, at, series)).isNull();
    }));
    display.click(item);
    display.key("End", wizard);
    display.click(o + QPoint(573, 575));
    // The capture page: its frame is the user's green band over the live video.
    EXPECT_TRUE(Painted(o, "capture", [&](const QImage& s, QPoint at) {
        return LooksLike(s, at + QPoint(527, 564), picture("Next_Disable.jpg"), picture("Next.jpg")) &&
               IsColour(s.pixel(at + QPoint(80, 130)), qRgb(0, 255, 0)) &&
               !IsColour(s.pixel(at + QPoint(112, 250)), qRgb(0, 255, 0)); // the white bar
    }));

    display.click(o + QPoint(695, 575));
    ASSERT_TRUE(booth.waitForFinished(20000));
    EXPECT_EQ(booth.exitCode(), 0);
    // The installed tree is read, never written.
    EXPECT_EQ(Snapshot(root), tree);
}

TEST_F(Installed, UnderAnAwkwardlyNamedPrefixShowsItsPages)
{
    const QString prefix = home.filePath(QStringLiteral("Pel mora #1 ?50% Résumé"));
    ASSERT_EQ(RunTool(CMAKE_COMMAND, {"--install", PELMORA_BUILD_DIR, "--prefix", prefix}), 0);
    const QPoint o = Start(prefix + "/bin/pelmora");
    EXPECT_EQ(InstalledDirectory(), prefix + "/lib/pelmora");
    // Enter follows the welcome page's focused forward link to the layout
    // page, whose Back button (93 by 22, centred at 473, 575) is enabled.
    display.key("Return", wizard);
    const QImage back(QStringLiteral(PELMORA_SOURCE_DIR "/res/pages/Back.jpg"));
    const QImage disabled(QStringLiteral(PELMORA_SOURCE_DIR "/res/pages/Back_Disable.jpg"));
    EXPECT_TRUE(Painted(o, "prefix-layout", [&](const QImage& s, QPoint at) {
        return LooksLike(s, at + QPoint(427, 564), back, disabled);
    }));
    display.click(o + QPoint(695, 575));
    ASSERT_TRUE(booth.waitForFinished(20000));
}

} // namespace
