#include "packagewriter.h"

#include <algorithm>
#include <array>

namespace pelmora {

namespace {

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kRsrcRva = 0x1000;
constexpr std::uint32_t kPeOffset = 0x40;
constexpr std::uint32_t kHeadersSize = 0x200;

std::uint32_t AlignUp(std::uint32_t v, std::uint32_t a)
{
    return (v + a - 1) / a * a;
}

void Put16(QByteArray& b, std::uint32_t at, std::uint16_t v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}

void Put32(QByteArray& b, std::uint32_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

void Put64(QByteArray& b, std::uint32_t at, std::uint64_t v)
{
    Put32(b, at, std::uint32_t(v));
    Put32(b, at + 4, std::uint32_t(v >> 32));
}

// The loader searches named entries by comparing upper-case UTF-16, so they
// are stored upper-cased and sorted that way, before the integer ids.
bool TypeLess(const PackageResourceData& a, const PackageResourceData& b)
{
    const bool an = !a.typeName.isEmpty(), bn = !b.typeName.isEmpty();
    if (an != bn)
        return an;
    if (an) {
        const QString ua = a.typeName.toUpper(), ub = b.typeName.toUpper();
        if (ua != ub)
            return std::lexicographical_compare(ua.begin(), ua.end(), ub.begin(), ub.end(),
                                                [](QChar x, QChar y) { return x.unicode() < y.unicode(); });
    } else if (a.typeId != b.typeId) {
        return a.typeId < b.typeId;
    }
    return a.id < b.id;
}

bool SameType(const PackageResourceData& a, const PackageResourceData& b)
{
    return a.typeName.toUpper() == b.typeName.toUpper() && (!a.typeName.isEmpty() || a.typeId == b.typeId);
}

// The .rsrc section: the three directory levels, the data entries, the type
// names, then the data, each blob 8-byte aligned as the resource compiler
// places it.
QByteArray BuildResourceSection(std::vector<PackageResourceData> list)
{
    std::stable_sort(list.begin(), list.end(), TypeLess);
    list.erase(std::unique(list.begin(), list.end(),
                           [](const auto& a, const auto& b) { return SameType(a, b) && a.id == b.id; }),
               list.end());

    std::vector<std::pair<std::size_t, std::size_t>> types; // [first, last) of each type
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (types.empty() || !SameType(list[types.back().first], list[i]))
            types.push_back({i, i});
        types.back().second = i + 1;
    }

    const std::uint32_t rootSize = 16 + 8 * std::uint32_t(types.size());
    std::uint32_t offset = rootSize;
    std::vector<std::uint32_t> typeDir(types.size());
    for (std::size_t t = 0; t < types.size(); ++t) {
        typeDir[t] = offset;
        offset += 16 + 8 * std::uint32_t(types[t].second - types[t].first);
    }
    std::vector<std::uint32_t> languageDir(list.size()), dataEntry(list.size()), dataAt(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        languageDir[i] = offset;
        offset += 16 + 8;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        dataEntry[i] = offset;
        offset += 16;
    }
    std::vector<std::uint32_t> typeNameAt(types.size(), 0);
    for (std::size_t t = 0; t < types.size(); ++t) {
        const QString& name = list[types[t].first].typeName;
        if (!name.isEmpty()) {
            typeNameAt[t] = offset;
            offset += 2 + 2 * std::uint32_t(name.size());
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        offset = AlignUp(offset, 8);
        dataAt[i] = offset;
        offset += std::uint32_t(list[i].data.size());
    }

    QByteArray out(offset, '\0');
    auto directory = [&](std::uint32_t at, std::uint16_t named, std::uint16_t ids) {
        Put16(out, at + 12, named);
        Put16(out, at + 14, ids);
    };
    std::uint16_t namedTypes = 0;
    for (const auto& t : types)
        namedTypes += !list[t.first].typeName.isEmpty();
    directory(0, namedTypes, std::uint16_t(types.size() - namedTypes));
    for (std::size_t t = 0; t < types.size(); ++t) {
        const PackageResourceData& first = list[types[t].first];
        const std::uint32_t entry = 16 + 8 * std::uint32_t(t);
        Put32(out, entry, first.typeName.isEmpty() ? first.typeId : (0x80000000u | typeNameAt[t]));
        Put32(out, entry + 4, 0x80000000u | typeDir[t]);
        if (!first.typeName.isEmpty()) {
            const QString upper = first.typeName.toUpper();
            Put16(out, typeNameAt[t], std::uint16_t(upper.size()));
            for (qsizetype c = 0; c < upper.size(); ++c)
                Put16(out, typeNameAt[t] + 2 + 2 * std::uint32_t(c), upper[c].unicode());
        }
        directory(typeDir[t], 0, std::uint16_t(types[t].second - types[t].first));
        for (std::size_t i = types[t].first; i < types[t].second; ++i) {
            const std::uint32_t nameEntry = typeDir[t] + 16 + 8 * std::uint32_t(i - types[t].first);
            Put32(out, nameEntry, list[i].id);
            Put32(out, nameEntry + 4, 0x80000000u | languageDir[i]);
            directory(languageDir[i], 0, 1);
            Put32(out, languageDir[i] + 16, kLanguageEnglishUs);
            Put32(out, languageDir[i] + 20, dataEntry[i]);
            Put32(out, dataEntry[i], kRsrcRva + dataAt[i]);
            Put32(out, dataEntry[i] + 4, std::uint32_t(list[i].data.size()));
            std::copy(list[i].data.begin(), list[i].data.end(), out.begin() + dataAt[i]);
        }
    }
    return out;
}

// The optional header's CheckSum: 16-bit one's-complement sum of the file
// with the field itself taken as zero, plus the file length.
std::uint32_t PeChecksum(const QByteArray& file, std::uint32_t checksumAt)
{
    std::uint64_t sum = 0;
    for (qsizetype i = 0; i + 1 < file.size(); i += 2) {
        if (i == checksumAt || i == checksumAt + 2)
            continue;
        sum += std::uint8_t(file[i]) | std::uint8_t(file[i + 1]) << 8;
        sum = (sum & 0xffff) + (sum >> 16);
    }
    sum = (sum & 0xffff) + (sum >> 16);
    return std::uint32_t(sum + file.size());
}

} // namespace

std::vector<PackageResourceData> StringTableResources(const std::map<std::uint16_t, QString>& entries)
{
    std::map<std::uint16_t, std::array<QString, 16>> blocks;
    for (const auto& [id, text] : entries)
        blocks[std::uint16_t(id / 16 + 1)][id % 16] = text;
    std::vector<PackageResourceData> out;
    for (const auto& [block, texts] : blocks) {
        QByteArray data;
        for (const QString& text : texts) {
            const std::uint16_t length = std::uint16_t(std::min<qsizetype>(text.size(), 0xffff));
            data.append(char(length & 0xff)).append(char(length >> 8));
            for (std::uint16_t c = 0; c < length; ++c)
                data.append(char(text[c].unicode() & 0xff)).append(char(text[c].unicode() >> 8));
        }
        out.push_back({QString(), 6, block, data});
    }
    return out;
}

QByteArray WriteResourcePackage(const std::vector<PackageResourceData>& resources, PeFormat format)
{
    const bool plus = format == PeFormat::Pe32Plus;
    const QByteArray rsrc = BuildResourceSection(resources);
    const std::uint32_t rawSize = AlignUp(std::uint32_t(rsrc.size()), kFileAlignment);
    const std::uint16_t optionalSize = plus ? 240 : 224;

    QByteArray file(kHeadersSize + rawSize, '\0');
    file[0] = 'M';
    file[1] = 'Z';
    Put32(file, 0x3c, kPeOffset);
    Put32(file, kPeOffset, 0x00004550u); // "PE\0\0"

    const std::uint32_t coff = kPeOffset + 4;
    Put16(file, coff, plus ? 0x8664 : 0x014c);
    Put16(file, coff + 2, 1);
    Put16(file, coff + 16, optionalSize);
    // Executable image, DLL; large-address-aware for PE32+, 32-bit machine
    // for PE32; debug information stripped.
    Put16(file, coff + 18, plus ? 0x2222 : 0x2302);

    const std::uint32_t opt = coff + 20;
    Put16(file, opt, plus ? 0x20b : 0x10b);
    file[opt + 2] = 2; // linker version 2.40, as recorded by the GNU linker
    file[opt + 3] = 40;
    Put32(file, opt + 8, rawSize);   // SizeOfInitializedData
    Put32(file, opt + 20, kRsrcRva); // BaseOfCode: no code, so the first section
    std::uint32_t at;
    if (plus) {
        Put64(file, opt + 24, 0x180000000ull);
        at = opt + 32;
    } else {
        Put32(file, opt + 24, kRsrcRva); // BaseOfData
        Put32(file, opt + 28, 0x10000000u);
        at = opt + 32;
    }
    Put32(file, at, kSectionAlignment);
    Put32(file, at + 4, kFileAlignment);
    Put16(file, at + 8, plus ? 6 : 4);  // operating system version
    Put16(file, at + 16, plus ? 6 : 4); // subsystem version
    const std::uint32_t imageSize = kRsrcRva + AlignUp(std::uint32_t(rsrc.size()), kSectionAlignment);
    Put32(file, at + 24, imageSize);
    Put32(file, at + 28, kHeadersSize);
    const std::uint32_t checksumAt = at + 32;
    Put16(file, at + 36, 2);      // IMAGE_SUBSYSTEM_WINDOWS_GUI
    Put16(file, at + 38, 0x0100); // NX compatible: there is nothing to execute
    std::uint32_t sizes = at + 40;
    for (std::uint64_t v : {0x100000ull, 0x1000ull, 0x100000ull, 0x1000ull}) {
        if (plus) {
            Put64(file, sizes, v);
            sizes += 8;
        } else {
            Put32(file, sizes, std::uint32_t(v));
            sizes += 4;
        }
    }
    const std::uint32_t loaderFlags = sizes;
    Put32(file, loaderFlags + 4, 16); // NumberOfRvaAndSizes
    const std::uint32_t directories = loaderFlags + 8;
    Put32(file, directories + 2 * 8, kRsrcRva);
    Put32(file, directories + 2 * 8 + 4, std::uint32_t(rsrc.size()));

    const std::uint32_t section = opt + optionalSize;
    const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    std::copy(name, name + 8, file.begin() + section);
    Put32(file, section + 8, std::uint32_t(rsrc.size()));
    Put32(file, section + 12, kRsrcRva);
    Put32(file, section + 16, rawSize);
    Put32(file, section + 20, kHeadersSize);
    Put32(file, section + 36, 0x40000040u); // initialized data, readable

    std::copy(rsrc.begin(), rsrc.end(), file.begin() + kHeadersSize);
    Put32(file, checksumAt, PeChecksum(file, checksumAt));
    return file;
}

} // namespace pelmora
