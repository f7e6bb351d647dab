// The four wizard pages in a real web view at the booth's 800 by 600: where
// every picture lands, which links each page carries, what the page scripts
// do, and a screenshot of each page for a person to look at.
#include "pagehost.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QRect>
#include <QTest>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// Geometry every test measures with, defined once in the page.
const char* const kHelpers = R"JS(
window.__r = function (el) {
    var b = el.getBoundingClientRect();
    return [b.left, b.top, b.width, b.height];
};
window.__img = function (src) {
    var all = document.images;
    for (var i = 0; i < all.length; i++)
        if (all[i].getAttribute("src") == src) return all[i];
    return null;
};
JSON.stringify(true)
)JS";

struct Box {
    double x = -1, y = -1, w = -1, h = -1;
    double right() const { return x + w; }
    double bottom() const { return y + h; }
};

Box toBox(const QJsonValue& v)
{
    const QJsonArray a = v.toArray();
    if (a.size() != 4)
        return {};
    return {a[0].toDouble(), a[1].toDouble(), a[2].toDouble(), a[3].toDouble()};
}

::testing::AssertionResult boxIs(const Box& b, double x, double y, double w, double h)
{
    if (b.x == x && b.y == y && b.w == w && b.h == h)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "box " << b.x << "," << b.y << " " << b.w << "x" << b.h
                                         << ", expected " << x << "," << y << " " << w << "x" << h;
}

struct PageCase {
    const char* address;  // the name the booth asks for
    const char* panel;    // the side picture
    const char* back;     // Back.jpg or Back_Disable.jpg
    const char* next;     // Next.jpg or Next_Disable.jpg
    const char* forward;  // the link with id "q"
    std::vector<std::pair<const char*, const char*>> links; // href -> picture or text
    bool emptyPanel;      // the list view shows through the light panel
};

const PageCase kWizardPages[] = {
    {"welcome.htm", "WelcomePanel.jpg", "Back_Disable.jpg", "Next_Disable.jpg", "pk://Next/Layout.htm",
     {{"pk://Next/Layout.htm", "GetStarted.jpg"},
      {"pk://Help/", "Learn more about Pelmora 2004"},
      {"pk://About/", "Help.jpg"},
      {"pk://Cancel/", "Cancel.jpg"}},
     false},
    {"Layout.htm", "LayoutPanel.jpg", "Back.jpg", "Next.jpg", "pk://Next/Series.htm",
     {{"pk://About/", "Help.jpg"},
      {"pk://Back/Welcome.htm", "Back.jpg"},
      {"pk://Next/Series.htm", "Next.jpg"},
      {"pk://Cancel/", "Cancel.jpg"}},
     true},
    {"Series.htm", "SeriesPanel.jpg", "Back.jpg", "Next.jpg", "pk://Next/Capture.htm",
     {{"pk://About/", "Help.jpg"},
      {"pk://Back/Layout.htm", "Back.jpg"},
      {"pk://Next/Capture.htm", "Next.jpg"},
      {"pk://Cancel/", "Cancel.jpg"}},
     true},
};

class PageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_host = std::make_unique<PageHost>(); }
    static void TearDownTestSuite() { s_host.reset(); }

    void open(const QString& name)
    {
        ASSERT_TRUE(s_host->load(name)) << name.toStdString();
        ASSERT_TRUE(s_host->eval(QString::fromUtf8(kHelpers)).toBool());
    }
    // The panel animation has run its ten steps.
    void openSettled(const QString& name)
    {
        open(name);
        ASSERT_TRUE(s_host->waitUntil(QStringLiteral(
            "document.getElementById('panel').getBoundingClientRect().height >= 259")));
    }
    QJsonValue js(const QString& expression)
    {
        return s_host->eval(QStringLiteral("JSON.stringify(%1)").arg(expression));
    }
    Box imageBox(const char* src)
    {
        return toBox(js(QStringLiteral("__r(__img('%1'))").arg(QLatin1String(src))));
    }
    static PageHost& host() { return *s_host; }

    // Every picture finished loading, at exactly the size the page declares.
    void expectPicturesAtDeclaredSize()
    {
        const QJsonArray images = js(QStringLiteral(
            "Array.prototype.map.call(document.images, function (i) {"
            "  var b = i.getBoundingClientRect();"
            "  return [i.getAttribute('src'), i.complete, i.naturalWidth, i.naturalHeight,"
            "          +i.getAttribute('width'), +i.getAttribute('height'), b.width, b.height]; })"))
                                      .toArray();
        ASSERT_FALSE(images.isEmpty());
        for (const QJsonValue& v : images) {
            const QJsonArray i = v.toArray();
            const std::string src = i[0].toString().toStdString();
            EXPECT_TRUE(i[1].toBool()) << src;
            EXPECT_EQ(i[2].toInt(), i[4].toInt()) << src << " natural width";
            EXPECT_EQ(i[3].toInt(), i[5].toInt()) << src << " natural height";
            EXPECT_EQ(i[6].toDouble(), i[4].toDouble()) << src << " shown width";
            EXPECT_EQ(i[7].toDouble(), i[5].toDouble()) << src << " shown height";
        }
    }

    // Title on top, borders around the body, nothing to scroll.
    void expectFrame()
    {
        EXPECT_TRUE(boxIs(imageBox("Title.jpg"), 0, 0, 800, 100));
        EXPECT_TRUE(boxIs(imageBox("LeftBorder.jpg"), 0, 100, 4, 500));
        EXPECT_TRUE(boxIs(imageBox("RightBorder.jpg"), 797, 100, 3, 500));
        EXPECT_TRUE(boxIs(imageBox("BottomBorder.jpg"), 4, 598, 793, 2));
        const QJsonArray size = js(QStringLiteral(
            "[document.documentElement.scrollWidth, document.documentElement.scrollHeight,"
            " window.innerWidth - document.documentElement.clientWidth,"
            " window.innerHeight - document.documentElement.clientHeight,"
            " getComputedStyle(document.body).overflow, getComputedStyle(document.body).marginLeft,"
            " getComputedStyle(document.body).marginTop]"))
                                    .toArray();
        EXPECT_EQ(size[0].toInt(), 800);
        EXPECT_EQ(size[1].toInt(), 600);
        EXPECT_EQ(size[2].toInt(), 0) << "vertical scroll bar";
        EXPECT_EQ(size[3].toInt(), 0) << "horizontal scroll bar";
        EXPECT_EQ(size[4].toString(), QStringLiteral("hidden"));
        EXPECT_EQ(size[5].toString(), QStringLiteral("0px"));
        EXPECT_EQ(size[6].toString(), QStringLiteral("0px"));
    }

    // The four buttons of the bar, centred at x 267.5, 473.5, 573.5 and
    // 695.5 (pixels 267, 473, 573, 695), y 575.
    void expectButtonBar(const char* back, const char* next)
    {
        const char* buttons[] = {"Help.jpg", back, next, "Cancel.jpg"};
        const double centres[] = {267.5, 473.5, 573.5, 695.5};
        for (int i = 0; i < 4; ++i) {
            const Box b = imageBox(buttons[i]);
            EXPECT_EQ(b.x + b.w / 2, centres[i]) << buttons[i];
            EXPECT_EQ(b.y + b.h / 2, 575) << buttons[i];
        }
    }

    // Each link with what carries it: its picture's name or its text.
    std::vector<std::pair<QString, QString>> links()
    {
        std::vector<std::pair<QString, QString>> out;
        const QJsonArray all = js(QStringLiteral(
            "Array.prototype.map.call(document.querySelectorAll('a[href]'), function (a) {"
            "  var i = a.querySelector('img');"
            "  return [a.getAttribute('href'), i ? i.getAttribute('src') : a.textContent]; })"))
                                   .toArray();
        for (const QJsonValue& v : all)
            out.emplace_back(v.toArray()[0].toString(), v.toArray()[1].toString());
        return out;
    }

    // Keydowns the page cancels: Backspace, anything with Ctrl, anything
    // with Alt except F4. Synthetic events first, then real keys.
    void expectKeysCancelled()
    {
        const QJsonArray prevented = js(QStringLiteral(
            "(function () {"
            "  function k(code, alt, ctrl) {"
            "    var e = new KeyboardEvent('keydown', {keyCode: code, which: code, altKey: alt,"
            "                                          ctrlKey: ctrl, bubbles: true, cancelable: true});"
            "    document.body.dispatchEvent(e);"
            "    return [e.keyCode, e.defaultPrevented]; }"
            "  return [k(8, false, false), k(65, false, true), k(88, true, false),"
            "          k(115, true, false), k(65, false, false), k(115, false, false),"
            "          k(37, true, false), k(9, false, false)]; })()"))
                                        .toArray();
        const int codes[] = {8, 65, 88, 115, 65, 115, 37, 9};
        const bool expected[] = {true, true, true, false, false, false, true, false};
        ASSERT_EQ(prevented.size(), 8);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(prevented[i].toArray()[0].toInt(), codes[i]) << "case " << i;
            EXPECT_EQ(prevented[i].toArray()[1].toBool(), expected[i]) << "case " << i;
        }

        ASSERT_TRUE(js(QStringLiteral(
                           "(function () { window.__keys = [];"
                           "  window.addEventListener('keydown', function (e) {"
                           "    window.__keys.push([e.keyCode, e.altKey, e.ctrlKey, e.defaultPrevented]); });"
                           "  return true; })()"))
                        .toBool());
        QWidget* target = host().view()->focusProxy();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, Qt::Key_Backspace);
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_Left, Qt::AltModifier);
        QTest::keyClick(target, Qt::Key_F4, Qt::AltModifier);
        QTest::keyClick(target, Qt::Key_B);
        ASSERT_TRUE(host().waitUntil(QStringLiteral(
            "window.__keys.some(function (k) { return k[0] == 66; })")));
        const QJsonArray seen = js(QStringLiteral("window.__keys")).toArray();
        auto preventedFor = [&](int code, bool alt, bool ctrl) -> int {
            for (const QJsonValue& v : seen) {
                const QJsonArray k = v.toArray();
                if (k[0].toInt() == code && k[1].toBool() == alt && k[2].toBool() == ctrl)
                    return k[3].toBool() ? 1 : 0;
            }
            return -1; // never arrived
        };
        EXPECT_EQ(preventedFor(8, false, false), 1) << "Backspace";
        EXPECT_EQ(preventedFor(65, false, true), 1) << "Ctrl+A";
        EXPECT_EQ(preventedFor(37, true, false), 1) << "Alt+Left";
        EXPECT_EQ(preventedFor(115, true, false), 0) << "Alt+F4";
        EXPECT_EQ(preventedFor(66, false, false), 0) << "B";
    }

    // Body and link colours, fonts, and no selection or context menu.
    void expectLook(const QString& cursor)
    {
        const QJsonArray look = js(QStringLiteral(
            "(function () {"
            "  var b = getComputedStyle(document.body);"
            "  var a = getComputedStyle(document.querySelector('a[href]'));"
            "  var menu = new MouseEvent('contextmenu', {bubbles: true, cancelable: true});"
            "  document.body.dispatchEvent(menu);"
            "  var select = new Event('selectstart', {bubbles: true, cancelable: true});"
            "  document.body.dispatchEvent(select);"
            "  return [b.backgroundColor, b.cursor, b.userSelect || b.webkitUserSelect, b.borderTopWidth,"
            "          a.color, a.textDecorationLine, menu.defaultPrevented, select.defaultPrevented,"
            "          b.fontFamily]; })()"))
                                   .toArray();
        EXPECT_EQ(look[0].toString(), QStringLiteral("rgb(225, 229, 241)"));
        EXPECT_EQ(look[1].toString(), cursor);
        EXPECT_EQ(look[2].toString(), QStringLiteral("none"));
        EXPECT_EQ(look[3].toString(), QStringLiteral("0px"));
        EXPECT_EQ(look[4].toString(), QStringLiteral("rgb(0, 0, 255)"));
        EXPECT_EQ(look[5].toString(), QStringLiteral("none"));
        EXPECT_TRUE(look[6].toBool()) << "context menu";
        EXPECT_TRUE(look[7].toBool()) << "text selection";
        EXPECT_EQ(look[8].toString(), QStringLiteral("Arial, Helvetica, sans-serif"));
    }

    // Saves what the screen shows and gives it back for pixel checks.
    QImage photograph(const QString& name)
    {
        const QImage shot = host().screenshot();
        EXPECT_EQ(shot.size(), QSize(800, 600));
        if (!shot.isNull())
            shot.save(QDir(QStringLiteral(PAGES_SHOT_DIR)).filePath(QStringLiteral("pages-%1.png").arg(name)));
        return shot;
    }

