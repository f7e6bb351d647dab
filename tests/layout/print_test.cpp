// Printing the sheet to PDF and through a private CUPS queue, rendered back by poppler's pdftoppm.
#include "archive.h"
#include "photofixtures.h"
#include "stickersheet.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <tuple>
#include <unistd.h>
#include "testing.h"
#include <gtest/gtest.h>

namespace {

TEST(PrintDestination, MillimetresAtThePrintersResolution)
{
    // Cut, not rounded (1712.6 x 1204.7 at 300 dpi); 254 dpi is 10 a millimetre.
    for (const auto& [x, y, size] : {std::tuple{600, 600, QSize(3425, 2409)}, {300, 300, QSize(1712, 1204)},
                                     {1200, 600, QSize(6850, 2409)}, {254, 254, QSize(1450, 1020)}})
        EXPECT_EQ(pelmora::PrintDestinationSize(145, 102, x, y), size) << x << " x " << y;
}

// Four quadrants of four colours, so the rendered page shows which way up
// and which way round the sheet came out.
QImage quadrants()
{
    QImage image(320, 240, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(0, 0, 0)};
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            image.setPixel(x, y, colours[(y >= 120) * 2 + (x >= 160)]);
    return image;
}

// The renderer's colour handling may move a channel by a step or two.
bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 && std::abs(qBlue(a) - qBlue(b)) <= 3;
}

using fixtures::writeFile;

// A one-place sheet holding the quadrants, and the PDF rendering of a page.
class PrintToPdf : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
            GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
        ASSERT_TRUE(writeFile(m_dir.filePath("one.dat"), pelmora::WriteLayoutArchive(std::vector<SheetRect>{{0, 0, 320, 240}})));
        m_sheet = std::make_unique<CStickerSheet>(m_dir.filePath("one.dat"));
        m_sheet->AddPhoto(fixtures::pictureOf(quadrants()));
    }
    // One page of the booth's title, which rendered at 150 dpi shows the sheet
    // upright, 145 x 102 mm, its top-left corner at the given millimetres from
    // the page's. A queue's file may still be written: read once it is whole.
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
    QTemporaryDir m_dir;
    std::unique_ptr<CStickerSheet> m_sheet;
    QImage m_screen = fixtures::deviceAt(96);
};

TEST_F(PrintToPdf, SheetAtTheTopLeftOfThePrintableAreaAt145By102mm)
{
    const QString pdf = m_dir.filePath("sheet.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setResolution(600);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 15, 10, 10),
                                      QPageLayout::Millimeter));
    ASSERT_EQ(printer.logicalDpiX(), 600);
    ASSERT_TRUE(m_sheet->PrintSheetOn(printer, &m_screen));
    expectSheetAt(pdf, QPointF(10, 15));
    // An empty picture, no screen or an unusable size print nothing.
    printer.setOutputFileName(m_dir.filePath("none.pdf"));
    EXPECT_FALSE(CPicture().PrintPictureOn(printer, &m_screen, 145, 102));
    CPicture photo = fixtures::pictureOf(quadrants());
    EXPECT_FALSE(photo.PrintPictureOn(printer, nullptr, 145, 102));
    EXPECT_FALSE(photo.PrintPictureOn(printer, &m_screen, 0, 102));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("none.pdf")));
}

// A private cupsd with a cups-pdf queue whose PDF lands in the test's folder.
// Skipped where cupsd, cups-pdf or root are missing.
class PrintQueue : public PrintToPdf {
protected:
    void SetUp() override
    {
        const QString cupsd = "/usr/sbin/cupsd", ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd";
        if (::geteuid() != 0 || !QFileInfo::exists(cupsd) || !QFileInfo::exists("/usr/lib/cups/backend/cups-pdf")
            || !QFileInfo::exists(ppd) || !QFileInfo(QString("/etc/cups")).isWritable())
            GTEST_SKIP() << "needs root, cupsd and cups-pdf";
        PrintToPdf::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        const QString root = m_dir.path();
        for (const char* sub : {"etc", "spool/tmp", "cache", "state", "log", "out", "pdfspool"})
            ASSERT_TRUE(QDir(root).mkpath(sub));
        QFile::setPermissions(root, QFile::Permissions(0x7755));
        const QString socket = root + "/cups.sock";
        ASSERT_TRUE(writeFile(root + "/etc/cupsd.conf", QStringLiteral("Listen %1\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                                                                       "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n")
                                                            .arg(socket).toUtf8()));
        ASSERT_TRUE(writeFile(root + "/etc/cups-files.conf",
                              QStringLiteral("ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\n"
                                             "StateDir %1/state\nAccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
                                             "PageLog %1/log/page_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n")
                                  .arg(root).toUtf8()));
        // cups-pdf takes its settings for the URI cups-pdf:/NAME from
        // /etc/cups/cups-pdf-NAME.conf; this one sends everything here.
        m_queue = QStringLiteral("pelmoratest%1").arg(::getpid());
        const QString conf = QStringLiteral("/etc/cups/cups-pdf-%1.conf").arg(m_queue);
        ASSERT_FALSE(QFileInfo::exists(conf));
        m_backendConf = conf;
        ASSERT_TRUE(writeFile(conf, QStringLiteral("Out %1/out\nAnonDirName %1/out\nSpool %1/pdfspool\nLog %1/log\nGrp root\n")
                                        .arg(root).toUtf8()));
        m_cupsd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_cupsd.start(cupsd, {"-f", "-c", root + "/etc/cupsd.conf", "-s", root + "/etc/cups-files.conf"});
        if (!m_cupsd.waitForStarted())
            GTEST_SKIP() << "cupsd does not start";
        for (int i = 0; i < 100 && !QFileInfo::exists(socket) && m_cupsd.state() == QProcess::Running; ++i)
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
    ASSERT_TRUE(m_sheet->PrintSheetOn(printer, &m_screen));
    // The queue works on its own time.
    const QDir out(m_dir.filePath("out"));
    QStringList pdfs;
    for (int i = 0; i < 600 && (pdfs = out.entryList({"*.pdf"}, QDir::Files)).isEmpty(); ++i)
        QThread::msleep(100);
    ASSERT_EQ(pdfs.size(), 1) << "no PDF from the queue";
    EXPECT_TRUE(pdfs.first().startsWith("Pelmora_2004")) << pdfs.first().toStdString();
    expectSheetAt(out.filePath(pdfs.first()), printable);
}

TEST(PrintDialog, OffersNoRangeSelectionOrFileAndCancelStillReturnsTrue)
{
    CPicture photo = fixtures::pictureOf(quadrants());
    const QImage screen = fixtures::deviceAt(96);
    // Answers the dialog as a user who looks at it and cancels.
    bool seen = false;
    QAbstractPrintDialog::PrintDialogOptions options;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            seen = true;
            options = dialog->options();
            dialog->reject();
        }
    });
    answer.start(20);
    EXPECT_TRUE(photo.PrintPicture(&screen, 145, 102));
    answer.stop();
    ASSERT_TRUE(seen);
    for (auto option : {QAbstractPrintDialog::PrintPageRange, QAbstractPrintDialog::PrintSelection,
                        QAbstractPrintDialog::PrintToFile, QAbstractPrintDialog::PrintCurrentPage})
        EXPECT_FALSE(options.testFlag(option)) << option;
}

} // namespace
