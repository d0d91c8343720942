#include "ui/win32/WinDesktop.h"

#include <commdlg.h>
#include <htmlhelp.h>

#include <cstdio>
#include <vector>

namespace jw::ui {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

void WinMessageBox::Show(const std::string& text, MessageIcon icon) {
    MessageBoxW(owner_, Wide(text).c_str(), Wide(kAppTitle).c_str(),
                MB_OK | (icon == MessageIcon::Error     ? MB_ICONERROR
                         : icon == MessageIcon::Warning ? MB_ICONWARNING
                                                        : 0u));
}

OpenFileAnswer WinFileDialog::OpenFile(const OpenFileRequest& request) {
    // The file-name buffer: the initial path, then NULs to 257 characters,
    // of which the dialog may use 256; the file-title buffer alike.
    constexpr std::size_t kBuffer = 257;
    std::wstring initial = Wide(request.InitialPath);
    if (initial.size() >= kBuffer) initial.resize(kBuffer - 1);
    std::vector<wchar_t> file(kBuffer, L'\0'), title(kBuffer, L'\0');
    std::copy(initial.begin(), initial.end(), file.begin());
    std::copy(initial.begin(), initial.end(), title.begin());
    const std::wstring filter = Wide(request.Filter);
    const std::wstring dialogTitle = Wide(request.Title);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;  // the form without the later extension fields
    ofn.hwndOwner = nullptr;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.FilterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kBuffer - 1;
    ofn.lpstrFileTitle = title.data();
    ofn.nMaxFileTitle = kBuffer - 1;
    ofn.lpstrInitialDir = initial.empty() ? nullptr : initial.c_str();
    ofn.lpstrTitle = dialogTitle.empty() ? nullptr : dialogTitle.c_str();
    ofn.Flags = request.Flags;
    if (!GetOpenFileNameW(&ofn)) return {};
    return {Utf8(file.data()), ofn.Flags};
}

void WinHelp::ShowHelp(const std::string& helpFile, int context) {
    if (!recordFile_.empty()) {
        if (FILE* record = _wfopen(recordFile_.c_str(), L"ab")) {
            std::fprintf(record, "%s %d\n", helpFile.c_str(), context);
            std::fclose(record);
        }
        return;
    }
    HtmlHelpW(window_, Wide(helpFile).c_str(), HH_HELP_CONTEXT, static_cast<DWORD_PTR>(context));
}

ClockTime WinClock::TimeOfDay() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond};
}

namespace {
std::string LocaleText(LCTYPE what) {
    wchar_t text[LOCALE_NAME_MAX_LENGTH * 4] = {};
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, text, static_cast<int>(std::size(text)));
    return n > 0 ? Utf8(text) : std::string();
}
}  // namespace

std::string WinClock::ShortDateFormat() const { return LocaleText(LOCALE_SSHORTDATE); }

std::string WinClock::DecimalSeparator() const { return LocaleText(LOCALE_SDECIMAL); }

void WinBusyCursor::SetBusy(bool busy) {
    busy_ = busy;
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

}  // namespace jw::ui
