// The booth on the real web engine with the test camera: window, capture graph, driver.
#pragma once

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

namespace booth {

inline const QColor kFrameColours[] = {QColor(250, 20, 20), QColor(20, 250, 20), QColor(20, 20, 250)};
inline const char* const kBack = "a[href^='pk:Back'] img";
inline const char* const kNext = "#q img";

// Frames 1001 to 1003, solid 320 by 240: 1001 covers the top ten rows, 1002 a left band, 1003 none.
inline QByteArray TestSeries()
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

inline QString Message(int id) { return ApplicationTitle() + "|" + LoadStringText(id); }

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

    // The one message box that follows the click ("caption|text").
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

} // namespace booth
