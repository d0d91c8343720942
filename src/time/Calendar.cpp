// The calendar of DateTimeTools.h: dates and times of day on <chrono>'s
// proleptic Gregorian calendar, and their text.
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/Errors.h"
#include "time/DateTimeTools.h"

namespace jw::DateTimeTools {

namespace {

using namespace std::chrono;

constexpr sys_days kDateZero = sys_days(1899y / December / 30);
constexpr sys_days kTicksZero = sys_days(1601y / January / 1);
constexpr double kSecondsPerDay = 86400.0;

// v as at least `width` digits, "-" first when negative; returns the end.
char* Digits(char* out, long long v, int width) {
    if (v < 0) {
        *out++ = '-';
        v = -v;
    }
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    for (auto len = res.ptr - buf; len < width; ++len) *out++ = '0';
    std::memcpy(out, buf, static_cast<std::size_t>(res.ptr - buf));
    return out + (res.ptr - buf);
}

// "YYYY-MM-DD" at out; returns the end.
char* DateText(char* out, year_month_day date) {
    out = Digits(out, static_cast<int>(date.year()), 4);
    *out++ = '-';
    out = Digits(out, static_cast<unsigned>(date.month()), 2);
    *out++ = '-';
    return Digits(out, static_cast<unsigned>(date.day()), 2);
}

// v (0 <= v < 10^width) as exactly `width` digits; returns the end.
char* Fixed(char* out, int v, int width) {
    for (int i = width - 1; i >= 0; --i, v /= 10) out[i] = static_cast<char>('0' + v % 10);
    return out + width;
}

// "HH:MM:SS" and, with milliseconds, ".mmm" at out; returns the end.
char* TimeText(char* out, const CivilTime& t, bool withMilliseconds) {
    out = Fixed(out, t.hour, 2);
    *out++ = ':';
    out = Fixed(out, t.minute, 2);
    *out++ = ':';
    out = Fixed(out, t.second, 2);
    if (!withMilliseconds) return out;
    *out++ = '.';
    return Fixed(out, t.millisecond, 3);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if (a % b != 0 && (a < 0) != (b < 0)) --q;
    return q;
}

// a - FloorDiv(a, b) * b for b > 0, in 0 .. b - 1, without the product
// (which leaves the 64-bit range for a near INT64_MIN).
std::int64_t FloorMod(std::int64_t a, std::int64_t b) {
    const std::int64_t r = a % b;
    return r < 0 ? r + b : r;
}

}  // namespace

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

CivilTime TicksToCivil(std::int64_t ticks) {
    const std::int64_t day = FloorDiv(ticks, kTicksPerDay);
    const std::int64_t ms = FloorMod(ticks, kTicksPerDay) / kTicksPerMillisecond;
    CivilTime t;
    t.date = year_month_day(kTicksZero + days(day));
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

std::int64_t CivilToTicks(const CivilTime& t) {
    const std::int64_t day = (sys_days(t.date) - kTicksZero).count();
    return day * kTicksPerDay + ((std::int64_t{t.hour} * 60 + t.minute) * 60 + t.second) * kTicksPerSecond +
           std::int64_t{t.millisecond} * kTicksPerMillisecond;
}

std::string FormatDate(year_month_day date) {
    char buf[32];
    return std::string(buf, DateText(buf, date));
}

std::string FormatCivil(const CivilTime& t, bool withMilliseconds) {
    char buf[48];
    char* p = DateText(buf, t.date);
    *p++ = ' ';
    return std::string(buf, TimeText(p, t, withMilliseconds));
}

std::optional<CivilTime> ParseCivil(std::string_view text) {
    // Fixed positions: YYYY-MM-DD[( |T)HH:MM[:SS[.mmm]]]
    auto number = [&](std::size_t pos, std::size_t n, int& out) {
        if (pos + n > text.size()) return false;
        const auto r = std::from_chars(text.data() + pos, text.data() + pos + n, out);
        return r.ec == std::errc() && r.ptr == text.data() + pos + n && text[pos] != '-' && text[pos] != '+';
    };
    int y = 0, mo = 0, d = 0;
    CivilTime t;
    if (text.size() < 10 || !number(0, 4, y) || text[4] != '-' || !number(5, 2, mo) || text[7] != '-' ||
        !number(8, 2, d))
        return std::nullopt;
    t.date = year_month_day(year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d)));
    if (!t.date.ok()) return std::nullopt;
    if (text.size() == 10) return t;
    if ((text[10] != ' ' && text[10] != 'T') || !number(11, 2, t.hour) || text.size() < 16 || text[13] != ':' ||
        !number(14, 2, t.minute))
        return std::nullopt;
    std::size_t pos = 16;
    if (pos < text.size()) {
        if (text[pos] != ':' || !number(pos + 1, 2, t.second)) return std::nullopt;
        pos += 3;
        if (pos < text.size()) {
            if (text[pos] != '.' || !number(pos + 1, 3, t.millisecond)) return std::nullopt;
            pos += 4;
        }
    }
    if (pos != text.size() || t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
    return t;
}

char* TickFormatter::Write(std::int64_t ticks, char* out) {
    const std::int64_t day = FloorDiv(ticks, kTicksPerDay);
    if (day != day_) {
        char* p = DateText(date_, year_month_day(kTicksZero + days(day)));
        *p++ = ' ';
        dateLength_ = static_cast<std::size_t>(p - date_);
        day_ = day;
    }
    std::memcpy(out, date_, dateLength_);
    // The time of day in unsigned 32-bit steps: this runs once per exported row.
    const auto ms = static_cast<std::uint32_t>(FloorMod(ticks, kTicksPerDay) / kTicksPerMillisecond);
    const std::uint32_t secs = ms / 1000, frac = ms % 1000;
    auto two = [](char* p, std::uint32_t v) {
        p[0] = static_cast<char>('0' + v / 10);
        p[1] = static_cast<char>('0' + v % 10);
    };
    char* p = out + dateLength_;
    two(p, secs / 3600);
    p[2] = ':';
    two(p + 3, secs / 60 % 60);
    p[5] = ':';
    two(p + 6, secs % 60);
    p[8] = '.';
    p[9] = static_cast<char>('0' + frac / 100);
    two(p + 10, frac % 100);
    return p + 12;
}

}  // namespace jw::DateTimeTools
