// The Windows window driven from another process under wine, as a person
// would use it: boxes typed into, buttons and keys pressed through window
// messages, message boxes read and answered, help requests recorded (and
// once opened in the real HTML Help viewer).  Every test starts the program
// copied into a fresh folder, which is where it makes its output folders.
#include "WindowDriver.h"
#include "ui/model/RecordingDesktop.h"
#include "ui/model/WindowModel.h"
#include "ui/win32/Joinwright.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace jw::ui;
using namespace jw::uitest;
using namespace jw::windriver;
namespace ts = jw::trendset;

struct WindowUnderWine : ::testing::Test {
    fs::path folder = fs::temp_directory_path() / ("jw-window-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path program = folder / "program";
    fs::path record = folder / "help requests.txt";

    WindowUnderWine() {
        fs::remove_all(folder);
        fs::create_directories(program);
        fs::copy_file(JW_WINDOW_PROGRAM, program / "joinwright.exe");
        fs::copy_file(JW_HELP_FILE, program / "JoinwrightHelp.chm");
    }
    ~WindowUnderWine() override {
        run.reset();  // a running program's file cannot be removed
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    // The program started from its folder (any earlier one ended), and its
    // window once shown (null: it never was).
    std::optional<Program> run;
    HWND Start(const std::wstring& environment = {}) {
        run.reset();
        run.emplace((program / "joinwright.exe").wstring(), environment);
        return run->WaitForWindow(L"Joinwright v1.00");
    }
    // Help requests as the program recorded them, once count have come (or the wait is over).
    std::vector<std::string> Recorded(std::size_t count) const {
        std::vector<std::string> lines;
        for (int wait = 0; wait < 200; ++wait, Sleep(50)) {
            std::ifstream in(record);
            lines.clear();
            for (std::string line; std::getline(in, line);) lines.push_back(line);
            if (lines.size() >= count) break;
        }
        return lines;
    }
    static HWND Of(HWND window, ControlId id) { return Control(window, WindowIdOf(id)); }
};

TEST_F(WindowUnderWine, MergeButtonShowsTheCheckARefusalAndTheMergedSet) {
    const ts::BuiltSet backup = ts::Build(folder / "backup", SeptemberDays({1, 2}, 10));
    const ts::BuiltSet existing = ts::Build(folder / "existing", SeptemberDays({20}, 10));
    ts::BuildEmptyDataFile(folder / "empty" / "TREND.000", SeptemberDays({}, 10));
    const std::wstring b = backup.Master.wstring(), e = existing.Master.wstring(),
                       t = (folder / "empty" / "TREND.000").wstring();
    const std::wstring allFive = Wide(std::string(kNoBackup) + std::string(kNoExisting) + std::string(kNoEmptyFile) +
                                      std::string(kNoDate) + std::string(kNoCount));
    // The five boxes typed (backup, existing, empty file, date, count), the
    // start of the message shown, a part of it, whether the boxes are emptied.
    const struct { std::vector<std::wstring> boxes; std::wstring starts, has; bool emptied; } rows[] = {
        {{L"", L"", L"", L"", L""}, allFive, allFive, false},
        {{b, e, t, L"09-10-2004", L"x"}, Wide(std::string(kCountOutOfRange)), L"", false},
        {{b, e, t, L"09-10-2004", L"4"}, L"The trendfiles are now merged.", L"", true},
    };
    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    const ControlId boxes[] = {ControlId::txtBackup, ControlId::txtExisting, ControlId::txtOCFile,
                               ControlId::txtBrakeDate, ControlId::txtNOFiles};
    for (const auto& [texts, starts, has, emptied] : rows) {
        for (int i = 0; i < 5; ++i) Type(Of(window, boxes[i]), texts[static_cast<std::size_t>(i)]);
        Press(Of(window, ControlId::btnMerge));
        const std::optional<std::wstring> shown = AnswerMessageBox(run->ProcessId(), L"Joinwright");
        ASSERT_TRUE(shown.has_value()) << Utf8(starts);
        EXPECT_EQ(shown->substr(0, starts.size()), starts) << Utf8(*shown);
        EXPECT_NE(shown->find(has), std::wstring::npos) << Utf8(*shown);
        if (emptied) {  // the sets lie days apart: the gap follows as a warning, then the boxes empty
            const std::optional<std::wstring> warned = AnswerMessageBox(run->ProcessId(), L"Joinwright");
            ASSERT_TRUE(warned.has_value());
            EXPECT_NE(warned->find(L"written with these warnings"), std::wstring::npos) << Utf8(*warned);
        }
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(TextOf(Of(window, boxes[i])), emptied ? L"" : texts[static_cast<std::size_t>(i)]);
    }
    // Only the merged set's folder is left beside the program.
    std::set<std::string> made = Entries(program);
    made.erase("joinwright.exe"), made.erase("JoinwrightHelp.chm");
    ASSERT_EQ(made.size(), 1U);
    EXPECT_EQ(made.begin()->substr(0, 17), "Merged trenddata ");
    EXPECT_EQ(Entries(program / *made.begin()), (std::set<std::string>{"TREND.000", "TREND.001", "TREND.002", "TREND.003", "TREND.HST"}));

    // File, Exit ends the program at once, also with text in the boxes.
    Type(Of(window, ControlId::txtBackup), L"C:\\x.HST");
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(WindowIdOf(MenuId::mnuExit), 0), 0);
    EXPECT_EQ(run->WaitForExit(10000), std::optional<DWORD>(0));
}

// The window made in this process, so its own fonts can be measured, laid
// out at 96 and at 144 dpi: every control of the table at its place with its
// caption, and the caption's text, in its control's font (the face's choice
// by the model's rule, with the fonts this system has), needs no more room
// than its control.
TEST(WindowInThisProcess, ControlsAtTheTablesPlacesAndEveryCaptionFitsAt96And144Dpi) {
    RecordingDesktop d;
    WinBusyCursor busy;
    Joinwright w(GetModuleHandleW(nullptr), d.Services(), busy);
    for (const int dpi : {96, 144}) {
        RECT suggested{0, 0, 800, 600};
        SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        HDC dc = GetDC(w.Handle());
        for (const ControlRow& c : Controls()) {
            const HWND control = Control(w.Handle(), WindowIdOf(c.Id));
            ASSERT_NE(control, nullptr) << c.Name;
            RECT box{}, at{};
            GetClientRect(control, &box);
            GetWindowRect(control, &at);
            MapWindowPoints(nullptr, w.Handle(), reinterpret_cast<POINT*>(&at), 2);
            const int left = c.Left + (c.Container ? RowOf(*c.Container).Left : 0);
            const int top = c.Top + (c.Container ? RowOf(*c.Container).Top : 0);
            const auto px = [dpi](int pixels) { return static_cast<LONG>(MulDiv(pixels, dpi, 96)); };
            EXPECT_EQ(std::vector<LONG>({at.left, at.top, at.right - at.left, at.bottom - at.top}),
                      std::vector<LONG>({px(left), px(top), px(DrawnWidth(c.Id)), px(DrawnHeight(c.Id))}))
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
}

TEST_F(WindowUnderWine, TabOrderF1LinksAndMenusAskForTheTablesHelp) {
    const HWND window = Start(L"JOINWRIGHT_HELP_RECORD=" + record.wstring());
    ASSERT_NE(window, nullptr);
    RECT client{};  // below the menu bar, at 96 dpi
    GetClientRect(window, &client);
    EXPECT_EQ(std::pair(client.right, client.bottom), (std::pair<LONG, LONG>(kClientWidth, kClientHeight)));
    const std::string file = (program / "JoinwrightHelp.chm").string();
    std::vector<std::string> expected;
    // The focus walks the boxes and buttons in the table's order, and back to the first.
    const auto order = FocusOrder();
    for (std::size_t i = 0; i < order.size(); ++i) {
        const HWND next = GetNextDlgTabItem(window, Of(window, order[i]), FALSE);
        EXPECT_EQ(next, Of(window, order[(i + 1) % order.size()])) << RowOf(order[i]).Name;
    }
    // F1 on every box and button, a click on every "?" link, About and Help.
    for (const ControlId id : order) {
        Key(Of(window, id), VK_F1);
        expected.push_back(file + " " + std::to_string(RowOf(id).HelpContext));
    }
    for (const ControlRow& c : Controls()) {
        if (c.Kind != ControlKind::HelpLabel) continue;
        PostMessageW(Of(window, c.Id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(Of(window, c.Id), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        expected.push_back(file + " " + std::to_string(c.LinkContext));
    }
    for (const MenuId item : {MenuId::mnuAbout, MenuId::mnuHelp}) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(WindowIdOf(item), 0), 0);
        expected.push_back(file + " " + std::to_string(RowOf(item).HelpContext));
    }
    EXPECT_EQ(Recorded(expected.size()), expected);
    // Enter and Escape trigger nothing: no message box, no help, the window stays.
    Key(Of(window, ControlId::txtBackup), VK_RETURN);
    Key(Of(window, ControlId::txtBackup), VK_ESCAPE);
    EXPECT_EQ(AnswerMessageBox(run->ProcessId(), L"Joinwright", 1000), std::nullopt);
    EXPECT_EQ(Recorded(expected.size() + 1).size(), expected.size());
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(WindowUnderWine, OpenButtonsShowTheSystemsFileDialog) {
    fs::create_directories(folder / "sets");
    std::ofstream(folder / "sets" / "TREND.HST") << "x";
    std::ofstream(folder / "sets" / "EMPTY.000") << "x";
    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    const std::wstring existing = (folder / "sets" / "TREND.HST").wstring();
    Type(Of(window, ControlId::txtExisting), existing);
    // The empty data file's dialog opens where the existing trend file lies
    // and offers the four file types, the first chosen; a name typed into it
    // comes back as the full path into its box.
    Press(Of(window, ControlId::btnOCFile));
    const HWND dialog = WaitForWindowOfClass(run->ProcessId(), L"#32770", 20000);
    ASSERT_NE(dialog, nullptr);
    const HWND types = GetDlgItem(dialog, 0x470);  // the file-type combo box
    std::vector<std::wstring> offered;
    wchar_t entry[256] = {};
    for (LRESULT i = 0, n = SendMessageW(types, CB_GETCOUNT, 0, 0); i < n; ++i) {
        SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
        offered.emplace_back(entry);
    }
    EXPECT_EQ(offered, (std::vector<std::wstring>{L"All Trend Files", L"History Files (*.HST)", L"Data Files (*.nnn)",
                                                  L"All Files"}));
    EXPECT_EQ(SendMessageW(types, CB_GETCURSEL, 0, 0), 0);
    HWND name = GetDlgItem(dialog, 0x47C);  // the file-name box (a combo box's edit)
    if (HWND edit = FindWindowExW(name, nullptr, L"Edit", nullptr)) name = edit;
    if (name == nullptr) name = GetDlgItem(dialog, 0x480);
    EXPECT_EQ(TextOf(name), L"TREND.HST");
    Type(name, L"EMPTY.000");
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    std::wstring chosen;
    for (int wait = 0; wait < 200 && chosen.empty(); ++wait, Sleep(50)) chosen = TextOf(Of(window, ControlId::txtOCFile));
    EXPECT_TRUE(fs::equivalent(fs::path(chosen), folder / "sets" / "EMPTY.000")) << Utf8(chosen);
    EXPECT_EQ(TextOf(Of(window, ControlId::txtExisting)), existing);
}

TEST_F(WindowUnderWine, HelpLinkOpensTheHelpViewerOnTheHelpFile) {
    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    PostMessageW(Of(window, ControlId::lblBackupFile), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(Of(window, ControlId::lblBackupFile), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    const HWND viewer = WaitForWindowOfClass(run->ProcessId(), L"HH Parent", 20000);
    ASSERT_NE(viewer, nullptr);
    // The viewer shows the help file's own title; the window goes on taking input.
    EXPECT_NE(TextOf(viewer).find(L"Joinwright"), std::wstring::npos) << Utf8(TextOf(viewer));
    Press(Of(window, ControlId::btnMerge));
    EXPECT_TRUE(AnswerMessageBox(run->ProcessId(), L"Joinwright").has_value());
}

}  // namespace
