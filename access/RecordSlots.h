// Fixed-width values in the byte areas the native layer reads and writes: work buffers, key images,
// bookmarks and filter blobs. Each value is stored little-endian at any byte offset, whatever the
// machine's byte order and alignment, and is read and written through these two functions only.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace corvane {

// The value of type T stored little-endian at source.
template <class T>
T LoadLE(const void* source) {
    static_assert(std::is_trivially_copyable_v<T>);
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, source, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof(T));
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

// Stores value little-endian at target.
template <class T>
void StoreLE(void* target, T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof(T));
    std::memcpy(target, bytes, sizeof(T));
}

} // namespace corvane
