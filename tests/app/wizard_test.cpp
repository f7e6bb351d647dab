// The booth end to end, driven as a user drives it; the window checked after every page change.
#include "booth.h"
#include "shutter.h"

using namespace booth;

namespace {

TEST_F(Booth, OneWalkThroughEveryPageAndBack)
{
    EXPECT_EQ(dlg->size(), QSize(800, 600));
    EXPECT_TRUE(dlg->windowFlags() & Qt::FramelessWindowHint);
    ExpectWelcome(false);
    EXPECT_EQ(dlg->Html()->url().toString(), "res://" + ExecutablePath() + "/welcome.htm");

    PressKey(Qt::Key_Return);
    ASSERT_TRUE(WaitForPage("Layout.htm"));
    ExpectChooser("Layout.htm", kTagLayout, false);
    EXPECT_EQ(Items(), QStringList({"4 Photos.dat"}));
    // Replaced before it ever streamed, the camera leaves without an error: only the device monitor tells.
    FailTestCameras(true);
    PlugTestCamera("snow", "Second Camera");
    EXPECT_TRUE(WaitFor([&] { return graph->DeviceName() == "Second Camera"; }, 3000));
    // Neither Backspace nor Alt+Left goes back in the history; neither Enter, Escape
    // nor a close request closes the window.
    PressKey(Qt::Key_Backspace);
    PressKey(Qt::Key_Left, Qt::AltModifier);
    PressKey(Qt::Key_Escape, Qt::NoModifier, dlg.get());
    PressKey(Qt::Key_Return, Qt::NoModifier, dlg.get());
    PressKey(Qt::Key_Escape, Qt::NoModifier, dlg->List());
    dlg->close();
    QTest::qWait(500);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(ClickForMessage(kNext), Message(IDS_NO_LAYOUT));
    ExpectChooser("Layout.htm", kTagLayout, false);
    Select(0);
    PressKey(Qt::Key_Delete, Qt::NoModifier, dlg->List());
    EXPECT_EQ(dlg->List()->count(), 1);
    // A double-click on an item acts as Next.
    ClickAt(dlg->List()->viewport()->mapTo(dlg.get(), dlg->List()->visualItemRect(dlg->List()->item(0)).center()), true);
    ASSERT_TRUE(WaitForPage("Series.htm"));

    ExpectChooser("Series.htm", kTagSeries, true);
    EXPECT_EQ(dlg->Sheet()->GetCapacity(), 4);
    EXPECT_EQ(Items(true), QStringList({"Frames.old", "HEARTS", "Stars", "Test Frames"}));
    dlg->List()->clearSelection();
    EXPECT_EQ(ClickForMessage(kNext), Message(IDS_NO_SERIES));
    ExpectChooser("Series.htm", kTagSeries, true);
    ASSERT_TRUE(ForwardToCapture());

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
    const QImage shot = Screenshot();
    EXPECT_EQ(QColor(shot.pixel(200, 125)), kFrameColours[0]);
    EXPECT_NE(QColor(shot.pixel(200, 200)), kFrameColours[0]);
    // Where the screen cannot be read, the shutter inverts what the booth draws there: the screen's pixels.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    EXPECT_EQ(ShutterBackdrop(dlg.get(), QImage()), Screenshot());

    // The arrows step without wrapping; an empty outline keeps the window's shape.
    // The arrow is an area of the video picture's image map, which has no box of its own.
    ClickAt(ElementRect("img[usemap='#frames']").topLeft() + QPoint(456, 307));
    ASSERT_TRUE(WaitFor([&] { return frame.GetFrame() == 1002; }));
    const QRegion band(0, 0, 40, 240), top(0, 0, 320, 10);
    const std::tuple<const char*, int, QRegion> steps[] = {
        {"Previous", 1001, top}, {"Previous", 1001, top}, {"Next", 1002, band}, {"Next", 1003, band},
        {"Next", 1003, band}, {"Previous", 1002, band}, {"Previous", 1001, top}};
    for (const auto& [command, id, mask] : steps) {
        dlg->ExecuteCommand(QStringLiteral("%1PhotoFrame/").arg(command));
        EXPECT_EQ(frame.GetFrame(), id);
        EXPECT_EQ(frame.mask(), mask) << id;
    }

    ASSERT_TRUE(Capture(1));
    EXPECT_EQ(Photo(0).size(), QSize(320, 240));
    for (int y : {0, 9, 10})
        EXPECT_EQ(QColor(Photo(0).pixel(100, y)) == kFrameColours[0], y < 10) << y;
    EXPECT_EQ(Items(), QStringList({"1/4"}));
    // A frame of another size is dropped; camera bytes outside the band stay as they are.
    CFrameReadyEvent shortFrame(QByteArray(1000, '\0'));
    QCoreApplication::sendEvent(dlg.get(), &shortFrame);
    EXPECT_EQ(Photos(), 1);
    QCoreApplication::postEvent(dlg.get(), new CFrameReadyEvent(QByteArray(230400, '\x40')));
    ASSERT_TRUE(WaitFor([&] { return Photos() == 2; }));
    EXPECT_EQ(QColor(Photo(1).pixel(100, 100)), QColor(0x40, 0x40, 0x40));
    // Two quick captures fill the last two places, with frame 1002's band on the left; a third right after them
    // finds the sheet full once the second's photo is in, and plays nothing.
    dlg->ExecuteCommand("NextPhotoFrame/");
    dlg->ExecuteCommand("Capture/");
    dlg->ExecuteCommand("Capture/");
    EXPECT_FALSE(ShutterRuns());
    ASSERT_TRUE(WaitFor([&] { return Photos() == 4; }));
    EXPECT_EQ(QColor(Photo(2).pixel(20, 200)), kFrameColours[1]);
    EXPECT_NE(QColor(Photo(2).pixel(100, 200)), kFrameColours[1]);
    EXPECT_EQ(Items(), QStringList({"1/4", "2/4", "3/4", "4/4"}));
    EXPECT_EQ(dlg->List()->GetItemPosition(3), QPoint(5 + 79 * 3, 10));
    EXPECT_TRUE(dlg->List()->HasBkImage());
    EXPECT_TRUE(TakeMessages().isEmpty());

    // Delete needs a selection; link and key remove the selected photo and renumber.
    dlg->List()->clearSelection();
    Click("a[href^='pk:Delete'] img");
    QTest::qWait(300);
    EXPECT_EQ(Photos(), 4);
    const QImage third = Photo(2);
    Select(1);
    Click("a[href^='pk:Delete'] img");
    ASSERT_TRUE(WaitFor([&] { return Photos() == 3; }));
    EXPECT_EQ(Items(), QStringList({"1/4", "2/4", "3/4"}));
    EXPECT_EQ(Photo(1), third);
    Select(0);
    PressKey(Qt::Key_Delete, Qt::NoModifier, dlg->List());
    EXPECT_EQ(Photos(), 2);
    EXPECT_EQ(Items(), QStringList({"1/4", "2/4"}));
    EXPECT_EQ(Photo(0), third);
    // A link the page sends while the shutter runs waits for its end and for the photo: this click, past the
    // shutter's overlay, is given a second to arrive within the shutter, and deletes from the sheet with the photo.
    Select(0);
    QWidget* view = dlg->Html()->focusProxy();
    const QPoint deleteLink = view->mapFrom(dlg.get(), ElementRect("a[href^='pk:Delete'] img").center());
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, deleteLink);
        WaitFor([&] { return Photos() < 2; }, 1000);
    });
    int leftByDelete = -1;
    const auto deleted = QObject::connect(dlg->List()->model(), &QAbstractItemModel::modelReset,
                                          [&] { leftByDelete = leftByDelete < 0 ? Photos() : leftByDelete; });
    dlg->ExecuteCommand("Capture/");
    EXPECT_EQ(Photos(), 2);
    EXPECT_TRUE(WaitFor([&] { return Photos() == 2 && Photo(0) != third; }));
    QObject::disconnect(deleted);
    EXPECT_EQ(leftByDelete, 2) << "the held Delete ran on the sheet with the new photo";

    // A cancelled folder dialog writes nothing.
    QTemporaryDir folder;
    HandleDialogsWith([&](QDialog* d) {
        auto* files = qobject_cast<QFileDialog*>(d);
        ASSERT_NE(files, nullptr);
        ASSERT_EQ(files->fileMode(), QFileDialog::Directory);
        files->setDirectory(folder.path());
        if (files->selectedFiles() != QStringList{folder.path()})
            return files->reject();
        QMetaObject::invokeMethod(files, "accept");
    });
    Click("a[href^='pk:Export'] img");
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(folder.filePath("Pelmora 2.bmp")); }));
    QTest::qWait(200);
    for (int i : {0, 1})
        EXPECT_EQ(QImage(folder.filePath(QStringLiteral("Pelmora %1.bmp").arg(i + 1))).convertToFormat(QImage::Format_RGB888), Photo(i));
    HandleDialogsWith([](QDialog* d) { d->reject(); });
    Click("a[href^='pk:Export'] img");
    QTest::qWait(500);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(TakeDialogs(), QStringList(2, "Please select the directory where the photos will be saved to:"));
    EXPECT_TRUE(TakeMessages().isEmpty());

    // Print with no printing service (the tests' CUPS_SERVER answers nothing): a message in the booth's style;
    // Print again while it shows does nothing; the photos stay.
    const QString noService = ApplicationTitle() + "|The printing service of this computer (CUPS) does not answer, so "
                              "no printer can be used.\n\nYour photos are kept: press Print again when the printer is ready.";
    EXPECT_EQ(ClickForMessage("a[href^='pk:Print'] img"), noService);
    QTimer::singleShot(0, [&] { dlg->ExecuteCommand("Print/"); });
    dlg->ExecuteCommand("Print/");
    EXPECT_EQ(TakeMessages(), QStringList(noService));
    EXPECT_EQ(Items(), QStringList({"1/4", "2/4"}));
    QStringList titles;
    HandleDialogsWith([](QDialog* d) { d->findChild<QPushButton*>()->click(); });
    Click("a[href^='pk:About'] img");
    ASSERT_TRUE(WaitFor([&] { return !(titles += TakeDialogs()).isEmpty() && !QApplication::activeModalWidget(); }));
    EXPECT_EQ(titles, QStringList{"About Pelmora 2004"});
    EXPECT_EQ(CurrentPage(), "Capture.htm");

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
    const std::pair<const char*, bool> packages[] = {{"HEARTS", true}, {"Stars", true}, {"Frames.old", false}};
    for (const auto& [series, loads] : packages) {
        ASSERT_TRUE(Go(kBack, "Series.htm"));
        ASSERT_TRUE(ForwardToCapture(series));
        EXPECT_EQ(frame.HasWindow(), loads) << series;
    }

    // Back to the layouts with a photo asks: Cancel keeps page, sheet and photo, OK drops them.
    Select(0);
    PressKey(Qt::Key_Delete, Qt::NoModifier, dlg->List());
    ASSERT_EQ(Photos(), 1);
    ASSERT_TRUE(Go(kBack, "Series.htm"));
    CStickerSheet* sheet = dlg->Sheet();
    AnswerMessagesWith(QMessageBox::Cancel);
    EXPECT_EQ(ClickForMessage(kBack), Message(IDS_CONFIRM_BACK_TO_LAYOUT));
    ExpectChooser("Series.htm", kTagSeries, true);
    EXPECT_EQ(dlg->Sheet(), sheet);
    EXPECT_EQ(Photos(), 1);
    AnswerMessagesWith(QMessageBox::Ok);
    ASSERT_TRUE(Go(kBack, "Layout.htm"));
    EXPECT_EQ(TakeMessages().size(), 1);
    ExpectChooser("Layout.htm", kTagLayout, false);
    // Without photos nothing is asked.
    Select(0);
    ASSERT_TRUE(Go(kNext, "Series.htm"));
    ASSERT_TRUE(Go(kBack, "Layout.htm"));
    EXPECT_TRUE(TakeMessages().isEmpty());
    ASSERT_TRUE(Go(kBack, "Welcome.htm"));
    ExpectWelcome(true);
    // Without a help file, Help does nothing.
    Click("a[href^='pk:Help']");
    QTest::qWait(300);
    EXPECT_EQ(CurrentPage().toLower(), "welcome.htm");
    EXPECT_TRUE(TakeMessages().isEmpty());
}

} // namespace
