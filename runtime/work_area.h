// Placement of compact records in caller-owned work areas.
#pragma once

#include <cstddef>
#include <cstdint>

namespace runtime_detail {

// Rounds an address up to the next multiple of 4.
inline void* AlignUp4(void* area) {
    const auto address = reinterpret_cast<std::uintptr_t>(area);
    return reinterpret_cast<void*>((address + 3u) & ~std::uintptr_t{3});
}

// True when a record of type T still fits an area of `size` bytes after the
// worst-case rounding (3 bytes lost at the front).
template <typename T>
constexpr bool FitsWorkArea(std::int32_t size) {
    return alignof(T) <= 4 && sizeof(T) + 3 <= static_cast<std::size_t>(size);
}

}  // namespace runtime_detail
