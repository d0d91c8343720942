// Merging every trend of a data folder: pairing by name in any letter case,
// one template per trend, the single merge's refusals per trend, names two
// trends would share, the trend name pattern; and the merge job, where the
// output folder gets its name only once every trend is on disk.
#include <tuple>

#include "EngineTest.h"
#include "engine/FolderMerge.h"
#include "engine/MergeJob.h"

namespace jw::enginetest {
namespace {

struct PairingCase {
    const char* name;
    std::function<void(FolderFixture&)> make;  // after trend PUMP was made
    std::vector<std::pair<std::string, std::string>> expect;  // trend and "accepted" or a part of its refusal
};

void Rename(const fs::path& from, const std::string& to) { fs::rename(from, from.parent_path() / to); }
using F = FolderFixture&;

const PairingCase kPairing[] = {
    {"BackupMasterInOtherLetterCase", [](F f) { Rename(f.backup / "PUMP.HST", "pump.hst"), Rename(f.templates / "PUMP.000", "Pump.000"); }, {{"PUMP", "accepted"}}},
    {"NoBackupMaster", [](F f) { fs::remove(f.backup / "PUMP.HST"); }, {{"PUMP", "no backup master of this name"}}},
    {"NoTemplate", [](F f) { f.Trend("VALVE"), fs::remove(f.templates / "PUMP.000"); }, {{"PUMP", "no empty data file of this trend"}, {"VALVE", "accepted"}}},
    {"TwoTemplates", [](F f) { fs::copy_file(f.templates / "PUMP.000", f.templates / "pump.001"); }, {{"PUMP", "data files of this trend (\"PUMP.000\" and \"pump.001\")"}}},
    {"MastersDifferingInCaseOnly", [](F f) { fs::copy_file(f.existing / "PUMP.HST", f.existing / "Pump.HST"); }, {{"PUMP", "differ only in letter case"}}},
    {"MasterIsALink", [](F f) { Rename(f.backup / "PUMP.HST", "OLD"), fs::create_symlink(f.backup / "OLD", f.backup / "PUMP.HST"); },
     {{"PUMP", "is a link or not a regular file"}}},
    {"RefusalOfTheSingleMerge", [](F f) { fs::remove(f.existing / "PUMP.005"); }, {{"PUMP", "record 5"}}},
    // VALVE's records name PUMP's data files: both sets would write PUMP.000 ...
    {"NamesTwoTrendsWouldShare", [](F f) {
         f.Trend("VALVE");
         for (const fs::path& dir : {f.existing, f.backup}) {
             SetDescription s = TrendOf("VALVE", dir == f.backup);
             for (std::size_t i = 0; i < s.Files.size(); ++i) s.Files[i].RecordedName = "C:\\Citect\\Data\\PUMP.00" + std::to_string(i);
             trendset::Build(dir, s);
         }
     },
     {{"PUMP", "would have the name of a file of trend \"VALVE\""}, {"VALVE", "of trend \"PUMP\""}}},
};

class Pairing : public FolderFixture, public ::testing::WithParamInterface<PairingCase> {};

TEST_P(Pairing, EachTrendIsAcceptedOrRefusedWithItsReason) {
    const PairingCase& c = GetParam();
    // (Two names that differ only in letter case, on a file system that does
    // not tell them apart, cannot be made either.)
    if (const std::string why = CannotMake([&] { Trend("PUMP"), c.make(*this); }); !why.empty()) GTEST_SKIP() << why;
    const Tree before = Snapshot(tmp / "in");
    const FolderPlan plan = PlanFolderMerge(Request(), kRoom);
    ASSERT_EQ(plan.Trends.size(), c.expect.size()) << Outcome(plan);
    for (std::size_t i = 0; i < c.expect.size(); ++i) {
        const TrendMerge& t = plan.Trends[i];
        ExpectHas(t.Trend + ": " + (t.Plan ? "accepted" : t.Refusal), {c.expect[i].first + ": ", c.expect[i].second});
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Snapshot(tmp / "in"), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, Pairing, ::testing::ValuesIn(kPairing), [](const auto& info) { return info.param.name; });

struct FolderMergeTest : FolderFixture {};

TEST_F(FolderMergeTest, FilesPatternAndFreeSpaceChooseWhatIsPlanned) {
    Trend("PUMP1"), Trend("PUMP2"), Trend("VALVE");
    const FolderPlan pumps = PlanFolderMerge(Request(10, "pump?"), kRoom);
    EXPECT_EQ(Outcome(pumps), "PUMP1: accepted\nPUMP2: accepted\n");
    EXPECT_EQ(pumps.Trends[0].Plan->Header.nFiles, 10);
    EXPECT_EQ(pumps.BytesToWrite, pumps.Trends[0].Plan->BytesToWrite + pumps.Trends[1].Plan->BytesToWrite);
    // The run needs the sum of its trends' bytes free.
    EXPECT_EQ(Outcome(PlanFolderMerge(Request(10, "pump?"), pumps.BytesToWrite)), Outcome(pumps));
    ExpectHas(ErrorOf([&] { PlanFolderMerge(Request(10, "pump?"), pumps.BytesToWrite - 1); }), {"bytes free", "2 trends"});
    ExpectHas(ErrorOf([&] { PlanFolderMerge(Request(8, "X*"), kRoom); }), {"No trend to merge"});
    fs::remove_all(backup);
    ExpectHas(ErrorOf([&] { PlanFolderMerge(Request(), kRoom); }), {"backup folder"});
    // The pattern: any letter case, "?" one character, "*" backtracks; only ASCII letters fold.
    for (const auto& [pattern, name, match] :
         {std::tuple{"P*P*1", "PUMP_P1", true}, {"a*b*c", "aXbYbZ", false}, {"P?MP", "PMP", false}, {"", "A", false}, {"\xC4*", "\xE4x", false}})
        EXPECT_EQ(MatchesPattern(pattern, name), match) << pattern << " / " << name;
}

// A refused trend leaves the run unwritten unless asked to keep going; then
// every accepted trend is staged in the hidden working folder before the
// output folder gets its name, and progress counts trends and bytes up to
// the plan's totals.
TEST_F(FolderMergeTest, WritesEveryTrendAndNamesTheFolderOnlyAtTheEnd) {
    Trend("PUMP"), Trend("VALVE"), Trend("BAD"), fs::remove(templates / "BAD.000");
    FolderJobOptions options;
    EXPECT_FALSE(RunFolderMergeJob(Request(), options).Written);
    EXPECT_EQ(Snapshot(tmp, "in"), Tree{});
    std::vector<FolderProgress> seen;
    std::size_t atRename = 0;  // entries in the working folder at the rename
    options.KeepGoing = true;
    options.Progress = [&](const FolderProgress& p) { seen.push_back(p); };
    options.Job.Write.BeforeStep = [&](WriteStep step, const PlanEntry*) {
        if (step == WriteStep::Rename) atRename = fs::exists(out) ? 0 : Snapshot(tmp / WorkingFolderName("out")).size();
    };
    const FolderJobResult r = RunFolderMergeJob(Request(), options);
    ASSERT_TRUE(r.Written) << Outcome(r.Plan);
    EXPECT_EQ(atRename, 18U) << "16 copies and two masters";
    ASSERT_FALSE(seen.empty());
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i].Bytes, seen[i - 1].Bytes);
    EXPECT_EQ(std::tuple(seen.back().Trends, seen.back().Bytes, seen.back().BytesTotal), std::tuple(2, r.Plan.BytesToWrite, r.Plan.BytesToWrite));
    const Tree names = Snapshot(tmp, "in");
    EXPECT_EQ(names.size(), 19U) << "the output folder and what it holds, nothing beside it";
    EXPECT_TRUE(names.count("out/PUMP.HST") && names.count("out/VALVE.HST") && names.count("out/VALVE.007"));
}

}  // namespace
}  // namespace jw::enginetest
