#pragma once
// The program's one window: a borderless 800 by 600 wizard whose HTML control
// shows the pages, with the native list view (and on the capture page the
// video) showing through holes cut into the HTML control's region.
#include "listctrl.h"
#include "navigation.h"
#include "photoframewnd.h"

#include <QDialog>
#include <QIcon>
#include <QRegion>
#include <memory>

class CStickerSheet;

namespace pelmora {

class CCaptureGraph;
class CFrameGrabCallback;
class CVideoWindow;
class CWizardHtmlCtrl;

// Fixed geometry of the wizard, in client pixels.
namespace geometry {
inline constexpr QRect kClient{0, 0, 800, 600};
inline constexpr QRect kChooserList{206, 110, 536, 435}; // layouts and frame series
inline constexpr QRect kStripList{24, 453, 634, 94};     // captured photos
inline constexpr QRect kVideoArea{69, 120, 412, 309};    // 69, 120, 481, 429
} // namespace geometry

// Item tags: what the list shows.
enum ListTag : qintptr { kTagLayout = 1, kTagSeries = 2, kTagPhoto = 3 };

class CBoothDlg : public QDialog, public NavigationTarget {
    Q_OBJECT
public:
    explicit CBoothDlg(QWidget* parent = nullptr);
    ~CBoothDlg() override;

    // Creates the window's contents (once) and runs the modal loop, which
    // only the Cancel link ends.
    int DoModal();

    // Creates the window's contents (once) and shows it without a loop of
    // its own, for those who drive the wizard from outside.
    void Create();
    // Creates the window's contents (once) without showing the window: the
    // web engine starts and loads the welcome page meanwhile.
    void Prepare();

    // The capture graph and its frame grabber; by default the application
    // object's, taken when the window is created.
    void SetCapture(CCaptureGraph* graph, CFrameGrabCallback* grabber);

    int ExecuteCommand(const QString& command) override;
    bool OnNextToWelcome() override;
    bool OnBackToWelcome() override;
    bool OnNextToLayout() override;
    bool OnBackToLayout() override;
    bool OnNextToSeries() override;
    bool OnBackToSeries() override;
    bool OnNextToCapture() override;
    bool OnBackToCapture() override;

    // Fill the list view with the layout files and the frame-series packages
    // of the Resource folder, then those of the user's own. FillLayoutList
    // throws the read error of a broken layout file after listing the files
    // before it.
    void FillLayoutList();
    void FillSeriesList();

    // The photo strip of the capture page: one labelled thumbnail per photo
    // of the sheet on a film background.
    void RefreshPhotoStrip(CStickerSheet* sheet);
    void DeleteSelectedPhoto();

    // Lays the current photo frame over a grabbed frame and adds the photo to
    // the sheet and the strip; returns the new photo's index, 0 when no photo
    // could be made.
    int ComposeFramedPhoto(const QByteArray& frame);

    // The Capture command: the shutter, then the frame request; a beep alone
    // when the sheet is full or no camera delivers.
    void CaptureCommand();
    // The Export command: asks for a folder, then writes every photo there.
    void ExportCommand();

    // What the window shows, for those who watch it.
    CWizardHtmlCtrl* Html() const { return m_html; }
    CListCtrl* List() const { return m_list; }
    const CImageList& ImageList() const { return m_imageList; }
    CStickerSheet* Sheet() const { return m_pSheet.get(); }
    CVideoWindow* VideoWindow() const { return m_pVideoWindow; }
    const CPhotoFrameWnd& FrameWindow() const { return m_frameWnd; }
    // The HTML control's window region; empty while none was ever set.
    QRegion HtmlRegion() const { return m_htmlRegion; }

protected:
    virtual bool OnInitDialog();
    bool event(QEvent* event) override;
    // A grabbed frame (bottom-up BGR rows) reached the window; returns the
    // index of the photo made from it, 0 when the frame was dropped.
    virtual int OnFrameReady(const QByteArray& frame);
    // Enter, Escape and the window manager's Close leave the wizard open:
    // the Cancel link is the only way out.
    void accept() override {}
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;

    // The wizard window's destruction step: drops the sheet and lets go of
    // the video window.
    void DestroyWindow();

    void SetHtmlRegion(const QRegion& region);
    void PlaceChooserList();
    void OnListDoubleClick();
    void OnListKeyDown(int key);
    // A chooser's item: its picture in image slot `slot`, the file it stands
    // for, its text and tag, placed 15 pixels below where the view puts it.
    void AddChooserItem(int slot, const QImage& picture, const QString& file, const QString& text,
                        ListTag tag);
    // The per-photo step of the strip: thumbnail, label, tag and place of photo i.
    void AddStripItem(int i);

    QIcon m_hIcon;
    CWizardHtmlCtrl* m_html = nullptr;
    CImageList m_imageList;
    CListCtrl* m_list = nullptr;
    std::unique_ptr<CStickerSheet> m_pSheet;
    CPhotoFrameWnd m_frameWnd;
    CVideoWindow* m_pVideoWindow = nullptr;
    CCaptureGraph* m_pGraph = nullptr;
    CFrameGrabCallback* m_pGrabber = nullptr;
    bool m_captureSet = false;
    QRegion m_htmlRegion;
    bool m_initialised = false;
};

} // namespace pelmora