private:
    static std::unique_ptr<PageHost> s_host;
};

std::unique_ptr<PageHost> PageTest::s_host;

::testing::AssertionResult colourNear(const QImage& img, int x, int y, QRgb want, int tolerance = 4)
{
    const QRgb got = img.pixel(x, y);
    if (std::abs(qRed(got) - qRed(want)) <= tolerance && std::abs(qGreen(got) - qGreen(want)) <= tolerance &&
        std::abs(qBlue(got) - qBlue(want)) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel " << x << "," << y << " is #" << QString::number(got & 0xffffff, 16).toStdString()
           << ", expected #" << QString::number(want & 0xffffff, 16).toStdString();
}

bool dark(const QImage& img, int x, int y)
{
    return qGray(img.pixel(x, y)) < 60;
}

} // namespace

// ------------------------------------------------------------ wizard pages

TEST_F(PageTest, WizardPagesLayOutAtTheirPixels)
{
    for (const PageCase& page : kWizardPages) {
        SCOPED_TRACE(page.address);
        openSettled(QString::fromLatin1(page.address));
        expectPicturesAtDeclaredSize();
        expectFrame();
        expectButtonBar(page.back, page.next);

        // Side column: the panel picture above Cute.jpg.
        const Box panelPicture = imageBox(page.panel);
        EXPECT_TRUE(boxIs(panelPicture, panelPicture.x, panelPicture.y, 156, 259));
        EXPECT_GE(panelPicture.x, 4);
        EXPECT_LE(panelPicture.right(), 195);
        EXPECT_TRUE(boxIs(imageBox("Cute.jpg"), 4, 414, 191, 184));
        EXPECT_LE(panelPicture.bottom(), 414);

        // The light panel 195,100 to 751,555 with its corners, and the lines
        // under it.
        const Box panel = toBox(js(QStringLiteral("__r(document.querySelector('table[bgcolor=\"#F2F3F8\"]'))")));
        EXPECT_TRUE(boxIs(panel, 195, 100, 556, 455));
        EXPECT_EQ(js(QStringLiteral("getComputedStyle(document.querySelector('table[bgcolor=\"#F2F3F8\"]')).backgroundColor"))
                      .toString(),
                  QStringLiteral("rgb(242, 243, 248)"));
        EXPECT_TRUE(boxIs(imageBox("TopLeft.jpg"), 195, 100, 12, 12));
        EXPECT_TRUE(boxIs(imageBox("TopRight.jpg"), 739, 100, 12, 12));
        EXPECT_TRUE(boxIs(imageBox("BottomLeft.jpg"), 195, 543, 12, 12));
        EXPECT_TRUE(boxIs(imageBox("BottomRight.jpg"), 739, 543, 12, 12));
        EXPECT_TRUE(boxIs(imageBox("BottomRight2.jpg"), 751, 542, 46, 13));
        EXPECT_TRUE(boxIs(imageBox("MiddleBar.jpg"), 195, 555, 602, 9));
        EXPECT_TRUE(boxIs(imageBox("BottomBar.jpg"), 195, 586, 602, 12));

        if (page.emptyPanel) {
            // The list hole 206,110 to 742,545 meets nothing but the panel's
            // empty cell and, by a few pixels, its top and bottom edge rows:
            // probe its corners, edges and middle.
            const QJsonArray hits = js(QStringLiteral(
                "(function () { var out = [];"
                "  var xs = [206, 300, 474, 650, 741], ys = [110, 200, 327, 450, 544];"
                "  for (var i = 0; i < xs.length; i++) for (var j = 0; j < ys.length; j++) {"
                "    var e = document.elementFromPoint(xs[i], ys[j]);"
                "    out.push(e.tagName == 'IMG' ? e.getAttribute('src')"
                "             : e.tagName + '.' + e.className + ':' + e.childNodes.length); }"
                "  return out; })()"))
                                        .toArray();
            ASSERT_EQ(hits.size(), 25);
            const QStringList allowed = {QStringLiteral("TD.content:0"), QStringLiteral("TD.edge:0"),
                                         QStringLiteral("TopLeft.jpg"),
                                         QStringLiteral("TopRight.jpg"), QStringLiteral("BottomLeft.jpg"),
                                         QStringLiteral("BottomRight.jpg")};
            int onCell = 0;
            for (const QJsonValue& h : hits) {
                EXPECT_TRUE(allowed.contains(h.toString())) << h.toString().toStdString();
                onCell += h.toString() == allowed[0];
            }
            EXPECT_EQ(onCell, 15) << "the three inner probe rows lie on the empty cell";
        }

        const auto found = links();
        ASSERT_EQ(found.size(), page.links.size());
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_NE(std::find(found.begin(), found.end(),
                                std::make_pair(QString::fromLatin1(page.links[i].first),
                                               QString::fromLatin1(page.links[i].second))),
                      found.end())
                << page.links[i].first;
        }
        // A disabled button is a picture without a link.
        for (const char* picture : {page.back, page.next}) {
            if (QByteArray(picture).contains("_Disable")) {
                EXPECT_TRUE(js(QStringLiteral("__img('%1').closest('a') === null").arg(QLatin1String(picture))).toBool())
                    << picture;
            }
        }
        expectLook(QStringLiteral("default"));
    }
}

