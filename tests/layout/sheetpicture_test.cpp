// The sheet picture pixel by pixel, and the sheet printed to PDF and through a private CUPS queue, read back by pdftoppm.
#include "photofixtures.h"
#include "photooutput.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <optional>
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

// Four colours, so the rendered page shows which way up and which way round the sheet came out.
QImage quadrants()
{
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(0, 0, 0)};
    return QImage(reinterpret_cast<const uchar*>(colours), 2, 2, QImage::Format_RGB32).scaled(W, H);
}

// The renderer's colour handling may move a channel by a step or two.
bool near(QRgb a, QRgb b) { return qAbs(qRed(a) - qRed(b)) <= 3 && qAbs(qGreen(a) - qGreen(b)) <= 3 && qAbs(qBlue(a) - qBlue(b)) <= 3; }

class PrintToPdf : public ::testing::Test {
protected:
    // One page titled for the booth, the sheet upright, 145 x 102 mm at `corner` mm (a queue's file once whole).
    void expectSheetAt(const QString& pdf, QPointF corner)
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
        EXPECT_NEAR(box.left(), corner.x() * dots, 1.5);
        EXPECT_NEAR(box.top(), corner.y() * dots, 1.5);
        EXPECT_NEAR(box.width(), 145 * dots, 2);
        EXPECT_NEAR(box.height(), 102 * dots, 2);
        const int qx = box.width() / 4, qy = box.height() / 4;
        EXPECT_PRED2(near, page.pixel(box.left() + qx, box.top() + qy), qRgb(255, 0, 0));
        EXPECT_PRED2(near, page.pixel(box.right() - qx, box.top() + qy), qRgb(0, 255, 0));
        EXPECT_PRED2(near, page.pixel(box.left() + qx, box.bottom() - qy), qRgb(0, 0, 255));
        EXPECT_PRED2(near, page.pixel(box.right() - qx, box.bottom() - qy), qRgb(0, 0, 0));
    }
    bool printSheet(QPrinter& printer) { return pelmora::PrintSheetPictureOn(printer, {&m_photo, 1}, {&m_place, 1}, &m_screen); }
    QTemporaryDir m_dir;
    const CPicture m_photo = fixtures::pictureOf(quadrants());
    const SheetRect m_place{0, 0, W, H};
    QImage m_screen = fixtures::deviceAt(96);
};

TEST_F(PrintToPdf, SheetAtTheTopLeftOfThePrintableAreaAt145By102mm)
{
    const QString pdf = m_dir.filePath("sheet.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFileName(pdf);
    printer.setResolution(600);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 15, 10, 10),
                                      QPageLayout::Millimeter));
    ASSERT_EQ(printer.logicalDpiX(), 600);
    ASSERT_TRUE(printSheet(printer));
    expectSheetAt(pdf, QPointF(10, 15));
    printer.setOutputFileName(m_dir.filePath("none.pdf"));
    EXPECT_FALSE(CPicture().PrintPictureOn(printer, &m_screen, 145, 102));
    CPicture photo = m_photo;
    EXPECT_FALSE(photo.PrintPictureOn(printer, nullptr, 145, 102));
    EXPECT_FALSE(photo.PrintPictureOn(printer, &m_screen, 0, 102));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("none.pdf")));
}

