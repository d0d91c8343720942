// What the window asks of the desktop, behind small interfaces in plain C++
// types (texts and paths are UTF-8): message boxes, the open-file dialog,
// the help viewer, the clock with the regional formats, the program folder
// and the busy cursor.  Each face of the window (Qt, Windows) implements
// them with its toolkit; tests hand in recorders.
#pragma once

#include "engine/OutputFolder.h"

#include <cstdint>
#include <string>

namespace jw::ui {

// The title of every message box of the program.
inline constexpr const char* kAppTitle = "Joinwright";

enum class MessageIcon { None, Warning, Error };

// A modal message box with a single OK button, titled kAppTitle, with the
// error mark, the warning mark or no icon.  Show returns after the operator has pressed OK.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual void Show(const std::string& text, MessageIcon icon) = 0;
};

// One request for the open-file dialog, as ChooseFile prepares it.
struct OpenFileRequest {
    std::string Title;        // empty: the dialog's own title
    std::string InitialPath;  // proposed file and folder; empty: the working folder
    std::string Filter;       // NUL-separated description/patterns pairs, ended by two NULs
    int FilterIndex = 1;      // 1-based entry chosen when the dialog opens
    std::uint32_t Flags = 0;  // the dialog flags (kOpenButtonFlags)
};

struct OpenFileAnswer {
    std::string Path;         // full path of the chosen file; empty when cancelled or failed
    std::uint32_t Flags = 0;  // flags as the dialog hands them back (kReadOnlyFlag)
};

// The modal open-file dialog, shown without an owner; returns when it has closed.
class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    virtual OpenFileAnswer OpenFile(const OpenFileRequest& request) = 0;
};

// Shows the topic of a help context number from a compiled help file beside
// the window and returns at once.  A missing file or an unknown context is
// the viewer's affair: the caller is never told.
class HelpService {
public:
    virtual ~HelpService() = default;
    virtual void ShowHelp(const std::string& helpFile, int context) = 0;
};

// The local time of day and the operator's regional settings.
class ClockService {
public:
    virtual ~ClockService() = default;
    virtual ClockTime TimeOfDay() const = 0;
    // The short date format as the desktop writes it ("yyyy-MM-dd", "M/d/yyyy").
    virtual std::string ShortDateFormat() const = 0;
    // The decimal separator of numbers ("." or ",").
    virtual std::string DecimalSeparator() const = 0;
};

// The folder that holds the program's executable file.
class ProgramFolderService {
public:
    virtual ~ProgramFolderService() = default;
    virtual std::string ProgramFolder() const = 0;
};

// The folder of the running executable, as the platform layer finds it.
class SystemProgramFolder : public ProgramFolderService {
public:
    std::string ProgramFolder() const override;
};

// The wait cursor over the window while a merge runs.
class BusyCursorService {
public:
    virtual ~BusyCursorService() = default;
    virtual void SetBusy(bool busy) = 0;
};

// The services one window uses.  The window does not own them.
struct DesktopServices {
    MessageBoxService* Messages = nullptr;
    FileDialogService* Files = nullptr;
    HelpService* Help = nullptr;
    ClockService* Clock = nullptr;
    ProgramFolderService* Folder = nullptr;
    BusyCursorService* Busy = nullptr;
};

}  // namespace jw::ui
