// The wizard window end to end in the real web engine: links clicked where
// the pages render them, keys pressed, message boxes answered, and the
// window's state checked after every page change.
#include "archive.h"
#include "boothdlg.h"
#include "htmlctrl.h"
#include "messagebox.h"
#include "paths.h"
#include "resscheme.h"
#include "stickersheet.h"
#include "stringtable.h"
#include "resourcefolder.h"
#include "wizarddriver.h"

#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include "testing.h"
#include <gtest/gtest.h>

using namespace pelmora;

namespace {

const QRegion kLayoutRegion = QRegion(0, 0, 800, 600).xored(QRegion(206, 110, 536, 435));

void WriteLayout(const QString& name, std::vector<SheetRect> rects)
{
    WriteResourceFile(name, WriteLayoutArchive(rects));
}

void WriteFile(const QString& name, const QByteArray& bytes) { WriteResourceFile(name, bytes); }

class Wizard : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetResourceFolder();
        QFile::remove(ExecutableFolder() + "/Pelmora.chm");
    }

    // Opens the wizard on its welcome page.
    void Open()
    {
        dlg = std::make_unique<CBoothDlg>();
        SetMessageBoxOwner(dlg.get());
        driver = std::make_unique<WizardDriver>(*dlg);
        dlg->Create();
        ASSERT_TRUE(driver->waitForPage("welcome.htm"));
    }

    void TearDown() override
    {
        driver.reset();
        SetMessageBoxOwner(nullptr);
        dlg.reset();
    }

    // Clicks an element and waits for the page that must follow.
    bool Go(const QString& selector, const QString& page)
    {
        driver->click(selector);
        return driver->waitForPage(page);
    }

    void ExpectWelcomeState(bool afterBack)
    {
        EXPECT_EQ(driver->currentPage().toLower(), "welcome.htm");
        EXPECT_FALSE(dlg->List()->isVisible());
        EXPECT_EQ(dlg->HtmlRegion(), afterBack ? QRegion(0, 0, 800, 600) : QRegion());
        EXPECT_EQ(dlg->Sheet(), nullptr);
    }

    void ExpectChooserState(const QString& page, qintptr tag, bool sheet)
    {
        EXPECT_EQ(driver->currentPage(), page);
        EXPECT_TRUE(dlg->List()->isVisible());
        EXPECT_EQ(dlg->List()->geometry(), QRect(206, 110, 536, 435));
        EXPECT_EQ(dlg->HtmlRegion(), kLayoutRegion);
        EXPECT_EQ(dlg->Sheet() != nullptr, sheet);
        if (dlg->List()->count() > 0) {
            EXPECT_EQ(dlg->List()->GetItemData(0), tag);
        }
    }

    void Select(int row) { dlg->List()->setCurrentRow(row); }

    // Clicks and returns the one message box that follows ("caption|text").
    QString ClickAndCollectMessage(const QString& selector)
    {
        driver->takeMessages();
        driver->click(selector);
        QStringList seen;
        WizardDriver::waitFor([&] {
            seen += driver->takeMessages();
            return !seen.isEmpty();
        });
        QTest::qWait(200); // the refused page change must not load anything meanwhile
        seen += driver->takeMessages();
        EXPECT_EQ(seen.size(), 1);
        return seen.value(0);
    }

    std::unique_ptr<CBoothDlg> dlg;
    std::unique_ptr<WizardDriver> driver;
};

TEST_F(Wizard, OpensOnTheWelcomePage)
{
    Open();
    EXPECT_EQ(dlg->size(), QSize(800, 600));
    EXPECT_TRUE(dlg->windowFlags() & Qt::FramelessWindowHint);
    ExpectWelcomeState(false);
    EXPECT_EQ(dlg->ImageList().GetImageCount(), 100);
    EXPECT_EQ(dlg->ImageList().ImageSize(), QSize(71, 53));
    // The address carries the executable's full path.
    EXPECT_EQ(dlg->Html()->url().toString(), "res://" + ExecutablePath() + "/welcome.htm");
    // The page's script moved the focus to the Get Started link.
    EXPECT_EQ(driver->js("document.activeElement && document.activeElement.id").toString(), "q");
    driver->screenshot("wizard-welcome.png");
}

