// The capture page end to end: the real web engine, the real capture graph
// with the test camera, a frame-series package written by our own writer.
// Photos are taken by clicking "Capture it!" where the page renders it.
#include "archive.h"
#include "boothdlg.h"
#include "capturedevice.h"
#include "capturegraph.h"
#include "htmlctrl.h"
#include "messagebox.h"
#include "packagewriter.h"
#include "paths.h"
#include "resscheme.h"
#include "rgndata.h"
#include "stickersheet.h"
#include "testcamera.h"
#include "videowindow.h"
#include "resourcefolder.h"
#include "wizarddriver.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include "testing.h"
#include <gtest/gtest.h>

using namespace pelmora;

namespace {

const QColor kFrameColours[] = {QColor(250, 20, 20), QColor(20, 250, 20), QColor(20, 20, 250)};

// Frames 1001 to 1003: a solid picture of 320 by 240 each; frame 1001 covers
// the top ten rows, 1002 a band down the left, 1003 nothing.
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


class CaptureFlow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetResourceFolder();
        WriteResourceFile("4 Photos.dat",
              WriteLayoutArchive(std::vector<SheetRect>{{0, 0, 160, 120}, {160, 0, 320, 120}, {0, 120, 160, 240}, {160, 120, 320, 240}}));
        WriteResourceFile("Test Frames.dll", TestSeries());

        // The test camera as the booth finds it, through the device monitor;
        // each case starts with one fresh camera plugged in.
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
        ASSERT_TRUE(Go("#q img", "Layout.htm"));
        dlg->List()->setCurrentRow(0);
        ASSERT_TRUE(Go("#q img", "Series.htm"));
        dlg->List()->setCurrentRow(0);
        ASSERT_TRUE(Go("#q img", "Capture.htm"));
    }

    void TearDown() override
    {
        driver.reset();
        SetMessageBoxOwner(nullptr);
        dlg.reset();
        graph.reset();
    }

    bool Go(const QString& selector, const QString& page)
    {
        driver->click(selector);
        return driver->waitForPage(page);
    }

    int Photos() const { return dlg->Sheet()->GetPhotoCount(); }

    // Clicks "Capture it!" and waits for the photo count to reach `expected`.
    bool Capture(int expected, int timeoutMs = 10000)
    {
        driver->click("a[href^='pk:Capture'] img");
        return WizardDriver::waitFor([&] { return Photos() == expected; }, timeoutMs);
    }

    // The live picture as it is on screen, below the frame's top band.
    QImage VideoOnScreen() { return driver->screenshot().copy(69, 131, 412, 297); }
    bool VideoMoves()
    {
        const QImage before = VideoOnScreen();
        return WizardDriver::waitFor([&] { return VideoOnScreen() != before; }, 3000);
    }

    QImage Photo(int i) const { return dlg->Sheet()->GetPhoto(i)->GetBitmap()->convertToFormat(QImage::Format_RGB888); }

    QStringList StripLabels() const
    {
        QStringList labels;
        for (int i = 0; i < dlg->List()->count(); ++i)
            labels << dlg->List()->GetItemText(i);
        return labels;
    }

    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback grabber;
    std::unique_ptr<CBoothDlg> dlg;
    std::unique_ptr<WizardDriver> driver;
};

TEST_F(CaptureFlow, LiveVideoWithTheFirstFrameOverIt)
{
    CVideoWindow* video = dlg->VideoWindow();
    ASSERT_NE(video, nullptr);
    EXPECT_TRUE(video->isVisible());
    EXPECT_EQ(video->geometry(), QRect(69, 120, 412, 308));
    EXPECT_EQ(video->windowTitle(), "Pelmora Video");
    EXPECT_TRUE(graph->IsRunning());
    const auto before = video->ReceivedFrames();
    ASSERT_TRUE(WizardDriver::waitFor([&] { return video->ReceivedFrames() > before + 5; }));

    const CPhotoFrameWnd& frame = dlg->FrameWindow();
    ASSERT_TRUE(frame.HasWindow());
    EXPECT_EQ(frame.GetFrame(), 1001);
    EXPECT_EQ(frame.geometry(), QRect(69, 120, 412, 309));
    EXPECT_EQ(frame.mask(), QRegion(0, 0, 320, 10));

    // On screen: the frame's red band over the top of the video, the camera
    // picture below it.
    QTest::qWait(300);
    const QImage shot = driver->screenshot("capture-live.png");
    EXPECT_EQ(QColor(shot.pixel(200, 125)), kFrameColours[0]);
    EXPECT_NE(QColor(shot.pixel(200, 200)), kFrameColours[0]);
}

