// CommonDialog: the open-file dialog behind the three Open buttons.
//
// The file types the dialog offers are described once, in the
// "description|patterns|description|patterns|" filter text.  NormaliseFilter
// turns it into the NUL-separated list the Windows common dialog reads;
// FilterEntries reads that list back into entries for dialogs of other
// toolkits.
#pragma once

#include "ui/model/Desktop.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jw::ui {

// The filter text of the three Open buttons.
inline constexpr std::string_view kTrendFileFilter =
    "All Trend Files|*.HST;*.0??;*.1??;*.2??|"
    "History Files (*.HST)|*.HST|"
    "Data Files (*.nnn)|*.0??;*.1??;*.2??|"
    "All Files|*.*|";

// Dialog flags (the Windows OFN_ values).
inline constexpr std::uint32_t kReadOnlyFlag = 0x0001;  // read-only box ticked (in the answer)
inline constexpr std::uint32_t kHideReadOnly = 0x0004;
inline constexpr std::uint32_t kPathMustExist = 0x0800;
inline constexpr std::uint32_t kFileMustExist = 0x1000;
inline constexpr std::uint32_t kOpenButtonFlags = kHideReadOnly | kPathMustExist | kFileMustExist;  // 0x1804

// "|" text to the NUL-separated form: a text whose last character is not
// "|" gets "||"; then one not ending in "||" gets "|"; every "|" becomes NUL.
std::string NormaliseFilter(std::string_view filter);

struct FilterEntry {
    std::string Description;
    std::vector<std::string> Patterns;  // split at ";", blanks around each removed
};

// The entries of a NUL-separated filter list, in order.  Two NULs in a row
// end the list, as for the Windows dialog; an entry whose pattern list holds
// no pattern (only ";" and blanks) is dropped.
std::vector<FilterEntry> FilterEntries(std::string_view normalisedFilter);

// Shows the open-file dialog and answers with the chosen file's full path:
// the text before the first NUL, blanks at its start removed; the empty
// text when the operator cancelled or the dialog failed.  ReadOnlyChosen is
// -1 when the dialog hands back the read-only flag, else 0.
std::string ChooseFile(const std::string& DialogTitle, const std::string& InitialPath, std::string_view Filter,
                       std::uint32_t Flags, std::int16_t& ReadOnlyChosen, FileDialogService& dialogs);

}  // namespace jw::ui
