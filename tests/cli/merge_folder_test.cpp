// joinwright-cli merge-folder through the real executable: a data folder
// with trends that merge and trends that are refused; the default run writes
// nothing and names every refusal, --keep-going writes exactly the good ones;
// the dry run writes only the pictures asked for; and the pictures of merge
// and inspect.  Which trend is refused for what is the engine's matter.
#include <nlohmann/json.hpp>

#include "cli/CliTest.h"

namespace {

using namespace jw::clitest;
using nlohmann::json;
constexpr auto npos = std::string::npos;

// The scenario's sets once per trend: GOOD1 and GOOD2 merge, NOBACKUP has no
// backup master, NOTEMPLATE no empty data file.
void BuildDataFolders(const fs::path& root) {
    for (const std::string name : {"GOOD1", "GOOD2", "NOBACKUP", "NOTEMPLATE"})
        for (const bool backup : {true, false}) {
            ts::SetDescription d = Scenario::Describe(backup ? 10 : 14, 3);
            d.BaseName = name + ".", d.ID = name;
            if (!backup || name != "NOBACKUP") ts::Build(root / (backup ? "backup" : "existing"), d);
            if (backup && name != "NOTEMPLATE") ts::BuildEmptyDataFile(root / "templates" / (name + ".000"), d);
        }
}

Args MergeFolder(const Args& more = {}) {
    return Plus({"merge-folder", "--backup", "backup", "--existing", "existing", "--templates", "templates", "--files",
                 "9", "--break-date", "09-15-2004", "--output", "out"}, more);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Each refused trend on a line "  TREND: reason" of the refusal list.
void ExpectRefusals(const std::string& out) {
    for (const auto& [trend, why] : {std::pair{"NOBACKUP", "no backup master of this name"},
                                     std::pair{"NOTEMPLATE", "no empty data file of this trend"}}) {
        const auto at = out.find("\n  "s + trend + ": ");
        ASSERT_NE(at, npos) << trend << " in " << out;
        EXPECT_NE(out.substr(at, out.find('\n', at + 1) - at).find(why), npos) << out;
    }
}

struct DataFolder : ::testing::Test {
    TempFolder dir;
    DataFolder() { BuildDataFolders(dir.path); }
};

TEST_F(DataFolder, ARefusedTrendStopsTheWholeRunAndEveryRefusalIsNamed) {
    const Tree before = Snapshot(dir.path);
    const Result r = RunCli(MergeFolder(), dir.path);
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    ExpectRefusals(r.out);
    EXPECT_NE(r.err.find("2 of 4 trends refused; nothing was written"), npos) << r.err;
    const Result j = RunCli(MergeFolder({"--json"}), dir.path);
    EXPECT_EQ(j.code, 1);
    const json report = json::parse(j.out);
    std::string statuses;
    for (const auto& t : report["trends"]) statuses += t["trend"].get<std::string>() + "=" + t["status"].get<std::string>() + " ";
    EXPECT_EQ(statuses, "GOOD1=planned GOOD2=planned NOBACKUP=refused NOTEMPLATE=refused ");
    EXPECT_EQ(report["written"], false);
    EXPECT_EQ(Snapshot(dir.path), before) << "nothing written, no output folder left";
}

TEST_F(DataFolder, KeepGoingMergesExactlyTheGoodTrends) {
    const Result r = RunCli(MergeFolder({"--keep-going"}), dir.path);
    EXPECT_EQ(r.code, 1) << "refusals remain: " << r.out << r.err;
    EXPECT_NE(r.err.find("2 of 4 trends refused; the others were merged"), npos) << r.err;
    ExpectRefusals(r.out);
    const Tree out = Snapshot(dir.path / "out");
    EXPECT_EQ(out.size(), 20U) << "each good trend's master and nine copies, nothing of the refused ones, nothing temporary";
    for (const char* master : {"out/GOOD1.HST", "out/GOOD2.HST"}) EXPECT_EQ(RunCli({"inspect", "--check", master}, dir.path).code, 0);
}

// A line break in a trend's name is shown escaped: the table keeps one line per trend.
TEST(MergeFolder, ControlCharactersInNamesAreEscaped) {
    TempFolder dir;
    try {
        ts::SetDescription d = Scenario::Describe(14, 3);
        d.BaseName = "A\nB.";
        ts::Build(dir.path / "existing", d), ts::Build(dir.path / "backup", d);
        fs::create_directories(dir.path / "templates");
    } catch (const std::exception& e) {
        GTEST_SKIP() << "this system cannot name a file so: " << e.what();
    }
    const Result r = RunCli(MergeFolder({"--dry-run"}), dir.path);
    EXPECT_NE(r.out.find("\n  A\\nB  "), npos) << r.out;
    EXPECT_EQ(r.out.find("A\nB"), npos) << r.out;
}

// The plan's picture: a bar per file coloured by where it comes from, the
// break date; the picture never replaces a file.
TEST_F(DataFolder, DryRunWritesOnlyThePicturesAskedFor) {
    Tree before = Snapshot(dir.path);
    const Result r = RunCli(MergeFolder({"--dry-run", "--only", "good*", "--picture", "pics"}), dir.path);
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Dry run: nothing was written."), npos) << r.out;
    EXPECT_EQ(r.out.find("NOBACKUP"), npos) << "--only leaves the others out";
    for (const char* trend : {"GOOD1", "GOOD2"}) {
        const std::string svg = ReadFile(dir.path / "pics" / (std::string(trend) + ".svg"));
        EXPECT_EQ(Count(svg, "class=\"bar "), 9U) << trend;
        EXPECT_EQ(Count(svg, "class=\"break\""), 1U) << trend;
        EXPECT_NE(svg.find(">"s + trend + "</text>"), npos) << "the trend's name as title";
        before["pics/"s + trend + ".svg"] = Fingerprint(svg);
    }
    before["pics"] = "folder";
    EXPECT_EQ(Snapshot(dir.path), before);
    const Result again = RunCli(MergeFolder({"--dry-run", "--only", "good*", "--picture", "pics"}), dir.path);
    EXPECT_TRUE(again.code == 1 && again.err.find("already exists") != npos) << again.err;
}

TEST_F(DataFolder, PicturesOfMergeAndInspect) {
    const Result plan = RunCli({"merge", "--backup", "backup/GOOD1.HST", "--existing", "existing/GOOD1.HST", "--template",
                                "templates/GOOD1.000", "--files", "9", "--break-date", "09-15-2004", "--output", "out",
                                "--dry-run", "--picture", "plan.svg"}, dir.path);
    const Result set = RunCli({"inspect", "existing/GOOD1.HST", "--picture", "set.svg"}, dir.path);
    const Result one = RunCli({"inspect", "existing/GOOD1.003", "--picture", "one.svg"}, dir.path);
    ASSERT_EQ(plan.code + set.code + one.code, 0) << plan.err << set.err << one.err;
    EXPECT_EQ(Count(ReadFile(dir.path / "plan.svg"), "class=\"bar "), 9U);
    EXPECT_EQ(Count(ReadFile(dir.path / "set.svg"), "class=\"bar set\""), 4U);
    EXPECT_EQ(Count(ReadFile(dir.path / "one.svg"), "class=\"bar "), 1U);
    EXPECT_FALSE(fs::exists(dir.path / "out"));
}

}  // namespace
