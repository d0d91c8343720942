#include "time/DateTimeTools.h"

#include <charconv>
#include <cmath>

#include "base/Errors.h"

namespace jw::DateTimeTools {

namespace {

using namespace std::chrono;

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMillisPerSecond = 1000.0;
constexpr double kCitectZeroDate = 25569.0;        // date value of 1970-01-01
constexpr double kDays1601To1899 = 109205.0;       // 1601-01-01 to 1899-12-30
constexpr std::int64_t kSeconds1601To1970 = 11644473600;
constexpr std::int64_t kSeconds1899To1970 = 2209161600;
constexpr std::int64_t kTicks1601To1899 = 94353120000000000;
constexpr std::int64_t kTicksPerDay = 864000000000;

constexpr sys_days kDateZero = sys_days(1899y / December / 30);
constexpr sys_days kTicksZero = sys_days(1601y / January / 1);

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

void AppendDigits(std::string& out, long long v, int width) {
    if (v < 0) {
        out += '-';
        v = -v;
    }
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    const auto len = static_cast<int>(res.ptr - buf);
    if (len < width) out.append(static_cast<std::size_t>(width - len), '0');
    out.append(buf, res.ptr);
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

// --- Calendar helpers --------------------------------------------------------

CivilTime VBToCivil(double d) {
    CheckDate(d, "date value");
    const double day = std::floor(d);
    const double secondOfDay = RoundHalfEven((d - day) * kSecondsPerDay);  // 0 .. 86400
    constexpr sys_days kLastDay = sys_days(9999y / December / 31);
    sys_days date = kDateZero + days(static_cast<int>(day));
    auto second = static_cast<long>(secondOfDay);
    if (second >= 86400) {
        if (date == kLastDay) {
            second = 86399;  // nothing after 9999-12-31 23:59:59 to carry into
        } else {
            date += days(1);
            second -= 86400;
        }
    }
    CivilTime t;
    t.date = year_month_day(date);
    t.hour = static_cast<int>(second / 3600);
    t.minute = static_cast<int>(second / 60 % 60);
    t.second = static_cast<int>(second % 60);
    return t;
}

double CivilToVB(year_month_day date) {
    if (!date.ok() || date.year() < year(100) || date.year() > year(9999)) {
        std::string text = FormatDate(date);
        Fail(ErrorKind::Overflow, "date " + text + " is not a calendar date within the years 100 to 9999 (overflow)");
    }
    return static_cast<double>((sys_days(date) - kDateZero).count());
}

CivilTime TicksToCivil(std::int64_t ticks) {
    std::int64_t day = ticks / kTicksPerDay;
    std::int64_t rest = ticks % kTicksPerDay;
    if (rest < 0) {  // floor toward the past
        --day;
        rest += kTicksPerDay;
    }
    CivilTime t;
    t.date = year_month_day(kTicksZero + days(day));
    const std::int64_t ms = rest / 10000;
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

std::string FormatDate(year_month_day date) {
    std::string out;
    AppendDigits(out, static_cast<int>(date.year()), 4);
    out += '-';
    AppendDigits(out, static_cast<unsigned>(date.month()), 2);
    out += '-';
    AppendDigits(out, static_cast<unsigned>(date.day()), 2);
    return out;
}

std::string FormatCivil(const CivilTime& t, bool withMilliseconds) {
    std::string out = FormatDate(t.date);
    out += ' ';
    AppendDigits(out, t.hour, 2);
    out += ':';
    AppendDigits(out, t.minute, 2);
    out += ':';
    AppendDigits(out, t.second, 2);
    if (withMilliseconds) {
        out += '.';
        AppendDigits(out, t.millisecond, 3);
    }
    return out;
}

}  // namespace jw::DateTimeTools
