// The Windows window driven from another process under wine, as a person
// would use it: boxes typed into, buttons, labels and keys pressed through
// window messages, message boxes read and answered, help requests recorded
// (and once opened in the real HTML Help viewer).  Every test starts the
// program copied into a fresh folder, which is where it makes its output folders.
#include "WindowDriver.h"
#include "ui/model/RecordingDesktop.h"
#include "ui/model/WindowModel.h"
#include "ui/win32/Joinwright.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace jw::ui;
using namespace jw::uitest;
using namespace jw::windriver;
namespace ts = jw::testsupport;

struct WindowUnderWine : ::testing::Test {
    ts::TempFolder temp;
    fs::path folder = temp.path, program = folder / "program", record = folder / "help requests.txt";
    std::optional<Program> run;  // ended before its folder is removed
    WindowUnderWine() {
        fs::create_directories(program);
        fs::copy_file(JW_WINDOW_PROGRAM, program / "joinwright.exe");
        fs::copy_file(JW_HELP_FILE, program / kHelpFileName);
    }
    // The program started from its folder with help requests recorded (or
    // not), and its window once shown (null: it never was).
    HWND Start(bool recordHelp = false) {
        SetEnvironmentVariableW(L"JOINWRIGHT_HELP_RECORD", recordHelp ? record.wstring().c_str() : nullptr);
        run.emplace((program / "joinwright.exe").wstring());
        return run->WaitForWindow(nullptr, Wide(kWindowCaption).c_str());
    }
    static HWND Of(HWND window, ControlId id) { return GetDlgItem(window, WindowIdOf(id)); }
};

// The focus walks the boxes and buttons in the table's order; Enter and Escape
// trigger nothing (a box would come before the merge's) and F1 on a box opens
// its help.  A merge: the result's message box, then the warnings', then the
// boxes emptied; then Exit.
TEST_F(WindowUnderWine, KeysAndAMergeReachTheModelThenExitEnds) {
    const auto backup = jw::trendset::Build(folder / "backup", ts::SampleSet(6, ts::Days(6, 7, 3)));
    const auto existing = jw::trendset::Build(folder / "existing", ts::SampleSet(6, ts::Days(6, 10, 2)));
    jw::trendset::BuildEmptyDataFile(folder / "TREND.000", ts::SampleSet(6, {}));
    const std::pair<ControlId, std::wstring> typed[] = {
        {ControlId::txtBackup, backup.Master.wstring()}, {ControlId::txtExisting, existing.Master.wstring()},
        {ControlId::txtOCFile, (folder / "TREND.000").wstring()}, {ControlId::txtBrakeDate, L"09-10-2004"}, {ControlId::txtNOFiles, L"6"}};
    const HWND window = Start(true);
    ASSERT_NE(window, nullptr);
    RECT client{};  // below the menu bar, at 96 dpi
    EXPECT_TRUE(GetClientRect(window, &client) && client.right == kClientWidth && client.bottom == kClientHeight);
    const auto order = FocusOrder();
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(GetNextDlgTabItem(window, Of(window, order[i]), FALSE), Of(window, order[(i + 1) % order.size()]))
            << RowOf(order[i]).Name;
    Key(Of(window, ControlId::txtBackup), VK_RETURN);
    Key(Of(window, ControlId::txtBackup), VK_ESCAPE);
    Key(Of(window, ControlId::txtNOFiles), VK_F1);
    const std::string help = (program / kHelpFileName).string() + " " + std::to_string(HelpContextFor(ControlId::txtNOFiles)) + "\n";
    WaitUntil(10000, [&] { return ts::ReadFile(record).size() >= help.size(); });
    EXPECT_EQ(ts::ReadFile(record), help);
    for (const auto& [box, text] : typed) Type(Of(window, box), text);
    Press(Of(window, ControlId::btnMerge));
    for (const std::string text : {"The trendfiles are now merged.", "The merged set was written with these warnings:"})
        EXPECT_TRUE(Utf8(run->AnswerMessageBox(Wide(kAppTitle).c_str()).value_or(L"")).starts_with(text)) << text;
    for (const auto& [box, text] : typed) EXPECT_EQ(TextOf(Of(window, box)), L"") << RowOf(box).Name;
    // File, Exit ends the program at once, also with text in the boxes.
    Type(Of(window, ControlId::txtBackup), L"C:\\x.HST");
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(WindowIdOf(MenuId::mnuExit), 0), 0);
    EXPECT_EQ(WaitForSingleObject(run->process.hProcess, 10000), WAIT_OBJECT_0);
}

