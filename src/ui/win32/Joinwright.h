// The Joinwright window made with the Windows API: the controls of the
// window model's table at their places scaled to the monitor's DPI, every
// click, F1 and menu command handed to the model.  The window holds no
// logic of its own.
#pragma once

#include "ui/model/WindowModel.h"
#include "ui/win32/WinDesktop.h"

#include <windows.h>

#include <array>
#include <string>

namespace jw::ui {

// The window ids of the controls and menu items: control i of the table is
// 100 + i, menu item i is 1000 + i (1 and 2 are Enter's and Escape's).
inline constexpr int kFirstControlId = 100;
inline constexpr int kFirstMenuId = 1000;
constexpr int WindowIdOf(ControlId id) { return kFirstControlId + static_cast<int>(id); }
constexpr int WindowIdOf(MenuId id) { return kFirstMenuId + static_cast<int>(id); }

class Joinwright : private TextBoxes {
public:
    // Creates the window (hidden).  busy tells which cursor to show.
    Joinwright(HINSTANCE instance, const DesktopServices& services, const WinBusyCursor& busy);
    ~Joinwright() override;
    Joinwright(const Joinwright&) = delete;
    Joinwright& operator=(const Joinwright&) = delete;

    HWND Handle() const { return window_; }
    // Runs the window's message loop until the window is gone; the exit code.
    int Run();

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    std::string Text(ControlId box) const override;
    void SetText(ControlId box, const std::string& text) override;

    void CreateControls();
    void CreateMenus();
    // Fonts, places and sizes for dpi dots per inch.
    void Layout(UINT dpi);
    // A candidate caption font of the model's rule at the current DPI.
    HFONT MakeCaptionFont(CaptionFont font) const;
    std::optional<ControlId> ControlOf(HWND control) const;
    int Scaled(int pixels) const;

    HINSTANCE instance_;
    const WinBusyCursor& busy_;
    HWND window_ = nullptr;
    std::array<HWND, kControlCount> controls_{};
    std::wstring face_;              // the caption font's face on this system
    HFONT captionFont_ = nullptr;    // every caption's font at the current DPI
    HFONT linkFont_ = nullptr;       // the "?" links' font
    UINT dpi_ = 96;
    WindowModel model_;
};

}  // namespace jw::ui
