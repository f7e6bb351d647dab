#pragma once
// The page a sticker sheet is printed on: which way the paper is turned, the
// printer's own margins as they fall on the page, and the printer and page of
// the last print, kept in the booth's settings.
#include <QPageLayout>
#include <QString>
#include <optional>

class QPrinter;
class QSettings;

namespace pelmora {

// The orientation in which more of a sheet of sheetMm lies on the printable
// part of the paper, given upright (as its page size is defined) with the
// printer's margins around it; portrait when both hold as much.
QPageLayout::Orientation SheetOrientation(QSizeF paperMm, const QMarginsF& uprightMarginsMm, QSizeF sheetMm);

// The printer's margins, given for the paper upright, as they fall on a page
// of that orientation. CUPS lays a landscape page on the paper turned a
// quarter counter-clockwise: the page's left edge along the paper's bottom,
// its top along the paper's left.
QMarginsF MarginsOnPage(const QMarginsF& uprightMargins, QPageLayout::Orientation orientation);

// The printer and page of a print. The paper's key names it among the sizes
// its printer offers ("Postcard", "w288h432"); the layout holds its size,
// orientation and margins in millimetres.
struct PrinterSetup {
    QString printer;
    QString paperKey;
    QPageLayout layout;
};

// The setup last remembered; none when nothing usable is stored.
std::optional<PrinterSetup> RecallPrinterSetup(QSettings& settings);
void RememberPrinterSetup(QSettings& settings, const PrinterSetup& setup);

// The page to print a sheet of sheetMm on with printer (set to its printer):
// the remembered page when it belongs to this printer and its paper is still
// offered; otherwise the printer's default paper, turned by SheetOrientation,
// with the printer's own margins and no margin of the toolkit's.
QPageLayout SheetPageFor(QPrinter& printer, const std::optional<PrinterSetup>& remembered, QSizeF sheetMm);

// Sets printer to page. The painter's origin is then the paper's corner (the
// margins are the printer's, which the toolkit does not turn with the page);
// the margins mark the printable area's corner.
void ApplyPage(QPrinter& printer, const QPageLayout& page);

} // namespace pelmora
