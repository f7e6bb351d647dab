#pragma once
// The current sticker sheet: the photo places of one layout file and the
// photos captured for them, in capture order.
#include "archive.h"
#include "picture.h"
#include "rectangle.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A layout file that is not a well-formed archive of rectangles. Callers tell
// it apart from a missing file (which simply gives a sheet with no places):
// the layout chooser stops listing at such a file and the Next step leaves
// the window without a sheet.
class CArchiveException : public std::runtime_error {
public:
    CArchiveException(QString path, std::uint64_t offset, std::string reason);

    const QString& path() const { return m_path; }
    std::uint64_t offset() const { return m_offset; }
    const std::string& reason() const { return m_reason; }

private:
    QString m_path;
    std::uint64_t m_offset;
    std::string m_reason;
};

class QPaintDevice;
class QPrinter;

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

class CStickerSheet {
public:
    // Reads the layout file at layoutPath. A file that does not open (missing,
    // unreadable, a folder, anything but a regular file) gives a sheet with no
    // places; a malformed file throws CArchiveException and no sheet results.
    explicit CStickerSheet(const QString& layoutPath);
    CStickerSheet(const CStickerSheet&) = delete;
    CStickerSheet& operator=(const CStickerSheet&) = delete;
    virtual ~CStickerSheet();

    // Drops every place and every photo; returns the number of photos dropped.
    int Clear();

    // Appends a photo (sharing its decoded picture) and returns its zero-based
    // index. The capacity is not tested here: callers add only while
    // GetPhotoCount() < GetCapacity().
    int AddPhoto(CPicture picture);

    // Removes photo number n, counted from 1; later photos move down one
    // place. False, and nothing changes, when n is not between 1 and the
    // photo count.
    bool RemovePhoto(int n);

    int GetPhotoCount() const { return int(m_photos.size()); }

    // The number of photo places, which is the number of photos the sheet takes.
    int GetCapacity() const { return int(m_rects.size()); }

    // Place i (from 0, file order); nullptr when i is out of range.
    const CRectangle* GetRect(int i) const;

    // Photo i (from 0, capture order); nullptr when i is out of range.
    const CPicture* GetPhoto(int i) const;

    const std::vector<CRectangle>& Rects() const { return m_rects; }
    const std::vector<CPicture>& Photos() const { return m_photos; }

    // Writes every photo as a 24-bit BMP file "<folder>/Pelmora <n>.bmp",
    // photo i taking the first number from n up whose file does not exist (n
    // starts at 1 and goes on after each photo's number). Files are created
    // exclusively, so nothing is ever overwritten. The export stops at the
    // first file that cannot be made for another reason than existing, or
    // not written in full; a partial file is removed, earlier ones stay.
    // Returns the photo count when all were written, 0 when there are no
    // photos or the export stopped. dc is the screen the booth runs on.
    int ExportPhotos(const QPaintDevice* dc, const QString& folder, ExportReport* report = nullptr) const;

    // The sheet picture: a W x H 24-bit canvas, white where no photo lies,
    // photo i stretched into place i. A place's top is its stored (bottom-up)
    // row, so the printed sheet shows the layout preview mirrored top to
    // bottom. Places outside the canvas are clipped; empty or inverted places
    // and photos without a size for dc are left out. Empty when the canvas
    // cannot be made.
    CPicture ComposeSheet(const QPaintDevice* dc, int W, int H) const;

    // Prints the 320 x 240 sheet picture as one 145 x 102 mm page, asking for
    // the printer first. True always.
    bool PrintSheet(const QPaintDevice* dc) const;

    // The same on a printer set up by the caller; false when nothing printed.
    bool PrintSheetOn(QPrinter& printer, const QPaintDevice* dc) const;

private:
    std::vector<CPicture> m_photos;
    std::vector<CRectangle> m_rects;
};
