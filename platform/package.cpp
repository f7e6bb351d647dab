#include "package.h"


#include <limits>
#include <set>
#include <vector>

namespace pelmora {

namespace {

constexpr std::uint16_t kRtString = 6;
constexpr std::uint16_t kMaxSections = 96;
constexpr std::uint32_t kHighBit = 0x80000000u;

std::uint16_t U16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}

std::uint32_t U32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t readableSize = 0; // bytes of the section that come from the file
    std::uint32_t rawPointer = 0;
};

// A directory entry's name: an integer id, or a UTF-16 name.
struct ResourceKey {
    bool named = false;
    std::uint16_t id = 0;
    QString name;
};

struct Resource {
    ResourceKey type;
    ResourceKey name;
    std::uint64_t fileOffset = 0;
    std::uint32_t size = 0;
};

struct ParseError {
    std::uint64_t offset;
    QString why;
};

} // namespace

struct ResourcePackage::Impl {
    QByteArray bytes;
    bool pe32Plus = false;
    std::vector<Section> sections;
    std::vector<Resource> resources;
    std::vector<std::optional<QString>> strings; // index = string id
    std::set<std::uint32_t> visitedDirectories;
    // Bytes of directories, names and strings still allowed to be read. In a
    // well-formed file these structures lie side by side, so together they
    // never exceed the file; overlapping ones could otherwise make a small
    // file cost billions of steps.
    std::uint64_t readBudget = 0;

    bool Charge(std::uint64_t bytesRead)
    {
        if (bytesRead > readBudget)
            return false;
        readBudget -= bytesRead;
        return true;
    }

    std::span<const std::uint8_t> All() const
    {
        return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
    }

    // File offset of size bytes at rva, when they lie within one section's
    // bytes from the file.
    std::optional<std::uint64_t> MapRva(std::uint64_t rva, std::uint64_t size) const
    {
        for (const Section& s : sections) {
            if (rva >= s.virtualAddress && rva + size <= std::uint64_t(s.virtualAddress) + s.readableSize)
                return std::uint64_t(s.rawPointer) + (rva - s.virtualAddress);
        }
        return std::nullopt;
    }

    std::optional<ParseError> ParseHeaders();
    std::optional<ParseError> ParseDirectory(std::uint32_t rsrcRva, std::uint32_t relative, int level,
                                             Resource& path);
    std::optional<ParseError> ReadKey(std::uint32_t rsrcRva, std::uint32_t field, ResourceKey& key);
    std::optional<ParseError> ParseStringBlock(const Resource& block);
    const Resource* Find(const ResourceKey& type, std::uint16_t id) const;
};

namespace {

ParseError Error(std::uint64_t offset, const QString& why)
{
    return {offset, why};
}

bool SameName(const ResourceKey& stored, const ResourceKey& wanted)
{
    if (stored.named != wanted.named)
        return false;
    // The resource compiler stores names upper-cased and the loader
    // upper-cases the name it is asked for, so case never decides.
    return stored.named ? stored.name.compare(wanted.name, Qt::CaseInsensitive) == 0 : stored.id == wanted.id;
}

} // namespace

