// Times as the command line shows them: "YYYY-MM-DD HH:MM:SS[.mmm]" in the
// trend's own clock (no time-zone or daylight-saving shift, as everywhere in
// these files).  Every instant is carried as an Int64 time: 100-ns ticks
// since 1601-01-01 00:00:00, which holds both stored encodings exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "time/TaggedValue.h"

namespace jw::cli {

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kTicksPerMillisecond = 10'000;
inline constexpr std::int64_t kTicksPerDay = 86'400 * kTicksPerSecond;
inline constexpr std::int64_t kSeconds1601To1970 = 11'644'473'600;

// Citect seconds (and milliseconds) as ticks; exact for the whole int32 range.
constexpr std::int64_t CitectToTicks(std::int64_t seconds, std::int64_t ms = 0) {
    return ((seconds + kSeconds1601To1970) * 1000 + ms) * kTicksPerMillisecond;
}

// A stored time of a header or record: what the field holds and its ticks.
struct StoredTime {
    std::int64_t Raw = 0;    // the field as stored: Citect seconds or Int64 ticks
    std::int64_t Ticks = 0;  // the same instant as ticks
    bool IsCitect = false;
};

// Reads a clsTimes Raw as the loaders leave it: "Long" (Citect seconds) or
// "Currency" (Int64 ticks).  Any other kind is a time of 0.
StoredTime FromRaw(const TaggedValue& raw);

// "YYYY-MM-DD HH:MM:SS" or, with milliseconds, "YYYY-MM-DD HH:MM:SS.mmm"
// (milliseconds truncated from the ticks, the day floored toward the past).
std::string FormatTicks(std::int64_t ticks, bool withMilliseconds);

// Text of a stored time for display: the instant, or "" when the field is 0
// (a time that was never set: template records, unused files).
std::string StoredTimeText(const StoredTime& t);

// Fast "YYYY-MM-DD HH:MM:SS.mmm" for exports: the date text of the last day
// is kept, so a run of samples on one day costs a few divisions each.
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

// Reads a time given on the command line: "YYYY-MM-DD", optionally followed
// by " " or "T" and "HH:MM", "HH:MM:SS" or "HH:MM:SS.mmm".  nullopt when the
// text is not such a time (or names no real date).
std::optional<std::int64_t> ParseTimeText(std::string_view text);

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d);
void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d);

}  // namespace jw::cli
