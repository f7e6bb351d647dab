// The booth end to end in the real web engine with the test camera, driven
// as a user drives it; the window's state checked after every page change.
#include "archive.h"
#include "boothdlg.h"
#include "capturegraph.h"
#include "htmlctrl.h"
#include "messagebox.h"
#include "packagewriter.h"
#include "paths.h"
#include "rgndata.h"
#include "stickersheet.h"
#include "stringtable.h"
#include "testcamera.h"
#include "videowindow.h"
#include "resourcefolder.h"
#include "wizarddriver.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include "testing.h"
#include <gtest/gtest.h>

using namespace pelmora;

namespace {

const QColor kFrameColours[] = {QColor(250, 20, 20), QColor(20, 250, 20), QColor(20, 20, 250)};
const char* const kBack = "a[href^='pk:Back'] img";
const char* const kNext = "#q img";

// Frames 1001 to 1003, solid 320 by 240: 1001 covers the top ten rows, 1002 a left band, 1003 none.
QByteArray TestSeries()
{
    std::vector<PackageResourceData> resources =
        StringTableResources({{1, QStringLiteral("1001")}, {2, QStringLiteral("1003")}});
    const QRegion outlines[] = {QRegion(0, 0, 320, 10), QRegion(0, 0, 40, 240), QRegion()};
    for (int i = 0; i < 3; ++i) {
        QImage picture(320, 240, QImage::Format_RGB888);
        picture.fill(kFrameColours[i]);
        resources.push_back({"REGION", 0, std::uint16_t(1001 + i), WriteRegionData(outlines[i])});
        resources.push_back({"IMAGE", 0, std::uint16_t(2001 + i), BmpBytes(picture)});
    }
    return WriteResourcePackage(resources);
}

QString Message(int id) { return ApplicationTitle() + "|" + LoadStringText(id); }

class Booth : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetResourceFolder();
        QFile::remove(ExecutableFolder() + "/Pelmora.chm");
        WriteResourceFile("4 Photos.dat", WriteLayoutArchive(std::vector<SheetRect>{
                                              {0, 0, 160, 120}, {160, 0, 320, 120}, {0, 120, 160, 240}, {160, 120, 320, 240}}));
        // Extensions in any case, as copied from Windows; a dot in a name.
        for (const char* name : {"Test Frames.dll", "HEARTS.DLL", "Stars.Dll", "Frames.old.dll"})
            WriteResourceFile(name, TestSeries());
        // One fresh camera plugged in, found through the device monitor.
        qputenv("PELMORA_TEST_CAMERA", "ball");
        RegisterTestCameraProvider();
        FailTestCameras(true);
        PlugTestCamera();
        ASSERT_EQ(BuildCaptureGraph(&graph, &grabber), S_OK);
        dlg = std::make_unique<CBoothDlg>();
        dlg->SetCapture(graph.get(), &grabber);
        SetMessageBoxOwner(dlg.get());
        driver = std::make_unique<WizardDriver>(*dlg);
        dlg->Create();
        ASSERT_TRUE(driver->waitForPage("welcome.htm"));
    }

    void TearDown() override { SetMessageBoxOwner(nullptr); }

    bool Go(const QString& selector, const QString& page)
    {
        driver->click(selector);
        return driver->waitForPage(page);
    }
    void Select(int row) { dlg->List()->setCurrentRow(row); }
    bool ForwardToCapture(const QString& series = "Test Frames")
    {
        const QList<QListWidgetItem*> items = dlg->List()->findItems(series, Qt::MatchExactly);
        if (items.size() != 1)
            return false;
        dlg->List()->setCurrentItem(items[0]);
        return Go(kNext, "Capture.htm");
    }
    bool ToCapture()
    {
        if (!Go(kNext, "Layout.htm"))
            return false;
        Select(0);
        return Go(kNext, "Series.htm") && ForwardToCapture();
    }

    void ExpectWelcome(bool afterBack)
    {
        EXPECT_EQ(driver->currentPage().toLower(), "welcome.htm");
        EXPECT_FALSE(dlg->List()->isVisible());
        EXPECT_EQ(dlg->HtmlRegion(), afterBack ? QRegion(0, 0, 800, 600) : QRegion());
        EXPECT_EQ(dlg->Sheet(), nullptr);
    }
    void ExpectChooser(const QString& page, qintptr tag, bool sheet)
    {
        EXPECT_EQ(driver->currentPage(), page);
        EXPECT_TRUE(dlg->List()->isVisible());
        EXPECT_EQ(dlg->List()->geometry(), QRect(206, 110, 536, 435));
        EXPECT_EQ(dlg->HtmlRegion(), QRegion(0, 0, 800, 600).xored(QRegion(206, 110, 536, 435)));
        EXPECT_EQ(dlg->Sheet() != nullptr, sheet);
        if (dlg->List()->count() > 0) {
            EXPECT_EQ(dlg->List()->GetItemData(0), tag);
        }
    }

    // Clicks and returns the one message box that follows ("caption|text").
    QString ClickForMessage(const QString& selector)
    {
        driver->takeMessages();
        driver->click(selector);
        QStringList seen;
        WaitFor([&] { return !(seen += driver->takeMessages()).isEmpty(); });
        QTest::qWait(200); // nor any page meanwhile
        seen += driver->takeMessages();
        EXPECT_EQ(seen.size(), 1);
        return seen.value(0);
    }

    int Photos() const { return dlg->Sheet()->GetPhotoCount(); }
    QImage Photo(int i) const { return dlg->Sheet()->GetPhoto(i)->GetBitmap()->convertToFormat(QImage::Format_RGB888); }
    // Clicks "Capture it!" and waits for the photo count to reach `expected`.
    bool Capture(int expected, int timeoutMs = 10000)
    {
        driver->click("a[href^='pk:Capture'] img");
        return WaitFor([&] { return Photos() == expected; }, timeoutMs);
    }
    // Capture as a command: whether the shutter ran (it runs the event loop, a beep does not).
    bool ShutterRuns()
    {
        auto ran = std::make_shared<bool>(false);
        QTimer::singleShot(0, [ran] { *ran = true; });
        dlg->ExecuteCommand("Capture/");
        return *ran;
    }
    QStringList Items(bool sorted = false) const
    {
        QStringList texts;
        for (int i = 0; i < dlg->List()->count(); ++i)
            texts << dlg->List()->GetItemText(i);
        if (sorted)
            texts.sort();
        return texts;
    }
    // The live picture as it is on screen, below the frame's top band.
    QImage VideoOnScreen() { return driver->screenshot().copy(69, 131, 412, 297); }
    bool VideoMoves()
    {
        const QImage before = VideoOnScreen();
        return WaitFor([&] { return VideoOnScreen() != before; }, 3000);
    }

    // Destroyed window first, then the graph, then the callback it feeds.
    CFrameGrabCallback grabber;
    std::unique_ptr<CCaptureGraph> graph;
    std::unique_ptr<CBoothDlg> dlg;
    std::unique_ptr<WizardDriver> driver;
};

