// Break dates as typed, and the start days they are compared with.
//
// Input: the text of a break date (its first 8 bytes also serve as a Citect
// time and an Int64 tick count for the start-day checks).
//
// Properties:
//  - a text that is read gives a valid calendar date; written back as
//    YYYY-MM-DD, as m-d-yyyy, mm/dd/yyyy or m.d.yyyy, and with blanks around
//    it, it reads as the same day; compared with its own ISO text it is equal;
//  - an accepted text holds nothing but digits, one kind of separator and
//    blanks at its ends; a refused one makes CompareToBreakDate fail;
//  - within the years 100..9999 a day survives the trip through a date value;
//  - the start day of a Citect time is its calendar day (exact integer
//    arithmetic); that of an Int64 time is the day of its whole second or of
//    the second after it, and a time outside the date range is an error.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "time/DateTimeTools.h"
#include "time/Errors.h"
#include "time/clsTimes.h"

namespace {

using namespace fuzzsupport;
using namespace std::chrono;
namespace dt = jw::DateTimeTools;

std::string MonthFirst(const year_month_day& d, char sep, bool pad) {
    char buf[32];
    const char* form = pad ? "%02u%c%02u%c%04d" : "%u%c%u%c%04d";
    std::snprintf(buf, sizeof buf, form, static_cast<unsigned>(d.month()), sep, static_cast<unsigned>(d.day()), sep,
                  static_cast<int>(d.year()));
    return buf;
}

std::string Iso(const year_month_day& d) { return dt::FormatDate(d); }

void CheckText(const std::string& text) {
    const auto read = jw::ParseBreakDate(text);
    if (!read) {
        try {
            (void)jw::CompareToBreakDate(text, "2004-09-17");
        } catch (const jw::Error& e) {
            FUZZ_CHECK(e.kind() == jw::ErrorKind::InvalidArgument, e.what());
            return;
        }
        Violated("a text that is not a date fails the comparison", __FILE__, __LINE__, Show(text));
    }
    const year_month_day d = *read;
    FUZZ_CHECK(d.ok(), "a read date is a calendar date: " + Show(text));
    const int y = static_cast<int>(d.year());
    FUZZ_CHECK(y >= 0 && y <= 9999, "a read year has at most four digits: " + Show(text));

    // Nothing but digits, separators and blanks at the ends.
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    char sep = 0;
    for (std::size_t i = b; i < e; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') continue;
        FUZZ_CHECK(c == '-' || c == '/' || c == '.', "only digits and separators inside a date: " + Show(text));
        FUZZ_CHECK(sep == 0 || sep == c, "one kind of separator: " + Show(text));
        sep = c;
    }

    // Written back, it reads as the same day.
    const std::string iso = Iso(d);
    FUZZ_CHECK(jw::ParseBreakDate(iso) == d, "ISO text " + iso + " reads back as the day of " + Show(text));
    for (const char s : {'-', '/', '.'})
        for (const bool pad : {false, true}) {
            const std::string m = MonthFirst(d, s, pad);
            FUZZ_CHECK(jw::ParseBreakDate(m) == d, m + " reads back as " + iso);
        }
    FUZZ_CHECK(jw::ParseBreakDate(" \t" + text + "  ") == d, "blanks around a date change nothing: " + Show(text));
    FUZZ_CHECK(jw::CompareToBreakDate(text, iso) == 3, "a date equals its own ISO text: " + Show(text));

    // Through a date value and back, within the date range.
    if (y >= 100) {
        const double v = dt::CivilToVB(d);
        FUZZ_CHECK(dt::VBToCivil(v).date == d, "the day survives a date value: " + iso);
        jw::clsTimes midnight;
        midnight.Raw = jw::TaggedValue::Date(v);
        FUZZ_CHECK(jw::engine_detail::StartDayOf(midnight) == d, "start day of midnight is the day: " + iso);
    }
}

// The calendar day of `seconds` after 1970-01-01, exactly.
year_month_day DayOfSeconds(std::int64_t seconds) {
    std::int64_t day = seconds / 86400;
    if (seconds % 86400 < 0) --day;
    return year_month_day(sys_days(days(day)));
}

void CheckStartDays(const std::string& input) {
    const auto citect = Get<std::int32_t>(input, 0);
    jw::clsTimes t;
    t.Raw = jw::TaggedValue::Long(citect);
    year_month_day day;
    try {
        day = jw::engine_detail::StartDayOf(t);
    } catch (const jw::Error& e) {
        Violated("every Citect time has a start day", __FILE__, __LINE__, std::to_string(citect) + ": " + e.what());
    }
    FUZZ_CHECK(day == DayOfSeconds(citect), "start day of Citect time " + std::to_string(citect));

    const auto ticks = Get<std::int64_t>(input, 0);
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kSeconds1601To1970 = 11'644'473'600;
    std::int64_t whole = ticks / kTicksPerSecond;
    if (ticks % kTicksPerSecond < 0) --whole;
    const std::int64_t unixSeconds = whole - kSeconds1601To1970;
    // Years 100..9999: -59,011,459,200 .. 253,402,300,799 seconds from 1970.
    const bool inRange = unixSeconds >= -59'011'459'200 && unixSeconds < 253'402'300'800;
    t.Raw = jw::TaggedValue::Currency(jw::Scaled64::FromRaw(ticks));
    try {
        day = jw::engine_detail::StartDayOf(t);
    } catch (const jw::Error& e) {
        // Near the ends of the range the float steps may fall on either side.
        const bool nearEdge = unixSeconds < -59'011'459'200 + 86400 || unixSeconds >= 253'402'300'800 - 86400;
        FUZZ_CHECK(!inRange || nearEdge, "a tick count within the date range has a start day: " +
                                             std::to_string(ticks) + ": " + e.what());
        return;
    }
    FUZZ_CHECK(unixSeconds >= -59'011'459'200 - 86400 && unixSeconds < 253'402'300'800 + 86400,
               "a tick count outside the years 100..9999 has no start day: " + std::to_string(ticks));
    if (inRange)
        FUZZ_CHECK(day == DayOfSeconds(unixSeconds) || day == DayOfSeconds(unixSeconds + 1),
                   "start day of tick count " + std::to_string(ticks) + " is the day of its second");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 64));
    CheckText(input);
    CheckStartDays(input);
    return 0;
}
