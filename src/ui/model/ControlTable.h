// The controls and menu items of the Joinwright window, once for every
// face: kind, container, caption, place and size in pixels at 96 dpi, tab
// index and help context.  The help numbers of the program live here only.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>

namespace jw::ui {

// Client area below the menu bar, at 96 dpi.
inline constexpr int kClientWidth = 506;
inline constexpr int kClientHeight = 368;

inline constexpr const char* kWindowCaption = "Joinwright v1.00";
inline constexpr const char* kHelpFileName = "JoinwrightHelp.chm";

enum class ControlKind { Frame, Label, HelpLabel, TextBox, Button };

// Every control, in the order of the table.  Files is the frame "Files",
// which the operator's documentation names after the window.
enum class ControlId {
    Files, lblBackup, txtBackup, btnOpenB, lblBackupFile,
    lblNew, txtExisting, btnOpenE, lblExisting,
    lblOCFile, txtOCFile, btnOCFile, lblEmpty,
    lblNFiles, txtNOFiles, lblHNFiles, lblNumber,
    Frame2, lblNewFolder, lblFolder,
    Frame3, lblBrakeDate, txtBrakeDate, lblDate, lblBrake,
    btnMerge,
};
inline constexpr std::size_t kControlCount = 26;

struct ControlRow {
    ControlId Id;
    const char* Name;
    ControlKind Kind;
    std::optional<ControlId> Container;  // nullopt: the window's client area
    const char* Caption;
    int Left, Top, Width, Height;  // pixels at 96 dpi, in the container
    int TabIndex;
    int HelpContext;  // F1 while the control has the focus; 0: its container's
    int LinkContext;  // a "?" label: the topic its click opens; else 0
};

// The help context of the window itself (F1 where nothing has one of its own).
inline constexpr int kWindowHelpContext = 1001;

std::span<const ControlRow, kControlCount> Controls();
const ControlRow& RowOf(ControlId id);

// The width a control is drawn with.  A label whose box runs into a control
// beside it to the right (its text box, a "?" link) ends where that control
// begins, so its caption wraps instead of disappearing under the control.
int DrawnWidth(ControlId control);

// The height a control is drawn with.  A label may run down to the next
// control below it in its container (or to 8 pixels above the container's
// bottom), so that a caption that needs one more line than the classic font
// did keeps its size; it is never drawn lower than its table height.
int DrawnHeight(ControlId control);

// The text boxes and buttons (the controls that take the focus), in the
// order the focus moves through them: by tab index.
std::span<const ControlId> FocusOrder();

// The help context F1 opens while control has the focus: its own, else its
// container's, finally the window's.
int HelpContextFor(ControlId control);

enum class MenuId { mnuFile, mnuExit, mnuAbout, mnuHelp };

struct MenuRow {
    MenuId Id;
    const char* Name;
    const char* Caption;
    std::optional<MenuId> Parent;  // nullopt: on the menu bar
    bool DropDown;                 // holds items (mnuFile)
    int HelpContext;               // the topic a click opens; 0: none
};

std::span<const MenuRow, 4> Menus();
const MenuRow& RowOf(MenuId id);

}  // namespace jw::ui
