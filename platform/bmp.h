#pragma once
#include <QByteArray>
#include <QImage>
#include <cstdint>

namespace pelmora {

inline constexpr int kPhotoWidth = 320;
inline constexpr int kPhotoHeight = 240;
inline constexpr int kBmpHeaderSize = 54; // 14-byte file header + 40-byte info header
inline constexpr int kPhotoPixelBytes = kPhotoWidth * kPhotoHeight * 3; // 230,400

// Bytes of one stored row of a 24-bit bitmap: three bytes a pixel, padded to
// a multiple of four.
constexpr int BmpRowStride(int width) { return ((width * 3 + 3) / 4) * 4; }

// The 54 header bytes of a 24-bit bottom-up BI_RGB bitmap: bfSize is
// pixelBytes + 54, bfOffBits 54, biSizeImage, resolutions and colour counts 0.
QByteArray BmpHeader(int width, int height, std::uint32_t pixelBytes);

// A complete BMP file: the header above followed by the given pixel array.
QByteArray MakeBmpFile(int width, int height, const QByteArray& pixels);

// The stored pixel array of an image as a 24-bit BMP holds it: bottom row
// first, blue-green-red, rows padded to four bytes.
QByteArray ImageToBmpPixels(const QImage& image);

// The inverse: an upright image from a 24-bit bottom-up pixel array whose rows
// are BmpRowStride(width) bytes apart. Returns a null image when the array is
// too short.
QImage BmpPixelsToImage(const char* pixels, qsizetype size, int width, int height);

} // namespace pelmora
