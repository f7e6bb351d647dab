#include "gifwriter.h"

#include <QHash>
#include <QList>

namespace pelmora::art {

namespace {

void putLe16(QByteArray& out, int v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

// LSB-first bit packer for the LZW code stream.
class BitWriter {
public:
    void put(int code, int width)
    {
        m_acc |= quint32(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_bytes.append(char(m_acc & 0xff));
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_bits > 0)
            m_bytes.append(char(m_acc & 0xff));
        m_acc = 0;
        m_bits = 0;
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_acc = 0;
    int m_bits = 0;
};

} // namespace

QByteArray EncodeGif(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0 || w > 0xffff || h > 0xffff)
        return {};

    QList<QRgb> palette;
    QHash<QRgb, int> indexOf;
    QByteArray indices;
    indices.reserve(qsizetype(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb c = row[x] | 0xff000000u;
            auto it = indexOf.constFind(c);
            if (it == indexOf.cend()) {
                if (palette.size() == 256)
                    return {};
                it = indexOf.insert(c, int(palette.size()));
                palette.append(c);
            }
            indices.append(char(it.value()));
        }
    }

    QByteArray out("GIF87a");
    putLe16(out, w);
    putLe16(out, h);
    out.append(char(0xF7)); // global colour table of 2^(7+1) = 256 entries, 8-bit colour
    out.append('\0');       // background colour index
    out.append('\0');       // no aspect ratio
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }

    out.append(',');
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, w);
    putLe16(out, h);
    out.append('\0'); // no local table, not interlaced

    // Every pixel goes out as a literal 9-bit code. A decoder adds a table
    // entry per code after the first; a clear code every 250 literals keeps
    // the table below 512 entries, so the code width never grows to 10 bits.
    constexpr int kMinCodeSize = 8;
    constexpr int kClear = 1 << kMinCodeSize;
    constexpr int kEnd = kClear + 1;
    constexpr int kWidth = kMinCodeSize + 1;
    constexpr int kRun = 250;
    BitWriter bits;
    for (qsizetype i = 0; i < indices.size(); ++i) {
        if (i % kRun == 0)
            bits.put(kClear, kWidth);
        bits.put(quint8(indices[i]), kWidth);
    }
    bits.put(kEnd, kWidth);
    const QByteArray stream = bits.finish();

    out.append(char(kMinCodeSize));
    for (qsizetype pos = 0; pos < stream.size(); pos += 255) {
        const qsizetype n = qMin<qsizetype>(255, stream.size() - pos);
        out.append(char(n));
        out.append(stream.mid(pos, n));
    }
    out.append('\0'); // block terminator
    out.append(';');  // trailer
    return out;
}

} // namespace pelmora::art
