// What the window tests share: a desktop that records what the window shows
// and asks for, in a folder of its own, and trend sets of whole days.
#pragma once

#include "trendset/TrendSetBuilder.h"
#include "ui/model/Desktop.h"

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace jw::uitest {

namespace fs = std::filesystem;
using namespace jw::ui;

// Files of the days of September 2004, 06:00 to 23:00, holding samples + day samples each.
inline trendset::SetDescription SeptemberDays(std::initializer_list<int> days, int samples) {
    trendset::SetDescription set;
    for (const int day : days)
        set.Files.push_back({trendset::RawTime(set.Version, 2004, 9, day, 6), trendset::RawTime(set.Version, 2004, 9, day, 23),
                             samples + day, {}, true});
    return set;
}

// The names in a folder.
inline std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// Messages ("error: " marks a box with the error mark), help requests ("file at
// context") and busy changes, in order; the file dialog answers once with
// Answer (empty: cancelled); the program folder lies in Root, removed at the end.
struct RecordingDesktop : MessageBoxService, FileDialogService, HelpService, ClockService, ProgramFolderService,
                          BusyCursorService {
    void Show(const std::string& text, MessageIcon icon) override {
        Messages.push_back((icon == MessageIcon::Error ? "error: " : icon == MessageIcon::Warning ? "warning: " : "") + text);
        if (OnShow) OnShow();
    }
    OpenFileAnswer OpenFile(const OpenFileRequest& request) override {
        Requests.push_back(request);
        return std::exchange(Answer, {});
    }
    void ShowHelp(const std::string& file, int context) override { Help.push_back(file + " at " + std::to_string(context)); }
    ClockTime TimeOfDay() const override { return Time; }
    std::string ShortDateFormat() const override { return DateFormat; }
    std::string DecimalSeparator() const override { return Decimal; }
    std::string ProgramFolder() const override { return Program.string(); }
    void SetBusy(bool busy) override { Busy.push_back(busy); }
    DesktopServices Services() { return {this, this, this, this, this, this}; }

    fs::path Root = fs::temp_directory_path() / ("jw-window-" + std::to_string(std::random_device{}()));
    fs::path Program = Root / "program";
    std::vector<std::string> Messages, Help;
    std::vector<bool> Busy;
    std::function<void()> OnShow;  // runs while the box would be open
    OpenFileAnswer Answer;
    std::vector<OpenFileRequest> Requests;
    ClockTime Time{14, 35, 22};
    std::string DateFormat = "dd/MM/yyyy", Decimal = ".";
    RecordingDesktop() { fs::remove_all(Root), fs::create_directories(Program); }
    ~RecordingDesktop() override {
        std::error_code ec;
        fs::remove_all(Root, ec);
    }
};

}  // namespace jw::uitest
