#include "photoframewnd.h"
#include "rgndata.h"

#include <QFocusEvent>
#include <QPainter>
#include <cstdint>

namespace pelmora {

CPhotoFrameWnd::CPhotoFrameWnd()
{
    setCursor(Qt::ArrowCursor);
    // Nothing is drawn where the frame picture is not: the video beneath
    // shows through there, as it does outside the outline.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

CPhotoFrameWnd::~CPhotoFrameWnd() = default;

bool CPhotoFrameWnd::CreateFrameWindow(const QString& packagePath, int x, int y, QWidget* parent,
                                       int frame)
{
    DestroyWindow();
    m_hPackage.reset();
    m_hPackage = LoadPackage(packagePath);
    if (!m_hPackage || !IsFrameInRange(frame))
        return false;
    m_nFrame = frame;
    m_picture.reset();

    const QPoint screenPoint(x, y);
    if (parent) {
        setParent(parent, Qt::Widget);
        setAttribute(Qt::WA_TranslucentBackground, false);
        setGeometry(QRect(parent->mapFromGlobal(screenPoint), QSize(kWidth, kHeight)));
    } else {
        setParent(nullptr, Qt::Tool | Qt::FramelessWindowHint);
        // A window of its own has no parent to show through it where the
        // frame picture leaves pixels unpainted.
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(QRect(screenPoint, QSize(kWidth, kHeight)));
    }
    // The whole rectangle first: a frame without an outline covers the video.
    clearMask();
    ApplyFrameShape();
    show();
    raise();
    m_hasWindow = true;
    return true;
}

bool CPhotoFrameWnd::SetFrame(int n, bool repaint)
{
    if (!IsFrameInRange(n))
        return false;
    if (n != m_nFrame)
        m_picture.reset();
    m_nFrame = n;
    if (repaint) {
        ApplyFrameShape();
        update();
    }
    return true;
}

bool CPhotoFrameWnd::IsFrameInRange(int n) const
{
    if (!m_hPackage)
        return false;
    const std::optional<QString> first = m_hPackage->LoadString(1, 8);
    const std::optional<QString> last = m_hPackage->LoadString(2, 8);
    if (!first || !last)
        return false;
    return Atoi(*first) <= n && n <= Atoi(*last);
}

void CPhotoFrameWnd::DestroyWindow()
{
    if (!m_hasWindow)
        return;
    m_hasWindow = false;
    hide();
    // Detached, the widget is no longer among the former parent's children,
    // which delete theirs when they go.
    setParent(nullptr);
    m_picture.reset();
}

void CPhotoFrameWnd::ApplyFrameShape()
{
    if (!m_hPackage)
        return;
    // Resource ids are 16-bit: the frame number is taken modulo 65536 as the
    // platform's MAKEINTRESOURCE does.
    const auto bytes = m_hPackage->FindResource("REGION", static_cast<std::uint16_t>(m_nFrame));
    if (!bytes || bytes->empty())
        return;
    const std::optional<QRegion> outline = ReadRegionData(*bytes);
    // setMask with an empty region would lift the mask altogether and show
    // the whole rectangle, the opposite of an empty outline.
    if (!outline || outline->isEmpty())
        return;
    const QRegion before = mask().isEmpty() ? QRegion(rect()) : mask();
    setMask(*outline);
    ExposeSiblingsBeneath(before - *outline);
}

void CPhotoFrameWnd::ExposeSiblingsBeneath(const QRegion& uncovered)
{
    QWidget* owner = parentWidget();
    if (!owner || !isVisible() || uncovered.isEmpty())
        return;
    // setMask repaints the parent where the frame no longer covers it, but
    // Qt leaves an opaque sibling there (the video window) unpainted, so the
    // old frame picture would stay visible over the video.
    const QRegion inOwner = uncovered.translated(pos());
    for (QObject* child : owner->children()) {
        auto* sibling = qobject_cast<QWidget*>(child);
        if (sibling == this)
            break; // the rest lie above the frame
        if (sibling && sibling->isVisible() && !sibling->isWindow())
            sibling->update(inOwner.translated(-sibling->pos()) & sibling->rect());
    }
}

CPicture* CPhotoFrameWnd::FramePicture()
{
    if (!m_picture) {
        // Picture ids are frame number + 1000, low 16 bits, as for the outline.
        m_picture.emplace(m_hPackage.get(), static_cast<unsigned>(m_nFrame) + 1000u, "IMAGE");
    }
    return &*m_picture;
}

void CPhotoFrameWnd::paintEvent(QPaintEvent*)
{
    if (!m_hPackage)
        return;
    QPainter painter(this);
    // A frame without a usable picture paints nothing: the window is then
    // invisible and the video shows as it is.
    FramePicture()->Draw(painter, 0, 0);
}

void CPhotoFrameWnd::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    // The frame only decorates: keys belong to the window it lies on.
    if (QWidget* owner = parentWidget())
        owner->setFocus(Qt::OtherFocusReason);
}

} // namespace pelmora
