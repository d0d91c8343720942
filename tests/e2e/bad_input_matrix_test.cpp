// The bad-input matrix: damaged masters and data files, hostile recorded
// names, bad break dates, counts and output folders, each run through the
// real joinwright-cli merge (and its dry run).  Every row states the exit
// status and what the one-line reason names; for every row every input is
// byte-identical afterwards, nothing is written outside the output folder,
// and a refused merge leaves no output folder.  Every hostile file of a row
// is also shown with inspect (plain, --check, --json) and export: exit 0 or 1
// with a reason, never a crash.
#include <functional>
#include <ostream>

#include "E2eSupport.h"

namespace e2e {
namespace {

using namespace std::string_literals;

enum class Expect { Merged, Refused, Usage };

struct Row {
    const char* name;
    std::function<void(Scenario&, std::vector<std::string>&)> plant;
    Expect expect;
    // Exit 1 or 2: phrases the one-line reason contains (file, record, field).
    std::vector<std::string> reason = {};
    // Merged: how many files each set gives, and the break date as read.
    int fromExisting = -1, fromBackup = -1;
    const char* readDate = nullptr;
    // Files of the row that inspect and export must survive.
    std::function<std::vector<fs::path>(const Scenario&)> hostile = {};
};

// Test names and failure messages show a row by its name.
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

std::vector<fs::path> ExistingMaster(const Scenario& s) { return {s.existing}; }
std::vector<fs::path> BackupMaster(const Scenario& s) { return {s.backup}; }
std::vector<fs::path> TakenDataFile(const Scenario& s) { return {s.existingFiles.at(1)}; }
std::vector<fs::path> Template(const Scenario& s) { return {s.templ}; }

void Date(std::vector<std::string>& a, const char* d) { SetArg(a, "--break-date", d); }

// Names record 1 of the existing master (taken with the break date 09-15-2004).
std::function<void(Scenario&, std::vector<std::string>&)> Name(std::string name) {
    return [name](Scenario& s, std::vector<std::string>&) { SetName(s.existing, s.version, 1, name); };
}

const std::string kFolder = "C:\\Citect\\Data\\";

const Row kRows[] = {
    // --- Master files ---
    {"existing_master_empty", [](Scenario& s, auto&) { Cut(s.existing, 0); }, Expect::Refused,
     {"existing/TREND.HST", "0 bytes"}, -1, -1, nullptr, ExistingMaster},
    {"backup_master_empty", [](Scenario& s, auto&) { Cut(s.backup, 0); }, Expect::Refused,
     {"backup/TREND.HST", "0 bytes"}, -1, -1, nullptr, BackupMaster},
    {"existing_master_of_100_bytes", [](Scenario& s, auto&) { Cut(s.existing, 100); }, Expect::Refused,
     {"existing/TREND.HST", "100 bytes"}, -1, -1, nullptr, ExistingMaster},
    {"backup_master_of_100_bytes", [](Scenario& s, auto&) { Cut(s.backup, 100); }, Expect::Refused,
     {"backup/TREND.HST", "100 bytes"}, -1, -1, nullptr, BackupMaster},
    {"existing_master_cut_inside_a_record", [](Scenario& s, auto&) { Cut(s.existing, kMasterHeader + 2 * 448 + 100); },
     Expect::Refused, {"existing/TREND.HST", "truncated"}, -1, -1, nullptr, ExistingMaster},
    {"backup_master_cut_inside_a_record", [](Scenario& s, auto&) { Cut(s.backup, kMasterHeader + 3 * 448 + 447); },
     Expect::Refused, {"backup/TREND.HST", "truncated"}, -1, -1, nullptr, BackupMaster},
    {"existing_master_is_a_folder",
     [](Scenario& s, auto&) {
         fs::remove(s.existing);
         fs::create_directory(s.existing);
     },
     Expect::Refused, {"existing/TREND.HST"}, -1, -1, nullptr, ExistingMaster},
    {"backup_master_missing", [](Scenario& s, auto&) { fs::remove(s.backup); }, Expect::Refused, {"backup/TREND.HST"}},

    // --- Data files ---
    {"taken_data_file_cut_inside_its_header", [](Scenario& s, auto&) { Cut(s.existingFiles.at(1), 100); },
     Expect::Refused, {"existing/TREND.001", "record 1", "cut inside its header"}, -1, -1, nullptr, TakenDataFile},
    {"taken_data_file_of_unknown_version", [](Scenario& s, auto&) { Patch(s.existingFiles.at(1), kVersionAt, Int16(7)); },
     Expect::Refused, {"existing/TREND.001", "record 1", "version is 7"}, -1, -1, nullptr, TakenDataFile},
    {"taken_data_file_is_a_folder",
     [](Scenario& s, auto&) {
         fs::remove(s.existingFiles.at(1));
         fs::create_directory(s.existingFiles.at(1));
     },
     Expect::Refused, {"existing/TREND.001", "record 1", "not a regular file"}, -1, -1, nullptr, TakenDataFile},
    {"taken_data_file_missing", [](Scenario& s, auto&) { fs::remove(s.existingFiles.at(1)); }, Expect::Refused,
     {"existing/TREND.001", "record 1", "does not exist"}},
    {"taken_backup_data_file_missing", [](Scenario& s, auto&) { fs::remove(s.backupFiles.at(2)); }, Expect::Refused,
     {"backup/TREND.002", "record 2"}},
    {"taken_data_file_is_a_link",
     [](Scenario& s, auto&) {
         fs::remove(s.existingFiles.at(1));
         fs::create_symlink(s.templ, s.existingFiles.at(1));
     },
     Expect::Refused, {"existing/TREND.001", "symbolic link"}},
    {"data_file_not_taken_missing", [](Scenario& s, auto&) { fs::remove(s.existingFiles.at(0)); }, Expect::Merged, {},
     3, 4},
    {"data_file_not_taken_cut", [](Scenario& s, auto&) { Cut(s.existingFiles.at(0), 10); }, Expect::Merged, {}, 3, 4,
     nullptr, [](const Scenario& s) { return std::vector<fs::path>{s.existingFiles.at(0)}; }},

    // --- Versions and the template ---
    {"existing_master_version_7", [](Scenario& s, auto&) { Patch(s.existing, kVersionAt, Int16(7)); }, Expect::Refused,
     {"existing/TREND.HST", "Version 7"}, -1, -1, nullptr, ExistingMaster},
    {"backup_master_version_minus_1", [](Scenario& s, auto&) { Patch(s.backup, kVersionAt, Int16(-1)); },
     Expect::Refused, {"backup/TREND.HST", "Version -1"}, -1, -1, nullptr, BackupMaster},
    {"existing_master_version_bytes_40_9C", [](Scenario& s, auto&) { Patch(s.existing, kVersionAt, "\x40\x9C"); },
     Expect::Refused, {"existing/TREND.HST", "Version -25536"}, -1, -1, nullptr, ExistingMaster},
    {"versions_differ_between_the_sets",
     [](Scenario& s, auto&) { ts::Build(s.existingDir, Scenario::Describe(5, 14, 5)); }, Expect::Refused,
     {"different trend versions", "existing/TREND.HST", "backup/TREND.HST"}},
    {"template_of_another_version",
     [](Scenario& s, auto&) { ts::BuildEmptyDataFile(s.templ, Scenario::Describe(4, 10, 0)); }, Expect::Refused,
     {"template/EMPTY.000", "Version is 4"}, -1, -1, nullptr, Template},
    {"template_that_is_a_master_file",
     [](Scenario& s, auto& a) { SetArg(a, "--template", s.existing.string().c_str()); }, Expect::Refused,
     {"empty data file", "existing/TREND.HST"}},
    {"template_named_like_a_master",
     [](Scenario& s, auto& a) {
         fs::copy_file(s.templ, s.templateDir / "EMPTY.HST");
         SetArg(a, "--template", (s.templateDir / "EMPTY.HST").string().c_str());
     },
     Expect::Refused, {"template/EMPTY.HST", "HST"}},
    {"template_cut_inside_its_header", [](Scenario& s, auto&) { Cut(s.templ, 150); }, Expect::Refused,
     {"template/EMPTY.000"}, -1, -1, nullptr, Template},
    {"template_of_unknown_version", [](Scenario& s, auto&) { Patch(s.templ, kVersionAt, Int16(9)); }, Expect::Refused,
     {"template/EMPTY.000", "version is 9"}, -1, -1, nullptr, Template},
    {"template_missing", [](Scenario& s, auto&) { fs::remove(s.templ); }, Expect::Refused,
     {"template/EMPTY.000", "does not exist"}},

    // --- Counts in the masters ---
    {"backup_nFiles_minus_1", [](Scenario& s, auto&) { Patch(s.backup, kNFilesAt, Int16(-1)); }, Expect::Refused,
     {"backup/TREND.HST", "nFiles"}, -1, -1, nullptr, BackupMaster},
    {"backup_nFiles_0_takes_no_backup_record", [](Scenario& s, auto&) { Patch(s.backup, kNFilesAt, Int16(0)); },
     Expect::Merged, {}, 3, 0, nullptr, BackupMaster},
    {"backup_nFiles_32767_with_a_short_file", [](Scenario& s, auto&) { Patch(s.backup, kNFilesAt, Int16(32767)); },
     Expect::Refused, {"backup/TREND.HST", "truncated", "32767"}, -1, -1, nullptr, BackupMaster},
    {"existing_nFiles_minus_1", [](Scenario& s, auto&) { Patch(s.existing, kNFilesAt, Int16(-1)); }, Expect::Refused,
     {"existing/TREND.HST", "nFiles"}, -1, -1, nullptr, ExistingMaster},
    {"existing_AddOn_plus_nFiles_overflows_16_bits",
     [](Scenario& s, auto&) { Patch(s.existing, kAddOnAt, Int16(32767)); }, Expect::Refused,
     {"existing/TREND.HST", "AddOn + nFiles", "overflows"}, -1, -1, nullptr, ExistingMaster},
    {"existing_AddOn_negative", [](Scenario& s, auto&) { Patch(s.existing, kAddOnAt, Int16(-2)); }, Expect::Refused,
     {"existing/TREND.HST", "AddOn"}, -1, -1, nullptr, ExistingMaster},

    // --- Recorded names of a taken record ---
    {"name_with_slash", Name(kFolder + "TR/END.001"), Expect::Refused, {"existing/TREND.HST", "record 1", "\"/\""},
     -1, -1, nullptr, ExistingMaster},
    {"name_dot_dot", Name(kFolder + ".."), Expect::Refused, {"existing/TREND.HST", "record 1", "\"..\""}, -1, -1,
     nullptr, ExistingMaster},
    {"name_dot", Name(kFolder + "."), Expect::Refused, {"existing/TREND.HST", "record 1"}},
    {"name_with_control_character", Name(kFolder + "TR\x01" "END.001"), Expect::Refused,
     {"existing/TREND.HST", "record 1", "control character"}, -1, -1, nullptr, ExistingMaster},
    {"name_without_backslash", Name("TREND.001"), Expect::Refused,
     {"existing/TREND.HST", "record 1", "no folder part"}, -1, -1, nullptr, ExistingMaster},
    {"name_ending_in_backslash", Name(kFolder), Expect::Refused, {"existing/TREND.HST", "record 1"}},
    {"name_empty", Name(""), Expect::Refused, {"existing/TREND.HST", "record 1", "no folder part"}},
    {"name_without_dot", Name(kFolder + "TREND001"), Expect::Refused, {"existing/TREND.HST", "record 1", "no \".\""},
     -1, -1, nullptr, ExistingMaster},
    {"name_with_four_character_extension", Name(kFolder + "TREND.1000"), Expect::Refused,
     {"existing/TREND.HST", "record 1", "more than three characters"}, -1, -1, nullptr, ExistingMaster},
    {"name_with_300_byte_folder", Name("C:\\" + std::string(297, 'F') + "\\TREND.001"), Expect::Refused,
     {"existing/TREND.HST", "record 1"}, -1, -1, nullptr, ExistingMaster},
    {"name_with_260_byte_file_name", Name("C:\\D\\" + std::string(256, 'N') + ".001"), Expect::Refused,
     {"existing/TREND.HST", "record 1", "bytes long"}, -1, -1, nullptr, ExistingMaster},
    {"name_whose_new_name_does_not_fit", Name("C:\\" + std::string(265, 'F') + "\\T.1"), Expect::Refused,
     {"existing/TREND.HST", "record 1", "does not fit"}},
    {"name_of_the_master_itself", Name(kFolder + "TREND.HST"), Expect::Refused,
     {"existing/TREND.HST", "record 1", "is the existing master itself"}},
    {"hostile_name_on_a_record_not_taken",
     [](Scenario& s, auto&) { SetName(s.existing, s.version, 0, kFolder + "../../etc/passwd"); }, Expect::Merged, {},
     3, 4, nullptr, ExistingMaster},
    {"name_with_leftovers_after_its_NUL", Name(kFolder + "TREND.001\0.x\\OLD.ABCD"s), Expect::Merged,
     {}, 3, 4},
    {"name_in_other_letter_case", Name(kFolder + "trend.001"), Expect::Merged, {}, 3, 4},

    // --- Break dates ---
    {"break_date_empty", [](Scenario&, auto& a) { Date(a, ""); }, Expect::Refused, {"break date \"\""}},
    {"break_date_month_13", [](Scenario&, auto& a) { Date(a, "13-01-2004"); }, Expect::Refused,
     {"break date \"13-01-2004\"", "not a date"}},
    {"break_date_february_30", [](Scenario&, auto& a) { Date(a, "02-30-2004"); }, Expect::Refused,
     {"break date \"02-30-2004\"", "not a date"}},
    {"break_date_with_time_of_day", [](Scenario&, auto& a) { Date(a, "2004-09-17 06:00"); }, Expect::Refused,
     {"break date \"2004-09-17 06:00\"", "not a date"}},
    {"break_date_letters", [](Scenario&, auto& a) { Date(a, "abc"); }, Expect::Refused,
     {"break date \"abc\"", "not a date"}},
    {"break_date_missing", [](Scenario&, auto& a) { SetArg(a, "--break-date", nullptr); }, Expect::Usage,
     {"--break-date"}},
    {"break_date_two_digit_year", [](Scenario&, auto& a) { Date(a, "1-1-99"); }, Expect::Merged, {}, 4, 0,
     "1999-01-01"},
    {"break_date_slashes_two_digit_year", [](Scenario&, auto& a) { Date(a, "09/17/04"); }, Expect::Merged, {}, 1, 4,
     "2004-09-17"},
    {"break_date_year_first", [](Scenario&, auto& a) { Date(a, "2004-09-17"); }, Expect::Merged, {}, 1, 4,
     "2004-09-17"},
    {"break_date_with_blanks_around", [](Scenario&, auto& a) { Date(a, " 09-17-2004 "); }, Expect::Merged, {}, 1, 4,
     "2004-09-17"},

    // --- The number of files ---
    {"files_0", [](Scenario&, auto& a) { SetArg(a, "--files", "0"); }, Expect::Refused, {"at least 1", "0"}},
    {"files_minus_3", [](Scenario&, auto& a) { SetArg(a, "--files", "-3"); }, Expect::Refused, {"at least 1", "-3"}},
    {"files_too_few_for_the_break_date", [](Scenario&, auto& a) { SetArg(a, "--files", "6"); }, Expect::Refused,
     {"needs 7 data files", "3 from the existing set", "4 from the backup set"}},
    {"files_40000", [](Scenario&, auto& a) { SetArg(a, "--files", "40000"); }, Expect::Usage, {"--files", "40000"}},
    {"files_word", [](Scenario&, auto& a) { SetArg(a, "--files", "x"); }, Expect::Usage, {"--files", "\"x\""}},
    {"files_fraction", [](Scenario&, auto& a) { SetArg(a, "--files", "2.5"); }, Expect::Usage, {"--files", "2.5"}},
    {"files_missing", [](Scenario&, auto& a) { SetArg(a, "--files", nullptr); }, Expect::Usage, {"--files"}},

    // --- The output folder ---
    {"output_folder_exists",
     [](Scenario& s, auto&) {
         fs::create_directory(s.out);
         WriteFile(s.out / "keep.txt", "kept");
     },
     Expect::Refused, {"work/out", "already exists"}},
    {"output_folder_parent_missing",
     [](Scenario& s, auto& a) { SetArg(a, "--output", (s.work / "nowhere" / "out").string().c_str()); },
     Expect::Refused, {"work/nowhere", "does not exist"}},
    {"output_folder_parent_is_a_file",
     [](Scenario& s, auto& a) {
         WriteFile(s.work / "file", "not a folder");
         SetArg(a, "--output", (s.work / "file" / "out").string().c_str());
     },
     Expect::Refused, {"work/file", "not a folder"}},
    {"output_folder_is_the_backup_folder",
     [](Scenario& s, auto& a) { SetArg(a, "--output", s.backupDir.string().c_str()); }, Expect::Refused,
     {"backup", "already exists"}},
    {"output_folder_inside_the_backup_folder",
     [](Scenario& s, auto& a) { SetArg(a, "--output", (s.backupDir / "merged").string().c_str()); }, Expect::Merged, {},
     3, 4},
    {"output_folder_relative_to_the_current_folder", [](Scenario&, auto& a) { SetArg(a, "--output", "merged"); },
     Expect::Merged, {}, 3, 4},
};

// The output folder the arguments name, as the program will see it.
fs::path OutputOf(const std::vector<std::string>& args, const Scenario& s) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--output") {
            const fs::path p = args[i + 1];
            return (p.is_absolute() ? p : s.work / p).lexically_normal();
        }
    return s.out;
}

