// The pictures of the wizard pages.
#include "paint.h"

#include <QPainterPath>

#include <numbers>

namespace pelmora::art {

QImage title()
{
    QImage img = canvas(800, 100, kPage);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 800, 100);
    g.setColorAt(0, QColor(0x3F, 0x50, 0xA8));
    g.setColorAt(0.55, QColor(0x7E, 0x79, 0xCC));
    g.setColorAt(1, QColor(0xB9, 0xB4, 0xE6));
    p.fillRect(img.rect(), g);
    // Soft bubbles.
    p.setPen(Qt::NoPen);
    const struct { qreal x, y, r; int a; } bubbles[] = {
        {40, 90, 46, 26}, {300, -10, 60, 18}, {470, 80, 30, 22}, {560, 20, 18, 30},
        {640, 70, 54, 20}, {760, 10, 40, 26}, {210, 75, 14, 34}, {520, 55, 8, 50}};
    for (const auto& b : bubbles) {
        p.setBrush(QColor(255, 255, 255, b.a));
        p.drawEllipse(QPointF(b.x, b.y), b.r, b.r);
    }
    // Three stickers, tilted, as if just peeled off a sheet.
    const struct { qreal x, y, angle; QColor tint; } stickers[] = {
        {628, 50, -12, QColor(0xFF, 0xC8, 0xDD)}, {690, 46, 6, QColor(0xFF, 0xF1, 0xB8)},
        {750, 52, -4, QColor(0xC8, 0xEE, 0xD4)}};
    for (const auto& s : stickers) {
        p.save();
        p.translate(s.x, s.y);
        p.rotate(s.angle);
        p.setBrush(QColor(0x20, 0x20, 0x50, 50));
        p.drawRoundedRect(QRectF(-25, -29, 54, 62), 6, 6);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(-27, -32, 54, 62), 6, 6);
        p.setBrush(s.tint);
        p.drawRoundedRect(QRectF(-23, -28, 46, 54), 4, 4);
        drawSnapshot(p, QRectF(-20, -25, 40, 40));
        p.restore();
    }
    drawSparkle(p, QPointF(596, 22), 7, QColor(255, 255, 255, 220));
    drawSparkle(p, QPointF(785, 86), 5, QColor(255, 255, 255, 200));

    p.setFont(uiFont(46, true));
    p.setPen(QColor(0x1E, 0x27, 0x60, 110));
    p.drawText(QPointF(33, 62), QStringLiteral("Pelmora"));
    p.setPen(Qt::white);
    p.drawText(QPointF(30, 59), QStringLiteral("Pelmora"));
    const int logoW = QFontMetrics(uiFont(46, true)).horizontalAdvance(QStringLiteral("Pelmora "));
    p.setFont(uiFont(46, false));
    p.setPen(QColor(0xFF, 0xE0, 0x8A));
    p.drawText(QPointF(30 + logoW, 59), QStringLiteral("2004"));
    p.setFont(uiFont(16, false, true));
    p.setPen(QColor(0xEE, 0xF0, 0xFF));
    p.drawText(QPointF(34, 84), QStringLiteral("Photo stickers from your PC camera"));
    drawHeart(p, QPointF(20, 28), 6, QColor(0xFF, 0x9C, 0xC2));
    return img;
}

QImage borderColumn(int w, int h, const QList<QColor>& columns)
{
    QImage img = canvas(w, h, kPage);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            img.setPixelColor(x, y, columns[x]);
    return img;
}

QImage bottomBorder()
{
    QImage img = canvas(793, 2, kPage);
    QPainter p(&img);
    p.fillRect(0, 0, 793, 1, QColor(0x9A, 0xA5, 0xD8));
    p.fillRect(0, 1, 793, 1, kFrame);
    return img;
}

QImage buttonBackground()
{
    QImage img = canvas(26, 22, kPage);
    QPainter p(&img);
    paintBarBand(p, img.rect());
    return img;
}

