#pragma once
// The layout file: an object archive of a list of CRectangle. Readers take
// bytes and return the rectangles or the byte offset and reason of the first
// fault; the writer produces the bytes a layout file holds.
#include "rectangle.h"

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pelmora {

struct ArchiveError {
    std::uint64_t offset = 0; // where the faulty or missing field starts
    std::string reason;
};

struct LayoutReadResult {
    std::vector<SheetRect> rects;      // empty whenever error is set
    std::optional<ArchiveError> error;

    bool ok() const { return !error.has_value(); }
};

// Reads the archived list. The encoding: a 16-bit count (0xFFFF: a 32-bit
// count follows); per element a 16-bit tag: 0xFFFF defines the class
// (schema 1, name length below 64, name "CRectangle") and an object of it
// follows; 0x8000 + k is an object of the class at load-table entry k;
// 0x7FFF is followed by a 32-bit tag of the same meaning. Each object is 16
// bytes. The load table's entry 0 is "no object"; each class and each object
// takes the next entry. References to objects (tags without the top bit,
// including "no object") are refused: a layout never holds them, and the
// sheet must receive every place once and whole. Bytes after the last
// element are ignored.
LayoutReadResult ReadLayoutArchive(std::span<const std::uint8_t> bytes);
LayoutReadResult ReadLayoutArchive(const QByteArray& bytes);

// The bytes of a layout file holding rects in order. Every element after the
// first names the class at entry 1 with the short tag 0x8001: the class is
// always entry 1, so the long tag form is never needed however long the list.
QByteArray WriteLayoutArchive(std::span<const SheetRect> rects);

// Layout files are read up to this many bytes (room for 3.7 million places,
// far more than a 320 by 240 sheet can show); a list that needs more reads as
// cut short, and bytes beyond the bound are never loaded into memory.
inline constexpr qint64 kMaxLayoutFileBytes = 64LL * 1024 * 1024;

} // namespace pelmora
