#include "boothdlg.h"

#include "aboutdlg.h"
#include "bmp.h"
#include "boothapp.h"
#include "capturegraph.h"
#include "compose.h"
#include "framegrab.h"
#include "htmlctrl.h"
#include "messagebox.h"
#include "paths.h"
#include "propertysheet.h"
#include "rgndata.h"
#include "shell.h"
#include "shutter.h"
#include "stickersheet.h"
#include "stringtable.h"
#include "videowindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDirIterator>
#include <QFileDialog>
#include <QPainter>
#include <QScreen>
#include <QStandardPaths>
#include <cmath>

namespace pelmora {

namespace {

constexpr int kImageSlots = 100;
constexpr QSize kSlotSize{71, 53};
constexpr int kItemDrop = 15; // chooser items sit 15 pixels lower than the view puts them
constexpr int kFirstFrame = 1001;

// The entries of the Resource folder that match a pattern, folders included,
// in the order the file system gives them.
QStringList ResourceEntries(const QString& pattern)
{
    QStringList names;
    QDirIterator it(ResourceFolder(), {pattern},
                    QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        names << it.fileName();
    }
    return names;
}

// A layout coordinate on the chooser's picture: 2/9 of it, truncated toward zero.
int ScaleToThumbnail(std::int32_t v) { return int(std::trunc(double(v) * 0.2222222222222222)); }

} // namespace

CBoothDlg::CBoothDlg(QWidget* parent) : QDialog(parent)
{
    m_hIcon = QIcon(QStringLiteral(":/icons/128.png"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString());
    setFixedSize(geometry::kClient.size());

    // The list view of the dialog template (its dialog units in pixels):
    // hidden until the layout page places it.
    m_list = new CListCtrl(this);
    m_list->setObjectName(QStringLiteral("Thumbnail"));
    m_list->setGeometry(207, 109, 537, 436);
    m_list->hide();
    connect(m_list, &CListCtrl::doubleClicked, this, &CBoothDlg::OnListDoubleClick);
    connect(m_list, &CListCtrl::keyDown, this, &CBoothDlg::OnListKeyDown);
}

CBoothDlg::~CBoothDlg() = default;

void CBoothDlg::Create()
{
    Prepare();
    show();
}

void CBoothDlg::Prepare()
{
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
        // Centred on the screen when first shown. The dialog's own placement
        // guesses a window-manager frame that a borderless window never gets.
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
}

int CBoothDlg::DoModal()
{
    Create();
    const int result = exec();
    DestroyWindow();
    return result;
}

bool CBoothDlg::OnInitDialog()
{
    resize(geometry::kClient.size());
    setWindowIcon(m_hIcon);

    if (!m_captureSet) {
        if (CBoothApp* app = CBoothApp::Instance())
            SetCapture(app->m_pGraph.get(), &app->m_grabCallback);
    }
    // Grabbed frames come to this window from now on.
    if (m_pGrabber)
        m_pGrabber->m_hWndNotify = this;

    m_imageList.Create(kSlotSize, kImageSlots);
    m_list->SetImageList(&m_imageList);

    m_html = new CWizardHtmlCtrl(this, this);
    m_html->setObjectName(QStringLiteral("HtmlCtrl"));
    m_html->setGeometry(geometry::kClient);
    m_html->show();
    m_html->Navigate2(QStringLiteral("res://%1/%2").arg(ExecutablePath(), "welcome.htm"));
    return true;
}

void CBoothDlg::SetCapture(CCaptureGraph* graph, CFrameGrabCallback* grabber)
{
    m_captureSet = true;
    m_pGraph = graph;
    m_pGrabber = grabber;
}

void CBoothDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

bool CBoothDlg::event(QEvent* event)
{
    if (event->type() == CFrameReadyEvent::Type) {
        OnFrameReady(static_cast<CFrameReadyEvent*>(event)->Frame());
        return true;
    }
    return QDialog::event(event);
}

int CBoothDlg::OnFrameReady(const QByteArray& frame)
{
    // A frame of any other size than the camera format's would be read past
    // its end by the composition: it is dropped like a frame for a full sheet,
    // and so is one that comes when the capture page is no longer shown.
    if (!m_pSheet || m_pSheet->GetPhotoCount() >= m_pSheet->GetCapacity() ||
        frame.size() != kPhotoPixelBytes || !m_pVideoWindow || !m_pVideoWindow->isVisibleTo(this))
        return 0;
    return ComposeFramedPhoto(frame);
}

int CBoothDlg::ComposeFramedPhoto(const QByteArray& frame)
{
    // The frame picture and outline are read afresh for every photo.
    const HMODULE package = m_frameWnd.GetPackage();
    const int n = m_frameWnd.GetFrame();
    std::optional<CPicture> picture;
    std::optional<QRegion> region;
    if (package) {
        CPicture framePicture(package, unsigned(n + 1000), "IMAGE");
        if (framePicture.GetBitmap())
            picture = framePicture;
        if (const auto bytes = package->FindResource("REGION", std::uint16_t(n)))
            region = ReadRegionData(*bytes);
    }
    const QByteArray file = ComposeFramedPhotoFile(frame, picture ? &*picture : nullptr,
                                                   region ? &*region : nullptr, this);
    CPicture photo;
    if (file.isEmpty() || !photo.LoadFromMemory(file.size(), file.constData()))
        return 0;
    const int index = m_pSheet->AddPhoto(photo);
    AddStripItem(index);
    return index;
}

void CBoothDlg::DestroyWindow()
{
    m_pSheet.reset();
    m_frameWnd.DestroyWindow();
    if (m_pVideoWindow) {
        // The graph owns the video window; it must not go down with this one.
        m_pVideoWindow->put_Visible(false);
        m_pVideoWindow->put_Owner(nullptr);
        m_pVideoWindow = nullptr;
    }
}

void CBoothDlg::SetHtmlRegion(const QRegion& region)
{
    m_htmlRegion = region;
    if (m_html)
        m_html->setMask(region);
}

void CBoothDlg::PlaceChooserList()
{
    m_list->setGeometry(geometry::kChooserList);
    m_list->show();
    m_list->raise();
    SetHtmlRegion(QRegion(geometry::kClient).xored(QRegion(geometry::kChooserList)));
}

QString CBoothDlg::ResourcePath(const QString& name) const
{
    return ResourceFolder() + QLatin1Char('/') + name;
}

// ---- page handlers ----

bool CBoothDlg::OnNextToWelcome() { return true; }

bool CBoothDlg::OnBackToWelcome()
{
    m_list->hide();
    SetHtmlRegion(QRegion(geometry::kClient));
    return true;
}

bool CBoothDlg::OnNextToLayout()
{
    PlaceChooserList();
    try {
        FillLayoutList();
    } catch (const CArchiveException&) {
        // One broken layout file must not lock the user out: the page opens
        // with the layouts listed before it.
    }
    return true;
}

bool CBoothDlg::OnBackToLayout()
{
    if (m_pSheet && m_pSheet->GetPhotoCount() > 0 &&
        AfxMessageBox(IDS_CONFIRM_BACK_TO_LAYOUT, QMessageBox::Ok | QMessageBox::Cancel) !=
            QMessageBox::Ok)
        return false;
    m_pSheet.reset();
    try {
        FillLayoutList();
    } catch (const CArchiveException&) {
        // As on the way in: the page opens with the layouts before the broken file.
    }
    return true;
}

bool CBoothDlg::OnNextToSeries()
{
    const int selected = m_list->GetNextSelectedItem();
    if (selected < 0) {
        AfxMessageBox(IDS_NO_LAYOUT);
        return false;
    }
    const QString path = ResourcePath(m_list->GetItemText(selected));
    m_pSheet.reset();
    try {
        m_pSheet = std::make_unique<CStickerSheet>(path);
    } catch (const CArchiveException&) {
        // A layout file that cannot be read keeps the layout page as it is,
        // without a sheet.
        return false;
    }
    FillSeriesList();
    return true;
}

bool CBoothDlg::OnBackToSeries()
{
    // The graph keeps running; only its window is hidden. A photo asked for
    // on the capture page is not taken on the way out.
    if (m_pGraph && m_pVideoWindow)
        m_pVideoWindow->put_Visible(false);
    if (m_pGrabber)
        m_pGrabber->CancelRequest();
    m_frameWnd.DestroyWindow();
    PlaceChooserList();
    FillSeriesList();
    return true;
}

bool CBoothDlg::OnNextToCapture()
{
    const int selected = m_list->GetNextSelectedItem();
    if (selected < 0) {
        AfxMessageBox(IDS_NO_SERIES);
        return false;
    }
    const QString series = m_list->GetItemText(selected);
    m_list->setGeometry(geometry::kStripList);
    m_list->raise();
    SetHtmlRegion(QRegion(geometry::kClient)
                      .xored(QRegion(geometry::kVideoArea))
                      .xored(QRegion(geometry::kStripList)));
    RefreshPhotoStrip(m_pSheet.get());

    // The first visit attaches the renderer's window and starts the graph,
    // which then runs until the program ends.
    if (!m_pVideoWindow && m_pGraph) {
        m_pVideoWindow = m_pGraph->VideoWindow();
        if (m_pVideoWindow) {
            m_pVideoWindow->put_Owner(this);
            m_pVideoWindow->put_WindowStyle(CVideoWindow::WS_CHILD | CVideoWindow::WS_CLIPSIBLINGS);
            m_pVideoWindow->SetWindowPosition(69, 120, 412, 308);
            m_pVideoWindow->put_Caption(QStringLiteral("Pelmora Video"));
            m_pGraph->Run();
        }
    }
    // Every visit starts at frame 1001 of the chosen series.
    const QPoint origin = mapToGlobal(geometry::kVideoArea.topLeft());
    m_frameWnd.CreateFrameWindow(QStringLiteral("Resource/") + series, origin.x(), origin.y(), this,
                                 kFirstFrame);
    if (m_pVideoWindow) {
        m_pVideoWindow->put_Visible(true);
        m_pVideoWindow->raise();
    }
    if (m_frameWnd.HasWindow())
        m_frameWnd.raise();
    return true;
}

bool CBoothDlg::OnBackToCapture() { return false; }

// ---- choosers ----

void CBoothDlg::FillLayoutList()
{
    m_list->DeleteAllItems();
    int i = 0;
    for (const QString& name : ResourceEntries(QStringLiteral("*.dat"))) {
        const int slot = i++;
        // The chooser's picture: the 320 by 240 sheet at 2/9 scale in the
        // top-left 71 by 53 pixels of an 80 by 60 bitmap, each place drawn
        // as a rectangle with a one-pixel black outline and a white inside,
        // right and bottom edges excluded, later places over earlier ones.
        QImage picture(80, 60, QImage::Format_RGB32);
        picture.fill(QColor(0xE1, 0xE5, 0xF1));
        {
            QPainter painter(&picture);
            painter.setPen(QPen(Qt::black, 0));
            painter.setBrush(Qt::white);
            CStickerSheet sheet(ResourcePath(name)); // a read error ends the filling here
            for (const CRectangle& place : sheet.Rects()) {
                const QRect r = QRect(QPoint(ScaleToThumbnail(place.m_rect.left),
                                             ScaleToThumbnail(place.m_rect.top)),
                                      QPoint(ScaleToThumbnail(place.m_rect.right) - 1,
                                             ScaleToThumbnail(place.m_rect.bottom) - 1));
                if (r.width() > 0 && r.height() > 0)
                    painter.drawRect(r.adjusted(0, 0, -1, -1));
            }
        }
        AddChooserItem(slot, picture, name, kTagLayout);
    }
}

void CBoothDlg::AddChooserItem(int slot, const QImage& picture, const QString& text, ListTag tag)
{
    // From the 101st file on the image list refuses the slot: the item still
    // comes, naming a slot that shows no picture.
    m_imageList.Replace(slot, picture);
    const int index = m_list->InsertItem(slot, text, slot);
    m_list->SetItemData(index, tag);
    m_list->SetItemPosition(index, m_list->GetItemPosition(index) + QPoint(0, kItemDrop));
}

void CBoothDlg::FillSeriesList()
{
    m_list->DeleteAllItems();
    m_list->ClearBkImage();
    int i = 0;
    for (const QString& name : ResourceEntries(QStringLiteral("*.dll"))) {
        const int slot = i++;
        const QImage picture(QStringLiteral(":/bitmaps/139.bmp"));
        if (picture.isNull())
            continue;
        AddChooserItem(slot, picture, name.left(name.size() - 4), kTagSeries);
    }
}

// ---- photo strip ----

void CBoothDlg::RefreshPhotoStrip(CStickerSheet* sheet)
{
    m_list->DeleteAllItems();
    m_list->SetBkImageTiled(QPixmap(QStringLiteral(":/bitmaps/169.bmp")));
    if (!sheet)
        return;
    m_list->SetRedraw(false);
    for (int i = 0; i < sheet->GetPhotoCount(); ++i)
        AddStripItem(i);
    m_list->SetRedraw(true);
}

void CBoothDlg::AddStripItem(int i)
{
    const CPicture* photo = m_pSheet ? m_pSheet->GetPhoto(i) : nullptr;
    const QImage* bitmap = photo ? photo->GetBitmap() : nullptr;
    if (!bitmap || bitmap->isNull())
        return;
    const QImage thumbnail =
        bitmap->scaled(kSlotSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (thumbnail.isNull())
        return;
    m_imageList.Replace(i, thumbnail);
    const QString label = QStringLiteral("%1/%2").arg(i + 1).arg(m_pSheet->GetCapacity());
    const int index = m_list->InsertItem(i, label, i);
    m_list->SetItemData(index, kTagPhoto);
    m_list->SetItemPosition(index, QPoint(5 + 79 * i, 10));
}

void CBoothDlg::DeleteSelectedPhoto()
{
    if (m_list->GetItemData(0) != kTagPhoto || !m_pSheet)
        return;
    const int selected = m_list->GetNextSelectedItem();
    if (selected < 0)
        return;
    m_pSheet->RemovePhoto(selected + 1);
    m_list->DeleteAllItems();
    RefreshPhotoStrip(m_pSheet.get());
}

// ---- export ----

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
        ShowMessage(QStringLiteral("The photos could not all be saved to the folder \"%1\".\n\n%2\n\n"
                                   "%3 of %4 photos were saved.")
                        .arg(QDir::toNativeSeparators(folder), report.reason)
                        .arg(report.written.size())
                        .arg(m_pSheet->GetPhotoCount()));
    }
}

// ---- list notifications ----

void CBoothDlg::OnListDoubleClick()
{
    switch (m_list->GetItemData(0)) {
    case kTagLayout:
        m_html->Navigate2(QStringLiteral("pk://Next/Series.htm"));
        break;
    case kTagSeries:
        m_html->Navigate2(QStringLiteral("pk://Next/Capture.htm"));
        break;
    default:
        break;
    }
}

void CBoothDlg::OnListKeyDown(int key)
{
    if (key == Qt::Key_Delete && m_list->GetItemData(0) == kTagPhoto)
        DeleteSelectedPhoto();
}

// ---- command dispatcher ----

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
            m_html->Navigate2(QStringLiteral("res://%1/%2").arg(ExecutablePath(), page));
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
        // A full sheet takes no photo: no sound, no animation, no frame.
        if (!m_pSheet || m_pSheet->GetPhotoCount() >= m_pSheet->GetCapacity())
            break;
        // Nor does a camera that sends nothing, now or when it comes back.
        if (!m_pGraph || !m_pGraph->IsDelivering()) {
            QApplication::beep();
            break;
        }
        m_html->HoldLinks(true);
        RunShutter(this, m_pSheet->GetPhotoCount());
        m_html->HoldLinks(false);
        // The camera may have gone during the shutter.
        if (m_pGrabber && m_pGraph->IsDelivering())
            m_pGrabber->RequestFrame();
        break;
    case Command::NextPhotoFrame:
        m_frameWnd.SetFrame(m_frameWnd.GetFrame() + 1, true);
        break;
    case Command::PreviousPhotoFrame:
        m_frameWnd.SetFrame(m_frameWnd.GetFrame() - 1, true);
        break;
    case Command::Print:
        if (m_pSheet)
            m_pSheet->PrintSheet(this);
        break;
    case Command::Export:
        ExportCommand();
        break;
    case Command::None:
        break;
    }
    return 0;
}

} // namespace pelmora
