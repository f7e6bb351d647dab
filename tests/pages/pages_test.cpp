// The four wizard pages in a real 800 by 600 web view, with a screenshot of each.
#include "resscheme.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>
#include <gtest/gtest.h>

#include <tuple>
#include <cmath>
#include <memory>

namespace {

// Bounds that keep a broken page from hanging the run, not timings.
constexpr int kLoadBoundMs = 60000, kScriptBoundMs = 20000;

// Geometry and key probes every test uses, defined once in the page.
const char* const kHelpers = R"JS(
window.__keys = {};
window.addEventListener('keydown', function (e) { __keys[e.keyCode] = e.defaultPrevented; });
window.__r = function (el) { var b = el.getBoundingClientRect(); return [b.left, b.top, b.width, b.height]; };
window.__hits = function (xs, ys) {
    var out = [];
    for (var i = 0; i < xs.length; i++) for (var j = 0; j < ys.length; j++) {
        var e = document.elementFromPoint(xs[i], ys[j]);
        out.push(e.tagName == 'IMG' ? e.getAttribute('src')
                 : e.tagName + '.' + e.className + ':' + e.childNodes.length);
    }
    return out;
};
JSON.stringify(true)
)JS";

using Links = QStringList; // "href picture-or-text"

struct PageCase {
    const char* address;
    const char* panel;   // the side picture; nullptr: the capture page, which has none
    const char* back;    // Back.jpg or Back_Disable.jpg
    const char* next;    // Next.jpg or Next_Disable.jpg
    const char* forward; // the link with id "q"
    Links links;
};

void PrintTo(const PageCase& page, std::ostream* out) { *out << page.address; }

// The frame of every page; the side picture, light panel and button bar of all but the capture page.
const std::pair<const char*, QRectF> kFrame[] = {
    {"Title.jpg", {0, 0, 800, 100}},          {"LeftBorder.jpg", {0, 100, 4, 500}},
    {"RightBorder.jpg", {797, 100, 3, 500}},  {"BottomBorder.jpg", {4, 598, 793, 2}},
};
const std::pair<const char*, QRectF> kPanelFrame[] = {
    {"Cute.jpg", {4, 414, 191, 184}},         {"TopLeft.jpg", {195, 100, 12, 12}},
    {"TopRight.jpg", {739, 100, 12, 12}},     {"BottomLeft.jpg", {195, 543, 12, 12}},
    {"BottomRight.jpg", {739, 543, 12, 12}},  {"BottomRight2.jpg", {751, 542, 46, 13}},
    {"MiddleBar.jpg", {195, 555, 602, 9}},    {"BottomBar.jpg", {195, 586, 602, 12}},
    {"#panel", {22, 114, 156, 259}},          {"table[bgcolor=\"#F2F3F8\"]", {195, 100, 556, 455}},
};

// One 800 by 600 web view for all cases, loading the pages as the booth does.
class PageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_view = std::make_unique<QWebEngineView>();
        pelmora::InstallWizardSchemeHandlers(s_view->page()->profile());
        s_view->setWindowFlags(Qt::FramelessWindowHint);
        s_view->setGeometry(0, 0, 800, 600);
        s_view->show();
    }
    static void TearDownTestSuite() { s_view.reset(); }

    // settled: the panel animation has run its ten steps.
    void open(const char* name, bool settled)
    {
        QSignalSpy loaded(s_view.get(), &QWebEngineView::loadFinished);
        s_view->load(QUrl("res://" + QCoreApplication::applicationFilePath() + '/' + QLatin1String(name)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, kLoadBoundMs)) << name;
        ASSERT_TRUE(loaded.first().first().toBool()) << name;
        ASSERT_TRUE(eval(QString::fromUtf8(kHelpers)).toBool());
        const char* grown = "document.getElementById('panel').getBoundingClientRect().height >= 259";
        ASSERT_TRUE(!settled || wait(grown));
    }
    // The script returns JSON text, wrapped so that plain values parse too; undefined on failure.
    static QJsonValue eval(const QString& script)
    {
        bool done = false;
        QVariant result;
        s_view->page()->runJavaScript(script, [&](const QVariant& v) { result = v, done = true; });
        (void)QTest::qWaitFor([&] { return done; }, kScriptBoundMs); // told by done
        if (!done || result.typeId() != QMetaType::QString)
            return QJsonValue(QJsonValue::Undefined);
        const QJsonDocument doc = QJsonDocument::fromJson("[" + result.toString().toUtf8() + "]");
        return doc.isArray() ? doc.array().at(0) : QJsonValue(QJsonValue::Undefined);
    }
    static QJsonValue js(const QString& expression) { return eval(QStringLiteral("JSON.stringify(%1)").arg(expression)); }
    static bool wait(const QString& condition)
    {
        return QTest::qWaitFor([&] { return js(QStringLiteral("!!(%1)").arg(condition)).toBool(); }, kScriptBoundMs);
    }
    // A CSS selector, or the file name of a picture on the page.
    static QRectF box(QString selector)
    {
        if (selector.endsWith(QLatin1String(".jpg")) || selector.endsWith(QLatin1String(".gif")))
            selector = QStringLiteral("img[src=\"%1\"]").arg(selector);
        const QJsonArray a = js(QStringLiteral("__r(document.querySelector('%1'))").arg(selector)).toArray();
        return a.size() == 4 ? QRectF(a[0].toDouble(), a[1].toDouble(), a[2].toDouble(), a[3].toDouble())
                             : QRectF(-1, -1, -1, -1);
    }
    static QWidget* input() { return s_view->focusProxy(); }

    // What the screen shows, saved once two grabs a little apart agree (the compositor keeps its own schedule).
    static QImage photograph(const QString& name)
    {
        QScreen* screen = s_view->windowHandle() ? s_view->windowHandle()->screen() : nullptr;
        QImage shot, last;
        for (QDeadlineTimer deadline(kScriptBoundMs); screen && !deadline.hasExpired() && (shot.isNull() || shot != last);) {
            QTest::qWait(100);
            last = shot;
            shot = screen->grabWindow(s_view->winId()).toImage();
        }
        EXPECT_EQ(shot.size(), QSize(800, 600));
        shot.save(QDir(QStringLiteral(PAGES_SHOT_DIR)).filePath(QStringLiteral("pages-%1.png").arg(name)));
        return shot;
    }

