// merge through the executable: dry run against the real merge, refusals,
// usage errors.
#include <nlohmann/json.hpp>

#include "CliRunner.h"
#include "trendset/TrendSetBuilder.h"

namespace {

using namespace clitest;
using nlohmann::json;
namespace ts = jw::trendset;

// Backup: four two-day files from 2004-09-10; existing: four from 2004-09-14;
// both of one version, with the empty data file beside them.
struct Sets {
    fs::path Backup, Existing, Empty;
};

Sets MakeSets(const fs::path& root, std::int16_t version, std::int16_t historyType = 0,
              std::int16_t existingVersion = -1) {
    auto spec = [&](std::int16_t v, int firstDay) {
        ts::SetSpec s;
        s.Version = v;
        s.HistoryType = historyType;
        for (int i = 0; i < 4; ++i) {
            ts::DataFileSpec f;
            f.StartTime = ts::RawTime(v, 2004, 9, firstDay + 2 * i);
            f.EndTime = ts::RawTime(v, 2004, 9, firstDay + 2 * i + 1, 23, 59, 59);
            f.Samples = 6;
            s.Files.push_back(f);
        }
        return s;
    };
    Sets sets;
    const auto backup = spec(version, 10);
    sets.Backup = ts::Build(root / "backup", backup).Master;
    sets.Existing = ts::Build(root / "existing", spec(existingVersion < 0 ? version : existingVersion, 14)).Master;
    sets.Empty = root / "empty.000";
    ts::BuildEmptyDataFile(sets.Empty, backup);
    return sets;
}

std::vector<std::string> MergeArgs(const Sets& s, const std::string& files, const std::string& breakDate) {
    return {"merge",   "--backup", s.Backup.string(), "--existing", s.Existing.string(), "--template",
            s.Empty.string(), "--files", files, "--break-date", breakDate};
}

std::vector<std::string> With(std::vector<std::string> args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more);
    return args;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

// --- Dry run and merge --------------------------------------------------------

struct PlanCase {
    std::int16_t version;
    std::int16_t historyType;
    const char* breakDate;
    int files;
    int existing, backup, templates;
};

class DryRunThenMerge : public ::testing::TestWithParam<PlanCase> {};

TEST_P(DryRunThenMerge, DryRunWritesNothingAndThePlanIsWhatTheMergeWrites) {
    const PlanCase& c = GetParam();
    TempDir dir;
    const Sets sets = MakeSets(dir.path(), c.version, c.historyType);
    const auto before = Listing(dir.path());
    const auto args = MergeArgs(sets, std::to_string(c.files), c.breakDate);

    const Result dry = RunCli(With(args, {"--output", "out", "--dry-run", "--json"}), dir.path());
    ASSERT_EQ(dry.code, 0) << dry.err;
    EXPECT_EQ(Listing(dir.path()), before) << "a dry run creates nothing";
    const json plan = json::parse(dry.out);
    EXPECT_EQ(plan["takenExisting"], c.existing);
    EXPECT_EQ(plan["takenBackup"], c.backup);
    EXPECT_EQ(plan["templateCopies"], c.templates);
    ASSERT_EQ(plan["entries"].size(), static_cast<std::size_t>(c.files));
    EXPECT_EQ(fs::path(plan["outputFolder"].get<std::string>()), dir / "out");

    const Result text = RunCli(With(args, {"--output", "out", "--dry-run"}), dir.path());
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("Dry run: nothing was written."), std::string::npos);
    EXPECT_EQ(Listing(dir.path()), before);

    const Result merged = RunCli(With(args, {"--output", "out", "--json"}), dir.path());
    ASSERT_EQ(merged.code, 0) << merged.err;
    const json summary = json::parse(merged.out);
    EXPECT_EQ(summary["message"], "The trendfiles are now merged.");
    EXPECT_EQ(summary["files"], c.files);

    // Every planned copy is in the folder with its source's bytes, nothing else is.
    std::set<std::string> expected{fs::path(plan["master"].get<std::string>()).filename().string()};
    for (const auto& e : plan["entries"]) {
        const fs::path target = e["target"].get<std::string>();
        expected.insert(target.filename().string());
        EXPECT_EQ(ReadFile(target), ReadFile(e["source"].get<std::string>())) << target;
    }
    EXPECT_EQ(Listing(dir / "out"), expected);

