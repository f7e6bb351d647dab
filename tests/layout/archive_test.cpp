#include "archive.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

using pelmora::ReadLayoutArchive;
using pelmora::WriteLayoutArchive;
using Rects = std::vector<SheetRect>;

// Archive bytes spelled out independently of the writer.
QByteArray le16(std::uint16_t v) { return QByteArray(1, char(v)) + char(v >> 8); }
QByteArray le32(std::uint32_t v) { return le16(std::uint16_t(v)) + le16(std::uint16_t(v >> 16)); }

QByteArray rect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) { return le32(l) + le32(t) + le32(r) + le32(b); }

QByteArray classHeader(std::uint16_t schema = 1, const QByteArray& name = "CRectangle")
{
    return le16(0xFFFF) + le16(schema) + le16(std::uint16_t(name.size())) + name;
}

const QByteArray kFirst = classHeader() + rect(0, 0, 1, 1); // 32 bytes

TEST(LayoutArchive, ThreeRectanglesByteForByte)
{
    const QByteArray file = QByteArray::fromHex("0300"                                     // count 3
                                                "ffff01000a00" "4352656374616e676c65"      // new class, schema 1, CRectangle
                                                "00000000" "00000000" "a0000000" "78000000" // 0, 0, 160, 120
                                                "0180"                                     // object of class entry 1
                                                "a0000000" "78000000" "40010000" "f0000000" // 160, 120, 320, 240
                                                "0180" "fbffffff" "09000000" "64000000" "32000000"); // -5, 9, 100, 50
    const Rects three = {{0, 0, 160, 120}, {160, 120, 320, 240}, {-5, 9, 100, 50}};
    EXPECT_EQ(WriteLayoutArchive(three), file);
    EXPECT_EQ(ReadLayoutArchive(file).rects, three);
    EXPECT_EQ(WriteLayoutArchive({}), QByteArray("\0\0", 2));
}

struct ReadCase {
    const char* name;
    QByteArray bytes;
    Rects rects;
    std::uint64_t offset = 0;
    const char* reason = nullptr;
};

