// The behaviour of the Joinwright window without a toolkit: the input check,
// the count, the output folder, the merge command, the file choosers and the
// help links.  A face (the Qt window, the Windows window) builds the controls
// of ControlTable.h, hands the model its text boxes and desktop services and
// forwards every click to it; the model reads and fills the boxes through
// TextBoxes and speaks to the operator through the services.
#pragma once

#include "formats/Notices.h"
#include "ui/model/ControlTable.h"
#include "ui/model/Desktop.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jw::ui {

// The five text boxes of a face.  Texts are UTF-8.
class TextBoxes {
public:
    virtual ~TextBoxes() = default;
    virtual std::string Text(ControlId box) const = 0;
    virtual void SetText(ControlId box, const std::string& text) = 0;
};

// The pieces of the missing-inputs message, in the order the boxes are tested.
inline constexpr std::string_view kNoBackup = "Du måste välja en backup fil.";
inline constexpr std::string_view kNoExisting = " Du måste välja en existerande fil.";
inline constexpr std::string_view kNoEmptyFile = " Du måste välja en tom data fil.";
inline constexpr std::string_view kNoDate = " Du har inte angivit något datum.";
inline constexpr std::string_view kNoCount = " Du har inte angivit hur många filer som ska skapas.";
// A count that is no number or lies outside 1..32767 (a merged set has at
// least one data file; the file count is a 16-bit number).
inline constexpr std::string_view kCountOutOfRange = "Antalet filer måste vara ett tal från 1 till 32767.";

// The count as typed: blanks around it allowed, an optional sign, digits
// with "." or decimalSeparator before a fraction, rounded to the nearest
// whole number (a half to the even one).  nullopt when the text is not such
// a number or the rounded number lies outside 1..32767.
std::optional<std::int16_t> ParseFileCount(std::string_view text, std::string_view decimalSeparator);

// Kept for the window's whole life: overwritten, never cleared.
struct WindowValues {
    std::string BrakeDate;
    std::string TimeStamp;
    std::string OutputFolder;
    std::string BackupFile;
    std::string ExistingFile;
    std::string EmptyDataFile;
    std::int16_t NumberOfFiles = 0;
    std::string ChosenFile;
};

class WindowModel {
public:
    WindowModel(TextBoxes& boxes, const DesktopServices& services);
    WindowModel(const WindowModel&) = delete;
    WindowModel& operator=(const WindowModel&) = delete;

    const WindowValues& Values() const { return values_; }

    // The message listing the missing inputs (empty: all five given).  Sets
    // NumberOfFiles when the count box holds a number that fits.
    std::string Check();
    // Whether the last Check found the count box empty or holding a number
    // that fits.
    bool CountAccepted() const { return countAccepted_; }
    // Sets TimeStamp and OutputFolder and checks that the merge job can make
    // that folder.  Returns the empty text when it can, else the message for
    // the operator.
    std::string CreateFolder();
    void Clear();

    void btnMerge_Click();
    void btnOpenB_Click();
    void btnOpenE_Click();
    void btnOCFile_Click();
    // Every click of a face, on a control or a menu item, comes here: a
    // button runs its handler, a "?" label opens its topic, About and Help
    // theirs; a click on anything else does nothing.  Returns true for Exit:
    // the face then ends the program at once, whatever the boxes hold.
    void Click(ControlId control);
    bool Click(MenuId item);
    // F1 while control has the focus (nullopt: no control of the window has it).
    void F1_Help(std::optional<ControlId> focus);

    // The help file of the labels, the menu and F1: beside the program.
    std::string HelpFilePath() const;

private:
    void ChooseInto(ControlId from, ControlId into);
    void OpenHelp(int context);
    void Say(const std::string& text, MessageIcon icon);

    TextBoxes& boxes_;
    DesktopServices services_;
    WindowValues values_;
    bool countAccepted_ = true;
    bool busy_ = false;
    ScopedNoticeSink notices_;
};

}  // namespace jw::ui