TEST_F(CaptureFlow, ArrowsStepThroughTheFramesWithoutWrapping)
{
    const CPhotoFrameWnd& frame = dlg->FrameWindow();
    driver->click("area[href^='pk:PreviousPhotoFrame']");
    QTest::qWait(300);
    EXPECT_EQ(frame.GetFrame(), 1001);
    dlg->ExecuteCommand("NextPhotoFrame/");
    EXPECT_EQ(frame.GetFrame(), 1002);
    EXPECT_EQ(frame.mask(), QRegion(0, 0, 40, 240));
    dlg->ExecuteCommand("NextPhotoFrame/");
    dlg->ExecuteCommand("NextPhotoFrame/");
    EXPECT_EQ(frame.GetFrame(), 1003);
    // An empty outline keeps the shape the window had.
    EXPECT_EQ(frame.mask(), QRegion(0, 0, 40, 240));
    dlg->ExecuteCommand("PreviousPhotoFrame/");
    EXPECT_EQ(frame.GetFrame(), 1002);

    // The next visit starts at frame 1001 again.
    ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Series.htm"));
    EXPECT_FALSE(frame.HasWindow());
    EXPECT_FALSE(dlg->VideoWindow()->isVisible());
    EXPECT_TRUE(graph->IsRunning());
    dlg->List()->setCurrentRow(0);
    ASSERT_TRUE(Go("#q img", "Capture.htm"));
    EXPECT_EQ(frame.GetFrame(), 1001);
    EXPECT_TRUE(dlg->VideoWindow()->isVisible());
}

TEST_F(CaptureFlow, FourCapturesFillTheSheetAndTheFifthDoesNothing)
{
    ASSERT_TRUE(Capture(1));
    // Frame 1001 covers the top ten rows as seen; below, the camera shows.
    const QImage first = Photo(0);
    EXPECT_EQ(first.size(), QSize(320, 240));
    EXPECT_EQ(QColor(first.pixel(100, 0)), kFrameColours[0]);
    EXPECT_EQ(QColor(first.pixel(100, 9)), kFrameColours[0]);
    EXPECT_NE(QColor(first.pixel(100, 10)), kFrameColours[0]);
    EXPECT_EQ(StripLabels(), QStringList({"1/4"}));

    dlg->ExecuteCommand("NextPhotoFrame/");
    ASSERT_TRUE(Capture(2));
    EXPECT_EQ(QColor(Photo(1).pixel(20, 200)), kFrameColours[1]);
    EXPECT_NE(QColor(Photo(1).pixel(100, 200)), kFrameColours[1]);

    ASSERT_TRUE(Capture(3));
    ASSERT_TRUE(Capture(4));
    EXPECT_EQ(StripLabels(), QStringList({"1/4", "2/4", "3/4", "4/4"}));
    EXPECT_EQ(dlg->List()->GetItemPosition(3), QPoint(5 + 79 * 3, 10));

    // A full sheet ignores Capture silently.
    EXPECT_FALSE(Capture(5, 1500));
    EXPECT_EQ(Photos(), 4);
    EXPECT_TRUE(driver->takeMessages().isEmpty());
    driver->screenshot("capture-full-strip.png");
}