    // The merged master's records carry the planned names in the planned order.
    const Result inspected = RunCli({"inspect", plan["master"].get<std::string>(), "--json", "--check"}, dir.path());
    ASSERT_EQ(inspected.code, 0) << inspected.out << inspected.err;
    const json master = json::parse(inspected.out);
    ASSERT_EQ(master["records"].size(), plan["entries"].size());
    for (std::size_t i = 0; i < plan["entries"].size(); ++i)
        EXPECT_EQ(Trimmed(master["records"][i]["Name"]), plan["entries"][i]["name"]) << i;
    EXPECT_EQ(master["header"]["nFiles"], c.files);
    EXPECT_TRUE(master["problems"].empty());
}

INSTANTIATE_TEST_SUITE_P(
    Plans, DryRunThenMerge,
    ::testing::Values(PlanCase{6, 0, "09-14-2004", 8, 4, 2, 2},   // break on an existing start day: taken from existing
                      PlanCase{0, 0, "09-15-2004", 6, 3, 3, 0},   // inside an existing file: it starts before the break
                      PlanCase{5, 4, "2004-09-01", 5, 4, 0, 1},   // before everything: no backup file
                      PlanCase{4, 4, "12-31-2004", 5, 0, 4, 1},   // after everything: no existing file
                      PlanCase{2, 0, "9-16-2004", 10, 3, 3, 4}),  // one-digit month
    [](const auto& info) { return "v" + std::to_string(info.param.version) + "_" + std::to_string(info.index); });

// "Merged trenddata HH-MM-SS" with a valid time of day.
bool IsTimeOfDayName(const std::string& name) {
    const std::string prefix = "Merged trenddata ";
    if (name.size() != prefix.size() + 8 || name.rfind(prefix, 0) != 0) return false;
    const std::string t = name.substr(prefix.size());
    for (std::size_t i : {0U, 1U, 3U, 4U, 6U, 7U})
        if (t[i] < '0' || t[i] > '9') return false;
    return t[2] == '-' && t[5] == '-' && std::stoi(t.substr(0, 2)) < 24 && std::stoi(t.substr(3, 2)) < 60 &&
           std::stoi(t.substr(6, 2)) < 60;
}

TEST(Merge, DefaultOutputFolderIsNamedAfterTheTimeOfDayInTheCurrentFolder) {
    TempDir dir;
    const Sets sets = MakeSets(dir.path(), 6);
    const auto before = Listing(dir.path());
    const Result r = RunCli(MergeArgs(sets, "8", "09-14-2004"), dir.path());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("The trendfiles are now merged."), std::string::npos);
    std::vector<std::string> added;
    for (const auto& n : Listing(dir.path()))
        if (!before.count(n)) added.push_back(n);
    ASSERT_EQ(added.size(), 1U);
    EXPECT_TRUE(IsTimeOfDayName(added[0])) << added[0];
    EXPECT_TRUE(fs::exists(dir / added[0] / "TREND.HST"));
}

// --- Refusals -------------------------------------------------------------------

struct RefusalCase {
    const char* name;
    // Changes the sets or the arguments so the merge must be refused.
    std::function<void(Sets&, std::vector<std::string>&, const fs::path&)> plant;
    const char* reason;  // a phrase of the one-line reason
};

class Refusal : public ::testing::TestWithParam<std::tuple<RefusalCase, bool>> {};

void SetArg(std::vector<std::string>& args, const std::string& option, const std::string& value) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option) args[i + 1] = value;
}

TEST_P(Refusal, ExitsOneWithOneLineAndLeavesNoFolder) {
    const auto& [c, dryRun] = GetParam();
    TempDir dir;
    Sets sets = MakeSets(dir.path(), 6);
    auto args = MergeArgs(sets, "8", "09-14-2004");
    args.insert(args.end(), {"--output", (dir / "out").string()});
    c.plant(sets, args, dir.path());
    if (dryRun) args.push_back("--dry-run");
    const auto before = Listing(dir.path());
    const Result r = RunCli(args, dir.path());
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    const auto lines = r.ErrLines();
    ASSERT_EQ(lines.size(), 1U) << r.err;
    EXPECT_EQ(lines[0].rfind("joinwright-cli: error: ", 0), 0U) << lines[0];
    EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
    EXPECT_EQ(Listing(dir.path()), before) << "no folder is left behind";
}

