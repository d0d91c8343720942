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

constexpr std::uint64_t kRoom = ~std::uint64_t{0};  // free space enough for anything

// Backup: four two-day files from 2004-09-10; existing: eight one-day files
// from 2004-09-12 (nFiles 8).  The break date 09-14-2004 takes existing
// 2..7 and backup 0..1: eight files, the existing master's own count.
SetDescription TrendOf(const std::string& name, bool backup, std::int16_t version = 6) {
    SetDescription s;
    s.Version = version, s.BaseName = name + ".", s.ID = name;
    const int first = backup ? 10 : 12, step = backup ? 2 : 1, count = backup ? 4 : 8;
    for (int i = 0; i < count; ++i)
        s.Files.push_back({trendset::RawTime(version, 2004, 9, first + i * step),
                           trendset::RawTime(version, 2004, 9, first + i * step + step - 1, 23, 59, 59), 2, {}, true});
    return s;
}

struct FolderFixture : Folder {
    fs::path backup = Sub("backup"), existing = Sub("existing"), templates = Sub("templates"), out = tmp / "out";

    // A trend with both sets and its template; parts can be left out or
    // changed by the caller afterwards.
    void Trend(const std::string& name, std::int16_t backupVersion = 6) {
        trendset::Build(existing, TrendOf(name, false));
        const SetDescription b = TrendOf(name, true, backupVersion);
        trendset::Build(backup, b);
        trendset::BuildEmptyDataFile(templates / (name + ".000"), b);
    }
    FolderMergeRequest Request(std::optional<std::int16_t> n = std::nullopt, std::optional<std::string> only = {}) const {
        return {backup, existing, templates, out, "09-14-2004", n, std::move(only)};
    }
    // "TREND: accepted" or "TREND: <refusal>" per trend, in plan order.
    static std::string Outcome(const FolderPlan& plan) {
        std::string s;
        for (const auto& t : plan.Trends) s += t.Trend + ": " + (t.Plan ? "accepted" : t.Refusal) + "\n";
        return s;
    }
};

struct PairingCase {
    const char* name;
    std::function<void(FolderFixture&)> make;
    std::vector<std::pair<std::string, std::string>> expect;  // trend and "accepted" or a part of its refusal
};

void Rename(const fs::path& from, const std::string& to) { fs::rename(from, from.parent_path() / to); }

