#pragma once
// Writes resource-only PE libraries: headers, one .rsrc section, no code and
// no entry point, in the layout the platform's resource compiler and linker
// produce, so that the platform's own loader and tools accept them.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <vector>

namespace pelmora {

struct PackageResourceData {
    QString typeName;         // "REGION", "IMAGE"; empty for an integer type
    std::uint16_t typeId = 0; // the integer type when typeName is empty (6 = RT_STRING)
    std::uint16_t id = 0;
    QByteArray data;
};

enum class PeFormat { Pe32, Pe32Plus };

inline constexpr std::uint16_t kLanguageEnglishUs = 0x0409;

// The library's bytes. Resources of the same type and id after the first are
// left out, as a resource compiler would refuse them.
QByteArray WriteResourcePackage(const std::vector<PackageResourceData>& resources,
                                PeFormat format = PeFormat::Pe32Plus);

// String-table resources holding the given entries: entry n goes to block
// n / 16 + 1 at position n % 16; every block is written with all 16 entries.
std::vector<PackageResourceData> StringTableResources(const std::map<std::uint16_t, QString>& entries);

} // namespace pelmora
