#include "ui/win32/Joinwright.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <utility>

namespace jw::ui {

namespace {

constexpr const wchar_t* kClassName = L"Joinwright";
// Posted by Windows behind the key-down of F1; DefWindowProc turns it into a
// WM_HELP of its own (wine posts none).
constexpr UINT kKeyF1 = 0x004D;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // fixed size

// width: average character width in pixels; 0 for the face's own.
HFONT MakeFont(const wchar_t* face, int tenthsOfPoints, UINT dpi, int width = 0) {
    return CreateFontW(-MulDiv(tenthsOfPoints, static_cast<int>(dpi), 720), width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face);
}

// The dialog font of today's Windows (Segoe UI) where the system has it, else
// the dialog font every Windows maps to one it has (under wine: Tahoma).
std::wstring CaptionFace(HWND window) {
    LOGFONTW want{};
    want.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(want.lfFaceName, L"Segoe UI");
    bool found = false;
    HDC dc = GetDC(window);
    EnumFontFamiliesExW(
        dc, &want,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(window, dc);
    return found ? L"Segoe UI" : L"MS Shell Dlg 2";
}

}  // namespace

Joinwright::Joinwright(HINSTANCE instance, const DesktopServices& services, const WinBusyCursor& busy)
    : instance_(instance), busy_(busy), model_(*this, services) {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = &Joinwright::Proc;
    type.hInstance = instance;
    type.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    type.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                 GetSystemMetrics(SM_CYSMICON), 0));
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = kClassName;
    RegisterClassExW(&type);

    window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, Wide(kWindowCaption).c_str(), kStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
    face_ = CaptionFace(window_);
    CreateMenus();
    CreateControls();
    Layout(GetDpiForWindow(window_));
    SetFocus(controls_[static_cast<std::size_t>(FocusOrder()[0])]);
}

Joinwright::~Joinwright() {
    if (IsWindow(window_)) DestroyWindow(window_);
    DeleteObject(captionFont_);
    DeleteObject(linkFont_);
}

void Joinwright::CreateMenus() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    for (const MenuRow& item : Menus()) {
        const auto id = static_cast<UINT_PTR>(WindowIdOf(item.Id));
        const std::wstring caption = Wide(item.Caption);
        if (item.DropDown)
            AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(file), caption.c_str());
        else
            AppendMenuW(item.Parent ? file : bar, MF_STRING, id, caption.c_str());
    }
    SetMenu(window_, bar);
}

void Joinwright::CreateControls() {
    // Windows walk the focus (and Tab) through the children in the order
    // they were made: first the text boxes and buttons by tab index, then the
    // labels, last the frames, which lie beneath everything.
    const auto make = [this](const ControlRow& c) {
        const wchar_t* type = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        DWORD extended = 0;
        switch (c.Kind) {
        case ControlKind::Frame: type = L"BUTTON", style = WS_CHILD | WS_VISIBLE | BS_GROUPBOX; break;
        case ControlKind::Label: style |= SS_LEFT | SS_NOPREFIX; break;
        case ControlKind::HelpLabel: style |= SS_LEFT | SS_NOTIFY; break;
        case ControlKind::TextBox: type = L"EDIT", style |= WS_TABSTOP | ES_AUTOHSCROLL, extended = WS_EX_CLIENTEDGE; break;
        case ControlKind::Button: type = L"BUTTON", style |= WS_TABSTOP | BS_PUSHBUTTON; break;
        }
        controls_[static_cast<std::size_t>(c.Id)] =
            CreateWindowExW(extended, type, Wide(c.Caption).c_str(), style, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(WindowIdOf(c.Id))), instance_, nullptr);
    };
    for (const ControlId id : FocusOrder()) make(RowOf(id));
    for (const ControlRow& c : Controls())
        if (c.Kind == ControlKind::Label || c.Kind == ControlKind::HelpLabel) make(c);
    for (const ControlRow& c : Controls())
        if (c.Kind == ControlKind::Frame) make(c);
}

int Joinwright::Scaled(int pixels) const { return MulDiv(pixels, static_cast<int>(dpi_), 96); }

HFONT Joinwright::MakeCaptionFont(CaptionFont font) const {
    HFONT full = MakeFont(face_.c_str(), font.TenthsOfPoint, dpi_);
    if (font.WidthPercent == 100) return full;
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, full);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    DeleteObject(full);
    return MakeFont(face_.c_str(), font.TenthsOfPoint, dpi_,
                    std::max(1, static_cast<int>(metrics.tmAveCharWidth) * font.WidthPercent / 100));
}

