#include "stickersheet.h"

#include <QFile>
#include <QFileInfo>

CArchiveException::CArchiveException(QString path, std::uint64_t offset, std::string reason)
    : std::runtime_error(path.toStdString() + ": offset " + std::to_string(offset) + ": " + reason),
      m_path(std::move(path)),
      m_offset(offset),
      m_reason(std::move(reason))
{
}

CStickerSheet::CStickerSheet(const QString& layoutPath)
{
    // Only regular files are read. A folder whose name looks like a layout is
    // listed like a file that cannot be opened (no places, no error), and a
    // pipe or device would block or never end.
    if (!QFileInfo(layoutPath).isFile())
        return;
    QFile file(layoutPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.read(pelmora::kMaxLayoutFileBytes);
    pelmora::LayoutReadResult result = pelmora::ReadLayoutArchive(bytes);
    if (!result.ok())
        throw CArchiveException(layoutPath, result.error->offset, result.error->reason);
    m_rects.reserve(result.rects.size());
    for (const SheetRect& r : result.rects)
        m_rects.emplace_back(r);
}

CStickerSheet::~CStickerSheet()
{
    Clear();
}

int CStickerSheet::Clear()
{
    m_rects.clear();
    const int dropped = GetPhotoCount();
    // Last photo first, each releasing its share of its picture.
    while (!m_photos.empty())
        m_photos.pop_back();
    return dropped;
}

int CStickerSheet::AddPhoto(CPicture picture)
{
    m_photos.push_back(std::move(picture));
    return GetPhotoCount() - 1;
}

bool CStickerSheet::RemovePhoto(int n)
{
    if (n < 1 || n > GetPhotoCount())
        return false;
    m_photos.erase(m_photos.begin() + (n - 1));
    return true;
}

const CRectangle* CStickerSheet::GetRect(int i) const
{
    if (i < 0 || i >= GetCapacity())
        return nullptr;
    return &m_rects[size_t(i)];
}

std::vector<SheetRect> CStickerSheet::Places() const
{
    std::vector<SheetRect> places;
    places.reserve(m_rects.size());
    for (const CRectangle& r : m_rects)
        places.push_back(r.m_rect);
    return places;
}

const CPicture* CStickerSheet::GetPhoto(int i) const
{
    if (i < 0 || i >= GetPhotoCount())
        return nullptr;
    return &m_photos[size_t(i)];
}
