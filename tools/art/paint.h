#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QString>

#include <functional>

namespace pelmora::art {

// The pages' own colours: body and panel, as the HTML sets them.
inline const QColor kPage(0xE1, 0xE5, 0xF1);
inline const QColor kPanel(0xF2, 0xF3, 0xF8);
inline const QColor kInk(0x26, 0x30, 0x6A);
inline const QColor kBlue(0x55, 0x69, 0xC0);
inline const QColor kFrame(0x6A, 0x78, 0xBE);

// The Liberation family loaded by loadFonts, and the count of files that
// could not be written (the program's exit status).
extern QString g_family;
extern int g_failures;

bool loadFonts();
QFont uiFont(int pixelSize, bool bold = false, bool italic = false);
QImage canvas(int w, int h, const QColor& fill);
void report(bool ok, const QString& path);
void saveJpeg(const QImage& img, const QString& path);
void saveBytes(const QByteArray& bytes, const QString& path);
void saveBmp24(const QImage& img, const QString& path);
QLinearGradient vertical(qreal top, qreal bottom, const QColor& a, const QColor& b);
void paintBarBand(QPainter& p, const QRect& r);

enum class ButtonKind { Normal, Primary, Disabled };
enum class Backdrop { Bar, Page, Panel };
using Glyph = std::function<void(QPainter&, const QRectF&, const QColor&)>;
QImage button(int w, int h, const QString& label, ButtonKind kind, Backdrop backdrop,
              const Glyph& glyph = {});
void glyphCamera(QPainter& p, const QRectF& r, const QColor& c);
void glyphPrinter(QPainter& p, const QRectF& r, const QColor& c);
void glyphExport(QPainter& p, const QRectF& r, const QColor& c);
void glyphDelete(QPainter& p, const QRectF& r, const QColor& c);
void glyphArrowRight(QPainter& p, const QRectF& r, const QColor& c);
void drawSparkle(QPainter& p, QPointF c, qreal size, const QColor& colour);
void drawHeart(QPainter& p, QPointF c, qreal size, const QColor& colour);
void drawSnapshot(QPainter& p, const QRectF& r);

// The pictures of the wizard pages.
QImage title();
QImage borderColumn(int w, int h, const QList<QColor>& columns);
QImage bottomBorder();
QImage buttonBackground();
QImage sidePanel(const QString& heading, int current, const QString& hint);
QImage cute();
QImage corner(Qt::Corner which);
QImage bottomRight2();
QImage middleBar();
QImage middleBar2();
QImage bottomBar();
QImage helpImage();
QImage configureIcon();
QImage videoWindow();

} // namespace pelmora::art
