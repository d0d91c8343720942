#include "EngineTest.h"

namespace jw {
namespace {

using namespace enginetest;
using namespace std::string_literals;

// Fields of the hand-made version 1 files below, little-endian.
std::string Text(const std::string& s, std::size_t width, char pad = '\0') { return (s + std::string(width, pad)).substr(0, width); }
// The 96-byte file description block of versions 0 to 3.
std::string Block(int startEvNo, std::int64_t start, std::int64_t end, int length, int ptr, int endEvNo, char pad = '\0') {
    return Text("TT101", 8, pad) + LE(1, 2) + LE(1, 2) + LE(startEvNo, 4) + Text("Plant.TT101", 32, pad) + LE(3, 4) + LE(7, 2) +
           LE(5, 2) + LE(0, 2) + LE(5, 4) + Text("degC", 8, pad) + LE(258, 4) + LE(start, 4) + LE(end, 4) + LE(length, 4) +
           LE(ptr, 4) + LE(endEvNo, 4) + Text("", 2, pad);
}
// A master header: title, ID, version 1, History = nFiles.
std::string Header(const std::string& title, int nFiles, int nextFile) {
    return Text(title, 128) + Text("TT101", 8) + LE(1, 2) + LE(1, 2) + Text("", 4) + LE(0x11, 4) + LE(nFiles, 2) + LE(nFiles, 2) +
           LE(nextFile, 2) + LE(0, 2) + Text("", 20);
}

using HandChecked = Folder;

TEST_F(HandChecked, VersionOneMergeAgainstLiteralFields) {
    const fs::path live = Sub("live"), save = Sub("save"), out = Sub("out"), empty = Sub("empty") / "EMPTY.000";
    constexpr std::int64_t k0916_0800 = 1'095'321'600, k0917_0645 = 1'095'403'530, k0910 = 1'094'774'400, k0917 = 1'095'379'200;
    const std::string live0 = Block(1, k0916_0800, k0916_0800 + 60, 10, 244, 10), live1 = Block(11, k0917_0645, k0917_0645 + 60, 10, 244, 20);
    const std::string save7 = Block(1, k0910, k0910 + 60, 10, 244, 10), save8 = Block(11, k0917, k0917 + 60, 10, 244, 20);
    WriteAll(live / "LIVE.HST", Header("Live", 2, 1) + Text("C:\\Plant\\LIVE.000", 144) + live0 + Text("C:\\Plant\\LIVE.001", 144) + live1);
    WriteAll(save / "SAVE.HST", Header("Save", 2, 0) + Text("E:\\Arch\\SAVE.007", 144) + save7 + Text("E:\\Arch\\SAVE.008", 144) + save8);
    // Data files: a version 1 header and their own name as samples.
    for (const auto& name : {"LIVE.000"s, "LIVE.001"s, "SAVE.007"s, "SAVE.008"s})
        WriteAll((name[0] == 'L' ? live : save) / name, Text("Data", 128) + Block(1, 0, 0, 2, 224, 1) + name);
    // Scale 0..32000, range 0..100 as floats; start 99, end 77, blank texts.
    WriteAll(empty, Text("Empty", 112) + LE(0, 4) + LE(0x46FA0000, 4) + LE(0, 4) + LE(0x42C80000, 4) + Block(0, 99, 77, 0, 224, 0, ' '));

    const auto before = Fingerprint({live, save, tmp / "empty"});
    EXPECT_EQ(MergeTrendSets("9/17/2004", out.string(), (save / "SAVE.HST").string(), (live / "LIVE.HST").string(), 3, empty.string()),
              "The trendfiles are now merged.");
    EXPECT_EQ(before, Fingerprint({live, save, tmp / "empty"}));
    // The live header with History and nFiles 3; LIVE.001 as file 000 (it
    // starts on the break day); SAVE.007 as 001; a template record as 002,
    // named after the last taken name, with start, end and file pointer 0.
    const std::string got = ReadAll(out / "SAVE.HST");
    EXPECT_EQ(got, Header("Live", 3, 1) + Text("C:\\Plant\\LIVE.000", 144, ' ') + live1 + Text("E:\\Arch\\SAVE.001", 144, ' ') + save7 +
                       Text("E:\\Arch\\SAVE.002", 144, ' ') + Block(0, 0, 0, 0, 0, 0, ' '));
    // At absolute offsets: nFiles and the first record's start time.
    EXPECT_EQ(got.substr(150, 2), "\x03\x00"s);
    EXPECT_EQ(got.substr(176 + 144 + 74, 4), "\x0A\x88\x4A\x41"s);
    for (const auto& [copy, source] : {std::pair{"LIVE.000"s, live / "LIVE.001"}, {"SAVE.001"s, save / "SAVE.007"}, {"SAVE.002"s, empty}})
        EXPECT_EQ(ReadAll(out / copy), ReadAll(source)) << copy;
    EXPECT_EQ(FolderNames(out), (std::set<std::string>{"LIVE.000", "SAVE.001", "SAVE.002", "SAVE.HST"}));
}

// Sets in "C:\B" and "C:\E"; the merged records as ExpectOutput reads them.
struct Scenario {
    std::string what, date;
    std::int16_t n;
    std::vector<std::int64_t> backup, existing;
    std::string want;
    std::vector<std::string> warnings = {};
    std::function<void(SetDescription& e)> shape = {};
    std::string backupMaster = "", master = "TREND.HST";
    int version = 6;
};

std::vector<Scenario> AllScenarios() {
    const auto Days = [](std::initializer_list<int> days, int v = 6) {
        std::vector<std::int64_t> raw;
        for (const int d : days) raw.push_back(At(v, d));
        return raw;
    };
    // 0.4 s before, 0.9996 s after and 100 ns before midnight: the start day
    // is the day of the start rounded to the whole second as its text shows
    // it; 0.9996 s converts to a date value 0.4 ms before midnight, and is
    // still the break day.
    const std::int64_t m = At(6, 17);
    const std::vector<std::int64_t> nearMidnight = {m - 4'000'000, m + 9'996'000, m - 1};
    std::vector<Scenario> all = {
        {"break date before every start day", "01-01-2000", 4, Days({1, 2, 3}), Days({2, 4}), "E0 E1"},
        {"break date after every start day", "2029-12-31", 4, Days({1, 2, 3}), Days({2, 4}), "B0 B1 B2"},
        {"start day of a start a fraction from midnight", "09-17-2004", 3, nearMidnight, nearMidnight, "E1 E2 B0"},
        {"N 20, two taken, backup of 6: 18 template copies", "09-10-2004", 20, Days({1, 20, 21, 22, 23, 24}), Days({9, 10}), "E1 B0"},
        {"existing set of 4, AddOn 0, N 4: entry 3 examined", "09-10-2004", 4, Days({1}), Days({5, 6, 7, 20}), "E3 B0"},
        {"existing set of 6, N 4: all six examined", "09-15-2004", 4, Days({1, 2, 30}), Days({11, 12, 13, 14, 15, 16}), "E4 E5 B0 B1"},
        {"AddOn entries examined as far as the file holds them", "09-10-2004", 3, Days({1}), Days({1, 2, 3, 20}), "E3 B0",
         {"AddOn 2", "the file holds only 1 of them; the missing entries are not examined"},
         [](SetDescription& e) { e.nFiles = 3, e.AddOn = 2; }},
        {"master named after the backup", "09-10-2004", 2, Days({1}), Days({20}), "E0 B0", {}, {}, "oldset.hst", "oldset.HST"},
        {"backup master without a dot", "09-10-2004", 2, Days({1}), Days({20}), "E0 B0", {}, {}, "BACKUPMASTER", "HST"},
        {"recorded names read to the first NUL, found whatever their letter case", "09-10-2004", 3, Days({1}), Days({20, 21}),
         "E0 E1 B0", {}, [](SetDescription& e) {  // a stale older name after the NUL; files named trend.000, trend.001
             e.BaseName = "trend.", e.Files[0].RecordedName = "C:\\E\\TREND.000\0.x\\"s, e.Files[1].RecordedName = "C:\\E\\TREND.001   ";
         }},
    };
    // Every version: existing records 2-4 (record 2 starts on the break day
    // itself), backup records 0-3 of eight (record 4 starts on the break
    // day), three template copies.
    for (int v = 0; v <= 6; ++v)
        all.push_back({"version " + std::to_string(v), "09-17-2004", 10,
                       {At(v, 11), At(v, 12), At(v, 13), At(v, 16, 23, 59, 59), At(v, 17), At(v, 19), At(v, 21), At(v, 22)},
                       {At(v, 14, 10), At(v, 15, 10), At(v, 17), At(v, 18, 12), At(v, 20, 23, 59, 59)}, "E2 E3 E4 B0 B1 B2 B3",
                       {"different folders", "NextFile 2"}, [](SetDescription& e) { e.NextFile = 2; }, "", "TREND.HST", v});
    return all;
}

class Scenarios : public MergeFixture, public ::testing::WithParamInterface<Scenario> {};

// The template's start, end and file pointer are not zero; the records made
// from it carry zeros all the same.
TEST_P(Scenarios, MergeByteForByte) {
    const Scenario& c = GetParam();
    SCOPED_TRACE(c.what);
    SetDescription e = SetOf(c.version, "C:\\E", c.existing);
    if (c.shape) c.shape(e);
    Make(SetOf(c.version, "C:\\B", c.backup), e, c.backupMaster);
    const Geometry g = kGeometry[c.version];
    for (const auto& [at, v, width] : {std::tuple{g.start, 1'095'403'530, g.time}, {g.end, 1'095'407'130, g.time}, {g.pointer, 4242, 4}})
        Poke(emptyFile, 128 + at, v, width);
    std::string warnings;
    for (const auto& w : PlanMerge(Request(c.date, c.n)).Warnings) warnings += w + "\n";
    ExpectHas(warnings, c.warnings);
    const InputsGuard guard{*this};
    EXPECT_EQ(MergeTrendSets(Request(c.date, c.n)), kMergedText);
    ExpectOutput(c.want, c.n, c.master);
}

INSTANTIATE_TEST_SUITE_P(Merge, Scenarios, ::testing::ValuesIn(AllScenarios()));

}  // namespace
}  // namespace jw