TEST_F(Wizard, WalksForwardAndBackThroughEveryPage)
{
    WriteLayout("4 Photos.dat", {{0, 0, 160, 120}, {160, 0, 320, 120}, {0, 120, 160, 240}, {160, 120, 320, 240}});
    WriteFile("Hearts.dll", "not read while listing");
    Open();

    // Enter on the focused Get Started link.
    driver->pressKey(Qt::Key_Return);
    ASSERT_TRUE(driver->waitForPage("Layout.htm"));
    ExpectChooserState("Layout.htm", kTagLayout, false);
    ASSERT_EQ(dlg->List()->count(), 1);
    EXPECT_EQ(dlg->List()->GetItemText(0), "4 Photos.dat");
    driver->screenshot("wizard-layout.png");

    Select(0);
    ASSERT_TRUE(Go("#q img", "Series.htm"));
    ExpectChooserState("Series.htm", kTagSeries, true);
    EXPECT_EQ(dlg->Sheet()->GetCapacity(), 4);
    ASSERT_EQ(dlg->List()->count(), 1);
    EXPECT_EQ(dlg->List()->GetItemText(0), "Hearts");
    driver->screenshot("wizard-series.png");

    Select(0);
    ASSERT_TRUE(Go("#q img", "Capture.htm"));
    EXPECT_EQ(dlg->List()->geometry(), QRect(24, 453, 634, 94));
    EXPECT_EQ(dlg->HtmlRegion(), QRegion(0, 0, 800, 600)
                                     .xored(QRegion(QRect(QPoint(69, 120), QPoint(480, 428))))
                                     .xored(QRegion(QRect(QPoint(24, 453), QPoint(657, 546)))));
    EXPECT_NE(dlg->Sheet(), nullptr);
    driver->screenshot("wizard-capture.png");

    ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Series.htm"));
    ExpectChooserState("Series.htm", kTagSeries, true);

    // No photos: going back to the layouts asks nothing and drops the sheet.
    ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Layout.htm"));
    ExpectChooserState("Layout.htm", kTagLayout, false);
    EXPECT_TRUE(driver->takeMessages().isEmpty());

    ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Welcome.htm"));
    ExpectWelcomeState(true);
}

TEST_F(Wizard, NextWithoutAChoiceShowsItsMessageAndStays)
{
    WriteLayout("2 Photos.dat", {{0, 0, 160, 240}, {160, 0, 320, 240}});
    Open();
    ASSERT_TRUE(Go("#q img", "Layout.htm"));

    EXPECT_EQ(ClickAndCollectMessage("#q img"), ApplicationTitle() + "|" + LoadStringText(IDS_NO_LAYOUT));
    EXPECT_EQ(driver->currentPage(), "Layout.htm");
    ExpectChooserState("Layout.htm", kTagLayout, false);

    Select(0);
    ASSERT_TRUE(Go("#q img", "Series.htm"));
    // No frame series listed at all.
    EXPECT_EQ(ClickAndCollectMessage("#q img"), ApplicationTitle() + "|" + LoadStringText(IDS_NO_SERIES));
    EXPECT_EQ(driver->currentPage(), "Series.htm");
    ExpectChooserState("Series.htm", kTagSeries, true);
}

// A photo of one colour, as the composition would add it.
CPicture SolidPhoto(QRgb colour)
{
    QImage image(320, 240, QImage::Format_RGB888);
    image.fill(colour);
    const QByteArray file = BmpBytes(image);
    CPicture picture;
    picture.LoadFromMemory(file.size(), file.constData());
    return picture;
}

