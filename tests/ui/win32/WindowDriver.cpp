#include "WindowDriver.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace jw::windriver {

Program::Program(const std::wstring& exe) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
        process_ = {};
}

Program::~Program() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND Program::WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs) const {
    struct Search {
        DWORD process;
        const wchar_t *className, *title;
        HWND found = nullptr;
    } search{process_.dwProcessId, className, title};
    const auto visit = [](HWND window, LPARAM data) -> BOOL {
        Search& s = *reinterpret_cast<Search*>(data);
        DWORD process = 0;
        wchar_t type[256] = {}, text[256] = {};
        GetWindowThreadProcessId(window, &process);
        GetClassNameW(window, type, 256), GetWindowTextW(window, text, 256);
        if (process == s.process && IsWindowVisible(window) && (!s.className || !std::wcscmp(type, s.className)) &&
            (!s.title || !std::wcscmp(text, s.title)))
            s.found = window;
        return s.found == nullptr;
    };
    WaitUntil(timeoutMs, [&] { return EnumWindows(visit, reinterpret_cast<LPARAM>(&search)), search.found != nullptr; });
    return search.found;
}

std::optional<DWORD> Program::WaitForExit(DWORD timeoutMs) const {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::optional<std::wstring> Program::AnswerMessageBox(const wchar_t* title, DWORD timeoutMs) const {
    const HWND box = WaitForWindow(L"#32770", title, timeoutMs);
    if (box == nullptr) return std::nullopt;
    const std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));  // the message box's text
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    WaitUntil(timeoutMs, [&] { return !IsWindow(box); });
    return text;
}

void Type(HWND box, const std::wstring& text) { SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }

std::wstring TextOf(HWND control) {
    wchar_t text[4096] = {};
    // WM_GETTEXT crosses the process boundary (the system copies the text).
    SendMessageW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return text;
}

void Press(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void Click(HWND control) {
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

void Key(HWND control, WPARAM key) {
    PostMessageW(control, WM_KEYDOWN, key, 1);
    if (key == VK_F1) PostMessageW(control, 0x004D, 0, 0);  // WM_KEYF1, as Windows posts it behind F1
    PostMessageW(control, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

bool SaveWindowPicture(HWND window, const std::wstring& bmpPath) {
    RECT r{};
    GetWindowRect(window, &r);
    const LONG width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != 0;
    SelectObject(memory, old);
    const DWORD imageBytes = ((static_cast<DWORD>(width) * 3 + 3) & ~3u) * static_cast<DWORD>(height);  // rows of whole words
    const DWORD offBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file{0x4D42, offBits + imageBytes, 0, 0, offBits};
    std::ofstream out(std::filesystem::path(bmpPath), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file)
        .write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader)
        .write(static_cast<const char*>(bits), imageBytes);
    out.close();
    DeleteObject(bitmap), DeleteDC(memory), ReleaseDC(nullptr, screen);
    return copied && !out.fail();
}

}  // namespace jw::windriver
