// Conversions between the three time encodings (see clsTimes.h), following
// the trend files' own rules step by step: the same float steps in the same
// order, the same roundings, the same error conditions.  Date values are valid
// for the years 100 to 9999 (-657,434.0 to 2,958,465.99...); producing one
// outside that range is an overflow error.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "time/Scaled64.h"
#include "time/TaggedValue.h"

namespace jw::DateTimeTools {

// The range of a date value: 0100-01-01 00:00:00 up to (not including)
// 10000-01-01, that is -657,434.0 <= d < 2,958,466.0.
inline constexpr double kMinDate = -657434.0;
inline constexpr double kDateEnd = 2958466.0;

// True when d is a date value within the range (false for NaN).
constexpr bool IsValidDate(double d) { return d >= kMinDate && d < kDateEnd; }
// d itself, or an overflow error naming `what` when d lies outside the range.
double CheckDate(double d, std::string_view what);

// Dispatch on Raw's kind: "Currency", then "Date", then "Long"; any other
// kind gives zero of the result type.
Scaled64 ToInt64(const TaggedValue& v, std::int32_t ms);
double ToVB(const TaggedValue& v);
std::int32_t ToCitect(const TaggedValue& v);

std::int32_t Int64Millis(Scaled64 n);
double CitectToVB(double seconds);
std::int32_t VBToCitect(double d);
std::int32_t Int64ToCitect(Scaled64 n);
Scaled64 CitectToInt64(std::int32_t seconds, std::int32_t ms);
double Int64ToVB(Scaled64 n);
Scaled64 VBToInt64(double d);

// --- The calendar ----------------------------------------------------------
// Calendar dates and times of day, and their text "YYYY-MM-DD HH:MM:SS[.mmm]",
// for every part of the program (no time-zone or daylight-saving shift).

inline constexpr std::int64_t kTicksPerMillisecond = 10'000;
inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kTicksPerDay = 864'000'000'000;
inline constexpr std::int64_t kSeconds1601To1970 = 11'644'473'600;

// The tick counts the calendar holds: 0100-01-01 00:00:00 up to (not
// including) 10000-01-01, the years of a date value.
inline constexpr std::int64_t kFirstCalendarTicks =
    (std::chrono::sys_days(std::chrono::year(100) / 1 / 1) - std::chrono::sys_days(std::chrono::year(1601) / 1 / 1))
        .count() * kTicksPerDay;
inline constexpr std::int64_t kCalendarTicksEnd =
    (std::chrono::sys_days(std::chrono::year(10000) / 1 / 1) - std::chrono::sys_days(std::chrono::year(1601) / 1 / 1))
        .count() * kTicksPerDay;
constexpr bool IsCalendarTicks(std::int64_t ticks) { return ticks >= kFirstCalendarTicks && ticks < kCalendarTicksEnd; }

// Citect seconds (and milliseconds) as an Int64 tick count; exact for the
// whole int32 range.
constexpr std::int64_t CitectToTicks(std::int64_t seconds, std::int64_t ms = 0) {
    return ((seconds + kSeconds1601To1970) * 1000 + ms) * kTicksPerMillisecond;
}

// A calendar date and time of day.
struct CivilTime {
    std::chrono::year_month_day date;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The date value as calendar date and time of day, rounded to the whole
// second (what its "mm/dd/yyyy hh:nn:ss" text shows): the day is floor(d)
// days after 1899-12-30, the time d - floor(d); a time that rounds to 24:00
// belongs to the next day (ties of the rounding go to the even second).
// -0.25 is 1899-12-29 18:00:00.  The last fraction of a second of 9999-12-31
// stays at 23:59:59.  Outside the date range (or NaN): overflow error.
CivilTime VBToCivil(double d);

// The calendar date and time of an Int64 tick count, exact integer arithmetic
// (floor toward the past), milliseconds truncated from the ticks.  Every
// tick count has one (the proleptic calendar reaches past the years 100 to
// 9999 the trend files use; IsCalendarTicks tells those apart).
CivilTime TicksToCivil(std::int64_t ticks);
// And back: the tick count of a calendar date and time.
std::int64_t CivilToTicks(const CivilTime& t);

// "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS" / "YYYY-MM-DD HH:MM:SS.mmm".
std::string FormatDate(std::chrono::year_month_day date);
std::string FormatCivil(const CivilTime& t, bool withMilliseconds);

// Reads "YYYY-MM-DD", optionally followed by " " or "T" and "HH:MM",
// "HH:MM:SS" or "HH:MM:SS.mmm".  nullopt when the text is not such a time or
// names no real date or time of day.
std::optional<CivilTime> ParseCivil(std::string_view text);

// Fast "YYYY-MM-DD HH:MM:SS.mmm" for long runs of tick counts (exports): the
// date text of the last day is kept, so samples on one day cost a few
// divisions each.
class TickFormatter {
public:
    static constexpr std::size_t kLength = 23;
    // Writes exactly kLength characters (more for years past 9999) at out and
    // returns the end.  out must have room for 32 characters.
    char* Write(std::int64_t ticks, char* out);

private:
    std::int64_t day_ = INT64_MIN;
    char date_[16] = {};
    std::size_t dateLength_ = 0;
};

}  // namespace jw::DateTimeTools
