#pragma once
// Frame-series packages: resource-only PE libraries (32- or 64-bit) read by
// our own parser over the file's bytes. Nothing in a package is ever run or
// mapped executable; this stands in for LoadLibrary, FreeLibrary, LoadString,
// FindResource, LoadResource and SizeofResource where the booth relies on them.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace pelmora {

class ResourcePackage {
public:
    ~ResourcePackage();
    ResourcePackage(const ResourcePackage&) = delete;
    ResourcePackage& operator=(const ResourcePackage&) = delete;

    // Parses a whole package file held in memory. A malformed package gives
    // nullptr and, when error is given, a one-line reason naming the offset.
    static std::unique_ptr<ResourcePackage> FromBytes(QByteArray bytes, QString* error = nullptr);

    // Reads and parses the file at an absolute path.
    static std::unique_ptr<ResourcePackage> FromFile(const QString& path, QString* error = nullptr);

    // The bytes of the resource of a named custom type ("REGION", "IMAGE")
    // with an integer id, in any language; empty when missing. The span stays
    // valid while the package lives.
    std::optional<std::span<const std::uint8_t>> FindResource(const char* typeName,
                                                              std::uint16_t id) const;

    // LoadString into a buffer of bufferChars characters: at most
    // bufferChars - 1 characters of string-table entry id; nullopt when the
    // entry is missing or empty.
    std::optional<QString> LoadString(std::uint16_t id, int bufferChars = 8) const;

    // The whole text of string-table entry id, uncut; nullopt when missing.
    std::optional<QString> StringEntry(std::uint16_t id) const;

    // True for a PE32+ (64-bit) library, false for PE32.
    bool IsPe32Plus() const;

private:
    ResourcePackage();
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The module handle of the booth's code: a loaded package, or nullptr.
using HMODULE = const ResourcePackage*;

// LoadLibrary's search rule for the booth's packages: a relative path is
// taken from the program's folder; ".dll" is appended only when the file name
// has no dot at all (so "Resource/Frames.old" does not load). nullptr when
// the file is missing or malformed.
std::unique_ptr<ResourcePackage> LoadPackage(const QString& path, QString* error = nullptr);

// atoi: leading blanks skipped, an optional sign, digits up to the first
// non-digit; no digits give 0.
int Atoi(const QString& text);

// The largest package file we read; a frame series of a few dozen 24-bit
// pictures stays far below it.
inline constexpr qint64 kMaxPackageBytes = 64 * 1024 * 1024;

} // namespace pelmora
