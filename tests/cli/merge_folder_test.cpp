// joinwright-cli merge-folder through the real executable: a data folder
// with trends that merge and trends that are refused; the default run writes
// nothing and names every refusal, --keep-going says the others were merged
// (what it writes: tests/engine/folder_merge_test.cpp); the dry run writes
// only the pictures asked for, and merge and inspect draw theirs.
#include <nlohmann/json.hpp>

#include "cli/CliTest.h"

namespace {

using namespace jw::clitest;
constexpr auto npos = std::string::npos;

// The scenario's sets once per trend: GOOD1 and GOOD2 merge, NOBACKUP has no
// backup master, NOTEMPLATE no empty data file.
struct DataFolder : ::testing::Test {
    TempFolder dir;
    DataFolder() {
        for (const std::string name : {"GOOD1", "GOOD2", "NOBACKUP", "NOTEMPLATE"})
            for (const bool backup : {true, false}) {
                ts::SetDescription d = Scenario::Describe(backup ? 10 : 14, 3);
                d.BaseName = name + ".", d.ID = name;
                if (!backup || name != "NOBACKUP") ts::Build(dir.path / (backup ? "backup" : "existing"), d);
                if (backup && name != "NOTEMPLATE") ts::BuildEmptyDataFile(dir.path / "templates" / (name + ".000"), d);
            }
    }
};

Args MergeFolder(const Args& more = {}) {
    return Plus({"merge-folder", "--backup", "backup", "--existing", "existing", "--templates", "templates", "--files",
                 "9", "--break-date", "09-15-2004", "--output", "out"}, more);
}

std::size_t Bars(const fs::path& svg) {
    std::size_t n = 0;
    const std::string text = ReadFile(svg);
    for (auto at = text.find("class=\"bar "); at != npos; at = text.find("class=\"bar ", at + 1)) ++n;
    return n;
}

TEST_F(DataFolder, ARefusedTrendStopsTheWholeRunAndEveryRefusalIsNamed) {
    const Tree before = Snapshot(dir.path);
    const Result r = RunCli(MergeFolder(), dir.path);
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    for (const char* line : {"\n  NOBACKUP: no backup master of this name", "\n  NOTEMPLATE: no empty data file of this trend"})
        EXPECT_NE(r.out.find(line), npos) << line << " in " << r.out;
    EXPECT_NE(r.err.find("2 of 4 trends refused; nothing was written"), npos) << r.err;
    const nlohmann::json report = nlohmann::json::parse(RunCli(MergeFolder({"--json"}), dir.path).out);
    std::string statuses;
    for (const auto& t : report["trends"]) statuses += t["trend"].get<std::string>() + "=" + t["status"].get<std::string>() + " ";
    EXPECT_EQ(statuses + report["written"].dump(), "GOOD1=planned GOOD2=planned NOBACKUP=refused NOTEMPLATE=refused false");
    EXPECT_EQ(Snapshot(dir.path), before) << "nothing written, no output folder left";
    const Result going = RunCli(MergeFolder({"--keep-going"}), dir.path);
    EXPECT_TRUE(going.code == 1 && going.err.find("2 of 4 trends refused; the others were merged") != npos) << going.err;
    EXPECT_EQ(RunCli({"inspect", "--check", "out/GOOD2.HST"}, dir.path).code, 0);
}

// A line break in a trend's name is shown escaped: the table keeps one line per trend.
TEST(MergeFolder, ControlCharactersInNamesAreEscaped) {
    TempFolder dir;
    ts::SetDescription d = Scenario::Describe(14, 3);
    d.BaseName = "A\nB.";
    try { ts::Build(dir.path / "existing", d), ts::Build(dir.path / "backup", d); }
    catch (const std::exception& e) { GTEST_SKIP() << "this system cannot name a file so: " << e.what(); }
    fs::create_directories(dir.path / "templates");
    const Result r = RunCli(MergeFolder({"--dry-run"}), dir.path);
    EXPECT_TRUE(r.out.find("\n  A\\nB  ") != npos && r.out.find("A\nB") == npos) << r.out;
}

// The dry run writes the pictures asked for and nothing else, and never
// replaces a file; merge and inspect draw theirs.
TEST_F(DataFolder, PicturesOfTheDryRunsAndOfInspect) {
    Tree before = Snapshot(dir.path);
    const Args dry = MergeFolder({"--dry-run", "--only", "good*", "--picture", "pics"});
    const Result r = RunCli(dry, dir.path);
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("NOBACKUP"), npos) << "--only leaves the others out";
    for (const char* trend : {"GOOD1", "GOOD2"}) {
        EXPECT_EQ(Bars(dir.path / "pics" / (trend + ".svg"s)), 9U) << trend;
        before["pics/"s + trend + ".svg"] = Fingerprint(ReadFile(dir.path / "pics" / (trend + ".svg"s)));
    }
    before["pics"] = "folder";
    EXPECT_EQ(Snapshot(dir.path), before);
    const Result again = RunCli(dry, dir.path);
    EXPECT_TRUE(again.code == 1 && again.err.find("already exists") != npos) << again.err;

    const Result plan = RunCli({"merge", "--backup", "backup/GOOD1.HST", "--existing", "existing/GOOD1.HST", "--template",
                                "templates/GOOD1.000", "--files", "9", "--break-date", "09-15-2004", "--output", "out",
                                "--dry-run", "--picture", "plan.svg"}, dir.path);
    const Result set = RunCli({"inspect", "existing/GOOD1.HST", "--picture", "set.svg"}, dir.path);
    ASSERT_EQ(plan.code + set.code, 0) << plan.err << set.err;
    EXPECT_EQ(Bars(dir.path / "plan.svg") * 10 + Bars(dir.path / "set.svg"), 94U);
}

}  // namespace
