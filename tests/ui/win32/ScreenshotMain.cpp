// Renders the Joinwright window, as it opens, into a 24-bit BMP file (the
// picture of the Windows window in the README, scripts/screenshot).
//   jw_winshot <joinwright.exe> <out.bmp>
#include "WindowDriver.h"

#include <filesystem>
#include <fstream>

int wmain(int argc, wchar_t* argv[]) {
    if (argc != 3) return 2;
    jw::windriver::Program program(argv[1]);
    const HWND window = program.WaitForWindow(nullptr, L"Joinwright v1.00");
    if (window == nullptr) return 1;
    SetForegroundWindow(window);
    Sleep(1500);  // let it paint
    RECT r{};  // the window as it is on the screen: frame, menu and client area
    GetWindowRect(window, &r);
    const LONG width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = bitmap && BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    const DWORD imageBytes = ((static_cast<DWORD>(width) * 3 + 3) & ~3u) * static_cast<DWORD>(height);  // rows of whole words
    const DWORD offBits = sizeof(BITMAPFILEHEADER) + sizeof info;
    const BITMAPFILEHEADER file{0x4D42, offBits + imageBytes, 0, 0, offBits};
    std::ofstream out(std::filesystem::path(argv[2]), std::ios::binary);
    if (copied) out.write(reinterpret_cast<const char*>(&file), sizeof file).write(reinterpret_cast<const char*>(&info), sizeof info)
        .write(static_cast<const char*>(bits), imageBytes);
    out.close();
    DeleteObject(bitmap), DeleteDC(memory), ReleaseDC(nullptr, screen);
    return copied && !out.fail() ? 0 : 1;
}
