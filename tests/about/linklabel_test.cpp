// The hyperlink control: how it launches, and on screen under real pointer moves.
#include "../package/bytes.h"
#include "linklabel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <vector>

using namespace pelmora;
using testbytes::WriteAll;

namespace {

const QString kUrl = QStringLiteral("http://www.orvane.example/stickers");

TEST(LinkFallbackCommand, CutsAtThePlaceholderAndAppendsTheUrl)
{
    // The blank before the placeholder stays; the quoted form wins, then %1, then the earliest field code.
    const std::pair<const char*, const char*> cases[] = {
        {"browser -nohome", "browser -nohome URL"}, {"browser %1 \"%1\"", "browser %1  URL"},
        {"browser %u %1", "browser %u  URL"}, {"chromium \"%U\" --flag", "chromium  URL"},
        {"prog %F \"%u\"", "prog %F  URL"}, {"viewer --open %f -x %u", "viewer --open  URL"}};
    for (const auto& [command, expected] : cases)
        EXPECT_EQ(FallbackCommandLine(command, "URL"), expected) << command;
}

TEST(LinkOpenError, KnownCodesHaveTheirTextOthersTheirNumber)
{
    const std::pair<int, const char*> cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {26, "A sharing violation occurred. "},
        {32, "The specified dynamic-link library was not found."},
        {1, "Unknown Error (1) occurred."}, {33, "Unknown Error (33) occurred."}};
    for (const auto& [code, text] : cases)
        EXPECT_EQ(OpenErrorText(code), "Unable to open hyperlink:\n\n" + QString(text)) << code;
}

struct LauncherLog {
    int opens = 0, lookups = 0;
    QString program;
    QStringList arguments;
};

LinkLauncher FakeLauncher(LauncherLog& log, bool opens, std::optional<QString> command, int startResult)
{
    return {[&log, opens](const QUrl&) { return ++log.opens, opens; },
            [&log, command]() { return ++log.lookups, command; },
            [&log, startResult](const QString& program, const QStringList& arguments) {
                log.program = program, log.arguments = arguments;
                return startResult;
            }};
}

struct OpenCase {
    const char* name;
    bool desktopOpens;
    std::optional<QString> command;
    QString url;
    int result;
    QString program; // empty: nothing started
    QStringList arguments;
};

TEST(LinkOpenUrl, DesktopFirstThenTheHtmlHandler)
{
    const QString odd = QStringLiteral("http://x.example/a b\" --evil");
    const std::vector<OpenCase> cases = {
        {"desktop opens it", true, QStringLiteral("browser %1"), kUrl, kLaunchOpened, {}, {}},
        {"no handler", false, std::nullopt, kUrl, kLaunchNoAssociation, {}, {}},
        {"handler's own result", false, QStringLiteral("\"/opt/My Browser/browse\" --new-tab \"%1\" --x"),
         kUrl, 2, QStringLiteral("/opt/My Browser/browse"), {QStringLiteral("--new-tab"), kUrl}},
        {"odd URL stays one argument", false, "browse %u", odd, 33, "browse", {odd}},
        {"nothing but the placeholder", false, QStringLiteral("\"%1\""), kUrl, kLaunchFileNotFound, {}, {}},
    };
    for (const OpenCase& c : cases) {
        LauncherLog log;
        CLinkLabel link;
        link.SetLauncher(FakeLauncher(log, c.desktopOpens, c.command, c.result));
        EXPECT_EQ(link.OpenUrl(c.url), c.result) << c.name;
        EXPECT_EQ(log.lookups, c.desktopOpens ? 0 : 1) << c.name;
        EXPECT_EQ(log.program, c.program) << c.name;
        EXPECT_EQ(log.arguments, c.arguments) << c.name;
    }
}

TEST(LinkStartProgram, OutcomesMapToLaunchResults)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath("plain");
    ASSERT_TRUE(WriteAll(plain, "not a program\n"));
    const std::pair<QString, int> cases[] = {
        {"pelmora-no-such-program-anywhere", kLaunchFileNotFound}, {"true", kLaunchOpened},
        {dir.filePath("missing/prog"), kLaunchPathNotFound}, {dir.filePath("prog"), kLaunchFileNotFound},
        {plain, kLaunchAccessDenied}, {dir.path(), kLaunchAccessDenied}};
    for (const auto& [program, result] : cases)
        EXPECT_EQ(StartDetachedProgram(program, {}), result) << program.toStdString();
}

