// The merge engine: joins a backup trend set (history before a break date)
// and an existing trend set (history from the break date on) into a new set
// in an output folder, topped up with copies of an empty data file.
//
// A merge is planned first (PlanMerge: reads both masters and checks every
// input; writes nothing) and then written (engine/MergeWriter.h).  The merge
// job (engine/MergeJob.h) makes the output folder and does both; every front
// runs it, MergeTrendSets included.  Every refusal is a jw::Error of kind
// Refused (or the kind of the underlying failure) whose description names
// the file, record or field and what is wrong.
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

// The six values the window hands to the merge job.
struct MergeRequest {
    std::string BrakeDate;                // month-day-year as typed
    std::filesystem::path OutputFolder;   // made by the merge job; must not exist yet
    std::filesystem::path BackupFile;     // backup set's master file
    std::filesystem::path ExistingFile;   // existing set's master file
    std::int16_t NumberOfFiles = 0;
    std::filesystem::path EmptyDataFile;  // template data file
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

// The new Name of a record numbered n: recorded folder + "\\" + base name +
// number text, from the recorded Name as RecordedName reads it.
std::string NewRecordedName(std::string_view recordedName, std::int16_t n);

// --- Break dates ---------------------------------------------------------

// Reads a break date: m-d-yyyy with "-", "/" or "." (1-2 digit month and
// day; a 2-digit year means 1930..2029), or yyyy-mm-dd; surrounding blanks
// ignored.  Anything else (a time of day, letters, 02-30-2004) gives nullopt.
std::optional<std::chrono::year_month_day> ParseBreakDate(std::string_view text);

// 1 when the break date is later than the day (the day lies before it), 2
// when earlier, 3 when both are the same day.  The planner takes an existing
// record on 2 and 3, a backup record on 1.
std::int16_t CompareToBreakDate(std::chrono::year_month_day breakDate, std::chrono::year_month_day day);

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

// Gives the next record of the plan its number (the output counter is the
// number of entries so far) and names its copy: the new Name (recorded folder
// + "\\" + base name + number text, from oldName as RecordedName reads it),
// checked against a Name field of nameWidth bytes, and the target in the
// output folder, checked against the host's file names.  Refusals name
// `who`.  Copies nothing: the writer makes the copy.
PlanEntry RenumberDataFile(const MergePlan& plan, std::string_view oldName, std::uint16_t nameWidth,
                           const std::string& who);

// The temporary name under which the writer stages the merged master.
std::filesystem::path PartialMasterPath(const MergePlan& plan);

// Progress of the writing step: files (copies and masters) and bytes done,
// of the totals.
struct WriteProgress {
    int Files = 0, FilesTotal = 0;
    std::uint64_t Bytes = 0, BytesTotal = 0;
};
using ProgressObserver = std::function<void(const WriteProgress&)>;

// The points of a merge job, in their order: the output folder is made (under
// its working name) and the merge planned; each plan is staged, each of its
// files copied; then everything is flushed to disk and the output folder
// given its name.
enum class WriteStep { Plan, Stage, Copy, Flush, Rename };
// Called before each step (with the entry about to be copied for Copy, else
// null).  A test seam: it may change the world between the steps, and an
// error it throws is a failure of that step.
using StepObserver = std::function<void(WriteStep step, const PlanEntry* entry)>;

struct MergeOptions {
    ProgressObserver Progress;  // none by default
    StepObserver BeforeStep;    // none by default
};

struct PlanOptions {
    // Bytes free where the output goes (read by the merge job from the folder
    // it holds); none: not checked here (a run of several merges checks
    // their sum).
    std::optional<std::uint64_t> FreeSpace;
    // Listings of the masters' folders shared by a run of several merges
    // (each folder listed once for all of them); none: listed for this plan.
    FolderIndexes* Listings = nullptr;
};

// Reads both masters (with ReadTrendSet), the template and the recorded
// names, checks all that can be checked, and says what the merge will write
// into request.OutputFolder.  Reads only; never looks at the output folder
// (the merge job makes it new and empty).
MergePlan PlanMerge(const MergeRequest& request, const PlanOptions& options = {});

// The merge job for one trend set (engine/MergeJob.h) without a dry run.
// Returns "The trendfiles are now merged.".
std::string MergeTrendSets(const MergeRequest& request, const MergeOptions& options = {});

inline constexpr std::string_view kMergedText = "The trendfiles are now merged.";

}  // namespace jw
