#include "shutter.h"
#include "livewait.h"
#include "sound.h"
#include "videowindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QPolygon>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <optional>

namespace pelmora {

QRect ShutterEndRect(int photoCount)
{
    // Strip slots are 79 pixels apart; nine fit in the strip's visible part.
    if (photoCount <= 8)
        return GdiRect(79 * photoCount + 79, 453, 79 * photoCount + 103, 547);
    return GdiRect(658, 453, 682, 547);
}

namespace {

// start + trunc(t * (end - start)), the product in double precision; the
// result lies between start and end and so fits in an int.
int Interpolate(int start, int end, double t)
{
    return start + static_cast<int>(t * (double(end) - double(start)));
}

// The closed outline through the rectangle's four edges, as one polyline.
QPolygon OutlinePolyline(const QRect& r)
{
    return QPolygon({QPoint(r.left(), r.top()), QPoint(r.right(), r.top()),
                     QPoint(r.right(), r.bottom()), QPoint(r.left(), r.bottom()),
                     QPoint(r.left(), r.top())});
}

// A transparent layer over the whole window that shows one outline at a
// time: it paints the inverted picture of what lay beneath through the
// outline's stroke.
class ShutterOverlay : public QWidget {
public:
    ShutterOverlay(QWidget* window, QImage invertedBeneath)
        : QWidget(window), m_inverted(std::move(invertedBeneath))
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(window->rect());
        show();
        raise();
    }

    // Shows the outline (in this widget's coordinates), or none, at once.
    void ShowOutline(const std::optional<QPolygon>& outline)
    {
        const QRegion before = m_dirty;
        m_outline = outline;
        m_dirty = outline ? StrokeArea(outline->boundingRect()) : QRegion();
        // repaint rather than update: the outline must reach the screen before
        // the caller sleeps, without running the event loop.
        repaint(before | m_dirty);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_outline)
            return;
        QPainter painter(this);
        painter.setClipPath(Stroke(*m_outline));
        painter.drawImage(QPoint(0, 0), m_inverted);
    }

private:
    // The pixels a 2-pixel line along the rectangle's edges can touch, with
    // a pixel to spare: only these need repainting, not the whole inside,
    // which holds the video and the page.
    static QRegion StrokeArea(const QRect& r)
    {
        const QRect outer = r.adjusted(-2, -2, 2, 2);
        return QRegion(outer).subtracted(QRegion(r.adjusted(2, 2, -2, -2)));
    }

    static QPainterPath Stroke(const QPolygon& polyline)
    {
        QPainterPath path;
        path.addPolygon(QPolygonF(polyline));
        QPainterPathStroker stroker;
        stroker.setWidth(2);
        stroker.setJoinStyle(Qt::MiterJoin);
        stroker.setCapStyle(Qt::SquareCap);
        return stroker.createStroke(path);
    }

    QImage m_inverted;
    std::optional<QPolygon> m_outline;
    QRegion m_dirty;
};

// Whether a screen grab shows the window at all: native Wayland gives an
// empty picture, XWayland an all-black one, and no wizard page is a single
// colour all over.
bool ShowsSomething(const QImage& grab)
{
    if (grab.isNull())
        return false;
    const QImage pixels = grab.convertToFormat(QImage::Format_RGB32);
    const QRgb first = pixels.pixel(0, 0);
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        if (std::any_of(row, row + pixels.width(), [first](QRgb pixel) { return pixel != first; }))
            return true;
    }
    return false;
}

// What the window's widgets draw, bottom to top, each as it paints itself,
// except that a video window shows its current frame, however that frame
// reaches the screen.
QImage DrawnContent(QWidget* window)
{
    const qreal ratio = window->devicePixelRatioF();
    QImage picture(window->size() * ratio, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    QPainter painter(&picture);
    window->render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    for (QObject* child : window->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow() || !widget->isVisible())
            continue;
        if (const auto* video = dynamic_cast<const CVideoWindow*>(widget))
            video->PaintFrame(painter, video->geometry());
        else
            widget->render(&painter, widget->pos());
    }
    return picture;
}

} // namespace

QImage GrabScreen(QWidget* window)
{
    QScreen* screen = window->screen();
    return screen ? screen->grabWindow(window->winId()).toImage() : QImage();
}

QImage ShutterBackdrop(QWidget* window, const QImage& screenGrab)
{
    return ShowsSomething(screenGrab) ? screenGrab : DrawnContent(window);
}

std::array<QRect, 10> ShutterOutlines(const QRect& start, const QRect& end, const QPoint& clientOrigin)
{
    std::array<QRect, 10> outlines;
    for (int i = 0; i < 10; ++i) {
        const double t = i * 0.1;
        outlines[i] = GdiRect(Interpolate(start.left(), end.left(), t),
                              Interpolate(start.top(), end.top(), t),
                              Interpolate(start.right(), end.right(), t),
                              Interpolate(start.bottom(), end.bottom(), t))
                          .translated(clientOrigin);
    }
    return outlines;
}

void AnimateShutter(QWidget* window, const QRect& start, const QRect& end, int delayMs,
                    const std::function<void(int)>& afterDraw, const std::function<QImage(QWidget*)>& grabScreen)
{
    if (!window)
        return;
    QWidget* topLevel = window->window();
    // Bring what is pending to the screen first, so the outlines invert what
    // the user sees.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    WaitPainting(50);

    const std::array<QRect, 10> outlines = ShutterOutlines(start, end, window->mapToGlobal(QPoint(0, 0)));
    QImage inverted = ShutterBackdrop(topLevel, grabScreen(topLevel)).convertToFormat(QImage::Format_RGB32);
    inverted.invertPixels();
    inverted.setDevicePixelRatio(topLevel->devicePixelRatioF());
    const auto overlay = std::make_unique<ShutterOverlay>(topLevel, std::move(inverted));
    for (int i = 0; i < 10; ++i) {
        const QPoint origin = overlay->mapFromGlobal(QPoint(0, 0));
        overlay->ShowOutline(OutlinePolyline(outlines[i].translated(origin)));
        if (afterDraw)
            afterDraw(i);
        WaitPainting(delayMs);
        overlay->ShowOutline(std::nullopt);
    }
}

void RunShutter(QWidget* window, int photoCount, const QString& sound)
{
    PlaySoundFile(sound);
    AnimateShutter(window, kShutterStartRect, ShutterEndRect(photoCount), kShutterStepDelayMs);
}

} // namespace pelmora