// The side picture of the first three pages: the four steps of the booth,
// the current one lit, and a hint below.
QImage sidePanel(const QString& heading, int current, const QString& hint)
{
    QImage img = canvas(156, 259, kPage);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card(0.5, 0.5, 155, 258);
    p.setPen(QPen(QColor(0xA9, 0xB2, 0xDD), 1));
    p.setBrush(vertical(0, 259, Qt::white, QColor(0xE8, 0xEB, 0xF7)));
    p.drawRoundedRect(card, 10, 10);

    // The heading band: the card's rounded top, cut straight at y = 44.
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0.5, 0.5, 155, 60), 10, 10);
    QPainterPath band;
    band.addRect(QRectF(0, 0, 156, 44));
    const QPainterPath headShape = rounded.intersected(band);
    QLinearGradient hg(0, 0, 156, 44);
    hg.setColorAt(0, QColor(0x55, 0x69, 0xC0));
    hg.setColorAt(1, QColor(0x94, 0x88, 0xD3));
    p.setPen(Qt::NoPen);
    p.setBrush(hg);
    p.drawPath(headShape);
    p.setFont(uiFont(11, false));
    p.setPen(QColor(0xDD, 0xE2, 0xFF));
    p.drawText(QPointF(14, 16), QStringLiteral("Step %1 of 4").arg(current + 1));
    p.setFont(uiFont(17, true));
    p.setPen(Qt::white);
    p.drawText(QPointF(14, 36), heading);
    drawSparkle(p, QPointF(136, 14), 5, QColor(255, 255, 255, 200));

    const QString steps[] = {QStringLiteral("Welcome"), QStringLiteral("Choose a layout"),
                             QStringLiteral("Pick frames"), QStringLiteral("Capture & print")};
    for (int i = 0; i < 4; ++i) {
        const qreal y = 62 + i * 34;
        const QPointF dot(26, y + 12);
        const bool done = i < current;
        const bool now = i == current;
        if (now) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0xDB, 0xE0, 0xF6));
            p.drawRoundedRect(QRectF(6, y, 144, 25), 12, 12);
        }
        if (i < 3) {
            p.setPen(QPen(QColor(0xBC, 0xC3, 0xE4), 2, Qt::DotLine, Qt::RoundCap));
            p.drawLine(QPointF(dot.x(), dot.y() + 12), QPointF(dot.x(), dot.y() + 22));
        }
        p.setPen(QPen(now ? kBlue : done ? QColor(0x7D, 0xB8, 0x8C) : QColor(0xB5, 0xBB, 0xD4), 1.2));
        p.setBrush(now ? kBlue : done ? QColor(0xDD, 0xF1, 0xE1) : Qt::white);
        p.drawEllipse(dot, 10, 10);
        p.setFont(uiFont(12, true));
        p.setPen(now ? Qt::white : done ? QColor(0x3F, 0x8A, 0x55) : QColor(0x9A, 0xA1, 0xBC));
        p.drawText(QRectF(dot.x() - 10, dot.y() - 10, 20, 20), Qt::AlignCenter,
                   done ? QStringLiteral("\u2713") : QString::number(i + 1));
        p.setFont(uiFont(12, now));
        p.setPen(now ? kInk : done ? QColor(0x4B, 0x56, 0x8E) : QColor(0x8E, 0x95, 0xB2));
        p.drawText(QPointF(44, dot.y() + 4.5), steps[i]);
    }

    p.setPen(QPen(QColor(0xC9, 0xCF, 0xEA), 1));
    p.drawLine(QPointF(14, 201.5), QPointF(142, 201.5));
    p.setFont(uiFont(11, false, true));
    p.setPen(QColor(0x5A, 0x64, 0x98));
    p.drawText(QRectF(14, 207, 130, 46), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, hint);
    return img;
}

