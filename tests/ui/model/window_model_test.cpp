// The window's behaviour without a toolkit, driven through a recording
// desktop and five text boxes held in a map: the control table and the
// caption font, the input check, the count, merges, the file choosers, help.
#include "ui/model/RecordingDesktop.h"
#include "ui/model/CommonDialog.h"
#include "ui/model/WindowModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <tuple>

using namespace jw::ui;
using namespace jw::uitest;
namespace ts = jw::testsupport;

namespace {

// The recording desktop with the five text boxes held in a map.
struct FakeDesktop : TextBoxes, RecordingDesktop {
    std::string Text(ControlId box) const override { return Boxes.count(box) ? Boxes.at(box) : ""; }
    void SetText(ControlId box, const std::string& text) override { Boxes[box] = text; }
    // The five boxes in the check's order: backup, existing, empty data file, date, count.
    static constexpr ControlId kFive[] = {ControlId::txtBackup, ControlId::txtExisting, ControlId::txtOCFile,
                                          ControlId::txtBrakeDate, ControlId::txtNOFiles};
    std::vector<std::string> Five() const { return {Text(kFive[0]), Text(kFive[1]), Text(kFive[2]), Text(kFive[3]), Text(kFive[4])}; }
    void SetFive(const std::vector<std::string>& texts) { for (std::size_t i = 0; i < 5; ++i) Boxes[kFive[i]] = texts[i]; }
    std::map<ControlId, std::string> Boxes;
};

// --- The control table and the caption font ------------------------------------------

struct Box { int left, top, right, bottom; };
Box Drawn(const ControlRow& c) { return {c.Left, c.Top, c.Left + DrawnWidth(c.Id), c.Top + DrawnHeight(c.Id)}; }

TEST(ControlTable, ControlsLieInTheirContainersApartAndLabelsReachTheirNeighbours) {
    for (const ControlRow& c : Controls()) {
        const Box b = Drawn(c);
        const int width = c.Container ? RowOf(*c.Container).Width : kClientWidth;
        const int height = c.Container ? RowOf(*c.Container).Height : kClientHeight;
        EXPECT_TRUE(b.left >= 0 && b.top >= 0 && b.right <= width && b.bottom <= height) << c.Name;
        // A label runs up to the control beside it and down to the one below
        // (or the container's margin of 8), never shorter than its row.
        bool right = b.right == c.Left + c.Width, down = b.bottom == c.Top + c.Height || b.bottom == height - 8;
        for (const ControlRow& o : Controls()) {
            const Box p = Drawn(o);
            if (o.Id == c.Id || o.Container != c.Container) continue;
            EXPECT_FALSE(b.left < p.right && p.left < b.right && b.top < p.bottom && p.top < b.bottom) << c.Name << o.Name;
            right |= p.left == b.right && p.top < b.bottom && b.top < p.bottom;
            down |= p.top == b.bottom && p.left < b.right && b.left < p.right;
        }
        const bool label = c.Kind == ControlKind::Label;
        const bool tableSize = b.right - b.left == c.Width && b.bottom - b.top == c.Height;
        EXPECT_TRUE(label ? right && down && b.bottom - b.top >= c.Height : tableSize) << c.Name;
        // Every "?" label, and only those, is a help link.
        EXPECT_EQ(c.Kind == ControlKind::HelpLabel, std::string(c.Caption) == "?" && c.LinkContext != 0) << c.Name;
    }
}

// The room a caption has at scale: a label's drawn box less a gap of 4 at
// its right and bottom, a frame's width less its corners, a button less its edges.
TextExtent Room(ControlId id, double scale) {
    const ControlRow& c = RowOf(id);
    const auto px = [scale](int pixels) { return static_cast<int>(std::lround(pixels * scale)); };
    if (c.Kind == ControlKind::Label) return {px(DrawnWidth(id) - 4), px(DrawnHeight(id) - 4)};
    if (c.Kind == ControlKind::Frame) return {px(c.Width - 24), 100000};
    return {px(c.Width - 8), px(c.Height - 4)};
}

TEST(ControlTable, CaptionFitsToTheLastPixelAndTheFontIsTheLargestWithWhichEveryCaptionFits) {
    // Control, scale, pixels needed beyond its room (width, height), lines the text takes, fits.
    // A label takes no more lines than its row held in the classic font (13 pixels a line).
    using C = ControlId;
    const std::tuple<ControlId, double, int, int, int, bool> rows[] = {
        {C::lblHNFiles, 1, -20, -2, 2, false}, {C::lblBackup, 1.5, 0, 0, 2, true}, {C::lblBackup, 1.5, 1, 0, 2, false},
        {C::lblBackup, 1.5, 0, 1, 2, false}, {C::Files, 1, 1, 0, 1, false}, {C::btnOpenB, 1.5, 0, 0, 1, true},
        {C::btnOpenB, 1, 0, 1, 1, false}, {C::txtBackup, 1, 9999, 9999, 1, true}, {C::lblBackupFile, 1, 9999, 9999, 9, true}};
    for (const auto& [id, scale, wider, taller, lines, fits] : rows) {
        const TextExtent room = Room(id, scale);
        const TextExtent need{std::max(1, room.Width + wider), std::min(room.Height, 1000) + taller};
        const MeasureText measure = [&](CaptionFont, const char* text, int wrapWidth) {
            if (std::string(text) == "X") return TextExtent{1, need.Height / lines};
            EXPECT_STREQ(text, RowOf(id).Caption);
            EXPECT_EQ(wrapWidth > 0, RowOf(id).Kind == ControlKind::Label) << RowOf(id).Name;  // labels wrap
            return need;
        };
        EXPECT_EQ(CaptionFits(id, CaptionFonts()[0], scale, measure), fits) << RowOf(id).Name << " at " << scale;
    }
    // One caption too wide in the larger fonts holds the whole window to a smaller one.
    const std::pair<int, CaptionFont> limits[] = {{9000, {90, 100}}, {8499, {80, 100}}, {7000, {70, 100}}, {6300, {70, 90}}, {0, {70, 70}}};
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
    // The five boxes (backup, existing, empty file, date, count), what Check says; Merge shows
    // that, or with every input given the count's refusal.
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"", "", "", "", ""}, "Du måste välja en backup fil. Du måste välja en existerande fil. Du måste välja en tom "
                               "data fil. Du har inte angivit något datum. Du har inte angivit hur många filer som ska skapas."},
        {{"b", "", "e", "1-1-2004", "3"}, " Du måste välja en existerande fil."}, {{"b", "x", "e", "d", "0"}, ""},
        {{"", "x", "e", "d", "abc"}, "Du måste välja en backup fil."} /* the missing input comes first */};
    for (const auto& [boxes, check] : rows) {
        FakeDesktop d;
        WindowModel w(d, d.Services());
        d.SetFive(boxes);
        EXPECT_EQ(w.Check(), check);
        w.btnMerge_Click();
        EXPECT_EQ(d.Messages, std::vector<std::string>{check.empty() ? std::string(kCountOutOfRange) : check});
        EXPECT_TRUE(d.Five() == boxes && ts::Snapshot(d.Program).empty() && d.Busy.empty());
    }
}

