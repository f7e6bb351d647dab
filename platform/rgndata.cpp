#include "rgndata.h"

#include <algorithm>
#include <vector>

namespace pelmora {

namespace {

std::uint32_t ReadU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::int32_t ReadI32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(ReadU32(p));
}

void PutU32(QByteArray& out, std::uint32_t v)
{
    const char b[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char(v >> 24)};
    out.append(b, 4);
}

void PutI32(QByteArray& out, std::int32_t v)
{
    PutU32(out, static_cast<std::uint32_t>(v));
}

// GDI keeps region coordinates within 27 bits; clamping there also keeps
// QRect's width and height arithmetic inside int.
constexpr std::int32_t kCoordLimit = 1 << 27;

std::int32_t Clamp(std::int32_t v)
{
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

bool Fail(QString* error, std::uint64_t offset, const char* why)
{
    if (error)
        *error = QStringLiteral("region data offset 0x%1: %2").arg(offset, 0, 16).arg(QLatin1String(why));
    return false;
}

} // namespace

// The region in the platform's canonical banded form: bands of equal height
// whose x intervals match the band above and touch it are merged, as GDI
// does. QRegion's union leaves such bands apart, and both QRegion's equality
// and the rectangle count written to RGNDATA depend on the representation.
QRegion Coalesced(const QRegion& region)
{
    struct Band {
        int top, bottom;
        std::vector<std::pair<int, int>> spans;
    };
    std::vector<Band> bands;
    for (const QRect& r : region) {
        const int bottom = r.top() + r.height();
        if (bands.empty() || bands.back().top != r.top() || bands.back().bottom != bottom)
            bands.push_back({r.top(), bottom, {}});
        bands.back().spans.emplace_back(r.left(), r.left() + r.width());
    }
    std::vector<Band> merged;
    for (Band& band : bands) {
        if (!merged.empty() && merged.back().bottom == band.top && merged.back().spans == band.spans)
            merged.back().bottom = band.bottom;
        else
            merged.push_back(std::move(band));
    }
    std::vector<QRect> rects;
    for (const Band& band : merged)
        for (const auto& [left, right] : band.spans)
            rects.emplace_back(left, band.top, right - left, band.bottom - band.top);
    QRegion out;
    out.setRects(rects.data(), int(rects.size()));
    return out;
}

QRegion UniteRects(std::span<const QRect> rects)
{
    std::vector<QRegion> level;
    level.reserve(rects.size());
    for (const QRect& r : rects)
        if (!r.isEmpty())
            level.emplace_back(r);
    while (level.size() > 1) {
        std::vector<QRegion> next;
        next.reserve(level.size() / 2 + 1);
        for (std::size_t i = 0; i + 1 < level.size(); i += 2)
            next.push_back(level[i].united(level[i + 1]));
        if (level.size() % 2)
            next.push_back(std::move(level.back()));
        level = std::move(next);
    }
    return level.empty() ? QRegion() : Coalesced(level.front());
}

std::optional<QRegion> ReadRegionData(std::span<const std::uint8_t> bytes, QString* error)
{
    if (bytes.size() < kRgnHeaderSize) {
        Fail(error, bytes.size(), "header needs 32 bytes");
        return std::nullopt;
    }
    const std::uint8_t* p = bytes.data();
    if (ReadU32(p) != kRgnHeaderSize) {
        Fail(error, 0, "dwSize is not 32");
        return std::nullopt;
    }
    if (ReadU32(p + 4) != kRdhRectangles) {
        Fail(error, 4, "iType is not RDH_RECTANGLES");
        return std::nullopt;
    }
    const std::uint32_t count = ReadU32(p + 8);
    // Widened so that a huge nCount cannot wrap the product.
    if (std::uint64_t(kRgnHeaderSize) + std::uint64_t(count) * kRgnRectSize > bytes.size()) {
        Fail(error, 8, "nCount needs more bytes than the data holds");
        return std::nullopt;
    }
    std::vector<QRect> rects;
    rects.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* r = p + kRgnHeaderSize + std::size_t(i) * kRgnRectSize;
        const std::int32_t left = Clamp(ReadI32(r)), top = Clamp(ReadI32(r + 4));
        const std::int32_t right = Clamp(ReadI32(r + 8)), bottom = Clamp(ReadI32(r + 12));
        // The platform silently drops rectangles with no area.
        if (left < right && top < bottom)
            rects.emplace_back(left, top, right - left, bottom - top);
    }
    return UniteRects(rects);
}

QByteArray WriteRegionData(const QRegion& input)
{
    const QRegion region = Coalesced(input);
    const int count = region.rectCount();
    QByteArray out;
    out.reserve(int(kRgnHeaderSize) + count * int(kRgnRectSize));
    PutU32(out, kRgnHeaderSize);
    PutU32(out, kRdhRectangles);
    PutU32(out, std::uint32_t(count));
    PutU32(out, std::uint32_t(count) * kRgnRectSize);
    const QRect bound = region.boundingRect();
    if (region.isEmpty()) {
        for (int i = 0; i < 4; ++i)
            PutU32(out, 0);
    } else {
        PutI32(out, bound.left());
        PutI32(out, bound.top());
        PutI32(out, bound.left() + bound.width());
        PutI32(out, bound.top() + bound.height());
    }
    for (const QRect& r : region) {
        PutI32(out, r.left());
        PutI32(out, r.top());
        PutI32(out, r.left() + r.width());
        PutI32(out, r.top() + r.height());
    }
    return out;
}

QRegion OpaqueRegion(const QImage& picture)
{
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    std::vector<QRect> runs;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        int x = 0;
        while (x < argb.width()) {
            while (x < argb.width() && qAlpha(row[x]) <= 127)
                ++x;
            const int start = x;
            while (x < argb.width() && qAlpha(row[x]) > 127)
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
    }
    return UniteRects(runs);
}

} // namespace pelmora
