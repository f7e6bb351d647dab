// The hyperlink control: the fallback's command line, the failure texts, the
// launch outcomes, and the control on screen under real pointer moves.
#include "linklabel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <vector>

using namespace pelmora;

namespace {

const QString kUrl = QStringLiteral("http://www.orvane.example/stickers");

// ---- the fallback's command line ----

struct CommandCase {
    const char* name;
    const char* command;
    const char* expected; // with the URL "URL"
};

TEST(LinkFallbackCommand, CutsAtThePlaceholderAndAppendsTheUrl)
{
    const std::vector<CommandCase> cases = {
        // The blank before the placeholder stays: two blanks before the URL.
        {"quoted placeholder", "C:\\Browser\\browser.exe \"%1\"", "C:\\Browser\\browser.exe  URL"},
        {"unquoted placeholder", "browser %1", "browser  URL"},
        {"no placeholder", "browser -nohome", "browser -nohome URL"},
        {"text after the placeholder is dropped", "browser \"%1\" -new", "browser  URL"},
        // The quoted form is looked for first, wherever it stands.
        {"quoted wins over an earlier bare one", "browser %1 \"%1\"", "browser %1  URL"},
        {"%1 wins over desktop field codes", "browser %u %1", "browser %u  URL"},
        {"desktop %u", "firefox-esr %u", "firefox-esr  URL"},
        {"desktop quoted %U", "chromium \"%U\" --flag", "chromium  URL"},
        {"desktop %f", "viewer --open %f", "viewer --open  URL"},
        {"desktop quoted beats earlier bare code", "prog %F \"%u\"", "prog %F  URL"},
        {"empty command", "", " URL"},
    };
    for (const CommandCase& c : cases) {
        EXPECT_EQ(FallbackCommandLine(QString::fromLatin1(c.command), QStringLiteral("URL")),
                  QString::fromLatin1(c.expected))
            << c.name;
    }
    EXPECT_EQ(CutAtPlaceholder(QStringLiteral("browser -nohome")),
              QStringLiteral("browser -nohome"));
}

// ---- failure texts ----

TEST(LinkOpenError, EveryCodeHasItsText)
{
    const QString prefix = QStringLiteral("Unable to open hyperlink:\n\n");
    const std::vector<std::pair<int, const char*>> table = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
             "being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {7, "Unknown Error (7) occurred."},
        {1, "Unknown Error (1) occurred."},
        {33, "Unknown Error (33) occurred."},
        {-5, "Unknown Error (-5) occurred."},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(OpenErrorText(code), prefix + QString::fromLatin1(text)) << "code " << code;
    EXPECT_TRUE(OpenErrorText(26).endsWith(QLatin1String("occurred. ")));
}

// ---- launch outcomes ----

struct LauncherLog {
    int opens = 0;
    int lookups = 0;
    QString program;
    QStringList arguments;
};

LinkLauncher FakeLauncher(LauncherLog& log, bool opens, std::optional<QString> command,
                          int startResult)
{
    return {[&log, opens](const QUrl&) {
                ++log.opens;
                return opens;
            },
            [&log, command]() {
                ++log.lookups;
                return command;
            },
            [&log, startResult](const QString& program, const QStringList& arguments) {
                log.program = program;
                log.arguments = arguments;
                return startResult;
            }};
}

TEST(LinkOpenUrl, DesktopSuccessNeedsNoFallback)
{
    LauncherLog log;
    CLinkLabel link;
    link.SetLauncher(FakeLauncher(log, true, QStringLiteral("browser %1"), 42));
    EXPECT_GT(link.OpenUrl(kUrl), 32);
    EXPECT_EQ(log.opens, 1);
    EXPECT_EQ(log.lookups, 0);
    EXPECT_TRUE(log.program.isEmpty());
}

TEST(LinkOpenUrl, NoRegisteredHandlerReportsTheDesktopsFailure)
{
    LauncherLog log;
    CLinkLabel link;
    link.SetLauncher(FakeLauncher(log, false, std::nullopt, 42));
    EXPECT_EQ(link.OpenUrl(kUrl), kLaunchNoAssociation);
    EXPECT_EQ(log.lookups, 1);
    EXPECT_TRUE(log.program.isEmpty());
}

TEST(LinkOpenUrl, FallbackRunsTheHandlerWithTheUrlAndTakesItsResult)
{
    LauncherLog log;
    CLinkLabel link;
    link.SetLauncher(FakeLauncher(
        log, false, QStringLiteral("\"/opt/My Browser/browse\" --new-tab \"%1\" --x"), 2));
    EXPECT_EQ(link.OpenUrl(kUrl), 2);
    EXPECT_EQ(log.program, QStringLiteral("/opt/My Browser/browse"));
    EXPECT_EQ(log.arguments, QStringList({QStringLiteral("--new-tab"), kUrl}));

    // A URL with blanks and quotes stays one argument.
    const QString odd = QStringLiteral("http://x.example/a b\" --evil");
    link.SetLauncher(FakeLauncher(log, false, QStringLiteral("browse %u"), 33));
    EXPECT_EQ(link.OpenUrl(odd), 33);
    EXPECT_EQ(log.arguments, QStringList({odd}));
}

TEST(LinkOpenUrl, CommandOfNothingButThePlaceholderIsNotFound)
{
    LauncherLog log;
    CLinkLabel link;
    link.SetLauncher(FakeLauncher(log, false, QStringLiteral("\"%1\""), 33));
    EXPECT_EQ(link.OpenUrl(kUrl), kLaunchFileNotFound);
    EXPECT_TRUE(log.program.isEmpty());
}

TEST(LinkStartProgram, OutcomesMapToLaunchResults)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(StartDetachedProgram(QString(), {}), kLaunchFileNotFound);
    EXPECT_EQ(StartDetachedProgram(QStringLiteral("pelmora-no-such-program-anywhere"), {}),
              kLaunchFileNotFound);
    EXPECT_EQ(StartDetachedProgram(dir.filePath(QStringLiteral("missing/prog")), {}),
              kLaunchPathNotFound);
    EXPECT_EQ(StartDetachedProgram(dir.filePath(QStringLiteral("prog")), {}), kLaunchFileNotFound);

    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("not a program\n");
    plain.close();
    plain.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(StartDetachedProgram(plain.fileName(), {}), kLaunchAccessDenied);
    EXPECT_EQ(StartDetachedProgram(dir.path(), {}), kLaunchAccessDenied);

