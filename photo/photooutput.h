#pragma once
// What becomes of the captured photos: numbered bitmap files in a folder, and
// one sheet picture with every photo stretched into its place, printed at the
// sticker sheet's size. Functions over pictures and places, so that the sheet
// that holds them is not needed here.
#include "picture.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>

class QPaintDevice;
class QPrinter;

// One photo place as a layout file stores it: pixels of the 320 by 240 sheet
// canvas, four signed 32-bit values in file order. Width is right - left and
// height bottom - top; nothing forces right >= left or the place to lie on
// the canvas, so users of a rectangle check what they need.
struct SheetRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const SheetRect&, const SheetRect&) = default;
};

// What an export did, so the window can tell the user which folder failed and
// how many photos were saved there.
struct ExportReport {
    QString folder;
    // The files written, full names in photo order.
    QStringList written;
    // Set when the export stopped before the last photo: the file it was
    // making (or the name it could not make) and why, in plain words.
    QString failedFile;
    QString reason;

    bool stopped() const { return !reason.isEmpty(); }

    // What the user is told when the export stopped, with the folder in the
    // desktop's own notation, of photoCount photos.
    QString StoppedMessage(int photoCount) const;
};

namespace pelmora {

// The printed sheet's size in millimetres.
inline constexpr int kSheetWidthMm = 145;
inline constexpr int kSheetHeightMm = 102;

// Writes every photo as a 24-bit BMP file "<folder>/Pelmora <n>.bmp", photo i
// taking the first number from n up whose file does not exist (n starts at 1
// and goes on after each photo's number). Files are created exclusively, so
// nothing is ever overwritten. The export stops at the first file that cannot
// be made for another reason than existing, or not written in full; a partial
// file is removed, earlier ones stay. Returns the photo count when all were
// written, 0 when there are no photos or the export stopped.
int ExportPhotoFiles(std::span<const CPicture> photos, const QString& folder, ExportReport* report = nullptr);

// The sheet picture: a W x H 24-bit canvas, white where no photo lies, photo i
// stretched into place i. A place's top is its stored (bottom-up) row, so the
// printed sheet shows the layout preview mirrored top to bottom. Places
// outside the canvas are clipped; empty or inverted places and photos without
// a size for dc are left out. Empty when the canvas cannot be made.
CPicture ComposeSheetPicture(std::span<const CPicture> photos, std::span<const SheetRect> places,
                             const QPaintDevice* dc, int W, int H);

// Prints the 320 x 240 sheet picture as one 145 x 102 mm page, asking for the
// printer first (CPicture::PrintPicture, which tells why nothing was sent);
// on a printer set up by the caller, false when nothing printed.
void PrintSheetPicture(std::span<const CPicture> photos, std::span<const SheetRect> places,
                       const QPaintDevice* dc, const std::function<void(const QString&)>& tell = {});
bool PrintSheetPictureOn(QPrinter& printer, std::span<const CPicture> photos,
                         std::span<const SheetRect> places, const QPaintDevice* dc);

} // namespace pelmora