// The window made in this process, so its own fonts can be measured, laid
// out at 96 and at 144 dpi: every control of the table at its place with its
// caption, and the caption's text, in its control's font, needs no more room
// than its control; the menu items of the table.
TEST(WindowInThisProcess, ControlsAtTheTablesPlacesAndEveryCaptionFitsAt96And144Dpi) {
    RecordingDesktop d;
    WinBusyCursor busy;
    Joinwright w(GetModuleHandleW(nullptr), d.Services(), busy);
    for (const int dpi : {96, 144}) {
        RECT suggested{0, 0, 800, 600};
        SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        HDC dc = GetDC(w.Handle());
        for (const ControlRow& c : Controls()) {
            const HWND control = GetDlgItem(w.Handle(), WindowIdOf(c.Id));
            RECT box{}, at{};
            GetClientRect(control, &box), GetWindowRect(control, &at);
            MapWindowPoints(nullptr, w.Handle(), reinterpret_cast<POINT*>(&at), 2);
            const ControlRow& in = c.Container ? RowOf(*c.Container) : ControlRow{};
            const auto px = [dpi](int pixels) { return static_cast<LONG>(MulDiv(pixels, dpi, 96)); };
            EXPECT_EQ(std::vector<LONG>({at.left, at.top, at.right - at.left, at.bottom - at.top}),
                      std::vector<LONG>({px(c.Left + in.Left), px(c.Top + in.Top), px(DrawnWidth(c.Id)), px(DrawnHeight(c.Id))}))
                << c.Name << " at " << dpi;
            EXPECT_EQ(TextOf(control), Wide(c.Caption)) << c.Name;
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
            const bool wraps = c.Kind == ControlKind::Label;
            RECT need{0, 0, wraps ? box.right : 100000, 0};
            DrawTextW(dc, Wide(c.Caption).c_str(), -1, &need,
                      DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
            SelectObject(dc, old);
            EXPECT_TRUE(need.right <= box.right && need.bottom <= box.bottom)
                << c.Name << " at " << dpi << ": needs " << need.right << "x" << need.bottom;
        }
        ReleaseDC(w.Handle(), dc);
    }
    for (const MenuRow& m : Menus()) {  // the drop-down first on the bar, its item found by its id
        wchar_t text[64] = {};
        GetMenuStringW(GetMenu(w.Handle()), m.DropDown ? 0 : WindowIdOf(m.Id), text, 64, m.DropDown ? MF_BYPOSITION : MF_BYCOMMAND);
        EXPECT_EQ(text, Wide(m.Caption)) << m.Name;
    }
}

// The empty data file's dialog opens on the existing trend file with the
// four file types; a name typed into it comes back as the full path.  A "?"
// link then opens the real viewer on the help file, which maps the context
// to its topic, and the window goes on taking input.
TEST_F(WindowUnderWine, TheSystemsFileDialogAndHelpViewer) {
    fs::create_directories(folder / "sets");
    for (const char* name : {"TREND.HST", "EMPTY.000"}) std::ofstream(folder / "sets" / name) << "x";
    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    Type(Of(window, ControlId::txtExisting), (folder / "sets" / "TREND.HST").wstring());
    Press(Of(window, ControlId::btnOCFile));
    const HWND dialog = run->WaitForWindow(L"#32770", nullptr);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, 0x470), CB_GETCOUNT, 0, 0), 4);  // the file-type combo box
    HWND name = GetDlgItem(dialog, 0x47C);  // the file-name box (or a combo box's edit)
    if (HWND edit = FindWindowExW(name, nullptr, L"Edit", nullptr)) name = edit;
    EXPECT_EQ(TextOf(name), L"TREND.HST");
    Type(name, L"EMPTY.000");
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    std::wstring chosen;
    WaitUntil(10000, [&] { return !(chosen = TextOf(Of(window, ControlId::txtOCFile))).empty(); });
    EXPECT_TRUE(fs::equivalent(fs::path(chosen), folder / "sets" / "EMPTY.000")) << Utf8(chosen);
    Click(Of(window, ControlId::lblBackupFile));
    const HWND viewer = run->WaitForWindow(L"HH Parent", nullptr);
    ASSERT_NE(viewer, nullptr);
    EXPECT_NE(TextOf(viewer).find(L"Joinwright"), std::wstring::npos) << Utf8(TextOf(viewer));
    Press(Of(window, ControlId::btnMerge));
    EXPECT_TRUE(run->AnswerMessageBox(Wide(kAppTitle).c_str()).has_value());
}

}  // namespace
