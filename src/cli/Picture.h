// A picture of one trend set, planned or on disk: an SVG timeline with one
// bar per data file from its start to its end time, coloured by where the
// file comes from, the break date as a line, and the gaps and overlaps
// between files that follow each other in time marked on the axis.
//
// Files whose start time is 0 (template copies, unused files) have no place
// on the time axis: they are drawn as boxes in a column of their own at the
// right, "time not set".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "time/TaggedValue.h"

namespace jw {
struct MergePlan;
}

namespace jw::cli {

enum class BarSource { Existing, Backup, Template, Set };

struct TimelineBar {
    std::string Label;           // the file's name, UTF-8
    BarSource Source = BarSource::Set;
    bool TimeSet = false;        // false: start time 0, drawn in the "time not set" column
    std::int64_t Start = 0;      // Int64 ticks (100 ns since 1601-01-01)
    std::int64_t End = 0;        // an end before the start is drawn as a point at the start
    std::int64_t Tolerance = 0;  // a gap to the next file up to this long is no gap (its sample period)
};

struct Timeline {
    std::string Trend;                    // shown as the title, UTF-8
    std::string Subtitle;                 // e.g. the master file's path
    std::vector<TimelineBar> Bars;        // in file order; one row each
    std::optional<std::int64_t> BreakAt;  // ticks of the break date's midnight
};

// A bar of one file from its stored times (Citect seconds or Int64 ticks as
// loaded; a start of 0 is "time not set", an end of 0 ends at the start)
// and its sample period in seconds, which a gap must exceed.
TimelineBar BarOf(std::string label, BarSource source, const TaggedValue& startRaw, const TaggedValue& endRaw,
                  double samplePeriodSeconds);

// A gap or overlap between two files that follow each other in time (by
// start time; files without a time take no part).  From < To.
struct TimelineMark {
    bool Overlap = false;
    std::int64_t From = 0, To = 0;
    std::size_t Before = 0, After = 0;  // indexes into Timeline::Bars
};
std::vector<TimelineMark> GapsAndOverlaps(const Timeline& timeline);

// The colour of each source in the picture and its legend ("#rrggbb").
const char* SourceColour(BarSource source);
const char* SourceName(BarSource source);  // "existing", "backup", "template copy", "data file"

// The SVG document of a timeline.  Every text is escaped; characters XML
// does not allow become "?".
std::string TimelineSvg(const Timeline& timeline);

// The timeline of a planned merge: each planned file with its record's
// times, coloured by source; the break date as the line.
Timeline PlanTimeline(const MergePlan& plan, const std::string& trend);

// Writes svg to path, which must not exist yet (never replaces a file); a
// failure is a jw::Error naming the file, and leaves no part of it.
void WritePicture(const std::filesystem::path& path, const std::string& svg);

}  // namespace jw::cli
