#include "ui/model/WindowModel.h"

#include "engine/MergeJob.h"
#include "engine/OutputFolder.h"
#include "engine/TrendTools.h"
#include "os/Text.h"
#include "time/StringTools.h"
#include "ui/model/CommonDialog.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <system_error>

namespace jw::ui {

namespace fs = std::filesystem;

std::optional<std::int16_t> ParseFileCount(std::string_view text, std::string_view decimalSeparator) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);

    // The number in the form from_chars reads: sign, digits, "." and digits.
    std::string number;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        if (text[i] == '-') number += '-';
        ++i;
    }
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') number += text[i++];
        return i - start;
    };
    std::size_t count = digits();
    if (i < text.size()) {
        if (text[i] == '.') {
            ++i;
        } else if (!decimalSeparator.empty() && text.substr(i).starts_with(decimalSeparator)) {
            i += decimalSeparator.size();
        } else {
            return std::nullopt;
        }
        number += '.';
        count += digits();
    }
    if (count == 0 || i != text.size()) return std::nullopt;

    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    const double whole = std::nearbyint(value);  // the default rounding: a half to the even neighbour
    if (!(whole >= 1.0 && whole <= 32767.0)) return std::nullopt;
    return static_cast<std::int16_t>(whole);
}

WindowModel::WindowModel(TextBoxes& boxes, const DesktopServices& services)
    : boxes_(boxes),
      services_(services),
      notices_([this](std::string_view text, NoticeMark mark) {
          // Problems the format code finds itself: a modal message box, then it goes on.
          Say(std::string(text), mark == NoticeMark::Error ? MessageIcon::Error : MessageIcon::None);
      }) {}

void WindowModel::Say(const std::string& text, MessageIcon icon) {
    // A box shown while the merge runs (a notice of the format code) gets
    // the ordinary pointer, not the busy one.
    if (busy_) services_.Busy->SetBusy(false);
    services_.Messages->Show(text, icon);
    if (busy_) services_.Busy->SetBusy(true);
}

// --- Check, output folder, merge ------------------------------------------------

std::string WindowModel::Check() {
    std::string message;
    if (boxes_.Text(ControlId::txtBackup).empty()) message += kNoBackup;
    if (boxes_.Text(ControlId::txtExisting).empty()) message += kNoExisting;
    if (boxes_.Text(ControlId::txtOCFile).empty()) message += kNoEmptyFile;
    if (boxes_.Text(ControlId::txtBrakeDate).empty()) message += kNoDate;
    const std::string count = boxes_.Text(ControlId::txtNOFiles);
    if (count.empty()) message += kNoCount;

    countAccepted_ = true;
    if (!count.empty()) {
        const std::optional<std::int16_t> n = ParseFileCount(count, services_.Clock->DecimalSeparator());
        countAccepted_ = n.has_value();
        if (n) values_.NumberOfFiles = *n;
    }
    return message;
}

std::string WindowModel::CreateFolder() {
    values_.TimeStamp =
        FolderTimeStamp(services_.Clock->TimeOfDay(), FolderSeparatorFor(services_.Clock->ShortDateFormat()));
    const std::string programFolder = services_.Folder->ProgramFolder();
    const fs::path folder = os::PathFromUtf8(programFolder) / os::PathFromUtf8(OutputFolderName(values_.TimeStamp));
    values_.OutputFolder = os::PathText(folder);
    // The merge job makes the folder; what stands in its way is told here,
    // before the merge starts.
    try {
        CheckOutputFolderCanBeMade(folder);
    } catch (const std::exception& error) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(folder, ec)))
            return "The output folder cannot be made, because a file or folder of that name already exists:\n" +
                   values_.OutputFolder +
                   "\n\nA folder of an earlier merge is never reused. Wait a second and press Merge again.";
        return "The output folder cannot be made:\n" + values_.OutputFolder + "\n\nReason: " + error.what() +
               "\n\nJoinwright makes its output folders in its own program folder, which must be a folder you "
               "can write to:\n" +
               programFolder;
    }
    return {};
}

void WindowModel::Clear() {
    for (const ControlId box : {ControlId::txtBackup, ControlId::txtExisting, ControlId::txtNOFiles,
                                ControlId::txtBrakeDate, ControlId::txtOCFile})
        boxes_.SetText(box, {});
}

