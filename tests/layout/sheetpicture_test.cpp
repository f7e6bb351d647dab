// The sheet picture pixel by pixel, and the sheet printed to PDF and through a private CUPS queue, read back by pdftoppm.
#include "photofixtures.h"
#include "photooutput.h"
#include "printqueue.h"
#include "printsetup.h"
#include "settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <tuple>
#include <unistd.h>
#include "testing.h"
#include <gtest/gtest.h>

namespace {

using fixtures::patternImage;

constexpr int W = 320, H = 240;

struct PlacingCase {
    const char* name;
    std::vector<SheetRect> places;
    int photos;
    QSize photoSize = QSize(W, H);
};

QImage photo(const PlacingCase& c, int i) { return patternImage(c.photoSize.width(), c.photoSize.height(), i + 1); }

QImage composed(const PlacingCase& c, const QPaintDevice* dc)
{
    std::vector<CPicture> photos;
    for (int i = 0; i < c.photos; ++i)
        photos.push_back(fixtures::pictureOf(photo(c, i)));
    const CPicture picture = pelmora::ComposeSheetPicture(photos, c.places, dc, W, H);
    return picture.GetBitmap() ? picture.GetBitmap()->convertToFormat(QImage::Format_RGB32) : QImage();
}

// The placing rule: a place covers rows H - bottom to H - 1 - top from the top, columns left to right - 1,
// each pixel the photo pixel under the centre of the stretched pixel; the rest is white.
QImage expected(const PlacingCase& c)
{
    QImage page(W, H, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int i = 0; i < c.photos; ++i) {
        const SheetRect& p = c.places[size_t(i)];
        const qint64 rw = qint64(p.right) - p.left, rh = qint64(p.bottom) - p.top;
        const QImage source = photo(c, i);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const qint64 col = x - qint64(p.left), row = y - (H - qint64(p.bottom));
                if (col >= 0 && col < rw && row >= 0 && row < rh)
                    page.setPixel(x, y, source.pixel(int((2 * col + 1) * source.width() / (2 * rw)),
                                                     int((2 * row + 1) * source.height() / (2 * rh))));
            }
    }
    return page;
}

TEST(SheetPicture, PhotosAreStretchedIntoTheirPlacesCountedFromTheBottomEdge)
{
    const QImage screen = fixtures::deviceAt(96);
    const std::vector<PlacingCase> cases = {
        {"lower-left quarter, upper half", {{0, 0, 160, 120}, {0, 120, 320, 240}}, 2},
        {"one photo for two places", {{0, 0, 160, 120}, {0, 120, 320, 240}}, 1},
        {"no photos: white", {{0, 0, 160, 120}, {160, 120, 320, 240}}, 0},
        // 75, 74 and 77 pixels are rows of bytes not a multiple of four.
        {"narrow places", {{10, 20, 85, 76}, {100, 3, 174, 240}, {200, 130, 277, 131}}, 3},
        {"photos of another size", {{0, 0, 320, 240}, {5, 5, 105, 80}}, 2, QSize(97, 61)},
        {"reaching outside", {{-40, 200, 120, 280}, {250, -30, 400, 60},
                              {-2000000000, -2000000000, 2000000000, 2000000000}}, 3},
        {"empty, inverted, unmeasurable", {{10, 10, 10, 50}, {50, 50, 20, 20}, {60, 60, 100, 59},
                                           {2147483647, 0, -2147483647 - 1, 10}}, 4},
    };
    for (const PlacingCase& c : cases)
        EXPECT_EQ(composed(c, &screen), expected(c)) << c.name;
    // The rule at the corners: the half-size copy's top-left pixel is photo pixel (1, 1).
    const QImage page = composed(cases[0], &screen);
    EXPECT_EQ(page.pixel(0, 120), patternImage(W, H, 1).pixel(1, 1));
    EXPECT_EQ(page.pixel(159, 239), patternImage(W, H, 1).pixel(319, 239));
    EXPECT_EQ(page.pixel(0, 0), patternImage(W, H, 2).pixel(0, 1));
    const PlacingCase whole{"unscaled: the photo exactly", {{0, 0, W, H}}, 1};
    EXPECT_EQ(composed(whole, &screen), patternImage(W, H, 1));
    // Without a device no photo has a size: all are left out.
    EXPECT_EQ(composed(whole, nullptr), expected({"white", {}, 0}));
}

