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
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"

namespace jw {

// The six values the window hands to the merge job.  Paths are host paths.
struct MergeRequest {
    std::string BrakeDate;      // month-day-year as typed
    std::string OutputFolder;   // exists (the window/command line created it), empty
    std::string BackupFile;     // backup set's master file
    std::string ExistingFile;   // existing set's master file
    std::int16_t NumberOfFiles = 0;
    std::string EmptyDataFile;  // template data file
};

enum SourceKind : std::int16_t { FromBackup = 1, FromExisting = 2, FromTemplate = 3 };

// --- Whole-file copies ---------------------------------------------------

// Copies one file whole into a target that must not exist yet.  The source
// is opened read-only and never changed; the target is created exclusively
// (never overwritten).  A failure is a jw::Error naming both files.
class FileCopier {
public:
    virtual ~FileCopier() = default;
    virtual void Copy(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
};

// The copier used when none is given: a ChainedFileCopier of
// DefaultCopyMethods().
FileCopier& DefaultFileCopier();

// One way of moving the bytes of an open source into an open, freshly
// created target.  A ChainedFileCopier tries its methods in order; a method
// that the kernel refuses for these two files says NotSupported and the next
// one carries on from where it stopped (the offsets in CopyJob).
struct CopyJob {
    int Source = -1;           // opened read-only
    int Target = -1;           // created exclusively, write-only
    std::uint64_t Size = 0;    // length of the source when it was opened
    std::uint64_t Done = 0;    // bytes already copied (same offset in both files)
    const std::filesystem::path* From = nullptr;  // for messages
    const std::filesystem::path* To = nullptr;
};

class CopyMethod {
public:
    enum class Outcome { Done, NotSupported };
    virtual ~CopyMethod() = default;
    virtual const char* Name() const = 0;
    // Copies from job.Done to the end of the source, advancing job.Done.  A
    // failure that is not a refusal of the method is a jw::Error.
    virtual Outcome Copy(CopyJob& job) = 0;
};

// A reflink clone (ioctl FICLONE): the target shares the source's blocks
// until either is changed, so the copy is instant and takes no space (btrfs,
// xfs).  Clones whole files only: a job that is partly done, or a file system
// without clones, is NotSupported.
class ReflinkClone final : public CopyMethod {
public:
    const char* Name() const override { return "FICLONE"; }
    Outcome Copy(CopyJob& job) override;
};

// copy_file_range(2) in a loop: the kernel copies without user-space buffers.
class KernelRangeCopy final : public CopyMethod {
public:
    const char* Name() const override { return "copy_file_range"; }
    Outcome Copy(CopyJob& job) override;
};

// Plain read/write through a buffer: works everywhere.
class ReadWriteCopy final : public CopyMethod {
public:
    const char* Name() const override { return "read/write"; }
    Outcome Copy(CopyJob& job) override;
};

// Opens the source read-only (it must be a regular file), creates the target
// with O_CREAT | O_EXCL, runs the methods in order until one finishes.  On any
// failure it removes the target it created (never anything else) and throws a
// jw::Error naming both files.
class ChainedFileCopier : public FileCopier {
public:
    explicit ChainedFileCopier(std::vector<std::unique_ptr<CopyMethod>> methods);
    void Copy(const std::filesystem::path& from, const std::filesystem::path& to) override;

private:
    std::vector<std::unique_ptr<CopyMethod>> methods_;
};

// The fastest safe order: a reflink clone, then copy_file_range, then plain
// read/write, each taking over where the one before was refused.
std::vector<std::unique_ptr<CopyMethod>> DefaultCopyMethods();

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
// in the folder of its master file with FolderIndex::Find.
std::string RenumberDataFile(const std::string& BackupFile, const std::string& ExistingFile,
                             const std::string& OutputFolder, std::int16_t kind, const std::string& oldName,
                             std::int16_t& OutputCounter, const std::string& EmptyDataFile,
                             FileCopier& copier = DefaultFileCopier());

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
    std::filesystem::path OutputFolder;  // where every file of the plan goes
    clsHSTMaster Header;                 // header of the merged master (existing, nFiles = History = N)
    clsHSTMaster ExistingMaster;         // as read; existing records are saved with it
    clsHSTMaster BackupMaster;           // as read; backup and template records are saved with it
    std::string BreakDateText;           // as typed
};

// The temporary name under which WriteMerge writes the merged master.
std::filesystem::path PartialMasterPath(const MergePlan& plan);

// Progress of the writing step: files done of total (copies and the master).
using ProgressObserver = std::function<void(int done, int total)>;

struct MergeOptions {
    ProgressObserver Progress;      // none by default
    FileCopier* Copier = nullptr;   // DefaultFileCopier() when null
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
};

// Reads both masters (with ReadTrendSet), the template and the recorded
// names, checks all that can be checked, and says what the merge will write.
// Reads only.
MergePlan PlanMerge(const MergeRequest& request, const PlanOptions& options = {});

// Writes the plan into request.OutputFolder: copies in order, the master
// under a temporary name, flushed and synced, renamed last.  On failure an
// error; the copies so far stay, no master under its final name exists.
void WriteMerge(const MergeRequest& request, const MergePlan& plan, const MergeOptions& options = {});

// Plan + write.  Returns "The trendfiles are now merged.".
std::string MergeTrendSets(const std::string& BrakeDate, const std::string& OutputFolder,
                           const std::string& BackupFile, const std::string& ExistingFile,
                           std::int16_t NumberOfFiles, const std::string& EmptyDataFile,
                           const MergeOptions& options = {});
std::string MergeTrendSets(const MergeRequest& request, const MergeOptions& options = {});

inline constexpr std::string_view kMergedText = "The trendfiles are now merged.";

}  // namespace jw
