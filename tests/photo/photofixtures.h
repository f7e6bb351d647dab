#pragma once
// Patterned pictures, photos decoded as the booth makes them, and devices to measure them on.
#include "../package/bytes.h"
#include "bmp.h"
#include "picture.h"

#include <QImage>

namespace fixtures {

inline constexpr auto readFile = testbytes::ReadAll;
inline constexpr auto writeFile = testbytes::WriteAll;

// Every pixel differs from its neighbours and from another seed's: a pixel from the wrong place shows.
inline QImage patternImage(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed * 50) & 0xFF, (y * 5 + seed * 31) & 0xFF,
                                      (x * 3 + y * 11 + seed * 97) & 0xFF));
    return image;
}

// Decoded from the image's 24-bit BMP without a resolution, as the booth's photos are.
inline CPicture pictureOf(const QImage& image)
{
    const QByteArray bmp =
        pelmora::MakeBmpFile(image.width(), image.height(), pelmora::ImageToBmpPixels(image));
    CPicture picture;
    picture.LoadFromMemory(bmp.size(), bmp.constData());
    return picture;
}

// A paint device of a chosen logical resolution; 96 is the booth's screen.
inline QImage deviceAt(int dpi)
{
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(qRound(dpi / 0.0254));
    device.setDotsPerMeterY(qRound(dpi / 0.0254));
    return device;
}

} // namespace fixtures
