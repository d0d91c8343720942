// joinwright.exe: the desktop window that merges two Citect trend sets, on
// Windows.
#include "ui/win32/Joinwright.h"
#include "ui/win32/WinDesktop.h"

#include <commctrl.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // A test's seam, not an operator's setting: with JOINWRIGHT_HELP_RECORD
    // naming a file, help requests are written to it instead of opened.
    const wchar_t* record = _wgetenv(L"JOINWRIGHT_HELP_RECORD");
    jw::ui::WinMessageBox messages;
    jw::ui::WinFileDialog files;
    jw::ui::WinHelp help(nullptr, record ? record : L"");
    jw::ui::WinClock clock;
    jw::ui::SystemProgramFolder folder;
    jw::ui::WinBusyCursor busy;
    jw::ui::Joinwright window(instance, {&messages, &files, &help, &clock, &folder, &busy}, busy);
    messages.SetOwner(window.Handle());
    help.SetWindow(window.Handle());
    ShowWindow(window.Handle(), show);
    UpdateWindow(window.Handle());
    return window.Run();
}
