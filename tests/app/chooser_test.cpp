// The layout and series choosers fill the wizard's list from the Resource
// folder beside the program.
#include "archive.h"
#include "boothdlg.h"
#include "paths.h"
#include "resscheme.h"
#include "resourcefolder.h"
#include "stickersheet.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace pelmora;

namespace {

class Choosers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetResourceFolder();
        dlg.Create();
    }
    void TearDown() override { QDir(ResourceFolder()).removeRecursively(); }

    static void Write(const QString& name, const QByteArray& bytes) { WriteResourceFile(name, bytes); }
    static void WriteLayout(const QString& name, std::vector<SheetRect> rects)
    {
        Write(name, WriteLayoutArchive(rects));
    }

    QStringList Items() const
    {
        QStringList texts;
        for (int i = 0; i < dlg.List()->count(); ++i)
            texts << dlg.List()->GetItemText(i);
        texts.sort();
        return texts;
    }

    CBoothDlg dlg;
};

TEST_F(Choosers, EmptyOrMissingFolderGivesAnEmptyList)
{
    dlg.FillLayoutList();
    EXPECT_EQ(dlg.List()->count(), 0);
    QDir(ResourceFolder()).removeRecursively();
    dlg.FillLayoutList();
    dlg.FillSeriesList();
    EXPECT_EQ(dlg.List()->count(), 0);
}

