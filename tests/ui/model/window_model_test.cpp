// The window's behaviour without a toolkit, driven through a recording
// desktop and five text boxes held in a map: the control table, the input
// check, the count, the output folder, merges, the file choosers and help.
#include "ui/model/RecordingDesktop.h"
#include "ui/model/CommonDialog.h"
#include "engine/MergeJob.h"
#include "ui/model/WindowModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace jw::ui;
using namespace jw::uitest;
namespace ts = jw::trendset;

namespace {

const std::string kRange = "Antalet filer måste vara ett tal från 1 till 32767.";

// The recording desktop with the five text boxes held in a map.
struct FakeDesktop : TextBoxes, RecordingDesktop {
    std::string Text(ControlId box) const override { return Boxes.count(box) ? Boxes.at(box) : ""; }
    void SetText(ControlId box, const std::string& text) override { Boxes[box] = text; }
    // The five boxes in the check's order: backup, existing, empty data file, date, count.
    static constexpr ControlId kFive[] = {ControlId::txtBackup, ControlId::txtExisting, ControlId::txtOCFile,
                                          ControlId::txtBrakeDate, ControlId::txtNOFiles};
    std::vector<std::string> Five() const {
        std::vector<std::string> texts;
        for (const ControlId id : kFive) texts.push_back(Text(id));
        return texts;
    }
    void SetFive(const std::vector<std::string>& texts) {
        for (std::size_t i = 0; i < 5; ++i) Boxes[kFive[i]] = texts[i];
    }
    std::map<ControlId, std::string> Boxes;
};

std::string Bytes(const fs::path& p) { std::ifstream in(p, std::ios::binary); return {std::istreambuf_iterator<char>(in), {}}; }

// --- The control table -----------------------------------------------------------

TEST(ControlTable, ControlsFitTheirContainersLabelsEndAtTheirNeighboursFocusFollowsTabIndex) {
    for (const ControlRow& c : Controls()) {
        const int width = c.Container ? RowOf(*c.Container).Width : kClientWidth;
        const int height = c.Container ? RowOf(*c.Container).Height : kClientHeight;
        EXPECT_TRUE(c.Left + std::max(c.Width, DrawnWidth(c.Id)) <= width &&
                    c.Top + std::max(c.Height, DrawnHeight(c.Id)) <= height) << c.Name;
        // Every "?" label, and only those, is a help link.
        EXPECT_EQ(c.Kind == ControlKind::HelpLabel, std::string(c.Caption) == "?") << c.Name;
        EXPECT_EQ(c.Kind == ControlKind::HelpLabel, c.LinkContext != 0) << c.Name;
    }
    // A label is drawn up to the control beside or below it, never shorter than its row.
    const std::tuple<ControlId, int, int> drawn[] = {
        {ControlId::lblBackup, 56, 40},     {ControlId::lblNew, 56, 40},       {ControlId::lblOCFile, 49, 40},
        {ControlId::lblNFiles, 49, 33},     {ControlId::lblHNFiles, 89, 25},   {ControlId::lblNewFolder, 456, 41},
        {ControlId::lblBrakeDate, 56, 25},  {ControlId::lblDate, 72, 25},      {ControlId::txtBackup, 313, 19},
        {ControlId::lblBackupFile, 17, 25}, {ControlId::Files, 489, 193},      {ControlId::btnMerge, 81, 57},
    };
    for (const auto& [id, width, height] : drawn)
        EXPECT_EQ(std::pair(DrawnWidth(id), DrawnHeight(id)), std::pair(width, height)) << RowOf(id).Name;
    std::vector<std::string> order;
    for (const ControlId id : FocusOrder()) order.emplace_back(RowOf(id).Name);
    EXPECT_EQ(order, (std::vector<std::string>{"txtBackup", "txtExisting", "btnOpenB", "btnOpenE", "txtBrakeDate",
                                               "btnMerge", "txtNOFiles", "txtOCFile", "btnOCFile"}));
}

// The caption font: a caption fits up to the last pixel of its room (a
// label's less a gap of 4 at its right and bottom, in no more lines than its
// row held, a frame's less its corners, a button's less its edges), at 96
// and 144 dpi; the font is the first candidate with which every caption fits.
TEST(ControlTable, CaptionFontIsTheLargestWithWhichEveryCaptionFits) {
    // Control, scale, the room its caption needs, a line's height (0: the same), fits.
    const std::tuple<ControlId, double, TextExtent, int, bool> rows[] = {
        {ControlId::lblDate, 1, {68, 21}, 0, true},       {ControlId::lblDate, 1, {69, 21}, 0, false},
        {ControlId::lblDate, 1, {68, 22}, 0, false},      {ControlId::lblHNFiles, 1, {80, 26}, 13, false},
        {ControlId::lblBackup, 1, {52, 36}, 18, true},    {ControlId::lblBackup, 1, {52, 37}, 18, false},
        {ControlId::lblBackup, 1, {52, 36}, 12, false},   {ControlId::lblBackup, 1.5, {78, 54}, 0, true},
        {ControlId::lblBackup, 1.5, {79, 54}, 0, false},  {ControlId::Files, 1, {465, 99}, 0, true},
        {ControlId::Files, 1, {466, 9}, 0, false},        {ControlId::btnOpenB, 1, {57, 21}, 0, true},
        {ControlId::btnOpenB, 1.5, {87, 32}, 0, false},   {ControlId::txtBackup, 1, {9999, 9999}, 0, true},
        {ControlId::lblBackupFile, 1, {9999, 9999}, 0, true}};
    for (const auto& [id, scale, need, line, fits] : rows) {
        const MeasureText measure = [&](CaptionFont, const char* text, int wrapWidth) {
            if (std::string(text) == "X") return TextExtent{1, line ? line : need.Height};
            EXPECT_STREQ(text, RowOf(id).Caption);
            // Labels wrap at their room, the others take one line.
            EXPECT_EQ(wrapWidth > 0, RowOf(id).Kind == ControlKind::Label) << RowOf(id).Name;
            return need;
        };
        EXPECT_EQ(CaptionFits(id, CaptionFonts()[0], scale, measure), fits) << RowOf(id).Name << " at " << scale;
    }
    // One caption too wide in the larger fonts holds the whole window to a smaller one.
    const std::pair<int, CaptionFont> limits[] = {
        {9000, {90, 100}}, {8499, {80, 100}}, {7000, {70, 100}}, {6300, {70, 90}}, {0, {70, 70}}};
    for (const auto& [limit, chosen] : limits) {
        const MeasureText measure = [limit = limit](CaptionFont f, const char* text, int) {
            const bool big = f.TenthsOfPoint * f.WidthPercent > limit && std::string(text) == "[mm-dd-yyyy]";
            return big ? TextExtent{1000, 1000} : TextExtent{1, 1};
        };
        EXPECT_EQ(ChooseCaptionFont(1, measure), chosen) << limit;
    }
}

// --- Check and the count -----------------------------------------------------------

TEST(WindowModel, CheckNamesEveryMissingInputAndLeavesEverythingAsItWas) {
    // The five boxes (backup, existing, empty file, date, count) and what Merge says.
    const struct { std::vector<std::string> boxes; std::string check, shown; } rows[] = {
        {{"", "", "", "", ""},
         "Du måste välja en backup fil. Du måste välja en existerande fil. Du måste välja en tom data fil. "
         "Du har inte angivit något datum. Du har inte angivit hur många filer som ska skapas.", ""},
        {{"b", "", "e", "1-1-2004", "3"}, " Du måste välja en existerande fil.", ""},
        {{"b", "x", "", "d", "3"}, " Du måste välja en tom data fil.", ""},
        {{"b", "x", "e", "", ""}, " Du har inte angivit något datum. Du har inte angivit hur många filer som ska skapas.", ""},
        {{"", "x", "e", "d", "abc"}, "Du måste välja en backup fil.", ""},  // the missing input comes first
        {{"b", "x", "e", "d", "abc"}, "", kRange},
        {{"b", "x", "e", "d", "32768"}, "", kRange},
        {{"b", "x", "e", "d", "0"}, "", kRange},
    };
    for (const auto& [boxes, check, shown] : rows) {
        FakeDesktop d;
        WindowModel w(d, d.Services());
        d.SetFive(boxes);
        EXPECT_EQ(w.Check(), check);
        w.btnMerge_Click();
        EXPECT_EQ(d.Messages, std::vector<std::string>{check.empty() ? shown : check});
        EXPECT_EQ(d.Five(), boxes);
        EXPECT_TRUE(Entries(d.Program).empty());
        EXPECT_TRUE(d.Busy.empty());
        EXPECT_EQ(w.Values().BrakeDate, boxes[3]);
    }
}

TEST(WindowModel, CountIsSetByCheckWhateverTheOtherBoxesHold) {
    FakeDesktop d;
    WindowModel w(d, d.Services());
    d.SetFive({"", "", "", "", "7"});
    EXPECT_NE(w.Check(), "");
    EXPECT_EQ(w.Values().NumberOfFiles, 7);
    d.SetFive({"", "", "", "", "0"});  // a refused count leaves the last one
    w.Check();
    EXPECT_TRUE(!w.CountAccepted() && w.Values().NumberOfFiles == 7);
}

TEST(FileCount, RoundsHalfToEvenWithinOneTo32767) {
    constexpr int refused = -100000;
    const struct { const char *text, *decimal; int count; } rows[] = {
        {"8", ".", 8}, {" 8", ".", 8}, {"8 ", ".", 8}, {"\t8", ".", 8}, {"0", ".", refused}, {"-3", ".", refused}, {"+3", ".", 3},
        {"2.5", ".", 2}, {"3.5", ".", 4}, {"2.51", ".", 3}, {"-2.5", ".", refused}, {".5", ".", refused}, {"1.5", ".", 2}, {"7.", ".", 7},
        {"32767", ".", 32767}, {"32767.5", ".", refused}, {"0.5", ".", refused}, {"-32769", ".", refused},
        {"000000000000000000000000008", ".", 8}, {"99999999999999999999999", ".", refused},
        {"abc", ".", refused}, {"40000", ".", refused}, {" ", ".", refused}, {"8abc", ".", refused}, {"-", ".", refused},
        {".", ".", refused}, {"1 2", ".", refused}, {"--1", ".", refused}, {"0x10", ".", refused},
        {"nan", ".", refused}, {"inf", ".", refused}, {"1e3", ".", refused}, {"1.2.3", ".", refused},
        {"2,5", ",", 2}, {"3.5", ",", 4}, {"2,5", ".", refused}, {"1,000", ".", refused}, {"1,5", "", refused},
    };
    for (const auto& [text, decimal, count] : rows) {
        const std::optional<std::int16_t> parsed = ParseFileCount(text, decimal);
        EXPECT_EQ(parsed ? *parsed : refused, count) << '"' << text << '"';
    }
}

// --- Merges through the button ---------------------------------------------------

struct Merge : ::testing::Test {
    // Backup days 1, 2, 3 and existing days 3, 10, 20 of September 2004; the
    // break date 09-10-2004 takes existing 10 and 20, then backup 1 to 3.
    FakeDesktop d;
    ts::BuiltSet backup = ts::Build(d.Root / "backup", SeptemberDays({1, 2, 3}, 10));
    ts::BuiltSet existing = ts::Build(d.Root / "existing", SeptemberDays({3, 10, 20}, 20));
    fs::path empty = d.Root / "empty" / "TREND.000";
    Merge() { ts::BuildEmptyDataFile(empty, SeptemberDays({}, 0)); }
    std::vector<std::string> Boxes(const std::string& count, const std::string& date = "09-10-2004") {
        return {backup.Master.string(), existing.Master.string(), empty.string(), date, count};
    }
};

TEST_F(Merge, MergedSetIsShownThenTheBoxesAreEmptied) {
    WindowModel w(d, d.Services());
    d.Decimal = ",";
    d.SetFive(Boxes(" 7,5"));  // the regional form, rounded to even 8
    std::vector<std::string> boxesWhileShown;
    std::vector<bool> busyWhileShown;
    d.OnShow = [&] { boxesWhileShown = d.Five(), busyWhileShown = d.Busy; };
    w.btnMerge_Click();
    EXPECT_EQ(d.Messages.at(0), "The trendfiles are now merged.");  // a warning of the plan may follow
    d.Messages.resize(1);
    EXPECT_EQ(boxesWhileShown, Boxes(" 7,5"));
    EXPECT_EQ(busyWhileShown, (std::vector<bool>{true, false}));  // busy while merging, not while the box is open
    EXPECT_EQ(d.Five(), std::vector<std::string>(5));
    // "/" cannot stand in a folder name: "-" takes its place.
    const fs::path folder = d.Program / "Merged trenddata 14-35-22";
    const WindowValues& v = w.Values();
    EXPECT_EQ(std::tuple(v.OutputFolder, v.TimeStamp, v.NumberOfFiles, v.BackupFile),
              std::tuple(folder.string(), "14-35-22", 8, backup.Master.string()));
    EXPECT_EQ(Entries(d.Program), std::set<std::string>{"Merged trenddata 14-35-22"});
    EXPECT_EQ(Entries(folder), (std::set<std::string>{"TREND.000", "TREND.001", "TREND.002", "TREND.003", "TREND.004",
                                                      "TREND.005", "TREND.006", "TREND.007", "TREND.HST"}));
    for (const auto& [copy, source] : {std::pair{"TREND.001", existing.DataFiles[2]}, {"TREND.002", backup.DataFiles[0]},
                                       {"TREND.007", empty}})
        EXPECT_EQ(Bytes(folder / copy), Bytes(source)) << copy;

    // The same time of day again: refused, the earlier folder is not reused.
    const std::string master = Bytes(folder / "TREND.HST");
    d.OnShow = nullptr;
    d.SetFive(Boxes("6"));
    w.btnMerge_Click();
    ASSERT_EQ(d.Messages.size(), 2U);
    EXPECT_EQ(d.Messages[1], "error: The output folder cannot be made, because a file or folder of that name already "
                             "exists:\n" + folder.string() +
                                 "\n\nA folder of an earlier merge is never reused. Wait a second and press Merge again.");
    EXPECT_EQ(Entries(folder).size(), 9U);
    EXPECT_EQ(Bytes(folder / "TREND.HST"), master);
    EXPECT_EQ(d.Five(), Boxes("6"));

    // A second later with the regional "." separator: a new folder.
    d.Time = {14, 35, 23};
    d.DateFormat = "d.M.yyyy";
    w.btnMerge_Click();
    EXPECT_EQ(d.Messages.at(2), "The trendfiles are now merged.");
    EXPECT_EQ(Entries(d.Program), (std::set<std::string>{"Merged trenddata 14-35-22", "Merged trenddata 14.35.23"}));
}

TEST_F(Merge, WarningsOfThePlanFollowTheResult) {
    ts::SetDescription renamed = SeptemberDays({1, 2, 3}, 10);
    renamed.ID = "OLDID";
    ts::Build(d.Root / "backup", renamed);
    WindowModel w(d, d.Services());
    d.SetFive(Boxes("6"));
    w.btnMerge_Click();
    ASSERT_EQ(d.Messages.size(), 2U);
    EXPECT_EQ(d.Messages[0], "The trendfiles are now merged.");
    EXPECT_TRUE(d.Messages[1].starts_with("warning: The merged set was written with these warnings:\n\n- "))
        << d.Messages[1];
    EXPECT_NE(d.Messages[1].find("\n- The masters' IDs differ (existing \"TREND\", backup \"OLDID\")"), std::string::npos)
        << d.Messages[1];
    EXPECT_EQ(d.Five(), std::vector<std::string>(5));
}

TEST_F(Merge, RefusalsLeaveNoFolderAndNameTheBreakDateOnlyWhereItMatters) {
    // Count, date, what the refusal says, what it must not say; a data file in the
    // backup (0) or existing (1) box.
    const struct { const char *count, *date, *says, *never; int dataFileIn = -1; } rows[] = {
        {"4", "09-10-2004", "With the break date 2004-09-10 (typed \"09-10-2004\") the merged set needs 5", nullptr},
        {"6", "02-30-2004", "The break date \"02-30-2004\" is not a date", "typed"},
        {"6", "09-10-2004", "this is a data file, not a master file", "typed", 0},
        {"6", "09-10-2004", "choose the master", "typed", 1},
    };
    for (const auto& [count, date, says, never, dataFileIn] : rows) {
        d.Messages.clear();
        WindowModel w(d, d.Services());
        std::vector<std::string> five = Boxes(count, date);
        if (dataFileIn >= 0) five[std::size_t(dataFileIn)] = (dataFileIn == 0 ? backup : existing).DataFiles.at(1).string();
        d.SetFive(five);
        w.btnMerge_Click();
        ASSERT_EQ(d.Messages.size(), 1U) << says;
        const std::string& shown = d.Messages[0];
        EXPECT_TRUE(shown.starts_with("error: The merge failed.\n\n")) << shown;
        EXPECT_NE(shown.find(says), std::string::npos) << shown;
        if (never) {
            EXPECT_EQ(shown.find(never), std::string::npos) << shown;
        }
        EXPECT_TRUE(shown.ends_with("Nothing was written; no output folder was made:\n" + w.Values().OutputFolder))
            << shown;
        EXPECT_EQ(d.Five(), five);
        EXPECT_TRUE(Entries(d.Program).empty());
        EXPECT_EQ(d.Busy, (std::vector<bool>{true, false}));
        d.Busy.clear();
    }
}

// The window runs the one merge job: what a killed merge left is named.
TEST_F(Merge, RunsTheMergeJob) {
    WindowModel w(d, d.Services());
    const fs::path working = d.Program / jw::WorkingFolderName("Merged trenddata 14-35-22");
    fs::create_directories(working);
    d.SetFive(Boxes("8"));
    w.btnMerge_Click();
    ASSERT_EQ(d.Messages.size(), 1U);
    EXPECT_NE(d.Messages[0].find("was cut off"), std::string::npos) << d.Messages[0];
    EXPECT_EQ(Entries(d.Program), std::set<std::string>{working.filename().string()});
}

TEST_F(Merge, FolderThatCannotBeMadeStopsTheMerge) {
    WindowModel w(d, d.Services());
    d.Program = d.Root / "no such folder";
    d.SetFive(Boxes("8"));
    w.btnMerge_Click();
    ASSERT_EQ(d.Messages.size(), 1U);
    EXPECT_TRUE(d.Messages[0].starts_with("error: The output folder cannot be made:\n" +
                                          (d.Program / "Merged trenddata 14-35-22").string() + "\n\nReason: "))
        << d.Messages[0];
    EXPECT_TRUE(d.Messages[0].ends_with("a folder you can write to:\n" + d.Program.string())) << d.Messages[0];
    EXPECT_FALSE(fs::exists(d.Program));
    EXPECT_EQ(d.Five(), Boxes("8"));
    EXPECT_TRUE(d.Busy.empty());
}

// --- File choosers ---------------------------------------------------------------

TEST(CommonDialog, FilterTextNormalisedAndReadBack) {
    const std::pair<std::string, std::string> normalised[] = {
        {"A|*.a|", std::string("A\0*.a\0\0", 7)}, {"A|*.a", std::string("A\0*.a\0\0", 7)},
        {"A|*.a||", std::string("A\0*.a\0\0", 7)}, {"A|*.a|||", std::string("A\0*.a\0\0\0", 8)},
        {"", std::string("\0\0", 2)}, {"|", std::string("\0\0", 2)},
    };
    for (const auto& [text, nul] : normalised) EXPECT_EQ(NormaliseFilter(text), nul) << text;
    const std::string buttons = NormaliseFilter(kTrendFileFilter);
    EXPECT_TRUE(buttons.ends_with(std::string("\0\0", 2)) && !buttons.ends_with(std::string("\0\0\0", 3)));
    EXPECT_EQ(std::count(buttons.begin(), buttons.end(), '\0'), 9);

    const auto read = [](std::string_view text) {
        std::string out;
        for (const FilterEntry& e : FilterEntries(NormaliseFilter(text))) {
            out += e.Description + ":";
            for (const std::string& p : e.Patterns) out += " " + p;
            out += ";";
        }
        return out;
    };
    EXPECT_EQ(read(kTrendFileFilter), "All Trend Files: *.HST *.0?? *.1?? *.2??;History Files (*.HST): *.HST;"
                                      "Data Files (*.nnn): *.0?? *.1?? *.2??;All Files: *.*;");
    EXPECT_EQ(read("A| *.a ; *.b |"), "A: *.a *.b;");
    EXPECT_EQ(read("A||B|*.b|"), "");  // an empty pattern list, then the list has ended
    EXPECT_EQ(read("A"), "");
    EXPECT_EQ(read("A|;;|B|*.b|"), "B: *.b;");
}

TEST(WindowModel, OpenButtonsProposeTheirBoxAndFillTheirTarget) {
    // Button, the box whose text the dialog proposes, the box that gets the answer.
    // (Boxes by their place in the check: 0 backup, 1 existing, 2 empty data file.)
    const struct { void (WindowModel::*click)(); std::size_t from, into; } rows[] = {
        {&WindowModel::btnOpenB_Click, 0, 0}, {&WindowModel::btnOpenE_Click, 1, 1}, {&WindowModel::btnOCFile_Click, 1, 2}};
    for (const auto& [click, from, into] : rows) {
        FakeDesktop d;
        WindowModel w(d, d.Services());
        const std::vector<std::string> before{"/b/TREND.HST", "/e/TREND.HST", "/o/TREND.000", "09-17-2004", "8"};
        d.SetFive(before);
        (w.*click)();  // cancelled
        EXPECT_EQ(d.Five(), before);
        d.Answer = {std::string("  /chosen/readme.txt\0junk", 25), 0x1};
        (w.*click)();
        std::vector<std::string> after = before;
        after[into] = "/chosen/readme.txt";
        EXPECT_EQ(d.Five(), after);
        EXPECT_EQ(w.Values().ChosenFile, "/chosen/readme.txt");
        ASSERT_EQ(d.Requests.size(), 2U);
        const OpenFileRequest& r = d.Requests[1];
        EXPECT_EQ(std::tuple(r.InitialPath, r.Filter, r.Flags, r.FilterIndex, r.Title),
                  std::tuple(before[from], NormaliseFilter(kTrendFileFilter), 0x1804U, 1, std::string()));
        EXPECT_TRUE(d.Messages.empty());
    }
}

// --- Help ---------------------------------------------------------------------------

TEST(WindowModel, HelpLinksMenusAndF1OpenTheTablesContexts) {
    FakeDesktop d;
    WindowModel w(d, d.Services());
    const std::string file = (d.Program / "JoinwrightHelp.chm").string();
    std::vector<std::string> expected;
    for (const ControlId id : FocusOrder()) {
        w.F1_Help(id);
        expected.push_back(file + " at " + std::to_string(RowOf(id).HelpContext));
    }
    for (const auto& [id, context] : {std::pair{ControlId::lblBackup, 1001}, {ControlId::Frame3, 1001}}) {
        w.F1_Help(id);  // without a context of its own: the window's
        expected.push_back(file + " at " + std::to_string(context));
    }
    w.F1_Help(std::nullopt);
    expected.push_back(file + " at 1001");
    for (const auto& [label, context] : {std::pair{ControlId::lblBackupFile, 1003}, {ControlId::lblBrake, 1004},
                                         {ControlId::lblEmpty, 1005}, {ControlId::lblExisting, 1006},
                                         {ControlId::lblFolder, 1007}, {ControlId::lblNumber, 1008}}) {
        w.Click(label);
        expected.push_back(file + " at " + std::to_string(context));
    }
    for (const ControlId none : {ControlId::lblBackup, ControlId::txtBackup, ControlId::Files}) w.Click(none);
    for (const auto& [item, context] : {std::pair{MenuId::mnuAbout, 1002}, {MenuId::mnuHelp, 1010}}) {
        EXPECT_FALSE(w.Click(item));
        expected.push_back(file + " at " + std::to_string(context));
    }
    EXPECT_FALSE(w.Click(MenuId::mnuFile));
    EXPECT_TRUE(w.Click(MenuId::mnuExit));  // the face ends the program
    EXPECT_EQ(d.Help, expected);
    EXPECT_TRUE(d.Messages.empty());
}

}  // namespace
