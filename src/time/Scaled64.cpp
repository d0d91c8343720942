#include "time/Scaled64.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/Checked.h"
#include "base/Errors.h"

namespace jw {

namespace {

constexpr std::int64_t kScale = 10000;

std::string ShortestText(double x) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, res.ptr);
}

}  // namespace

// x rounded to the nearest integer, ties to the even one, whatever the
// floating-point rounding mode.  x - floor(x) is exact for every finite x.
double RoundHalfEven(double x) {
    const double f = std::floor(x);
    const double frac = x - f;
    if (frac > 0.5) return f + 1.0;
    if (frac < 0.5) return f;
    return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

Scaled64 Scaled64::FromInt(std::int64_t k, std::string_view what) {
    return Scaled64(CheckedMul<std::int64_t>(k, kScale, what));
}

Scaled64 Scaled64::FromDouble(double x, std::string_view what) {
    const double y = x * 10000.0;
    // -2^63 is the lowest 64-bit integer; 2^63 is one past the highest.
    constexpr double kLow = -9223372036854775808.0;
    constexpr double kHigh = 9223372036854775808.0;
    if (std::isfinite(y)) {
        const double r = RoundHalfEven(y);
        if (r >= kLow && r < kHigh) return Scaled64(static_cast<std::int64_t>(r));
    }
    Fail(ErrorKind::Overflow,
         std::string(what) + ": " + ShortestText(x) + " does not fit a scaled 64-bit number (overflow)");
}

std::int32_t Scaled64::ToInt32(std::string_view what) const {
    std::int64_t q = n_ / kScale;  // toward zero
    const std::int64_t r = n_ % kScale;  // same sign as n_
    const std::int64_t half = kScale / 2;
    if (r > half || (r == half && q % 2 != 0)) ++q;
    else if (r < -half || (r == -half && q % 2 != 0)) --q;
    if (!std::in_range<std::int32_t>(q))
        Fail(ErrorKind::Overflow,
             std::string(what) + ": " + ToDecimalString() + " does not fit a 32-bit integer (overflow)");
    return static_cast<std::int32_t>(q);
}

std::string Scaled64::ToDecimalString() const {
    const bool negative = n_ < 0;
    // The magnitude in unsigned arithmetic, so that -2^63 has one too.
    const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(n_) : static_cast<std::uint64_t>(n_);
    const std::uint64_t whole = mag / kScale;
    const std::uint64_t frac = mag % kScale;
    std::string text = negative ? "-" : "";
    text += std::to_string(whole);
    text += '.';
    const std::string digits = std::to_string(frac);
    text.append(4 - digits.size(), '0');
    text += digits;
    return text;
}

Scaled64 Scaled64::Add(Scaled64 o, std::string_view what) const {
    return Scaled64(CheckedAdd(n_, o.n_, what));
}

Scaled64 Scaled64::Sub(Scaled64 o, std::string_view what) const {
    return Scaled64(CheckedSub(n_, o.n_, what));
}

Scaled64 Scaled64::Mul(std::int64_t k, std::string_view what) const {
    return Scaled64(CheckedMul(n_, k, what));
}

Scaled64 Scaled64::operator+(Scaled64 o) const { return Add(o, "scaled 64-bit sum"); }
Scaled64 Scaled64::operator-(Scaled64 o) const { return Sub(o, "scaled 64-bit difference"); }
Scaled64 Scaled64::operator*(std::int64_t k) const { return Mul(k, "scaled 64-bit product"); }

}  // namespace jw