TEST_F(Choosers, LayoutPictureAtTwoNinthsScale)
{
    WriteLayout("Two up.dat", {{0, 0, 160, 120}, {160, 120, 320, 240}});
    dlg.FillLayoutList();
    ASSERT_EQ(dlg.List()->count(), 1);
    EXPECT_EQ(dlg.List()->GetItemText(0), "Two up.dat");
    EXPECT_EQ(dlg.List()->GetItemData(0), kTagLayout);

    // Drawn as (0, 0, 35, 26) and (35, 26, 71, 53), right and bottom edges
    // excluded: black outlines, white insides.
    const QImage slot = dlg.ImageList().Image(0).toImage();
    ASSERT_EQ(slot.size(), QSize(71, 53));
    EXPECT_EQ(slot.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(slot.pixel(34, 25), qRgb(0, 0, 0));
    EXPECT_EQ(slot.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(slot.pixel(33, 24), qRgb(255, 255, 255));
    EXPECT_EQ(slot.pixel(35, 26), qRgb(0, 0, 0));
    EXPECT_EQ(slot.pixel(70, 52), qRgb(0, 0, 0));
    EXPECT_EQ(slot.pixel(36, 27), qRgb(255, 255, 255));
    // Outside both places the picture keeps its background.
    EXPECT_NE(slot.pixel(50, 10), qRgb(255, 255, 255));
    EXPECT_NE(slot.pixel(50, 10), qRgb(0, 0, 0));
}

TEST_F(Choosers, ScalingTruncatesTowardZeroAndLaterPlacesCoverEarlierOnes)
{
    // (9, 9, 100, 50) is drawn as (2, 2, 22, 11); the second place covers
    // the first one's inside from (10, 5) on.
    WriteLayout("Overlap.dat", {{9, 9, 100, 50}, {45, 23, 90, 45}});
    dlg.FillLayoutList();
    const QImage slot = dlg.ImageList().Image(0).toImage();
    EXPECT_EQ(slot.pixel(2, 2), qRgb(0, 0, 0));
    EXPECT_EQ(slot.pixel(21, 10), qRgb(0, 0, 0));
    EXPECT_EQ(slot.pixel(1, 1), slot.pixel(60, 40)); // background
    EXPECT_EQ(slot.pixel(10, 5), qRgb(0, 0, 0));     // second outline over the first inside
    EXPECT_EQ(slot.pixel(11, 6), qRgb(255, 255, 255));
}

TEST_F(Choosers, PlacesStoredBackwardsAreDrawnWithTheirCornersInOrder)
{
    // Each is the place (9, 9, 100, 50), drawn as (2, 2, 22, 11).
    for (const SheetRect& place : {SheetRect{100, 50, 9, 9}, SheetRect{100, 9, 9, 50}, SheetRect{9, 50, 100, 9}}) {
        ResetResourceFolder();
        WriteLayout("Backwards.dat", {place});
        dlg.FillLayoutList();
        const QImage slot = dlg.ImageList().Image(0).toImage();
        EXPECT_EQ(slot.pixel(2, 2), qRgb(0, 0, 0)) << place.left << "," << place.top;
        EXPECT_EQ(slot.pixel(21, 10), qRgb(0, 0, 0));
        EXPECT_EQ(slot.pixel(10, 5), qRgb(255, 255, 255));
        EXPECT_EQ(slot.pixel(22, 11), slot.pixel(60, 40)); // the right and bottom edges excluded
    }
}

TEST_F(Choosers, ItemsDropFifteenPixelsAndFillingTwiceGivesTheSameItems)
{
    WriteLayout("1 Photo.dat", {{0, 0, 320, 240}});
    WriteLayout("4 Photos.dat", {{0, 0, 160, 120}, {160, 0, 320, 120}, {0, 120, 160, 240}, {160, 120, 320, 240}});
    dlg.FillLayoutList();
    const QStringList first = Items();
    const QPoint position = dlg.List()->GetItemPosition(0);
    dlg.FillLayoutList();
    EXPECT_EQ(Items(), first);
    EXPECT_EQ(Items(), QStringList({"1 Photo.dat", "4 Photos.dat"}));
    EXPECT_EQ(dlg.List()->GetItemPosition(0), position);
    EXPECT_GE(position.y(), 15);
}

TEST_F(Choosers, FoldersThatMatchAreListedWithoutPlaces)
{
    QDir().mkpath(ResourceFolder() + "/Folder.dat");
    dlg.FillLayoutList();
    ASSERT_EQ(Items(), QStringList({"Folder.dat"}));
    // Choosing it gives a sheet with no places.
    CStickerSheet sheet(ResourceFolder() + "/Folder.dat");
    EXPECT_EQ(sheet.GetCapacity(), 0);
}

TEST_F(Choosers, ABrokenLayoutEndsTheFillingAtThatFile)
{
    WriteLayout("Good.dat", {{0, 0, 320, 240}});
    Write("Broken.dat", QByteArray("\x01\x00\xff\xff\x02\x00", 6)); // schema 2
    EXPECT_THROW(dlg.FillLayoutList(), CArchiveException);
    // Whatever the file system's order, the broken file itself is not listed.
    EXPECT_FALSE(Items().contains("Broken.dat"));
    EXPECT_LE(dlg.List()->count(), 1);
}

TEST_F(Choosers, SeriesNamesWithoutTheirExtension)
{
    Write("Hearts.dll", "x");
    Write(".dll", "x");
    Write("Notes.txt", "x");
    dlg.FillSeriesList();
    EXPECT_EQ(Items(), QStringList({"", "Hearts"}));
    for (int i = 0; i < dlg.List()->count(); ++i)
        EXPECT_EQ(dlg.List()->GetItemData(i), kTagSeries);
    // Every series shows the same picture.
    EXPECT_EQ(dlg.ImageList().Image(0).toImage(), dlg.ImageList().Image(1).toImage());
    EXPECT_EQ(dlg.ImageList().Image(0).toImage(), QImage(":/bitmaps/139.bmp").convertToFormat(dlg.ImageList().Image(0).toImage().format()));
}

TEST_F(Choosers, FromTheHundredAndFirstFileOnItemsHaveNoPicture)
{
    for (int i = 0; i < 102; ++i)
        Write(QString("S%1.dll").arg(i, 3, 10, QChar('0')), "x");
    dlg.FillSeriesList();
    EXPECT_EQ(dlg.List()->count(), 102);
    EXPECT_EQ(dlg.ImageList().GetImageCount(), 100);
    int withIcon = 0;
    for (int i = 0; i < dlg.List()->count(); ++i)
        withIcon += dlg.List()->item(i)->icon().isNull() ? 0 : 1;
    EXPECT_EQ(withIcon, 100);
}

} // namespace