// A private cupsd with a cups-pdf queue into the test's folder; skipped without root, cupsd or cups-pdf.
class PrintQueue : public PrintToPdf {
protected:
    void SetUp() override
    {
        const QString cupsd = "/usr/sbin/cupsd", ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd";
        if (::geteuid() != 0 || !QFileInfo::exists(cupsd) || !QFileInfo::exists("/usr/lib/cups/backend/cups-pdf")
            || !QFileInfo::exists(ppd) || !QFileInfo(QString("/etc/cups")).isWritable())
            GTEST_SKIP() << "needs root, cupsd and cups-pdf";
        const QString root = m_dir.path();
        for (const char* sub : {"etc", "spool/tmp", "cache", "state", "log", "out", "pdfspool"})
            ASSERT_TRUE(QDir(root).mkpath(sub));
        QFile::setPermissions(root, QFile::Permissions(0x7755));
        const QString socket = root + "/cups.sock";
        const auto config = [&](const QString& path, const QString& text) { return fixtures::writeFile(path, text.arg(root).toUtf8()); };
        ASSERT_TRUE(config(root + "/etc/cupsd.conf", "Listen %1/cups.sock\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                                                     "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"));
        ASSERT_TRUE(config(root + "/etc/cups-files.conf",
                           "ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\n"
                           "StateDir %1/state\nAccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
                           "PageLog %1/log/page_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n"));
        // cups-pdf takes the settings of the URI cups-pdf:/NAME from /etc/cups/cups-pdf-NAME.conf.
        m_queue = QStringLiteral("pelmoratest%1").arg(::getpid());
        const QString conf = QStringLiteral("/etc/cups/cups-pdf-%1.conf").arg(m_queue);
        ASSERT_FALSE(QFileInfo::exists(conf));
        m_backendConf = conf;
        ASSERT_TRUE(config(conf, "Out %1/out\nAnonDirName %1/out\nSpool %1/pdfspool\nLog %1/log\nGrp root\n"));
        m_cupsd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_cupsd.start(cupsd, {"-f", "-c", root + "/etc/cupsd.conf", "-s", root + "/etc/cups-files.conf"});
        for (int i = 0; i < 100 && !QFileInfo::exists(socket) && m_cupsd.state() != QProcess::NotRunning; ++i)
            QThread::msleep(100);
        if (!QFileInfo::exists(socket))
            GTEST_SKIP() << "cupsd did not open its socket";
        qputenv("CUPS_SERVER", QFile::encodeName(socket));
        ASSERT_EQ(RunProgram("lpadmin", {"-p", m_queue, "-E", "-v", "cups-pdf:/" + m_queue, "-P", ppd}).exitCode, 0);
    }
    void TearDown() override
    {
        m_cupsd.terminate();
        if (m_cupsd.state() != QProcess::NotRunning && !m_cupsd.waitForFinished(10000))
            m_cupsd.kill();
        m_cupsd.waitForFinished(-1);
        if (!m_backendConf.isEmpty())
            QFile::remove(m_backendConf);
    }
    QProcess m_cupsd;
    QString m_queue, m_backendConf;
};

TEST_F(PrintQueue, SheetComesOutOfCupsPdfAsOnePageAt145By102mm)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(m_queue);
    ASSERT_TRUE(printer.isValid() && printer.printerName() == m_queue && printer.outputFormat() == QPrinter::NativeFormat);
    const QPointF printable = printer.pageLayout().paintRect(QPageLayout::Millimeter).topLeft();
    ASSERT_TRUE(printSheet(printer));
    const QDir out(m_dir.filePath("out"));
    QStringList pdfs;
    for (int i = 0; i < 600 && (pdfs = out.entryList({"*.pdf"}, QDir::Files)).isEmpty(); ++i)
        QThread::msleep(100);
    ASSERT_EQ(pdfs.size(), 1) << "no PDF from the queue";
    expectSheetAt(out.filePath(pdfs.first()), printable);
}

TEST(PrintDialog, OffersNoRangeSelectionOrFileAndCancelStillReturnsTrue)
{
    const QImage screen = fixtures::deviceAt(96);
    std::optional<QAbstractPrintDialog::PrintDialogOptions> options;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            options = dialog->options();
            dialog->reject();
        }
    });
    answer.start(20);
    EXPECT_TRUE(fixtures::pictureOf(quadrants()).PrintPicture(&screen, 145, 102));
    ASSERT_TRUE(options);
    for (auto option : {QAbstractPrintDialog::PrintPageRange, QAbstractPrintDialog::PrintSelection,
                        QAbstractPrintDialog::PrintToFile, QAbstractPrintDialog::PrintCurrentPage})
        EXPECT_FALSE(options->testFlag(option)) << option;
}

} // namespace