TEST_F(PageTest, WelcomeTextAndItsLinks)
{
    openSettled(QStringLiteral("welcome.htm"));
    const QString nbsp4(4, QChar(0x00A0));
    const QJsonArray paragraphs = js(QStringLiteral(
        "Array.prototype.map.call(document.querySelectorAll('p'), function (p) { return p.textContent; })"))
                                      .toArray();
    ASSERT_EQ(paragraphs.size(), 3);
    EXPECT_EQ(paragraphs[0].toString(),
              nbsp4 + QStringLiteral("Pelmora 2004 helps you to create the funniest photo stickers by simply "
                                     "capturing your emotions from the PC camera."));
    EXPECT_EQ(paragraphs[1].toString(),
              nbsp4 + QStringLiteral("It not only can print out the combined photos through your printer, but can "
                                     "save the individule photo as file in your computer. That makes you very "
                                     "convenient to exchange them on the internet."));
    EXPECT_EQ(paragraphs[2].toString(),
              nbsp4 + QStringLiteral("Use Pelmora 2004 to select the layout of photos, choose the background for "
                                     "each picture, and finally, print or export the result."));

    // HTML size 2 in the family the pages ask for.
    const QJsonArray font = js(QStringLiteral(
        "(function () { var s = getComputedStyle(document.querySelector('p'));"
        "  var f = document.querySelector('p').closest('font');"
        "  return [s.fontSize, s.fontFamily, f.getAttribute('size')]; })()"))
                                .toArray();
    EXPECT_EQ(font[0].toString(), QStringLiteral("13px"));
    EXPECT_EQ(font[1].toString(), QStringLiteral("Arial, Helvetica, sans-serif"));
    EXPECT_EQ(font[2].toString(), QStringLiteral("2"));

    // Everything inside the light panel, in order: paragraphs, Get Started
    // against the right edge, then the help link after its picture.
    const Box start = imageBox("GetStarted.jpg");
    const Box lastParagraph = toBox(js(QStringLiteral("__r(document.querySelectorAll('p')[2])")));
    const Box content = toBox(js(QStringLiteral("__r(document.querySelector('div.text'))")));
    const double paddingRight =
        js(QStringLiteral("parseFloat(getComputedStyle(document.querySelector('div.text')).paddingRight)")).toDouble();
    EXPECT_EQ(start.right(), content.right() - paddingRight);
    EXPECT_GT(start.y, lastParagraph.bottom());
    const Box helpPicture = imageBox("HelpImage.gif");
    const Box helpText = toBox(js(QStringLiteral("__r(document.querySelector('a[href=\"pk://Help/\"]'))")));
    EXPECT_GT(helpPicture.y, start.bottom());
    EXPECT_GT(helpText.x, helpPicture.right());
    EXPECT_LT(helpText.y, helpPicture.bottom());
    EXPECT_GT(helpText.bottom(), helpPicture.y);
    EXPECT_LE(helpText.bottom(), 543);
    EXPECT_GE(lastParagraph.x, 195);
    EXPECT_LE(start.right(), 751);

    // Under the mouse the help link turns red.
    QWidget* target = host().view()->focusProxy();
    ASSERT_NE(target, nullptr);
    QTest::mouseMove(target, QPoint(int(helpText.x + helpText.w / 2), int(helpText.y + helpText.h / 2)));
    EXPECT_TRUE(host().waitUntil(QStringLiteral(
        "getComputedStyle(document.querySelector('a[href=\"pk://Help/\"]')).color == 'rgb(255, 0, 0)'")));
    QTest::mouseMove(target, QPoint(100, 50));
    EXPECT_TRUE(host().waitUntil(QStringLiteral(
        "getComputedStyle(document.querySelector('a[href=\"pk://Help/\"]')).color == 'rgb(0, 0, 255)'")));
}