    EXPECT_EQ(StartDetachedProgram(QStringLiteral("true"), {}), kLaunchOpened);
}

// Sets environment variables for one test and puts the old values back.
class ScopedEnv
{
public:
    void set(const char* name, const QByteArray& value)
    {
        m_saved.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->wasSet)
                qputenv(it->name, it->value);
            else
                qunsetenv(it->name);
        }
    }

private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool wasSet;
    };
    std::vector<Saved> m_saved;
};

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The whole fallback with the desktop's own tools: xdg-mime names the
// default text/html handler, its desktop entry gives the command, and the
// handler (a script) receives the URL.
TEST(LinkOpenUrl, FallbackThroughTheDesktopsHtmlHandler)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString dataHome = dir.filePath(QStringLiteral("data"));
    const QString configHome = dir.filePath(QStringLiteral("config"));
    ASSERT_TRUE(QDir().mkpath(dataHome + QStringLiteral("/applications")));
    ASSERT_TRUE(QDir().mkpath(configHome));
    const QString received = dir.filePath(QStringLiteral("received.txt"));
    const QString script = dir.filePath(QStringLiteral("my browser.sh"));
    ASSERT_TRUE(
        WriteFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                              received.toUtf8() + ".part\"\nmv \"" + received.toUtf8() +
                              ".part\" \"" + received.toUtf8() + "\"\n"));
    QFile(script).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(
        WriteFile(dataHome + QStringLiteral("/applications/pelmora-test-browser.desktop"),
                  "[Desktop Action other]\nExec=/bin/false\n\n[Desktop Entry]\nType=Application\n"
                  "Name=Test browser\nExec=\"" +
                      script.toUtf8() + "\" --new-window %u\nMimeType=text/html;\n"));
    ASSERT_TRUE(WriteFile(configHome + QStringLiteral("/mimeapps.list"),
                          "[Default Applications]\ntext/html=pelmora-test-browser.desktop\n"));

    ScopedEnv env;
    env.set("XDG_DATA_HOME", dataHome.toUtf8());
    env.set("XDG_CONFIG_HOME", configHome.toUtf8());
    env.set("XDG_DATA_DIRS", dir.filePath(QStringLiteral("nowhere")).toUtf8());
    env.set("XDG_CURRENT_DESKTOP", "");
    env.set("DE", "generic");

    const std::optional<QString> command = DesktopHtmlCommand();
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(*command, QStringLiteral("\"%1\" --new-window %u").arg(script));

    CLinkLabel link;
    LinkLauncher launcher = LinkLauncher::Desktop();
    launcher.openUrl = [](const QUrl&) { return false; };
    link.SetLauncher(launcher);
    const QString url = QStringLiteral("mailto:support@orvane.example");
    EXPECT_EQ(link.OpenUrl(url), kLaunchOpened);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(received); }, 20000));
    QFile got(received);
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    EXPECT_EQ(got.readAll(), QByteArray("--new-window\n") + url.toUtf8() + '\n');
}

