// Drives a running joinwright.exe from another process, as a person would
// through its controls: finds its windows, types into boxes, presses
// buttons, keys and labels with window messages, reads and answers its
// message boxes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace jw::windriver {

// Whether test() comes true within timeoutMs (tried every 50 ms).
template <class Test>
bool WaitUntil(DWORD timeoutMs, Test test) {
    for (const ULONGLONG end = GetTickCount64() + timeoutMs;; Sleep(50)) {
        if (test()) return true;
        if (GetTickCount64() >= end) return false;
    }
}

inline std::wstring TextOf(HWND control) {  // WM_GETTEXT crosses the process boundary
    wchar_t text[4096] = {};
    SendMessageW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return text;
}
inline void Type(HWND box, const std::wstring& text) { SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }
// Presses a button without waiting for what it starts.
inline void Press(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }
inline void Click(HWND control) {
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}
// A key pressed on a control (with F1, the WM_KEYF1 Windows posts behind it).
inline void Key(HWND control, WPARAM key) {
    PostMessageW(control, WM_KEYDOWN, key, 1);
    if (key == VK_F1) PostMessageW(control, 0x004D, 0, 0);
    PostMessageW(control, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

// The program started with this process's environment; ended (if still
// running) when destroyed.
struct Program {
    PROCESS_INFORMATION process{};
    explicit Program(std::wstring exe) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            process = {};
    }
    ~Program() {
        if (!process.hProcess) return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000), CloseHandle(process.hThread), CloseHandle(process.hProcess);
    }
    // A shown top-level window of the program of this class and title
    // (null: any), waiting up to timeoutMs; null when none came.
    HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs = 20000) const {
        HWND found = nullptr;
        WaitUntil(timeoutMs, [&] {
            for (found = FindWindowExW(nullptr, nullptr, className, title); found;
                 found = FindWindowExW(nullptr, found, className, title)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                if (owner == process.dwProcessId && IsWindowVisible(found)) return true;
            }
            return false;
        });
        return found;
    }
    // A message box with this title shown within timeoutMs: its text, after
    // pressing its OK button; nullopt when none came.
    std::optional<std::wstring> AnswerMessageBox(const wchar_t* title, DWORD timeoutMs = 20000) const {
        const HWND box = WaitForWindow(L"#32770", title, timeoutMs);
        if (box == nullptr) return std::nullopt;
        const std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));  // the message box's text
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        WaitUntil(timeoutMs, [&] { return !IsWindow(box); });
        return text;
    }
};

}  // namespace jw::windriver
