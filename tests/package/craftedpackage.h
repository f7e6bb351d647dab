#pragma once
// A PE32 library whose last section alone holds the tree, so every RVA lookup walks all the sections: our
// writer's tree of IMAGE 1 to `resources` (each holding its number) behind sections of nothing.
#include "bytes.h"
#include "packagewriter.h"

#include <QByteArray>
#include <vector>

namespace testbytes {

inline QByteArray CraftedPackage(int sections, int resources)
{
    std::vector<pelmora::PackageResourceData> images;
    for (int i = 1; i <= resources; ++i)
        images.push_back({QStringLiteral("IMAGE"), 0, std::uint16_t(i), Words({i})});
    // The writer's PE32 file: optional header at 0x58 (224 bytes), the tree at 0x200 and RVA 0x1000.
    const QByteArray written = pelmora::WriteResourcePackage(images, pelmora::PeFormat::Pe32);
    const std::uint32_t treeSize = Get32(written, 0x58 + 96 + 2 * 8 + 4);
    const qsizetype table = 0x58 + 224, rsrc = (table + qsizetype(sections) * 40 + 0x1ff) / 0x200 * 0x200;
    QByteArray b = written.left(table) + QByteArray(rsrc - table, '\0') + written.mid(0x200, treeSize);
    Set16(b, 0x46, std::uint16_t(sections));
    for (int i = 0; i < sections; ++i) {
        const qsizetype s = table + qsizetype(i) * 40;
        const bool last = i == sections - 1;
        Set32(b, s + 8, last ? treeSize : 0x1000);                                // VirtualSize
        Set32(b, s + 12, last ? 0x1000 : 0x100000 + 0x1000 * std::uint32_t(i));   // VirtualAddress
        Set32(b, s + 16, last ? treeSize : 0);                                    // SizeOfRawData
        Set32(b, s + 20, last ? std::uint32_t(rsrc) : 0);                         // PointerToRawData
    }
    return b;
}

} // namespace testbytes