TEST_F(Booth, OneWalkThroughEveryPageAndBack)
{
    EXPECT_EQ(dlg->size(), QSize(800, 600));
    EXPECT_TRUE(dlg->windowFlags() & Qt::FramelessWindowHint);
    ExpectWelcome(false);
    EXPECT_EQ(dlg->Html()->url().toString(), "res://" + ExecutablePath() + "/welcome.htm");
    EXPECT_EQ(driver->js("document.activeElement && document.activeElement.id").toString(), "q");
    driver->screenshot("wizard-welcome.png");

    // Enter on the focused Get Started link.
    driver->pressKey(Qt::Key_Return);
    ASSERT_TRUE(driver->waitForPage("Layout.htm"));
    ExpectChooser("Layout.htm", kTagLayout, false);
    EXPECT_EQ(Items(), QStringList({"4 Photos.dat"}));
    // Neither Backspace nor Alt+Left goes back in the history; Enter and
    // Escape reach the window itself, which a close request does not close.
    driver->pressKey(Qt::Key_Backspace);
    driver->pressKey(Qt::Key_Left, Qt::AltModifier);
    driver->pressKey(Qt::Key_Escape, Qt::NoModifier, dlg.get());
    driver->pressKey(Qt::Key_Return, Qt::NoModifier, dlg.get());
    driver->pressKey(Qt::Key_Escape, Qt::NoModifier, dlg->List());
    QCloseEvent close;
    QApplication::sendEvent(dlg.get(), &close);
    EXPECT_FALSE(close.isAccepted());
    dlg->close();
    QTest::qWait(500);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(ClickForMessage(kNext), Message(IDS_NO_LAYOUT));
    ExpectChooser("Layout.htm", kTagLayout, false);
    Select(0);
    driver->pressKey(Qt::Key_Delete, Qt::NoModifier, dlg->List());
    EXPECT_EQ(dlg->List()->count(), 1);
    driver->screenshot("wizard-layout.png");
    // A double-click on an item acts as Next.
    driver->clickAt(dlg->List()->viewport()->mapTo(dlg.get(), dlg->List()->visualItemRect(dlg->List()->item(0)).center()), true);
    ASSERT_TRUE(driver->waitForPage("Series.htm"));

    ExpectChooser("Series.htm", kTagSeries, true);
    EXPECT_EQ(dlg->Sheet()->GetCapacity(), 4);
    EXPECT_EQ(Items(true), QStringList({"Frames.old", "HEARTS", "Stars", "Test Frames"}));
    dlg->List()->clearSelection();
    EXPECT_EQ(ClickForMessage(kNext), Message(IDS_NO_SERIES));
    ExpectChooser("Series.htm", kTagSeries, true);
    ASSERT_TRUE(ForwardToCapture());

    // The capture page: live video with the first frame over it.
    EXPECT_EQ(dlg->List()->geometry(), QRect(24, 453, 634, 94));
    EXPECT_EQ(dlg->HtmlRegion(), QRegion(0, 0, 800, 600)
                                     .xored(QRegion(QRect(QPoint(69, 120), QPoint(480, 428))))
                                     .xored(QRegion(QRect(QPoint(24, 453), QPoint(657, 546)))));
    CVideoWindow* video = dlg->VideoWindow();
    ASSERT_NE(video, nullptr);
    EXPECT_TRUE(video->isVisible());
    EXPECT_EQ(video->geometry(), QRect(69, 120, 412, 308));
    EXPECT_EQ(video->windowTitle(), "Pelmora Video");
    const auto received = video->ReceivedFrames();
    ASSERT_TRUE(WaitFor([&] { return video->ReceivedFrames() > received + 5; }));
    const CPhotoFrameWnd& frame = dlg->FrameWindow();
    ASSERT_TRUE(frame.HasWindow());
    EXPECT_EQ(frame.GetFrame(), 1001);
    EXPECT_EQ(frame.geometry(), QRect(69, 120, 412, 309));
    EXPECT_EQ(frame.mask(), QRegion(0, 0, 320, 10));
    QTest::qWait(300);
    const QImage shot = driver->screenshot("capture-live.png");
    EXPECT_EQ(QColor(shot.pixel(200, 125)), kFrameColours[0]);
    EXPECT_NE(QColor(shot.pixel(200, 200)), kFrameColours[0]);

    // The arrows step without wrapping; an empty outline keeps the window's shape.
    driver->click("area[href^='pk:PreviousPhotoFrame']");
    QTest::qWait(300);
    EXPECT_EQ(frame.GetFrame(), 1001);
    const QRegion band(0, 0, 40, 240), top(0, 0, 320, 10);
    const std::tuple<const char*, int, QRegion> steps[] = {
        {"Next", 1002, band}, {"Next", 1003, band}, {"Next", 1003, band}, {"Previous", 1002, band}, {"Previous", 1001, top}};
    for (const auto& [command, id, mask] : steps) {
        dlg->ExecuteCommand(QStringLiteral("%1PhotoFrame/").arg(command));
        EXPECT_EQ(frame.GetFrame(), id);
        EXPECT_EQ(frame.mask(), mask) << id;
    }

    // Frame 1001 covers the top ten rows of the photo; below, the camera shows.
    ASSERT_TRUE(Capture(1));
    EXPECT_EQ(Photo(0).size(), QSize(320, 240));
    for (int y : {0, 9, 10})
        EXPECT_EQ(QColor(Photo(0).pixel(100, y)) == kFrameColours[0], y < 10) << y;
    EXPECT_EQ(Items(), QStringList({"1/4"}));
    // Two quick captures give two photos, with frame 1002's band on the left.
    dlg->ExecuteCommand("NextPhotoFrame/");
    dlg->ExecuteCommand("Capture/");
    dlg->ExecuteCommand("Capture/");
    ASSERT_TRUE(WaitFor([&] { return Photos() == 3; }));
    QTest::qWait(500);
    EXPECT_EQ(Photos(), 3);
    EXPECT_EQ(QColor(Photo(1).pixel(20, 200)), kFrameColours[1]);
    EXPECT_NE(QColor(Photo(1).pixel(100, 200)), kFrameColours[1]);
    // A frame of another size is dropped; camera bytes outside the band stay as they are.
    CFrameReadyEvent shortFrame(QByteArray(1000, '\0'));
    QCoreApplication::sendEvent(dlg.get(), &shortFrame);
    EXPECT_EQ(Photos(), 3);
    QCoreApplication::postEvent(dlg.get(), new CFrameReadyEvent(QByteArray(230400, '\x40')));
    ASSERT_TRUE(WaitFor([&] { return Photos() == 4; }));
    EXPECT_EQ(QColor(Photo(3).pixel(100, 100)), QColor(0x40, 0x40, 0x40));
    EXPECT_EQ(Items(), QStringList({"1/4", "2/4", "3/4", "4/4"}));
    EXPECT_EQ(dlg->List()->GetItemPosition(3), QPoint(5 + 79 * 3, 10));
    EXPECT_TRUE(dlg->List()->HasBkImage());
    // A full sheet ignores Capture silently.
    EXPECT_FALSE(ShutterRuns());
    EXPECT_FALSE(Capture(5, 1500));
    EXPECT_TRUE(driver->takeMessages().isEmpty());

    // Delete needs a selection; link and key remove the selected photo and renumber.
    dlg->List()->clearSelection();
    driver->click("a[href^='pk:Delete'] img");
    QTest::qWait(300);
    EXPECT_EQ(Photos(), 4);
    const QImage third = Photo(2);
    Select(1);
    driver->click("a[href^='pk:Delete'] img");
    ASSERT_TRUE(WaitFor([&] { return Photos() == 3; }));
    EXPECT_EQ(Items(), QStringList({"1/4", "2/4", "3/4"}));
    EXPECT_EQ(Photo(1), third);
    Select(0);
    driver->pressKey(Qt::Key_Delete, Qt::NoModifier, dlg->List());
    EXPECT_EQ(Photos(), 2);
    EXPECT_EQ(Items(), QStringList({"1/4", "2/4"}));
    EXPECT_EQ(Photo(0), third);

    // Export asks for a folder and writes the photos there; a cancelled dialog writes nothing.
    QTemporaryDir folder;
    driver->handleDialogsWith([&](QDialog* d) {
        auto* files = qobject_cast<QFileDialog*>(d);
        ASSERT_NE(files, nullptr);
        ASSERT_EQ(files->fileMode(), QFileDialog::Directory);
        files->setDirectory(folder.path());
        if (files->selectedFiles() != QStringList{folder.path()})
            return files->reject();
        QMetaObject::invokeMethod(files, "accept");
    });
    driver->click("a[href^='pk:Export'] img");
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(folder.filePath("Pelmora 2.bmp")); }));
    QTest::qWait(200);
    for (int i : {0, 1})
        EXPECT_EQ(QImage(folder.filePath(QStringLiteral("Pelmora %1.bmp").arg(i + 1))).convertToFormat(QImage::Format_RGB888), Photo(i));
    driver->handleDialogsWith([](QDialog* d) { d->reject(); });
    driver->click("a[href^='pk:Export'] img");
    QTest::qWait(500);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(driver->takeDialogs(), QStringList(2, "Please select the directory where the photos will be saved to:"));
    EXPECT_TRUE(driver->takeMessages().isEmpty());

    // Print: the machine's printer is a PDF file here. The dialog hands its
    // own choices to the printer as it is accepted, so ours come after them.
    const QString pdf = folder.filePath("sheet.pdf");
    driver->handleDialogsWith([&](QDialog* d) {
        auto* print = qobject_cast<QPrintDialog*>(d);
        ASSERT_NE(print, nullptr);
        QObject::connect(print, &QDialog::accepted, print, [print, pdf] {
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(pdf);
            print->printer()->setResolution(600);
        });
        QMetaObject::invokeMethod(print, "accept");
    });
    driver->click("a[href^='pk:Print'] img");
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(pdf).size() > 0; }));
    QTest::qWait(300);
    // At 100 dpi the sheet is 145 by 102 mm at the printable area's top-left; two photos
    // fill the lower half of four places (printed rows count from the bottom).
    RunProgram("pdftoppm", {"-r", "100", "-png", "-singlefile", pdf, folder.filePath("page")});
    const QImage page(folder.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    QRect inked;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 235)
                inked |= QRect(x, y, 1, 1);
    EXPECT_NEAR(inked.width(), 570, 12);
    EXPECT_NEAR(inked.height(), 200, 12);
    EXPECT_GT(inked.top(), 150);
    EXPECT_LT(inked.bottom(), 480);

    // About opens its dialog; OK brings back the capture page.
    driver->takeDialogs(); // the print dialog
    QStringList titles;
    driver->handleDialogsWith([](QDialog* d) { d->findChild<QPushButton*>()->click(); });
    driver->click("a[href^='pk:About'] img");
    ASSERT_TRUE(WaitFor([&] { return !(titles += driver->takeDialogs()).isEmpty() && !QApplication::activeModalWidget(); }));
    EXPECT_EQ(titles, QStringList{"About Pelmora 2004"});
    EXPECT_EQ(driver->currentPage(), "Capture.htm");

    // Back hides frame and video, the camera runs on, a frame arriving now is
    // dropped; forward again keeps the photos and starts at frame 1001.
    ASSERT_TRUE(Go(kBack, "Series.htm"));
    ExpectChooser("Series.htm", kTagSeries, true);
    EXPECT_FALSE(frame.HasWindow());
    EXPECT_FALSE(video->isVisible());
    EXPECT_TRUE(graph->IsRunning());
    QCoreApplication::postEvent(dlg.get(), new CFrameReadyEvent(QByteArray(230400, '\x40')));
    QTest::qWait(300);
    EXPECT_EQ(Photos(), 2);
    ASSERT_TRUE(ForwardToCapture());
    EXPECT_EQ(frame.GetFrame(), 1001);
    EXPECT_TRUE(video->isVisible());
    EXPECT_EQ(Items(), QStringList({"1/4", "2/4"}));
    // Packages load whatever the case of their extension.
    const std::pair<const char*, bool> packages[] = {{"HEARTS", true}, {"Stars", true}, {"Frames.old", false}};
    for (const auto& [series, loads] : packages) {
        ASSERT_TRUE(Go(kBack, "Series.htm"));
        ASSERT_TRUE(ForwardToCapture(series));
        EXPECT_EQ(frame.HasWindow(), loads) << series;
    }

    // Back to the layouts with a photo asks: Cancel keeps page, sheet and photo, OK drops them.
    Select(0);
    driver->pressKey(Qt::Key_Delete, Qt::NoModifier, dlg->List());
    ASSERT_EQ(Photos(), 1);
    ASSERT_TRUE(Go(kBack, "Series.htm"));
    CStickerSheet* sheet = dlg->Sheet();
    driver->answerMessagesWith(QMessageBox::Cancel);
    EXPECT_EQ(ClickForMessage(kBack), Message(IDS_CONFIRM_BACK_TO_LAYOUT));
    ExpectChooser("Series.htm", kTagSeries, true);
    EXPECT_EQ(dlg->Sheet(), sheet);
    EXPECT_EQ(Photos(), 1);
    driver->answerMessagesWith(QMessageBox::Ok);
    ASSERT_TRUE(Go(kBack, "Layout.htm"));
    EXPECT_EQ(driver->takeMessages().size(), 1);
    ExpectChooser("Layout.htm", kTagLayout, false);
    // Without photos nothing is asked.
    Select(0);
    ASSERT_TRUE(Go(kNext, "Series.htm"));
    ASSERT_TRUE(Go(kBack, "Layout.htm"));
    EXPECT_TRUE(driver->takeMessages().isEmpty());
    ASSERT_TRUE(Go(kBack, "Welcome.htm"));
    ExpectWelcome(true);
    // Help without a help file changes nothing.
    driver->click("a[href^='pk:Help']");
    QTest::qWait(300);
    EXPECT_EQ(driver->currentPage().toLower(), "welcome.htm");
    EXPECT_TRUE(driver->takeMessages().isEmpty());

    // A broken layout ends the filling at that file; the page still opens.
    WriteResourceFile("Broken.dat", QByteArray("\x01\x00\xff\xff\x01\x00\x0a\x00CRectanglX", 18));
    ASSERT_TRUE(Go(kNext, "Layout.htm"));
    EXPECT_FALSE(Items().contains("Broken.dat"));
    ExpectChooser("Layout.htm", kTagLayout, false);
}