TEST(LinkOpenUrl, NoDefaultHandlerMeansNoCommand)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ScopedEnv env;
    env.set("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    env.set("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    env.set("XDG_DATA_DIRS", dir.filePath(QStringLiteral("nowhere")).toUtf8());
    env.set("XDG_CONFIG_DIRS", dir.filePath(QStringLiteral("nowhere")).toUtf8());
    env.set("XDG_CURRENT_DESKTOP", "");
    env.set("DE", "generic");
    EXPECT_FALSE(DesktopHtmlCommand().has_value());
}

// ---- the control on screen ----

// Counts the pixels of exactly one colour, and the longest run of it in any
// row (an underline is a run as wide as the text).
struct ColourCount {
    int pixels = 0;
    int longestRow = 0;
};

ColourCount CountColour(const QImage& image, const QColor& colour)
{
    ColourCount count;
    const QRgb wanted = colour.rgb();
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) | 0xff000000u) == wanted) {
                ++count.pixels;
                count.longestRow = std::max(count.longestRow, ++run);
            } else {
                run = 0;
            }
        }
    }
    return count;
}

class LinkOnScreen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window.resize(400, 120);
        m_window.setObjectName(QStringLiteral("linkHost"));
        m_link = new CLinkLabel(&m_window);
        m_link->setText(kUrl);
        m_link->setGeometry(20, 20, 300, 40);
        m_link->SetLauncher(FakeLauncher(m_log, true, std::nullopt, 0));
    }

    void ShowAttached()
    {
        m_link->Attach();
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        // Start with the pointer off the link: the pointer stays where the
        // previous case left it, and a move to the same place is no move.
        QTest::mouseMove(&m_window, QPoint(390, 110));
    }

    QImage Shot() const { return m_link->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // Moves the pointer over the link, then off it, and waits for the
    // pointer watch to notice.
    void HoverThenLeave()
    {
        QTest::mouseMove(m_link, QPoint(5, m_link->height() / 2));
        ASSERT_TRUE(m_link->IsHovering());
        QTest::mouseMove(&m_window, QPoint(390, 110));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_link->IsHovering(); }, 5000));
    }

    QWidget m_window;
    CLinkLabel* m_link = nullptr;
    LauncherLog m_log;
};

TEST_F(LinkOnScreen, SetUpTakesTheTextAsUrlAndFitsTheText)
{
    ShowAttached();
    EXPECT_EQ(m_link->GetUrl(), kUrl);
    EXPECT_EQ(m_link->toolTip(), kUrl);
    EXPECT_EQ(m_link->cursor().shape(), Qt::PointingHandCursor);
    QFont underlined = m_link->font();
    underlined.setUnderline(true);
    const QFontMetrics metrics(underlined);
    EXPECT_EQ(m_link->geometry(), QRect(20, 20, metrics.horizontalAdvance(kUrl), metrics.height()));
    EXPECT_FALSE(m_link->font().underline());
}

TEST_F(LinkOnScreen, EmptyTextTakesTheUrl)
{
    m_link->setText(QString());
    m_link->SetUrl(kUrl);
    ShowAttached();
    EXPECT_EQ(m_link->text(), kUrl);
}

