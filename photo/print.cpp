// Printing a picture at a fixed physical size.
#include "picture.h"

#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

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

bool CPicture::PrintPicture(const QPaintDevice* dc, int mmW, int mmH)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer);
    // One page of one picture: there is nothing to choose a range or a
    // selection from, and the output goes to a printer.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    if (dialog.exec() != QDialog::Accepted)
        return true;
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
    // begin() starts the document and its first page; end() finishes both.
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The whole decoded picture is the source. It is what GetPixelWidth and
    // GetPixelHeight measure on the screen the booth runs on; should a device
    // measure it otherwise, a source rectangle of that size would cut the
    // picture or reach past it.
    painter.drawImage(QRect(QPoint(0, 0), dest), *bitmap);
    return painter.end();
}