TEST(PrintDestination, MillimetresAtThePrintersResolution)
{
    // Cut, not rounded (1712.6 x 1204.7 at 300 dpi); 254 dpi is 10 a millimetre.
    for (const auto& [x, y, size] : {std::tuple{600, 600, QSize(3425, 2409)}, {300, 300, QSize(1712, 1204)},
                                     {1200, 600, QSize(6850, 2409)}, {254, 254, QSize(1450, 1020)}})
        EXPECT_EQ(pelmora::PrintDestinationSize(145, 102, x, y), size) << x << " x " << y;
}

TEST(SheetPage, TurnedWhereMoreOfTheSheetLiesOnThePaperWithThePrintersMarginsTurnedAlong)
{
    using O = QPageLayout::Orientation;
    // Paper upright and its printer's margins (left, top, right, bottom) in mm: a SELPHY postcard, A6, a DNP
    // 4x6 and 3.5x5 (as much either way), A5 and A4 (the sheet fits upright), paper defined wider than tall.
    const std::tuple<QSizeF, QMarginsF, O> cases[] = {
        {{100, 148}, {}, O::Landscape}, {{105, 148}, {}, O::Landscape},
        {{105.13, 162.63}, {0, 3.22, 0.14, 3.22}, O::Landscape}, {{91, 128}, {0, 15.75, 0, 15.75}, O::Portrait},
        {{148, 210}, {}, O::Portrait}, {{210, 297}, {3, 3, 3, 3}, O::Portrait}, {{210, 105}, {}, O::Portrait}};
    for (const auto& [paper, margins, orientation] : cases)
        EXPECT_EQ(pelmora::SheetOrientation(paper, margins, {145, 102}), orientation) << paper.width() << " x " << paper.height();
    // A landscape page lies on the paper a quarter turn counter-clockwise: its left edge along the paper's bottom.
    EXPECT_EQ(pelmora::MarginsOnPage({1, 2, 3, 4}, O::Landscape), QMarginsF(4, 1, 2, 3));
    EXPECT_EQ(pelmora::MarginsOnPage({1, 2, 3, 4}, O::Portrait), QMarginsF(1, 2, 3, 4));
}

TEST(SheetPage, RememberedSetupReadBackAndAnEditedFileIgnored)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("booth.conf"), QSettings::IniFormat);
    QPageLayout page(QPageSize(QSizeF(100, 148), QPageSize::Millimeter), QPageLayout::Landscape, {}, QPageLayout::Millimeter);
    page.setMode(QPageLayout::FullPageMode);
    page.setMargins({0.5, 0, 3.25, 1});
    pelmora::RememberPrinterSetup(settings, {"photo", "Postcard", page});
    const auto recalled = pelmora::RecallPrinterSetup(settings);
    ASSERT_TRUE(recalled);
    EXPECT_EQ(std::tie(recalled->printer, recalled->paperKey), std::tuple("photo", "Postcard"));
    EXPECT_EQ(recalled->layout.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(recalled->layout.margins(), QMarginsF(0.5, 0, 3.25, 1));
    EXPECT_EQ(recalled->layout.pageSize().size(QPageSize::Millimeter), QSizeF(100, 148));
    for (const auto& [key, value] : {std::pair("Name", QVariant()), {"PaperWidth", "wide"}, {"PaperHeight", -1},
                                     {"Orientation", "sideways"}, {"Margins", QStringList{"1", "2", "3"}},
                                     {"Margins", QStringList{"1", "2", "3", "nan"}}}) {
        pelmora::RememberPrinterSetup(settings, {"photo", "Postcard", page});
        settings.setValue(QString("Printer/") + key, value);
        EXPECT_FALSE(pelmora::RecallPrinterSetup(settings)) << key;
    }
}

TEST(QueueState, WhatKeepsAQueueFromPrintingInPlainWords)
{
    using A = pelmora::QueueState::Answer;
    const std::pair<pelmora::QueueState, const char*> cases[] = {
        {{A::Known, 3, true, {"none"}}, ""},
        {{A::Known, 4, true, {"media-low-warning", "marker-supply-low-report"}}, ""},
        {{A::Known, 5, true, {"paused"}}, "it is paused"},
        {{A::Known, 5, false, {"media-empty-error"}}, "it has stopped; it does not accept new jobs; it is out of paper"},
        {{A::Known, 3, true, {"media-jam", "marker-supply-empty-warning", "offline-report"}},
         "the paper is jammed; its ink or ribbon is used up; it is switched off or not connected"},
        {{A::Known, 3, true, {"media-empty-errors", "offline-something"}}, ""},
        {{A::NoSuchPrinter, 3, true, {}}, "it is no longer set up on this computer"},
        {{A::ServiceUnreachable, 3, true, {}}, "the printing service of this computer does not answer"},
        {{A::Unknown, 5, false, {"paused"}}, ""}};
    for (const auto& [queue, words] : cases)
        EXPECT_EQ(pelmora::QueueProblem(queue), words) << queue.reasons.join(',').toStdString();
}