class Matrix : public ::testing::TestWithParam<std::tuple<Row, bool>> {};

TEST_P(Matrix, ExitStatusReasonAndUntouchedInputs) {
    const auto& [row, dryRun] = GetParam();
    TempRoot root;
    Scenario s(root.path());
    std::vector<std::string> args = s.MergeArgs();
    row.plant(s, args);
    if (dryRun) args.push_back("--dry-run");
    const fs::path out = OutputOf(args, s);
    const std::string outKey = out.lexically_relative(root.path()).string();
    const bool outExisted = fs::exists(fs::symlink_status(out));

    const Tree before = Snapshot(root.path());
    ASSERT_TRUE(before.count("existing/TREND.002") && before.count("backup/TREND.003")) << "the snapshot sees the sets";
    const Result r = RunCli(args, {s.work});
    const Tree after = Snapshot(root.path());

    ASSERT_EQ(r.signal, 0) << "killed by signal " << r.signal << "\n" << r.err;
    const int expected = row.expect == Expect::Merged ? 0 : row.expect == Expect::Refused ? 1 : 2;
    EXPECT_EQ(r.code, expected) << r.out << r.err;

    // Inputs byte-identical, nothing written outside the output folder.
    if (outExisted) {
        EXPECT_EQ(after, before) << Differences(before, after);
    } else {
        Tree b = Outside(before, outKey), a = Outside(after, outKey);
        a.erase(outKey);
        EXPECT_EQ(a, b) << Differences(b, a);
    }

    if (row.expect != Expect::Merged) {
        EXPECT_EQ(r.out.find(kMerged), std::string::npos) << r.out;
        if (!outExisted) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(out))) << "no output folder is left: " << out;
        }
        const auto lines = r.ErrLines();
        ASSERT_FALSE(lines.empty());
        const std::string lead = row.expect == Expect::Refused ? "joinwright-cli: error: " : "joinwright-cli: usage error: ";
        EXPECT_EQ(lines[0].rfind(lead, 0), 0U) << lines[0];
        if (row.expect == Expect::Refused) {
            EXPECT_EQ(lines.size(), 1U) << "one line: " << r.err;
        }
        for (const auto& part : row.reason) EXPECT_NE(lines[0].find(part), std::string::npos) << part << " in " << lines[0];
        return;
    }

    EXPECT_EQ(r.err.find("error"), std::string::npos) << r.err;
    if (dryRun) {
        EXPECT_NE(r.out.find("Dry run: nothing was written."), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(out)) << "a dry run creates no folder";
        if (row.readDate) {
            EXPECT_NE(r.out.find(std::string("Break date:     ") + row.readDate), std::string::npos) << r.out;
        }
        EXPECT_NE(r.out.find(std::to_string(row.fromExisting) + " from the existing set, " +
                             std::to_string(row.fromBackup) + " from the backup set"),
                  std::string::npos)
            << r.out;
        return;
    }
    EXPECT_NE(r.out.find(kMerged), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("From the existing set:  " + std::to_string(row.fromExisting) + " data file"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("From the backup set:    " + std::to_string(row.fromBackup) + " data file"), std::string::npos)
        << r.out;
    const Result check = RunCli({"inspect", "--check", (out / "TREND.HST").string()}, {s.work});
    EXPECT_EQ(check.code, 0) << check.out << check.err;
}

