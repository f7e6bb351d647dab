// The layout and series choosers fill the wizard's list from the Resource folder beside the program.
#include "booth.h"

using namespace booth;

namespace {

class Choosers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetResourceFolder();
        dlg.Create();
    }

    static void WriteLayout(const QString& name, std::vector<SheetRect> rects) { WriteResourceFile(name, WriteLayoutArchive(rects)); }
    QStringList Items() const { return ItemTexts(dlg, true); }

    CBoothDlg dlg;
};

// A layout's picture at two ninths of the canvas, right and bottom edges excluded.
enum Ink { Black, White, Background };
struct LayoutPicture {
    const char* name;
    std::vector<SheetRect> places;
    std::vector<std::pair<QPoint, Ink>> pixels;
};
void PrintTo(const LayoutPicture& p, std::ostream* out) { *out << p.name; }

class LayoutPictures : public Choosers, public ::testing::WithParamInterface<LayoutPicture> {};

TEST_P(LayoutPictures, AreDrawnToScale)
{
    WriteLayout("Test.dat", GetParam().places);
    dlg.FillLayoutList();
    ASSERT_EQ(dlg.List()->count(), 1);
    EXPECT_EQ(dlg.List()->GetItemText(0), "Test.dat");
    EXPECT_EQ(dlg.List()->GetItemData(0), kTagLayout);
    const QImage slot = dlg.ImageList().Image(0).toImage();
    ASSERT_EQ(slot.size(), QSize(71, 53));
    for (const auto& [at, ink] : GetParam().pixels) {
        const QRgb pixel = slot.pixel(at);
        if (ink == Background)
            EXPECT_TRUE(pixel != qRgb(0, 0, 0) && pixel != qRgb(255, 255, 255)) << at.x() << "," << at.y();
        else
            EXPECT_EQ(pixel, ink == Black ? qRgb(0, 0, 0) : qRgb(255, 255, 255)) << at.x() << "," << at.y();
    }
}

// (9, 9, 100, 50) is drawn as (2, 2, 22, 11), truncated; a later place covers an
// earlier one's inside; corners stored backwards are put in order.
const std::vector<std::pair<QPoint, Ink>> kNineNine = {{{2, 2}, Black}, {{21, 10}, Black}, {{10, 5}, White}, {{22, 11}, Background}};
INSTANTIATE_TEST_SUITE_P(Layouts, LayoutPictures, ::testing::Values(
    LayoutPicture{"two_up", {{0, 0, 160, 120}, {160, 120, 320, 240}},
                  {{{0, 0}, Black}, {{34, 25}, Black}, {{1, 1}, White}, {{33, 24}, White}, {{35, 26}, Black},
                   {{70, 52}, Black}, {{36, 27}, White}, {{50, 10}, Background}}},
    LayoutPicture{"overlap", {{9, 9, 100, 50}, {45, 23, 90, 45}},
                  {{{2, 2}, Black}, {{21, 10}, Black}, {{1, 1}, Background}, {{10, 5}, Black}, {{11, 6}, White}}},
    LayoutPicture{"right_top", {{100, 9, 9, 50}}, kNineNine},
    LayoutPicture{"left_bottom", {{9, 50, 100, 9}}, kNineNine}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Choosers, EmptyBrokenOrMissingFolders)
{
    dlg.FillLayoutList();
    EXPECT_EQ(dlg.List()->count(), 0);
    // A broken layout ends the filling at that file (in the file system's order) and is not listed.
    WriteLayout("Good.dat", {{0, 0, 320, 240}});
    WriteResourceFile("Broken.dat", QByteArray("\x01\x00\xff\xff\x02\x00", 6)); // schema 2
    EXPECT_THROW(dlg.FillLayoutList(), CArchiveException);
    EXPECT_FALSE(Items().contains("Broken.dat"));
    EXPECT_TRUE(dlg.OnNextToLayout()) << "the page opens all the same";
    EXPECT_LE(dlg.List()->count(), 1);
    QDir(ResourceFolder()).removeRecursively();
    dlg.FillLayoutList();
    dlg.FillSeriesList();
    EXPECT_EQ(dlg.List()->count(), 0);
}

TEST_F(Choosers, ItemsDropFifteenPixelsAndFillingTwiceGivesTheSameItems)
{
    WriteLayout("1 Photo.dat", {{0, 0, 320, 240}});
    WriteLayout("4 Photos.dat", {{0, 0, 160, 120}, {160, 0, 320, 120}, {0, 120, 160, 240}, {160, 120, 320, 240}});
    QDir().mkpath(ResourceFolder() + "/Folder.dat");
    dlg.FillLayoutList();
    const QPoint position = dlg.List()->GetItemPosition(0);
    dlg.FillLayoutList();
    // Folders that match are listed too; chosen, they give a sheet without places.
    EXPECT_EQ(Items(), QStringList({"1 Photo.dat", "4 Photos.dat", "Folder.dat"}));
    EXPECT_EQ(dlg.List()->GetItemPosition(0), position);
    EXPECT_GE(position.y(), 15);
    EXPECT_EQ(CStickerSheet(ResourceFolder() + "/Folder.dat").GetCapacity(), 0);
}

TEST_F(Choosers, SeriesWithoutTheirExtensionAndFromTheHundredAndFirstWithoutPicture)
{
    WriteResourceFile(".dll", "x");
    WriteResourceFile("Notes.txt", "x");
    for (int i = 0; i < 101; ++i)
        WriteResourceFile(QString("S%1.dll").arg(i, 3, 10, QChar('0')), "x");
    dlg.FillSeriesList();
    ASSERT_EQ(dlg.List()->count(), 102);
    EXPECT_EQ(Items().mid(0, 2), QStringList({"", "S000"}));
    EXPECT_EQ(dlg.ImageList().GetImageCount(), 100);
    int withIcon = 0;
    for (int i = 0; i < dlg.List()->count(); ++i) {
        EXPECT_EQ(dlg.List()->GetItemData(i), kTagSeries);
        withIcon += dlg.List()->item(i)->icon().isNull() ? 0 : 1;
    }
    EXPECT_EQ(withIcon, 100);
    // Every series shows the same picture.
    const QImage first = dlg.ImageList().Image(0).toImage();
    EXPECT_EQ(dlg.ImageList().Image(99).toImage(), first);
    EXPECT_EQ(first, QImage(":/bitmaps/139.bmp").convertToFormat(first.format()));
}

} // namespace
