// pelmora-layout: writes and dumps layout files and composes sticker sheets.
//   pelmora-layout write OUT.dat L,T,R,B [L,T,R,B ...]
//   pelmora-layout dump IN.dat
//   pelmora-layout sheet IN.dat OUT.bmp PHOTO.bmp [PHOTO.bmp ...]
#include "archive.h"
#include "bmp.h"
#include "stickersheet.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: pelmora-layout write OUT.dat L,T,R,B [L,T,R,B ...]\n"
                         "       pelmora-layout dump IN.dat\n"
                         "       pelmora-layout sheet IN.dat OUT.bmp PHOTO.bmp [PHOTO.bmp ...]\n");
    return 2;
}

// "L,T,R,B": four decimal 32-bit integers, nothing else.
bool parseRect(std::string_view text, SheetRect& rect)
{
    std::int32_t values[4];
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != ',')
                return false;
            ++p;
        }
        const auto [next, ec] = std::from_chars(p, end, values[i]);
        if (ec != std::errc())
            return false;
        p = next;
    }
    if (p != end)
        return false;
    rect = {values[0], values[1], values[2], values[3]};
    return true;
}

// Creates out with bytes; never replaces an existing file, and leaves no
// half-written one behind.
int writeNewFile(const char* out, const QByteArray& bytes)
{
    QFile file(QString::fromLocal8Bit(out));
    // NewOnly refuses an existing file atomically: a file someone made is
    // never overwritten.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        std::fprintf(stderr, "pelmora-layout: %s: %s\n", out,
                     file.exists() ? "already exists, not overwritten"
                                   : qPrintable(file.errorString()));
        return 1;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        std::fprintf(stderr, "pelmora-layout: %s: %s\n", out, qPrintable(file.errorString()));
        file.close();
        file.remove();
        return 1;
    }
    file.close();
    return 0;
}

int write(const char* out, int count, char** specs)
{
    std::vector<SheetRect> rects;
    for (int i = 0; i < count; ++i) {
        SheetRect r;
        if (!parseRect(specs[i], r)) {
            std::fprintf(stderr, "pelmora-layout: \"%s\" is not L,T,R,B\n", specs[i]);
            return 1;
        }
        rects.push_back(r);
    }
    return writeNewFile(out, pelmora::WriteLayoutArchive(rects));
}

// A photo as the booth makes them: a 320 x 240 BMP of 24 bits a pixel.
bool loadPhoto(const char* path, CPicture& photo)
{
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "pelmora-layout: %s: %s\n", path, qPrintable(file.errorString()));
        return false;
    }
    // Enough for the photo file and a little more, so a larger file is seen
    // as one without reading all of it.
    const QByteArray bytes = file.read(pelmora::kBmpHeaderSize + pelmora::kPhotoPixelBytes + 1);
    const bool bmp24 = bytes.size() >= pelmora::kBmpHeaderSize && bytes.startsWith("BM")
                       && bytes[28] == 24 && bytes[29] == 0;
    if (!bmp24 || !photo.LoadFromMemory(bytes.size(), bytes.constData())
        || photo.GetBitmap()->size() != QSize(pelmora::kPhotoWidth, pelmora::kPhotoHeight)) {
        std::fprintf(stderr, "pelmora-layout: %s: not a 320 x 240 24-bit BMP photo\n", path);
        return false;
    }
    return true;
}

int sheet(const char* in, const char* out, int count, char** photoPaths)
{
    const QString layoutPath = QString::fromLocal8Bit(in);
    // The sheet reads a missing layout as one without places; here that is
    // an error worth naming.
    if (!QFileInfo(layoutPath).isFile()) {
        std::fprintf(stderr, "pelmora-layout: %s: not a layout file\n", in);
        return 1;
    }
    try {
        CStickerSheet stickers(layoutPath);
        if (count > stickers.GetCapacity()) {
            std::fprintf(stderr, "pelmora-layout: %s has %d places for %d photos\n", in,
                         stickers.GetCapacity(), count);
            return 1;
        }
        for (int i = 0; i < count; ++i) {
            CPicture photo;
            if (!loadPhoto(photoPaths[i], photo))
                return 1;
            stickers.AddPhoto(photo);
        }
        // The booth measures pictures on a 96-dpi screen, where a photo
        // file without a resolution of its own is 320 x 240 pixels.
        QImage screen(1, 1, QImage::Format_RGB32);
        screen.setDotsPerMeterX(3780);
        screen.setDotsPerMeterY(3780);
        const CPicture composed =
            stickers.ComposeSheet(&screen, pelmora::kPhotoWidth, pelmora::kPhotoHeight);
        QByteArray pixels(pelmora::kPhotoPixelBytes, '\0');
        if (composed.CopyPixels(pixels.size(), pixels.data()) != pixels.size()) {
            std::fprintf(stderr, "pelmora-layout: the sheet could not be composed\n");
            return 1;
        }
        return writeNewFile(out, pelmora::MakeBmpFile(pelmora::kPhotoWidth, pelmora::kPhotoHeight, pixels));
    } catch (const CArchiveException& e) {
        std::fprintf(stderr, "pelmora-layout: %s: offset %llu: %s\n", in,
                     static_cast<unsigned long long>(e.offset()), e.reason().c_str());
        return 1;
    }
}

int dump(const char* in)
{
    QFile file(QString::fromLocal8Bit(in));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "pelmora-layout: %s: %s\n", in, qPrintable(file.errorString()));
        return 1;
    }
    const QByteArray bytes = file.read(pelmora::kMaxLayoutFileBytes);
    const pelmora::LayoutReadResult result = pelmora::ReadLayoutArchive(bytes);
    if (!result.ok()) {
        std::fprintf(stderr, "pelmora-layout: %s: offset %llu: %s\n", in,
                     static_cast<unsigned long long>(result.error->offset),
                     result.error->reason.c_str());
        return 1;
    }
    for (const SheetRect& r : result.rects)
        std::printf("%d %d %d %d\n", int(r.left), int(r.top), int(r.right), int(r.bottom));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string_view command = argv[1];
    if (command == "write" && argc >= 4)
        return write(argv[2], argc - 3, argv + 3);
    if (command == "dump" && argc == 3)
        return dump(argv[2]);
    if (command == "sheet" && argc >= 5)
        return sheet(argv[2], argv[3], argc - 4, argv + 4);
    return usage();
}
