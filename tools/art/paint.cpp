// The drawing tools every picture shares: fonts, colours, files, buttons and
// small figures.
#include "paint.h"

#include "bmp.h"

#include <QFile>
#include <QFontDatabase>
#include <QImageWriter>
#include <QPainterPath>
#include <QTextStream>

namespace pelmora::art {

QString g_family = QStringLiteral("Liberation Sans");
int g_failures = 0;

QFont uiFont(int pixelSize, bool bold, bool italic)
{
    QFont f(g_family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QImage canvas(int w, int h, const QColor& fill)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

void report(bool ok, const QString& path)
{
    if (!ok) {
        QTextStream(stderr) << "pelmora-art: cannot write " << path << "\n";
        ++g_failures;
    }
}

void saveJpeg(const QImage& img, const QString& path)
{
    QImageWriter w(path, "jpg");
    w.setQuality(95);
    w.setOptimizedWrite(true);
    report(w.write(img), path);
}

void saveBytes(const QByteArray& bytes, const QString& path)
{
    QFile f(path);
    report(!bytes.isEmpty() && f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               f.write(bytes) == bytes.size(),
           path);
}

void saveBmp24(const QImage& img, const QString& path)
{
    saveBytes(pelmora::MakeBmpFile(img.width(), img.height(), pelmora::ImageToBmpPixels(img)),
              path);
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor& a, const QColor& b)
{
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

// The button bar: every cell of the bar carries ButtonBackground.jpg, and the
// buttons paint the same band behind their rounded ends so the seams vanish.
void paintBarBand(QPainter& p, const QRect& r)
{
    p.fillRect(r, vertical(r.top(), r.bottom() + 1, QColor(0xEC, 0xEE, 0xF7), QColor(0xD3, 0xD8, 0xEC)));
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), QColor(0xF8, 0xF9, 0xFD));
}


QImage button(int w, int h, const QString& label, ButtonKind kind, Backdrop backdrop,
              const Glyph& glyph)
{
    QImage img = canvas(w, h, backdrop == Backdrop::Panel ? kPanel : kPage);
    QPainter p(&img);
    if (backdrop == Backdrop::Bar)
        paintBarBand(p, img.rect());
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF body(0.5, 1.5, w - 1.0, h - 3.0);
    const qreal radius = body.height() / 2;
    QColor top, bottom, edge, text;
    switch (kind) {
    case ButtonKind::Normal:
        top = QColor(0xFF, 0xFF, 0xFF);
        bottom = QColor(0xCB, 0xD2, 0xEE);
        edge = QColor(0x74, 0x83, 0xC6);
        text = kInk;
        break;
    case ButtonKind::Primary:
        top = QColor(0x9A, 0xA9, 0xEC);
        bottom = QColor(0x4F, 0x63, 0xBE);
        edge = QColor(0x3A, 0x4A, 0x9A);
        text = Qt::white;
        break;
    case ButtonKind::Disabled:
        top = QColor(0xF3, 0xF4, 0xF8);
        bottom = QColor(0xE0, 0xE3, 0xEC);
        edge = QColor(0xB8, 0xBE, 0xD3);
        text = QColor(0xA6, 0xAC, 0xC0);
        break;
    }
    p.setPen(QPen(edge, 1));
    p.setBrush(vertical(body.top(), body.bottom(), top, bottom));
    p.drawRoundedRect(body, radius, radius);
    // A soft gloss on the upper half.
    p.setPen(Qt::NoPen);
    QColor gloss(255, 255, 255, kind == ButtonKind::Primary ? 70 : 110);
    p.setBrush(vertical(body.top(), body.center().y(), gloss, QColor(255, 255, 255, 0)));
    p.drawRoundedRect(body.adjusted(2, 1, -2, -body.height() / 2), radius - 2, radius - 2);

    p.setFont(uiFont(12, true));
    const QFontMetricsF fm(p.font());
    const qreal glyphW = glyph ? 14 : 0;
    const qreal textW = fm.horizontalAdvance(label);
    const qreal total = textW + (glyph ? glyphW + 5 : 0);
    qreal x = (w - total) / 2;
    if (glyph) {
        glyph(p, QRectF(x, (h - glyphW) / 2, glyphW, glyphW), text);
        x += glyphW + 5;
    }
    if (kind == ButtonKind::Primary) {
        p.setPen(QColor(0x2A, 0x36, 0x80, 140));
        p.drawText(QPointF(x, (h + fm.capHeight()) / 2 + 1), label);
    }
    p.setPen(text);
    p.drawText(QPointF(x, (h + fm.capHeight()) / 2), label);
    return img;
}

// Small glyphs drawn inside buttons, in the button's text colour.
void glyphCamera(QPainter& p, const QRectF& r, const QColor& c)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const QRectF body(r.left(), r.top() + 3, r.width(), r.height() - 4);
    p.drawRoundedRect(body, 2, 2);
    p.drawRect(QRectF(r.left() + 3, r.top() + 1, 5, 3));
    p.setBrush(QColor(0x4F, 0x63, 0xBE));
    p.drawEllipse(body.center(), 3.4, 3.4);
    p.setBrush(c);
    p.drawEllipse(body.center(), 1.6, 1.6);
    p.restore();
}

void glyphPrinter(QPainter& p, const QRectF& r, const QColor& c)
{
    p.save();
    p.setPen(QPen(c, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(r.left() + 3.5, r.top() + 1.5, 7, 4));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(r.left() + 0.5, r.top() + 5.5, 13, 6), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + 3.5, r.top() + 9.5, 7, 4));
    p.restore();
}

