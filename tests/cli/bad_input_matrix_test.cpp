// The bad-input matrix through the real joinwright-cli merge: damaged masters
// and data files, hostile recorded names, bad break dates, counts and output
// folders.  Every row states the exit status and what the one-line reason
// names; for every row every input is byte-identical afterwards, nothing is
// written outside the output folder, and a refused merge leaves no output
// folder.  The hostile file of a row is also shown with inspect: exit 0 or 1
// with a reason, never a signal.  Last, a merge and a folder merge under a
// file size limit.
#include "cli/CliTest.h"

namespace {

using namespace jw::clitest;

// A row's change to the scenario; returns the hostile file inspect must survive.
using Plant = std::function<fs::path(Scenario&, Args&)>;
enum Which { kExisting, kBackup, kData1, kTemplate };
fs::path& File(Scenario& s, Which w) {
    return w == kExisting ? s.existing : w == kBackup ? s.backup : w == kData1 ? s.existingFiles.at(1) : s.templ;
}
Plant Cut(Which w, std::uintmax_t n) {
    return [=](Scenario& s, Args&) { return fs::resize_file(File(s, w), n), File(s, w); };
}
Plant Patch(Which w, std::size_t at, std::string bytes) {  // little-endian bytes at an absolute offset
    return [=](Scenario& s, Args&) {
        WriteFile(File(s, w), ReadFile(File(s, w)).replace(at, bytes.size(), bytes));
        return File(s, w);
    };
}
std::string Le16(std::int16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string Le64(std::int64_t v) {
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(static_cast<std::uint64_t>(v) >> (8 * i));
    return out;
}
// Replaces the value of an option ("@" stands for the root), or removes option and value ("-").
Plant Arg(const char* option, std::string value) {
    return [=](Scenario& s, Args& a) {
        const auto it = std::find(a.begin(), a.end(), option);
        if (value == "-") a.erase(it, it + 2);
        else *(it + 1) = value.rfind("@", 0) == 0 ? s.root.string() + value.substr(1) : value;
        return fs::path();
    };
}
Plant Do(std::function<void(Scenario&)> f) { return [=](Scenario& s, Args&) { return f(s), fs::path(); }; }

struct Row {
    const char* name;
    Plant plant;
    int code;                          // 0 merged, 1 refused, 2 usage error
    std::vector<std::string> reason;   // what the one-line reason names
    int fromExisting = 3, fromBackup = 4;
    const char* readDate = nullptr;    // the break date as read (shown by the dry run)
    bool dry = false;                  // also run as a dry run
    const char* warning = nullptr;     // a plan warning the report shows
};

const std::string kF = "C:\\Citect\\Data\\";
const Row kRows[] = {
    {"master_empty", Cut(kExisting, 0), 1, {"existing/TREND.HST", "0 bytes"}},
    {"data_file_not_taken_cut", Do([](Scenario& s) { fs::resize_file(s.existingFiles[0], 10); }), 0, {}, 3, 4, nullptr, true},
    {"template_is_a_master", Arg("--template", "@/existing/TREND.HST"), 1, {"empty data file", "existing/TREND.HST"}},
    {"backup_nFiles_0", Patch(kBackup, 150, Le16(0)), 0, {}, 3, 0},
    {"hostile_name_not_taken", Patch(kExisting, 176, kF + "../../etc/passwd\0"s), 0, {}},
    {"date_letters", Arg("--break-date", "abc"), 1, {"break date \"abc\"", "not a date"}},
    {"date_missing", Arg("--break-date", "-"), 2, {"--break-date"}},
    {"date_two_digit_year", Arg("--break-date", "1-1-99"), 0, {}, 4, 0, "1999-01-01", true},
    {"files_fraction", Arg("--files", "2.5"), 2, {"--files", "2.5"}},
    {"output_exists", Do([](Scenario& s) { fs::create_directory(s.out), WriteFile(s.out / "keep", "kept"); }), 1,
     {"work/out", "already exists"}, 3, 4, nullptr, true},
    {"output_parent_missing", Arg("--output", "@/work/nowhere/out"), 1, {"work/nowhere", "does not exist"}},
    {"output_parent_a_file", [](Scenario& s, Args& a) { return WriteFile(s.work / "f", "x"), Arg("--output", "@/work/f/out")(s, a); },
     1, {"work/f", "not a folder"}},
    {"output_inside_backup_folder", Arg("--output", "@/backup/merged"), 0, {}},
    // Odd requests and inputs: refused where the merged set would be wrong
    // or unusable, a warning where the merge is exact.
    {"output_empty", Arg("--output", ""), 2, {"--output", "empty"}},
    {"backup_empty", Arg("--backup", ""), 2, {"--backup", "empty"}},
    {"files_1001", Arg("--files", "1001"), 1, {"1001 data files", "TREND.1000", "at most 1000"}, 3, 4, nullptr, true},
    {"data_file_version_differs_from_record", Patch(kData1, 138, Le16(5)), 1,
     {"existing/TREND.HST", "record 1", "existing/TREND.001", "Version 5, the record says 6"}, 3, 4, nullptr, true},
    // The validity rule at the merge (its faults: tests/formats/validity_test.cpp): a data
    // file given as a master, times outside the calendar, sets of different trends.
    {"existing_is_a_data_file", Arg("--existing", "@/existing/TREND.003"), 1,
     {"existing master", "existing/TREND.003: this is a data file", "choose the master", "existing/TREND.HST"}, 3, 4, nullptr, true},
    {"backup_is_a_data_file", Arg("--backup", "@/backup/TREND.002"), 1, {"backup master", "choose the master", "backup/TREND.HST"}},
    {"record_start_outside_calendar", Patch(kExisting, 176 + 448 + 272 + 138, Le64(INT64_MIN)), 1,
     {"existing/TREND.HST", "record 1", "StartTime -9223372036854775808 ticks lies outside the years 100 to 9999"}},
    {"data_file_end_outside_calendar", Patch(kData1, 274, Le64(INT64_MAX)), 1,
     {"existing/TREND.HST", "record 1", "EndTime 9223372036854775807 ticks lies outside"}},
    {"trends_differ", Patch(kBackup, 0, "Another trend"s + std::string(115, '\0')), 1,
     {"hold different trends", "Title differs", "Another trend"}},
    {"trends_differ_allowed", [](Scenario& s, Args& a) {
         a.push_back("--allow-different-trends");
         return Patch(kBackup, 0, "Another trend"s + std::string(115, '\0'))(s, a);
     }, 0, {}, 3, 4, nullptr, true, "merged as asked"},
    {"same_master_as_backup_and_existing", Arg("--backup", "@/existing/TREND.HST"), 0, {}, 3, 1, nullptr, true,
     "the same file"},
    {"template_that_was_written_to", Arg("--template", "@/backup/TREND.000"), 0, {}, 3, 4, nullptr, true,
     "has been written to"},
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
class Matrix : public ::testing::TestWithParam<Row> {};

TEST_P(Matrix, ExitStatusReasonAndUntouchedInputs) {
    const Row& row = GetParam();
    for (const bool dry : {false, true}) {
        if (dry && !row.dry) break;
        SCOPED_TRACE(dry ? "dry run" : "merge");
        Scenario s;
        Args args = s.MergeArgs();
        const fs::path hostile = row.plant(s, args);
        if (dry) args.push_back("--dry-run");
        fs::path out = s.out;
        for (std::size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == "--output") out = args[i + 1];
        const std::string outKey = out.lexically_relative(s.root).generic_string();
        const bool outExisted = fs::exists(out);
        const Tree before = Snapshot(s.root, outExisted ? "" : outKey);
        ASSERT_TRUE(before.count("existing/TREND.002") && before.count("backup/TREND.003")) << "the snapshot sees the sets";

        const Result r = RunCli(args, s.work);
        ASSERT_EQ(r.signal, 0) << r.err;
        EXPECT_EQ(r.code, row.code) << r.out << r.err;
        EXPECT_EQ(Snapshot(s.root, outExisted ? "" : outKey), before) << "inputs unchanged, nothing written outside";
        if (row.code != 0) {
            EXPECT_EQ(r.out.find(kMerged), std::string::npos) << r.out;
            EXPECT_EQ(fs::exists(out), outExisted) << "no output folder is left: " << out;
            const std::string line = FirstLine(r.err);
            EXPECT_EQ(line.rfind(row.code == 1 ? "joinwright-cli: error: " : "joinwright-cli: usage error: ", 0), 0U) << r.err;
            EXPECT_TRUE(row.code != 1 || r.err == line + "\n") << "one line: " << r.err;
            // A folder in a reason may show with the system's own separator.
            for (const auto& part : row.reason)
                EXPECT_TRUE(line.find(part) != std::string::npos ||
                            line.find(fs::path(part).make_preferred().string()) != std::string::npos)
                    << part << " in " << line;
        } else if (dry) {
            EXPECT_NE(r.out.find("Dry run: nothing was written."), std::string::npos) << r.out;
            EXPECT_FALSE(fs::exists(out)) << "a dry run creates no folder";
            EXPECT_TRUE(!row.readDate || r.out.find("Break date:     "s + row.readDate) != std::string::npos) << r.out;
            EXPECT_NE(r.out.find(std::to_string(row.fromExisting) + " from the existing set, " +
                                 std::to_string(row.fromBackup) + " from the backup set"), std::string::npos) << r.out;
        } else {
            EXPECT_NE(r.out.find(kMerged), std::string::npos) << r.out;
            for (const auto& [from, n] : {std::pair{"existing set:  ", row.fromExisting}, {"backup set:    ", row.fromBackup}})
                EXPECT_NE(r.out.find("From the "s + from + std::to_string(n) + " data file"), std::string::npos) << r.out;
            const Result check = RunCli({"inspect", "--check", (out / "TREND.HST").string()}, s.work);
            EXPECT_EQ(check.code, 0) << "the merged set checks clean: " << check.out << check.err;
        }
        EXPECT_TRUE(row.code != 0 || !row.warning || r.out.find(row.warning) != std::string::npos) << r.out;

        // inspect of the hostile file: 0 or 1 with a reason, never a signal, the file unchanged.
        if (hostile.empty() || dry) continue;
        const Tree quiet = Snapshot(s.root);
        for (const Args& cmd : {Args{"inspect", hostile.string()}, Args{"inspect", "--check", hostile.string()}}) {
            const Result i = RunCli(cmd, s.work);
            ASSERT_EQ(i.signal, 0) << cmd[1] << i.err;
            EXPECT_TRUE(i.code == 0 || i.code == 1) << cmd[1] << " exit " << i.code << i.err;
            EXPECT_TRUE(i.code == 0 || i.err.find("joinwright-cli: error: ") != std::string::npos) << "a reason: " << i.err;
        }
        EXPECT_EQ(Snapshot(s.root), quiet);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Matrix, ::testing::ValuesIn(kRows), [](const auto& info) { return info.param.name; });

// Data files of 32 KB against a file size limit of 16 KB (SIGXFSZ ignored, so
// the write fails with EFBIG): the first copy fails half-way; the merge says
// so, leaves no master, no copy and no output folder, and the inputs alone.
TEST(FileSizeLimit, FirstCopyFailsAndNothingIsLeft) {
    if (!CanLimitFileSize()) GTEST_SKIP() << "this system has no file size limit for a process";
    Scenario s(4000);
    const Tree before = Snapshot(s.root);
    const Result r = RunCli(s.MergeArgs(), s.work, WithLimit(16 * 1024));
    ASSERT_EQ(r.signal, 0) << r.err;
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_EQ(r.out.find(kMerged), std::string::npos) << r.out;
    EXPECT_EQ(r.err, FirstLine(r.err) + "\n") << "one line";
    for (const char* part : {"joinwright-cli: error: ", "copying file 000", "TREND.001", "File too large"})
        EXPECT_NE(r.err.find(part), std::string::npos) << part << " in " << r.err;
    EXPECT_FALSE(fs::exists(s.out)) << "no master (final or temporary), no copy, no output folder";
    EXPECT_EQ(Snapshot(s.root), before);
}

// A folder run of three trends whose last has a data file of 32 KB, under a
// file size limit of 16 KB: the first two trends are copied, the third fails
// half-way, and nothing is left: no trend, no output folder, no working one.
TEST(FileSizeLimit, AFolderRunFailingInItsLastTrendLeavesNoMaster) {
    if (!CanLimitFileSize()) GTEST_SKIP() << "this system has no file size limit for a process";
    Scenario s;
    const fs::path data = s.root / "data";
    for (const std::string trend : {"AAA", "MMM", "ZZZ"})
        for (const bool backup : {true, false}) {
            ts::SetDescription d = Scenario::Describe(backup ? 10 : 14, 5);
            d.BaseName = trend + ".";
            if (trend == "ZZZ" && !backup) d.Files[3].Samples = 4000, d.Files[3].Capacity = 4003;
            ts::Build(data / (backup ? "backup" : "existing"), d);
            if (backup) ts::BuildEmptyDataFile(data / "templates" / (trend + ".000"), d);
        }
    const Tree inputs = Snapshot(s.root, "work");
    const Result r = RunCli({"merge-folder", "--backup", (data / "backup").string(), "--existing",
                             (data / "existing").string(), "--templates", (data / "templates").string(), "--break-date",
                             "09-15-2004", "--files", "9", "--output", s.out.string()},
                            s.work, WithLimit(16 * 1024));
    ASSERT_EQ(r.signal, 0) << r.err;
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_EQ(r.err, FirstLine(r.err) + "\n") << "one line";
    for (const char* part : {"ZZZ.003", "File too large", "No master file was written (AAA.HST, MMM.HST, ZZZ.HST)"})
        EXPECT_NE(r.err.find(part), std::string::npos) << part << " in " << r.err;
    EXPECT_FALSE(fs::exists(s.out));
    EXPECT_TRUE(fs::is_empty(s.work)) << "nothing beside it";
    EXPECT_EQ(Snapshot(s.root, "work"), inputs) << "inputs unchanged";
}

}  // namespace