QImage cute()
{
    QImage img = canvas(191, 184, kPage);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Ground shadow.
    QRadialGradient shadow(QPointF(96, 166), 70);
    shadow.setColorAt(0, QColor(0x9A, 0xA3, 0xCE, 150));
    shadow.setColorAt(1, QColor(0x9A, 0xA3, 0xCE, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(QPointF(96, 166), 70, 12);

    // A strip of photos popping out of the top.
    p.save();
    p.translate(118, 46);
    p.rotate(14);
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0xB9, 0xC0, 0xE0), 1));
    p.drawRoundedRect(QRectF(-16, -40, 34, 46), 3, 3);
    drawSnapshot(p, QRectF(-13, -37, 28, 26));
    p.restore();

    // Camera body.
    const QRectF body(26, 52, 140, 100);
    p.setPen(QPen(QColor(0x45, 0x53, 0xA3), 2));
    p.setBrush(vertical(body.top(), body.bottom(), QColor(0xA4, 0xB1, 0xF0), QColor(0x6B, 0x7B, 0xD0)));
    p.drawRoundedRect(body, 22, 22);
    p.setBrush(vertical(36, 60, QColor(0xB9, 0xAE, 0xEE), QColor(0x8F, 0x83, 0xD6)));
    p.drawRoundedRect(QRectF(42, 38, 40, 22), 7, 7);
    // Flash.
    p.setBrush(QColor(0xFF, 0xF4, 0xC8));
    p.setPen(QPen(QColor(0xD8, 0xB8, 0x5A), 1.5));
    p.drawRoundedRect(QRectF(132, 62, 20, 12), 4, 4);
    // Lens.
    const QPointF lens(96, 104);
    p.setPen(QPen(QColor(0x3B, 0x46, 0x8E), 2));
    p.setBrush(QColor(0xF4, 0xF5, 0xFC));
    p.drawEllipse(lens, 36, 36);
    QRadialGradient glass(lens + QPointF(-8, -8), 30);
    glass.setColorAt(0, QColor(0x7C, 0x8F, 0xE8));
    glass.setColorAt(0.6, QColor(0x34, 0x3F, 0x8E));
    glass.setColorAt(1, QColor(0x1F, 0x26, 0x5C));
    p.setBrush(glass);
    p.drawEllipse(lens, 27, 27);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawEllipse(lens + QPointF(-10, -10), 7, 7);
    p.drawEllipse(lens + QPointF(9, 9), 3, 3);
    // Face: eyes above the lens, cheeks and a smile below.
    p.setBrush(QColor(0x22, 0x26, 0x4E));
    p.drawEllipse(QPointF(52, 82), 5, 6.5);
    p.drawEllipse(QPointF(140, 90), 5, 6.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(53.5, 80), 1.8, 1.8);
    p.drawEllipse(QPointF(141.5, 88), 1.8, 1.8);
    p.setBrush(QColor(0xFF, 0x9C, 0xC2, 170));
    p.drawEllipse(QPointF(46, 120), 9, 6);
    p.drawEllipse(QPointF(148, 120), 9, 6);
    p.setPen(QPen(QColor(0x22, 0x26, 0x4E), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(84, 132, 24, 14), 200 * 16, 140 * 16);

    drawSparkle(p, QPointF(22, 36), 8, QColor(0xFF, 0xD2, 0x6A));
    drawSparkle(p, QPointF(170, 30), 6, QColor(0xFF, 0xFF, 0xFF));
    drawSparkle(p, QPointF(178, 142), 5, QColor(0xB9, 0xAE, 0xEE));
    drawHeart(p, QPointF(14, 146), 7, QColor(0xFF, 0x8F, 0xB8));
    drawHeart(p, QPointF(160, 14), 5, QColor(0xFF, 0xA9, 0xC9));
    return img;
}

// A rounded corner of the light panel: a quarter disc of the panel colour on
// the page colour; `corner` names the panel corner it sits in.
QImage corner(Qt::Corner which)
{
    QImage img = canvas(12, 12, kPage);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal cx = (which == Qt::TopLeftCorner || which == Qt::BottomLeftCorner) ? 12 : 0;
    const qreal cy = (which == Qt::TopLeftCorner || which == Qt::TopRightCorner) ? 12 : 0;
    p.setPen(Qt::NoPen);
    p.setBrush(kPanel);
    p.drawEllipse(QPointF(cx, cy), 12, 12);
    return img;
}

QImage bottomRight2()
{
    QImage img = canvas(46, 13, kPage);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QColor dots[] = {QColor(0xB9, 0xAE, 0xEE), QColor(0x9F, 0xAE, 0xE6), QColor(0x84, 0x95, 0xDA)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(dots[i]);
        p.drawEllipse(QPointF(12 + i * 11, 6.5), 2.6, 2.6);
    }
    return img;
}

// The line between the panel and the button bar; its rows are also the last
// nine rows of MiddleBar2.jpg, so both pages end alike.
namespace {

void paintMiddleBar(QPainter& p, int top, int width)
{
    p.fillRect(QRect(0, top, width, 9), vertical(top, top + 9, kPage, QColor(0xE7, 0xEA, 0xF5)));
    p.fillRect(QRect(0, top + 4, width, 1), QColor(0xB7, 0xBF, 0xE3));
    p.fillRect(QRect(0, top + 5, width, 1), QColor(0xFA, 0xFB, 0xFE));
}

} // namespace

QImage middleBar()
{
    QImage img = canvas(602, 9, kPage);
    QPainter p(&img);
    paintMiddleBar(p, 0, 602);
    return img;
}

QImage middleBar2()
{
    QImage img = canvas(1, 30, kPage);
    QPainter p(&img);
    paintMiddleBar(p, 21, 1);
    return img;
}

QImage bottomBar()
{
    QImage img = canvas(602, 12, kPage);
    QPainter p(&img);
    p.fillRect(img.rect(), vertical(0, 12, QColor(0xC9, 0xCF, 0xEA), QColor(0xA3, 0xAE, 0xDB)));
    p.fillRect(0, 0, 602, 1, QColor(0xB4, 0xBC, 0xE0));
    return img;
}

