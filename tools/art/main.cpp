// pelmora-art: draws every picture of the wizard pages, the two list bitmaps
// and the application icon. Usage: pelmora-art <res folder>. Writes
// <res>/pages/*.jpg, HelpImage.gif, <res>/bitmaps/139.bmp, 169.bmp and
// <res>/icons/128.png with the desktop icons <res>/icons/hicolor/<size>.png.
// The output depends only on this code and the
// Liberation fonts, which are loaded from their files so that no other font
// on the machine can change a glyph.
#include "gifwriter.h"
#include "paint.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainterPath>
#include <QTextStream>

using namespace pelmora::art;

namespace {

// Bitmap 139: the same small framed photo beside every frame series.
QImage framedPhoto()
{
    QImage img = canvas(71, 53, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xDD, 0xE0, 0xEC));
    p.drawRoundedRect(QRectF(8, 5, 60, 47), 4, 4);
    p.setBrush(vertical(2, 48, QColor(0xB9, 0xAE, 0xEE), QColor(0x7C, 0x8C, 0xDA)));
    p.setPen(QPen(QColor(0x4A, 0x58, 0xA8), 1));
    p.drawRoundedRect(QRectF(5.5, 2.5, 59, 45), 4, 4);
    drawSnapshot(p, QRectF(12, 9, 46, 32));
    p.setPen(QPen(QColor(0x4A, 0x58, 0xA8), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(11.5, 8.5, 47, 33));
    drawHeart(p, QPointF(9, 6), 4, QColor(0xFF, 0x8F, 0xB8));
    drawSparkle(p, QPointF(62, 44), 4, QColor(0xFF, 0xE7, 0x8A));
    return img;
}

// Bitmap 169: one cell of film, tiled behind the photo strip every 79 pixels.
QImage filmCell()
{
    QImage img = canvas(79, 96, QColor(0xC4, 0xC8, 0xD2));
    QPainter p(&img);
    // Perforations: 5 by 5, ten pixels apart, so the tiling keeps the rhythm.
    for (int i = 0; i < 8; ++i) {
        const int x = 3 + i * 10;
        p.fillRect(QRect(x, 2, 5, 5), QColor(0xF6, 0xF7, 0xFA));
        p.fillRect(QRect(x, 89, 5, 5), QColor(0xF6, 0xF7, 0xFA));
        p.fillRect(QRect(x, 7, 5, 1), QColor(0xA9, 0xAE, 0xBC));
        p.fillRect(QRect(x, 94, 5, 1), QColor(0xA9, 0xAE, 0xBC));
    }
    // The window where the thumbnail sits, and the pale band for its label.
    p.fillRect(QRect(3, 9, 73, 57), QColor(0xAE, 0xB3, 0xC0));
    p.fillRect(QRect(4, 10, 71, 55), QColor(0xE9, 0xEB, 0xF1));
    p.fillRect(QRect(0, 67, 79, 20), QColor(0xF1, 0xF2, 0xF7));
    p.fillRect(QRect(0, 67, 79, 1), QColor(0xDA, 0xDD, 0xE6));
    p.fillRect(QRect(0, 86, 79, 1), QColor(0xB3, 0xB8, 0xC5));
    p.fillRect(QRect(78, 0, 1, 96), QColor(0xB3, 0xB8, 0xC5));
    return img;
}

// Icon 128: a camera on a rounded tile with a heart sticker, drawn on a
// 256-pixel grid and painted at any size, so small icons stay sharp.
QImage appIcon(int size = 256)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    QLinearGradient g(0, 0, 256, 256);
    g.setColorAt(0, QColor(0x6F, 0x82, 0xDA));
    g.setColorAt(1, QColor(0x9B, 0x8F, 0xD6));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawRoundedRect(QRectF(14, 12, 228, 110), 42, 42);

    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(40, 84, 176, 124), 24, 24);
    p.drawRoundedRect(QRectF(70, 62, 56, 32), 10, 10);
    p.setBrush(QColor(0x3B, 0x46, 0x8E));
    p.drawEllipse(QPointF(128, 146), 46, 46);
    QRadialGradient glass(QPointF(116, 134), 40);
    glass.setColorAt(0, QColor(0x8F, 0xA0, 0xEA));
    glass.setColorAt(1, QColor(0x2A, 0x33, 0x78));
    p.setBrush(glass);
    p.drawEllipse(QPointF(128, 146), 36, 36);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawEllipse(QPointF(114, 132), 10, 10);
    p.setBrush(QColor(0xFF, 0xD4, 0x5C));
    p.drawEllipse(QPointF(190, 106), 8, 8);
    drawHeart(p, QPointF(204, 200), 26, QColor(0xFF, 0x7E, 0xAE));
    drawSparkle(p, QPointF(52, 52), 14, QColor(255, 255, 255, 230));
    return img;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: pelmora-art <res folder>\n";
        return 2;
    }
    if (!loadFonts()) {
        QTextStream(stderr) << "pelmora-art: the Liberation Sans fonts are missing "
                               "(package fonts-liberation)\n";
        return 1;
    }
    const QDir res(QString::fromLocal8Bit(argv[1]));
    const QString pages = res.filePath(QStringLiteral("pages"));
    const QString bitmaps = res.filePath(QStringLiteral("bitmaps"));
    const QString icons = res.filePath(QStringLiteral("icons"));
    for (const QString& d : {pages, bitmaps, icons})
        if (!QDir().mkpath(d)) {
            QTextStream(stderr) << "pelmora-art: cannot create " << d << "\n";
            return 1;
        }
    auto page = [&](const QString& name) { return pages + QLatin1Char('/') + name; };

    saveJpeg(title(), page(QStringLiteral("Title.jpg")));
    saveJpeg(borderColumn(4, 500, {kFrame, QColor(0x8C, 0x98, 0xD2), QColor(0xB4, 0xBC, 0xE2),
                                   QColor(0xD4, 0xD9, 0xEE)}),
             page(QStringLiteral("LeftBorder.jpg")));
    saveJpeg(borderColumn(3, 500, {QColor(0xD4, 0xD9, 0xEE), QColor(0x9A, 0xA5, 0xD8), kFrame}),
             page(QStringLiteral("RightBorder.jpg")));
    saveJpeg(bottomBorder(), page(QStringLiteral("BottomBorder.jpg")));
    saveJpeg(buttonBackground(), page(QStringLiteral("ButtonBackground.jpg")));

    saveJpeg(button(93, 22, QStringLiteral("Help"), ButtonKind::Normal, Backdrop::Bar),
             page(QStringLiteral("Help.jpg")));
    saveJpeg(button(93, 22, QStringLiteral("< Back"), ButtonKind::Normal, Backdrop::Bar),
             page(QStringLiteral("Back.jpg")));
    saveJpeg(button(93, 22, QStringLiteral("< Back"), ButtonKind::Disabled, Backdrop::Bar),
             page(QStringLiteral("Back_Disable.jpg")));
    saveJpeg(button(93, 22, QStringLiteral("Next >"), ButtonKind::Primary, Backdrop::Bar),
             page(QStringLiteral("Next.jpg")));
    saveJpeg(button(93, 22, QStringLiteral("Next >"), ButtonKind::Disabled, Backdrop::Bar),
             page(QStringLiteral("Next_Disable.jpg")));
    saveJpeg(button(93, 22, QStringLiteral("Cancel"), ButtonKind::Normal, Backdrop::Bar),
             page(QStringLiteral("Cancel.jpg")));

    saveJpeg(sidePanel(QStringLiteral("Welcome"), 0,
                       QStringLiteral("Four easy steps to a sheet of your own photo stickers.")),
             page(QStringLiteral("WelcomePanel.jpg")));
    saveJpeg(sidePanel(QStringLiteral("Layout"), 1,
                       QStringLiteral("Choose how your photos sit on the sticker sheet.")),
             page(QStringLiteral("LayoutPanel.jpg")));
    saveJpeg(sidePanel(QStringLiteral("Frames"), 2,
                       QStringLiteral("Pick a series of fun frames to dress up every photo.")),
             page(QStringLiteral("SeriesPanel.jpg")));
    saveJpeg(cute(), page(QStringLiteral("Cute.jpg")));

    saveJpeg(corner(Qt::TopLeftCorner), page(QStringLiteral("TopLeft.jpg")));
    saveJpeg(corner(Qt::TopRightCorner), page(QStringLiteral("TopRight.jpg")));
    saveJpeg(corner(Qt::BottomLeftCorner), page(QStringLiteral("BottomLeft.jpg")));
    saveJpeg(corner(Qt::BottomRightCorner), page(QStringLiteral("BottomRight.jpg")));
    saveJpeg(bottomRight2(), page(QStringLiteral("BottomRight2.jpg")));
    saveJpeg(middleBar(), page(QStringLiteral("MiddleBar.jpg")));
    saveJpeg(bottomBar(), page(QStringLiteral("BottomBar.jpg")));
    saveJpeg(middleBar2(), page(QStringLiteral("MiddleBar2.jpg")));

    saveJpeg(button(273, 22, QStringLiteral("Get Started"), ButtonKind::Primary, Backdrop::Panel,
                     glyphArrowRight),
             page(QStringLiteral("GetStarted.jpg")));
    saveBytes(EncodeGif(helpImage()), page(QStringLiteral("HelpImage.gif")));

    saveJpeg(videoWindow(), page(QStringLiteral("VideoWindow.jpg")));
    saveJpeg(button(239, 22, QStringLiteral("Capture it!"), ButtonKind::Primary, Backdrop::Page,
                    glyphCamera),
             page(QStringLiteral("CaptureIt.jpg")));
    saveJpeg(configureIcon(), page(QStringLiteral("Configure.jpg")));
    saveJpeg(button(104, 22, QStringLiteral("Print"), ButtonKind::Normal, Backdrop::Page, glyphPrinter),
             page(QStringLiteral("PrintCaptured.jpg")));
    saveJpeg(button(104, 22, QStringLiteral("Export"), ButtonKind::Normal, Backdrop::Page, glyphExport),
             page(QStringLiteral("ExportCaptured.jpg")));
    saveJpeg(button(104, 22, QStringLiteral("Delete"), ButtonKind::Normal, Backdrop::Page, glyphDelete),
             page(QStringLiteral("DeleteSelected.jpg")));

    saveBmp24(framedPhoto(), bitmaps + QStringLiteral("/139.bmp"));
    saveBmp24(filmCell(), bitmaps + QStringLiteral("/169.bmp"));
    const QString iconPath = icons + QStringLiteral("/128.png");
    report(appIcon().save(iconPath, "PNG"), iconPath);
    // The desktop's icon theme (hicolor) at the sizes menus and docks ask for.
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = icons + QStringLiteral("/hicolor/%1.png").arg(size);
        report(QDir().mkpath(icons + QStringLiteral("/hicolor")) && appIcon(size).save(path, "PNG"), path);
    }

    return g_failures == 0 ? 0 : 1;
}