// The fallback with the desktop's own tools: xdg-mime names the text/html handler, its entry the command.
TEST(LinkOpenUrl, FallbackThroughTheDesktopsHtmlHandler)
{
    QTemporaryDir dir;
    const QString data = dir.filePath("data"), config = dir.filePath("config"), nowhere = dir.filePath("nowhere");
    ASSERT_TRUE(QDir().mkpath(data + "/applications") && QDir().mkpath(config));
    const QProcessEnvironment saved = QProcessEnvironment::systemEnvironment();
    const std::pair<const char*, QString> desktop[] = {{"XDG_DATA_HOME", data}, {"XDG_CONFIG_HOME", config},
        {"XDG_DATA_DIRS", nowhere}, {"XDG_CONFIG_DIRS", nowhere}, {"XDG_CURRENT_DESKTOP", ""}, {"DE", "generic"}};
    for (const auto& [name, value] : desktop)
        qputenv(name, value.toUtf8());
    EXPECT_FALSE(DesktopHtmlCommand().has_value()) << "no default handler yet";

    const QByteArray received = dir.filePath("received.txt").toUtf8();
    const QString script = dir.filePath("my browser.sh");
    ASSERT_TRUE(WriteAll(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                     received + ".part\"\nmv \"" + received + ".part\" \"" + received + "\"\n"));
    QFile(script).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(WriteAll(data + "/applications/pelmora-test-browser.desktop",
                         "[Desktop Action other]\nExec=/bin/false\n\n[Desktop Entry]\nType=Application\n"
                         "Name=Test browser\nExec=\"" + script.toUtf8() + "\" --new-window %u\nMimeType=text/html;\n"));
    ASSERT_TRUE(WriteAll(config + "/mimeapps.list",
                         "[Default Applications]\ntext/html=pelmora-test-browser.desktop\n"));
    EXPECT_EQ(DesktopHtmlCommand(), QStringLiteral("\"%1\" --new-window %u").arg(script));

    CLinkLabel link;
    LinkLauncher launcher = LinkLauncher::Desktop();
    launcher.openUrl = [](const QUrl&) { return false; };
    link.SetLauncher(launcher);
    EXPECT_EQ(link.OpenUrl(kUrl), kLaunchOpened);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(received); }, 20000));
    EXPECT_EQ(testbytes::ReadAll(received), "--new-window\n" + kUrl.toUtf8() + '\n');

    for (const auto& [name, value] : desktop)
        saved.contains(name) ? qputenv(name, saved.value(name).toLocal8Bit()) : qunsetenv(name);
}

// Pixels of one colour, and their longest run in a row (an underline is a long run).
struct ColourCount {
    int pixels = 0, longestRow = 0;
};

class LinkOnScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window.resize(400, 120);
        m_link = new CLinkLabel(&m_window);
        m_link->setText(kUrl);
        m_link->setGeometry(20, 20, 300, 40);
        m_link->SetLauncher(FakeLauncher(m_log, true, std::nullopt, 0));
    }

    void ShowAttached(bool attach = true)
    {
        if (attach)
            m_link->Attach();
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        // The pointer stays where the previous case left it.
        QTest::mouseMove(&m_window, QPoint(390, 110));
    }

    ColourCount Count(const QColor& colour) const
    {
        const QImage image = m_link->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ColourCount count;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0, run = 0; x < image.width(); ++x) {
                run = (image.pixel(x, y) | 0xff000000u) == colour.rgb() ? run + 1 : 0;
                count.pixels += run > 0;
                count.longestRow = std::max(count.longestRow, run);
            }
        return count;
    }
    int Underline() const { return m_link->width() * 9 / 10; }

    void Hover(bool over)
    {
        if (over) {
            QTest::mouseMove(m_link, QPoint(5, 5));
            ASSERT_TRUE(m_link->IsHovering());
        } else {
            // The pointer watch notices within a few ticks.
            QTest::mouseMove(&m_window, QPoint(390, 110));
            ASSERT_TRUE(QTest::qWaitFor([&] { return !m_link->IsHovering(); }, 5000));
        }
    }

    QWidget m_window;
    CLinkLabel* m_link = nullptr;
    LauncherLog m_log;
};