std::optional<ParseError> ResourcePackage::Impl::ParseHeaders()
{
    const auto data = All();
    const std::uint64_t size = data.size();
    const std::uint8_t* p = data.data();
    if (size < 64)
        return Error(0, QStringLiteral("the DOS header needs 64 bytes"));
    if (p[0] != 'M' || p[1] != 'Z')
        return Error(0, QStringLiteral("no MZ signature"));
    const std::uint64_t peOffset = U32(p + 0x3c);
    // PE signature and COFF file header.
    if (peOffset + 24 > size)
        return Error(0x3c, QStringLiteral("e_lfanew points past the end of the file"));
    if (U32(p + peOffset) != 0x00004550u)
        return Error(peOffset, QStringLiteral("no PE signature"));
    const std::uint8_t* coff = p + peOffset + 4;
    const std::uint16_t sectionCount = U16(coff + 2);
    const std::uint16_t optionalSize = U16(coff + 16);
    const std::uint64_t optionalOffset = peOffset + 24;
    if (optionalOffset + optionalSize > size)
        return Error(optionalOffset, QStringLiteral("the optional header runs past the end of the file"));
    if (optionalSize < 2)
        return Error(optionalOffset, QStringLiteral("the optional header has no magic"));
    const std::uint8_t* opt = p + optionalOffset;
    const std::uint16_t magic = U16(opt);
    if (magic != 0x10b && magic != 0x20b)
        return Error(
            optionalOffset,
            QStringLiteral("optional header magic 0x%1 is neither PE32 nor PE32+").arg(magic, 0, 16));
    pe32Plus = magic == 0x20b;
    // NumberOfRvaAndSizes and the data directories sit 16 bytes further on
    // in PE32+, where ImageBase and the stack and heap sizes are 64-bit.
    const std::uint32_t countField = pe32Plus ? 108 : 92;
    const std::uint32_t directories = countField + 4;
    if (optionalSize < directories)
        return Error(optionalOffset,
                     QStringLiteral("the optional header is too short for its data directories"));
    const std::uint32_t directoryCount = U32(opt + countField);
    std::uint32_t rsrcRva = 0, rsrcSize = 0;
    if (directoryCount > 2) {
        const std::uint32_t entry = directories + 2 * 8;
        if (std::uint64_t(entry) + 8 > optionalSize)
            return Error(optionalOffset + countField,
                         QStringLiteral("the resource directory entry lies outside the optional header"));
        rsrcRva = U32(opt + entry);
        rsrcSize = U32(opt + entry + 4);
    }

    // The platform's loader refuses a library of more sections; the limit
    // also keeps every RVA lookup short, whatever a crafted file claims.
    if (sectionCount > kMaxSections)
        return Error(peOffset + 6,
                     QStringLiteral("%1 sections are more than the loader accepts (%2)")
                         .arg(sectionCount)
                         .arg(kMaxSections));
    const std::uint64_t tableOffset = optionalOffset + optionalSize;
    if (tableOffset + std::uint64_t(sectionCount) * 40 > size)
        return Error(tableOffset,
                     QStringLiteral("the section table of %1 sections runs past the end of the file")
                         .arg(sectionCount));
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
        const std::uint8_t* s = p + tableOffset + std::size_t(i) * 40;
        const std::uint32_t virtualSize = U32(s + 8);
        const std::uint32_t rawSize = U32(s + 16);
        const std::uint32_t rawPointer = U32(s + 20);
        if (rawSize != 0 && std::uint64_t(rawPointer) + rawSize > size)
            return Error(tableOffset + std::size_t(i) * 40 + 16,
                         QStringLiteral("section %1's raw data runs past the end of the file").arg(i));
        // Bytes past VirtualSize are not part of the loaded section, and
        // bytes past SizeOfRawData are zeros the file does not hold.
        const std::uint32_t readable = virtualSize != 0 ? std::min(virtualSize, rawSize) : rawSize;
        sections.push_back({U32(s + 12), readable, rawSize != 0 ? rawPointer : 0});
    }

    if (rsrcRva == 0 && rsrcSize == 0)
        return std::nullopt; // a library without resources: nothing to find
    if (!MapRva(rsrcRva, 16))
        return Error(
            optionalOffset + directories + 16,
            QStringLiteral("the resource directory RVA 0x%1 lies outside every section").arg(rsrcRva, 0, 16));
    Resource path;
    if (auto e = ParseDirectory(rsrcRva, 0, 0, path))
        return e;
    // Only the first block of an id counts: FindResource never sees a later one.
    std::set<std::uint16_t> blocks;
    for (const Resource& r : resources)
        if (!r.type.named && r.type.id == kRtString && !r.name.named && blocks.insert(r.name.id).second)
            if (auto e = ParseStringBlock(r))
                return e;
    return std::nullopt;
}