// Four colours, so the rendered page shows which way up and which way round the sheet came out.
const QRgb kQuadrants[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(0, 0, 0)};

// The renderer's colour handling may move a channel by a step or two.
bool near(QRgb a, QRgb b) { return qAbs(qRed(a) - qRed(b)) <= 3 && qAbs(qGreen(a) - qGreen(b)) <= 3 && qAbs(qBlue(a) - qBlue(b)) <= 3; }

class PrintToPdf : public ::testing::Test {
protected:
    // One page titled for the booth holding the whole sheet, 145 x 102 mm: upright with its top-left at `corner`
    // mm, or turned as CUPS lays a landscape page on upright paper, a quarter counter-clockwise at the paper's
    // bottom-left (a queue's file once whole).
    void expectSheetAt(const QString& pdf, QPointF corner, bool turned = false)
    {
        QString info;
        for (int i = 0; i < 300 && (info = RunProgram("pdfinfo", {pdf}).outputIfSucceeded()) == "failed"; ++i)
            QThread::msleep(100);
        // cups-pdf puts the title in brackets.
        EXPECT_TRUE(info.contains(QRegularExpression("Title: +\\(?Pelmora 2004\\)?\n"))) << info.toStdString();
        EXPECT_TRUE(info.contains(QRegularExpression("Pages: +1\n"))) << info.toStdString();
        const QString prefix = m_dir.filePath("page");
        ASSERT_EQ(RunProgram("pdftoppm", {"-r", "150", "-png", "-singlefile", pdf, prefix}).exitCode, 0);
        const QImage page = QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
        QRect box;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb c = page.pixel(x, y);
                if (qRed(c) < 200 || qGreen(c) < 200 || qBlue(c) < 200)
                    box |= QRect(x, y, 1, 1);
            }
        const double dots = 150 / 25.4;
        const QSizeF size = turned ? QSizeF(102, 145) : QSizeF(145, 102);
        if (turned)
            corner = QPointF(0, page.height() / dots - 145);
        EXPECT_NEAR(box.left(), corner.x() * dots, 1.5);
        EXPECT_NEAR(box.top(), corner.y() * dots, 1.5);
        EXPECT_NEAR(box.width(), size.width() * dots, 2);
        EXPECT_NEAR(box.height(), size.height() * dots, 2);
        // The sheet's quarters from its top-left: red, green, blue, black. Turned, its top-right is the page's top-left.
        const int order[2][4] = {{0, 1, 2, 3}, {1, 3, 0, 2}};
        const int qx = box.width() / 4, qy = box.height() / 4;
        const QPoint at[4] = {{box.left() + qx, box.top() + qy}, {box.right() - qx, box.top() + qy},
                              {box.left() + qx, box.bottom() - qy}, {box.right() - qx, box.bottom() - qy}};
        for (int i = 0; i < 4; ++i)
            EXPECT_PRED2(near, page.pixel(at[i]), kQuadrants[order[turned][i]]) << i;
    }
    bool printSheet(QPrinter& printer) { return pelmora::PrintSheetPictureOn(printer, {&m_photo, 1}, {&m_place, 1}, &m_screen); }
    // The sheet printed as the booth prints it; what it told the user.
    QStringList printSheet()
    {
        QStringList told;
        pelmora::PrintSheetPicture({&m_photo, 1}, {&m_place, 1}, &m_screen, [&](const QString& text) { told << text; });
        return told;
    }
    // The sheet printed as the booth prints it, every print dialog answered by `answer` after a second press of
    // Print; what the user was told.
    QStringList printAnswering(const std::function<void(QPrintDialog*)>& answer)
    {
        QTimer poll;
        bool pressedAgain = false;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->property("answered").toBool())
                return;
            dialog->setProperty("answered", true);
            ++m_dialogs;
            if (!std::exchange(pressedAgain, true))
                QTimer::singleShot(0, [this] { EXPECT_TRUE(printSheet().isEmpty()); });
            QTimer::singleShot(0, dialog, [dialog, answer] { answer(dialog); });
        });
        poll.start(20);
        return printSheet();
    }
    static void accept(QPrintDialog* dialog) { dialog->accept(); }
    QTemporaryDir m_dir;
    const CPicture m_photo = fixtures::pictureOf(
        QImage(reinterpret_cast<const uchar*>(kQuadrants), 2, 2, QImage::Format_RGB32).scaled(W, H));
    const SheetRect m_place{0, 0, W, H};
    QImage m_screen = fixtures::deviceAt(96);
    int m_dialogs = 0;
};

