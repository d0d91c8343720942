// inspect: what a master file or a data file holds, as text or JSON, and
// with --check the problems found in it.
//
// A master is read with ReadTrendSet (its nFiles and AddOn records); --check
// lists the master's faults, records whose Version differs from the master's,
// a FilePointer outside 0..DataLength, data files missing or not valid trend
// files, and data files whose header disagrees with their record (Version,
// HistoryType, and the start time unless the record's is 0, as in the
// template records a merge writes).  For a data file --check lists a
// FilePointer outside 0..DataLength or beyond the samples held, a last sample
// the file holds only in part, and a periodic file whose sample period is 0
// or less with samples to time.
#pragma once

#include <filesystem>
#include <ostream>

namespace jw::cli {

struct InspectOptions {
    bool Json = false;
    bool Check = false;
    std::string Picture;  // also draw the set as an SVG timeline in this file
};

// Prints the report; returns 0, or 1 when Check found problems.  Failures
// (a file that cannot be read, a data file that is not a trend file) are
// errors.
int RunInspect(const std::filesystem::path& path, const InspectOptions& options, std::ostream& out);

}  // namespace jw::cli
