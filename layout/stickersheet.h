#pragma once
// The current sticker sheet: the photo places of one layout file and the
// photos captured for them, in capture order.
#include "archive.h"
#include "picture.h"
#include "rectangle.h"

#include <QString>
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

    // The places in file order, as the photo output takes them.
    std::vector<SheetRect> Places() const;

    // The photo output of photooutput.h over this sheet's photos and places.
    // dc is the screen the booth runs on; the export's files take the
    // pictures' own sizes, not theirs on dc. PrintSheet is true always.
    int ExportPhotos(const QPaintDevice* /*dc*/, const QString& folder, ExportReport* report = nullptr) const
    {
        return pelmora::ExportPhotoFiles(m_photos, folder, report);
    }
    CPicture ComposeSheet(const QPaintDevice* dc, int W, int H) const
    {
        return pelmora::ComposeSheetPicture(m_photos, Places(), dc, W, H);
    }
    bool PrintSheet(const QPaintDevice* dc, const std::function<void(const QString&)>& tell = {}) const
    {
        pelmora::PrintSheetPicture(m_photos, Places(), dc, tell);
        return true;
    }
    bool PrintSheetOn(QPrinter& printer, const QPaintDevice* dc) const
    {
        return pelmora::PrintSheetPictureOn(printer, m_photos, Places(), dc);
    }

private:
    std::vector<CPicture> m_photos;
    std::vector<CRectangle> m_rects;
};