TEST_F(PrintToPdf, SheetAtTheTopLeftOfThePrintableAreaAt145By102mm)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFileName(m_dir.filePath("none.pdf"));
    printer.setResolution(600);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 15, 10, 10),
                                      QPageLayout::Millimeter));
    ASSERT_EQ(printer.logicalDpiX(), 600);
    EXPECT_FALSE(CPicture().PrintPictureOn(printer, &m_screen, 145, 102));
    CPicture photo = m_photo;
    EXPECT_FALSE(photo.PrintPictureOn(printer, nullptr, 145, 102));
    EXPECT_FALSE(photo.PrintPictureOn(printer, &m_screen, 0, 102));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("none.pdf")));
    // On a full page too the margins mark the printable corner.
    for (const QString name : {"sheet.pdf", "full.pdf"}) {
        printer.setFullPage(name == "full.pdf");
        printer.setOutputFileName(m_dir.filePath(name));
        ASSERT_TRUE(printSheet(printer));
        expectSheetAt(m_dir.filePath(name), QPointF(10, 15));
    }
}

// Without a printing service there is nothing to choose from: a message, no dialog.
TEST_F(PrintToPdf, NoPrintingServiceIsToldWithoutADialog)
{
    EXPECT_EQ(printAnswering(accept),
              QStringList("The printing service of this computer (CUPS) does not answer, so no printer "
                          "can be used.\n\nYour photos are kept: press Print again when the printer is ready."));
    EXPECT_EQ(m_dialogs, 0);
}

