// Pieces shared by the engine's source files (not part of its interface).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace jw {
class clsTimes;
class clsHSTHeader;
struct MergePlan;
}

namespace jw::engine_detail {

// Empty when a recorded Name can name a data file that is taken into the
// merged set: it has a folder part, a file name with a "." and at most three
// characters after it, a file name the host can hold.  Otherwise why not.
std::string RecordedNameProblem(std::string_view recordedName);

// The start day of an instant: the calendar date of its date value rounded to
// the whole second.  A time that is no date is a jw::Error (the conversion's).
std::chrono::year_month_day StartDayOf(const clsTimes& t);

// Checks of a plan for odd inputs and requests (PlanChecks.cpp); a refusal
// is a jw::Error of kind Refused, a warning goes into plan.Warnings.
// The output folder (of a dry run) could not be made in its parent.
void RefuseUnwritableOutputParent(const std::filesystem::path& outputFolder);
// More than 1000 data files: numbers past 999 have four digits.
void RefuseNumbersPastThreeDigits(const MergePlan& plan);
// The same master given as backup and as existing set.
void WarnSameMasterTwice(MergePlan& plan, const std::filesystem::path& existing, const std::filesystem::path& backup);
// An empty data file that has been written to (its header's times are set).
void WarnTemplateWithSamples(MergePlan& plan, const std::filesystem::path& emptyDataFile);

}  // namespace jw::engine_detail