private:
    static std::unique_ptr<QWebEngineView> s_view;
};

std::unique_ptr<QWebEngineView> PageTest::s_view;

bool near(QRgb got, QRgb want, int tolerance = 4)
{
    return std::abs(qRed(got) - qRed(want)) <= tolerance && std::abs(qGreen(got) - qGreen(want)) <= tolerance &&
           std::abs(qBlue(got) - qBlue(want)) <= tolerance;
}

bool dark(const QImage& img, int x, int y) { return qGray(img.pixel(x, y)) < 60; }

const QRgb kBody = qRgb(0xE1, 0xE5, 0xF1);

class WizardPage : public PageTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(WizardPage, LaysOutAtItsPixelsWithItsLinksKeysAndLook)
{
    const PageCase& page = GetParam();
    open(page.address, page.panel != nullptr);
    // Every picture loaded at the size the page declares, nothing scrolls, the four buttons in place.
    const QJsonArray images = js(QStringLiteral(
        "Array.prototype.map.call(document.images, function (i) { var b = i.getBoundingClientRect();"
        "  return [i.getAttribute('src'), i.complete && i.naturalWidth == i.getAttribute('width') &&"
        "    i.naturalHeight == i.getAttribute('height') && b.width == i.getAttribute('width') &&"
        "    b.height == i.getAttribute('height')]; })")).toArray();
    ASSERT_FALSE(images.isEmpty());
    for (const QJsonValue& i : images)
        EXPECT_TRUE(i[1].toBool()) << i[0].toString().toStdString();
    EXPECT_EQ(js(QStringLiteral("[document.documentElement.scrollWidth, document.documentElement.scrollHeight,"
                                " window.innerWidth - document.documentElement.clientWidth,"
                                " window.innerHeight - document.documentElement.clientHeight,"
                                " getComputedStyle(document.body).overflow]")),
              QJsonArray({800, 600, 0, 0, QStringLiteral("hidden")}));
    const char* buttons[] = {"Help.jpg", page.back, page.next, "Cancel.jpg"};
    const double centres[] = {267.5, 473.5, 573.5, 695.5};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(box(buttons[i]).center(), QPointF(centres[i], 575)) << buttons[i];
    for (const auto& [picture, at] : kFrame)
        EXPECT_EQ(box(picture), at) << picture;

    // Each link with what carries it (so none on a disabled button).
    Links expected = page.links;
    expected.sort();
    EXPECT_EQ(js(QStringLiteral(
                  "Array.prototype.map.call(document.querySelectorAll('a[href]'), function (a) {"
                  "  var i = a.querySelector('img');"
                  "  return a.getAttribute('href') + ' ' + (i ? i.getAttribute('src') : a.textContent); }).sort()"))
                  .toVariant().toStringList(),
              expected);

