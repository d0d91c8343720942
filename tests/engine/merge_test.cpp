// Merges that succeed, byte for byte: the break date against start days at
// its edges, the count of records examined, the merged master's name, every
// trend version; and the bytes the plan says it writes, against free space.
#include "EngineTest.h"
#include "engine/MergeJob.h"

namespace jw::enginetest {
namespace {

// A data file starting at raw time t, an hour long.
Span Hour(int v, std::int64_t t) { return {t, t + (v == 4 || v == 6 ? 36'000'000'000LL : 3600)}; }
std::vector<Span> On(std::initializer_list<int> days) {
    std::vector<Span> spans;
    for (const int d : days) spans.push_back(Hour(6, September(6, d)));
    return spans;
}

// Sets in "C:\B" and "C:\E"; the merged records as ExpectOutput reads them.
struct Scenario {
    std::string what, date;
    std::int16_t n;
    std::vector<Span> backup, existing;
    std::string want;
    std::vector<std::string> warnings = {};
    std::function<void(SetDescription& e)> shape = {};
    std::string backupMaster = "", master = "TREND.HST";
    std::int16_t version = 6;
};

std::vector<Scenario> AllScenarios() {
    // 0.4 s before, 0.9996 s after and 100 ns before midnight: the start day
    // is the day of the start rounded to the whole second as its text shows
    // it; 0.9996 s converts to a date value 0.4 ms before midnight, and is
    // still the break day.
    const std::int64_t m = September(6, 17);
    const std::vector<Span> nearMidnight = {Hour(6, m - 4'000'000), Hour(6, m + 9'996'000), Hour(6, m - 1)};
    std::vector<Scenario> all = {
        {"break date before every start day", "01-01-2000", 4, On({1, 2, 3}), On({2, 4}), "E0 E1"},
        {"break date after every start day", "2029-12-31", 4, On({1, 2, 3}), On({2, 4}), "B0 B1 B2"},
        {"start day of a start a fraction from midnight", "09-17-2004", 3, nearMidnight, nearMidnight, "E1 E2 B0"},
        {"N 20, two taken, backup of 6: 18 template copies", "09-10-2004", 20, On({1, 20, 21, 22, 23, 24}), On({9, 10}), "E1 B0"},
        {"existing set of 6, N 4: all six examined", "09-15-2004", 4, On({1, 2, 30}), On({11, 12, 13, 14, 15, 16}), "E4 E5 B0 B1"},
        {"AddOn entries examined too", "09-10-2004", 3, On({1}), On({1, 2, 20}), "E2 B0", {}, [](SetDescription& e) { e.nFiles = 2, e.AddOn = 1; }},
        {"master named after the backup", "09-10-2004", 2, On({1}), On({20}), "E0 B0", {}, {}, "oldset.hst", "oldset.HST"},
        {"backup master without a dot", "09-10-2004", 2, On({1}), On({20}), "E0 B0", {}, {}, "BACKUPMASTER", "HST"},
    };
    // Every version: existing records 2-4 (record 2 starts on the break day
    // itself), backup records 0-3 of eight (record 4 starts on the break
    // day), three template copies.
    for (std::int16_t v = 0; v <= 6; ++v) {
        const auto at = [v](int d, int h = 0, int mi = 0, int s = 0) { return Hour(v, September(v, d, h, mi, s)); };
        all.push_back({"version " + std::to_string(v), "09-17-2004", 10,
                       {at(11), at(12), at(13), at(16, 23, 59, 59), at(17), at(19), at(21), at(22)},
                       {at(14, 10), at(15, 10), at(17), at(18, 12), at(20, 23, 59, 59)}, "E2 E3 E4 B0 B1 B2 B3",
                       {"different folders", "NextFile 2"}, [](SetDescription& e) { e.NextFile = 2; }, "", "TREND.HST", v});
    }
    return all;
}

class Scenarios : public MergeFixture, public ::testing::WithParamInterface<Scenario> {};

// The template's start, end and file pointer are not zero; the records made
// from it carry zeros all the same.  The plan counts every byte written: a
// byte less free space refuses it.
TEST_P(Scenarios, MergeByteForByte) {
    const Scenario& c = GetParam();
    SCOPED_TRACE(c.what);
    SetDescription e = SampleSet(c.version, c.existing);
    if (c.shape) c.shape(e);
    Make(SampleSet(c.version, c.backup), e);
    if (!c.backupMaster.empty()) fs::rename(backup.Master, backupDir / c.backupMaster), backup.Master = backupDir / c.backupMaster;
    const Geometry g = kGeometry[c.version];
    for (const auto& [at, v, width] : {std::tuple{g.start, 1'095'403'530, g.time}, {g.end, 1'095'407'130, g.time}, {g.pointer, 4242, 4}})
        Poke(emptyFile, 128 + at, v, width);
    const InputsGuard guard{*this};
    const MergePlan plan = RunMergeJob(Request(c.date, c.n));
    std::string warnings;
    for (const auto& w : plan.Warnings) warnings += w + "\n";
    ExpectHas(warnings, c.warnings);
    ExpectOutput(c.want, c.n, c.master);
    std::uint64_t written = 0;
    for (const auto& f : fs::directory_iterator(out)) written += f.file_size();
    EXPECT_EQ(plan.BytesToWrite, written);
    EXPECT_EQ(ErrorOf([&] { PlanMerge(Request(c.date, c.n), {.FreeSpace = written, .Listings = nullptr}); }), "");
    ExpectHas(ErrorOf([&] { PlanMerge(Request(c.date, c.n), {.FreeSpace = written - 1, .Listings = nullptr}); }), {"bytes free"});
}

INSTANTIATE_TEST_SUITE_P(Merge, Scenarios, ::testing::ValuesIn(AllScenarios()));

}  // namespace
}  // namespace jw::enginetest
