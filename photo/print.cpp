// Printing a picture at a fixed physical size.
#include "picture.h"

#include "printdialog.h"
#include "printqueue.h"
#include "settings.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QSettings>

namespace pelmora {

QSize PrintDestinationSize(int mmWidth, int mmHeight, int dpiX, int dpiY)
{
    // 1/25.4 as a multiplier rather than a division by 25.4: the two can
    // differ in the last bit, and the truncation then moves a whole pixel.
    constexpr double perMillimetre = 1.0 / 25.4;
    return QSize(int(double(qint64(mmWidth) * dpiX) * perMillimetre),
                 int(double(qint64(mmHeight) * dpiY) * perMillimetre));
}

} // namespace pelmora

namespace {

const QString kPhotosKept = QStringLiteral("Your photos are kept: press Print again when the printer is ready.");

// Why nothing can be printed at all, or an empty text when a printer is there.
QString NoPrinterMessage(const pelmora::PrinterList& printers)
{
    if (!printers.serviceReachable)
        return QStringLiteral("The printing service of this computer (CUPS) does not answer, so no printer can "
                              "be used.\n\n")
               + kPhotosKept;
    if (printers.names.isEmpty())
        return QStringLiteral("No printer is set up on this computer. Set up the photo printer in the "
                              "system's printer settings.\n\n")
               + kPhotosKept;
    return {};
}

} // namespace

bool CPicture::PrintPicture(const QPaintDevice* dc, int mmW, int mmH, const std::function<void(const QString&)>& tell)
{
    // While the dialog or a message is open, its event loop runs further
    // links; a second Print from them would stack a second dialog and send a
    // second sheet.
    static bool s_printing = false;
    if (s_printing)
        return true;
    const QScopedValueRollback<bool> printing(s_printing, true);
    const auto say = [&tell](const QString& text) {
        if (tell)
            tell(text);
    };

    const QString noPrinter = NoPrinterMessage(pelmora::ListPrinters());
    if (!noPrinter.isEmpty()) {
        say(noPrinter);
        return true;
    }
    const std::unique_ptr<QSettings> settings = pelmora::BoothSettings();
    QPrinter printer(QPrinter::HighResolution);
    pelmora::SheetPrintDialog dialog(printer, pelmora::RecallPrinterSetup(*settings), QSizeF(mmW, mmH));
    if (!dialog.exec())
        return true;
    pelmora::RememberPrinterSetup(*settings, {printer.printerName(), printer.pageLayout().pageSize().key(),
                                              printer.pageLayout()});

    // A queue that cannot print would take the job and keep it without a word.
    const QString problem = pelmora::QueueProblem(pelmora::ReadQueueState(printer.printerName()));
    if (!problem.isEmpty()) {
        say(QStringLiteral("The printer \"%1\" cannot print now: %2.\n\nNothing was sent to it. ")
                .arg(printer.printerName(), problem)
            + kPhotosKept);
        return true;
    }
    PrintPictureOn(printer, dc, mmW, mmH);
    return true;
}

bool CPicture::PrintPictureOn(QPrinter& printer, const QPaintDevice* dc, int mmW, int mmH)
{
    const QImage* bitmap = GetBitmap();
    if (bitmap == nullptr || GetPixelWidth(dc) <= 0 || GetPixelHeight(dc) <= 0)
        return false;
    printer.setDocName(QStringLiteral("Pelmora 2004"));
    const QSize dest = pelmora::PrintDestinationSize(mmW, mmH, printer.logicalDpiX(), printer.logicalDpiY());
    if (dest.isEmpty())
        return false;
    // The printable area's corner: the margins, measured from the painter's
    // origin, which is the paper's corner on a full page and the margins'
    // corner otherwise.
    const QPageLayout page = printer.pageLayout();
    const QMargins margins = page.marginsPixels(printer.resolution());
    const QPoint corner =
        QPoint(margins.left(), margins.top()) - page.paintRectPixels(printer.resolution()).topLeft();
    // begin() starts the document and its first page; end() finishes both.
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The whole decoded picture is the source. It is what GetPixelWidth and
    // GetPixelHeight measure on the screen the booth runs on; should a device
    // measure it otherwise, a source rectangle of that size would cut the
    // picture or reach past it.
    painter.drawImage(QRect(corner, dest), *bitmap);
    return painter.end();
}