const PairingCase kPairing[] = {
    {"TwoTrends", [](FolderFixture& f) { f.Trend("PUMP"), f.Trend("VALVE"); },
     {{"PUMP", "accepted"}, {"VALVE", "accepted"}}},
    {"BackupMasterInOtherLetterCase",
     [](FolderFixture& f) { f.Trend("PUMP"), Rename(f.backup / "PUMP.HST", "pump.hst"), Rename(f.templates / "PUMP.000", "Pump.000"); },
     {{"PUMP", "accepted"}}},
    {"NoBackupMaster", [](FolderFixture& f) { f.Trend("PUMP"), fs::remove(f.backup / "PUMP.HST"); },
     {{"PUMP", "no backup master of this name"}}},
    {"NoExistingMaster", [](FolderFixture& f) { f.Trend("PUMP"), fs::remove(f.existing / "PUMP.HST"); },
     {{"PUMP", "no existing master of this name"}}},
    {"NoTemplate", [](FolderFixture& f) { f.Trend("PUMP"), f.Trend("VALVE"), fs::remove(f.templates / "PUMP.000"); },
     {{"PUMP", "no empty data file of this trend"}, {"VALVE", "accepted"}}},
    {"AnotherTrendsTemplateIsNotTaken",
     [](FolderFixture& f) { f.Trend("PUMP"), Rename(f.templates / "PUMP.000", "PUMP2.000"); },
     {{"PUMP", "no empty data file of this trend"}}},
    {"TemplateWithAnotherNumber", [](FolderFixture& f) { f.Trend("PUMP"), Rename(f.templates / "PUMP.000", "PUMP.017"); },
     {{"PUMP", "accepted"}}},
    {"TwoTemplates",
     [](FolderFixture& f) { f.Trend("PUMP"), fs::copy_file(f.templates / "PUMP.000", f.templates / "pump.001"); },
     {{"PUMP", "several empty data files of this trend (\"PUMP.000\" and \"pump.001\")"}}},
    {"MastersDifferingInCaseOnly",
     [](FolderFixture& f) { f.Trend("PUMP"), fs::copy_file(f.existing / "PUMP.HST", f.existing / "Pump.HST"); },
     {{"PUMP", "differ only in letter case"}}},
    {"MasterIsALink",
     [](FolderFixture& f) {
         f.Trend("PUMP"), Rename(f.backup / "PUMP.HST", "SAVED.HST.OLD");
         fs::create_symlink(f.backup / "SAVED.HST.OLD", f.backup / "PUMP.HST");
     },
     {{"PUMP", "is a link or not a regular file"}}},
    {"VersionsDiffer", [](FolderFixture& f) { f.Trend("PUMP", 5), f.Trend("VALVE"); },
     {{"PUMP", "different trend versions"}, {"VALVE", "accepted"}}},
    {"RefusalOfTheSingleMerge", [](FolderFixture& f) { f.Trend("PUMP"), fs::remove(f.existing / "PUMP.005"); },
     {{"PUMP", "record 5"}}},
    {"NamesTwoTrendsWouldShare",
     [](FolderFixture& f) {
         // VALVE's records name PUMP's data files: both sets would write PUMP.000 ...
         f.Trend("PUMP"), f.Trend("VALVE");
         for (const fs::path& dir : {f.existing, f.backup}) {
             SetDescription s = TrendOf("VALVE", dir == f.backup);
             for (auto& file : s.Files) file.WriteDataFile = false;
             for (std::size_t i = 0; i < s.Files.size(); ++i)
                 s.Files[i].RecordedName = "C:\\Citect\\Data\\PUMP.00" + std::to_string(i);
             trendset::Build(dir, s);
         }
     },
     {{"PUMP", "would have the name of a file of trend \"VALVE\""}, {"VALVE", "of trend \"PUMP\""}}},
};

class Pairing : public FolderFixture, public ::testing::WithParamInterface<PairingCase> {};

TEST_P(Pairing, EachTrendIsAcceptedOrRefusedWithItsReason) {
    const PairingCase& c = GetParam();
    // A row whose input this system cannot make (a symbolic link without
    // link support, two names that differ only in letter case on a file
    // system that does not tell them apart) has nothing to test here.
    try {
        c.make(*this);
    } catch (const fs::filesystem_error& e) {
        GTEST_SKIP() << "this system cannot make the row's input: " << e.what();
    }
    const auto before = Fingerprint({backup, existing, templates});
    const FolderPlan plan = PlanFolderMerge(Request(), kRoom);
    ASSERT_EQ(plan.Trends.size(), c.expect.size()) << Outcome(plan);
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < c.expect.size(); ++i) {
        const TrendMerge& t = plan.Trends[i];
        EXPECT_EQ(t.Trend, c.expect[i].first);
        if (c.expect[i].second == "accepted") {
            ASSERT_TRUE(t.Plan.has_value()) << t.Refusal;
            EXPECT_EQ(t.Plan->Header.nFiles, 8) << "the existing master's count";
            EXPECT_EQ(t.Plan->Entries.size(), 8U);
            bytes += t.Plan->BytesToWrite;
        } else {
            EXPECT_FALSE(t.Plan.has_value());
            ExpectHas(t.Refusal, {c.expect[i].second});
        }
    }
    EXPECT_EQ(plan.BytesToWrite, bytes);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Fingerprint({backup, existing, templates}), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, Pairing, ::testing::ValuesIn(kPairing), [](const auto& info) { return info.param.name; });

struct FolderMergeTest : FolderFixture {};