QImage helpImage()
{
    QImage img = canvas(16, 16, kPanel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x3A, 0x4A, 0x9A), 1));
    p.setBrush(vertical(0, 16, QColor(0x8F, 0xA0, 0xEA), QColor(0x4F, 0x63, 0xBE)));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(Qt::white);
    p.setFont(uiFont(12, true));
    p.drawText(QRectF(0, 0, 16, 16.5), Qt::AlignCenter, QStringLiteral("?"));
    return img;
}

QImage configureIcon()
{
    QImage img = canvas(20, 19, kPage);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(10, 9.5);
    QPainterPath gear;
    for (int i = 0; i < 8; ++i) {
        const qreal a = i * std::numbers::pi / 4;
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.8, -8.5, 3.6, 4));
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotateRadians(a);
        gear.addPath(t.map(tooth));
    }
    gear.addEllipse(c, 6.3, 6.3);
    gear.setFillRule(Qt::WindingFill);
    QPainterPath hole;
    hole.addEllipse(c, 2.6, 2.6);
    p.setPen(QPen(QColor(0x3A, 0x4A, 0x9A), 0.8));
    p.setBrush(vertical(1, 18, QColor(0x9A, 0xA9, 0xEC), QColor(0x55, 0x69, 0xC0)));
    p.drawPath(gear.simplified().subtracted(hole));
    return img;
}

// The "camera screen" of the capture page. The page places the picture with
// its top-left corner at client (39, 114), so the live-video hole
// (69, 120)-(481, 429) is the picture's (30, 6)-(442, 315); the arrows are
// the image map's circles at (17, 307) and (456, 307), radius 9.
QImage videoWindow()
{
    QImage img = canvas(484, 331, kPage);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(0.5, 0.5, 483, 330);
    p.setPen(QPen(QColor(0x4A, 0x58, 0xA8), 1));
    p.setBrush(vertical(0, 331, QColor(0xA9, 0xB5, 0xEE), QColor(0x79, 0x86, 0xD2)));
    p.drawRoundedRect(body, 16, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(0, 120, QColor(255, 255, 255, 70), QColor(255, 255, 255, 0)));
    p.drawRoundedRect(QRectF(2, 1, 480, 120), 15, 15);

    // The screen: a dark bezel around the video hole, 2-3 pixels wide.
    const QRectF screen(27, 3, 419, 316);
    p.setPen(QPen(QColor(0x2E, 0x38, 0x78), 1));
    p.setBrush(QColor(0x1B, 0x1F, 0x33));
    p.drawRoundedRect(screen.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.fillRect(QRect(30, 6, 412, 309), QColor(0x10, 0x13, 0x22));
    p.setPen(QColor(0x6C, 0x76, 0xA8));
    p.setFont(uiFont(14, false, true));
    p.drawText(QRectF(30, 6, 412, 309), Qt::AlignCenter, QStringLiteral("Smile!"));

    // Arrow buttons for the previous and next frame.
    const QPointF arrows[] = {QPointF(17, 307), QPointF(456, 307)};
    for (int i = 0; i < 2; ++i) {
        const QPointF c = arrows[i];
        p.setPen(QPen(QColor(0x3A, 0x4A, 0x9A), 1.2));
        p.setBrush(vertical(c.y() - 9, c.y() + 9, Qt::white, QColor(0xCB, 0xD2, 0xEE)));
        p.drawEllipse(c, 8.4, 8.4);
        QPolygonF tri;
        const qreal d = i == 0 ? -1 : 1;
        tri << QPointF(c.x() + d * 4, c.y()) << QPointF(c.x() - d * 2.5, c.y() - 4.5)
            << QPointF(c.x() - d * 2.5, c.y() + 4.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3A, 0x4A, 0x9A));
        p.drawPolygon(tri);
    }
    // A recording light and a brand plate.
    p.setFont(uiFont(9, true));
    p.setPen(QPen(QColor(0x8A, 0x1E, 0x2E), 1));
    p.setBrush(QColor(0xF0, 0x4E, 0x62));
    p.drawEllipse(QPointF(464, 18), 4, 4);
    p.setPen(QColor(0x2A, 0x36, 0x80));
    p.drawText(QRectF(446, 26, 38, 12), Qt::AlignCenter, QStringLiteral("LIVE"));
    p.drawText(QRectF(30, 318, 412, 13), Qt::AlignCenter, QStringLiteral("PELMORA  CAM"));
    drawSparkle(p, QPointF(14, 18), 5, QColor(255, 255, 255, 210));
    drawHeart(p, QPointF(14, 40), 4, QColor(0xFF, 0x9C, 0xC2));
    return img;
}

} // namespace pelmora::art