// A private cupsd for the whole program (libcups reads CUPS_SERVER once) with cups-pdf queues, each into a
// folder of its own; skipped without root, cupsd or cups-pdf.
class PrintQueue : public PrintToPdf {
protected:
    static void SetUpTestSuite()
    {
        const QString cupsd = "/usr/sbin/cupsd";
        if (::geteuid() != 0 || !QFileInfo::exists(cupsd) || !QFileInfo::exists("/usr/lib/cups/backend/cups-pdf")
            || !QFileInfo::exists(kPpd) || !QFileInfo(QString("/etc/cups")).isWritable())
            return;
        s_root = std::make_unique<QTemporaryDir>();
        const QString root = s_root->path();
        for (const char* sub : {"etc", "spool/tmp", "cache", "state", "log", "pdfspool"})
            QDir(root).mkpath(sub);
        QFile::setPermissions(root, QFile::Permissions(0x7755));
        const auto config = [&](const QString& path, const QString& text) { return fixtures::writeFile(path, text.arg(root).toUtf8()); };
        config(root + "/etc/cupsd.conf", "Listen %1/cups.sock\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                                         "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n");
        config(root + "/etc/cups-files.conf",
               "ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\n"
               "StateDir %1/state\nAccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
               "PageLog %1/log/page_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n");
        // A queue whose paper is A6, narrower than the sheet upright: the stock PPD with A6 added and made its default.
        QString a6 = QString::fromLatin1(fixtures::readFile(kPpd));
        const QString setPage = "\"<</PageSize[298 420]/ImagingBBox null>>setpagedevice\"";
        const std::pair<QString, QString> added[] = {{"PageSize", setPage}, {"PageRegion", setPage},
            {"ImageableArea", "\"0 0 298 420\""}, {"PaperDimension", "\"298 420\""}};
        for (const auto& [kind, value] : added) {
            a6.replace("*Default" + kind + ": A4", "*Default" + kind + ": A6");
            a6.replace("*" + kind + " A5/A5", QString("*%1 A6/A6: %2\n*%1 A5/A5").arg(kind, value));
        }
        fixtures::writeFile(root + "/A6.ppd", a6.toUtf8());
        s_cupsd = std::make_unique<QProcess>();
        s_cupsd->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        s_cupsd->start(cupsd, {"-f", "-c", root + "/etc/cupsd.conf", "-s", root + "/etc/cups-files.conf"});
        for (int i = 0; i < 100 && !QFileInfo::exists(root + "/cups.sock") && s_cupsd->state() != QProcess::NotRunning; ++i)
            QThread::msleep(100);
        qputenv("CUPS_SERVER", QFile::encodeName(root + "/cups.sock"));
    }
    static void TearDownTestSuite()
    {
        // What has not ended by then is killed as the process goes.
        if (s_cupsd)
            s_cupsd->terminate(), s_cupsd->waitForFinished(10000);
        for (const QString& conf : std::exchange(s_backendConfs, {}))
            QFile::remove(conf);
        s_cupsd.reset();
        s_root.reset();
    }
    void SetUp() override
    {
        if (!s_root || !QFileInfo::exists(s_root->filePath("cups.sock")))
            GTEST_SKIP() << "needs root, cupsd and cups-pdf";
        pelmora::BoothSettings()->remove("Printer");
    }
    // A new cups-pdf queue on paper "A4" or "A6", made the system's default.
    QString addQueue(const QString& paper)
    {
        // cups-pdf takes the settings of the URI cups-pdf:/NAME from /etc/cups/cups-pdf-NAME.conf.
        const QString queue = QStringLiteral("pelmora%1x%2").arg(::getpid()).arg(s_backendConfs.size());
        const QString conf = QStringLiteral("/etc/cups/cups-pdf-%1.conf").arg(queue), out = s_root->filePath(queue);
        EXPECT_FALSE(QFileInfo::exists(conf));
        s_backendConfs << conf;
        QDir().mkpath(out);
        fixtures::writeFile(conf, QString("Out %1\nAnonDirName %1\nSpool %2/pdfspool\nLog %2/log\nGrp root\nLabel 2\n").arg(out, s_root->path()).toUtf8());
        const QString ppd = paper == "A6" ? s_root->filePath("A6.ppd") : kPpd;
        EXPECT_EQ(RunProgram("lpadmin", {"-p", queue, "-E", "-v", "cups-pdf:/" + queue, "-P", ppd}).exitCode, 0);
        EXPECT_EQ(RunProgram("lpadmin", {"-d", queue}).exitCode, 0);
        return queue;
    }
    // Every job the queue ever took.
    static int jobs(const QString& queue) { return RunProgram("lpstat", {"-W", "all", "-o", queue}).out.count('\n'); }
    // The queue's PDFs once `count` are there, which they must be.
    QStringList pdfs(const QString& queue, int count)
    {
        const QDir out(s_root->filePath(queue));
        QStringList files;
        for (int i = 0; i < 600 && (files = out.entryList({"*.pdf"}, QDir::Files, QDir::Time)).size() < count; ++i)
            QThread::msleep(100);
        EXPECT_EQ(files.size(), count) << qPrintable(queue);
        for (QString& file : files)
            file = out.filePath(file);
        return files;
    }
    inline static const QString kPpd = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd";
    inline static std::unique_ptr<QTemporaryDir> s_root;
    inline static std::unique_ptr<QProcess> s_cupsd;
    inline static QStringList s_backendConfs;
};

struct QueueCase {
    const char* name;
    const char* paper;  // the queue's default paper; none: no printer at all
    const char *stop, *start; // what keeps the queue from printing, and what lets it print again
    const char* problem;
    bool turned;        // the sheet lies across the paper
};

TEST_F(PrintQueue, OnePrintPerPressOnTheWholeSheetOrAMessageWhenTheQueueCannotPrint)
{
    for (const QString& printer : pelmora::ListPrinters().names)
        RunProgram("lpadmin", {"-x", printer});
    const QueueCase cases[] = {
        {"no printer", nullptr, nullptr, nullptr, "No printer is set up on this computer. Set up the photo printer in "
                                                  "the system's printer settings.\n\n", false},
        {"A6 turns the sheet", "A6", nullptr, nullptr, nullptr, true},
        {"A4 holds it upright", "A4", nullptr, nullptr, nullptr, false},
        {"paused", "A6", "cupsdisable", "cupsenable", "it is paused", true},
        {"rejecting", "A4", "cupsreject", "cupsaccept", "it does not accept new jobs", false},
    };
    const QString kept = "Your photos are kept: press Print again when the printer is ready.";
    for (const QueueCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_dialogs = 0;
        pelmora::BoothSettings()->remove("Printer");
        if (!c.paper) {
            EXPECT_EQ(printAnswering(accept), QStringList(c.problem + kept));
            EXPECT_EQ(m_dialogs, 0);
            continue;
        }
        const QString queue = addQueue(c.paper);
        if (c.stop) {
            ASSERT_EQ(RunProgram(c.stop, {queue}).exitCode, 0);
            EXPECT_EQ(printAnswering(accept), QStringList(QString("The printer \"%1\" cannot print now: %2.\n\nNothing "
                                                                  "was sent to it. ").arg(queue, c.problem) + kept));
            EXPECT_EQ(jobs(queue), 0);
            ASSERT_EQ(RunProgram(c.start, {queue}).exitCode, 0);
        }
        // Cancelled, nothing is sent; the dialog offers no range, selection or file.
        EXPECT_TRUE(printAnswering([](QPrintDialog* dialog) {
            for (auto option : {QAbstractPrintDialog::PrintPageRange, QAbstractPrintDialog::PrintSelection,
                                QAbstractPrintDialog::PrintToFile, QAbstractPrintDialog::PrintCurrentPage})
                EXPECT_FALSE(dialog->testOption(option)) << option;
            dialog->reject();
        }).isEmpty());
        EXPECT_EQ(jobs(queue), 0);
        EXPECT_TRUE(printAnswering(accept).isEmpty());
        EXPECT_EQ(m_dialogs, c.stop ? 3 : 2);
        for (const QString& pdf : pdfs(queue, 1))
            expectSheetAt(pdf, QPointF(0, 0), c.turned);
        EXPECT_EQ(jobs(queue), 1);
    }
}

// The paper chosen once in the printer's properties, on the printer chosen then, after the system's default
// changed and after a restart.
TEST_F(PrintQueue, PrinterAndPaperAreRemembered)
{
    const QString chosen = addQueue("A6"), other = addQueue("A4");
    ASSERT_EQ(RunProgram("lpadmin", {"-d", chosen}).exitCode, 0);
    // In the properties the paper shown is `shows`; A5 is chosen there.
    const auto choosePaper = [](const char* shows) {
        return [shows](QPrintDialog* dialog) {
            QTimer::singleShot(0, [shows] {
                QWidget* properties = QApplication::activeModalWidget();
                auto* papers = properties->findChild<QComboBox*>("pageSizeCombo");
                ASSERT_NE(papers, nullptr);
                EXPECT_EQ(papers->currentText(), shows);
                papers->setCurrentIndex(papers->findText("A5"));
                QMetaObject::invokeMethod(properties, "accept");
            });
            dialog->findChild<QPushButton*>("properties")->click();
            dialog->accept();
        };
    };
    EXPECT_TRUE(printAnswering(choosePaper("A6")).isEmpty());
    ASSERT_EQ(RunProgram("lpadmin", {"-d", other}).exitCode, 0);
    EXPECT_TRUE(printAnswering(accept).isEmpty());
    // Restarted, the booth finds both in its settings file.
    const QByteArray stored = fixtures::readFile(pelmora::BoothSettings()->fileName());
    EXPECT_TRUE(stored.contains("Name=" + chosen.toUtf8()) && stored.contains("Paper=A5")) << stored.constData();
    EXPECT_TRUE(printAnswering(choosePaper("A5")).isEmpty());
    for (const QString& pdf : pdfs(chosen, 3)) {
        expectSheetAt(pdf, QPointF(0, 0), true);
        const QString info = RunProgram("pdfinfo", {pdf}).outputIfSucceeded();
        EXPECT_TRUE(info.contains(QRegularExpression("Page size: +42[01](\\.\\d+)? x 595"))) << info.toStdString();
    }
    EXPECT_EQ(jobs(other), 0);
    // A remembered printer that is gone: the system's default, on its own paper.
    ASSERT_EQ(RunProgram("lpadmin", {"-x", chosen}).exitCode, 0);
    EXPECT_TRUE(printAnswering(accept).isEmpty());
    for (const QString& pdf : pdfs(other, 1))
        expectSheetAt(pdf, QPointF(0, 0));
}

} // namespace