TEST_F(PageTest, PanelGrowsAndForwardLinkHoldsFocus)
{
    for (const PageCase& page : kWizardPages) {
        SCOPED_TRACE(page.address);
        openSettled(QString::fromLatin1(page.address));
        const QJsonArray state = js(QStringLiteral(
            "(function () { var p = document.getElementById('panel'), q = document.getElementById('q');"
            "  return [p.getAttribute('src'), p.style.width, parseFloat(p.style.height),"
            "          p.getBoundingClientRect().height, document.activeElement === q,"
            "          q.tagName, q.getAttribute('href'), growStep]; })()"))
                                     .toArray();
        EXPECT_EQ(state[0].toString(), QString::fromLatin1(page.panel));
        EXPECT_EQ(state[1].toString(), QStringLiteral("156px"));
        EXPECT_NEAR(state[2].toDouble(), 259, 1e-9);
        EXPECT_EQ(state[3].toDouble(), 259);
        EXPECT_TRUE(state[4].toBool()) << "focus on #q";
        EXPECT_EQ(state[5].toString(), QStringLiteral("A"));
        EXPECT_EQ(state[6].toString(), QString::fromLatin1(page.forward));
        EXPECT_EQ(state[7].toInt(), 10);

        // The steps themselves: replaying the script from the start gives
        // the heights n * 25.9 and takes the focus back each time.
        const QJsonArray steps = js(QStringLiteral(
            "(function () { var out = [], p = document.getElementById('panel');"
            "  document.body.focus(); growStep = 0;"
            "  var realTimeout = window.setTimeout;"
            "  window.setTimeout = function (f, ms) { out.push([parseFloat(p.style.height), ms,"
            "      document.activeElement.id]); f(); };"
            "  growPanel(); window.setTimeout = realTimeout;"
            "  out.push([parseFloat(p.style.height), -1, document.activeElement.id]);"
            "  return out; })()"))
                                     .toArray();
        ASSERT_EQ(steps.size(), 11);
        for (int n = 0; n <= 10; ++n) {
            EXPECT_NEAR(steps[n].toArray()[0].toDouble(), n * 25.9, 1e-9) << "step " << n;
            EXPECT_EQ(steps[n].toArray()[1].toInt(), n < 10 ? 1 : -1) << "step " << n;
            EXPECT_EQ(steps[n].toArray()[2].toString(), QStringLiteral("q")) << "step " << n;
        }
    }
}

