#pragma once
// The print dialog for one sticker sheet. The toolkit's dialog opens every
// printer's page on the driver's default paper; this one opens on the page
// the sheet needs (printsetup.h): the remembered one for the remembered
// printer, otherwise the printer's paper turned for the sheet, with only the
// printer's own margins.
#include "printsetup.h"

#include <QObject>
#include <QSizeF>

class QDialog;

namespace pelmora {

class SheetPrintDialog : public QObject {
public:
    // printer is set to the printer the dialog opens on.
    SheetPrintDialog(QPrinter& printer, std::optional<PrinterSetup> remembered, QSizeF sheetMm);

    // Shows the dialog (no page range, selection or print-to-file choices).
    // True when the user chose to print; printer is then set up for it.
    bool exec();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The sheet's page for the printer now chosen, set on the printer, where
    // the printer's properties dialog takes its orientation and margins from.
    void PreparePage();
    // The printer's properties dialog shows the prepared paper, not the
    // driver's default, and what the user confirms there is kept.
    void TakeOver(QDialog* properties);

    QPrinter& m_printer;
    std::optional<PrinterSetup> m_remembered;
    QSizeF m_sheetMm;
    QPageLayout m_page;
    bool m_pageConfirmed = false;
};

} // namespace pelmora
