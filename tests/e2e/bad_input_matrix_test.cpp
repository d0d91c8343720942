// The bad-input matrix through the real joinwright-cli merge: damaged masters
// and data files, hostile recorded names, bad break dates, counts and output
// folders.  Every row states the exit status and what the one-line reason
// names; for every row every input is byte-identical afterwards, nothing is
// written outside the output folder, and a refused merge leaves no output
// folder.  The hostile file of a row is also shown with inspect: exit 0 or 1
// with a reason, never a signal.  Last, a merge and a folder merge under a
// file size limit.
#include "e2e/E2eSupport.h"

namespace {

using namespace jw::e2e;

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
Plant Name(std::string name) {  // the Name field (272 bytes) of existing record 1, taken
    name.resize(272, '\0');
    return Patch(kExisting, 176 + 448, name);
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
    {"master_of_100_bytes", Cut(kBackup, 100), 1, {"backup/TREND.HST", "100 bytes"}, 3, 4, nullptr, true},
    {"master_cut_inside_a_record", Cut(kExisting, 176 + 2 * 448 + 100), 1, {"existing/TREND.HST", "truncated"}},
    {"data_file_cut_inside_header", Cut(kData1, 100), 1, {"existing/TREND.001", "record 1", "cut inside its header"}},
    {"data_file_is_a_folder", Do([](Scenario& s) { fs::remove(s.existingFiles[1]), fs::create_directory(s.existingFiles[1]); }),
     1, {"existing/TREND.001", "record 1", "not a regular file"}},
    {"data_file_missing", Do([](Scenario& s) { fs::remove(s.existingFiles[1]); }), 1, {"existing/TREND.001", "record 1", "does not exist"}},
    {"data_file_not_taken_cut", Do([](Scenario& s) { fs::resize_file(s.existingFiles[0], 10); }), 0, {}, 3, 4, nullptr, true},
    {"master_version_7", Patch(kExisting, 138, Le16(7)), 1, {"existing/TREND.HST", "Version 7"}},
    {"master_version_minus_1", Patch(kBackup, 138, Le16(-1)), 1, {"backup/TREND.HST", "Version -1"}},
    {"master_version_bytes_40_9C", Patch(kExisting, 138, "\x40\x9C"), 1, {"existing/TREND.HST", "Version -25536"}},
    {"versions_differ", Do([](Scenario& s) { ts::Build(s.root / "existing", Scenario::Describe(5, 14, 5)); }), 1,
     {"different trend versions", "existing/TREND.HST", "backup/TREND.HST"}},
    {"template_of_another_version", Do([](Scenario& s) { ts::BuildEmptyDataFile(s.templ, Scenario::Describe(4, 10, 0)); }),
     1, {"template/EMPTY.000", "Version is 4"}},
    {"template_is_a_master", Arg("--template", "@/existing/TREND.HST"), 1, {"empty data file", "existing/TREND.HST"}},
    {"backup_nFiles_minus_1", Patch(kBackup, 150, Le16(-1)), 1, {"backup/TREND.HST", "nFiles"}},
    {"backup_nFiles_0", Patch(kBackup, 150, Le16(0)), 0, {}, 3, 0},
    {"backup_nFiles_32767_short", Patch(kBackup, 150, Le16(32767)), 1, {"backup/TREND.HST", "truncated", "32767"}},
    {"AddOn_plus_nFiles_overflows", Patch(kExisting, 154, Le16(32767)), 1, {"existing/TREND.HST", "AddOn + nFiles", "overflows"}},
    {"name_with_slash", Name(kF + "TR/END.001"), 1, {"existing/TREND.HST", "record 1", "\"/\""}},
    {"name_dot_dot", Name(kF + ".."), 1, {"existing/TREND.HST", "record 1", "\"..\""}},
    {"name_control_character", Name(kF + "TR\x01" "END.001"), 1, {"existing/TREND.HST", "record 1", "control character"}},
    {"name_without_backslash", Name("TREND.001"), 1, {"existing/TREND.HST", "record 1", "no folder part"}},
    {"name_without_dot", Name(kF + "TREND001"), 1, {"existing/TREND.HST", "record 1", "no \".\""}},
    {"name_four_character_extension", Name(kF + "TREND.1000"), 1, {"existing/TREND.HST", "record 1", "more than three"}},
    {"name_300_byte_folder", Name("C:\\" + std::string(297, 'F') + "\\TREND.001"), 1, {"existing/TREND.HST", "record 1"}},
    {"hostile_name_not_taken", Patch(kExisting, 176, kF + "../../etc/passwd\0"s), 0, {}},
    {"date_empty", Arg("--break-date", ""), 1, {"break date \"\""}},
    {"date_month_13", Arg("--break-date", "13-01-2004"), 1, {"break date \"13-01-2004\"", "not a date"}},
    {"date_february_30", Arg("--break-date", "02-30-2004"), 1, {"break date \"02-30-2004\"", "not a date"}},
    {"date_with_time", Arg("--break-date", "2004-09-17 06:00"), 1, {"break date \"2004-09-17 06:00\"", "not a date"}},
    {"date_letters", Arg("--break-date", "abc"), 1, {"break date \"abc\"", "not a date"}},
    {"date_missing", Arg("--break-date", "-"), 2, {"--break-date"}},
    {"date_two_digit_year", Arg("--break-date", "1-1-99"), 0, {}, 4, 0, "1999-01-01", true},
    {"date_slashes", Arg("--break-date", "09/17/04"), 0, {}, 1, 4, "2004-09-17", true},
    {"date_year_first", Arg("--break-date", "2004-09-17"), 0, {}, 1, 4, "2004-09-17", true},
    {"date_blanks_around", Arg("--break-date", " 09-17-2004 "), 0, {}, 1, 4, "2004-09-17", true},
    {"files_0", Arg("--files", "0"), 1, {"at least 1", "0"}, 3, 4, nullptr, true},
    {"files_minus_3", Arg("--files", "-3"), 1, {"at least 1", "-3"}},
    {"files_40000", Arg("--files", "40000"), 2, {"--files", "40000"}},
    {"files_word", Arg("--files", "x"), 2, {"--files", "\"x\""}},
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
    {"date_year_0099", Arg("--break-date", "12-31-0099"), 1, {"break date \"12-31-0099\"", "not a date"}, 3, 4, nullptr, true},
    {"files_1001", Arg("--files", "1001"), 1, {"1001 data files", "TREND.1000", "at most 1000"}, 3, 4, nullptr, true},
    {"data_file_version_differs_from_record", Patch(kData1, 138, Le16(5)), 1,
     {"existing/TREND.HST", "record 1", "existing/TREND.001", "Version 5 but the record says 6"}, 3, 4, nullptr, true},
    {"data_file_history_type_differs_from_record", Patch(kData1, 248, Le16(4)), 1,
     {"record 1", "existing/TREND.001", "HistoryType 4 but the record says 0"}},
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
            EXPECT_EQ(RunCli({"inspect", "--check", (out / "TREND.HST").string()}, s.work).code, 0) << "the merged set checks clean";
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
    if (!jw::testsupport::CanLimitFileSize()) GTEST_SKIP() << "this system has no file size limit for a process";
    Scenario s(4000);
    const Tree before = Snapshot(s.root);
    const Result r = RunCli(s.MergeArgs(), s.work, {.limit = 16 * 1024, .stdoutTo = {}, .hook = {}});
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
    if (!jw::testsupport::CanLimitFileSize()) GTEST_SKIP() << "this system has no file size limit for a process";
    Scenario s;
    const fs::path data = s.root / "data";
    for (const std::string trend : {"AAA", "MMM", "ZZZ"})
        for (const bool backup : {true, false}) {
            ts::SetDescription d = Scenario::Describe(6, backup ? 10 : 14, 5);
            d.BaseName = trend + ".";
            if (trend == "ZZZ" && !backup) d.Files[3].Samples = 4000, d.Files[3].Capacity = 4003;
            ts::Build(data / (backup ? "backup" : "existing"), d);
            if (backup) ts::BuildEmptyDataFile(data / "templates" / (trend + ".000"), d);
        }
    const Tree inputs = Snapshot(s.root, "work");
    const Result r = RunCli({"merge-folder", "--backup", (data / "backup").string(), "--existing",
                             (data / "existing").string(), "--templates", (data / "templates").string(), "--break-date",
                             "09-15-2004", "--files", "9", "--output", s.out.string()},
                            s.work, {.limit = 16 * 1024, .stdoutTo = {}, .hook = {}});
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
