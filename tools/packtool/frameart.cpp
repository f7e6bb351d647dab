// pelmora-frame-art: draws the pictures of the shipped frame series.
//
//   pelmora-frame-art OUTDIR SERIES   writes OUTDIR/<n>.png for each frame
//   pelmora-frame-art --list          prints "SERIES FRAMES" per series
//
// Every frame is an opaque decoration around a transparent window where the
// face shows; pelmora-pack turns the opaque pixels into the frame's outline.
// The pictures depend only on the series and frame number, so every build
// ships the same packages.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

constexpr int kFirstFrame = 1001;

// A small deterministic generator, so that scattered motifs land in the same
// places on every machine.
class Scatter {
public:
    explicit Scatter(std::uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    double Next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return double(m_state >> 8) / double(1u << 24);
    }
    double Between(double lo, double hi) { return lo + (hi - lo) * Next(); }

private:
    std::uint32_t m_state;
};

QPainterPath Heart(QPointF c, double size)
{
    QPainterPath p;
    const double s = size / 2;
    p.moveTo(c.x(), c.y() + s);
    p.cubicTo(c.x() - 1.6 * s, c.y() - 0.1 * s, c.x() - 0.9 * s, c.y() - 1.3 * s, c.x(), c.y() - 0.5 * s);
    p.cubicTo(c.x() + 0.9 * s, c.y() - 1.3 * s, c.x() + 1.6 * s, c.y() - 0.1 * s, c.x(), c.y() + s);
    p.closeSubpath();
    return p;
}

// The closed outline through count corners, corner i at cornerAt(i).
QPainterPath ClosedPath(int count, const std::function<QPointF(int)>& cornerAt)
{
    QPainterPath p;
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            p.moveTo(cornerAt(i));
        else
            p.lineTo(cornerAt(i));
    }
    p.closeSubpath();
    return p;
}

