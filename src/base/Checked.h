// Checked integer arithmetic: 16-, 32- and 64-bit overflow is an error
// (ErrorKind::Overflow), never a wrap-around.  `what` names the value in the
// error's description ("nFiles", "AddOn + nFiles", "output counter", ...).
#pragma once

#include <concepts>
#include <limits>
#include <type_traits>
#include <utility>
#include <string>
#include <string_view>

#include "base/Errors.h"

namespace jw {

namespace detail {
[[noreturn]] void FailOverflow(std::string_view what, const std::string& value, std::string_view type);
template <std::integral T>
constexpr std::string_view TypeName() {
    if constexpr (sizeof(T) == 1) return std::is_signed_v<T> ? "8-bit" : "unsigned 8-bit";
    else if constexpr (sizeof(T) == 2) return std::is_signed_v<T> ? "16-bit" : "unsigned 16-bit";
    else if constexpr (sizeof(T) == 4) return std::is_signed_v<T> ? "32-bit" : "unsigned 32-bit";
    else return std::is_signed_v<T> ? "64-bit" : "unsigned 64-bit";
}
}  // namespace detail

// v as a To, or an overflow error when it lies outside To's range.
template <std::integral To, std::integral From>
constexpr To CheckedNarrow(From v, std::string_view what) {
    if (!std::in_range<To>(v)) detail::FailOverflow(what, std::to_string(v), detail::TypeName<To>());
    return static_cast<To>(v);
}

template <std::integral T>
constexpr T CheckedAdd(T a, T b, std::string_view what) {
    T r{};
    if (__builtin_add_overflow(a, b, &r))
        detail::FailOverflow(what, std::to_string(a) + " + " + std::to_string(b), detail::TypeName<T>());
    return r;
}

template <std::integral T>
constexpr T CheckedSub(T a, T b, std::string_view what) {
    T r{};
    if (__builtin_sub_overflow(a, b, &r))
        detail::FailOverflow(what, std::to_string(a) + " - " + std::to_string(b), detail::TypeName<T>());
    return r;
}

template <std::integral T>
constexpr T CheckedMul(T a, T b, std::string_view what) {
    T r{};
    if (__builtin_mul_overflow(a, b, &r))
        detail::FailOverflow(what, std::to_string(a) + " * " + std::to_string(b), detail::TypeName<T>());
    return r;
}

}  // namespace jw