    // Colours, fonts, no selection or context menu; only the capture page leaves the cursor alone.
    EXPECT_EQ(js(QStringLiteral(
                  "(function () { var b = getComputedStyle(document.body);"
                  "  var a = getComputedStyle(document.querySelector('a[href]'));"
                  "  var menu = new MouseEvent('contextmenu', {bubbles: true, cancelable: true});"
                  "  var select = new Event('selectstart', {bubbles: true, cancelable: true});"
                  "  document.body.dispatchEvent(menu); document.body.dispatchEvent(select);"
                  "  return [b.backgroundColor, b.cursor, b.userSelect || b.webkitUserSelect, b.marginLeft,"
                  "          a.color, a.textDecorationLine, menu.defaultPrevented, select.defaultPrevented,"
                  "          b.fontFamily]; })()")),
              QJsonArray({"rgb(225, 229, 241)", page.panel ? "default" : "auto", "none", "0px", "rgb(0, 0, 255)",
                          "none", true, true, "Arial, Helvetica, sans-serif"}));

    if (page.panel) {
        for (const auto& [selector, at] : kPanelFrame)
            EXPECT_EQ(box(selector), at) << selector;
        EXPECT_EQ(js(QStringLiteral("[document.getElementById('panel').getAttribute('src'),"
                                    " document.activeElement.id, document.activeElement.getAttribute('href')]")),
                  QJsonArray({QLatin1String(page.panel), QStringLiteral("q"), QLatin1String(page.forward)}));
    } else {
        EXPECT_TRUE(js(QStringLiteral("document.getElementById('panel') === null && typeof growPanel === 'undefined'"
                                      " && document.activeElement === document.body")).toBool());
    }
    if (page.panel && std::string(page.address) != "welcome.htm") {
        // The list hole 206,110 to 742,545 meets the empty cell and, by a few pixels, its edge rows and corners.
        const QString c = QStringLiteral("TD.content:0"), e = QStringLiteral("TD.edge:0");
        EXPECT_EQ(js(QStringLiteral("__hits([206, 300, 474, 650, 741], [110, 200, 327, 450, 544])")),
                  QJsonArray({"TopLeft.jpg", c, c, c, "BottomLeft.jpg", e, c, c, c, e, e, c, c, c, e, e, c, c, c, e,
                              "TopRight.jpg", c, c, c, "BottomRight.jpg"}));
    }

    // Real keys: the page cancels Backspace, anything with Ctrl, anything with Alt but F4.
    const std::pair<Qt::Key, Qt::KeyboardModifier> keys[] = {{Qt::Key_Backspace, Qt::NoModifier},
        {Qt::Key_A, Qt::ControlModifier}, {Qt::Key_Left, Qt::AltModifier}, {Qt::Key_F4, Qt::AltModifier},
        {Qt::Key_B, Qt::NoModifier}};
    for (const auto& [key, modifier] : keys)
        QTest::keyClick(input(), key, modifier);
    ASSERT_TRUE(wait(QStringLiteral("66 in window.__keys")));
    EXPECT_EQ(js(QStringLiteral("[__keys[8], __keys[65], __keys[37], __keys[115], __keys[66]]")),
              QJsonArray({true, true, true, false, false}));

    const QImage shot = photograph(QString::fromLatin1(page.address).section('.', 0, 0).toLower());
    for (const QPoint p : {QPoint(1, 300), QPoint(798, 300), QPoint(400, 599)})
        EXPECT_LT(qGray(shot.pixel(p)), qGray(kBody) - 40) << "border at " << p.x() << "," << p.y();
    EXPECT_TRUE(!page.panel || near(shot.pixel(196, 101), kBody, 10)) << "rounded corner outside";
}

Links ChooserLinks(const QString& back, const QString& next)
{
    return {"pk://About/ Help.jpg", back + " Back.jpg", next + " Next.jpg", "pk://Cancel/ Cancel.jpg"};
}

INSTANTIATE_TEST_SUITE_P(Pages, WizardPage, ::testing::Values(
    PageCase{"welcome.htm", "WelcomePanel.jpg", "Back_Disable.jpg", "Next_Disable.jpg", "pk://Next/Layout.htm",
             {"pk://Next/Layout.htm GetStarted.jpg", "pk://Help/ Learn more about Pelmora 2004",
              "pk://About/ Help.jpg", "pk://Cancel/ Cancel.jpg"}},
    PageCase{"Layout.htm", "LayoutPanel.jpg", "Back.jpg", "Next.jpg", "pk://Next/Series.htm",
             ChooserLinks("pk://Back/Welcome.htm", "pk://Next/Series.htm")},
    PageCase{"Series.htm", "SeriesPanel.jpg", "Back.jpg", "Next.jpg", "pk://Next/Capture.htm",
             ChooserLinks("pk://Back/Layout.htm", "pk://Next/Capture.htm")},
    PageCase{"Capture.htm", nullptr, "Back.jpg", "Next_Disable.jpg", nullptr,
             {"pk://Capture/ CaptureIt.jpg", "pk://Configure/ Configure camera...", "pk://Print/ PrintCaptured.jpg",
              "pk://Export/ ExportCaptured.jpg", "pk://Delete/ DeleteSelected.jpg", "pk://About/ Help.jpg",
              "pk://Back/Series.htm Back.jpg", "pk://Cancel/ Cancel.jpg"}}));