TEST(FileCount, RoundsHalfToEvenWithinOneTo32767) {
    constexpr int refused = 0;  // no count: the valid ones start at 1
    // With "." as the desktop's separator.
    const std::pair<const char*, int> rows[] = {
        {"\t8 ", 8}, {"0", refused}, {"+3", 3}, {"2.5", 2}, {"3.5", 4}, {"2.51", 3}, {"-2.5", refused}, {"7.", 7}, {"32767", 32767},
        {"32767.5", refused}, {"0.5", refused}, {"000000000000000000000000008", 8}, {"99999999999999999999999", refused}, {" ", refused},
        {"8abc", refused}, {".", refused}, {"1 2", refused}, {"--1", refused}, {"0x10", refused}, {"nan", refused}, {"inf", refused},
        {"1e3", refused}, {"2,5", refused}};
    for (const auto& [text, count] : rows) EXPECT_EQ(ParseFileCount(text, ".").value_or(refused), count) << '"' << text << '"';
    // Another separator, and "." besides it; none.
    for (const auto& [text, decimal, count] : {std::tuple{"2,5", ",", 2}, {"3.5", ",", 4}, {"1,5", "", refused}})
        EXPECT_EQ(ParseFileCount(text, decimal).value_or(refused), count) << '"' << text << '"';
}

// --- Merges through the button ---------------------------------------------------

