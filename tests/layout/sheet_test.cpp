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
    // A one-colour photo, as composition hands them to the sheet.
    static CPicture photo(QRgb colour)
    {
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(colour);
        return fixtures::pictureOf(image);
    }
    static QRgb colourOf(const CPicture* picture) { return picture && picture->GetBitmap() ? picture->GetBitmap()->pixel(0, 0) : 0; }
    QTemporaryDir m_dir;
};

TEST_F(StickerSheetTest, ReadsPlacesInFileOrder)
{
    const std::vector<SheetRect> rects = {{0, 0, 160, 120}, {160, 120, 320, 240}, {9, 9, 100, 50}};
    CStickerSheet sheet(file("Three up.dat", pelmora::WriteLayoutArchive(rects)));
    ASSERT_EQ(sheet.GetCapacity(), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(sheet.GetRect(i), nullptr);
        EXPECT_EQ(sheet.GetRect(i)->m_rect, rects[size_t(i)]);
    }
    EXPECT_TRUE(sheet.GetRect(3) == nullptr && sheet.GetRect(-1) == nullptr && sheet.GetPhotoCount() == 0);
}

TEST_F(StickerSheetTest, EmptyMissingAndFolderGiveNoPlaces)
{
    EXPECT_EQ(CStickerSheet(file("Empty.dat", QByteArray("\0\0", 2))).GetCapacity(), 0);
    EXPECT_EQ(CStickerSheet(m_dir.filePath("Missing.dat")).GetCapacity(), 0);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("Folder.dat"));
    EXPECT_EQ(CStickerSheet(m_dir.filePath("Folder.dat")).GetCapacity(), 0);
    // A pipe is not read (opening it would wait for a writer forever).
    const QString pipe = m_dir.filePath("Pipe.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(CStickerSheet(pipe).GetCapacity(), 0);
}

TEST_F(StickerSheetTest, MalformedFileThrowsWithOffset)
{
    // Schema 2 in an otherwise whole one-place file.
    QByteArray bytes = pelmora::WriteLayoutArchive(std::vector<SheetRect>{{1, 2, 3, 4}});
    bytes[4] = 2;
    const QString path = file("Bad.dat", bytes);
    try {
        CStickerSheet sheet(path);
        FAIL() << "a malformed layout gave a sheet of " << sheet.GetCapacity();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(e.offset(), 4u);
        EXPECT_NE(e.reason().find("schema 2"), std::string::npos);
    }
    EXPECT_THROW(CStickerSheet(file("Nothing.dat", QByteArray())), CArchiveException);
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
        for (int i = 0; i < sheet.GetPhotoCount(); ++i)
            out.push_back(colourOf(sheet.GetPhoto(i)));
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
    EXPECT_EQ(colourOf(&a), red) << "the caller's picture outlives the sheet's share";
}

} // namespace
