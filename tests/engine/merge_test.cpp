// Merges that succeed, byte for byte: the break date against start days at
// its edges, the count of records examined, names read from the records,
// every trend version.
#include "EngineTest.h"

namespace jw {
namespace {

using namespace enginetest;
using namespace std::string_literals;

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