QPainterPath Star(QPointF c, double outer, double inner, int points, double turn)
{
    return ClosedPath(2 * points, [&](int i) {
        const double r = i % 2 ? inner : outer;
        const double a = turn + i * std::numbers::pi / points - std::numbers::pi / 2;
        return QPointF(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    });
}

QPainterPath Polygon(QPointF c, double rx, double ry, int sides)
{
    return ClosedPath(sides, [&](int i) {
        const double a = std::numbers::pi / sides + i * 2 * std::numbers::pi / sides;
        return QPointF(c.x() + rx * std::cos(a), c.y() + ry * std::sin(a));
    });
}

QPainterPath RoundedWindow(const QRectF& r, double radius)
{
    QPainterPath p;
    p.addRoundedRect(r, radius, radius);
    return p;
}

QPainterPath EllipseWindow(const QRectF& r)
{
    QPainterPath p;
    p.addEllipse(r);
    return p;
}

// Cuts the face window out of the decoration and rims it, so the window's
// edge is crisp and opaque rather than a half-transparent fringe.
void CutWindow(QPainter& p, const QPainterPath& window, const QColor& rim, double rimWidth)
{
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillPath(window, Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.strokePath(window, QPen(rim, rimWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void Hearts(QPainter& p, int w, int h, int frame)
{
    const int k = frame - kFirstFrame;
    const QColor tops[] = {QColor(255, 182, 206), QColor(255, 214, 224), QColor(250, 160, 190),
                           QColor(255, 228, 236)};
    const QColor bottoms[] = {QColor(232, 64, 118), QColor(214, 48, 90), QColor(190, 40, 120),
                              QColor(240, 100, 140)};
    QLinearGradient bg(0, 0, w, h);
    bg.setColorAt(0, tops[k % 4]);
    bg.setColorAt(1, bottoms[k % 4]);
    p.fillRect(QRect(0, 0, w, h), bg);

    Scatter rnd{std::uint32_t(frame)};
    for (int i = 0; i < 46; ++i) {
        const QPointF c(rnd.Between(0, w), rnd.Between(0, h));
        const double size = rnd.Between(12, 34);
        const int shade = int(rnd.Between(0, 3));
        const QColor colours[] = {QColor(255, 255, 255, 230), QColor(200, 20, 60), QColor(255, 120, 160)};
        p.fillPath(Heart(c, size), colours[shade]);
    }

    const QRectF box(62, 38, 288, 226);
    QPainterPath window;
    switch (k % 4) {
    case 0: window = RoundedWindow(box, 36); break;
    case 1: window = EllipseWindow(box); break;
    case 2: window = Heart(QPointF(w / 2.0, h / 2.0 + 8), 236); break;
    default: {
        window.moveTo(box.left(), box.bottom());
        window.lineTo(box.left(), box.top() + box.width() / 2.6);
        window.arcTo(QRectF(box.left(), box.top(), box.width(), box.width() / 1.3), 180, -180);
        window.lineTo(box.right(), box.bottom());
        window.closeSubpath();
    }
    }
    CutWindow(p, window, QColor(255, 250, 252), 7);
    p.strokePath(window, QPen(QColor(214, 40, 96), 2.5));
}

void Stars(QPainter& p, int w, int h, int frame)
{
    const int k = frame - kFirstFrame;
    QLinearGradient bg(0, 0, 0, h);
    bg.setColorAt(0, QColor(14, 22, 70).lighter(100 + 12 * k));
    bg.setColorAt(1, QColor(84, 36, 120).lighter(100 + 8 * k));
    p.fillRect(QRect(0, 0, w, h), bg);

    Scatter rnd(std::uint32_t(frame) * 7u);
    for (int i = 0; i < 140; ++i) // a dust of small stars
        p.fillRect(QRectF(rnd.Between(0, w), rnd.Between(0, h), 1.6, 1.6), QColor(255, 255, 230, 200));
    const QColor golds[] = {QColor(255, 214, 64), QColor(255, 244, 170), QColor(255, 170, 60)};
    for (int i = 0; i < 26; ++i) {
        const QPointF c(rnd.Between(0, w), rnd.Between(0, h));
        const double r = rnd.Between(7, 20);
        p.fillPath(Star(c, r, r * 0.45, 5, rnd.Between(0, 1.2)), golds[i % 3]);
    }

    const QPointF centre(w / 2.0, h / 2.0);
    QPainterPath window;
    switch (k % 5) {
    case 0: window = EllipseWindow(QRectF(70, 36, 272, 236)); break;
    case 1: window = RoundedWindow(QRectF(64, 40, 284, 228), 24); break;
    case 2: window = EllipseWindow(QRectF(w / 2.0 - 122, h / 2.0 - 122, 244, 244)); break;
    case 3: window = Polygon(centre, 150, 124, 8); break;
    default: window = Star(centre, 150, 92, 5, 0); break;
    }
    CutWindow(p, window, QColor(255, 220, 90), 6);
    p.strokePath(window, QPen(QColor(255, 255, 255), 1.5));
}

void Film(QPainter& p, int w, int h, int frame)
{
    const int k = frame - kFirstFrame;
    const QColor bases[] = {QColor(28, 28, 30), QColor(74, 48, 26), QColor(18, 34, 58)};
    const QColor holes[] = {QColor(236, 236, 228), QColor(246, 226, 190), QColor(206, 226, 246)};
    p.fillRect(QRect(0, 0, w, h), bases[k % 3]);
    // Sprocket holes along both edges, as on a strip of 35 mm film.
    for (int x = 10; x + 16 <= w; x += 26) {
        p.setPen(Qt::NoPen);
        p.setBrush(holes[k % 3]);
        p.drawRoundedRect(QRectF(x, 9, 16, 12), 3, 3);
        p.drawRoundedRect(QRectF(x, h - 21, 16, 12), 3, 3);
    }
    // A thin edge marking, like the frame counter printed on real film.
    p.setBrush(QColor(230, 160, 40));
    for (int i = 0; i < 3 + k; ++i)
        p.drawRect(QRectF(24 + i * 9, 30, 5, 5));
    const QPainterPath window = RoundedWindow(QRectF(40, 36, 332, 237), 10);
    CutWindow(p, window, bases[k % 3].lighter(160), 3);
}

void Bubbles(QPainter& p, int w, int h, int frame)
{
    const int k = frame - kFirstFrame;
    QLinearGradient bg(0, 0, 0, h);
    const QColor tops[] = {QColor(120, 220, 240), QColor(150, 230, 200), QColor(170, 200, 255),
                           QColor(120, 240, 230)};
    bg.setColorAt(0, tops[k % 4]);
    bg.setColorAt(1, QColor(20, 110, 170));
    p.fillRect(QRect(0, 0, w, h), bg);

    const auto bubble = [&](QPointF c, double r) {
        QRadialGradient g(c + QPointF(-r / 3, -r / 3), r * 1.3);
        g.setColorAt(0, QColor(255, 255, 255));
        g.setColorAt(0.35, QColor(190, 240, 255));
        g.setColorAt(1, QColor(60, 150, 210));
        p.setPen(QPen(QColor(255, 255, 255), 1.2));
        p.setBrush(g);
        p.drawEllipse(c, r, r);
    };
    Scatter rnd(std::uint32_t(frame) * 13u);
    for (int i = 0; i < 30; ++i)
        bubble(QPointF(rnd.Between(0, w), rnd.Between(0, h)), rnd.Between(5, 17));

    const QPainterPath window =
        k % 2 ? EllipseWindow(QRectF(62, 34, 288, 242)) : RoundedWindow(QRectF(57, 39, 298, 232), 50);
    CutWindow(p, window, QColor(240, 252, 255), 6);
    // A few bubbles drift into the window, over the face.
    for (int i = 0; i < 3; ++i) {
        const double along = rnd.Between(0.1, 0.9);
        const bool left = (i + k) % 2;
        bubble(QPointF(left ? 72 + 26 * along : 340 - 26 * along, 52 + 206 * along), rnd.Between(8, 14));
    }
}

struct Series {
    const char* name;
    int width, height, frames;
    void (*draw)(QPainter&, int w, int h, int frame);
};

QImage Draw(const Series& series, int frame)
{
    QImage image(series.width, series.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    series.draw(p, series.width, series.height, frame);
    p.end();
    return image;
}

// Every series fills the 412 by 309 frame window, so on the live view each
// frame covers the whole video, as it covers the whole photo.
const Series kSeries[] = {
    {"Hearts", 412, 309, 4, Hearts},
    {"Stars", 412, 309, 5, Stars},
    {"Film", 412, 309, 3, Film},
    {"Bubbles", 412, 309, 4, Bubbles},
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && args[0] == QLatin1String("--list")) {
        for (const Series& s : kSeries)
            std::printf("%s %d\n", s.name, s.frames);
        return 0;
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: pelmora-frame-art OUTDIR SERIES | --list\n");
        return 1;
    }
    for (const Series& s : kSeries) {
        if (args[1] != QLatin1String(s.name))
            continue;
        if (!QDir().mkpath(args[0])) {
            std::fprintf(stderr, "pelmora-frame-art: cannot create %s\n", qPrintable(args[0]));
            return 1;
        }
        for (int n = kFirstFrame; n < kFirstFrame + s.frames; ++n) {
            const QString path = QStringLiteral("%1/%2.png").arg(args[0]).arg(n);
            if (!Draw(s, n).save(path, "PNG")) {
                std::fprintf(stderr, "pelmora-frame-art: cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
        return 0;
    }
    std::fprintf(stderr, "pelmora-frame-art: no series %s\n", qPrintable(args[1]));
    return 1;
}
