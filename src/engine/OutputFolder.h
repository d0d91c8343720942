// The output folder of a merge: its name ("Merged trenddata " and the time
// of day) and what must hold before the merge job (engine/MergeJob.h) makes
// it fresh: it is never reused.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace jw {

inline constexpr std::string_view kOutputFolderPrefix = "Merged trenddata ";

struct ClockTime {
    int Hour = 0;    // 0..23
    int Minute = 0;  // 0..59
    int Second = 0;  // 0..59 (60 for a leap second)
};

// The local time of day now.
ClockTime LocalTimeOfDay();

// The separator the time of day is written with: the first character of a
// regional short date format (UTF-8, e.g. "dd/MM/yyyy" or "yyyy-MM-dd") that
// is neither an ASCII letter or digit nor any non-ASCII character (those are
// the format's words, as in "d. MMMM").  "-" when there is none, or when it
// is a blank, a control character or a character that cannot stand in a
// folder name on Windows ( / \ : * ? " < > | ).
std::string FolderSeparatorFor(std::string_view shortDateFormat);

// "HH" sep "MM" sep "SS", two digits each (24-hour clock).  An hour, minute
// or second outside 0..99 is an InvalidArgument error.
std::string FolderTimeStamp(ClockTime time, std::string_view separator);

// "Merged trenddata " + timeStamp.
std::string OutputFolderName(std::string_view timeStamp);

// Refuses a name a Windows folder cannot hold (os::CheckNewFolderName), on
// every system.  Refuses (jw::Error, Refused) when folder exists already in any form (a
// folder, a file, a link, also a dangling one), when its parent does not
// exist, or when the parent is not a folder.  Makes nothing.
void CheckOutputFolderCanBeMade(const std::filesystem::path& folder);

}  // namespace jw
