#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cstdint>

namespace kv {

// Appends `value` in the little-endian order of RIFF headers.
template <typename T> void AppendLittleEndian(QByteArray& bytes, T value) {
    char raw[sizeof(T)];
    qToLittleEndian(value, raw);
    bytes.append(raw, sizeof(T));
}

inline void put16(QByteArray& b, std::uint16_t v) {
    AppendLittleEndian(b, v);
}
inline void put32(QByteArray& b, std::uint32_t v) {
    AppendLittleEndian(b, v);
}
inline void put64(QByteArray& b, std::uint64_t v) {
    AppendLittleEndian(b, v);
}

} // namespace kv