struct Merge : ::testing::Test {
    // Backup days 7 to 9 and existing days 10 and 11 of September 2004; the
    // break date 09-10-2004 takes both existing files, then the backup's three.
    // The desktop's date separator is that of the output folder's time stamp.
    FakeDesktop d;
    jw::trendset::SetDescription backupSet = ts::SampleSet(6, ts::Days(6, 7, 3)), existingSet = ts::SampleSet(6, ts::Days(6, 10, 2));
    fs::path empty = d.Root / "empty" / "TREND.000", folder = d.Program / "Merged trenddata 14.35.22";
    Merge() { jw::trendset::BuildEmptyDataFile(empty, backupSet), d.DateFormat = "d.M.yyyy"; }
    std::vector<std::string> Build(const std::string& count) {
        const auto backup = jw::trendset::Build(d.Root / "backup", backupSet);
        const auto existing = jw::trendset::Build(d.Root / "existing", existingSet);
        return {backup.Master.string(), existing.Master.string(), empty.string(), "09-10-2004", count};
    }
};

// The result, then what the merge let through with a warning (every merge
// tells where NextFile points), while the boxes still hold what was merged;
// then the boxes are emptied.  The count is read with the desktop's decimal separator.
TEST_F(Merge, ResultThenWarningsThenTheBoxesAreEmptied) {
    backupSet.ID = "OLDID", d.Decimal = ",";
    const std::vector<std::string> boxes = Build(" 5,5");
    WindowModel w(d, d.Services());
    d.SetFive(boxes);
    std::vector<std::vector<std::string>> boxesWhileShown;
    std::vector<bool> busyWhileShown;
    d.OnShow = [&] { boxesWhileShown.push_back(d.Five()), busyWhileShown = d.Busy; };
    w.btnMerge_Click();
    EXPECT_EQ(d.Messages.at(0), "The trendfiles are now merged.");
    const std::string& warned = d.Messages.at(1);
    EXPECT_TRUE(warned.starts_with("warning: The merged set was written with these warnings:\n\n- ") &&
                warned.find("\n- The masters' IDs differ (existing \"TREND\", backup \"OLDID\")") != warned.npos &&
                warned.find("\n- The merged master carries NextFile") != warned.npos) << warned;
    EXPECT_EQ(boxesWhileShown, std::vector(2, boxes));
    EXPECT_EQ(busyWhileShown, (std::vector<bool>{true, false}));  // busy while merging, not while a box is open
    EXPECT_EQ(d.Five(), std::vector<std::string>(5));
    EXPECT_EQ(ts::Snapshot(folder).size(), 7U);  // the master and six data files
}

// What stands in the merge's way is shown as an error naming the output
// folder; nothing is written and the boxes keep what they hold.
TEST_F(Merge, RefusalsAreShownAndLeaveTheBoxesAndTheFoldersAsTheyWere) {
    const struct { const char* count; std::function<void(Merge&)> prepare; std::string starts, has; bool merging; } rows[] = {
        {"4", nullptr, "error: The merge failed.\n\n", "the merged set needs 5", true},
        {"8", [](Merge& m) { fs::create_directories(m.folder); }, "error: The output folder cannot be made, because a file or "
         "folder of that name already exists:\n", "\n\nA folder of an earlier merge is never reused. Wait a second and press Merge again.", false},
        {"8", [](Merge& m) { m.d.Program = m.d.Root / "no such folder"; }, "error: The output folder cannot be made:\n", "\n\nJoinwright "
         "makes its output folders in its own program folder, which must be a folder you can write to:\n", false}};
    for (const auto& [count, prepare, starts, has, merging] : rows) {
        d.Messages.clear(), d.Busy.clear(), fs::remove_all(d.Program = d.Root / "program"), fs::create_directories(d.Program);
        if (prepare) prepare(*this);
        WindowModel w(d, d.Services());
        const std::vector<std::string> boxes = Build(count);
        d.SetFive(boxes);
        const ts::Tree before = ts::Snapshot(d.Root);
        w.btnMerge_Click();
        const std::string shown = d.Messages.size() == 1 ? d.Messages[0] : "";
        EXPECT_TRUE(shown.starts_with(starts) && shown.find(has) != shown.npos && shown.find(w.Values().OutputFolder) != shown.npos) << shown;
        EXPECT_TRUE(ts::Snapshot(d.Root) == before && d.Five() == boxes) << has;
        EXPECT_EQ(d.Busy, (merging ? std::vector<bool>{true, false} : std::vector<bool>{})) << has;
    }
}

// --- File choosers ---------------------------------------------------------------

