#pragma once
// The photo frame laid over the live video on the capture page: a window
// shaped by the current frame's outline and painted with its picture, both
// read from the frame-series package it holds.
#include "package.h"
#include "picture.h"

#include <QRect>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

namespace pelmora {

class CPhotoFrameWnd : public QWidget {
public:
    // The window's size: a 412 by 309 picture covers the 412 by 308 video.
    static constexpr int kWidth = 412;
    static constexpr int kHeight = 309;

    CPhotoFrameWnd();
    ~CPhotoFrameWnd() override;

    // Releases the package held, loads the one at packagePath (the library
    // search rule of pelmora::LoadPackage: relative to the program's folder,
    // ".dll" appended to a name without a dot) and shows frame `frame` at the
    // screen point (x, y). With a parent the window is the parent's child,
    // stacked above its other children (the video window); without one it is
    // a frameless tool window of its own. False, and no window, when the
    // package does not load or its range excludes `frame`; a window shown
    // before is gone either way, as it could not outlive its package.
    //
    // While it exists the window is the parent's child: an object that is not
    // itself owned by the parent (a member of it) must be destroyed, or its
    // window destroyed, before the parent.
    bool CreateFrameWindow(const QString& packagePath, int x, int y, QWidget* parent, int frame);

    // Takes frame n when it lies in the package's range; with repaint the
    // window takes the new outline and picture at once. False, and nothing
    // changes, otherwise: there is no wrap-around at either end.
    bool SetFrame(int n, bool repaint);
    int GetFrame() const { return m_nFrame; }
    HMODULE GetPackage() const { return m_hPackage.get(); }

    // first <= n <= last, with first and last read from string-table entries
    // 1 and 2 (at most 7 characters each, converted as atoi does) at every
    // call. A package lacking either entry has an empty range: every frame
    // window needs both, so such a package is refused.
    bool IsFrameInRange(int n) const;

    // Hides the window and detaches it from its parent. The package stays
    // held until the next CreateFrameWindow or the object's destruction.
    void DestroyWindow();
    bool HasWindow() const { return m_hasWindow; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    // The window's outline from REGION m_nFrame; a missing, malformed or empty
    // outline keeps the shape the window has.
    void ApplyFrameShape();
    void ExposeSiblingsBeneath(const QRegion& uncovered);
    CPicture* FramePicture();

    std::unique_ptr<ResourcePackage> m_hPackage;
    int m_nFrame = 0;
    bool m_hasWindow = false;
    // The decoded picture of m_nFrame, kept between paints: the video under
    // the window repaints many times a second and with it this window.
    std::optional<CPicture> m_picture;
};

} // namespace pelmora
