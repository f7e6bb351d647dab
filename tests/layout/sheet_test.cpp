// The sticker sheet: places read from a layout file, and the photos it holds.
#include "archive.h"
#include "photofixtures.h"
#include "stickersheet.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class StickerSheetTest : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes)
    {
        EXPECT_TRUE(fixtures::writeFile(m_dir.filePath(name), bytes));
        return m_dir.filePath(name);
    }
    QTemporaryDir m_dir;
};

TEST_F(StickerSheetTest, PlacesInFileOrderOrNoneOrAnErrorWithItsOffset)
{
    const std::vector<SheetRect> rects = {{0, 0, 160, 120}, {160, 120, 320, 240}, {9, 9, 100, 50}};
    CStickerSheet sheet(file("Three up.dat", pelmora::WriteLayoutArchive(rects)));
    ASSERT_EQ(sheet.GetCapacity(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(sheet.GetRect(i) ? sheet.GetRect(i)->m_rect : SheetRect(), rects[size_t(i)]) << i;
    EXPECT_TRUE(sheet.GetRect(3) == nullptr && sheet.GetRect(-1) == nullptr && sheet.GetPhotoCount() == 0);

    // Empty, missing, a folder or a pipe (opening it would wait for a writer
    // forever) give no places, and no error.
    const QString pipe = m_dir.filePath("Pipe.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("Folder.dat"));
    for (const QString& path : {file("Empty.dat", QByteArray("\0\0", 2)), m_dir.filePath("Missing.dat"),
                                m_dir.filePath("Folder.dat"), pipe})
        EXPECT_EQ(CStickerSheet(path).GetCapacity(), 0) << path.toStdString();

    // Schema 2 in an otherwise whole one-place file.
    QByteArray bytes = pelmora::WriteLayoutArchive(std::vector<SheetRect>{{1, 2, 3, 4}});
    bytes[4] = 2;
    const QString path = file("Bad.dat", bytes);
    try {
        CStickerSheet bad(path);
        ADD_FAILURE() << "a malformed layout gave a sheet of " << bad.GetCapacity();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(e.offset(), 4u);
        EXPECT_NE(e.reason().find("schema 2"), std::string::npos);
    }
    EXPECT_THROW(CStickerSheet(file("Nothing.dat", QByteArray())), CArchiveException);
}

// A one-colour photo, as composition hands them to the sheet.
CPicture photo(QRgb colour)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(colour);
    return fixtures::pictureOf(image);
}

TEST_F(StickerSheetTest, PhotosAddRemoveAndClear)
{
    CStickerSheet sheet(file("Four.dat", pelmora::WriteLayoutArchive(std::vector<SheetRect>(4))));
    ASSERT_EQ(sheet.GetCapacity(), 4);
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    const CPicture a = photo(red);
    int next = 0;
    for (QRgb colour : {red, green, blue})
        EXPECT_EQ(sheet.AddPhoto(photo(colour)), next++);
    EXPECT_EQ(sheet.AddPhoto(a), 3);
    EXPECT_TRUE(sheet.GetPhoto(3)->SharesPictureWith(a)) << "shared, not copied";

    // Positions count from 1; out of range changes nothing.
    for (int n : {0, 5, -1})
        EXPECT_FALSE(sheet.RemovePhoto(n)) << n;
    const auto colours = [&] {
        std::vector<QRgb> out;
        for (const CPicture& p : sheet.Photos())
            out.push_back(p.GetBitmap() ? p.GetBitmap()->pixel(0, 0) : 0);
        return out;
    };
    EXPECT_TRUE(sheet.RemovePhoto(2));
    EXPECT_EQ(colours(), (std::vector<QRgb>{red, blue, red}));
    EXPECT_TRUE(sheet.RemovePhoto(3));
    EXPECT_EQ(colours(), (std::vector<QRgb>{red, blue}));
    EXPECT_TRUE(sheet.RemovePhoto(1));
    EXPECT_EQ(colours(), (std::vector<QRgb>{blue}));
    EXPECT_EQ(sheet.GetPhoto(1), nullptr);

    EXPECT_EQ(sheet.Clear(), 1);
    EXPECT_EQ(sheet.GetCapacity(), 0);
    EXPECT_EQ(sheet.Clear(), 0);
    EXPECT_TRUE(a.GetBitmap() && a.GetBitmap()->pixel(0, 0) == red) << "the caller's picture outlives the sheet's share";
}

} // namespace
