#include "archive.h"

#include <QtEndian>
#include <cstring>

namespace pelmora {

namespace {

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTag = 0x8000;
constexpr std::uint16_t kBigObjectTag = 0x7FFF;
constexpr std::uint32_t kBigClassTag = 0x80000000u;
constexpr std::uint16_t kSchema = 1;
constexpr char kClassName[] = "CRectangle";
constexpr std::uint16_t kClassNameLength = sizeof(kClassName) - 1;
constexpr std::uint16_t kMaxNameLength = 64; // the name buffer, terminator included
constexpr std::uint64_t kRectBytes = 16;
// The shortest element: a short tag and the rectangle.
constexpr std::uint64_t kMinElementBytes = 2 + kRectBytes;

struct Fault {
    ArchiveError error;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::uint64_t offset() const { return m_pos; }
    std::uint64_t remaining() const { return m_bytes.size() - m_pos; }

    // Every read checks the bytes left first; m_pos never passes the end, so
    // remaining() cannot wrap.
    const std::uint8_t* take(std::uint64_t count, const char* what)
    {
        if (count > remaining())
            throw Fault{{m_pos, std::string("file ends inside ") + what}};
        const std::uint8_t* p = m_bytes.data() + m_pos;
        m_pos += count;
        return p;
    }
    std::uint16_t u16(const char* what) { return qFromLittleEndian<std::uint16_t>(take(2, what)); }
    std::uint32_t u32(const char* what) { return qFromLittleEndian<std::uint32_t>(take(4, what)); }
    std::int32_t i32(const char* what) { return qFromLittleEndian<std::int32_t>(take(4, what)); }

private:
    std::span<const std::uint8_t> m_bytes;
    std::uint64_t m_pos = 0;
};

[[noreturn]] void fail(std::uint64_t offset, std::string reason)
{
    throw Fault{{offset, std::move(reason)}};
}

enum class Entry : std::uint8_t { None, Class, Object };

std::vector<SheetRect> readList(Reader& in)
{
    const std::uint64_t countAt = in.offset();
    std::uint64_t count = in.u16("the count");
    if (count == 0xFFFF)
        count = in.u32("the 32-bit count");
    if (count > in.remaining() / kMinElementBytes)
        fail(countAt, "count " + std::to_string(count) + " exceeds what the remaining "
                          + std::to_string(in.remaining()) + " bytes can hold");

    // Both grow with elements actually read, and the count is bounded by the
    // bytes at hand, so neither can be made to allocate more than the file.
    std::vector<Entry> table{Entry::None};
    std::vector<SheetRect> rects;
    rects.reserve(size_t(count));

    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t tagAt = in.offset();
        const std::uint16_t tag = in.u16("an element tag");
        if (tag == kNewClassTag) {
            const std::uint64_t headerAt = in.offset();
            const std::uint16_t schema = in.u16("a class header");
            const std::uint16_t length = in.u16("a class header");
            // The length is judged before a single byte of the name is read.
            if (length >= kMaxNameLength)
                fail(headerAt + 2, "class name length " + std::to_string(length) + " is 64 or more");
            const std::uint64_t nameAt = in.offset();
            const auto* name = in.take(length, "a class name");
            if (length != kClassNameLength || std::memcmp(name, kClassName, length) != 0)
                fail(nameAt, "class name \"" + std::string(reinterpret_cast<const char*>(name), length)
                                 + "\" is not CRectangle");
            if (schema != kSchema)
                fail(headerAt, "schema " + std::to_string(schema) + " of CRectangle is not 1");
            table.push_back(Entry::Class);
        } else {
            std::uint32_t longTag = tag;
            if (tag == kBigObjectTag)
                longTag = in.u32("a 32-bit element tag");
            else if (tag & kClassTag)
                longTag = kBigClassTag | (tag & ~kClassTag);
            if (!(longTag & kBigClassTag)) {
                fail(tagAt, longTag == 0 ? std::string("element is a reference to no object")
                                         : "element is a reference to entry " + std::to_string(longTag)
                                               + " instead of a new rectangle");
            }
            const std::uint32_t classIndex = longTag & ~kBigClassTag;
            if (classIndex == 0 || classIndex >= table.size() || table[classIndex] != Entry::Class)
                fail(tagAt, "class reference to entry " + std::to_string(classIndex)
                                + ", which is not a class read before");
        }
        table.push_back(Entry::Object);
        const std::uint64_t rectAt = in.offset();
        if (in.remaining() < kRectBytes)
            fail(rectAt, "file ends inside rectangle " + std::to_string(i + 1));
        SheetRect r;
        r.left = in.i32("a rectangle");
        r.top = in.i32("a rectangle");
        r.right = in.i32("a rectangle");
        r.bottom = in.i32("a rectangle");
        rects.push_back(r);
    }
    return rects;
}

void put16(QByteArray& out, std::uint16_t v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, std::uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

} // namespace

LayoutReadResult ReadLayoutArchive(std::span<const std::uint8_t> bytes)
{
    LayoutReadResult result;
    Reader in(bytes);
    try {
        result.rects = readList(in);
    } catch (const Fault& fault) {
        result.error = fault.error;
    }
    return result;
}

LayoutReadResult ReadLayoutArchive(const QByteArray& bytes)
{
    return ReadLayoutArchive(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size())));
}

QByteArray WriteLayoutArchive(std::span<const SheetRect> rects)
{
    QByteArray out;
    const std::uint64_t count = rects.size();
    out.reserve(qsizetype(6 + 16 + count * 18 + 16));
    if (count < 0xFFFF) {
        put16(out, std::uint16_t(count));
    } else {
        put16(out, 0xFFFF);
        put32(out, std::uint32_t(count));
    }
    bool first = true;
    for (const SheetRect& r : rects) {
        if (first) {
            put16(out, kNewClassTag);
            put16(out, kSchema);
            put16(out, kClassNameLength);
            out.append(kClassName, kClassNameLength);
            first = false;
        } else {
            put16(out, kClassTag | 1);
        }
        put32(out, std::uint32_t(r.left));
        put32(out, std::uint32_t(r.top));
        put32(out, std::uint32_t(r.right));
        put32(out, std::uint32_t(r.bottom));
    }
    return out;
}

} // namespace pelmora