TEST_F(PageTest, WizardPagesCancelKeys)
{
    for (const PageCase& page : kWizardPages) {
        SCOPED_TRACE(page.address);
        openSettled(QString::fromLatin1(page.address));
        expectKeysCancelled();
    }
}

TEST_F(PageTest, WizardPagesOnScreen)
{
    const char* names[] = {"welcome", "layout", "series"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        openSettled(QString::fromLatin1(kWizardPages[i].address));
        const QImage shot = photograph(QString::fromLatin1(names[i]));
        ASSERT_FALSE(shot.isNull());
        EXPECT_TRUE(colourNear(shot, 400, 520, qRgb(0xF2, 0xF3, 0xF8))) << "light panel";
        EXPECT_TRUE(colourNear(shot, 8, 385, qRgb(0xE1, 0xE5, 0xF1))) << "page body";
        EXPECT_TRUE(colourNear(shot, 196, 101, qRgb(0xE1, 0xE5, 0xF1), 10)) << "rounded corner outside";
        // The thin borders stand out darker than the page.
        EXPECT_LT(qGray(shot.pixel(1, 300)), qGray(qRgb(0xE1, 0xE5, 0xF1)) - 40) << "left border";
        EXPECT_LT(qGray(shot.pixel(798, 300)), qGray(qRgb(0xE1, 0xE5, 0xF1)) - 40) << "right border";
        EXPECT_LT(qGray(shot.pixel(400, 599)), qGray(qRgb(0xE1, 0xE5, 0xF1)) - 40) << "bottom border";
    }
}

