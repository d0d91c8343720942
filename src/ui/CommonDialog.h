// CommonDialog: the open-file dialog behind the three Open buttons.
//
// The file types the dialog offers are described once, in the classic
// "description|patterns|description|patterns|" filter text.  NormaliseFilter
// turns it into the NUL-separated list that the Windows common dialog reads;
// QtNameFilters turns that list into the name filters of Qt's file dialog,
// which the program uses on every desktop (Qt's own dialog, so patterns match
// names in any letter case everywhere).
#pragma once

#include "ui/Services.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class QFileDialog;

namespace jw::ui {

// The filter text of the three Open buttons.
inline constexpr const char* kTrendFileFilter =
    "All Trend Files|*.HST;*.0??;*.1??;*.2??|"
    "History Files (*.HST)|*.HST|"
    "Data Files (*.nnn)|*.0??;*.1??;*.2??|"
    "All Files|*.*|";

// Dialog flags (the Windows OFN_ values the buttons pass).
inline constexpr std::int32_t kReadOnlyFlag = 0x0001;      // read-only box ticked (answer)
inline constexpr std::int32_t kHideReadOnly = 0x0004;
inline constexpr std::int32_t kPathMustExist = 0x0800;
inline constexpr std::int32_t kFileMustExist = 0x1000;
inline constexpr std::int32_t kOpenButtonFlags = kHideReadOnly | kPathMustExist | kFileMustExist;  // 0x1804

// "|" text to the NUL-separated form: a text whose last character is not "|"
// gets "||"; then one not ending in "||" gets "|"; every "|" becomes NUL.
// The result ends in two NULs.
QString NormaliseFilter(const QString& filter);

// The NUL-separated form to Qt name filters, one per description/patterns
// pair in order: "Description (p1 p2 ...)".  Patterns are split at ";";
// "*.*", which on Windows matches every name, becomes "*".  A description
// without patterns is dropped.
QStringList QtNameFilters(const QString& normalisedFilter);

// Shows the open-file dialog and answers with the chosen file's full path
// (blanks at its start removed), or the empty text when the operator
// cancelled.  ReadOnlyChosen is -1 when the dialog reports its read-only
// choice, else 0.
QString ChooseFile(const QString& DialogTitle, const QString& InitialPath, const QString& Filter,
                   std::int32_t Flags, std::int16_t& ReadOnlyChosen, FileDialogService& dialogs);

// Qt's own (non-native) open-file dialog set up for a request: name filters
// in order with the selected one chosen, case-insensitive matching, only
// existing files, the initial path proposed.
std::unique_ptr<QFileDialog> MakeOpenFileDialog(const OpenFileRequest& request, QWidget* parent = nullptr);

// FileDialogService through MakeOpenFileDialog, shown modally without an owner.
class QtFileDialogService : public FileDialogService {
public:
    OpenFileAnswer OpenFile(const OpenFileRequest& request) override;
};

}  // namespace jw::ui
