// Break dates as typed.
//
// Properties: a text that is read gives a valid calendar date of at most four
// year digits, made of nothing but digits, one kind of separator and blanks
// at its ends; formatted back as YYYY-MM-DD, as m-d-yyyy, mm/dd/yyyy or
// m.d.yyyy, and with blanks around it, it reads as the same day.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "engine/TrendTools.h"
#include "time/DateTimeTools.h"
#include "base/Errors.h"

using namespace fuzzsupport;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 64));
    const auto read = jw::ParseBreakDate(text);
    if (!read) return 0;
    const std::chrono::year_month_day d = *read;
    FUZZ_CHECK(d.ok() && int(d.year()) >= 0 && int(d.year()) <= 9999, "a calendar date of four year digits: " + text);
    const std::size_t b = text.find_first_not_of(" \t"), e = text.find_last_not_of(" \t");
    const std::string core = text.substr(b, e - b + 1);
    const auto other = core.find_first_not_of("0123456789");
    FUZZ_CHECK(core.find_first_not_of("0123456789" + core.substr(std::min(other, core.size()), 1)) == std::string::npos,
               "digits and one kind of separator only: " + text);

    const std::string iso = jw::DateTimeTools::FormatDate(d);
    FUZZ_CHECK(jw::ParseBreakDate(iso) == d, "ISO text " + iso + " reads back as the day of " + text);
    for (const char* form : {"%u-%u-%04d", "%02u/%02u/%04d", "%u.%u.%04d"}) {
        char buf[32];
        std::snprintf(buf, sizeof buf, form, unsigned(d.month()), unsigned(d.day()), int(d.year()));
        FUZZ_CHECK(jw::ParseBreakDate(buf) == d, std::string(buf) + " reads back as " + iso);
    }
    FUZZ_CHECK(jw::ParseBreakDate(" \t" + text + "  ") == d, "blanks around a date change nothing: " + text);
    return 0;
}