// ------------------------------------------------------------ capture page

TEST_F(PageTest, CapturePageLayOutAroundTheHoles)
{
    open(QStringLiteral("Capture.htm"));
    expectPicturesAtDeclaredSize();
    expectFrame();
    expectButtonBar("Back.jpg", "Next_Disable.jpg");
    EXPECT_EQ(js(QStringLiteral("__img('Next_Disable.jpg').closest('a') === null")).toBool(), true);

    // The video picture: left edge between 34 and 43, top at 114.
    const Box video = imageBox("VideoWindow.jpg");
    EXPECT_TRUE(boxIs(video, video.x, 114, 484, 331));
    EXPECT_GT(video.x, 34);
    EXPECT_LT(video.x, 43);
    const QRect hole(QPoint(69, 120), QPoint(480, 428));
    EXPECT_TRUE(QRectF(video.x, video.y, video.w, video.h).contains(QRectF(hole)));

    // The frame arrows: two circles of radius 9, wholly outside the hole.
    const QJsonArray areas = js(QStringLiteral(
        "Array.prototype.map.call(document.querySelectorAll('map[name=frames] area'), function (a) {"
        "  return [a.getAttribute('shape'), a.getAttribute('coords'), a.getAttribute('href')]; })"))
                                 .toArray();
    ASSERT_EQ(areas.size(), 2);
    EXPECT_EQ(js(QStringLiteral("__img('VideoWindow.jpg').getAttribute('usemap')")).toString(),
              QStringLiteral("#frames"));
    for (const QJsonValue& v : areas) {
        const QJsonArray a = v.toArray();
        EXPECT_EQ(a[0].toString(), QStringLiteral("circle"));
        const QStringList c = a[1].toString().split(QLatin1Char(','));
        ASSERT_EQ(c.size(), 3);
        EXPECT_EQ(c[2].toInt(), 9);
        const bool next = a[2].toString() == QStringLiteral("pk://NextPhotoFrame/");
        EXPECT_TRUE(next || a[2].toString() == QStringLiteral("pk://PreviousPhotoFrame/"));
        EXPECT_EQ(c[0].toInt(), next ? 456 : 17);
        EXPECT_EQ(c[1].toInt(), 307);
        const double cx = video.x + c[0].toInt();
        const double cy = video.y + c[1].toInt();
        // Nearest point of the hole (69..481, 120..429) to the centre.
        const double nx = std::clamp(cx, 69.0, 481.0);
        const double ny = std::clamp(cy, 120.0, 429.0);
        EXPECT_GT(std::hypot(cx - nx, cy - ny), 9.0) << a[2].toString().toStdString();
        // And the engine itself finds the link there.
        EXPECT_EQ(js(QStringLiteral("document.elementFromPoint(%1, %2).getAttribute('href')").arg(cx).arg(cy))
                      .toString(),
                  a[2].toString());
    }

    // Inside both holes the page has nothing to click or read: the video
    // hole shows only the picture, the strip hole only the empty cell.
    const QJsonArray hits = js(QStringLiteral(
        "(function () { var out = [];"
        "  function probe(xs, ys) { for (var i = 0; i < xs.length; i++) for (var j = 0; j < ys.length; j++) {"
        "    var e = document.elementFromPoint(xs[i], ys[j]);"
        "    out.push(e.tagName == 'IMG' ? e.getAttribute('src') : e.tagName + '.' + e.className); } }"
        "  probe([69, 200, 275, 400, 480], [120, 250, 330, 428]);"
        "  probe([24, 200, 400, 657], [453, 500, 546]);"
        "  return out; })()"))
                                .toArray();
    ASSERT_EQ(hits.size(), 32);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(hits[i].toString(), i < 20 ? QStringLiteral("VideoWindow.jpg") : QStringLiteral("TD.strip"))
            << "probe " << i;

    // The strip hole 24,453 to 658,547 lies in the empty 639-wide cell.
    const Box strip = toBox(js(QStringLiteral("__r(document.querySelector('td.strip'))")));
    EXPECT_EQ(strip.w, 639);
    EXPECT_LE(strip.x, 24);
    EXPECT_LE(strip.y, 453);
    EXPECT_GE(strip.right(), 658);
    EXPECT_GE(strip.bottom(), 547);
    EXPECT_EQ(js(QStringLiteral("document.querySelector('td.strip').childNodes.length")).toInt(), 0);
    EXPECT_EQ(strip.y, 446) << "the middle band starts under the 346-pixel upper band";

    // Capture it above the camera settings link, both right of the picture.
    const Box capture = imageBox("CaptureIt.jpg");
    const Box configure = imageBox("Configure.jpg");
    const Box configureText = toBox(js(QStringLiteral("__r(document.querySelector('a[href=\"pk://Configure/\"]'))")));
    EXPECT_GT(capture.x, video.right());
    EXPECT_LE(capture.right(), 797);
    EXPECT_GT(configure.y, capture.bottom());
    EXPECT_GT(configureText.x, configure.right());
    EXPECT_LE(configure.bottom(), 446);
    EXPECT_EQ(js(QStringLiteral("document.querySelector('a[href=\"pk://Configure/\"]').textContent")).toString(),
              QStringLiteral("Configure camera..."));

    // Print, Export, Delete one below the other, beside the strip.
    double lastBottom = 446;
    for (const char* name : {"PrintCaptured.jpg", "ExportCaptured.jpg", "DeleteSelected.jpg"}) {
        const Box b = imageBox(name);
        EXPECT_EQ(b.x, strip.right()) << name;
        EXPECT_GE(b.y, lastBottom) << name;
        EXPECT_LE(b.bottom(), 534) << name;
        lastBottom = b.bottom();
    }

    const auto found = links();
    const std::vector<std::pair<QString, QString>> expected = {
        {QStringLiteral("pk://Capture/"), QStringLiteral("CaptureIt.jpg")},
        {QStringLiteral("pk://Configure/"), QStringLiteral("Configure camera...")},
        {QStringLiteral("pk://Print/"), QStringLiteral("PrintCaptured.jpg")},
        {QStringLiteral("pk://Export/"), QStringLiteral("ExportCaptured.jpg")},
        {QStringLiteral("pk://Delete/"), QStringLiteral("DeleteSelected.jpg")},
        {QStringLiteral("pk://About/"), QStringLiteral("Help.jpg")},
        {QStringLiteral("pk://Back/Series.htm"), QStringLiteral("Back.jpg")},
        {QStringLiteral("pk://Cancel/"), QStringLiteral("Cancel.jpg")},
    };
    ASSERT_EQ(found.size(), expected.size());
    for (const auto& link : expected)
        EXPECT_NE(std::find(found.begin(), found.end(), link), found.end()) << link.first.toStdString();

    // No panel animation, no focus taken, no forced arrow cursor.
    EXPECT_TRUE(js(QStringLiteral("document.getElementById('panel') === null && "
                                  "document.getElementById('q') === null && "
                                  "typeof growPanel === 'undefined' && document.activeElement === document.body"))
                    .toBool());
    expectLook(QStringLiteral("auto"));
}

