// The sheet's page: orientation, the printer's margins, the remembered setup.
#include "printsetup.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QSettings>
#include <algorithm>
#include <cmath>

namespace pelmora {

namespace {

const QString kGroup = QStringLiteral("Printer");

// The part of a sheet that lies on a printable area of that size.
double CoveredArea(double width, double height, QSizeF sheet)
{
    return std::clamp(width, 0.0, sheet.width()) * std::clamp(height, 0.0, sheet.height());
}

// A length read back from the settings file, which anyone may have edited.
std::optional<double> Millimetres(const QVariant& value, double most)
{
    bool ok = false;
    const double mm = value.toDouble(&ok);
    if (!ok || !std::isfinite(mm) || mm < 0 || mm > most)
        return std::nullopt;
    return mm;
}

// The printer's margins for paper, upright, in millimetres: what its driver
// says it cannot print on.
QMarginsF UprightMargins(QPrinter& printer, const QPageSize& paper)
{
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageSize(paper);
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    return layout.minimumMargins();
}

} // namespace

QPageLayout::Orientation SheetOrientation(QSizeF paperMm, const QMarginsF& uprightMarginsMm, QSizeF sheetMm)
{
    const double across = paperMm.width() - uprightMarginsMm.left() - uprightMarginsMm.right();
    const double along = paperMm.height() - uprightMarginsMm.top() - uprightMarginsMm.bottom();
    return CoveredArea(along, across, sheetMm) > CoveredArea(across, along, sheetMm) ? QPageLayout::Landscape
                                                                                     : QPageLayout::Portrait;
}

QMarginsF MarginsOnPage(const QMarginsF& upright, QPageLayout::Orientation orientation)
{
    if (orientation == QPageLayout::Portrait)
        return upright;
    return QMarginsF(upright.bottom(), upright.left(), upright.top(), upright.right());
}

std::optional<PrinterSetup> RecallPrinterSetup(QSettings& settings)
{
    settings.beginGroup(kGroup);
    const QString printer = settings.value(QStringLiteral("Name")).toString();
    const QString paperKey = settings.value(QStringLiteral("Paper")).toString();
    const QString paperName = settings.value(QStringLiteral("PaperName")).toString();
    const auto width = Millimetres(settings.value(QStringLiteral("PaperWidth")), 10000);
    const auto height = Millimetres(settings.value(QStringLiteral("PaperHeight")), 10000);
    const QString orientation = settings.value(QStringLiteral("Orientation")).toString();
    const QStringList marginTexts = settings.value(QStringLiteral("Margins")).toStringList();
    settings.endGroup();

    std::optional<double> margins[4];
    for (int i = 0; i < 4 && marginTexts.size() == 4; ++i)
        margins[i] = Millimetres(marginTexts[i], 1000);
    const bool landscape = orientation == QLatin1String("landscape");
    if (printer.isEmpty() || paperKey.isEmpty() || !width || !height || *width == 0 || *height == 0
        || (!landscape && orientation != QLatin1String("portrait"))
        || !std::all_of(std::begin(margins), std::end(margins), [](const auto& m) { return m.has_value(); }))
        return std::nullopt;
    QPageLayout layout(QPageSize(QSizeF(*width, *height), QPageSize::Millimeter, paperName, QPageSize::ExactMatch),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(),
                       QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    layout.setMargins(QMarginsF(*margins[0], *margins[1], *margins[2], *margins[3]));
    return PrinterSetup{printer, paperKey, layout};
}

void RememberPrinterSetup(QSettings& settings, const PrinterSetup& setup)
{
    QPageLayout page = setup.layout;
    page.setUnits(QPageLayout::Millimeter);
    const QSizeF size = page.pageSize().size(QPageSize::Millimeter);
    const QMarginsF margins = page.margins();
    settings.beginGroup(kGroup);
    settings.setValue(QStringLiteral("Name"), setup.printer);
    settings.setValue(QStringLiteral("Paper"), setup.paperKey);
    settings.setValue(QStringLiteral("PaperName"), page.pageSize().name());
    settings.setValue(QStringLiteral("PaperWidth"), size.width());
    settings.setValue(QStringLiteral("PaperHeight"), size.height());
    settings.setValue(QStringLiteral("Orientation"), page.orientation() == QPageLayout::Landscape
                                                         ? QStringLiteral("landscape")
                                                         : QStringLiteral("portrait"));
    settings.setValue(QStringLiteral("Margins"),
                      QStringList{QString::number(margins.left()), QString::number(margins.top()),
                                  QString::number(margins.right()), QString::number(margins.bottom())});
    settings.endGroup();
    settings.sync();
}

QPageLayout SheetPageFor(QPrinter& printer, const std::optional<PrinterSetup>& remembered, QSizeF sheetMm)
{
    const QPrinterInfo info(printer);
    if (remembered && remembered->printer == printer.printerName()) {
        const QList<QPageSize> offered = info.supportedPageSizes();
        const auto paper = std::find_if(offered.begin(), offered.end(), [&](const QPageSize& size) {
            return size.key() == remembered->paperKey;
        });
        if (paper != offered.end() || info.supportsCustomPageSizes()) {
            QPageLayout page = remembered->layout;
            if (paper != offered.end())
                page.setPageSize(*paper);
            return page;
        }
    }
    QPageSize paper = info.defaultPageSize();
    if (!paper.isValid())
        paper = printer.pageLayout().pageSize();
    const QMarginsF upright = UprightMargins(printer, paper);
    const QPageLayout::Orientation orientation = SheetOrientation(paper.size(QPageSize::Millimeter), upright, sheetMm);
    QPageLayout page(paper, orientation, QMarginsF(), QPageLayout::Millimeter);
    page.setMode(QPageLayout::FullPageMode);
    page.setMargins(MarginsOnPage(upright, orientation));
    return page;
}

void ApplyPage(QPrinter& printer, const QPageLayout& page)
{
    printer.setFullPage(true);
    printer.setPageOrientation(page.orientation());
    printer.setPageSize(page.pageSize());
    printer.setPageMargins(page.margins(), page.units());
}

} // namespace pelmora