TEST(CommonDialog, FilterTextNormalisedAndReadBack) {
    const std::pair<std::string, std::string> normalised[] = {
        {"A|*.a|", std::string("A\0*.a\0\0", 7)}, {"A|*.a", std::string("A\0*.a\0\0", 7)}, {"A|*.a||", std::string("A\0*.a\0\0", 7)},
        {"A|*.a|||", std::string("A\0*.a\0\0\0", 8)}, {"", std::string("\0\0", 2)}, {"|", std::string("\0\0", 2)}};
    for (const auto& [text, nul] : normalised) EXPECT_EQ(NormaliseFilter(text), nul) << text;
    // (The trend files' own filter is read back where the Qt dialog shows it.)
    const std::pair<std::string_view, std::string> read[] = {
        {"A| *.a ; *.b |", "A: *.a *.b;"}, {"A||B|*.b|", ""} /* an empty pattern list ends the list */, {"A", ""},
        {"A|;;|B|*.b|", "B: *.b;"}, {"A|*.a|B|*.b", "A: *.a;B: *.b;"}};
    for (const auto& [text, entries] : read) {
        std::string out;
        for (const FilterEntry& e : FilterEntries(NormaliseFilter(text))) {
            out += e.Description + ":";
            for (const std::string& p : e.Patterns) out += " " + p;
            out += ";";
        }
        EXPECT_EQ(out, entries) << text;
    }
}

TEST(WindowModel, OpenButtonsProposeTheirBoxAndFillTheirTarget) {
    // Button, the box whose text the dialog proposes, the box that gets the answer.
    // (Boxes by their place in the check: 0 backup, 1 existing, 2 empty data file.)
    const struct { ControlId button; std::size_t from, into; } rows[] = {
        {ControlId::btnOpenB, 0, 0}, {ControlId::btnOpenE, 1, 1}, {ControlId::btnOCFile, 1, 2}};
    for (const auto& [button, from, into] : rows) {
        FakeDesktop d;
        WindowModel w(d, d.Services());
        std::vector<std::string> boxes{"/b/TREND.HST", "/e/TREND.HST", "/o/TREND.000", "09-17-2004", "8"};
        d.SetFive(boxes);
        w.Click(button);  // cancelled: nothing changes
        EXPECT_EQ(d.Five(), boxes);
        d.Answer = {std::string("  /chosen/readme.txt\0junk", 25), 0x1};
        w.Click(button);
        const OpenFileRequest& r = d.Requests.at(1);  // the second, answered
        EXPECT_EQ(std::tuple(r.InitialPath, r.Filter, r.Flags, r.FilterIndex, r.Title),
                  std::tuple(boxes[from], NormaliseFilter(kTrendFileFilter), 0x1804U, 1, std::string()));
        boxes[into] = "/chosen/readme.txt";
        EXPECT_TRUE(d.Five() == boxes && w.Values().ChosenFile == boxes[into] && d.Messages.empty());
    }
}

// --- Help ---------------------------------------------------------------------------

TEST(WindowModel, HelpLinksMenusAndF1OpenTheirContextsInTheHelpFileBesideTheProgram) {
    // What is pressed, F1 with that control focused (else a click), the context opened (0: none).
    using C = ControlId;
    const struct { std::optional<C> control; bool f1; int context; } rows[] = {
        {C::txtBackup, true, 1003}, {C::btnOpenE, true, 1006}, {C::lblBackup, true, 1001}, {std::nullopt, true, 1001},
        {C::lblBackupFile, false, 1003}, {C::lblFolder, false, 1007}, {C::lblNumber, false, 1008}, {C::lblBackup, false, 0}};
    FakeDesktop d;
    WindowModel w(d, d.Services());
    const std::string file = (d.Program / "JoinwrightHelp.chm").string();
    const auto opened = [&](int context) {
        return context ? std::vector{file + " at " + std::to_string(context)} : std::vector<std::string>{};
    };
    for (const auto& [control, f1, context] : rows) {
        f1 ? w.F1_Help(control) : w.Click(*control);
        EXPECT_EQ(std::exchange(d.Help, {}), opened(context)) << (control ? RowOf(*control).Name : "nothing");
    }
    for (const auto& [item, context, exits] : {std::tuple{MenuId::mnuAbout, 1002, false}, {MenuId::mnuHelp, 1010, false},
                                               {MenuId::mnuFile, 0, false}, {MenuId::mnuExit, 0, true}}) {
        EXPECT_EQ(w.Click(item), exits);  // Exit: the face ends the program
        EXPECT_EQ(std::exchange(d.Help, {}), opened(context));
    }
    EXPECT_TRUE(d.Messages.empty() && d.Requests.empty());
}

}  // namespace
