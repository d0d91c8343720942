// inspect: what a master file or a data file holds, as text or JSON, and
// with --check the problems found in it.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace jw::cli {

struct InspectOptions {
    bool Json = false;
    bool Check = false;
};

// One problem --check found; Record is the file-header record it concerns.
struct Problem {
    std::optional<int> Record;
    std::string Text;
};

// Problems of a master file and the data files beside it: records the file
// does not fully hold, record versions that differ from the master's, data
// files missing, data files that are not valid trend files, and data files
// whose header disagrees with their record (Version, HistoryType, and the
// start time unless the record's is 0, as in the template records a merge
// writes).
std::vector<Problem> CheckMaster(const std::filesystem::path& master);

// Problems of one data file: a last sample the file holds only in part, a
// periodic file whose sample period is 0 or less with samples to time.  A
// file that is not a trend data file is an error, not a problem.
std::vector<Problem> CheckDataFile(const std::filesystem::path& dataFile);

// Prints the report; returns 0, or 1 when Check found problems.  Failures
// (a file that cannot be read, a data file that is not a trend file) are
// errors.
int RunInspect(const std::filesystem::path& path, const InspectOptions& options, std::ostream& out);

}  // namespace jw::cli