TEST_F(CaptureFlow, PackagesCopiedFromWindowsLoadWhateverTheCaseOfTheirExtension)
{
    // A dot in the series name still leaves the extension to the name.
    const struct {
        const char* file;
        const char* series;
        bool loads;
    } packages[] = {{"HEARTS.DLL", "HEARTS", true}, {"Stars.Dll", "Stars", true}, {"Frames.old.dll", "Frames.old", false}};
    for (const auto& p : packages)
        WriteResourceFile(p.file, TestSeries());
    for (const auto& p : packages) {
        SCOPED_TRACE(p.file);
        ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Series.htm"));
        const QList<QListWidgetItem*> items = dlg->List()->findItems(p.series, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        dlg->List()->setCurrentItem(items[0]);
        ASSERT_TRUE(Go("#q img", "Capture.htm"));
        EXPECT_EQ(dlg->FrameWindow().HasWindow(), p.loads);
    }
}

TEST_F(CaptureFlow, TwoQuickCapturesGiveTwoPhotos)
{
    dlg->ExecuteCommand("Capture/");
    dlg->ExecuteCommand("Capture/");
    ASSERT_TRUE(WizardDriver::waitFor([&] { return Photos() == 2; }));
    QTest::qWait(500);
    EXPECT_EQ(Photos(), 2);
    EXPECT_EQ(StripLabels(), QStringList({"1/4", "2/4"}));
}

TEST_F(CaptureFlow, DeleteRenumbersAndBackAndForwardKeepsThePhotos)
{
    for (int n = 1; n <= 3; ++n)
        ASSERT_TRUE(Capture(n));
    const QImage third = Photo(2);
    dlg->List()->setCurrentRow(1);
    driver->click("a[href^='pk:Delete'] img");
    ASSERT_TRUE(WizardDriver::waitFor([&] { return Photos() == 2; }));
    EXPECT_EQ(StripLabels(), QStringList({"1/4", "2/4"}));
    EXPECT_EQ(Photo(1), third);

    ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Series.htm"));
    dlg->List()->setCurrentRow(0);
    ASSERT_TRUE(Go("#q img", "Capture.htm"));
    EXPECT_EQ(Photos(), 2);
    EXPECT_EQ(StripLabels(), QStringList({"1/4", "2/4"}));
    ASSERT_TRUE(Capture(3));
}

TEST_F(CaptureFlow, AFrameOfAnotherSizeIsDropped)
{
    CFrameReadyEvent shortFrame(QByteArray(1000, '\0'));
    QCoreApplication::sendEvent(dlg.get(), &shortFrame);
    EXPECT_EQ(Photos(), 0);
    QCoreApplication::postEvent(dlg.get(), new CFrameReadyEvent(QByteArray(230400, '\x40')));
    ASSERT_TRUE(WizardDriver::waitFor([&] { return Photos() == 1; }));
    // The camera bytes below the frame's band are taken unchanged.
    EXPECT_EQ(QColor(Photo(0).pixel(100, 100)), QColor(0x40, 0x40, 0x40));
}

TEST_F(CaptureFlow, AFrameThatArrivesAfterBackIsDropped)
{
    ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Series.htm"));
    QCoreApplication::postEvent(dlg.get(), new CFrameReadyEvent(QByteArray(230400, '\x40')));
    QTest::qWait(300);
    EXPECT_EQ(Photos(), 0);
    EXPECT_EQ(dlg->List()->GetItemData(0), kTagSeries);
}

// A camera unplugged and plugged in again, in the places a user may be.
struct Replug {
    const char* name;
    bool onSeriesPage;     // unplugged and plugged in while the series page shows
    bool duringShutter;    // unplugged while Capture's sound plays
    const char* pattern;   // of the camera plugged in
    const char* camera;
};

class CameraReplug : public CaptureFlow, public ::testing::WithParamInterface<Replug> {};

TEST_P(CameraReplug, TheLivePictureComesBackWithPageFrameAndPhotos)
{
    const Replug& row = GetParam();
    bool shutterRan = false;
    ASSERT_TRUE(Capture(1));
    dlg->ExecuteCommand("NextPhotoFrame/");
    if (row.onSeriesPage) {
        ASSERT_TRUE(Go("a[href^='pk:Back'] img", "Series.htm"));
    }
    if (row.duringShutter) {
        QTimer::singleShot(100, [] { FailTestCameras(true); });
        dlg->ExecuteCommand("Capture/");
    } else {
        FailTestCameras(true);
    }
    ASSERT_TRUE(WizardDriver::waitFor([&] { return !graph->IsDelivering(); }));
    if (!row.onSeriesPage) {
        // Once the frames already on their way are painted, the last picture
        // stays; Capture takes no photo, now or later.
        QTest::qWait(300);
        ASSERT_FALSE(VideoMoves());
        EXPECT_FALSE(VideoOnScreen().isNull());
        // Sound and outlines would let this timer run; a beep does not.
        QTimer::singleShot(0, [&] { shutterRan = true; });
        dlg->ExecuteCommand("Capture/");
        EXPECT_FALSE(shutterRan);
    }

    PlugTestCamera(row.pattern, row.camera);
    if (row.onSeriesPage) {
        dlg->List()->setCurrentRow(0);
        ASSERT_TRUE(Go("#q img", "Capture.htm"));
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

TEST_F(CaptureFlow, UnpluggedForGoodCancelStillEnds)
{
    FailTestCameras(true);
    ASSERT_TRUE(WizardDriver::waitFor([&] { return graph->HasFailed(); }));
    driver->click("a[href^='pk:Cancel'] img");
    ASSERT_TRUE(WizardDriver::waitFor([&] { return !dlg->isVisible(); }));
    EXPECT_EQ(dlg->result(), 0);
}

// Runs a program and returns its standard output.
QString RunTool(const QString& program, const QStringList& args)
{
    return QString::fromLocal8Bit(RunProgram(program, args).out);
}

TEST_F(CaptureFlow, ExportWritesNumberedBitmapsAndNeverOverwrites)
{
    for (int n = 1; n <= 3; ++n)
        ASSERT_TRUE(Capture(n));
    QTemporaryDir folder;
    {
        QFile taken(folder.filePath("Pelmora 2.bmp"));
        ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
        taken.write("someone else's file");
    }
    QString title;
    QStringList options;
    driver->handleDialogsWith([&](QDialog* d) {
        auto* files = qobject_cast<QFileDialog*>(d);
        ASSERT_NE(files, nullptr);
        title = files->windowTitle();
        if (files->fileMode() == QFileDialog::Directory)
            options << "directories";
        // Opening the folder and choosing it, as a user does.
        files->setDirectory(folder.path());
        if (files->selectedFiles() != QStringList{folder.path()}) {
            files->reject();
            return;
        }
        QMetaObject::invokeMethod(files, "accept");
    });
    driver->click("a[href^='pk:Export'] img");
    const bool exported = WizardDriver::waitFor([&] { return QFile::exists(folder.filePath("Pelmora 4.bmp")); });
    ASSERT_TRUE(exported) << driver->takeDialogs().join(",").toStdString() << " | "
                          << driver->takeMessages().join(",").toStdString() << " | "
                          << QDir(folder.path()).entryList().join(",").toStdString();
    QTest::qWait(200);
    EXPECT_EQ(title, "Please select the directory where the photos will be saved to:");
    EXPECT_EQ(options, QStringList({"directories"}));
    EXPECT_TRUE(driver->takeMessages().isEmpty());

    // Photos 1, 2 and 3 went to numbers 1, 3 and 4; number 2 kept its bytes.
    QFile kept(folder.filePath("Pelmora 2.bmp"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("someone else's file"));
    const QString names[] = {"Pelmora 1.bmp", "Pelmora 3.bmp", "Pelmora 4.bmp"};
    for (int i = 0; i < 3; ++i) {
        const QString path = folder.filePath(names[i]);
        EXPECT_EQ(QFileInfo(path).size(), 230454) << names[i].toStdString();
        // ImageMagick reads it as a 320 by 240 picture equal to the photo, upright.
        EXPECT_TRUE(RunTool("identify", {"-format", "%w %h %m", path}).startsWith("320 240 BMP"));
        EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_RGB888), Photo(i));
    }

    // A cancelled dialog writes nothing.
    driver->handleDialogsWith([](QDialog* d) { d->reject(); });
    driver->click("a[href^='pk:Export'] img");
    QTest::qWait(500);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 4);
    EXPECT_EQ(driver->takeDialogs().size(), 2);
}

TEST_F(CaptureFlow, PrintShowsThePrintDialogAndPrintsTheSheet)
{
    ASSERT_TRUE(Capture(1));
    ASSERT_TRUE(Capture(2));
    QTemporaryDir out;
    const QString pdf = out.filePath("sheet.pdf");
    bool pageRange = true, selection = true, toFile = true;
    driver->handleDialogsWith([&](QDialog* d) {
        auto* print = qobject_cast<QPrintDialog*>(d);
        ASSERT_NE(print, nullptr);
        pageRange = print->testOption(QAbstractPrintDialog::PrintPageRange);
        selection = print->testOption(QAbstractPrintDialog::PrintSelection);
        toFile = print->testOption(QAbstractPrintDialog::PrintToFile);
        // The machine's printer is a PDF file here. The dialog hands its own
        // choices to the printer as it is accepted, so this comes after them.
        QObject::connect(print, &QDialog::accepted, print, [print, pdf] {
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(pdf);
            print->printer()->setResolution(600);
        });
        QMetaObject::invokeMethod(print, "accept");
    });
    driver->click("a[href^='pk:Print'] img");
    const bool printed = WizardDriver::waitFor([&] { return QFileInfo(pdf).size() > 0; });
    ASSERT_TRUE(printed) << driver->takeDialogs().join(",").toStdString() << " | "
                         << driver->takeMessages().join(",").toStdString();
    QTest::qWait(300);
    EXPECT_FALSE(pageRange);
    EXPECT_FALSE(selection);
    EXPECT_FALSE(toFile);
    EXPECT_EQ(RunTool("pdfinfo", {pdf}).contains(QRegularExpression("Pages:\\s+1\\n")), true);
    EXPECT_TRUE(RunTool("pdfinfo", {pdf}).contains("Pelmora 2004"));

    // Rendered at 100 dpi the sheet covers 145 by 102 mm from the top-left of
    // the printable area: about 571 by 401 pixels of photos and white.
    RunTool("pdftoppm", {"-r", "100", "-png", "-singlefile", pdf, out.filePath("page")});
    const QImage page(out.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    page.save(QStringLiteral(PELMORA_BIN_DIR "/../tests/screens/printed-sheet.png"));
    QRect inked;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 235)
                inked |= QRect(x, y, 1, 1);
    // Two photos fill the lower half of a four-place sheet (printed rows count
    // from the bottom), the upper half stays white.
    EXPECT_NEAR(inked.width(), 571 / 2 * 2, 12);
    EXPECT_NEAR(inked.height(), 401 / 2, 12);
    EXPECT_GT(inked.top(), 150);
    EXPECT_LT(inked.bottom(), 480);
}

TEST_F(CaptureFlow, AboutClosesWithOkEscapeAndTheCloseButton)
{
    // Each way out, as a user takes it on the dialog that opened.
    const std::function<void(QDialog*)> ways[] = {
        [](QDialog* d) {
            if (auto* ok = d->findChild<QPushButton*>())
                ok->click();
        },
        [](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); },
        [](QDialog* d) { d->close(); },
    };
    for (const auto& way : ways) {
        QString title;
        bool closed = false;
        driver->handleDialogsWith([&](QDialog* d) {
            title = d->windowTitle();
            QObject::connect(d, &QDialog::finished, d, [&closed] { closed = true; });
            way(d);
        });
        driver->click("a[href^='pk:About'] img");
        ASSERT_TRUE(WizardDriver::waitFor([&] { return closed; }));
        EXPECT_EQ(title, "About Pelmora 2004");
        QTest::qWait(100);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(driver->currentPage(), "Capture.htm");
        EXPECT_TRUE(dlg->isVisible());
    }
}

} // namespace