TEST_F(LinkOnScreen, HoverColourAndUnderlineComeAndGoWithThePointer)
{
    ShowAttached();
    const ColourCount before = CountColour(Shot(), m_link->m_clrLink);
    EXPECT_GT(before.pixels, 0);
    EXPECT_LT(before.longestRow, m_link->width() / 2) << "no underline before the pointer comes";
    EXPECT_EQ(CountColour(Shot(), m_link->m_clrHover).pixels, 0);

    QTest::mouseMove(m_link, QPoint(5, 5));
    EXPECT_TRUE(m_link->IsHovering());
    EXPECT_TRUE(m_link->font().underline());
    const ColourCount hovered = CountColour(Shot(), m_link->m_clrHover);
    EXPECT_GT(hovered.longestRow, m_link->width() * 9 / 10) << "underlined while hovered";
    EXPECT_EQ(CountColour(Shot(), m_link->m_clrLink).pixels, 0);

    // Moving within the control changes nothing.
    QTest::mouseMove(m_link, QPoint(m_link->width() - 3, m_link->height() - 2));
    EXPECT_TRUE(m_link->IsHovering());

    // Off the control: the watch notices within a few ticks.
    QTest::mouseMove(&m_window, QPoint(390, 110));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_link->IsHovering(); }, 5000));
    EXPECT_FALSE(m_link->font().underline());
    const ColourCount after = CountColour(Shot(), m_link->m_clrLink);
    EXPECT_EQ(after.pixels, before.pixels);
    EXPECT_EQ(CountColour(Shot(), m_link->m_clrHover).pixels, 0);

    // And it comes back on the next visit.
    QTest::mouseMove(m_link, QPoint(8, 6));
    EXPECT_TRUE(m_link->IsHovering());
    EXPECT_GT(CountColour(Shot(), m_link->m_clrHover).pixels, 0);
}

TEST_F(LinkOnScreen, UnderlineModes)
{
    // Always underlined, from the set-up on and after the pointer has gone.
    m_link->SetUnderlineMode(1);
    ShowAttached();
    EXPECT_TRUE(m_link->font().underline());
    EXPECT_GT(CountColour(Shot(), m_link->m_clrLink).longestRow, m_link->width() * 9 / 10);
    HoverThenLeave();
    EXPECT_TRUE(m_link->font().underline());

    // Never underlined, even while hovered.
    m_link->SetUnderlineMode(0);
    EXPECT_FALSE(m_link->font().underline());
    QTest::mouseMove(m_link, QPoint(5, 5));
    EXPECT_TRUE(m_link->IsHovering());
    EXPECT_FALSE(m_link->font().underline());
    EXPECT_LT(CountColour(Shot(), m_link->m_clrHover).longestRow, m_link->width() / 2);
}

TEST_F(LinkOnScreen, SuccessfulClickShowsVisitedAtOnceHoverReturnsOnTheNextMove)
{
    ShowAttached();
    QTest::mouseMove(m_link, QPoint(5, 5));
    ASSERT_TRUE(m_link->IsHovering());
    QTest::mouseClick(m_link, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(m_log.opens, 1);
    EXPECT_TRUE(m_link->IsVisited());
    EXPECT_FALSE(m_link->IsHovering());
    EXPECT_EQ(m_link->TextColour(), m_link->m_clrVisited);
    EXPECT_GT(CountColour(Shot(), m_link->m_clrVisited).pixels, 0);
    EXPECT_EQ(CountColour(Shot(), m_link->m_clrHover).pixels, 0);

    QTest::mouseMove(m_link, QPoint(7, 6));
    EXPECT_TRUE(m_link->IsHovering());
    EXPECT_GT(CountColour(Shot(), m_link->m_clrHover).pixels, 0);

    QTest::mouseMove(&m_window, QPoint(390, 110));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_link->IsHovering(); }, 5000));
    EXPECT_GT(CountColour(Shot(), m_link->m_clrVisited).pixels, 0);
}

