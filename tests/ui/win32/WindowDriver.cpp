#include "WindowDriver.h"

#include <cstdio>
#include <cstring>

namespace jw::windriver {

namespace {

template <class Test>
bool WaitUntil(DWORD timeoutMs, Test test) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (test()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(50);
    }
}

struct Search {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->processId || !IsWindowVisible(window)) return TRUE;
    wchar_t text[256] = {};
    if (search->className) {
        GetClassNameW(window, text, 256);
        if (std::wcscmp(text, search->className) != 0) return TRUE;
    }
    if (search->title) {
        GetWindowTextW(window, text, 256);
        if (std::wcscmp(text, search->title) != 0) return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND Find(DWORD processId, const wchar_t* className, const wchar_t* title) {
    Search search{processId, className, title};
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

Program::Program(const std::wstring& exe, const std::wstring& extraEnvironment) {
    // The caller's environment with the extra entry added.
    std::wstring environment;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry; entry += std::wcslen(entry) + 1) environment.append(entry).push_back(L'\0');
        FreeEnvironmentStringsW(block);
    }
    if (!extraEnvironment.empty()) environment.append(extraEnvironment).push_back(L'\0');
    environment.push_back(L'\0');
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), nullptr, &startup, &process_))
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

HWND Program::WaitForWindow(const std::wstring& title, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(timeoutMs, [&] { return (found = Find(process_.dwProcessId, nullptr, title.c_str())) != nullptr; });
    return found;
}

std::optional<DWORD> Program::WaitForExit(DWORD timeoutMs) const {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

HWND Control(HWND window, int id) { return GetDlgItem(window, id); }

void Type(HWND box, const std::wstring& text) {
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring TextOf(HWND control) {
    wchar_t text[4096] = {};
    // WM_GETTEXT crosses the process boundary (the system copies the text).
    SendMessageW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return text;
}

void Press(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void Key(HWND control, WPARAM key) {
    PostMessageW(control, WM_KEYDOWN, key, 1);
    if (key == VK_F1) PostMessageW(control, 0x004D, 0, 0);  // WM_KEYF1, as Windows posts it behind F1
    PostMessageW(control, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

HWND WaitForWindowOfClass(DWORD processId, const std::wstring& className, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(timeoutMs, [&] { return (found = Find(processId, className.c_str(), nullptr)) != nullptr; });
    return found;
}

std::optional<std::wstring> AnswerMessageBox(DWORD processId, const std::wstring& title, DWORD timeoutMs) {
    HWND box = nullptr;
    if (!WaitUntil(timeoutMs, [&] { return (box = Find(processId, L"#32770", title.c_str())) != nullptr; }))
        return std::nullopt;
    const std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));  // the message box's text
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    WaitUntil(timeoutMs, [&] { return !IsWindow(box); });
    return text;
}

bool SaveWindowPicture(HWND window, const std::wstring& bmpPath) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != 0;
    SelectObject(memory, old);
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    bool written = false;
    if (FILE* out = _wfopen(bmpPath.c_str(), L"wb")) {
        written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                  std::fwrite(bits, imageBytes, 1, out) == 1;
        written = std::fclose(out) == 0 && written;
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied && written;
}

}  // namespace jw::windriver
