// Renders the Joinwright window, as it opens, into a BMP file (the picture
// of the Windows window in the README).  Usage: jw_winshot <joinwright.exe> <out.bmp>
#include "WindowDriver.h"

#include <cstdio>

int wmain(int argc, wchar_t* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: jw_winshot <joinwright.exe> <out.bmp>\n");
        return 2;
    }
    jw::windriver::Program program(argv[1]);
    HWND window = program.WaitForWindow(nullptr, L"Joinwright v1.00");
    if (window == nullptr) {
        std::fprintf(stderr, "jw_winshot: the window did not open\n");
        return 1;
    }
    SetForegroundWindow(window);
    Sleep(1500);  // let it paint
    if (!jw::windriver::SaveWindowPicture(window, argv[2])) {
        std::fprintf(stderr, "jw_winshot: cannot write the picture\n");
        return 1;
    }
    return 0;
}