class WizardWithSheet : public Wizard {
protected:
    // Opens the wizard and walks to the capture page with a sheet of four
    // places holding `photos` photos.
    void OpenOnCapturePage(int photos)
    {
        WriteLayout("4 Photos.dat", {{0, 0, 160, 120}, {160, 0, 320, 120}, {0, 120, 160, 240}, {160, 120, 320, 240}});
        WriteFile("Hearts.dll", "not read while listing");
        Open();
        ASSERT_TRUE(Go("#q img", "Layout.htm"));
        Select(0);
        ASSERT_TRUE(Go("#q img", "Series.htm"));
        for (int i = 0; i < photos; ++i)
            dlg->Sheet()->AddPhoto(SolidPhoto(qRgb(40 * i, 100, 200)));
        Select(0);
        ASSERT_TRUE(Go("#q img", "Capture.htm"));
    }

    QStringList StripLabels() const
    {
        QStringList labels;
        for (int i = 0; i < dlg->List()->count(); ++i)
            labels << dlg->List()->GetItemText(i);
        return labels;
    }
};

TEST_F(WizardWithSheet, BackToTheLayoutsWithPhotosAsksFirst)
{
    OpenOnCapturePage(2);
    EXPECT_EQ(StripLabels(), QStringList({"1/4", "2/4"}));
    ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Series.htm"));
    CStickerSheet* sheet = dlg->Sheet();

    // Cancel keeps the series page, the sheet and its photos.
    driver->answerMessagesWith(QMessageBox::Cancel);
    EXPECT_EQ(ClickAndCollectMessage("a[href^='pk:Back'] img"),
              ApplicationTitle() + "|" + LoadStringText(IDS_CONFIRM_BACK_TO_LAYOUT));
    ExpectChooserState("Series.htm", kTagSeries, true);
    EXPECT_EQ(dlg->Sheet(), sheet);
    EXPECT_EQ(dlg->Sheet()->GetPhotoCount(), 2);

    // Forward again: the strip shows the same photos.
    Select(0);
    ASSERT_TRUE(Go("#q img", "Capture.htm"));
    EXPECT_EQ(StripLabels(), QStringList({"1/4", "2/4"}));
    ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Series.htm"));

    // OK drops the sheet with all its photos.
    driver->answerMessagesWith(QMessageBox::Ok);
    driver->click("a[href^='pk:Back'] img");
    ASSERT_TRUE(driver->waitForPage("Layout.htm"));
    EXPECT_EQ(driver->takeMessages().size(), 1);
    ExpectChooserState("Layout.htm", kTagLayout, false);
}

TEST_F(WizardWithSheet, DeleteLinkAndKeyRemoveTheSelectedPhotoAndRenumber)
{
    OpenOnCapturePage(3);
    const QImage third = dlg->Sheet()->GetPhoto(2)->GetBitmap()->copy();
    EXPECT_EQ(StripLabels(), QStringList({"1/4", "2/4", "3/4"}));
    EXPECT_EQ(dlg->List()->GetItemPosition(2), QPoint(5 + 79 * 2, 10));
    EXPECT_TRUE(dlg->List()->HasBkImage());

    // Without a selection Delete does nothing.
    dlg->List()->clearSelection();
    driver->click("a[href^='pk:Delete'] img");
    QTest::qWait(300);
    EXPECT_EQ(dlg->Sheet()->GetPhotoCount(), 3);

    // The second of three: photos one and three stay, renumbered.
    Select(1);
    driver->click("a[href^='pk:Delete'] img");
    ASSERT_TRUE(WizardDriver::waitFor([&] { return dlg->Sheet()->GetPhotoCount() == 2; }));
    EXPECT_EQ(StripLabels(), QStringList({"1/4", "2/4"}));
    EXPECT_EQ(dlg->Sheet()->GetPhoto(1)->GetBitmap()->copy(), third);

    // The Delete key on the strip does the same.
    Select(0);
    driver->pressKey(Qt::Key_Delete, Qt::NoModifier, dlg->List());
    EXPECT_EQ(dlg->Sheet()->GetPhotoCount(), 1);
    EXPECT_EQ(StripLabels(), QStringList({"1/4"}));
    driver->screenshot("wizard-strip.png");
}

