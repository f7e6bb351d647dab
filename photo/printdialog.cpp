// The print dialog for one sticker sheet.
#include "printdialog.h"

#include <QChildEvent>
#include <QComboBox>
#include <QPrintDialog>
#include <QPrinter>

namespace pelmora {

namespace {

// Names of the toolkit's own print dialog widgets. Should a later toolkit
// rename them, the dialog still works; only the printer's properties then
// open on the driver's paper and a changed printer keeps the page prepared
// for the first one.
const QString kPrinterList = QStringLiteral("printers");
const QString kPaperList = QStringLiteral("pageSizeCombo");

} // namespace

SheetPrintDialog::SheetPrintDialog(QPrinter& printer, std::optional<PrinterSetup> remembered, QSizeF sheetMm)
    : m_printer(printer), m_remembered(std::move(remembered)), m_sheetMm(sheetMm)
{
    // A printer that is gone leaves it on the system's default printer.
    if (m_remembered)
        m_printer.setPrinterName(m_remembered->printer);
}

void SheetPrintDialog::PreparePage()
{
    m_page = SheetPageFor(m_printer, m_remembered, m_sheetMm);
    ApplyPage(m_printer, m_page);
    m_pageConfirmed = false;
}

bool SheetPrintDialog::exec()
{
    PreparePage();
    QPrintDialog dialog(&m_printer);
    // One page of one picture: there is nothing to choose a range or a
    // selection from, and the output goes to a printer.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    // Connected after the dialog's own handler, which has moved the printer
    // to the chosen one by then.
    if (auto* printers = dialog.findChild<QComboBox*>(kPrinterList))
        connect(printers, &QComboBox::currentIndexChanged, this, &SheetPrintDialog::PreparePage);
    dialog.installEventFilter(this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    // Unless the user confirmed a page in the printer's properties, the
    // dialog has put the driver's default paper back: the prepared page
    // stands, as the user saw no other.
    if (!m_pageConfirmed)
        ApplyPage(m_printer, m_page);
    return true;
}

bool SheetPrintDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The printer's properties dialog is made on demand, a child of the print
    // dialog, and polished just before it first shows.
    if (event->type() == QEvent::ChildPolished) {
        auto* properties = qobject_cast<QDialog*>(static_cast<QChildEvent*>(event)->child());
        if (properties && properties->findChild<QComboBox*>(kPaperList))
            TakeOver(properties);
    }
    return QObject::eventFilter(watched, event);
}

void SheetPrintDialog::TakeOver(QDialog* properties)
{
    QComboBox* papers = properties->findChild<QComboBox*>(kPaperList);
    for (int i = 0; i < papers->count(); ++i) {
        const QPageSize paper = papers->itemData(i).value<QPageSize>();
        if (paper.isValid() && paper.key() == m_page.pageSize().key()) {
            papers->setCurrentIndex(i);
            break;
        }
    }
    connect(properties, &QDialog::accepted, this, [this] { m_pageConfirmed = true; });
}

} // namespace pelmora