TEST_F(PageTest, CapturePageCancelsKeys)
{
    open(QStringLiteral("Capture.htm"));
    expectKeysCancelled();
}

TEST_F(PageTest, CapturePageOnScreen)
{
    open(QStringLiteral("Capture.htm"));
    const QImage shot = photograph(QStringLiteral("capture"));
    ASSERT_FALSE(shot.isNull());
    // The camera screen is dark all along the inside of the video hole ...
    for (int x = 69; x <= 480; x += 7) {
        EXPECT_TRUE(dark(shot, x, 120)) << x;
        EXPECT_TRUE(dark(shot, x, 428)) << x;
    }
    for (int y = 120; y <= 428; y += 7) {
        EXPECT_TRUE(dark(shot, 69, y)) << y;
        EXPECT_TRUE(dark(shot, 480, y)) << y;
    }
    // ... while the arrow buttons at the circles are light.
    const Box video = imageBox("VideoWindow.jpg");
    EXPECT_FALSE(dark(shot, int(video.x) + 17 + 5, int(video.y) + 307 - 5));
    EXPECT_FALSE(dark(shot, int(video.x) + 456 - 5, int(video.y) + 307 - 5));
    EXPECT_TRUE(colourNear(shot, 340, 450, qRgb(0xE1, 0xE5, 0xF1))) << "strip cell";
}
