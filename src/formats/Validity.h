// The one rule of what a trend file is and whether it is sound, for every
// command and the window: inspect --check lists these problems, export and
// the merge planner refuse or warn on them (docs/file-formats.md, "Validity").
//
//   - What a file is (master, data file, neither) follows from its structure
//     and size; its name only settles a file whose bytes would fit both.
//   - Every problem names its file, the field and, where two places
//     disagree, both values.  Its Severity says what a merge does with it:
//     Refuse when a set holding it would be read wrongly, Warn when the
//     file is carried over unchanged and reads exactly as before.
//   - Times must lie in the years 100 to 9999, the range of the calendar;
//     a time outside it is a problem of its field.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/TrendSet.h"
#include "formats/clsDataHeader.h"
#include "formats/clsHSTMaster.h"

namespace jw {

class TaggedValue;

// --- What a file is ------------------------------------------------------------

// A master file's name ends in "HST" in any letter case.
bool IsMasterFileName(std::string_view fileName);
// The trend of a master named "<trend>.HST" (any case), else nullopt.
std::optional<std::string> TrendOfMasterName(std::string_view fileName);

enum class TrendFileKind { Master, DataFile, Neither };

// What the file at path is.  A master: 176 header bytes with a Version of
// 0..6, nFiles and AddOn not negative, then whole records of that version's
// length, at least nFiles of them.  A data file: a
// Version of 0..6 at offset 138, the whole header of that version, then whole
// samples.  A file that fits both shapes, or neither, is taken by its name (a
// master when it ends in "HST" and is long enough for a master header, a data
// file when its header can be read); what is left is Neither.  A file that
// cannot be opened is a jw::Error.
TrendFileKind KindOfTrendFile(const std::filesystem::path& path);

// The master to choose instead of the data file at path: a master in the
// same folder one of whose records names this data file, else the master
// name the data file's own name gives ("TREND.003" -> "TREND.HST").
std::filesystem::path MasterOfDataFile(const std::filesystem::path& dataFile);

// The master header at the start of the file (read-only); a file shorter
// than a master header is an ErrorKind::InvalidData error naming it.
clsHSTMaster ReadMasterHeader(const std::filesystem::path& path);

// --- Samples -------------------------------------------------------------------

// Bytes of one sample: 16 or 8 (versions 4 and 6), 12 or 2 (0..3 and 5), the
// larger for event samples (HistoryType 4); 0 for a version outside 0..6.
std::int32_t SampleSizeOf(std::int32_t version, std::int32_t historyType);

// The written-samples rule: the runtime preallocates a data file for
// DataLength samples and counts those written so far in FilePointer.  Where
// DataLength is above 0 and FilePointer lies in 0..DataLength, FilePointer
// samples are written; otherwise the header does not say (nullopt: older
// writers stored a byte count there).
std::optional<std::int32_t> WrittenSamples(std::int32_t filePointer, std::int32_t dataLength);

// The last sample number the written-samples rule lets count (INT32_MAX: no
// limit): the written samples, except that a FilePointer of 0 in a file that
// is not the newest of its set is taken as a file the runtime filled and
// moved past; includeUnwritten counts the preallocated samples too.
std::int32_t WrittenLimit(std::int32_t filePointer, std::int32_t dataLength, bool newest, bool includeUnwritten);

// --- Times ---------------------------------------------------------------------

// Empty when a stored time lies in the years the calendar holds (every
// Citect time does, and a time of zero means "not set"); else the problem,
// naming the field: "StartTime -9223372036854775808 ticks lies outside the
// years 100 to 9999".
std::string TimeRangeProblem(std::string_view field, const TaggedValue& raw);

// --- Problems ------------------------------------------------------------------

enum class Severity { Refuse, Warn };

struct Problem {
    Severity Level = Severity::Refuse;
    std::filesystem::path File;   // the file it concerns
    std::optional<int> Record;    // the master record it concerns, when one
    std::string Field;            // "StartTime", "DataLength", ...; empty for the file as a whole
    std::string Text;             // "record 3: data file \"T.003\" has Version 2, the record says 4"
};

// The problems of one data file: a header that cannot be read (then nothing
// else), times outside the calendar, a negative DataLength, a FilePointer
// that counts no written samples or more than the file holds, a cut last
// sample, a sample period that cannot time the samples.
std::vector<Problem> CheckDataFile(const std::filesystem::path& path);

// The problems of a set: the master's faults, then for every record that
// counts its own fields (Version against the master's, times, FilePointer),
// its data file, whether that file agrees with it (Version, HistoryType,
// StartTime) and the data file's own problems (CheckDataFile).
std::vector<Problem> CheckTrendSet(const TrendSet& set);

// The check of a file that is named or given as a master but is a data file:
// one Refuse problem naming the master to choose instead; nullopt when path
// is no data file.
std::optional<Problem> DataFileAsMaster(const std::filesystem::path& path);

// --- Which trend ---------------------------------------------------------------

// The name of the trend a set's records record: the base name most of its
// recorded data file Names share ("TREND." of "C:\\Data\\TREND.003"), empty
// when no record names one.
std::string RecordedTrendName(const TrendSet& set);

// Empty when a and b can be sets of one trend; else what differs, naming
// both values ("the masters' Title differs (\"A\", \"B\")").  A trend is
// told by its master's Title, which the runtime writes with the trend's tag,
// and by the base name of its recorded data file Names, which the runtime
// names every data file after; the master file's own name (a copy may be
// renamed) and ID (the same for every trend of a project) do not tell.
std::string TrendDifference(const TrendSet& a, const TrendSet& b);

// "<file>: <text>", the form every front shows a problem in.
std::string ProblemText(const Problem& p);

}  // namespace jw
