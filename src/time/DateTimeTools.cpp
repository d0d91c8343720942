#include "time/DateTimeTools.h"

#include <charconv>
#include <cmath>

#include "base/Errors.h"

namespace jw::DateTimeTools {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMillisPerSecond = 1000.0;
constexpr double kCitectZeroDate = 25569.0;        // date value of 1970-01-01
constexpr double kDays1601To1899 = 109205.0;       // 1601-01-01 to 1899-12-30
constexpr std::int64_t kSeconds1899To1970 = 2209161600;
constexpr std::int64_t kTicks1601To1899 = 94353120000000000;


std::string Shortest(double x) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, res.ptr);
}

// One floating-point step of a conversion: an infinite or NaN result (an
// overflow or invalid operation) fails the conversion.
double Step(double r, std::string_view what) {
    if (!std::isfinite(r)) Fail(ErrorKind::Overflow, std::string(what) + ": floating-point overflow or invalid operation");
    return r;
}

}  // namespace

double CheckDate(double d, std::string_view what) {
    if (!IsValidDate(d))
        Fail(ErrorKind::Overflow,
             std::string(what) + ": " + Shortest(d) + " lies outside the date range 0100-01-01 to 9999-12-31 (overflow)");
    return d;
}

// --- Dispatch on the kind of the value ---------------------------------------

Scaled64 ToInt64(const TaggedValue& v, std::int32_t ms) {
    const std::string_view kind = v.TypeName();
    if (kind == "Currency") return v.AsCurrency();
    if (kind == "Date") return VBToInt64(v.AsDate());
    if (kind == "Long") return CitectToInt64(v.AsLong(), ms);
    return Scaled64();
}

double ToVB(const TaggedValue& v) {
    const std::string_view kind = v.TypeName();
    if (kind == "Currency") return Int64ToVB(v.AsCurrency());
    if (kind == "Date") return v.AsDate();
    if (kind == "Long") return CitectToVB(static_cast<double>(v.AsLong()));
    return 0.0;
}

std::int32_t ToCitect(const TaggedValue& v) {
    const std::string_view kind = v.TypeName();
    if (kind == "Currency") return Int64ToCitect(v.AsCurrency());
    if (kind == "Date") return VBToCitect(v.AsDate());
    if (kind == "Long") return v.AsLong();
    return 0;
}

// --- Elementary conversions --------------------------------------------------

std::int32_t Int64Millis(Scaled64 n) {
    const double v = n.ToDouble();  // milliseconds since 1601
    const double w = Step(std::trunc(Step(v / kMillisPerSecond, "Int64Millis")) * kMillisPerSecond, "Int64Millis");
    const Scaled64 W = Scaled64::FromDouble(w, "Int64Millis: whole seconds of the Int64 time");
    const Scaled64 R = n.Sub(W, "Int64Millis: sub-second part of the Int64 time");
    return R.ToInt32("Int64Millis: milliseconds of the Int64 time");
}

double CitectToVB(double seconds) {
    const double days = Step(seconds / kSecondsPerDay, "CitectToVB");
    const double d = Step(days + kCitectZeroDate, "CitectToVB");
    return CheckDate(d, "CitectToVB: date value of the Citect time");
}

std::int32_t VBToCitect(double d) {
    CheckDate(d, "VBToCitect");
    const double x = Step(d * kSecondsPerDay, "VBToCitect");
    const Scaled64 X = Scaled64::FromDouble(x, "VBToCitect: seconds since 1899-12-30");
    const Scaled64 Y = X.Sub(Scaled64::FromInt(kSeconds1899To1970), "VBToCitect: seconds since 1970");
    return Y.ToInt32("VBToCitect: Citect time (seconds since 1970) of the date value");
}

std::int32_t Int64ToCitect(Scaled64 n) {
    const double v = n.ToDouble();  // milliseconds since 1601
    const double s = Step(v / kMillisPerSecond, "Int64ToCitect");
    const Scaled64 S = Scaled64::FromDouble(s, "Int64ToCitect: seconds since 1601");
    const Scaled64 Y = S.Sub(Scaled64::FromInt(kSeconds1601To1970), "Int64ToCitect: seconds since 1970");
    return Y.ToInt32("Int64ToCitect: Citect time (seconds since 1970) of the Int64 time");
}

Scaled64 CitectToInt64(std::int32_t seconds, std::int32_t ms) {
    const Scaled64 s1601 = Scaled64::FromInt(seconds).Add(Scaled64::FromInt(kSeconds1601To1970), "CitectToInt64");
    return s1601.Mul(1000, "CitectToInt64").Add(Scaled64::FromInt(ms), "CitectToInt64");
}

double Int64ToVB(Scaled64 n) {
    const std::int32_t M = Int64Millis(n);
    const Scaled64 T = n.Sub(Scaled64::FromInt(M), "Int64ToVB: whole seconds of the Int64 time");
    const double s = Step(T.ToDouble() / kMillisPerSecond, "Int64ToVB");  // seconds since 1601
    const double d = Step(Step(s / kSecondsPerDay, "Int64ToVB") - kDays1601To1899, "Int64ToVB");
    return CheckDate(d, "Int64ToVB: date value of the Int64 time");
}

Scaled64 VBToInt64(double d) {
    CheckDate(d, "VBToInt64");
    const double x = Step(Step(d * kSecondsPerDay, "VBToInt64") * kMillisPerSecond, "VBToInt64");
    const Scaled64 X = Scaled64::FromDouble(x, "VBToInt64: milliseconds since 1899-12-30");
    return X.Add(Scaled64::FromRaw(kTicks1601To1899), "VBToInt64: Int64 time of the date value");
}

}  // namespace jw::DateTimeTools
