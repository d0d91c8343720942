// joinwright-cli merge-folder through the real executable: a data folder
// with trends that merge and trends that are refused for different reasons;
// the default run writes nothing, --keep-going writes exactly the good ones
// and each equals what merge writes for that trend; the dry run writes only
// the pictures asked for; and the pictures of merge and inspect.
#include <cctype>
#include <nlohmann/json.hpp>

#include "cli/CliTest.h"
#include "trendset/TrendSetBuilder.h"

namespace {

using namespace jw::clitest;
using nlohmann::json;
namespace ts = jw::trendset;
constexpr auto npos = std::string::npos;

// Backup: four two-day files from 2004-09-10; existing: six one-day files
// from 2004-09-12.  The break date 09-14-2004 takes existing 2..5 and backup
// 0..1: six files, the existing master's nFiles.
ts::SetDescription Describe(const std::string& name, bool backup, std::int16_t version) {
    ts::SetDescription s;
    s.Version = version, s.BaseName = name + ".", s.ID = name;
    const int first = backup ? 10 : 12, step = backup ? 2 : 1;
    for (int i = 0; i < (backup ? 4 : 6); ++i)
        s.Files.push_back({ts::RawTime(version, 2004, 9, first + i * step),
                           ts::RawTime(version, 2004, 9, first + i * step + step - 1, 23, 59, 59), 3, {}});
    return s;
}

// GOOD1 and GOOD2 merge (GOOD2's backup master and template are spelled in
// lower case); NOBACKUP has no backup master, NOTEMPLATE no empty data file,
// VERSIONS a backup set of version 5 beside an existing set of version 6.
void BuildDataFolders(const fs::path& root) {
    for (const std::string name : {"GOOD1", "GOOD2", "NOBACKUP", "NOTEMPLATE", "VERSIONS"}) {
        ts::Build(root / "existing", Describe(name, false, 6));
        const ts::SetDescription b = Describe(name, true, name == "VERSIONS" ? 5 : 6);
        if (name != "NOBACKUP") ts::Build(root / "backup", b);
        if (name != "NOTEMPLATE") ts::BuildEmptyDataFile(root / "templates" / (name + ".000"), b);
    }
    fs::rename(root / "backup/GOOD2.HST", root / "backup/good2.hst");
    fs::rename(root / "templates/GOOD2.000", root / "templates/good2.000");
}

std::vector<std::string> MergeFolder(std::vector<std::string> more = {}) {
    more.insert(more.begin(), {"merge-folder", "--backup", "backup", "--existing", "existing", "--templates",
                               "templates", "--break-date", "09-14-2004", "--output", "out"});
    return more;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The files of a folder whose names start with prefix (any letter case).
std::map<std::string, std::string> TrendFiles(const fs::path& folder, const std::string& prefix) {
    std::map<std::string, std::string> files;
    for (const auto& [name, bytes] : Snapshot(folder))
        if (Lower(name).rfind(Lower(prefix) + ".", 0) == 0) files[name] = bytes;
    return files;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The line "  TREND: reason" of the refusal list holds why.
void ExpectRefusal(const std::string& out, const std::string& trend, const std::string& why) {
    const auto at = out.find("\n  " + trend + ": ");
    ASSERT_NE(at, npos) << trend << " in " << out;
    const std::string line = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    EXPECT_NE(line.find(why), npos) << line;
}

const std::vector<std::pair<std::string, std::string>> kRefusals{
    {"NOBACKUP", "no backup master of this name"},
    {"NOTEMPLATE", "no empty data file of this trend"},
    {"VERSIONS", "different trend versions"},
};

TEST(MergeFolder, ARefusedTrendStopsTheWholeRunAndEveryRefusalIsNamed) {
    TempFolder dir;
    BuildDataFolders(dir.path);
    const auto before = Snapshot(dir.path);
    const Result r = RunCli(MergeFolder(), dir.path);
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_EQ(Snapshot(dir.path), before) << "nothing written, no output folder left";
    for (const auto& [trend, why] : kRefusals) ExpectRefusal(r.out, trend, why);
    EXPECT_NE(r.out.find("Nothing was written"), npos) << r.out;
    EXPECT_NE(r.err.find("3 of 5 trends refused; nothing was written"), npos) << r.err;

    const Result j = RunCli(MergeFolder({"--json"}), dir.path);
    EXPECT_EQ(j.code, 1);
    const json report = json::parse(j.out);
    EXPECT_EQ(report["written"], false);
    std::string statuses;
    for (const auto& t : report["trends"]) statuses += t["trend"].get<std::string>() + "=" + t["status"].get<std::string>() + " ";
    EXPECT_EQ(statuses, "GOOD1=planned GOOD2=planned NOBACKUP=refused NOTEMPLATE=refused VERSIONS=refused ");
    EXPECT_EQ(Snapshot(dir.path), before);
}

// The name a file really has in folder: a file system that ignores letter
// case may keep the old spelling when a file is renamed to another case.
std::string OnDisk(const fs::path& folder, const std::string& name) {
    for (const auto& e : fs::directory_iterator(folder))
        if (Lower(e.path().filename().string()) == Lower(name)) return e.path().filename().string();
    return name;
}

// A line break in a trend's name is shown escaped: the table keeps one line per trend.
TEST(MergeFolder, ControlCharactersInNamesAreEscaped) {
    TempFolder dir;
    try {
        for (const bool backup : {true, false}) ts::Build(dir.path / (backup ? "backup" : "existing"), Describe("A\nB", backup, 6));
        fs::create_directories(dir.path / "templates");
    } catch (const std::exception& e) {
        GTEST_SKIP() << "this system cannot name a file so: " << e.what();
    }
    const Result r = RunCli(MergeFolder({"--dry-run"}), dir.path);
    EXPECT_NE(r.out.find("\n  A\\nB  "), npos) << r.out;
    EXPECT_EQ(r.out.find("A\nB"), npos) << r.out;
}

TEST(MergeFolder, KeepGoingMergesExactlyTheGoodTrendsAsMergeWould) {
    TempFolder dir;
    BuildDataFolders(dir.path);
    const Result r = RunCli(MergeFolder({"--keep-going"}), dir.path);
    EXPECT_EQ(r.code, 1) << "refusals remain: " << r.out << r.err;
    EXPECT_NE(r.err.find("3 of 5 trends refused; the others were merged"), npos) << r.err;
    for (const auto& [trend, why] : kRefusals) ExpectRefusal(r.out, trend, why);

    const auto merged = Snapshot(dir.path / "out");
    std::map<std::string, std::string> expected;
    for (const auto& [trend, backupMaster, templ] :
         {std::tuple{"GOOD1", "GOOD1.HST", "GOOD1.000"}, std::tuple{"GOOD2", "good2.hst", "good2.000"}}) {
        const std::string backupName = OnDisk(dir.path / "backup", backupMaster);
        const Result single = RunCli({"merge", "--backup", "backup/" + backupName, "--existing",
                                      std::string("existing/") + trend + ".HST", "--template",
                                      std::string("templates/") + templ, "--files", "6", "--break-date", "09-14-2004",
                                      "--output", std::string("single-") + trend},
                                     dir.path);
        ASSERT_EQ(single.code, 0) << single.err;
        const auto one = Snapshot(dir.path / (std::string("single-") + trend));
        EXPECT_EQ(one.size(), 7U);
        EXPECT_EQ(TrendFiles(dir.path / "out", trend), one) << trend << ": byte for byte as merge writes it";
        expected.insert(one.begin(), one.end());
        const std::string master = (dir.path / "out" / (backupName.substr(0, backupName.rfind('.') + 1) + "HST")).string();
        const Result check = RunCli({"inspect", master, "--check"}, dir.path);
        EXPECT_EQ(check.code, 0) << check.out << check.err;
    }
    EXPECT_EQ(merged, expected) << "nothing of the refused trends, nothing temporary";
}

TEST(MergeFolder, DryRunWritesOnlyThePicturesAskedFor) {
    TempFolder dir;
    BuildDataFolders(dir.path);
    const auto before = Snapshot(dir.path);
    const Result r = RunCli(MergeFolder({"--dry-run", "--only", "good*", "--files", "8", "--picture", "pics"}), dir.path);
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Dry run: nothing was written."), npos) << r.out;
    EXPECT_EQ(r.out.find("NOBACKUP"), npos) << "--only leaves the others out";
    auto after = Snapshot(dir.path);
    ASSERT_EQ(after.count("pics/GOOD1.svg") + after.count("pics/GOOD2.svg"), 2U);
    for (const char* trend : {"GOOD1", "GOOD2"}) {
        const std::string svg = ReadFile(dir.path / "pics" / (std::string(trend) + ".svg"));
        EXPECT_EQ(svg.rfind("<?xml", 0), 0U);
        EXPECT_EQ(Count(svg, "class=\"bar existing\""), 4U) << trend;
        EXPECT_EQ(Count(svg, "class=\"bar backup\""), 2U) << trend;
        EXPECT_EQ(Count(svg, "class=\"bar template\""), 2U) << trend;
        EXPECT_NE(svg.find(std::string(">") + trend + "</text>"), npos) << "the trend's name as title";
    }
    for (const char* p : {"pics", "pics/GOOD1.svg", "pics/GOOD2.svg"}) after.erase(p);
    EXPECT_EQ(after, before);
    // A second dry run never replaces a picture.
    const Result again = RunCli(MergeFolder({"--dry-run", "--picture", "pics", "--files", "8"}), dir.path);
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.err.find("already exists"), npos) << again.err;
    // No trend to draw: no picture folder either.
    const Result none = RunCli(MergeFolder({"--dry-run", "--only", "NOBACKUP", "--picture", "none"}), dir.path);
    EXPECT_EQ(none.code, 1) << none.out << none.err;
    EXPECT_FALSE(fs::exists(dir.path / "none"));
}

TEST(MergeFolder, PicturesOfMergeAndInspectAndTheirUsage) {
    TempFolder dir;
    BuildDataFolders(dir.path);
    const std::vector<std::string> merge{"merge", "--backup", "backup/GOOD1.HST", "--existing", "existing/GOOD1.HST",
                                         "--template", "templates/GOOD1.000", "--files", "6", "--break-date",
                                         "09-14-2004", "--output", "out"};
    auto args = merge;
    args.insert(args.end(), {"--dry-run", "--picture", "plan.svg"});
    const Result plan = RunCli(args, dir.path);
    ASSERT_EQ(plan.code, 0) << plan.err;
    const std::string svg = ReadFile(dir.path / "plan.svg");
    EXPECT_EQ(Count(svg, "class=\"bar "), 6U);
    EXPECT_EQ(Count(svg, "class=\"break\""), 1U);
    EXPECT_FALSE(fs::exists(dir.path / "out"));

    const Result set = RunCli({"inspect", "existing/GOOD1.HST", "--picture", "set.svg"}, dir.path);
    ASSERT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(Count(ReadFile(dir.path / "set.svg"), "class=\"bar set\""), 6U);
    const Result one = RunCli({"inspect", "existing/GOOD1.003", "--picture", "one.svg"}, dir.path);
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(Count(ReadFile(dir.path / "one.svg"), "class=\"bar "), 1U);

    // --picture belongs to a dry run; options keep their names.
    args = merge;
    args.insert(args.end(), {"--picture", "x.svg"});
    for (const auto& bad : {args, MergeFolder({"--picture", "pics"}), MergeFolder({"--files", "many"}),
                            std::vector<std::string>{"merge-folder", "--backup", "backup", "--existing", "existing"}}) {
        const Result r = RunCli(bad, dir.path);
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_NE(r.err.find("usage error"), npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir.path / "x.svg"));
    EXPECT_FALSE(fs::exists(dir.path / "out"));
}

}  // namespace
