#include "boothdlg.h"

#include "bmp.h"
#include "boothapp.h"
#include "capturegraph.h"
#include "compose.h"
#include "framegrab.h"
#include "htmlctrl.h"
#include "messagebox.h"
#include "paths.h"
#include "resscheme.h"
#include "stickersheet.h"
#include "strip.h"
#include "stringtable.h"
#include "thumbnail.h"
#include "videowindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QScreen>

namespace pelmora {

namespace {

constexpr int kImageSlots = 100;
constexpr int kItemDrop = 15; // chooser items sit 15 pixels lower than the view puts them
constexpr int kFirstFrame = 1001;

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

CBoothDlg::~CBoothDlg()
{
    // A camera still streaming posts nothing here from now on.
    if (m_pGrabber)
        m_pGrabber->m_hWndNotify.Clear(this);
}

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

    m_imageList.Create(kStripSlotSize, kImageSlots);
    m_list->SetImageList(&m_imageList);

    m_html = new CWizardHtmlCtrl(this, this);
    m_html->setObjectName(QStringLiteral("HtmlCtrl"));
    m_html->setGeometry(geometry::kClient);
    m_html->show();
    m_html->Navigate2(ResAddress(QStringLiteral("welcome.htm")));
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
    const QByteArray file =
        ComposePackageFramePhoto(frame, m_frameWnd.GetPackage(), m_frameWnd.GetFrame(), this);
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
    const QString path = m_list->GetItemFile(selected);
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
    // The program's own series by the name the loader resolves beside the
    // program, the user's in the user's folder.
    const QString folder = QFileInfo(m_list->GetItemFile(selected)).path();
    const QString package =
        (folder == ResourceFolder() ? QStringLiteral("Resource") : folder) + QLatin1Char('/') + series;
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
    m_frameWnd.CreateFrameWindow(package, origin.x(), origin.y(), this, kFirstFrame);
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
    for (const QString& path : ResourceFiles(QStringLiteral("*.dat"))) {
        const int slot = i++;
        CStickerSheet sheet(path); // a read error ends the filling here
        const QImage picture = DrawLayoutThumbnail(sheet.Rects());
        AddChooserItem(slot, picture, path, QFileInfo(path).fileName(), kTagLayout);
    }
}

void CBoothDlg::AddChooserItem(int slot, const QImage& picture, const QString& file, const QString& text,
                               ListTag tag)
{
    // From the 101st file on the image list refuses the slot: the item still
    // comes, naming a slot that shows no picture.
    m_imageList.Replace(slot, picture);
    const int index = m_list->InsertItem(slot, text, slot);
    m_list->SetItemData(index, tag);
    m_list->SetItemFile(index, file);
    m_list->SetItemPosition(index, m_list->GetItemPosition(index) + QPoint(0, kItemDrop));
}

void CBoothDlg::FillSeriesList()
{
    m_list->DeleteAllItems();
    m_list->ClearBkImage();
    int i = 0;
    for (const QString& path : ResourceFiles(QStringLiteral("*.dll"))) {
        const int slot = i++;
        const QString name = QFileInfo(path).fileName();
        const QImage picture(QStringLiteral(":/bitmaps/139.bmp"));
        if (picture.isNull())
            continue;
        AddChooserItem(slot, picture, path, name.left(name.size() - 4), kTagSeries);
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
    const QImage thumbnail = photo ? StripThumbnail(*photo) : QImage();
    if (thumbnail.isNull())
        return;
    m_imageList.Replace(i, thumbnail);
    const int index = m_list->InsertItem(i, StripLabel(i, m_pSheet->GetCapacity()), i);
    m_list->SetItemData(index, kTagPhoto);
    m_list->SetItemPosition(index, StripItemPosition(i));
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

} // namespace pelmora