void Joinwright::Layout(UINT dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    // The caption font by the model's rule, measured as the controls draw.
    std::map<std::pair<int, int>, HFONT> tried;
    HDC dc = GetDC(window_);
    const CaptionFont chosen = ChooseCaptionFont(dpi_ / 96.0, [&](CaptionFont font, const char* text, int wrapWidth) {
        HFONT& f = tried[{font.TenthsOfPoint, font.WidthPercent}];
        if (!f) f = MakeCaptionFont(font);
        HGDIOBJ old = SelectObject(dc, f);
        const std::wstring caption = Wide(text);
        RECT need{0, 0, wrapWidth > 0 ? wrapWidth : 100000, 0};
        DrawTextW(dc, caption.c_str(), -1, &need,
                  DT_CALCRECT | DT_NOPREFIX | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
        SelectObject(dc, old);
        return TextExtent{static_cast<int>(need.right), static_cast<int>(need.bottom)};
    });
    ReleaseDC(window_, dc);
    for (const auto& [key, font] : tried) DeleteObject(font);
    // The fonts of the former DPI go once every control has its new one.
    HFONT oldCaptionFont = std::exchange(captionFont_, MakeCaptionFont(chosen));
    HFONT oldLinkFont = std::exchange(linkFont_, MakeFont(L"MS Sans Serif", 135, dpi_));

    for (const ControlRow& c : Controls()) {
        int left = c.Left, top = c.Top;
        if (c.Container) left += RowOf(*c.Container).Left, top += RowOf(*c.Container).Top;
        HWND control = controls_[static_cast<std::size_t>(c.Id)];
        SetWindowPos(control, nullptr, Scaled(left), Scaled(top), Scaled(DrawnWidth(c.Id)), Scaled(DrawnHeight(c.Id)),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        const HFONT font = c.Kind == ControlKind::HelpLabel ? linkFont_ : captionFont_;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    // The client area below the menu bar, at this DPI.
    RECT frame{0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
    AdjustWindowRectExForDpi(&frame, kStyle, TRUE, WS_EX_CONTROLPARENT, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    // A menu bar that wraps at this width takes more room: give it that.
    RECT client{};
    GetClientRect(window_, &client);
    if (client.bottom < Scaled(kClientHeight))
        SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left,
                     frame.bottom - frame.top + Scaled(kClientHeight) - client.bottom,
                     SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    if (oldCaptionFont) DeleteObject(oldCaptionFont);
    if (oldLinkFont) DeleteObject(oldLinkFont);
    InvalidateRect(window_, nullptr, TRUE);
}

std::optional<ControlId> Joinwright::ControlOf(HWND control) const {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i] == control) return static_cast<ControlId>(i);
    return std::nullopt;
}

std::string Joinwright::Text(ControlId box) const {
    HWND control = controls_[static_cast<std::size_t>(box)];
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

void Joinwright::SetText(ControlId box, const std::string& text) {
    SetWindowTextW(controls_[static_cast<std::size_t>(box)], Wide(text).c_str());
}

int Joinwright::Run() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // F1 on a control of the window: the window's help request for it,
        // once per press: the system's own request that follows is dropped.
        const bool ours = message.hwnd == window_ || IsChild(window_, message.hwnd);
        if (ours && message.message == kKeyF1) continue;
        if (ours && message.message == WM_KEYDOWN && message.wParam == VK_F1) {
            HELPINFO help{};
            help.cbSize = sizeof help;
            help.iContextType = HELPINFO_WINDOW;
            help.hItemHandle = message.hwnd;
            help.iCtrlId = GetDlgCtrlID(message.hwnd);
            SendMessageW(window_, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
            continue;
        }
        if (IsDialogMessageW(window_, &message)) continue;  // Tab and Shift+Tab
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK Joinwright::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Joinwright*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Joinwright*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->Handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Joinwright::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id >= kFirstMenuId && id < kFirstMenuId + static_cast<int>(Menus().size())) {
            // Exit: at once, whatever the boxes hold.
            if (model_.Click(static_cast<MenuId>(id - kFirstMenuId))) DestroyWindow(window_);
            return 0;
        }
        if (id < kFirstControlId || id >= kFirstControlId + static_cast<int>(kControlCount)) return 0;
        const auto control = static_cast<ControlId>(id - kFirstControlId);
        const WORD code = HIWORD(wParam);
        // BN_CLICKED and STN_CLICKED are one code; only buttons and "?" labels send it.
        if (code == BN_CLICKED) model_.Click(control);
        return 0;
    }
    case WM_HELP: {
        const auto* help = reinterpret_cast<const HELPINFO*>(lParam);
        model_.F1_Help(help->iContextType == HELPINFO_WINDOW ? ControlOf(static_cast<HWND>(help->hItemHandle))
                                                             : std::nullopt);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
        // The "?" links in the highlight colour; every caption on the window's face.
        const auto control = ControlOf(reinterpret_cast<HWND>(lParam));
        auto* dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, TRANSPARENT);
        if (control && RowOf(*control).Kind == ControlKind::HelpLabel) SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        else SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR: {
        if (busy_.IsBusy()) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        const auto control = ControlOf(reinterpret_cast<HWND>(wParam));
        if (control && RowOf(*control).Kind == ControlKind::HelpLabel) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        Layout(HIWORD(wParam));
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace jw::ui
