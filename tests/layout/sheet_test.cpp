#include "archive.h"
#include "bmp.h"
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
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    // A one-colour photo, as composition hands them to the sheet.
    static CPicture photo(QRgb colour)
    {
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(colour);
        const QByteArray bmp = pelmora::MakeBmpFile(4, 3, pelmora::ImageToBmpPixels(image));
        CPicture picture;
        EXPECT_TRUE(picture.LoadFromMemory(bmp.size(), bmp.constData()));
        return picture;
    }

    static QRgb colourOf(const CPicture* picture)
    {
        return picture && picture->GetBitmap() ? picture->GetBitmap()->pixel(0, 0) : 0;
    }

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
    EXPECT_EQ(sheet.GetRect(3), nullptr);
    EXPECT_EQ(sheet.GetRect(-1), nullptr);
    EXPECT_EQ(sheet.GetPhotoCount(), 0);
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
    // A file too short for its count, and a file of nothing at all.
    EXPECT_THROW(CStickerSheet(file("Short.dat", bytes.left(20))), CArchiveException);
    EXPECT_THROW(CStickerSheet(file("Nothing.dat", QByteArray())), CArchiveException);
}

TEST_F(StickerSheetTest, PhotosAddRemoveAndClear)
{
    CStickerSheet sheet(file("Four.dat", pelmora::WriteLayoutArchive(std::vector<SheetRect>(4))));
    ASSERT_EQ(sheet.GetCapacity(), 4);
    const CPicture a = photo(qRgb(255, 0, 0));
    const CPicture b = photo(qRgb(0, 255, 0));
    const CPicture c = photo(qRgb(0, 0, 255));

    EXPECT_EQ(sheet.AddPhoto(a), 0);
    EXPECT_EQ(sheet.AddPhoto(b), 1);
    EXPECT_EQ(sheet.AddPhoto(c), 2);
    EXPECT_EQ(sheet.GetPhotoCount(), 3);
    // The sheet shares the decoded pictures rather than copying them.
    EXPECT_TRUE(sheet.GetPhoto(0)->SharesPictureWith(a));

    // Out-of-range positions are refused and change nothing.
    EXPECT_FALSE(sheet.RemovePhoto(0));
    EXPECT_FALSE(sheet.RemovePhoto(4));
    EXPECT_FALSE(sheet.RemovePhoto(-1));
    EXPECT_EQ(sheet.GetPhotoCount(), 3);

    EXPECT_TRUE(sheet.RemovePhoto(1)); // A, B, C -> B, C
    ASSERT_EQ(sheet.GetPhotoCount(), 2);
    EXPECT_EQ(colourOf(sheet.GetPhoto(0)), qRgb(0, 255, 0));
    EXPECT_EQ(colourOf(sheet.GetPhoto(1)), qRgb(0, 0, 255));
    EXPECT_EQ(sheet.GetPhoto(2), nullptr);

    EXPECT_EQ(sheet.AddPhoto(a), 2); // B, C, A
    EXPECT_TRUE(sheet.RemovePhoto(3)); // -> B, C
    ASSERT_EQ(sheet.GetPhotoCount(), 2);
    EXPECT_EQ(colourOf(sheet.GetPhoto(1)), qRgb(0, 0, 255));

    sheet.AddPhoto(a);
    EXPECT_EQ(sheet.Clear(), 3);
    EXPECT_EQ(sheet.GetCapacity(), 0);
    EXPECT_EQ(sheet.GetPhotoCount(), 0);
    EXPECT_EQ(sheet.Clear(), 0);
    // The caller's pictures outlive the sheet's shares of them.
    EXPECT_EQ(colourOf(&a), qRgb(255, 0, 0));
}

TEST_F(StickerSheetTest, RemovePhotoLastOfThree)
{
    CStickerSheet sheet(file("Three.dat", pelmora::WriteLayoutArchive(std::vector<SheetRect>(3))));
    sheet.AddPhoto(photo(qRgb(255, 0, 0)));
    sheet.AddPhoto(photo(qRgb(0, 255, 0)));
    sheet.AddPhoto(photo(qRgb(0, 0, 255)));
    EXPECT_TRUE(sheet.RemovePhoto(3)); // A, B, C -> A, B
    ASSERT_EQ(sheet.GetPhotoCount(), 2);
    EXPECT_EQ(colourOf(sheet.GetPhoto(0)), qRgb(255, 0, 0));
    EXPECT_EQ(colourOf(sheet.GetPhoto(1)), qRgb(0, 255, 0));
}

} // namespace