TEST_F(PageTest, WelcomeTextInThePanelAndTheHelpLinkTurnsRedUnderThePointer)
{
    open("welcome.htm", true);
    EXPECT_EQ(js(QStringLiteral("(function () { var p = document.querySelectorAll('p');"
                                "  return [p.length, getComputedStyle(p[0]).fontSize,"
                                "    p[0].textContent.indexOf('\\u00a0\\u00a0\\u00a0\\u00a0Pelmora 2004 helps you')]; })()")),
              QJsonArray({3, QStringLiteral("13px"), 0}));
    // Get Started under the text against the panel's right padding, the help link after its picture.
    const std::pair<const char*, QRectF> boxes[] = {
        {"GetStarted.jpg", {452, 304.5, 273, 22}}, {"HelpImage.gif", {221, 345.0625, 16, 16}},
        {"a[href=\"pk://Help/\"]", {240.625, 344.5, 187.1875, 15}}};
    for (const auto& [selector, at] : boxes)
        EXPECT_EQ(box(selector), at) << selector;

    const QString colour =
        QStringLiteral("getComputedStyle(document.querySelector('a[href=\"pk://Help/\"]')).color == '%1'");
    QTest::mouseMove(input(), boxes[2].second.center().toPoint());
    EXPECT_TRUE(wait(colour.arg(QLatin1String("rgb(255, 0, 0)"))));
    QTest::mouseMove(input(), QPoint(100, 50));
    EXPECT_TRUE(wait(colour.arg(QLatin1String("rgb(0, 0, 255)"))));
}

TEST_F(PageTest, CapturePageLaysOutAroundTheHoles)
{
    open("Capture.htm", false);
    // The video picture round the video hole 69,120 to 481,429, the strip cell under the 346-pixel upper band.
    const std::pair<const char*, QRectF> boxes[] = {
        {"VideoWindow.jpg", {39, 114, 484, 331}},   {"td.strip", {24, 446, 639, 118}},
        {"PrintCaptured.jpg", {663, 453, 104, 22}}, {"ExportCaptured.jpg", {663, 479, 104, 22}},
        {"DeleteSelected.jpg", {663, 505, 104, 22}}, {"CaptureIt.jpg", {537, 378.734375, 239, 22}},
        {"Configure.jpg", {541, 411, 20, 19}},
        {"a[href=\"pk://Configure/\"]", {565.453125, 410.734375, 114.171875, 17}}};
    for (const auto& [selector, at] : boxes)
        EXPECT_EQ(box(selector), at) << selector;

    // The frame arrows: circles clear of the hole, where the engine finds their links.
    EXPECT_EQ(js(QStringLiteral("document.querySelectorAll('map[name=frames] area').length")), 2);
    const std::tuple<int, int, const char*> arrows[] = {{17, 307, "pk://PreviousPhotoFrame/"},
                                                        {456, 307, "pk://NextPhotoFrame/"}};
    for (const auto& [x, y, href] : arrows) {
        const QString area = QStringLiteral("area[shape=circle][coords=\"%1,%2,9\"]").arg(x).arg(y);
        const QString point = QStringLiteral("elementFromPoint(%1, %2)").arg(39 + x).arg(114 + y);
        for (const QString& element : {"querySelector('map[name=frames] " + area + "')", point})
            EXPECT_EQ(js("document." + element + ".getAttribute('href')").toString(), href);
    }

    // Nothing to click or read in the holes: only the video picture, and in the strip hole 24,453 to 658,547 the cell.
    const QJsonArray hits = js(QStringLiteral("__hits([69, 200, 275, 400, 480], [120, 250, 330, 428])"
                                              ".concat(__hits([24, 200, 400, 657], [453, 500, 546]))")).toArray();
    ASSERT_EQ(hits.size(), 32);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(hits[i].toString(), i < 20 ? "VideoWindow.jpg" : "TD.strip:0") << "probe " << i;

    // The camera screen is dark all along the inside of the hole, the arrows light.
    const QImage shot = photograph(QStringLiteral("capture"));
    for (int x = 69; x <= 480; x += 7)
        EXPECT_TRUE(dark(shot, x, 120) && dark(shot, x, 428)) << x;
    for (int y = 120; y <= 428; y += 7)
        EXPECT_TRUE(dark(shot, 69, y) && dark(shot, 480, y)) << y;
    EXPECT_FALSE(dark(shot, 39 + 22, 114 + 302));
    EXPECT_FALSE(dark(shot, 39 + 451, 114 + 302));
    EXPECT_TRUE(near(shot.pixel(340, 450), kBody)) << "strip cell";
}

} // namespace
