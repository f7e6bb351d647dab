#include "shutter.h"
#include "livewait.h"
#include "sound.h"

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
// time. With a picture of what lay beneath it paints the inverted picture
// through the outline's stroke; without one it inverts its own backing store.
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
        const QPainterPath stroke = Stroke(*m_outline);
        if (!m_inverted.isNull()) {
            painter.setClipPath(stroke);
            painter.drawImage(QPoint(0, 0), m_inverted);
        } else {
            painter.setCompositionMode(QPainter::RasterOp_NotDestination);
            painter.fillPath(stroke, Qt::black);
        }
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

// What the window shows on screen, inverted; null when the platform cannot
// grab it.
QImage InvertedScreenContent(QWidget* window)
{
    QScreen* screen = window->screen();
    if (!screen)
        return {};
    QImage picture = screen->grabWindow(window->winId()).toImage();
    if (picture.isNull())
        return {};
    picture = picture.convertToFormat(QImage::Format_RGB32);
    picture.invertPixels();
    picture.setDevicePixelRatio(window->devicePixelRatioF());
    return picture;
}

} // namespace

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
                    const std::function<void(int)>& afterDraw)
{
    if (!window)
        return;
    QWidget* topLevel = window->window();
    // Bring what is pending to the screen first, so the outlines invert what
    // the user sees.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    WaitPainting(50);

    const std::array<QRect, 10> outlines = ShutterOutlines(start, end, window->mapToGlobal(QPoint(0, 0)));
    const auto overlay = std::make_unique<ShutterOverlay>(topLevel, InvertedScreenContent(topLevel));
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
