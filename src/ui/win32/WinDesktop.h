// The desktop services of the window model, made with the Windows API:
// MessageBoxW, GetOpenFileNameW, HtmlHelpW, the local time and the user's
// locale and the wait cursor.
#pragma once

#include "ui/model/Desktop.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace jw::ui {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

class WinMessageBox : public MessageBoxService {
public:
    explicit WinMessageBox(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    // MessageBoxW titled "Joinwright", OK only, the error mark or no icon.
    void Show(const std::string& text, MessageIcon icon) override;

private:
    HWND owner_;
};

// GetOpenFileNameW with the request's filter, flags and initial path; no owner.
class WinFileDialog : public FileDialogService {
public:
    OpenFileAnswer OpenFile(const OpenFileRequest& request) override;
};

// HtmlHelpW(window, file, HH_HELP_CONTEXT, context).  With a record file
// (a test's), each request is appended to it as "<file> <context>" instead.
class WinHelp : public HelpService {
public:
    explicit WinHelp(HWND window = nullptr, std::wstring recordFile = {})
        : window_(window), recordFile_(std::move(recordFile)) {}
    void SetWindow(HWND window) { window_ = window; }
    void ShowHelp(const std::string& helpFile, int context) override;

private:
    HWND window_;
    std::wstring recordFile_;
};

class WinClock : public ClockService {
public:
    ClockTime TimeOfDay() const override;
    std::string ShortDateFormat() const override;
    std::string DecimalSeparator() const override;
};

// The wait cursor; the window asks IsBusy() when the system asks it for a cursor.
class WinBusyCursor : public BusyCursorService {
public:
    void SetBusy(bool busy) override;
    bool IsBusy() const { return busy_; }

private:
    bool busy_ = false;
};

}  // namespace jw::ui