TEST_F(LinkOnScreen, FailedClickReportsAndShowsTheLinkUnvisited)
{
    ShowAttached();
    m_link->SetVisited(true);
    m_link->SetLauncher(FakeLauncher(m_log, false, QStringLiteral("browser \"%1\""), 2));

    QString shownText;
    QString shownTitle;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons shownButtons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        shownText = box->text();
        shownTitle = box->windowTitle();
        shownIcon = box->icon();
        shownButtons = box->standardButtons();
        box->accept();
    });
    QTest::mouseClick(m_link, Qt::LeftButton, {}, QPoint(5, 5));

    EXPECT_EQ(shownText,
              QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."));
    EXPECT_EQ(shownIcon, QMessageBox::Warning);
    EXPECT_EQ(shownButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(shownTitle.isEmpty());
    EXPECT_EQ(m_log.program, QStringLiteral("browser"));
    EXPECT_EQ(m_log.arguments, QStringList({kUrl}));
    EXPECT_FALSE(m_link->IsVisited());
    m_link->repaint();
    EXPECT_GT(CountColour(Shot(), m_link->m_clrLink).pixels, 0);
    EXPECT_EQ(CountColour(Shot(), m_link->m_clrVisited).pixels, 0);
}

TEST_F(LinkOnScreen, UnattachedControlIsAPlainStatic)
{
    m_window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    m_link->SetUrl(kUrl);
    m_link->SetVisited(true);
    m_link->SetUnderlineMode(1);
    EXPECT_EQ(m_link->geometry(), QRect(20, 20, 300, 40)) << "no fitting without the set-up";
    QTest::mouseMove(m_link, QPoint(5, 5));
    EXPECT_FALSE(m_link->IsHovering());
    QTest::mouseClick(m_link, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(m_log.opens, 0);
    EXPECT_FALSE(m_link->font().underline());
}

// ---- fitting to the text ----

struct FitCase {
    const char* name;
    Qt::Alignment alignment;
    bool framed;
};

TEST(LinkFitToText, AlignmentDecidesWhichEdgesMove)
{
    const QString text = QStringLiteral("mailto:someone@orvane.example");
    for (const FitCase& c :
         {FitCase{"left top", Qt::AlignLeft | Qt::AlignTop, false},
          FitCase{"centred both ways", Qt::AlignHCenter | Qt::AlignVCenter, false},
          FitCase{"right top", Qt::AlignRight | Qt::AlignTop, false},
          FitCase{"left top with a frame", Qt::AlignLeft | Qt::AlignTop, true},
          FitCase{"centred with a frame", Qt::AlignCenter, true}}) {
        QWidget host;
        host.resize(500, 200);
        CLinkLabel link(&host);
        link.setAlignment(c.alignment);
        if (c.framed) {
            link.setFrameStyle(QFrame::Box | QFrame::Plain);
            link.setLineWidth(2);
        }
        link.setText(text);
        link.setGeometry(30, 40, 301, 51);
        link.Attach();

        QFont underlined = link.font();
        underlined.setUnderline(true);
        const QFontMetrics metrics(underlined);
        const int border = c.framed ? 4 : 0;
        const int w = metrics.horizontalAdvance(text) + border;
        const int h = metrics.height() + border;
        QRect expected;
        if (c.alignment & Qt::AlignHCenter) {
            const int shrink = (301 - w) / 2;
            expected.setLeft(30 + shrink);
            expected.setRight(30 + 301 - shrink - 1);
        } else if (c.alignment & Qt::AlignRight) {
            expected.setLeft(30 + 301 - w);
            expected.setRight(30 + 301 - 1);
        } else {
            expected.setLeft(30);
            expected.setRight(30 + w - 1);
        }
        if (c.alignment & Qt::AlignVCenter) {
            const int shrink = (51 - h) / 2;
            expected.setTop(40 + shrink);
            expected.setBottom(40 + 51 - shrink - 1);
        } else {
            expected.setTop(40);
            expected.setBottom(40 + h - 1);
        }
        EXPECT_EQ(link.geometry(), expected) << c.name;
    }
}

TEST(LinkFitToText, OffKeepsTheGeometryAndGrowingWorksToo)
{
    QWidget host;
    CLinkLabel fixed(&host);
    fixed.setText(QStringLiteral("a long text that would not fit into the control"));
    fixed.setGeometry(5, 6, 20, 10);
    fixed.SetFitToText(false);
    fixed.Attach();
    EXPECT_EQ(fixed.geometry(), QRect(5, 6, 20, 10));

    // Centred in a control smaller than the text: it grows about its centre.
    CLinkLabel small(&host);
    small.setAlignment(Qt::AlignCenter);
    small.setText(QStringLiteral("a long text that needs room"));
    small.setGeometry(100, 100, 10, 4);
    small.Attach();
    QFont underlined = small.font();
    underlined.setUnderline(true);
    const QFontMetrics metrics(underlined);
    const int w = metrics.horizontalAdvance(small.text());
    const int h = metrics.height();
    const int dx = (10 - w) / 2; // negative: truncates toward zero
    const int dy = (4 - h) / 2;
    EXPECT_EQ(small.geometry(), QRect(100 + dx, 100 + dy, 10 - 2 * dx, 4 - 2 * dy));
}

} // namespace
