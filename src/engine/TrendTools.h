// The merge engine: joins a backup trend set (history before a break date)
// and an existing trend set (history from the break date on) into a new set
// in an output folder, topped up with copies of an empty data file.
//
// A merge is planned first (PlanMerge: reads both masters and checks every
// input; writes nothing) and then written (WriteMerge).  MergeTrendSets does
// both.  Every refusal is a jw::Error of kind Refused (or the kind of the
// underlying failure) whose description names the file, record or field and
// what is wrong; a refused plan leaves the output folder untouched.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/TrendSet.h"
#include "formats/Validity.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"
#include "os/File.h"

namespace jw {

// The six values the window hands to the merge job.  Paths are host paths.
struct MergeRequest {
    std::string BrakeDate;      // month-day-year as typed
    std::string OutputFolder;   // exists (the window/command line created it), empty
    std::string BackupFile;     // backup set's master file
    std::string ExistingFile;   // existing set's master file
    std::int16_t NumberOfFiles = 0;
    std::string EmptyDataFile;  // template data file
    // Backup and existing master of different trends (formats'
    // TrendDifference) are merged with a plan warning instead of refused.
    bool AllowDifferentTrends = false;
};

enum SourceKind : std::int16_t { FromBackup = 1, FromExisting = 2, FromTemplate = 3 };

// --- Names and paths -----------------------------------------------------

// Recorded Names are Windows paths cut at "\".
std::string FileNamePart(std::string_view path);  // after last "\", cut 3 chars after last "."
std::string FolderPart(std::string_view path);    // before last "\" (a final "\" is skipped); InvalidArgument if none
std::string BaseNamePart(std::string_view path);  // after last "\", up to and including last "."
std::string NumberText(std::int16_t n);           // "000", "009", "010", "099", "100", "1000"

// Copies the source of one record into outputFolder under the next number
// and returns the record's new Name (recorded folder + "\" + base name +
// number text).  counter is advanced first (passing 32767 is an overflow
// error, nothing copied).  The source of FromBackup/FromExisting is looked up
// in the folder of its master file with FolderIndex::Find and opened
// without following a link.  The copy is created in the opened output folder
// and never replaces a file; it keeps the source's holes.
std::string RenumberDataFile(const std::string& BackupFile, const std::string& ExistingFile,
                             const std::string& OutputFolder, std::int16_t kind, const std::string& oldName,
                             std::int16_t& OutputCounter, const std::string& EmptyDataFile);

// The new Name of a record numbered n: recorded folder + "\\" + base name +
// number text, from the recorded Name as RecordedName reads it.
std::string NewRecordedName(std::string_view recordedName, std::int16_t n);

// --- Break dates ---------------------------------------------------------

// Reads a break date: m-d-yyyy with "-", "/" or "." (1-2 digit month and
// day; a 2-digit year means 1930..2029), or yyyy-mm-dd; surrounding blanks
// ignored.  Anything else (a time of day, letters, 02-30-2004) gives nullopt.
std::optional<std::chrono::year_month_day> ParseBreakDate(std::string_view text);

// 1 when the break date is later than the day, 2 when earlier, 3 when equal.
// A text that is not a date is an InvalidArgument error naming the text.
std::int16_t CompareToBreakDate(std::string_view brakeDate, std::string_view dayText);

// --- Plan and write ------------------------------------------------------

struct PlanEntry {
    std::int16_t Number = 0;           // output number (0, 1, 2, ...)
    SourceKind Kind = FromExisting;
    int SourceIndex = -1;              // record index in its master; -1 for a template copy
    std::filesystem::path Source;      // file copied
    std::filesystem::path Target;      // inside the output folder
    std::string NewName;               // the record's new Name
    std::string StartDay;              // "YYYY-MM-DD"; empty for a template copy
    std::uint64_t SourceSize = 0;      // bytes of the source file
    os::FileIdentity SourceIdentity;   // the source as planned: the copy refuses any other file
    clsHSTHeader Record;               // the record written for this file (Name = NewName)
};

struct MergePlan {
    std::chrono::year_month_day BreakDate{};
    std::filesystem::path MasterTarget;  // the merged master file
    std::vector<PlanEntry> Entries;      // in output order
    int TakenExisting = 0;               // TE
    int TakenBackup = 0;                 // TB
    int TemplateCopies = 0;
    std::uint64_t BytesToWrite = 0;      // all copies plus the master
    std::vector<std::string> Warnings;   // the merge still runs
    // What the validity rule (formats/Validity.h) lets through with a
    // warning: each is also one of Warnings.  A plan without any writes a
    // set in which inspect --check finds nothing.
    std::vector<Problem> Problems;
    std::filesystem::path OutputFolder;  // where every file of the plan goes
    clsHSTMaster Header;                 // header of the merged master (existing, nFiles = History = N)
    clsHSTMaster ExistingMaster;         // as read; existing records are saved with it
    clsHSTMaster BackupMaster;           // as read; backup and template records are saved with it
    std::string BreakDateText;           // as typed
};

// The temporary name under which WriteMerge writes the merged master.
std::filesystem::path PartialMasterPath(const MergePlan& plan);

// Progress of the writing step: files (copies and masters) and bytes done,
// of the totals.
struct WriteProgress {
    int Files = 0, FilesTotal = 0;
    std::uint64_t Bytes = 0, BytesTotal = 0;
};
using ProgressObserver = std::function<void(const WriteProgress&)>;

// The points of the writing step, in their order: a plan is staged, each of
// its files copied; then everything is flushed to disk and each master
// renamed to its final name.
enum class WriteStep { Stage, Copy, Flush, Rename };
// Called before each step (with the entry about to be copied for Copy, else
// null).  A test seam: it may change the world between the steps, and an
// error it throws is a failure of that step.
using StepObserver = std::function<void(WriteStep step, const PlanEntry* entry)>;

struct MergeOptions {
    ProgressObserver Progress;  // none by default
    StepObserver BeforeStep;    // none by default
};

// Where the output folder stands when the plan is made.
enum class OutputFolderState {
    Created,      // made for this merge: it must exist and be a folder
    NotYetMade,   // a dry run: it must not exist yet, its parent must; free space is read there
};

struct PlanOptions {
    OutputFolderState Folder = OutputFolderState::Created;
    // false: the caller checks the free space for a run of several merges.
    bool CheckFreeSpace = true;
    // Listings of the masters' folders shared by a run of several merges
    // (each folder listed once for all of them); none: listed for this plan.
    FolderIndexes* Listings = nullptr;
};

// Reads both masters (with ReadTrendSet), the template and the recorded
// names, checks all that can be checked, and says what the merge will write.
// Reads only.
MergePlan PlanMerge(const MergeRequest& request, const PlanOptions& options = {});

// Writes the plan into request.OutputFolder: one MergeWriter, one Stage, one
// Commit (engine/MergeWriter.h).  On failure an error; the copies so far
// stay, no master under its final name exists.
void WriteMerge(const MergeRequest& request, const MergePlan& plan, const MergeOptions& options = {});

// Plan + write.  Returns "The trendfiles are now merged.".
std::string MergeTrendSets(const std::string& BrakeDate, const std::string& OutputFolder,
                           const std::string& BackupFile, const std::string& ExistingFile,
                           std::int16_t NumberOfFiles, const std::string& EmptyDataFile,
                           const MergeOptions& options = {});
std::string MergeTrendSets(const MergeRequest& request, const MergeOptions& options = {});

inline constexpr std::string_view kMergedText = "The trendfiles are now merged.";

}  // namespace jw
