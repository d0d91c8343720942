// The controls and menu items of the Joinwright window, once for every
// face: kind, container, caption, place and size in pixels at 96 dpi, tab
// index and help context.  The help numbers of the program live here only.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
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

// --- The caption font ---------------------------------------------------------
//
// The table's places and sizes were drawn for a classic 8-point font; the
// fonts desktops have today run wider and taller.  Every caption of the
// window (frame titles, labels, buttons; the "?" links have a font of their
// own) shows in one font, the largest of the candidates below with which
// each caption fits its control.  Both faces choose it by this one rule and
// only measure text for it.

// A candidate: the face's font at this size, at this percentage of its
// normal width.
struct CaptionFont {
    int TenthsOfPoint;
    int WidthPercent;
    friend bool operator==(const CaptionFont&, const CaptionFont&) = default;
};

// Largest first: 9 pt (the dialog font of today's Windows) down to 7 pt in
// half points, then 7 pt narrowed in steps of 5 % to 70 %.
std::span<const CaptionFont> CaptionFonts();

// The room a text needs, in pixels, as a face measures it.
struct TextExtent {
    int Width = 0;
    int Height = 0;
};

// How a face measures: the text in font, broken at word boundaries to lines
// no wider than wrapWidth pixels (0: one line).
using MeasureText = std::function<TextExtent(CaptionFont font, const char* text, int wrapWidth)>;

// Whether control's caption, in font, fits its control drawn at scale (the
// face's dots per inch / 96): a label's text, wrapped at its drawn width,
// stays a gap of 4 pixels (at 96 dpi) away from the control to its right
// and the one below, in no more lines than its row's height held in the
// classic font (13 pixels a line: "[mm-dd-yyyy]" one, "Backup Trend File:"
// two); a frame's title leaves room for the frame's corners; a button's
// caption stays inside its edges.  Text boxes and the "?" links always fit.
bool CaptionFits(ControlId control, CaptionFont font, double scale, const MeasureText& measure);

// The window's caption font at scale: the first of CaptionFonts() with
// which every caption fits, else the last.
CaptionFont ChooseCaptionFont(double scale, const MeasureText& measure);

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
