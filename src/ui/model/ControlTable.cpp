#include "ui/model/ControlTable.h"

#include <algorithm>
#include <cmath>

namespace jw::ui {

namespace {

using enum ControlId;
using K = ControlKind;

constexpr std::array<ControlRow, kControlCount> kControls{{
    {Files, "Joinwright", K::Frame, std::nullopt, "Files", 8, 8, 489, 193, 0, 0, 0},
    {lblBackup, "lblBackup", K::Label, Files, "Backup Trend File:", 8, 32, 65, 25, 1, 0, 0},
    {txtBackup, "txtBackup", K::TextBox, Files, "", 64, 40, 313, 19, 3, 1003, 0},
    {btnOpenB, "btnOpenB", K::Button, Files, "Open", 392, 40, 65, 25, 5, 1003, 0},
    {lblBackupFile, "lblBackupFile", K::HelpLabel, Files, "?", 464, 40, 17, 25, 20, 0, 1003},
    {lblNew, "lblNew", K::Label, Files, "Existing Trend File:", 8, 72, 57, 33, 2, 0, 0},
    {txtExisting, "txtExisting", K::TextBox, Files, "", 64, 80, 313, 19, 4, 1006, 0},
    {btnOpenE, "btnOpenE", K::Button, Files, "Open", 392, 80, 65, 25, 6, 1006, 0},
    {lblExisting, "lblExisting", K::HelpLabel, Files, "?", 464, 80, 17, 25, 21, 0, 1006},
    {lblOCFile, "lblOCFile", K::Label, Files, "Empty Data File:", 8, 112, 49, 25, 18, 0, 0},
    {txtOCFile, "txtOCFile", K::TextBox, Files, "", 64, 120, 313, 19, 17, 1005, 0},
    {btnOCFile, "btnOCFile", K::Button, Files, "Open", 392, 120, 65, 25, 19, 1005, 0},
    {lblEmpty, "lblEmpty", K::HelpLabel, Files, "?", 464, 120, 17, 25, 22, 0, 1005},
    {lblNFiles, "lblNFiles", K::Label, Files, "Number of files:", 8, 152, 49, 25, 14, 0, 0},
    {txtNOFiles, "txtNOFiles", K::TextBox, Files, "", 64, 160, 49, 19, 15, 1008, 0},
    {lblHNFiles, "lblHNFiles", K::Label, Files, "[Enter an number]", 120, 160, 89, 17, 16, 0, 0},
    {lblNumber, "lblNumber", K::HelpLabel, Files, "?", 464, 160, 17, 25, 23, 0, 1008},
    {Frame2, "Frame2", K::Frame, std::nullopt, "File Folder", 8, 216, 489, 65, 7, 0, 0},
    {lblNewFolder, "lblNewFolder", K::Label, Frame2,
     "The new folder for the merged files will be in a sub map to the program with name: Merged trenddata", 8, 16,
     457, 41, 8, 0, 0},
    {lblFolder, "lblFolder", K::HelpLabel, Frame2, "?", 464, 24, 17, 25, 24, 0, 1007},
    {Frame3, "Frame3", K::Frame, std::nullopt, "Brake Date", 8, 296, 385, 65, 9, 0, 0},
    {lblBrakeDate, "lblBrakeDate", K::Label, Frame3, "Brake Date:", 8, 32, 57, 17, 10, 0, 0},
    {txtBrakeDate, "txtBrakeDate", K::TextBox, Frame3, "", 64, 32, 217, 19, 11, 1004, 0},
    {lblDate, "lblDate", K::Label, Frame3, "[mm-dd-yyyy]", 288, 32, 73, 17, 12, 0, 0},
    {lblBrake, "lblBrake", K::HelpLabel, Frame3, "?", 360, 24, 17, 25, 25, 0, 1004},
    {btnMerge, "btnMerge", K::Button, std::nullopt, "Merge", 416, 304, 81, 57, 13, kWindowHelpContext, 0},
}};

constexpr std::array<MenuRow, 4> kMenus{{
    {MenuId::mnuFile, "mnuFile", "File", std::nullopt, true, 0},
    {MenuId::mnuExit, "mnuExit", "Exit", MenuId::mnuFile, false, 0},
    {MenuId::mnuAbout, "mnuAbout", "About", std::nullopt, false, 1002},
    {MenuId::mnuHelp, "mnuHelp", "Help", std::nullopt, false, 1010},
}};

constexpr bool InTableOrder() {
    for (std::size_t i = 0; i < kControls.size(); ++i)
        if (static_cast<std::size_t>(kControls[i].Id) != i) return false;
    for (std::size_t i = 0; i < kMenus.size(); ++i)
        if (static_cast<std::size_t>(kMenus[i].Id) != i) return false;
    return true;
}
static_assert(InTableOrder(), "a control's or menu item's row sits at its id");

constexpr auto MakeFocusOrder() {
    std::array<ControlId, 9> order{};
    std::size_t n = 0;
    for (const ControlRow& c : kControls)
        if (c.Kind == K::TextBox || c.Kind == K::Button) order[n++] = c.Id;
    std::sort(order.begin(), order.end(),
              [](ControlId a, ControlId b) { return kControls[static_cast<std::size_t>(a)].TabIndex <
                                                    kControls[static_cast<std::size_t>(b)].TabIndex; });
    return order;
}
constexpr auto kFocusOrder = MakeFocusOrder();

}  // namespace

std::span<const ControlRow, kControlCount> Controls() { return kControls; }

const ControlRow& RowOf(ControlId id) { return kControls[static_cast<std::size_t>(id)]; }

int DrawnWidth(ControlId control) {
    const ControlRow& c = RowOf(control);
    int width = c.Width;
    if (c.Kind != K::Label) return width;
    for (const ControlRow& other : kControls) {
        const bool beside = other.Container == c.Container && other.Id != c.Id && other.Left > c.Left &&
                            other.Top < c.Top + c.Height && c.Top < other.Top + other.Height;
        if (beside && c.Left + width > other.Left) width = other.Left - c.Left;
    }
    return width;
}

int DrawnHeight(ControlId control) {
    const ControlRow& c = RowOf(control);
    if (c.Kind != K::Label) return c.Height;
    int bottom = (c.Container ? RowOf(*c.Container).Height : kClientHeight) - 8;
    const int right = c.Left + DrawnWidth(control);
    for (const ControlRow& other : kControls) {
        const bool below = other.Container == c.Container && other.Id != c.Id && other.Top >= c.Top + c.Height &&
                           other.Left < right && c.Left < other.Left + other.Width;
        if (below) bottom = std::min(bottom, other.Top);
    }
    return std::max(c.Height, bottom - c.Top);
}

std::span<const ControlId> FocusOrder() { return kFocusOrder; }

int HelpContextFor(ControlId control) {
    for (std::optional<ControlId> c = control; c; c = RowOf(*c).Container)
        if (RowOf(*c).HelpContext != 0) return RowOf(*c).HelpContext;
    return kWindowHelpContext;
}

namespace {

// A line of the classic 8-point font, in pixels at 96 dpi.
constexpr double kClassicLineHeight = 13;

constexpr std::array<CaptionFont, 11> kCaptionFonts{{
    {90, 100}, {85, 100}, {80, 100}, {75, 100}, {70, 100},
    {70, 95}, {70, 90}, {70, 85}, {70, 80}, {70, 75}, {70, 70},
}};

}  // namespace

std::span<const CaptionFont> CaptionFonts() { return kCaptionFonts; }

bool CaptionFits(ControlId control, CaptionFont font, double scale, const MeasureText& measure) {
    const ControlRow& c = RowOf(control);
    const auto px = [scale](int pixels) { return static_cast<int>(std::lround(pixels * scale)); };
    constexpr int kGap = 4;
    switch (c.Kind) {
    case K::Label: {
        const int width = px(DrawnWidth(control) - kGap);
        const TextExtent need = measure(font, c.Caption, width);
        // No more lines than the row's height held in the classic font.
        const int lineHeight = std::max(1, measure(font, "X", 0).Height);
        const int lines = (need.Height + lineHeight / 2) / lineHeight;
        const int classicLines = std::max(1, static_cast<int>(std::lround(c.Height / kClassicLineHeight)));
        return need.Width <= width && need.Height <= px(DrawnHeight(control) - kGap) && lines <= classicLines;
    }
    case K::Frame: return measure(font, c.Caption, 0).Width <= px(c.Width - 24);
    case K::Button: {
        const TextExtent need = measure(font, c.Caption, 0);
        return need.Width <= px(c.Width - 8) && need.Height <= px(c.Height - 4);
    }
    case K::HelpLabel:
    case K::TextBox: return true;
    }
    return true;
}

CaptionFont ChooseCaptionFont(double scale, const MeasureText& measure) {
    const auto fonts = CaptionFonts();
    for (const CaptionFont& font : fonts)
        if (std::all_of(kControls.begin(), kControls.end(),
                        [&](const ControlRow& c) { return CaptionFits(c.Id, font, scale, measure); }))
            return font;
    return fonts.back();
}

std::span<const MenuRow, 4> Menus() { return kMenus; }

const MenuRow& RowOf(MenuId id) { return kMenus[static_cast<std::size_t>(id)]; }

}  // namespace jw::ui
