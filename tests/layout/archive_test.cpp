#include "archive.h"

#include <QByteArray>
#include <QtEndian>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using pelmora::ReadLayoutArchive;
using pelmora::WriteLayoutArchive;

// Little helpers that spell out archive bytes independently of the writer.
QByteArray le16(std::uint16_t v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le32(std::uint32_t v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray rect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b)
{
    return le32(std::uint32_t(l)) + le32(std::uint32_t(t)) + le32(std::uint32_t(r)) + le32(std::uint32_t(b));
}

QByteArray classHeader(std::uint16_t schema = 1, const QByteArray& name = "CRectangle")
{
    return le16(0xFFFF) + le16(schema) + le16(std::uint16_t(name.size())) + name;
}

void expectError(const QByteArray& bytes, std::uint64_t offset, const char* reasonPart)
{
    const auto result = ReadLayoutArchive(bytes);
    ASSERT_FALSE(result.ok()) << "accepted " << bytes.toHex().constData();
    EXPECT_TRUE(result.rects.empty());
    EXPECT_EQ(result.error->offset, offset) << result.error->reason;
    EXPECT_NE(result.error->reason.find(reasonPart), std::string::npos) << result.error->reason;
}

const std::vector<SheetRect> kThree = {{0, 0, 160, 120}, {160, 120, 320, 240}, {-5, 9, 100, 50}};

TEST(LayoutArchive, ThreeRectanglesByteForByte)
{
    const unsigned char expected[70] = {
        0x03, 0x00,                                                 // count 3
        0xFF, 0xFF, 0x01, 0x00, 0x0A, 0x00,                         // new class, schema 1, length 10
        'C', 'R', 'e', 'c', 't', 'a', 'n', 'g', 'l', 'e',           //
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,             // 0, 0,
        0xA0, 0x00, 0x00, 0x00, 0x78, 0x00, 0x00, 0x00,             // 160, 120
        0x01, 0x80,                                                 // object of class entry 1
        0xA0, 0x00, 0x00, 0x00, 0x78, 0x00, 0x00, 0x00,             // 160, 120,
        0x40, 0x01, 0x00, 0x00, 0xF0, 0x00, 0x00, 0x00,             // 320, 240
        0x01, 0x80,                                                 //
        0xFB, 0xFF, 0xFF, 0xFF, 0x09, 0x00, 0x00, 0x00,             // -5, 9,
        0x64, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00};            // 100, 50
    const QByteArray file(reinterpret_cast<const char*>(expected), 70);

    EXPECT_EQ(WriteLayoutArchive(kThree), file);
    const auto result = ReadLayoutArchive(file);
    ASSERT_TRUE(result.ok()) << result.error->reason;
    EXPECT_EQ(result.rects, kThree);
}

TEST(LayoutArchive, EmptyAndSingle)
{
    EXPECT_EQ(WriteLayoutArchive({}), QByteArray("\0\0", 2));
    const auto empty = ReadLayoutArchive(QByteArray("\0\0", 2));
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty.rects.empty());

    // 2 + 32 bytes with count 1: one rectangle.
    const QByteArray one = le16(1) + classHeader() + rect(1, 2, 3, 4);
    ASSERT_EQ(one.size(), 34);
    const auto result = ReadLayoutArchive(one);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.rects, (std::vector<SheetRect>{{1, 2, 3, 4}}));
}

TEST(LayoutArchive, ExtremeCoordinatesKeepTheirSign)
{
    const std::vector<SheetRect> rects = {{INT32_MIN, INT32_MAX, -1, 0}};
    const auto result = ReadLayoutArchive(WriteLayoutArchive(rects));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.rects, rects);
}

