// Pieces shared by the engine's source files (not part of its interface).
#pragma once

#include "time/StringTools.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jw {
class clsTimes;
}

namespace jw::engine_detail {

// Longest file name the output folder's file system takes.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// ASCII case folding: recorded names come from Windows, where letter case of
// file names does not matter.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EndsWithNoCase(std::string_view text, std::string_view tail);

// Empty when name can be one file name in a host folder; otherwise why not
// ("contains \"/\"", ...).
std::string HostFileNameProblem(std::string_view name);

// The file name of a recorded Name in full (after its last "\"), without the
// three-character cut of FileNamePart.
std::string_view WholeFileName(std::string_view recordedName);

// Empty when a recorded Name can name a data file that is taken into the
// merged set: it has a folder part, a file name with a "." and at most three
// characters after it, a file name the host can hold.  Otherwise why not.
std::string RecordedNameProblem(std::string_view recordedName);

// The folder holding a host file ("." for a bare file name).
std::filesystem::path HostFolderOf(const std::filesystem::path& file);

// Directory listings, read once per folder, for case-insensitive lookups.
class FolderListing {
public:
    const std::vector<std::string>& Names(const std::filesystem::path& folder);

private:
    std::map<std::filesystem::path, std::vector<std::string>> listings_;
};

// The data file named fileName in folder: the exact name when it exists,
// else the one entry whose name matches without regard to letter case.  It
// must be a regular file (a link or a folder is refused).  On failure: a
// jw::Error of kind Refused whose text starts with `who` ("existing master
// /x/T.HST, record 3 (Name ...)").
std::filesystem::path FindSourceFile(const std::filesystem::path& folder, const std::string& fileName,
                                     const std::string& who, FolderListing* listing = nullptr);

// The start day of an instant: the calendar date of its date value rounded to
// the whole second.  A time that is no date is a jw::Error (the conversion's).
std::chrono::year_month_day StartDayOf(const clsTimes& t);

// "\"text\"" with control bytes shown as \xNN, for messages.
using StringTools::Quoted;

}  // namespace jw::engine_detail
