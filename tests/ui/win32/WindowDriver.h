// Drives a running joinwright.exe from another process, as a person would
// through its controls: finds its window and controls, types into boxes,
// presses buttons and keys with window messages, reads and answers its
// message boxes, and takes a picture of the window.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace jw::windriver {

// The program started with an environment entry added (name=value, may be
// empty); ends it (if still running) when destroyed.
class Program {
public:
    Program(const std::wstring& exe, const std::wstring& extraEnvironment = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The top-level window with this title, waiting up to timeoutMs.
    HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs = 20000) const;
    // Whether the program has ended within timeoutMs; its exit code then.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;
    DWORD ProcessId() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_{};
};

// The child of window with this control id.
HWND Control(HWND window, int id);
// Sets a box's text as if typed (WM_SETTEXT).
void Type(HWND box, const std::wstring& text);
std::wstring TextOf(HWND control);
// Presses a button without waiting for what it starts (a posted BM_CLICK).
void Press(HWND button);
// Posts a key press to a control (with F1, the WM_KEYF1 Windows adds).
void Key(HWND control, WPARAM key);
// A message box of the process (dialog class, this title) shown within
// timeoutMs: its text, after pressing its OK button; nullopt when none came.
std::optional<std::wstring> AnswerMessageBox(DWORD processId, const std::wstring& title, DWORD timeoutMs = 20000);
// Whether a top-level window of this class belonging to processId is shown within timeoutMs.
HWND WaitForWindowOfClass(DWORD processId, const std::wstring& className, DWORD timeoutMs);
// The window as it is on the screen (frame, menu and client area) as a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::wstring& bmpPath);

}  // namespace jw::windriver