TEST_F(LinkOnScreen, FitsHoversOpensAndReportsAFailedOpen)
{
    ShowAttached();
    EXPECT_EQ(m_link->toolTip(), kUrl);
    EXPECT_EQ(m_link->cursor().shape(), Qt::PointingHandCursor);
    const ColourCount before = Count(m_link->m_clrLink);
    EXPECT_GT(before.pixels, 0);
    EXPECT_LT(before.longestRow, m_link->width() / 2) << "no underline before the pointer comes";
    // The text is painted in one colour: one count tells which.
    Hover(true);
    EXPECT_GT(Count(m_link->m_clrHover).longestRow, Underline()) << "underlined while hovered";
    Hover(false);
    EXPECT_EQ(Count(m_link->m_clrLink).pixels, before.pixels);

    Hover(true);
    QTest::mouseClick(m_link, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(m_log.opens, 1);
    EXPECT_GT(Count(m_link->m_clrVisited).pixels, 0);
    QTest::mouseMove(m_link, QPoint(7, 6));
    EXPECT_GT(Count(m_link->m_clrHover).pixels, 0);
    Hover(false);
    EXPECT_GT(Count(m_link->m_clrVisited).pixels, 0);

    m_link->SetLauncher(FakeLauncher(m_log, false, QStringLiteral("browser \"%1\""), 2));
    QString shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text(), icon = box->icon(), buttons = box->standardButtons();
            box->accept();
        }
    });
    QTest::mouseClick(m_link, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(shown, QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(m_log.arguments, QStringList({kUrl}));
    Hover(false);
    EXPECT_GT(Count(m_link->m_clrLink).pixels, 0);
}

TEST_F(LinkOnScreen, UnderlineModesAndAnEmptyTextTakingTheUrl)
{
    m_link->setText(QString());
    m_link->SetUrl(kUrl);
    m_link->SetUnderlineMode(1);
    ShowAttached();
    EXPECT_EQ(m_link->text(), kUrl);
    EXPECT_GT(Count(m_link->m_clrLink).longestRow, Underline()) << "always underlined";
    Hover(true);
    Hover(false);
    EXPECT_TRUE(m_link->font().underline());
    m_link->SetUnderlineMode(0);
    Hover(true);
    EXPECT_LT(Count(m_link->m_clrHover).longestRow, m_link->width() / 2) << "never underlined, even hovered";
}

TEST_F(LinkOnScreen, UnattachedControlIsAPlainStatic)
{
    ShowAttached(false); // no fitting, hovering, underlining or opening without the set-up
    m_link->SetUnderlineMode(1);
    EXPECT_EQ(m_link->geometry(), QRect(20, 20, 300, 40));
    QTest::mouseMove(m_link, QPoint(5, 5));
    EXPECT_FALSE(m_link->IsHovering());
    QTest::mouseClick(m_link, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(m_log.opens, 0);
    EXPECT_FALSE(m_link->font().underline());
}

// Left or right alignment keeps that edge; centred, each moves by half the difference, truncated toward zero.
TEST(LinkFitToText, AlignmentDecidesWhichEdgesMove)
{
    const QString text = QStringLiteral("mailto:someone@orvane.example");
    const std::tuple<Qt::Alignment, bool, QRect> cases[] = {{Qt::AlignLeft | Qt::AlignTop, false, {30, 40, 301, 51}},
                                                            {Qt::AlignRight | Qt::AlignTop, false, {30, 40, 301, 51}},
                                                            {Qt::AlignCenter, true, {30, 40, 301, 51}},
                                                            {Qt::AlignCenter, false, {100, 100, 10, 4}}};
    for (const auto& [alignment, framed, control] : cases) {
        QWidget host;
        CLinkLabel link(&host);
        link.setAlignment(alignment);
        link.setFrameStyle(framed ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
        link.setLineWidth(2);
        link.setText(text);
        link.setGeometry(control);
        link.Attach();
        QFont underlined = link.font();
        underlined.setUnderline(true);
        const QFontMetrics metrics(underlined);
        const QSize fit(metrics.horizontalAdvance(text) + framed * 4, metrics.height() + framed * 4);
        const int dx = (control.width() - fit.width()) / 2, dy = (control.height() - fit.height()) / 2;
        QRect expected(control.topLeft(), fit);
        if (alignment & Qt::AlignHCenter)
            expected.setCoords(control.left() + dx, control.top() + dy, control.right() - dx, control.bottom() - dy);
        else if (alignment & Qt::AlignRight)
            expected.moveRight(control.right());
        EXPECT_EQ(link.geometry(), expected) << int(alignment) << framed;
    }
    CLinkLabel fixed;
    fixed.setText(QStringLiteral("a long text that would not fit into the control"));
    fixed.setGeometry(5, 6, 20, 10);
    fixed.SetFitToText(false);
    fixed.Attach();
    EXPECT_EQ(fixed.geometry(), QRect(5, 6, 20, 10));
}

} // namespace
