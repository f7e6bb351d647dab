// The command dispatcher: what each "pk://" command does once the link
// protocol has let it through, and the Export command's folder dialog.
#include "boothdlg.h"

#include "aboutdlg.h"
#include "capturegraph.h"
#include "framegrab.h"
#include "htmlctrl.h"
#include "livewait.h"
#include "messagebox.h"
#include "paths.h"
#include "propertysheet.h"
#include "resscheme.h"
#include "shell.h"
#include "shutter.h"
#include "stickersheet.h"

#include <QApplication>
#include <QFileDialog>
#include <QStandardPaths>

namespace pelmora {

namespace {

// A requested photo comes within a few frame intervals; a camera that stops
// meanwhile has its request dropped within about a second.
constexpr int kPhotoWaitMs = 2000;

} // namespace

int CBoothDlg::ExecuteCommand(const QString& command)
{
    switch (MatchCommand(command)) {
    case Command::Help:
        ShellOpen(ExecutableFolder() + QStringLiteral("/Pelmora.chm"));
        break;
    case Command::Cancel:
        // Ends the modal loop: the program shuts down.
        QDialog::done(0);
        break;
    case Command::Next:
    case Command::Back: {
        const QString page = TextAfterSlash(command);
        if (!page.isEmpty())
            m_html->Navigate2(ResAddress(page));
        break;
    }
    case Command::Configure:
        if (m_pGraph)
            ShowCaptureDeviceProperties(m_pGraph, this);
        break;
    case Command::Delete:
        DeleteSelectedPhoto();
        break;
    case Command::About: {
        CAboutDialog about(this);
        about.exec();
        break;
    }
    case Command::Capture:
        CaptureCommand();
        break;
    case Command::NextPhotoFrame:
        m_frameWnd.SetFrame(m_frameWnd.GetFrame() + 1, true);
        break;
    case Command::PreviousPhotoFrame:
        m_frameWnd.SetFrame(m_frameWnd.GetFrame() - 1, true);
        break;
    case Command::Print:
        if (m_pSheet)
            m_pSheet->PrintSheet(this, [](const QString& text) { ShowMessage(text); });
        break;
    case Command::Export:
        ExportCommand();
        break;
    case Command::None:
        break;
    }
    return 0;
}

void CBoothDlg::CaptureCommand()
{
    // The photo a Capture before this one asked for counts first.
    if (m_pGrabber)
        WaitPaintingUntil([this] { return !m_pGrabber->IsFramePending(); }, kPhotoWaitMs);
    // A full sheet takes no photo: no sound, no animation, no frame.
    if (!m_pSheet || m_pSheet->GetPhotoCount() >= m_pSheet->GetCapacity())
        return;
    // Nor does a camera that sends nothing, now or when it comes back.
    if (!m_pGraph || !m_pGrabber || !m_pGraph->IsDelivering()) {
        QApplication::beep();
        return;
    }
    m_html->HoldLinks(true);
    RunShutter(this, m_pSheet->GetPhotoCount());
    // The camera may have gone during the shutter.
    if (!m_pGraph->IsDelivering()) {
        m_html->HoldLinks(false);
        QApplication::beep();
        return;
    }
    m_pGrabber->RequestFrame();
    // Print, Export, Delete or Capture pressed meanwhile act on the sheet with
    // this photo: their links wait until it is in (or the camera has failed).
    WhenDone(
        this, [grabber = m_pGrabber] { return !grabber->IsFramePending(); }, kPhotoWaitMs,
        [html = m_html] { html->HoldLinks(false); });
}

void CBoothDlg::ExportCommand()
{
    if (!m_pSheet)
        return;
    QFileDialog dialog(this, QStringLiteral("Please select the directory where the photos will be saved to:"));
    dialog.setObjectName(QStringLiteral("ExportFolderDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // One dialog on every desktop: the selected folder's path stays shown in
    // its name box.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        dialog.setDirectory(pictures);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString folder = dialog.selectedFiles().constFirst();

    ExportReport report;
    m_pSheet->ExportPhotos(this, folder, &report);
    if (report.stopped()) {
        // Nothing was overwritten; say where the export stopped and what is safe.
        ShowMessage(report.StoppedMessage(m_pSheet->GetPhotoCount()));
    }
}

} // namespace pelmora