TEST_F(FolderMergeTest, FilesAndPatternChooseWhatIsPlanned) {
    Trend("PUMP1"), Trend("PUMP2"), Trend("VALVE");
    const FolderPlan pumps = PlanFolderMerge(Request(10, "pump?"), kRoom);
    EXPECT_EQ(Outcome(pumps), "PUMP1: accepted\nPUMP2: accepted\n");
    EXPECT_EQ(pumps.Trends[0].Plan->Header.nFiles, 10);
    EXPECT_EQ(pumps.Trends[0].Plan->TemplateCopies, 2);
    // Too few files for the chosen data files: the single merge's refusal.
    ExpectHas(Outcome(PlanFolderMerge(Request(7), kRoom)), {"ask for at least 8"});
    ExpectHas(ErrorOf([&] { PlanFolderMerge(Request(8, "X*"), kRoom); }), {"No trend to merge"});
    FolderMergeRequest badDate = Request();
    badDate.BrakeDate = "13-01-2004";
    ExpectHas(ErrorOf([&] { PlanFolderMerge(badDate, kRoom); }), {"\"13-01-2004\" is not a date"});
    fs::remove_all(backup);
    ExpectHas(ErrorOf([&] { PlanFolderMerge(Request(), kRoom); }), {"backup folder"});
}

TEST_F(FolderMergeTest, MatchesPatternTable) {
    const struct { const char* pattern; const char* name; bool match; } rows[] = {
        {"*", "", true},          {"*", "PUMP", true},       {"pump", "PUMP", true},   {"PUMP", "PUMP1", false},
        {"P?MP", "pump", true},   {"P?MP", "PMP", false},    {"*1", "PUMP1", true},    {"*1", "PUMP12", false},
        {"P*P*1", "PUMP_P1", true}, {"**", "x", true},       {"a*b*c", "aXbYbZc", true}, {"a*b*c", "aXbYbZ", false},
        {"", "", true},           {"", "A", false},          {"\xC4*", "\xE4x", false},
    };
    for (const auto& r : rows) EXPECT_EQ(MatchesPattern(r.pattern, r.name), r.match) << r.pattern << " / " << r.name;
}

// Every trend is staged in the hidden working folder before the output folder
// gets its name; progress counts trends and bytes up to the plan's totals.
TEST_F(FolderMergeTest, WritesEveryTrendAndNamesTheFolderOnlyAtTheEnd) {
    Trend("PUMP"), Trend("VALVE");
    std::vector<FolderProgress> seen;
    std::vector<std::size_t> atRename;  // entries in the working folder at the rename
    int copies = 0;
    FolderJobOptions options;
    options.Progress = [&](const FolderProgress& p) { seen.push_back(p); };
    options.Job.Write.BeforeStep = [&](WriteStep step, const PlanEntry*) {
        copies += step == WriteStep::Copy;
        if (step == WriteStep::Rename) {
            EXPECT_FALSE(fs::exists(out));
            atRename.push_back(FolderNames(tmp / WorkingFolderName("out")).size());
        }
    };
    const FolderJobResult r = RunFolderMergeJob(Request(), options);
    ASSERT_TRUE(r.Written) << Outcome(r.Plan);
    EXPECT_EQ(copies, 16);
    EXPECT_EQ(atRename, std::vector<std::size_t>{18}) << "16 copies and two masters";
    ASSERT_FALSE(seen.empty());
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i].Bytes, seen[i - 1].Bytes);
    EXPECT_EQ(std::tuple(seen.back().Trends, seen.back().Bytes, seen.back().BytesTotal), std::tuple(2, r.Plan.BytesToWrite, r.Plan.BytesToWrite));
    const auto names = FolderNames(out);
    EXPECT_EQ(names.size(), 18U);
    EXPECT_TRUE(names.count("PUMP.HST") && names.count("VALVE.HST") && names.count("VALVE.007"));
    EXPECT_EQ(FolderNames(tmp).count(WorkingFolderName("out").string()), 0U);
}

}  // namespace
}  // namespace jw::enginetest
