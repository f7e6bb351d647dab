#pragma once
// CPicture: a small value class around one shared, immutable decoded picture.
// Copies share the decoded picture; the picture lives as long as any CPicture
// holds it. Sizes are kept in HIMETRIC units (hundredths of a millimetre, 2540
// to the inch) as the platform's picture objects report them, and converted to
// the pixels of a paint device on first use.
#include "package.h"

#include <QSize>
#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <memory>

class QImage;
class QPainter;
class QPaintDevice;
class QPrinter;
class QString;

namespace pelmora {

// Decoding bounds: a picture wider or higher than kMaxPictureSide pixels, or
// with more than kMaxPicturePixels pixels, is refused from its header before
// any pixel memory is allocated. The booth's own pictures are 320 by 240; the
// bound leaves ample room for any frame artwork or camera photo while keeping
// a hostile header from asking for gigabytes.
// A picture whose reader cannot tell its size from the header is refused too.
inline constexpr int kMaxPictureSide = 8192;
inline constexpr qint64 kMaxPicturePixels = 32LL * 1024 * 1024;

// a * b / c in 64-bit, rounded to the nearest integer (halves away from zero);
// -1 when c is 0 or the result does not fit in 32 bits.
int MulDiv(int a, int b, int c);

// The screen resolution a decoded picture's HIMETRIC size is reckoned at, so
// that it measures its own pixels again on the booth's screen.
inline constexpr int kScreenDpi = 96;

// HIMETRIC length of a pixel count on a kScreenDpi screen, rounded to nearest.
int PixelsToHimetric(int pixels);

// The printed size in device pixels of mmWidth x mmHeight millimetres at the
// given resolution: the integer product millimetres x dpi times 1/25.4 in
// double precision, truncated (145 x 102 mm at 600 dpi: 3425 x 2409).
QSize PrintDestinationSize(int mmWidth, int mmHeight, int dpiX, int dpiY);

} // namespace pelmora

class CPicture {
public:
    CPicture() = default;
    // Constructs empty, then LoadFromResource; the load result is not reported
    // (callers rely on the package being well formed).
    CPicture(pelmora::HMODULE module, unsigned id, const char* type);
    CPicture(const CPicture& other) = default;
    CPicture& operator=(const CPicture& other);
    virtual ~CPicture() = default;

    // Loads the resource of the given type name and id (low 16 bits used) from
    // a resource package. A null module means the executable's own resources:
    // the Qt resource ":/resources/<type>/<id>" (e.g. ":/resources/IMAGE/1001").
    // True when a picture is now held; on failure the CPicture is empty.
    bool LoadFromResource(pelmora::HMODULE module, unsigned id, const char* type);

    // Decodes a complete picture file (BMP, JPEG, GIF and the other formats
    // Qt's image readers know) held in memory. True when a picture is now
    // held; on failure (including a picture beyond the decoding bounds) the
    // CPicture is empty.
    bool LoadFromMemory(qsizetype size, const void* bytes);

    // The decoded picture, or nullptr when empty. The image stays owned by the
    // shared picture and is valid only while this CPicture holds it.
    const QImage* GetBitmap() const;

    // Size in pixels of the device: MulDiv(HIMETRIC size, logical dpi, 2540).
    // The first device used fixes the value for as long as this reference (and
    // the copies made from it) hold the picture. -1 for an empty picture, a
    // null device or an overflowing size; -1 is not cached.
    int GetPixelWidth(const QPaintDevice* dc);
    int GetPixelHeight(const QPaintDevice* dc);

    // Draws the whole picture upright with its top-left corner at (x, y) at
    // its pixel size for the painter's device. False when empty, when the
    // painter is not active or when the size is unusable.
    bool Draw(QPainter& painter, int x, int y);

    // Prints the picture as one page of a document named "Pelmora 2004": asks
    // for the printer in the sheet's print dialog (printdialog.h), remembers
    // the printer and page chosen, and sends the page with PrintPictureOn
    // unless the printer's queue cannot print it. Why nothing was sent (no
    // printer, a queue that is paused, full or out of paper, ...) goes to
    // tell. Does nothing while a print of its own is being asked for. True
    // also when the user cancels or printing fails.
    bool PrintPicture(const QPaintDevice* dc, int mmW, int mmH,
                      const std::function<void(const QString&)>& tell = {});

    // The printing itself on a printer set up by the caller: the picture (its
    // pixel size for dc) stretched to mmW x mmH millimetres at the printer's
    // logical resolution, at the top-left of the printable area (the page's
    // margins, also on a full page). False when nothing was printed (empty
    // picture, unusable size, printer not ready).
    bool PrintPictureOn(QPrinter& printer, const QPaintDevice* dc, int mmW, int mmH);

    // Copies the pixel rows of the picture's 24-bit BMP serialisation (bottom
    // row first, blue-green-red, rows padded to 4 bytes): min(length, size of
    // the rows) bytes. 0 when empty or length <= 0; dest is then untouched.
    qsizetype CopyPixels(qsizetype length, void* dest) const;

    // Drops the held reference and forgets the cached sizes.
    void ReleasePicture();

    // The HIMETRIC size the picture reports; 0 when empty.
    int GetHimetricWidth() const;
    int GetHimetricHeight() const;

    // True when both hold the same decoded picture (or both are empty).
    bool SharesPictureWith(const CPicture& other) const { return m_pPicture == other.m_pPicture; }

private:
    struct Picture;
    std::shared_ptr<const Picture> m_pPicture;
    int m_cyPixels = -1;
    int m_cxPixels = -1;
};
