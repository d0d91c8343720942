// Tiny helpers for the little-endian integers and floats of trend records.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace jw {

template <class T>
inline T LoadLE(const std::uint8_t* p) {
    static_assert(std::is_arithmetic_v<T>);
    using U = std::conditional_t<sizeof(T) == 1, std::uint8_t,
              std::conditional_t<sizeof(T) == 2, std::uint16_t,
              std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;
    U u = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) u |= static_cast<U>(static_cast<U>(p[i]) << (8 * i));
    return std::bit_cast<T>(u);
}

template <class T>
inline void StoreLE(std::uint8_t* p, T v) {
    static_assert(std::is_arithmetic_v<T>);
    using U = std::conditional_t<sizeof(T) == 1, std::uint8_t,
              std::conditional_t<sizeof(T) == 2, std::uint16_t,
              std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;
    U u = std::bit_cast<U>(v);
    for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

}  // namespace jw
