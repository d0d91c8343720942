// A trend set as its master file describes it: the master header, the
// file-header records that count, and for each record the data file it names,
// found beside the master.  The one reading of a master that merge planning,
// inspect and export share; the record layouts are in docs/file-formats.md.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Errors.h"
#include "formats/TrendDefs.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"

namespace jw {

// --- Names -------------------------------------------------------------------

// ASCII case folding: recorded names come from Windows, where the letter case
// of file names does not matter.
std::string FoldCase(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EndsWithNoCase(std::string_view text, std::string_view tail);

// A recorded Name as the program that wrote it meant it: up to its first NUL
// byte, trailing blanks dropped.
std::string RecordedName(std::string_view fieldText);

// The file name of a recorded Name in full (after its last "\"), without any
// cut: a set of 1000 files or more records "TREND.1000".
std::string_view RecordedFileName(std::string_view recordedName);

// The file name a recorded file name (Windows-1252 bytes) stands for on the
// host, as UTF-8 text: Citect names its files through the ANSI code page, so
// a recorded "\xC4" is the file name "Ä".  ASCII names stay as they are.
std::string HostFileName(std::string_view recordedFileName);

// Empty when name can be one file name in a host folder and in a Windows
// folder (a merged set goes back to a Windows server); otherwise why not
// ("the file name contains \"/\"", ...).
std::string HostFileNameProblem(std::string_view name);

// --- Finding data files ------------------------------------------------------

// The files of one folder, listed once and indexed by case-folded name, so a
// set of n records is matched in time linear in n and the folder's size.
class FolderIndex {
public:
    explicit FolderIndex(std::filesystem::path folder);
    const std::filesystem::path& Folder() const { return folder_; }

    // The data file a record names by fileName (its recorded bytes, see
    // HostFileName): the exact name when the folder holds it, else the one
    // entry whose name matches without regard to ASCII letter case (the
    // folder is listed on the first call, never again).  A folder that holds
    // neither may still hold the recorded bytes themselves as a name (a set
    // copied without converting its names), or a name the file system itself
    // matches without regard to case (non-ASCII letters on Windows).  It
    // must be a regular file (a symbolic link or a folder is not taken).  On
    // failure nullopt and *why says what is wrong ("its data file /x/T.001
    // does not exist", "... matches several files ...", "... is a symbolic
    // link, not a data file", "... is not a regular file").
    std::optional<std::filesystem::path> Find(const std::string& fileName, std::string* why);

    // Every entry of the folder but folders (links and other files
    // included), as paths grouped by case-folded name, each group in name
    // order; from the same one listing.  A folder that cannot be listed is an
    // InputOutput error.
    std::map<std::string, std::vector<std::filesystem::path>> Files();

private:
    struct Entry {
        std::string Name;  // UTF-8 on Windows, the name's bytes elsewhere
        std::filesystem::file_type Type;
    };
    void List();
    // The entry named name (exact, else the one matching in any ASCII case):
    // nullptr when none, or when several match and *ambiguous is then set.
    const Entry* Lookup(const std::string& name, std::string* ambiguous) const;

    std::filesystem::path folder_;
    bool listed_ = false;
    std::string listError_;
    std::unordered_map<std::string, std::vector<Entry>> byFoldedName_;
};

// The listings of several folders, each made once: masters of many trends in
// one folder (a folder merge) share one listing instead of listing the
// folder again for every master.
class FolderIndexes {
public:
    FolderIndex& For(const std::filesystem::path& folder);

private:
    std::map<std::filesystem::path, FolderIndex> indexes_;
};

// --- The set -----------------------------------------------------------------

// Which records of a master count: the merge reads only the first nFiles
// records of a backup master; everything else counts the AddOn entries that
// follow them too.
enum class RecordCount { WithAddOn, NFilesOnly };

// Something wrong with the master itself.  Every fault but AddOnPastEnd means
// the set cannot be merged; inspect lists them, export names them.
struct SetFault {
    enum class Kind { NoLayout, NegativeNFiles, NegativeAddOn, CountOverflow, Truncated, AddOnPastEnd };
    Kind What;
    std::string Text;  // "the file is truncated: nFiles is 4 but ..."; no file name
    std::optional<int> Record;  // the first record it concerns, when one
    // The error kind a refusal of this fault carries.
    ErrorKind Severity() const { return What == Kind::CountOverflow ? ErrorKind::Overflow : ErrorKind::Refused; }
};

// One file-header record that counts, with its data file.
struct SetRecord {
    int Index = 0;
    clsHSTHeader Record;
    std::string Name;                        // RecordedName of the record's Name
    std::optional<std::filesystem::path> DataFile;  // found beside the master
    std::string DataFileProblem;             // why DataFile is empty
};

struct TrendSet {
    std::filesystem::path Path;
    clsHSTMaster Master;
    const TrendDefs::Layout<TrendDefs::HSTHeaderRec>* Layout = nullptr;  // none: Version outside 0..6
    std::uint64_t FileLength = 0;
    std::uint64_t Held = 0;         // whole records after the master header
    std::uint64_t Counted = 0;      // nFiles (+ AddOn) as the master announces them
    std::vector<SetRecord> Records; // the first min(Counted, Held) records
    std::vector<SetFault> Faults;

    // The fault that keeps the set from being merged, or nullptr.
    const SetFault* Refusal() const;
};

// Reads the master file at path (read-only): the header, the record layout
// its Version selects, the records that count (nFiles, with AddOn the AddOn
// entries after them) as far as the file holds whole ones, and each record's
// data file in the master's folder.  Problems of the master's content are
// Faults, never a silent cut: fewer than nFiles whole records is Truncated,
// AddOn entries past the end are AddOnPastEnd.  A master that cannot be
// opened, or is too short for its header, is a jw::Error naming the file.
// The data files are looked up in a listing of the master's folder, taken
// from shared when given (and kept there), else made for this call.
TrendSet ReadTrendSet(const std::filesystem::path& master, RecordCount count = RecordCount::WithAddOn,
                      FolderIndexes* shared = nullptr);

}  // namespace jw