TEST(LayoutArchive, LongCountAndExtraBytes)
{
    const QByteArray body = classHeader() + rect(0, 0, 1, 1) + le16(0x8001) + rect(1, 1, 2, 2)
                            + le16(0x8001) + rect(2, 2, 3, 3);
    const auto longForm = ReadLayoutArchive(le16(0xFFFF) + le32(3) + body);
    ASSERT_TRUE(longForm.ok()) << longForm.error->reason;
    EXPECT_EQ(longForm.rects.size(), 3u);
    EXPECT_EQ(longForm.rects[2], (SheetRect{2, 2, 3, 3}));

    // Bytes after the last element are not looked at.
    const auto trailing = ReadLayoutArchive(le16(3) + body + QByteArray("\xFF\xFF\x00garbage", 10));
    ASSERT_TRUE(trailing.ok());
    EXPECT_EQ(trailing.rects, longForm.rects);
    // Nor is a second list: a count of 1 reads one element of three.
    const auto fewer = ReadLayoutArchive(le16(1) + body);
    ASSERT_TRUE(fewer.ok());
    EXPECT_EQ(fewer.rects.size(), 1u);
}

TEST(LayoutArchive, LongTagFormAndClassRedefinition)
{
    // 0x7FFF followed by the 32-bit class tag 0x80000001 is the same as 0x8001.
    const QByteArray longTag = le16(2) + classHeader() + rect(1, 1, 1, 1) + le16(0x7FFF)
                               + le32(0x80000001u) + rect(2, 2, 2, 2);
    const auto result = ReadLayoutArchive(longTag);
    ASSERT_TRUE(result.ok()) << result.error->reason;
    EXPECT_EQ(result.rects[1], (SheetRect{2, 2, 2, 2}));

    // A second class definition takes the next entry (3 here), which later
    // elements may name.
    const QByteArray twice = le16(3) + classHeader() + rect(1, 1, 1, 1) + classHeader()
                             + rect(2, 2, 2, 2) + le16(0x8003) + rect(3, 3, 3, 3);
    const auto redefined = ReadLayoutArchive(twice);
    ASSERT_TRUE(redefined.ok()) << redefined.error->reason;
    EXPECT_EQ(redefined.rects.size(), 3u);
}

TEST(LayoutArchive, CutShort)
{
    const QByteArray first = classHeader() + rect(0, 0, 1, 1);
    const QByteArray whole = WriteLayoutArchive(kThree);
    // Before the count is complete, and before the 32-bit count is complete.
    expectError(QByteArray(), 0, "inside the count");
    expectError(QByteArray("\x01", 1), 0, "inside the count");
    expectError(le16(0xFFFF) + QByteArray("\x01\x00", 2), 2, "inside the 32-bit count");
    // Inside a tag: the count check passes (3 elements, 65 >= 54 bytes) because
    // the second element redefines the class, and the third tag has one byte.
    expectError(le16(3) + first + first + QByteArray(1, '\x01'), 66, "inside an element tag");
    // Inside a class header: the length after the schema is missing.
    expectError(le16(2) + first + le16(0xFFFF) + le16(1), 38, "inside a class header");
    // Inside a long tag's 32-bit value.
    expectError(le16(2) + first + le16(0x7FFF) + le16(1), 36, "inside a 32-bit element tag");
    // Inside a class name.
    expectError(le16(2) + first + first.left(10), 40, "inside a class name");
    // The last rectangle cut short by one byte: no partial place.
    expectError(whole.left(whole.size() - 1), 54, "rectangle 3");
    // Count 2 with only one element's bytes: more places than bytes.
    expectError(le16(2) + first, 0, "exceeds");
}

TEST(LayoutArchive, ClassHeaderChecks)
{
    // A name length of 64 fails before the name is read: no name bytes follow.
    expectError(le16(1) + le16(0xFFFF) + le16(1) + le16(64) + QByteArray(16, '\0'), 6, "64 or more");
    expectError(le16(1) + le16(0xFFFF) + le16(1) + le16(0xFFFF) + QByteArray(16, '\0'), 6, "64 or more");
    // 63 bytes of another name fails on the name.
    expectError(le16(1) + classHeader(1, QByteArray(63, 'C')) + rect(0, 0, 1, 1), 8, "is not CRectangle");
    // Letter case matters.
    expectError(le16(1) + classHeader(1, "CRECTANGLE") + rect(0, 0, 1, 1), 8, "is not CRectangle");
    expectError(le16(1) + classHeader(1, "CRectangl") + rect(0, 0, 1, 1), 8, "is not CRectangle");
    // Schema 2 and schema 0.
    expectError(le16(1) + classHeader(2) + rect(0, 0, 1, 1), 4, "schema 2");
    expectError(le16(1) + classHeader(0) + rect(0, 0, 1, 1), 4, "schema 0");
}