std::optional<ParseError> ResourcePackage::Impl::ReadKey(std::uint32_t rsrcRva, std::uint32_t field,
                                                         ResourceKey& key)
{
    key = {};
    if (!(field & kHighBit)) {
        key.id = std::uint16_t(field & 0xffff);
        return std::nullopt;
    }
    key.named = true;
    const std::uint64_t rva = std::uint64_t(rsrcRva) + (field & ~kHighBit);
    const auto at = MapRva(rva, 2);
    if (!at)
        return Error(
            rva, QStringLiteral("a resource name at RVA 0x%1 lies outside every section").arg(rva, 0, 16));
    const std::uint16_t length = U16(All().data() + *at);
    const auto chars = MapRva(rva + 2, std::uint64_t(length) * 2);
    if (!chars)
        return Error(*at,
                     QStringLiteral("a resource name of %1 characters runs past its section").arg(length));
    if (!Charge(2 + std::uint64_t(length) * 2))
        return Error(*at, QStringLiteral("resource names overlap beyond the size of the file"));
    const std::uint8_t* c = All().data() + *chars;
    key.name.reserve(length);
    for (std::uint16_t i = 0; i < length; ++i)
        key.name.append(QChar(U16(c + 2 * i)));
    return std::nullopt;
}

std::optional<ParseError> ResourcePackage::Impl::ParseDirectory(std::uint32_t rsrcRva, std::uint32_t relative,
                                                                int level, Resource& path)
{
    const std::uint64_t rva = std::uint64_t(rsrcRva) + relative;
    const auto at = MapRva(rva, 16);
    if (!at)
        return Error(
            rva,
            QStringLiteral("a resource directory at RVA 0x%1 lies outside every section").arg(rva, 0, 16));
    // A resource tree is a tree: a directory reached twice is a cycle or a
    // shared branch, and either would let a small file describe a huge walk.
    if (!visitedDirectories.insert(relative).second)
        return Error(*at, QStringLiteral("a resource directory is reached twice"));
    const std::uint8_t* dir = All().data() + *at;
    const std::uint32_t count = std::uint32_t(U16(dir + 12)) + U16(dir + 14);
    const auto entries = MapRva(rva + 16, std::uint64_t(count) * 8);
    if (!entries)
        return Error(
            *at + 12,
            QStringLiteral("%1 directory entries need more bytes than the section holds").arg(count));
    if (!Charge(16 + std::uint64_t(count) * 8))
        return Error(*at, QStringLiteral("resource directories overlap beyond the size of the file"));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entryOffset = *entries + std::uint64_t(i) * 8;
        const std::uint8_t* e = All().data() + entryOffset;
        const std::uint32_t nameField = U32(e);
        const std::uint32_t dataField = U32(e + 4);
        if (level < 2) {
            if (auto err = ReadKey(rsrcRva, nameField, level == 0 ? path.type : path.name))
                return err;
            if (!(dataField & kHighBit))
                return Error(entryOffset + 4,
                             QStringLiteral("resource data where level %1 needs a directory").arg(level + 2));
            if (auto err = ParseDirectory(rsrcRva, dataField & ~kHighBit, level + 1, path))
                return err;
            continue;
        }
        if (dataField & kHighBit)
            return Error(entryOffset + 4, QStringLiteral("a fourth level below the language directory"));
        const std::uint64_t entryRva = std::uint64_t(rsrcRva) + dataField;
        const auto dataEntry = MapRva(entryRva, 16);
        if (!dataEntry)
            return Error(entryOffset + 4, QStringLiteral("a resource data entry lies outside every section"));
        const std::uint32_t dataRva = U32(All().data() + *dataEntry);
        const std::uint32_t dataSize = U32(All().data() + *dataEntry + 4);
        const auto bytesAt = MapRva(dataRva, dataSize);
        if (!bytesAt)
            return Error(*dataEntry,
                         QStringLiteral("resource data at RVA 0x%1 (%2 bytes) lies outside every section")
                             .arg(dataRva, 0, 16)
                             .arg(dataSize));
        // Any language will do: the first one listed is taken.
        if (i == 0) {
            Resource r = path;
            r.fileOffset = *bytesAt;
            r.size = dataSize;
            resources.push_back(std::move(r));
        }
    }
    return std::nullopt;
}