const RefusalCase kRefusals[] = {
    {"zero_files", [](Sets&, auto& a, auto&) { SetArg(a, "--files", "0"); }, "at least 1"},
    {"negative_files", [](Sets&, auto& a, auto&) { SetArg(a, "--files", "-3"); }, "at least 1"},
    {"too_few_files", [](Sets&, auto& a, auto&) { SetArg(a, "--files", "5"); }, "ask for at least 6"},
    {"break_date_not_a_date", [](Sets&, auto& a, auto&) { SetArg(a, "--break-date", "02-30-2004"); }, "not a date"},
    {"backup_missing", [](Sets& s, auto&, auto&) { fs::remove(s.Backup); }, "backup master"},
    {"existing_missing", [](Sets&, auto& a, auto& d) { SetArg(a, "--existing", (d / "nope/TREND.HST").string()); },
     "nope"},
    {"existing_data_file_missing", [](Sets& s, auto&, auto&) { fs::remove(s.Existing.parent_path() / "TREND.002"); },
     "TREND.002"},
    {"template_is_a_master", [](Sets& s, auto& a, auto&) { SetArg(a, "--template", s.Backup.string()); },
     "empty data file"},
    {"template_not_a_trend_file",
     [](Sets& s, auto&, auto&) {
         std::string b = ReadFile(s.Empty);
         Put<std::int16_t>(b, 138, 9);
         WriteFile(s.Empty, b);
     },
     "not a valid trend"},
    {"versions_differ",
     [](Sets& s, auto& a, auto& d) {
         s = MakeSets(d / "v", 6, 0, 5);
         SetArg(a, "--backup", s.Backup.string());
         SetArg(a, "--existing", s.Existing.string());
         SetArg(a, "--template", s.Empty.string());
     },
     "different trend versions"},
    {"output_exists", [](Sets&, auto&, auto& d) { fs::create_directory(d / "out"); }, "already exists"},
    {"output_parent_missing", [](Sets&, auto& a, auto& d) { SetArg(a, "--output", (d / "no/out").string()); },
     "does not exist"},
};

INSTANTIATE_TEST_SUITE_P(Refusals, Refusal, ::testing::Combine(::testing::ValuesIn(kRefusals), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_dry" : "_merge");
                         });

// --- Usage errors ---------------------------------------------------------------

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
};

class UsageError : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageError, ExitsTwoAndCreatesNothing) {
    TempDir dir;
    const Sets sets = MakeSets(dir.path(), 6);
    std::vector<std::string> args = GetParam().args;
    for (auto& a : args) {  // placeholders for the generated files
        if (a == "@B") a = sets.Backup.string();
        if (a == "@E") a = sets.Existing.string();
        if (a == "@T") a = sets.Empty.string();
    }
    const auto before = Listing(dir.path());
    const Result r = RunCli(args, dir.path());
    EXPECT_EQ(r.code, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("usage error"), std::string::npos) << r.err;
    EXPECT_EQ(Listing(dir.path()), before);
}

std::vector<std::string> Full(const std::string& files) {
    return {"merge", "--backup", "@B", "--existing", "@E", "--template", "@T", "--files", files, "--break-date",
            "09-14-2004"};
}

INSTANTIATE_TEST_SUITE_P(
    Usage, UsageError,
    ::testing::Values(UsageCase{"files_too_large", Full("40000")}, UsageCase{"files_word", Full("x")},
                      UsageCase{"files_fraction", Full("2.5")},
                      UsageCase{"missing_files",
                                {"merge", "--backup", "@B", "--existing", "@E", "--template", "@T", "--break-date",
                                 "09-14-2004"}},
                      UsageCase{"missing_break_date",
                                {"merge", "--backup", "@B", "--existing", "@E", "--template", "@T", "--files", "8"}},
                      UsageCase{"unknown_option", {"inspect", "@B", "--colour"}},
                      UsageCase{"no_command", {}}, UsageCase{"unknown_command", {"join", "@B"}},
                      UsageCase{"export_bad_from", {"export", "@B", "--from", "2004-02-30"}},
                      UsageCase{"export_from_after_to", {"export", "@B", "--from", "2004-09-18", "--to", "2004-09-17"}},
                      UsageCase{"inspect_without_path", {"inspect", "--json"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Merge, HelpAndVersionExitZeroAndHelpTellsToStopTrending) {
    TempDir dir;
    const Result help = RunCli({"merge", "--help"}, dir.path());
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Stop trending in Citect"), std::string::npos) << help.out;
    const Result version = RunCli({"--version"}, dir.path());
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out.rfind("joinwright-cli ", 0), 0U) << version.out;
}

}  // namespace
