// What the window tests share: a desktop that records what the window shows
// and asks for, with a program folder of its own.
#pragma once

#include "support/TestSupport.h"
#include "ui/model/Desktop.h"

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace jw::uitest {

namespace fs = std::filesystem;
using namespace jw::ui;

// Messages ("error: " or "warning: " before a box with that mark), help
// requests ("file at context") and busy changes, in order; the file dialog
// answers once with Answer (empty: cancelled); the program folder lies in
// Root, removed at the end.
struct RecordingDesktop : MessageBoxService, FileDialogService, HelpService, ClockService, ProgramFolderService,
                          BusyCursorService {
    void Show(const std::string& text, MessageIcon icon) override {
        Messages.push_back((icon == MessageIcon::Error ? "error: " : icon == MessageIcon::Warning ? "warning: " : "") + text);
        if (OnShow) OnShow();
    }
    OpenFileAnswer OpenFile(const OpenFileRequest& request) override { return Requests.push_back(request), std::exchange(Answer, {}); }
    void ShowHelp(const std::string& file, int context) override { Help.push_back(file + " at " + std::to_string(context)); }
    ClockTime TimeOfDay() const override { return {14, 35, 22}; }
    std::string ShortDateFormat() const override { return DateFormat; }
    std::string DecimalSeparator() const override { return Decimal; }
    std::string ProgramFolder() const override { return Program.string(); }
    void SetBusy(bool busy) override { Busy.push_back(busy); }
    DesktopServices Services() { return {this, this, this, this, this, this}; }

    testsupport::TempFolder Folder;
    fs::path Root = Folder.path, Program = Root / "program";
    std::vector<std::string> Messages, Help;
    std::vector<bool> Busy;
    std::function<void()> OnShow;  // runs while the box would be open
    OpenFileAnswer Answer;
    std::vector<OpenFileRequest> Requests;
    std::string DateFormat = "dd/MM/yyyy", Decimal = ".";
    RecordingDesktop() { fs::create_directories(Program); }
};

}  // namespace jw::uitest
