// The bad-input matrix through the real joinwright-cli merge: damaged masters
// and data files, hostile recorded names, bad break dates and counts, an
// output folder that exists.  The rules are the engine's (its faults:
// tests/engine/refusal_test.cpp); a row here checks only that the merge
// applies its rule: the exit status, what the one-line reason or the dry
// run's warning says, nothing written and every input byte-identical.  A row
// that merges runs as a dry run, so no other rule's fault fails it.  The
// hostile file of a row is also shown with inspect --check: exit 0 or 1,
// never a signal.  A write that fails: tests/engine/writer_test.cpp.
#include "cli/CliTest.h"

namespace {

using namespace jw::clitest;

// A row's change to the scenario; returns the hostile file inspect must survive.
using Plant = std::function<fs::path(Scenario&, Args&)>;
constexpr fs::path Scenario::*kExisting = &Scenario::existing, Scenario::*kBackup = &Scenario::backup;
Plant Patch(fs::path Scenario::*f, std::size_t at, std::string bytes) {  // bytes at an absolute offset; none: cut to 0
    return [=](Scenario& s, Args&) {
        return WriteFile(s.*f, bytes.empty() ? "" : ReadFile(s.*f).replace(at, bytes.size(), bytes)), s.*f;
    };
}
// Replaces the value of an option ("@" stands for the root); "+" adds the option.
Plant Arg(const char* option, std::string value) {
    return [=](Scenario& s, Args& a) {
        if (value == "+") return a.push_back(option), fs::path();
        const bool root = value.rfind("@", 0) == 0;
        return *(std::find(a.begin(), a.end(), option) + 1) = root ? s.root.string() + value.substr(1) : value, fs::path();
    };
}
Plant Both(Plant a, Plant b) { return [=](Scenario& s, Args& args) { return a(s, args), b(s, args); }; }

struct Row {
    const char* name;
    Plant plant;
    int code;                         // 0 planned (as a dry run), 1 refused
    std::vector<std::string> said;    // in the one-line reason, or in the dry run's report
    bool dry = false;                 // run as a dry run
};

const Plant kOtherTrend = Patch(kBackup, 0, "Another trend"s + std::string(115, '\0'));  // the Title
const Row kRows[] = {
    {"master_empty", Patch(kExisting, 0, ""), 1, {"existing/TREND.HST", "0 bytes"}},
    {"files_1001", Arg("--files", "1001"), 1, {"1001 data files", "TREND.1000", "at most 1000"}, true},
    {"trends_differ", kOtherTrend, 1, {"hold different trends", "Title differs", "Another trend"}},
    // Merged with a word, or without one where the merge is exact.
    {"trends_differ_allowed", Both(kOtherTrend, Arg("--allow-different-trends", "+")), 0, {"merged as asked"}, true},
    {"same_master_as_backup_and_existing", Arg("--backup", "@/existing/TREND.HST"), 0, {"the same file"}, true},
    {"template_that_was_written_to", Arg("--template", "@/backup/TREND.000"), 0, {"has been written to"}, true},
    {"date_two_digit_year", Arg("--break-date", "1-1-99"), 0, {"Break date:     1999-01-01"}, true},
    {"hostile_name_not_taken", Patch(kExisting, 176, "C:\\Citect\\Data\\../../etc/passwd\0"s), 0, {}, true},
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
class Matrix : public ::testing::TestWithParam<Row> {};

TEST_P(Matrix, ExitStatusReasonAndUntouchedInputs) {
    const Row& row = GetParam();
    Scenario s;
    Args args = s.MergeArgs();
    const fs::path hostile = row.plant(s, args);
    if (row.dry) args.push_back("--dry-run");
    const bool outExisted = fs::exists(s.out);
    const Tree before = Snapshot(s.root);
    const Result r = RunCli(args, s.work);
    ASSERT_EQ(r.signal, 0) << r.err;
    EXPECT_EQ(r.code, row.code) << r.out << r.err;
    EXPECT_EQ(Snapshot(s.root), before) << "inputs unchanged, nothing written";
    EXPECT_EQ(fs::exists(s.out), outExisted);
    const std::string line = FirstLine(r.err);
    if (row.code == 0) EXPECT_NE(r.out.find("Dry run: nothing was written."), std::string::npos) << r.out;
    else EXPECT_TRUE(r.out.empty() && r.err == line + "\n" && line.rfind("joinwright-cli: error: ", 0) == 0) << r.out << r.err;
    // A folder in a reason may show with the system's own separator.
    for (const auto& part : row.said)
        EXPECT_TRUE((row.code ? line : r.out).find(part) != std::string::npos ||
                    (row.code ? line : r.out).find(fs::path(part).make_preferred().string()) != std::string::npos)
            << part << " in " << r.out << r.err;
    if (hostile.empty()) return;
    const Result i = RunCli({"inspect", "--check", hostile.string()}, s.work);
    EXPECT_TRUE(i.signal == 0 && (i.code == 0 || i.code == 1)) << i.code << i.err;
    EXPECT_EQ(Snapshot(s.root), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, Matrix, ::testing::ValuesIn(kRows), [](const auto& info) { return info.param.name; });

}  // namespace