TEST_F(Wizard, TheDeleteKeyOnTheChoosersDeletesNothing)
{
    WriteLayout("1 Photo.dat", {{0, 0, 320, 240}});
    Open();
    ASSERT_TRUE(Go("#q img", "Layout.htm"));
    Select(0);
    driver->pressKey(Qt::Key_Delete, Qt::NoModifier, dlg->List());
    EXPECT_EQ(dlg->List()->count(), 1);
}

TEST_F(Wizard, DoubleClickActsAsNext)
{
    WriteLayout("1 Photo.dat", {{0, 0, 320, 240}});
    Open();
    ASSERT_TRUE(Go("#q img", "Layout.htm"));
    // A double-click with no layout selected is Next without a choice.
    driver->clickAt(QPoint(740, 540), true);
    WizardDriver::waitFor([&] { return false; }, 300);
    EXPECT_EQ(driver->takeMessages(), QStringList({ApplicationTitle() + "|" + LoadStringText(IDS_NO_LAYOUT)}));

    const QRect item = dlg->List()->visualItemRect(dlg->List()->item(0));
    const QPoint onItem = dlg->List()->viewport()->mapTo(dlg.get(), item.center());
    driver->clickAt(onItem, true);
    ASSERT_TRUE(driver->waitForPage("Series.htm"));
    EXPECT_EQ(dlg->Sheet()->GetCapacity(), 1);
}

TEST_F(Wizard, KeysNeverCloseTheWindowNorLeaveThePage)
{
    WriteLayout("1 Photo.dat", {{0, 0, 320, 240}});
    Open();
    ASSERT_TRUE(Go("#q img", "Layout.htm"));
    // The layout page has the welcome page in its history: neither
    // Backspace nor Alt+Left may go back to it.
    driver->pressKey(Qt::Key_Backspace);
    driver->pressKey(Qt::Key_Left, Qt::AltModifier);
    // Enter and Escape reach the window itself.
    driver->pressKey(Qt::Key_Escape, Qt::NoModifier, dlg.get());
    driver->pressKey(Qt::Key_Return, Qt::NoModifier, dlg.get());
    driver->pressKey(Qt::Key_Escape, Qt::NoModifier, dlg->List());
    QTest::qWait(500);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(driver->currentPage(), "Layout.htm");
    ExpectChooserState("Layout.htm", kTagLayout, false);

    // Alt+F4 comes to the window as a request to close it, which it refuses.
    QCloseEvent close;
    QApplication::sendEvent(dlg.get(), &close);
    EXPECT_FALSE(close.isAccepted());
    dlg->close();
    QTest::qWait(100);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(Wizard, HelpWithoutAHelpFileChangesNothing)
{
    Open();
    driver->click("a[href^='pk:Help']");
    QTest::qWait(500);
    EXPECT_EQ(driver->currentPage(), "welcome.htm");
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(driver->takeMessages().isEmpty());
}

TEST_F(Wizard, CancelEndsTheWizardFromAnyPage)
{
    WriteLayout("1 Photo.dat", {{0, 0, 320, 240}});
    Open();
    ASSERT_TRUE(Go("#q img", "Layout.htm"));
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    driver->click("a[href^='pk:Cancel'] img");
    ASSERT_TRUE(WizardDriver::waitFor([&] { return finished.count() == 1; }));
    EXPECT_EQ(finished.at(0).at(0).toInt(), 0);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(driver->takeMessages().isEmpty());
}

TEST_F(Wizard, ABrokenLayoutChosenWithNextKeepsTheLayoutPage)
{
    Open();
    WriteFile("Broken.dat", QByteArray("\x01\x00\xff\xff\x01\x00\x0a\x00CRectanglX", 18));
    ASSERT_TRUE(Go("#q img", "Layout.htm"));
    // The filling stopped at the broken file: it is not listed, the page opened.
    EXPECT_EQ(dlg->List()->count(), 0);
    ExpectChooserState("Layout.htm", kTagLayout, false);
}

} // namespace

