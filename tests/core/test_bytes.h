// Little-endian byte images for building record payloads in tests.
#pragma once

#include <QByteArray>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

inline QByteArray le32(uint32_t v)
{
    QByteArray b(4, '\0');
    std::memcpy(b.data(), &v, 4);
    return b;
}
inline QByteArray le16(uint16_t v)
{
    QByteArray b(2, '\0');
    std::memcpy(b.data(), &v, 2);
    return b;
}
inline QByteArray f32(float v)
{
    return le32(std::bit_cast<uint32_t>(v));
}

// The same as a byte vector, for the packet builder.
inline std::vector<uint8_t> le32Bytes(uint32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
