// The scaled 64-bit number: a signed 64-bit integer N that stands for the
// decimal number N / 10,000 (exactly four decimals).  Int64 times (100-ns
// tick counts since 1601) and 64-bit event numbers are carried in it; N is the
// figure stored in the trend files, N / 10,000 its numeric value.
//
// Rules (all overflow is ErrorKind::Overflow):
//   - add / subtract: exact integer arithmetic on N;
//   - multiply by a small integer: multiplies N;
//   - from a 32-bit integer k: N = k * 10,000, exactly;
//   - from a double x: N = x * 10,000 rounded to nearest, ties to even;
//   - to double: (double)N / 10000.0;
//   - to 32-bit: N / 10,000 rounded to nearest, ties to even.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace jw {

class Scaled64 {
public:
    constexpr Scaled64() = default;

    // The number whose integer is n (n ticks for an Int64 time).
    static constexpr Scaled64 FromRaw(std::int64_t n) { return Scaled64(n); }
    // The number k (N = k * 10,000).
    // `what` names the value in an overflow error's description.
    static Scaled64 FromInt(std::int64_t k, std::string_view what = "scaled 64-bit number");
    // The number nearest to x (N = x * 10,000, ties to even).  A NaN, an
    // infinity or a result outside the 64-bit range is an overflow error.
    static Scaled64 FromDouble(double x, std::string_view what = "scaled 64-bit number");

    constexpr std::int64_t Raw() const { return n_; }
    double ToDouble() const { return static_cast<double>(n_) / 10000.0; }
    // N / 10,000 rounded to nearest, ties to even; overflow error outside int32.
    std::int32_t ToInt32(std::string_view what = "scaled 64-bit number") const;
    // The numeric value as exact decimal text with four decimals: "-1.2345".
    std::string ToDecimalString() const;

    // Exact arithmetic on N; overflow error (naming `what`) outside 64 bits.
    Scaled64 Add(Scaled64 o, std::string_view what) const;
    Scaled64 Sub(Scaled64 o, std::string_view what) const;
    Scaled64 Mul(std::int64_t k, std::string_view what) const;

    Scaled64 operator+(Scaled64 o) const;
    Scaled64 operator-(Scaled64 o) const;
    Scaled64 operator*(std::int64_t k) const;

    constexpr auto operator<=>(const Scaled64&) const = default;

private:
    constexpr explicit Scaled64(std::int64_t n) : n_(n) {}
    std::int64_t n_ = 0;
};

// x rounded to the nearest integer, ties to the even one, whatever the
// floating-point rounding mode (x - floor(x) is exact for every finite x).
double RoundHalfEven(double x);

}  // namespace jw
