#pragma once
// A PE32 library whose last section alone holds the tree, so every RVA lookup walks all the sections.
#include "bytes.h"

#include <QByteArray>

namespace testbytes {

inline QByteArray CraftedPackage(int sections, int resources)
{
    constexpr qsizetype kOptional = 0x58; // PE signature at 0x40, COFF header at 0x44
    constexpr std::uint32_t kRsrcRva = 0x1000;
    const qsizetype table = kOptional + 224;
    const qsizetype rsrc = (table + qsizetype(sections) * 40 + 0x1ff) / 0x200 * 0x200;

    // Tree: root, type name, type directory, per resource a language directory, a data entry, 4 bytes.
    const std::uint32_t name = 16 + 8;
    const std::uint32_t typeDir = name + 12;
    const std::uint32_t languageDirs = typeDir + 16 + 8 * std::uint32_t(resources);
    const std::uint32_t dataEntries = languageDirs + 24 * std::uint32_t(resources);
    const std::uint32_t data = dataEntries + 16 * std::uint32_t(resources);
    const std::uint32_t treeSize = data + 4 * std::uint32_t(resources);

    QByteArray b(rsrc + treeSize, '\0');
    b.replace(0, 2, "MZ");
    Set32(b, 0x3c, 0x40);
    Set32(b, 0x40, 0x00004550);
    Set16(b, 0x44, 0x14c);
    Set16(b, 0x46, std::uint16_t(sections));
    Set16(b, 0x54, 224);
    Set16(b, 0x56, 0x2102);
    Set16(b, kOptional, 0x10b);
    Set32(b, kOptional + 92, 16);
    Set32(b, kOptional + 96 + 2 * 8, kRsrcRva);
    Set32(b, kOptional + 96 + 2 * 8 + 4, treeSize);
    for (int i = 0; i < sections; ++i) {
        const qsizetype s = table + qsizetype(i) * 40;
        const bool last = i == sections - 1;
        Set32(b, s + 8, last ? treeSize : 0x1000);                                // VirtualSize
        Set32(b, s + 12, last ? kRsrcRva : 0x100000 + 0x1000 * std::uint32_t(i)); // VirtualAddress
        Set32(b, s + 16, last ? treeSize : 0);                                    // SizeOfRawData
        Set32(b, s + 20, last ? std::uint32_t(rsrc) : 0);                         // PointerToRawData
    }

    const qsizetype t = rsrc;
    Set16(b, t + 12, 1); // one named type
    Set32(b, t + 16, 0x80000000u | name);
    Set32(b, t + 20, 0x80000000u | typeDir);
    Set16(b, t + name, 5);
    for (int i = 0; i < 5; ++i)
        Set16(b, t + name + 2 + 2 * i, std::uint16_t("IMAGE"[i]));
    Set16(b, t + typeDir + 14, std::uint16_t(resources));
    for (int i = 0; i < resources; ++i) {
        const std::uint32_t language = languageDirs + 24 * std::uint32_t(i);
        const std::uint32_t entry = dataEntries + 16 * std::uint32_t(i);
        Set32(b, t + typeDir + 16 + 8 * i, std::uint32_t(i + 1));
        Set32(b, t + typeDir + 16 + 8 * i + 4, 0x80000000u | language);
        Set16(b, t + language + 14, 1);
        Set32(b, t + language + 16, 0x409);
        Set32(b, t + language + 20, entry);
        Set32(b, t + entry, kRsrcRva + data + 4 * std::uint32_t(i));
        Set32(b, t + entry + 4, 4);
        Set32(b, t + data + 4 * i, std::uint32_t(i + 1));
    }
    return b;
}

} // namespace testbytes