TEST(LayoutArchive, ReferencesThatAreNotNewPlaces)
{
    const QByteArray first = classHeader() + rect(0, 0, 1, 1);
    // Class tag naming no entry, entry 0, an entry not yet read, and the
    // first rectangle (entry 2, an object, not a class).
    expectError(le16(1) + le16(0x8001) + rect(0, 0, 1, 1), 2, "not a class");
    expectError(le16(2) + first + le16(0x8000) + rect(0, 0, 1, 1), 34, "entry 0");
    expectError(le16(2) + first + le16(0x8003) + rect(0, 0, 1, 1), 34, "entry 3");
    expectError(le16(2) + first + le16(0x8002) + rect(0, 0, 1, 1), 34, "entry 2");
    expectError(le16(2) + first + le16(0x7FFF) + le32(0xFFFFFFFFu) + rect(0, 0, 1, 1), 34, "not a class");
    // Object references: to no object, to the rectangle read before, and to
    // the class entry as if it were an object.
    expectError(le16(2) + first + le16(0x0000) + rect(0, 0, 1, 1), 34, "no object");
    expectError(le16(2) + first + le16(0x0002) + rect(0, 0, 1, 1), 34, "entry 2");
    expectError(le16(2) + first + le16(0x0001) + rect(0, 0, 1, 1), 34, "entry 1");
    expectError(le16(2) + first + le16(0x7FFF) + le32(2) + rect(0, 0, 1, 1), 34, "entry 2");
    expectError(le16(2) + first + le16(0x7FFF) + le32(0) + rect(0, 0, 1, 1), 34, "no object");
}

TEST(LayoutArchive, HugeCountsAreRefusedBeforeReading)
{
    // A 32-bit count of 0xFFFFFFFF with a few bytes: refused at the count,
    // without reserving room for four billion places.
    expectError(le16(0xFFFF) + le32(0xFFFFFFFFu) + classHeader() + rect(0, 0, 1, 1), 0, "exceeds");
    expectError(le16(0xFFFE) + classHeader() + rect(0, 0, 1, 1), 0, "exceeds");
    // The boundary: count 2 needs 36 bytes after the count; 34 + 2 are there.
    const QByteArray exact = le16(2) + classHeader() + rect(0, 0, 1, 1) + le16(0x8001) + rect(1, 1, 2, 2);
    EXPECT_TRUE(ReadLayoutArchive(exact).ok());
    expectError(exact.left(exact.size() - 15), 0, "exceeds");
}

TEST(LayoutArchive, RoundTripWithLongCount)
{
    for (const std::size_t n : {std::size_t(0xFFFE), std::size_t(0xFFFF), std::size_t(70000)}) {
        std::vector<SheetRect> rects(n);
        for (std::size_t i = 0; i < n; ++i)
            rects[i] = {std::int32_t(i), -std::int32_t(i), std::int32_t(i % 320), std::int32_t(i * 7)};
        const QByteArray bytes = WriteLayoutArchive(rects);
        const bool longCount = n >= 0xFFFF;
        ASSERT_EQ(bytes.size(), qsizetype(34 + 18 * (n - 1) + (longCount ? 4 : 0))) << n;
        if (longCount) {
            EXPECT_EQ(bytes.left(6), le16(0xFFFF) + le32(std::uint32_t(n)));
        } else {
            EXPECT_EQ(bytes.left(2), le16(std::uint16_t(n)));
        }
        // Every later element names the class at entry 1 in the short form,
        // also past entry 0x7FFF: the class never moves.
        EXPECT_EQ(bytes.right(18).left(2), le16(0x8001));
        const auto result = ReadLayoutArchive(bytes);
        ASSERT_TRUE(result.ok()) << n << ": " << result.error->reason;
        EXPECT_EQ(result.rects, rects) << n;
    }
}

} // namespace
