#pragma once
// Little helpers for byte-level package tests.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <span>

namespace testbytes {

inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline std::span<const std::uint8_t> Span(const QByteArray& b)
{
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}

inline QByteArray Bytes(std::span<const std::uint8_t> s)
{
    return QByteArray(reinterpret_cast<const char*>(s.data()), qsizetype(s.size()));
}

inline std::uint32_t Get32(const QByteArray& b, qsizetype at)
{
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8
        | std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

inline void Set32(QByteArray& b, qsizetype at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

inline void Set16(QByteArray& b, qsizetype at, std::uint16_t v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}

// Little-endian int32 words, as RGNDATA and the tests' expectations are written.
inline QByteArray Words(std::initializer_list<std::int32_t> words)
{
    QByteArray out;
    for (std::int32_t w : words)
        for (int i = 0; i < 4; ++i)
            out.append(char((std::uint32_t(w) >> (8 * i)) & 0xff));
    return out;
}

} // namespace testbytes
