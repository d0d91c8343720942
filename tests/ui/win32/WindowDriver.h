// Drives a running joinwright.exe from another process, as a person would
// through its controls: finds its windows, types into boxes, presses
// buttons, keys and labels with window messages, reads and answers its
// message boxes, and takes a picture of the window.
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

// The program started with this process's environment; ends it (if still
// running) when destroyed.
class Program {
public:
    explicit Program(const std::wstring& exe);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // A shown top-level window of the program of this class and title
    // (null: any), waiting up to timeoutMs; null when none came.
    HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs = 20000) const;
    // Whether the program has ended within timeoutMs; its exit code then.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;
    // A message box with this title shown within timeoutMs: its text, after
    // pressing its OK button; nullopt when none came.
    std::optional<std::wstring> AnswerMessageBox(const wchar_t* title, DWORD timeoutMs = 20000) const;

private:
    PROCESS_INFORMATION process_{};
};

// Sets a box's text as if typed (WM_SETTEXT).
void Type(HWND box, const std::wstring& text);
std::wstring TextOf(HWND control);
// Presses a button without waiting for what it starts (a posted BM_CLICK).
void Press(HWND button);
// Posts a left click on a control.
void Click(HWND control);
// Posts a key press to a control (with F1, the WM_KEYF1 Windows adds).
void Key(HWND control, WPARAM key);
// The window as it is on the screen (frame, menu and client area) as a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::wstring& bmpPath);

}  // namespace jw::windriver
