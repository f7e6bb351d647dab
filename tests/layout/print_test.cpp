// Printing the sheet: the printed size from the printer's resolution, and the
// page itself, printed to PDF and rendered back by poppler's pdftoppm.
#include "archive.h"
#include "bmp.h"
#include "photofixtures.h"
#include "stickersheet.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include "testing.h"
#include <gtest/gtest.h>

namespace {

TEST(PrintDestination, MillimetresAtThePrintersResolution)
{
    EXPECT_EQ(pelmora::PrintDestinationSize(145, 102, 600, 600), QSize(3425, 2409));
    EXPECT_EQ(pelmora::PrintDestinationSize(145, 102, 300, 300), QSize(1712, 1204));
    EXPECT_EQ(pelmora::PrintDestinationSize(145, 102, 96, 96), QSize(548, 385));
    EXPECT_EQ(pelmora::PrintDestinationSize(145, 102, 1200, 600), QSize(6850, 2409));
    // 254 dpi makes whole pixels: 10 a millimetre.
    EXPECT_EQ(pelmora::PrintDestinationSize(145, 102, 254, 254), QSize(1450, 1020));
}

// Four quadrants of four colours, so the rendered page shows which way up
// and which way round the sheet came out.
QImage quadrants()
{
    QImage image(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            image.setPixel(x, y, y < 120 ? (x < 160 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                         : (x < 160 ? qRgb(0, 0, 255) : qRgb(0, 0, 0)));
    return image;
}

// The renderer's colour handling may move a channel by a step or two.
bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3
           && std::abs(qBlue(a) - qBlue(b)) <= 3;
}

class PrintToPdf : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
            GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
        QFile layout(m_dir.filePath("one.dat"));
        ASSERT_TRUE(layout.open(QIODevice::WriteOnly));
        layout.write(pelmora::WriteLayoutArchive(std::vector<SheetRect>{{0, 0, 320, 240}}));
        layout.close();
        m_sheet = std::make_unique<CStickerSheet>(layout.fileName());
        m_sheet->AddPhoto(fixtures::pictureOf(quadrants()));
    }

    // The rendered page at 150 dpi, and the box of its coloured pixels.
    QRect renderedSheet(const QString& pdf, QImage& page)
    {
        const QString prefix = m_dir.filePath("page");
        EXPECT_EQ(RunProgram("pdftoppm", {"-r", "150", "-png", "-singlefile", pdf, prefix}).exitCode, 0);
        page = QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
        QRect box;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb c = page.pixel(x, y);
                if (qRed(c) < 200 || qGreen(c) < 200 || qBlue(c) < 200)
                    box |= QRect(x, y, 1, 1);
            }
        return box;
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
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(10, 15, 10, 10), QPageLayout::Millimeter));
    ASSERT_EQ(printer.logicalDpiX(), 600);
    ASSERT_TRUE(m_sheet->PrintSheetOn(printer, &m_screen));

    const QString info = RunProgram("pdfinfo", {pdf}).outputIfSucceeded();
    EXPECT_TRUE(info.contains(QRegularExpression("Title: +Pelmora 2004\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Pages: +1\n"))) << info.toStdString();

    QImage page;
    const QRect box = renderedSheet(pdf, page);
    // At 150 dpi: margins 10 and 15 mm are 59.06 and 88.58 pixels; the sheet
    // is 3425 x 2409 printer pixels of 600 dpi, 856.25 x 602.25 here.
    EXPECT_NEAR(box.left(), 59.06, 1.5);
    EXPECT_NEAR(box.top(), 88.58, 1.5);
    EXPECT_NEAR(box.width(), 856.25, 2);
    EXPECT_NEAR(box.height(), 602.25, 2);
    // Upright and the right way round.
    const int qx = box.width() / 4;
    const int qy = box.height() / 4;
    EXPECT_PRED2(near, page.pixel(box.left() + qx, box.top() + qy), qRgb(255, 0, 0));
    EXPECT_PRED2(near, page.pixel(box.right() - qx, box.top() + qy), qRgb(0, 255, 0));
    EXPECT_PRED2(near, page.pixel(box.left() + qx, box.bottom() - qy), qRgb(0, 0, 255));
    EXPECT_PRED2(near, page.pixel(box.right() - qx, box.bottom() - qy), qRgb(0, 0, 0));
}

TEST_F(PrintToPdf, EmptyPictureOrUnusableSizePrintsNothing)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_dir.filePath("none.pdf"));
    CPicture empty;
    EXPECT_FALSE(empty.PrintPictureOn(printer, &m_screen, 145, 102));
    CPicture photo = fixtures::pictureOf(quadrants());
    EXPECT_FALSE(photo.PrintPictureOn(printer, nullptr, 145, 102));
    EXPECT_FALSE(photo.PrintPictureOn(printer, &m_screen, 0, 102));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("none.pdf")));
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
    EXPECT_FALSE(options.testFlag(QAbstractPrintDialog::PrintPageRange));
    EXPECT_FALSE(options.testFlag(QAbstractPrintDialog::PrintSelection));
    EXPECT_FALSE(options.testFlag(QAbstractPrintDialog::PrintToFile));
    EXPECT_FALSE(options.testFlag(QAbstractPrintDialog::PrintCurrentPage));
}

} // namespace