void glyphExport(QPainter& p, const QRectF& r, const QColor& c)
{
    p.save();
    p.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(r.center().x(), r.top() + 1), QPointF(r.center().x(), r.bottom() - 4));
    p.drawLine(QPointF(r.center().x() - 4, r.bottom() - 8), QPointF(r.center().x(), r.bottom() - 4));
    p.drawLine(QPointF(r.center().x() + 4, r.bottom() - 8), QPointF(r.center().x(), r.bottom() - 4));
    p.drawLine(QPointF(r.left() + 1, r.bottom() - 1), QPointF(r.right() - 1, r.bottom() - 1));
    p.restore();
}

// Red whatever the button's text colour: Delete is the one button that
// throws a photo away.
void glyphDelete(QPainter& p, const QRectF& r, const QColor&)
{
    p.save();
    p.setPen(QPen(QColor(0xC8, 0x3A, 0x4E), 2.2, Qt::SolidLine, Qt::RoundCap));
    const QRectF k = r.adjusted(3, 3, -3, -3);
    p.drawLine(k.topLeft(), k.bottomRight());
    p.drawLine(k.topRight(), k.bottomLeft());
    p.restore();
}

void glyphArrowRight(QPainter& p, const QRectF& r, const QColor& c)
{
    p.save();
    p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(r.left() + 2, r.center().y()), QPointF(r.right() - 2, r.center().y()));
    p.drawLine(QPointF(r.right() - 6, r.center().y() - 4), QPointF(r.right() - 2, r.center().y()));
    p.drawLine(QPointF(r.right() - 6, r.center().y() + 4), QPointF(r.right() - 2, r.center().y()));
    p.restore();
}

void drawSparkle(QPainter& p, QPointF c, qreal size, const QColor& colour)
{
    QPainterPath star;
    star.moveTo(c.x(), c.y() - size);
    star.quadTo(c, QPointF(c.x() + size, c.y()));
    star.quadTo(c, QPointF(c.x(), c.y() + size));
    star.quadTo(c, QPointF(c.x() - size, c.y()));
    star.quadTo(c, QPointF(c.x(), c.y() - size));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(star);
}

void drawHeart(QPainter& p, QPointF c, qreal size, const QColor& colour)
{
    QPainterPath h;
    h.moveTo(c.x(), c.y() + size * 0.9);
    h.cubicTo(c.x() - size * 1.3, c.y() - size * 0.1, c.x() - size * 0.6, c.y() - size * 1.1,
              c.x(), c.y() - size * 0.35);
    h.cubicTo(c.x() + size * 0.6, c.y() - size * 1.1, c.x() + size * 1.3, c.y() - size * 0.1,
              c.x(), c.y() + size * 0.9);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(h);
}

// A little snapshot: sky, hill, sun and a smiling face, used by the title,
// the icon and bitmap 139.
void drawSnapshot(QPainter& p, const QRectF& r)
{
    p.save();
    p.setClipRect(r);
    p.fillRect(r, vertical(r.top(), r.bottom(), QColor(0xA9, 0xD4, 0xF5), QColor(0xE4, 0xF1, 0xFB)));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xD4, 0x5C));
    p.drawEllipse(QPointF(r.right() - r.width() * 0.18, r.top() + r.height() * 0.22), r.width() * 0.09,
                  r.width() * 0.09);
    p.setBrush(QColor(0x8C, 0xCB, 0x7A));
    p.drawEllipse(QRectF(r.left() - r.width() * 0.2, r.top() + r.height() * 0.68, r.width() * 1.4,
                         r.height() * 0.8));
    const QPointF face(r.left() + r.width() * 0.42, r.top() + r.height() * 0.55);
    const qreal fr = r.height() * 0.24;
    p.setBrush(QColor(0xFF, 0xDD, 0xC2));
    p.setPen(QPen(QColor(0xC9, 0x8E, 0x6E), qMax<qreal>(0.8, fr / 12)));
    p.drawEllipse(face, fr, fr);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3A, 0x30, 0x40));
    p.drawEllipse(face + QPointF(-fr * 0.38, -fr * 0.15), fr * 0.12, fr * 0.14);
    p.drawEllipse(face + QPointF(fr * 0.38, -fr * 0.15), fr * 0.12, fr * 0.14);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xB0, 0x3A, 0x4A), qMax<qreal>(0.9, fr / 9), Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(face.x() - fr * 0.5, face.y() - fr * 0.35, fr, fr * 0.8), 200 * 16, 140 * 16);
    p.restore();
}

bool loadFonts()
{
    const char* files[] = {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf",
                           "LiberationSans-Italic.ttf", "LiberationSans-BoldItalic.ttf"};
    QString family;
    for (const char* f : files) {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/truetype/liberation/") + QLatin1String(f));
        if (id < 0)
            return false;
        family = QFontDatabase::applicationFontFamilies(id).value(0);
    }
    g_family = family;
    return !family.isEmpty();
}

} // namespace pelmora::art
