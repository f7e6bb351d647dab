#include "thumbnail.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

int ScaleToThumbnail(std::int32_t v) { return int(std::trunc(double(v) * 0.2222222222222222)); }

} // namespace

QImage DrawLayoutThumbnail(std::span<const CRectangle> places)
{
    QImage picture(80, 60, QImage::Format_RGB32);
    picture.fill(QColor(0xE1, 0xE5, 0xF1));
    QPainter painter(&picture);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::white);
    for (const CRectangle& place : places) {
        const int x1 = ScaleToThumbnail(place.m_rect.left);
        const int x2 = ScaleToThumbnail(place.m_rect.right);
        const int y1 = ScaleToThumbnail(place.m_rect.top);
        const int y2 = ScaleToThumbnail(place.m_rect.bottom);
        // The platform's rectangle drawing puts the corners in order first,
        // so a place stored right to left or bottom up is drawn.
        const QRect r(QPoint(std::min(x1, x2), std::min(y1, y2)),
                      QPoint(std::max(x1, x2) - 1, std::max(y1, y2) - 1));
        if (r.width() > 0 && r.height() > 0)
            painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
    return picture;
}