TEST(LayoutArchive, RarerFormsAreReadAndMalformedFilesNameTheOffsetAndTheReason)
{
    const QByteArray three = kFirst + le16(0x8001) + rect(1, 1, 2, 2) + le16(0x8001) + rect(2, 2, 3, 3);
    const Rects threeRects = {{0, 0, 1, 1}, {1, 1, 2, 2}, {2, 2, 3, 3}};
    const std::vector<ReadCase> cases = {
        {"empty", QByteArray("\0\0", 2), {}},
        {"extreme coordinates", le16(1) + classHeader() + rect(INT32_MIN, INT32_MAX, -1, 0),
         {{INT32_MIN, INT32_MAX, -1, 0}}},
        {"32-bit count", le16(0xFFFF) + le32(3) + three, threeRects},
        // Bytes after the last element are not looked at, nor is a second list.
        {"trailing bytes", le16(3) + three + QByteArray("\xFF\xFF\x00garbage", 10), threeRects},
        // 0x7FFF and the 32-bit class tag 0x80000001 is the same as 0x8001.
        {"long tag", le16(2) + kFirst + le16(0x7FFF) + le32(0x80000001u) + rect(2, 2, 2, 2),
         {{0, 0, 1, 1}, {2, 2, 2, 2}}},
        // A second class definition takes the next entry (3), for later elements to name.
        {"class defined twice", le16(3) + kFirst + classHeader() + rect(2, 2, 2, 2) + le16(0x8003) + rect(3, 3, 3, 3),
         {{0, 0, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}}},
        // The count's bound: count 2 needs 36 bytes after the count.
        {"exactly the bytes for the count", le16(2) + kFirst + le16(0x8001) + rect(1, 1, 2, 2),
         {{0, 0, 1, 1}, {1, 1, 2, 2}}},
        {"half a count", QByteArray("\x01", 1), {}, 0, "inside the count"},
        {"half a 32-bit count", le16(0xFFFF) + le16(1), {}, 2, "inside the 32-bit count"},
        // The count check passes (the second element redefines the class).
        {"inside a tag", le16(3) + kFirst + kFirst + QByteArray(1, '\x01'), {}, 66, "inside an element tag"},
        {"inside a class header", le16(2) + kFirst + le16(0xFFFF) + le16(1), {}, 38, "inside a class header"},
        {"inside a long tag", le16(2) + kFirst + le16(0x7FFF) + le16(1), {}, 36, "inside a 32-bit element tag"},
        {"inside a class name", le16(2) + kFirst + kFirst.left(10), {}, 40, "inside a class name"},
        {"last rectangle one byte short", (le16(3) + three).chopped(1), {}, 54, "rectangle 3"},
        {"one byte below the count's bound", le16(2) + kFirst + le16(0x8001) + QByteArray(1, '\0'), {}, 0, "exceeds"},
        {"huge 32-bit count", le16(0xFFFF) + le32(0xFFFFFFFFu) + kFirst, {}, 0, "exceeds"},
        {"count 0xFFFE", le16(0xFFFE) + kFirst, {}, 0, "exceeds"},
        // The name length is judged before any name byte is read.
        {"name length 64", le16(1) + le16(0xFFFF) + le16(1) + le16(64) + QByteArray(16, '\0'), {}, 6, "64 or more"},
        {"name length 0xFFFF", le16(1) + le16(0xFFFF) + le16(1) + le16(0xFFFF) + QByteArray(16, '\0'), {}, 6, "64 or more"},
        {"63-byte name", le16(1) + classHeader(1, QByteArray(63, 'C')) + rect(0, 0, 1, 1), {}, 8, "is not CRectangle"},
        {"upper case", le16(1) + classHeader(1, "CRECTANGLE") + rect(0, 0, 1, 1), {}, 8, "is not CRectangle"},
        {"name cut", le16(1) + classHeader(1, "CRectangl") + rect(0, 0, 1, 1), {}, 8, "is not CRectangle"},
        {"schema 2", le16(1) + classHeader(2) + rect(0, 0, 1, 1), {}, 4, "schema 2"},
        {"schema 0", le16(1) + classHeader(0) + rect(0, 0, 1, 1), {}, 4, "schema 0"},
        {"class before any", le16(1) + le16(0x8001) + rect(0, 0, 1, 1), {}, 2, "not a class"},
        {"class entry 0", le16(2) + kFirst + le16(0x8000) + rect(0, 0, 1, 1), {}, 34, "entry 0"},
        {"class entry not yet read", le16(2) + kFirst + le16(0x8003) + rect(0, 0, 1, 1), {}, 34, "entry 3"},
        {"class entry of an object", le16(2) + kFirst + le16(0x8002) + rect(0, 0, 1, 1), {}, 34, "entry 2"},
        {"long class tag to nothing", le16(2) + kFirst + le16(0x7FFF) + le32(0xFFFFFFFFu) + rect(0, 0, 1, 1), {},
         34, "not a class"},
        {"reference to no object", le16(2) + kFirst + le16(0x0000) + rect(0, 0, 1, 1), {}, 34, "no object"},
        {"reference to the rectangle", le16(2) + kFirst + le16(0x0002) + rect(0, 0, 1, 1), {}, 34, "entry 2"},
        {"reference to the class", le16(2) + kFirst + le16(0x0001) + rect(0, 0, 1, 1), {}, 34, "entry 1"},
        {"long reference", le16(2) + kFirst + le16(0x7FFF) + le32(2) + rect(0, 0, 1, 1), {}, 34, "entry 2"},
    };
    for (const ReadCase& c : cases) {
        const auto result = ReadLayoutArchive(c.bytes);
        EXPECT_EQ(result.rects, c.rects) << c.name;
        ASSERT_EQ(result.ok(), c.reason == nullptr) << c.name << ": " << (result.ok() ? "" : result.error->reason);
        if (c.reason) {
            EXPECT_EQ(result.error->offset, c.offset) << c.name << ": " << result.error->reason;
            EXPECT_NE(result.error->reason.find(c.reason), std::string::npos) << c.name << ": " << result.error->reason;
        }
    }
}

TEST(LayoutArchive, RoundTripWithLongCount)
{
    for (const std::size_t n : {std::size_t(0xFFFE), std::size_t(0xFFFF), std::size_t(70000)}) {
        Rects rects(n);
        for (std::size_t i = 0; i < n; ++i)
            rects[i] = {std::int32_t(i), -std::int32_t(i), std::int32_t(i % 320), std::int32_t(i * 7)};
        const QByteArray bytes = WriteLayoutArchive(rects);
        const QByteArray count = n >= 0xFFFF ? le16(0xFFFF) + le32(std::uint32_t(n)) : le16(std::uint16_t(n));
        EXPECT_EQ(bytes.size(), qsizetype(count.size() + 32 + 18 * (n - 1))) << n;
        EXPECT_TRUE(bytes.startsWith(count)) << n;
        // Later elements name the class at entry 1 in the short form, also past entry 0x7FFF.
        EXPECT_EQ(bytes.right(18).left(2), le16(0x8001));
        EXPECT_EQ(ReadLayoutArchive(bytes).rects, rects) << n;
    }
}

} // namespace
