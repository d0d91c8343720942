// Pieces shared by the engine's source files (not part of its interface).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace jw {
class clsTimes;
}

namespace jw::engine_detail {

// Empty when a recorded Name can name a data file that is taken into the
// merged set: it has a folder part, a file name with a "." and at most three
// characters after it, a file name the host can hold.  Otherwise why not.
std::string RecordedNameProblem(std::string_view recordedName);

// The start day of an instant: the calendar date of its date value rounded to
// the whole second.  A time that is no date is a jw::Error (the conversion's).
std::chrono::year_month_day StartDayOf(const clsTimes& t);

}  // namespace jw::engine_detail
