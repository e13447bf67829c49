#pragma once

#include <cstdint>

namespace kestrix {

// How a field's bytes are stored in its record.
enum class StoredType : uint8_t { U8, U16, U32, I16, I32, F32, Char };

inline constexpr int StoredSize(StoredType t)
{
    switch (t) {
    case StoredType::U8:
    case StoredType::Char: return 1;
    case StoredType::U16:
    case StoredType::I16: return 2;
    default: return 4;
    }
}

} // namespace kestrix