void WindowModel::btnMerge_Click() {
    values_.BrakeDate = boxes_.Text(ControlId::txtBrakeDate);
    const std::string missing = Check();
    if (!missing.empty()) return Say(missing, MessageIcon::None);
    if (!CountAccepted()) return Say(std::string(kCountOutOfRange), MessageIcon::None);
    const std::string folderProblem = CreateFolder();
    if (!folderProblem.empty()) return Say(folderProblem, MessageIcon::Error);
    values_.BackupFile = boxes_.Text(ControlId::txtBackup);
    values_.ExistingFile = boxes_.Text(ControlId::txtExisting);
    values_.EmptyDataFile = boxes_.Text(ControlId::txtOCFile);

    std::string result;
    std::vector<std::string> warnings;
    std::string failure;
    services_.Busy->SetBusy(true);
    busy_ = true;
    try {
        const MergeRequest request{values_.BrakeDate,
                                   os::PathFromUtf8(values_.OutputFolder),
                                   os::PathFromUtf8(values_.BackupFile),
                                   os::PathFromUtf8(values_.ExistingFile),
                                   values_.NumberOfFiles,
                                   os::PathFromUtf8(values_.EmptyDataFile)};
        warnings = RunMergeJob(request).Warnings;
        result = std::string(kMergedText);
    } catch (const std::exception& error) {
        // The engine's description names the file, record or field and what
        // is wrong; the recorded Names it quotes are Windows-1252.
        failure = StringTools::MixedToUtf8(error.what());
    } catch (...) {
        failure = "The merge ended with a failure that gives no description.";
    }
    busy_ = false;
    services_.Busy->SetBusy(false);

    if (!failure.empty() || result.empty()) {
        if (failure.empty()) failure = "The merge job gave no result.";
        // The merge job removes what it made when it does not finish.
        Say("The merge failed.\n\n" + failure + "\n\nNothing was written; no output folder was made:\n" +
                values_.OutputFolder,
            MessageIcon::Error);
        return;
    }
    Say(result, MessageIcon::None);
    // What the merge let through with a warning (a fault in a record it did
    // not take, a gap between the sets ...) follows the result, as the
    // command line prints it.
    if (!warnings.empty()) {
        std::string text = "The merged set was written with these warnings:\n";
        for (const std::string& w : warnings) text += "\n- " + StringTools::MixedToUtf8(w);
        Say(text, MessageIcon::Warning);
    }
    Clear();
}

// --- File choosers -------------------------------------------------------------

void WindowModel::ChooseInto(ControlId from, ControlId into) {
    std::int16_t readOnly = 0;
    values_.ChosenFile = ChooseFile({}, boxes_.Text(from), kTrendFileFilter, kOpenButtonFlags, readOnly, *services_.Files);
    if (!values_.ChosenFile.empty()) boxes_.SetText(into, values_.ChosenFile);
}

void WindowModel::btnOpenB_Click() { ChooseInto(ControlId::txtBackup, ControlId::txtBackup); }
void WindowModel::btnOpenE_Click() { ChooseInto(ControlId::txtExisting, ControlId::txtExisting); }
// The empty data file's chooser opens where the existing trend file lies.
void WindowModel::btnOCFile_Click() { ChooseInto(ControlId::txtExisting, ControlId::txtOCFile); }

// --- Help ----------------------------------------------------------------------

std::string WindowModel::HelpFilePath() const {
    return os::PathText(os::PathFromUtf8(services_.Folder->ProgramFolder()) / kHelpFileName);
}

void WindowModel::OpenHelp(int context) { services_.Help->ShowHelp(HelpFilePath(), context); }

void WindowModel::Click(ControlId control) {
    switch (control) {
    case ControlId::btnMerge: btnMerge_Click(); return;
    case ControlId::btnOpenB: btnOpenB_Click(); return;
    case ControlId::btnOpenE: btnOpenE_Click(); return;
    case ControlId::btnOCFile: btnOCFile_Click(); return;
    default: break;
    }
    if (const int context = RowOf(control).LinkContext; context != 0) OpenHelp(context);
}

bool WindowModel::Click(MenuId item) {
    if (item == MenuId::mnuExit) return true;
    if (const int context = RowOf(item).HelpContext; context != 0) OpenHelp(context);
    return false;
}

void WindowModel::F1_Help(std::optional<ControlId> focus) {
    OpenHelp(focus ? HelpContextFor(*focus) : kWindowHelpContext);
}

}  // namespace jw::ui
