#pragma once
// Byte-level helpers of the package and picture tests.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>
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

inline std::span<const std::uint8_t> Span(const QByteArray& b) { return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())}; }
inline QByteArray Bytes(std::span<const std::uint8_t> s) { return QByteArray(reinterpret_cast<const char*>(s.data()), qsizetype(s.size())); }

inline std::uint32_t Get32(const QByteArray& b, qsizetype at) { return qFromLittleEndian<std::uint32_t>(b.constData() + at); }
inline void Set32(QByteArray& b, qsizetype at, std::uint32_t v) { qToLittleEndian(v, b.data() + at); }
inline void Set16(QByteArray& b, qsizetype at, std::uint16_t v) { qToLittleEndian(v, b.data() + at); }

// Little-endian int32 words, as RGNDATA and the tests' expectations are written.
inline QByteArray Words(std::initializer_list<std::int32_t> words)
{
    QByteArray out(qsizetype(words.size()) * 4, '\0');
    qToLittleEndian<std::int32_t>(words.begin(), qsizetype(words.size()), out.data());
    return out;
}

} // namespace testbytes
