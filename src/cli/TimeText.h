// Times as the command line shows them: "YYYY-MM-DD HH:MM:SS[.mmm]" in the
// trend's own clock (the calendar of DateTimeTools).  Every instant is
// carried as an Int64 time: 100-ns ticks since 1601-01-01 00:00:00, which
// holds both stored encodings exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "time/DateTimeTools.h"
#include "time/TaggedValue.h"

namespace jw::cli {

using DateTimeTools::CitectToTicks;
using DateTimeTools::kTicksPerMillisecond;
using DateTimeTools::kTicksPerSecond;
using DateTimeTools::TickFormatter;

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

// Reads a time given on the command line (DateTimeTools::ParseCivil) as ticks.
std::optional<std::int64_t> ParseTimeText(std::string_view text);

}  // namespace jw::cli