// A camera unplugged and plugged in again, in the places a user may be.
struct Replug {
    const char* name;
    bool onSeriesPage;   // unplugged and plugged in while the series page shows
    bool duringShutter;  // unplugged while Capture's sound plays
    const char* pattern; // of the camera plugged in
    const char* camera;
};

class CameraReplug : public Booth, public ::testing::WithParamInterface<Replug> {};

TEST_P(CameraReplug, TheLivePictureComesBackWithPageFrameAndPhotos)
{
    const Replug& row = GetParam();
    ASSERT_TRUE(ToCapture());
    ASSERT_TRUE(Capture(1));
    dlg->ExecuteCommand("NextPhotoFrame/");
    if (row.onSeriesPage) {
        ASSERT_TRUE(Go(kBack, "Series.htm"));
    }
    if (row.duringShutter) {
        QTimer::singleShot(100, [] { FailTestCameras(true); });
        dlg->ExecuteCommand("Capture/");
    } else {
        FailTestCameras(true);
    }
    ASSERT_TRUE(WaitFor([&] { return !graph->IsDelivering(); }));
    if (!row.onSeriesPage) {
        // Once the frames already on their way are painted, the last picture
        // stays; Capture takes no photo, now or later.
        QTest::qWait(300);
        ASSERT_FALSE(VideoMoves());
        EXPECT_FALSE(VideoOnScreen().isNull());
        EXPECT_FALSE(ShutterRuns());
    }
    PlugTestCamera(row.pattern, row.camera);
    if (row.onSeriesPage) {
        ASSERT_TRUE(ForwardToCapture());
    }
    EXPECT_TRUE(VideoMoves());
    EXPECT_EQ(graph->DeviceName(), row.camera);
    QTest::qWait(1000);
    EXPECT_EQ(Photos(), 1) << "no photo from a Capture made without a camera";
    EXPECT_EQ(driver->currentPage(), "Capture.htm");
    EXPECT_EQ(dlg->FrameWindow().GetFrame(), row.onSeriesPage ? 1001 : 1002);
    ASSERT_TRUE(Capture(2));
    driver->screenshot(QStringLiteral("replug-%1.png").arg(row.name));
}

INSTANTIATE_TEST_SUITE_P(
    Places, CameraReplug,
    ::testing::Values(Replug{"capture_page_same_camera", false, false, "ball", "Pelmora Test Camera"},
                      Replug{"capture_page_other_camera", false, false, "snow", "Second Camera"},
                      Replug{"series_page", true, false, "snow", "Second Camera"},
                      Replug{"during_the_shutter", false, true, "ball", "Pelmora Test Camera"}),
    [](const ::testing::TestParamInfo<Replug>& place) { return std::string(place.param.name); });

TEST_F(Booth, UnpluggedForGoodCancelStillEnds)
{
    ASSERT_TRUE(ToCapture());
    FailTestCameras(true);
    ASSERT_TRUE(WaitFor([&] { return graph->HasFailed(); }));
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    driver->click("a[href^='pk:Cancel'] img");
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    EXPECT_EQ(finished.at(0).at(0).toInt(), 0);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(driver->takeMessages().isEmpty());
}

} // namespace
