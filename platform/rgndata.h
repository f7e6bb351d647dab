#pragma once
// RGNDATA: the platform's flat form of a region, as GetRegionData writes it
// and ExtCreateRegion reads it. Frame-series packages store each frame's
// outline in this form.
#include <QByteArray>
#include <QImage>
#include <QRegion>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

namespace pelmora {

inline constexpr std::uint32_t kRgnHeaderSize = 32; // sizeof(RGNDATAHEADER)
inline constexpr std::uint32_t kRgnRectSize = 16;   // sizeof(RECT): four int32
inline constexpr std::uint32_t kRdhRectangles = 1;  // RDH_RECTANGLES

// ExtCreateRegion(NULL, size, bytes): the header must say dwSize 32 and
// iType RDH_RECTANGLES, and the bytes must hold nCount rectangles after it.
// Empty rectangles are skipped; nRgnSize and rcBound are not trusted.
// nullopt with a one-line reason naming the offset on malformed data.
std::optional<QRegion> ReadRegionData(std::span<const std::uint8_t> bytes, QString* error = nullptr);

// GetRegionData: the region in canonical form (see Coalesced), then the
// header (nRgnSize = 16 * nCount, rcBound the bounding rectangle, all zero for
// an empty region) and the rectangles in y-x banded order, edges right and
// bottom exclusive.
QByteArray WriteRegionData(const QRegion& region);

// The union of many rectangles, merged pairwise so that a large outline does
// not cost one full region rebuild per rectangle, in the platform's
// canonical form (see Coalesced).
QRegion UniteRects(std::span<const QRect> rects);

// The same area with touching bands of identical x intervals merged into one,
// the form GetRegionData reports.
QRegion Coalesced(const QRegion& region);

// The pixels whose alpha is above half, as a region in the picture's own
// coordinates (origin top-left, y downwards).
QRegion OpaqueRegion(const QImage& picture);

} // namespace pelmora
