#include "videowindow.h"
#include <QPainter>

namespace pelmora {

CVideoWindow::CVideoWindow(QWidget* parent) : QWidget(parent)
{
    // Every pixel is painted from the frame: nothing underneath needs drawing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void CVideoWindow::put_Owner(QWidget* owner)
{
    const bool wasVisible = isVisible();
    setParent(owner);
    // setParent hides the widget; a change of owner should not change what
    // is on screen unless it has to.
    if (wasVisible && owner)
        show();
}

void CVideoWindow::put_WindowStyle(long style)
{
    m_style = style;
}

void CVideoWindow::SetWindowPosition(int x, int y, int width, int height)
{
    setGeometry(x, y, width, height);
}

void CVideoWindow::put_Caption(const QString& caption)
{
    setWindowTitle(caption);
}

void CVideoWindow::put_Visible(bool visible)
{
    setVisible(visible);
}

void CVideoWindow::ShowFrame(const QImage& frame)
{
    m_frame = frame;
    ++m_receivedFrames;
    m_framePainted = false;
    update();
}

void CVideoWindow::PaintFrame(QPainter& painter, const QRect& target) const
{
    if (m_frame.isNull()) {
        painter.fillRect(target, Qt::black);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_frame);
    painter.restore();
}

void CVideoWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintFrame(painter, rect());
    if (!m_frame.isNull() && !m_framePainted) {
        m_framePainted = true;
        ++m_paintedFrames;
    }
}

} // namespace pelmora
