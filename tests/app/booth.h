// The booth on the real web engine with the test camera, driven as a user drives it.
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
#include "testing.h"
#include "videowindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace pelmora;

namespace booth {

inline void ResetResourceFolder()
{
    QDir(ResourceFolder()).removeRecursively();
    QDir().mkpath(ResourceFolder());
}

inline void WriteResourceFile(const QString& name, const QByteArray& bytes)
{
    QFile f(ResourceFolder() + QLatin1Char('/') + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline QStringList ItemTexts(const CBoothDlg& dlg, bool sorted)
{
    QStringList texts;
    for (int i = 0; i < dlg.List()->count(); ++i)
        texts << dlg.List()->GetItemText(i);
    if (sorted)
        texts.sort();
    return texts;
}

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
        PlugStartCameras();
        ASSERT_EQ(BuildCaptureGraph(&graph, &grabber), S_OK);
        dlg = std::make_unique<CBoothDlg>();
        dlg->SetCapture(graph.get(), &grabber);
        SetMessageBoxOwner(dlg.get());
        QObject::connect(&modalPoll, &QTimer::timeout, [this] { PollModals(); });
        modalPoll.start(20);
        dlg->Create();
        ASSERT_TRUE(WaitForPage("welcome.htm"));
    }

    void TearDown() override
    {
        SetMessageBoxOwner(nullptr);
        SetTestCameraStyle(TestCameraStyle::Shared);
    }
    // The cameras plugged in when the booth starts.
    virtual void PlugStartCameras() { PlugTestCamera(); }

    // Driving the window as a user does. Waits until the named page (any case) has loaded its pictures and settled.
    bool WaitForPage(const QString& name, int timeoutMs = 20000)
    {
        const QString loaded = "document.readyState === 'complete' && Array.prototype.every.call(document.images, "
                               "function(i){return i.complete && i.naturalWidth > 0;})";
        if (!WaitFor([&] { return CurrentPage().compare(name, Qt::CaseInsensitive) == 0 && RunScript(loaded).toBool(); }, timeoutMs))
            return false;
        // The panel grows in ten 1 ms steps after the load; let it finish.
        QTest::qWait(150);
        return true;
    }
    // The last path segment of the address that shows.
    QString CurrentPage() const
    {
        const QString path = dlg->Html()->url().path();
        return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    }

    QVariant RunScript(const QString& script, int timeoutMs = 10000)
    {
        QVariant result;
        bool done = false;
        // A late answer, after the wait gave up, goes nowhere.
        auto alive = std::make_shared<bool>(true);
        dlg->Html()->page()->runJavaScript(script, [&result, &done, alive](const QVariant& v) {
            if (*alive) {
                result = v;
                done = true;
            }
        });
        WaitFor([&] { return done; }, timeoutMs);
        *alive = false;
        return result;
    }
    // In the window's client pixels; empty when there is none. The selectors are ours, without double quotes.
    QRect ElementRect(const QString& selector)
    {
        const QVariantList l = RunScript(QStringLiteral("(function(){var e=document.querySelector(\"%1\");"
                                                        "if(!e)return null;var r=e.getBoundingClientRect();"
                                                        "return [r.left,r.top,r.width,r.height];})()")
                                             .arg(selector))
                                   .toList();
        if (l.size() != 4)
            return {};
        return QRectF(l[0].toDouble(), l[1].toDouble(), l[2].toDouble(), l[3].toDouble())
            .translated(dlg->Html()->mapTo(dlg.get(), QPoint(0, 0)))
            .toRect();
    }

    void ClickAt(QPoint clientPos, bool doubleClick = false)
    {
        QWidget* target = dlg->childAt(clientPos) ? dlg->childAt(clientPos) : dlg.get();
        if (target == dlg->Html() || dlg->Html()->isAncestorOf(target))
            target = dlg->Html()->focusProxy() ? dlg->Html()->focusProxy() : dlg->Html();
        const QPoint local = target->mapFrom(dlg.get(), clientPos);
        if (doubleClick)
            QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, local);
        else
            QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, local);
    }
    void Click(const QString& selector) { ClickAt(ElementRect(selector).center()); }
    void PressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QWidget* to = nullptr)
    {
        QTest::keyClick(to ? to : dlg->Html()->focusProxy(), Qt::Key(key), modifiers);
    }

    // Message boxes from now on: answered with this button, "caption|text" kept.
    void AnswerMessagesWith(QMessageBox::StandardButton button) { messageAnswer = button; }
    QStringList TakeMessages() { return std::exchange(messages, {}); }
    // Other modal dialogs from now on: handed to this once each, titles kept.
    void HandleDialogsWith(std::function<void(QDialog*)> handler) { dialogHandler = std::move(handler); }
    QStringList TakeDialogs() { return std::exchange(dialogs, {}); }

    QImage Screenshot()
    {
        QScreen* screen = dlg->screen();
        return screen ? screen->grabWindow(dlg->winId()).toImage() : QImage();
    }

    void PollModals()
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog->property("answered").toBool())
            return;
        dialog->setProperty("answered", true);
        if (auto* box = qobject_cast<QMessageBox*>(dialog))
            messages << box->windowTitle() + QLatin1Char('|') + box->text();
        else
            dialogs << dialog->windowTitle();
        // Answered once the dialog's own event loop runs (dropped if it is gone).
        QMetaObject::invokeMethod(
            dialog,
            [dialog, handler = dialogHandler, answer = messageAnswer] {
                auto* box = qobject_cast<QMessageBox*>(dialog);
                if (box && box->button(answer))
                    box->button(answer)->click();
                else if (!box && handler)
                    handler(dialog);
                else
                    dialog->reject();
            },
            Qt::QueuedConnection);
    }

    bool Go(const QString& selector, const QString& page)
    {
        Click(selector);
        return WaitForPage(page);
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
        EXPECT_EQ(CurrentPage().toLower(), "welcome.htm");
        EXPECT_FALSE(dlg->List()->isVisible());
        EXPECT_EQ(dlg->HtmlRegion(), afterBack ? QRegion(0, 0, 800, 600) : QRegion());
        EXPECT_EQ(dlg->Sheet(), nullptr);
    }
    void ExpectChooser(const QString& page, qintptr tag, bool sheet)
    {
        EXPECT_EQ(CurrentPage(), page);
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
        TakeMessages();
        Click(selector);
        QStringList seen;
        WaitFor([&] { return !(seen += TakeMessages()).isEmpty(); });
        QTest::qWait(200); // nor any page meanwhile
        seen += TakeMessages();
        EXPECT_EQ(seen.size(), 1);
        return seen.value(0);
    }

    int Photos() const { return dlg->Sheet()->GetPhotoCount(); }
    QImage Photo(int i) const { return dlg->Sheet()->GetPhoto(i)->GetBitmap()->convertToFormat(QImage::Format_RGB888); }
    bool Capture(int expected)
    {
        Click("a[href^='pk:Capture'] img");
        return WaitFor([&] { return Photos() == expected; }, 10000);
    }
    // Capture as a command: whether the shutter ran (its overlay shows over the window) or it only beeped.
    bool ShutterRuns()
    {
        struct OverlayWatch : QObject {
            bool shown = false;
            bool eventFilter(QObject*, QEvent* event) override
            {
                shown = shown || event->type() == QEvent::ChildPolished;
                return false;
            }
        } watch;
        dlg->installEventFilter(&watch);
        dlg->ExecuteCommand("Capture/");
        dlg->removeEventFilter(&watch);
        return watch.shown;
    }
    QStringList Items(bool sorted = false) const { return ItemTexts(*dlg, sorted); }
    // The live picture as it is on screen, below the frame's top band.
    QImage VideoOnScreen() { return Screenshot().copy(69, 131, 412, 297); }
    bool VideoMoves(int boundMs = 3000)
    {
        const QImage before = VideoOnScreen();
        return WaitFor([&] { return VideoOnScreen() != before; }, boundMs);
    }

    // Destroyed as the program destroys them: the graph (its streaming stopped) first, then the window, then the
    // callback that fed it.
    CFrameGrabCallback grabber;
    std::unique_ptr<CBoothDlg> dlg;
    std::unique_ptr<CCaptureGraph> graph;
    QTimer modalPoll;
    QMessageBox::StandardButton messageAnswer = QMessageBox::Ok;
    QStringList messages;
    QStringList dialogs;
    std::function<void(QDialog*)> dialogHandler;
};

} // namespace booth