INSTANTIATE_TEST_SUITE_P(Rows, Matrix, ::testing::Combine(::testing::ValuesIn(kRows), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_dry" : "_merge");
                         });

// inspect and export of every hostile file: 0 or 1 with a reason on standard
// error, never a signal; the file unchanged.
class HostileFiles : public ::testing::TestWithParam<Row> {};

std::vector<Row> RowsWithHostileFiles() {
    std::vector<Row> rows;
    for (const Row& r : kRows)
        if (r.hostile) rows.push_back(r);
    return rows;
}

TEST_P(HostileFiles, InspectAndExportNeverCrash) {
    const Row& row = GetParam();
    TempRoot root;
    Scenario s(root.path());
    std::vector<std::string> args = s.MergeArgs();
    row.plant(s, args);
    const Tree before = Snapshot(root.path());
    for (const fs::path& file : row.hostile(s)) {
        const std::vector<std::vector<std::string>> commands{
            {"inspect", file.string()},
            {"inspect", "--check", file.string()},
            {"inspect", "--json", file.string()},
            {"export", file.string()},
        };
        for (const auto& command : commands) {
            const Result r = RunCli(command, {s.work});
            std::string shown;
            for (const auto& c : command) shown += c + " ";
            ASSERT_EQ(r.signal, 0) << shown << "killed by signal " << r.signal << "\n" << r.err;
            EXPECT_TRUE(r.code == 0 || r.code == 1) << shown << r.code << "\n" << r.err;
            if (r.code == 1) {
                const auto lines = r.ErrLines();
                ASSERT_FALSE(lines.empty()) << shown;
                EXPECT_EQ(lines.back().rfind("joinwright-cli: error: ", 0), 0U) << shown << lines.back();
                for (const auto& l : lines) EXPECT_EQ(l.rfind("joinwright-cli: ", 0), 0U) << shown << l;
            }
        }
    }
    const Tree after = Snapshot(root.path());
    EXPECT_EQ(after, before) << Differences(before, after);
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileFiles, ::testing::ValuesIn(RowsWithHostileFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

// Files the running user cannot read or folders it cannot write into: only
// meaningful for an ordinary user (root reads and writes anyway).
TEST(Permissions, UnreadableDataFileAndUnwritableParentAreRefused) {
    if (::geteuid() == 0) GTEST_SKIP() << "running as root: permissions do not stop root";
    TempRoot root;
    Scenario s(root.path());

    const Tree before = Snapshot(root.path());
    fs::permissions(s.existingFiles.at(1), fs::perms::none);
    Result r = RunCli(s.MergeArgs(), {s.work});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("TREND.001"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(s.out));
    fs::permissions(s.existingFiles.at(1), fs::perms::owner_read | fs::perms::owner_write);

    const fs::path ro = s.work / "ro";
    fs::create_directory(ro);
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
    auto args = s.MergeArgs();
    SetArg(args, "--output", (ro / "out").string().c_str());
    r = RunCli(args, {s.work});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("work/ro/out"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(ro / "out"));
    EXPECT_EQ(r.out.find(kMerged), std::string::npos);
    fs::permissions(ro, fs::perms::owner_all);
    fs::remove(ro);
    EXPECT_EQ(Outside(Snapshot(root.path()), "work/ro"), Outside(before, "work/ro"));
}

}  // namespace
}  // namespace e2e