std::optional<ParseError> ResourcePackage::Impl::ParseStringBlock(const Resource& block)
{
    // Block b holds entries (b - 1) * 16 to (b - 1) * 16 + 15, each a 16-bit
    // length and that many UTF-16 characters. A block that stops early at an
    // entry boundary simply lacks its last entries.
    if (block.name.id == 0)
        return std::nullopt;
    constexpr std::uint64_t kLongestBlock = 16 * (2 + 2 * 0xffff);
    if (!Charge(std::min<std::uint64_t>(block.size, kLongestBlock)))
        return Error(block.fileOffset, QStringLiteral("string blocks overlap beyond the size of the file"));
    const std::uint8_t* p = All().data() + block.fileOffset;
    std::uint64_t pos = 0;
    for (std::uint32_t i = 0; i < 16 && pos < block.size; ++i) {
        if (pos + 2 > block.size)
            return Error(block.fileOffset + pos,
                         QStringLiteral("a string length is cut off at the end of its block"));
        const std::uint16_t length = U16(p + pos);
        if (pos + 2 + std::uint64_t(length) * 2 > block.size)
            return Error(block.fileOffset + pos,
                         QStringLiteral("a string of %1 characters runs past its block").arg(length));
        const std::uint32_t id = (std::uint32_t(block.name.id) - 1) * 16 + i;
        if (length > 0 && id <= std::numeric_limits<std::uint16_t>::max()) {
            if (strings.size() <= id)
                strings.resize(id + 1);
            QString text;
            text.reserve(length);
            for (std::uint16_t c = 0; c < length; ++c)
                text.append(QChar(U16(p + pos + 2 + 2 * c)));
            strings[id] = std::move(text);
        }
        pos += 2 + std::uint64_t(length) * 2;
    }
    return std::nullopt;
}

const Resource* ResourcePackage::Impl::Find(const ResourceKey& type, std::uint16_t id) const
{
    const ResourceKey name{false, id, {}};
    for (const Resource& r : resources)
        if (SameName(r.type, type) && SameName(r.name, name))
            return &r;
    return nullptr;
}

ResourcePackage::ResourcePackage() : d(std::make_unique<Impl>()) {}
ResourcePackage::~ResourcePackage() = default;

std::unique_ptr<ResourcePackage> ResourcePackage::FromBytes(QByteArray bytes, QString* error)
{
    if (bytes.size() > kMaxPackageBytes) {
        if (error)
            *error = QStringLiteral("offset 0x0: %1 bytes is more than a package may hold").arg(bytes.size());
        return nullptr;
    }
    std::unique_ptr<ResourcePackage> package(new ResourcePackage);
    package->d->bytes = std::move(bytes);
    package->d->readBudget = std::uint64_t(package->d->bytes.size());
    if (auto e = package->d->ParseHeaders()) {
        if (error)
            *error = QStringLiteral("offset 0x%1: %2").arg(e->offset, 0, 16).arg(e->why);
        return nullptr;
    }
    package->d->visitedDirectories.clear();
    return package;
}

std::optional<std::span<const std::uint8_t>> ResourcePackage::FindResource(const char* typeName,
                                                                           std::uint16_t id) const
{
    if (!typeName)
        return std::nullopt;
    const ResourceKey type{true, 0, QString::fromLatin1(typeName)};
    const Resource* r = d->Find(type, id);
    if (!r)
        return std::nullopt;
    return d->All().subspan(r->fileOffset, r->size);
}

std::optional<QString> ResourcePackage::StringEntry(std::uint16_t id) const
{
    if (id >= d->strings.size())
        return std::nullopt;
    return d->strings[id];
}

std::optional<QString> ResourcePackage::LoadString(std::uint16_t id, int bufferChars) const
{
    // One character of the buffer is kept for the terminating zero.
    if (bufferChars < 2)
        return std::nullopt;
    auto text = StringEntry(id);
    if (!text)
        return std::nullopt;
    return text->left(bufferChars - 1);
}

bool ResourcePackage::IsPe32Plus() const
{
    return d->pe32Plus;
}

} // namespace pelmora
