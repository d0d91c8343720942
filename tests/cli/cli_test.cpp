// joinwright-cli through the real executable: the dry run against the merge
// it plans, inspect of every trend version, how commands refuse and what
// --check finds, and the CSV of every sample layout.  Damaged trend sets
// given to merge are the whole-program tests' matter (the whole-program rows of this folder).
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>

#include "cli/CliTest.h"
#include "trendset/TrendSetBuilder.h"

namespace {

using namespace jw::clitest;
using nlohmann::json;
namespace ts = jw::trendset;
constexpr auto npos = std::string::npos;

// Backup: four two-day files from 2004-09-10; existing: four from 2004-09-14;
// six samples written of each, in "°C", the newest file of each set
// preallocated for two more; the empty data file beside them.  Returns the
// existing set's description.
ts::SetDescription BuildSets(const fs::path& root, std::int16_t v, std::int16_t historyType = 0) {
    ts::SetDescription s;
    s.Version = v, s.HistoryType = historyType, s.EngUnits = "\xB0" "C";  // Windows-1252
    for (int first : {10, 14}) {
        s.Files.clear();
        for (int d = first; d < first + 8; d += 2)
            s.Files.push_back({ts::RawTime(v, 2004, 9, d), ts::RawTime(v, 2004, 9, d + 1, 23, 59, 59), 6, {}});
        s.Files.back().Capacity = 8;
        ts::Build(root / (first == 10 ? "backup" : "existing"), s);
    }
    ts::BuildEmptyDataFile(root / "empty.000", s);
    return s;
}

std::vector<std::string> Merge(const std::string& files, std::vector<std::string> more = {}) {
    more.insert(more.begin(), {"merge", "--backup", "backup/TREND.HST", "--existing", "existing/TREND.HST",
                               "--template", "empty.000", "--files", files, "--break-date", "09-14-2004"});
    return more;
}

std::string Day(int d) { return "2004-09-" + std::to_string(d) + " "; }

TEST(Merge, DryRunWritesNothingAndThePlanIsWhatTheMergeWrites) {
    TempFolder dir;
    BuildSets(dir.path, 5);
    const auto before = Snapshot(dir.path);
    const Result dry = RunCli(Merge("8", {"--dry-run", "--json", "--output", "out"}), dir.path);
    ASSERT_EQ(dry.code, 0) << dry.err;
    EXPECT_EQ(Snapshot(dir.path), before) << "a dry run writes nothing and creates no folder";
    const json plan = json::parse(dry.out);
    EXPECT_EQ(plan["takenExisting"].dump() + plan["takenBackup"].dump() + plan["templateCopies"].dump(), "422");
    EXPECT_EQ(fs::path(plan["outputFolder"].get<std::string>()), dir.path / "out");

    // The merge, into the default folder "Merged trenddata HH-MM-SS" here.
    const Result merged = RunCli(Merge("8"), dir.path);
    ASSERT_EQ(merged.code, 0) << merged.err;
    EXPECT_EQ(merged.out.rfind("The trendfiles are now merged.\n", 0), 0U) << merged.out;
    std::string made;  // the name of what is new: "Merged trenddata HH-MM-SS"
    for (const auto& e : fs::directory_iterator(dir.path))
        if (!before.count(e.path().filename().string())) made += e.path().filename().string();
    unsigned h = 24, m = 60, sec = 60;
    std::sscanf(made.c_str(), "Merged trenddata %2u-%2u-%2u", &h, &m, &sec);
    char name[64];
    std::snprintf(name, sizeof name, "Merged trenddata %02u-%02u-%02u", h, m, sec);
    ASSERT_TRUE(h < 24 && m < 60 && sec < 60 && made == name) << made;

    // Every planned copy is there with its source's bytes, nothing else is;
    // the merged master passes --check: each record names its own data file.
    const std::string master = (dir.path / made / "TREND.HST").string();
    Tree expected{{"TREND.HST", Fingerprint(ReadFile(master))}};
    for (const auto& e : plan["entries"])
        expected[fs::path(e["target"].get<std::string>()).filename().string()] =
            Fingerprint(ReadFile(e["source"].get<std::string>()));
    EXPECT_EQ(Snapshot(dir.path / made), expected);
    const Result check = RunCli({"inspect", master, "--check"}, dir.path);
    EXPECT_TRUE(check.code == 0 && check.out.find("  nFiles      8\n") != npos) << check.out << check.err;

    // Exported, the merged set comes in time order: the backup's files first,
    // though their records come after the existing set's.
    std::string csv = "time,value\n";
    for (int f = 0; f < 6; ++f)
        for (int k = 1; k <= 6; ++k)
            csv += Day(10 + 2 * f) + "00:00:0" + std::to_string(k - 1) + ".000," +
                   std::to_string(ts::SampleInt16(f < 2 ? f : f - 2, k)) + "\n";
    EXPECT_EQ(RunCli({"export", master}, dir.path).out, csv);
}

// --- inspect -----------------------------------------------------------------

// What inspect shows of a set of the version: sample size and layout name.
struct VersionCase { std::int16_t version, historyType; int sampleSize; const char* layout; };

class InspectVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(InspectVersion, MasterAndDataFileAsTextAndJson) {
    const VersionCase& c = GetParam();
    TempFolder dir;
    const ts::SetDescription desc = BuildSets(dir.path, c.version, c.historyType);
    const Result mj = RunCli({"inspect", "existing/TREND.HST", "--json"}, dir.path);
    const Result dj = RunCli({"inspect", "existing/TREND.001", "--json"}, dir.path);
    ASSERT_EQ(mj.code + dj.code, 0) << mj.err << dj.err;
    const std::string text = RunCli({"inspect", "existing/TREND.HST"}, dir.path).out +
                             RunCli({"inspect", "existing/TREND.001"}, dir.path).out;
    const json master = json::parse(mj.out), data = json::parse(dj.out);
    ASSERT_TRUE(master["header"]["Version"] == c.version && master["records"].size() == 4) << master;
    for (int i = 0; i < 4; ++i) {
        const json& r = master["records"][i];
        const std::string start = Day(14 + 2 * i) + "00:00:00", end = Day(15 + 2 * i) + "23:59:59";
        EXPECT_TRUE(r["StartTime"]["raw"] == desc.Files[i].StartTime && r["EndTime"]["raw"] == desc.Files[i].EndTime &&
                    r["EndTime"]["text"] == end && r["dataFile"]["exists"] == true) << r;
        EXPECT_NE(text.find("TREND.00" + std::to_string(i) + "  " + start + "  " + end), npos) << text;
    }
    EXPECT_TRUE(data["SampleSize"] == c.sampleSize && data["sampleLayout"] == c.layout && data["samples"] == 6 &&
                data["header"]["StartTime"]["raw"] == desc.Files[1].StartTime &&
                data["header"]["sEngUnits"].get<std::string>().rfind(std::string("\xC2\xB0" "C\0", 4), 0) == 0) << data;
    // Periodic samples lie 1000 seconds apart under versions 0 and 1, a second under the others.
    const bool events = c.historyType == 4;
    const char* key = events ? "raw" : "text";
    const json times =
        events ? json::array({ts::EventTime(desc, desc.Files[1], 1), ts::EventTime(desc, desc.Files[1], 6)})
               : json::array({Day(16) + "00:00:00.000", Day(16) + (c.version < 2 ? "01:23:20.000" : "00:00:05.000")});
    EXPECT_EQ(json::array({data["firstSample"][key], data["lastSample"][key]}), times);
    EXPECT_TRUE(text.find("  sEngUnits     \xC2\xB0" "C\n") != npos &&  // °C as UTF-8
                text.find("  StartTime     " + Day(16) + "00:00:00 (stored ") != npos) << text;
}

const VersionCase kVersions[] = {{0, 0, 2, "int16"}, {1, 0, 2, "int16"}, {2, 0, 2, "int16"},   {3, 0, 2, "int16"},
                                 {4, 0, 8, "double"}, {5, 0, 2, "int16"}, {6, 0, 8, "double"}, {0, 4, 12, "event32"},
                                 {6, 4, 16, "event64"}};
INSTANTIATE_TEST_SUITE_P(Versions, InspectVersion, ::testing::ValuesIn(kVersions));

// --- How commands end: refusals, usage errors, --check -----------------------

using Plant = std::function<void(const fs::path&)>;

// Writes bytes into a file at an absolute offset.
Plant Patch(const std::string& file, std::size_t at, const std::string& bytes) {
    return [=](const fs::path& d) { WriteFile(d / file, ReadFile(d / file).replace(at, bytes.size(), bytes)); };
}

// Version 6 sets, a master away from its data files, and data files no export can take.
void Prepare(const fs::path& d) {
    BuildSets(d, 6);
    fs::copy_file(d / "backup/TREND.HST", d / "lone.HST");
    WriteFile(d / "notes.000", std::string(400, 'x'));
    WriteFile(d / "flat.000", RawDataFile{.Version = 2, .RawZero = 5, .RawFull = 5, .Samples = "\1\1"}.Bytes());
}

// args run where Prepare (and then plant) wrote the files; text is looked for
// in standard output (exit 0, --check), else in the one line on standard error.
struct Outcome { const char* name; int code; std::vector<std::string> args; const char* text; Plant plant = {}; };

class Outcomes : public ::testing::TestWithParam<Outcome> {};

TEST_P(Outcomes, ExitStatusAndReasonAndNothingWritten) {
    const Outcome& c = GetParam();
    TempFolder dir;
    Prepare(dir.path);
    if (c.plant) c.plant(dir.path);
    const auto before = Snapshot(dir.path);
    const Result r = RunCli(c.args, dir.path);
    EXPECT_EQ(r.code, c.code) << r.out << r.err;
    EXPECT_EQ(Snapshot(dir.path), before) << "no file or folder is left behind, no input changed";
    const bool toOut = c.code == 0 || std::count(c.args.begin(), c.args.end(), "--check");
    const std::string line = r.err.substr(0, r.err.find('\n'));
    // A folder in the text may show with the system's own separator.
    const std::string& said = toOut ? r.out : line;
    EXPECT_TRUE(said.find(c.text) != npos || said.find(fs::path(c.text).make_preferred().string()) != npos)
        << r.out << r.err;
    if (c.code == 0) return;
    EXPECT_TRUE(toOut || r.out.empty()) << r.out;
    EXPECT_EQ(line.rfind(c.code == 1 ? "joinwright-cli: error: " : "joinwright-cli: usage error: ", 0), 0U) << r.err;
    EXPECT_TRUE(c.code != 1 || r.err.size() == line.size() + 1) << "one line: " << r.err;
}

const std::string kMaster = "existing/TREND.HST";
constexpr std::size_t kRecord = 176 + 448, kName = 272;  // record 1 of a version 6 master, its Name's width
const std::vector<std::string> kCheck = {"inspect", "--check", kMaster};
const Plant kStartZero = Patch(kMaster, kRecord + kName + 138, Pack<std::int64_t>(0));  // record 1's StartTime

const Outcome kOutcomes[] = {
    {"help_tells_to_stop_trending", 0, {"merge", "--help"}, "Stop trending in Citect"},
    {"version", 0, {"--version"}, "joinwright-cli "},
    {"files_below_1", 2, Merge("0"), "1..32767"},
    {"files_past_16_bits", 2, Merge("32768"), "--files"},
    // merge-folder takes empty options as merge does: a usage error naming the option.
    {"folder_output_empty", 2, {"merge-folder", "--backup", "b", "--existing", "e", "--templates", "t", "--break-date", "1-1-2004", "--output", ""}, "--output"},
    {"folder_backup_empty", 2, {"merge-folder", "--backup", "", "--existing", "e", "--templates", "t", "--break-date", "1-1-2004", "--output", "o"}, "--backup"},
    {"folder_only_empty", 2, {"merge-folder", "--backup", "b", "--existing", "e", "--templates", "t", "--break-date", "1-1-2004", "--output", "o", "--only", ""}, "--only"},
    {"export_from_not_a_date", 2, {"export", "empty.000", "--from", "2004-02-30"}, "\"2004-02-30\" is not a time"},
    {"export_from_after_to", 2, {"export", "empty.000", "--from", "2004-09-18", "--to", "2004-09-17"}, "later than"},
    {"inspect_not_a_trend_file", 1, {"inspect", "notes.000"}, "not a valid trend file"},
    {"export_not_a_trend_file", 1, {"export", "notes.000"}, "not a valid trend file"},
    {"export_scaling_without_range", 1, {"export", "flat.000", "--scaled"}, "cannot be scaled"},
    {"inspect_picture_never_replaces", 1, {"inspect", "existing/TREND.HST", "--picture", "existing/TREND.000"},
     "never replaces"},
    {"export_onto_its_input", 1, {"export", "empty.000", "-o", "empty.000"}, "inputs are never written"},
    {"export_onto_a_device_name", 1, {"export", "empty.000", "-o", "Nul.csv"}, "Windows device name \"Nul\""},
    {"export_set_missing_a_data_file", 1, {"export", "lone.HST"}, "its data file ./TREND.000 does not exist"},
    // Names are looked up whole (a merge of 1000 files or more), in any case; a record whose
    // start time is 0 (a template record) is compared on Version and HistoryType only.
    {"check_four_digit_number_in_other_case_start_zero", 0, kCheck, "Check: no problems found.", [](auto& d) {
         Patch(kMaster, kRecord, "C:\\Citect\\Data\\TREND.1000")(d), kStartZero(d);
         fs::rename(d / "existing/TREND.001", d / "existing/trend.1000");
     }},
    {"check_start_zero_compares_history_type", 1, kCheck, "record 1: data file existing/TREND.001 has HistoryType 4",
     [](auto& d) { kStartZero(d), Patch("existing/TREND.001", 248, "\4")(d); }},
    // Times that differ below the millisecond are shown to the 100-ns tick.
    {"check_start_disagrees_by_ticks", 1, kCheck, "starts 2004-09-20 00:00:00.0000328, the record says 2004-09-20 00:00:00.0000000",
     Patch("existing/TREND.003", 266, Pack<std::int64_t>(ts::RawTime(6, 2004, 9, 20) + 328))},
    // The validity rule (its faults: tests/formats/validity_test.cpp), applied by inspect
    // --check and export: a data file as a master, a time outside the calendar.
    {"check_data_file_named_as_master", 1, {"inspect", "--check", "existing/OTHER.HST"},
     "this is a data file, not a master file (its header is a data file header); choose the master ",
     [](auto& d) { fs::copy_file(d / "existing/TREND.001", d / "existing/OTHER.HST"); }},
    {"check_time_outside_calendar", 1, {"inspect", "--check", "existing/TREND.002"},
     "StartTime -9223372036854775808 ticks lies outside the years 100 to 9999",
     Patch("existing/TREND.002", 266, Pack<std::int64_t>(INT64_MIN))},
    {"export_time_outside_calendar", 1, {"export", "existing/TREND.002"},
     "EndTime 9223372036854775807 ticks lies outside the years 100 to 9999",
     Patch("existing/TREND.002", 274, Pack<std::int64_t>(INT64_MAX))},
    {"export_set_applies_the_rule", 1, {"export", kMaster}, "has Version 5, the record says 6",
     Patch("existing/TREND.000", 138, "\5")},
    {"check_file_pointer_of_data_file", 1, {"inspect", "--check", "existing/TREND.002"},
     "FilePointer 9 lies outside 0..DataLength (6)", Patch("existing/TREND.002", 128 + 158, Pack<std::int32_t>(9))},
    {"check_record_version_differs_json", 1, {"inspect", "--check", "--json", kMaster},
     "\"text\": \"record 2: Version 5 differs from the master's Version 6\"",
     Patch(kMaster, kRecord + 448 + kName + 10, "\5")},
};

INSTANTIATE_TEST_SUITE_P(Commands, Outcomes, ::testing::ValuesIn(kOutcomes),
                         [](const auto& info) { return std::string(info.param.name); });

// --- export ------------------------------------------------------------------

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// rows: "HH:MM:SS.mmm,value" of 2004-09-17; cut: bytes cut off the file's end;
// notice: what standard error then says.
struct ExportCase {
    const char* name; RawDataFile file; std::vector<std::string> options, rows;
    std::size_t cut = 0; const char* notice = "";
};

class Export : public ::testing::TestWithParam<ExportCase> {};

TEST_P(Export, WritesTheExpectedRows) {
    const ExportCase& c = GetParam();
    TempFolder dir;
    const std::string bytes = c.file.Bytes();
    WriteFile(dir.path / "TREND.000", bytes.substr(0, bytes.size() - c.cut));
    std::vector<std::string> args = c.options;
    args.insert(args.begin(), {"export", "TREND.000"});
    const Result r = RunCli(args, dir.path);
    std::string csv = "time,value\n";
    for (const auto& row : c.rows) csv += "2004-09-17 " + row + "\n";
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, csv);
    EXPECT_TRUE(r.err.find(c.notice) != npos && r.err.empty() == !*c.notice) << r.err;
}

const ExportCase kExports[] = {
    {"int16_ms_period", {.Version = 2, .PeriodRaw = 1500, .Samples = Pack<std::int16_t>(100, -5, 32767)}, {},
     {"06:45:30.000,100", "06:45:31.500,-5", "06:45:33.000,32767"}},
    {"double_in_a_window", {.PeriodRaw = 250, .Samples = Pack<double>(1.5, -0.125, 1e-300, 4)},
     {"--from", "2004-09-17 06:45:30.250", "--to", "2004-09-17T06:45:30.750"},
     {"06:45:30.250,-0.125", "06:45:30.500,1e-300"}},
    {"event32_up_to_time_zero",
     {.Version = 5, .HistoryType = 4,
      .Samples = Pack<std::int32_t>(42, kCitect, 250, -7, kCitect + 2, 999, 0, 0, 0, 5, kCitect + 5, 0)},
     {}, {"06:45:30.250,42", "06:45:32.999,-7"}},
    {"event64_up_to_time_zero_before_to",
     {.Version = 4, .HistoryType = 4,
      .Samples = Event64(3.25, kTicks + 1'234'567) + Event64(kNaN, kTicks) + Event64(7, kTicks + 20'000'000) +
                 Event64(9, 0) + Event64(8, kTicks)},
     {"--to", "2004-09-17 06:45:32"}, {"06:45:30.123,3.25", "06:45:30.000,"}},
    // Invalid markers give empty values, or no rows with --skip-invalid; --scaled maps
    // 16-bit values to engineering units.
    {"int16_scaled_and_markers", {.Version = 3, .Samples = Pack<std::int16_t>(16000, -32002, 8000, -32001, 32000)},
     {"--scaled"}, {"06:45:30.000,50", "06:45:31.000,", "06:45:32.000,25", "06:45:33.000,", "06:45:34.000,100"}},
    {"double_nan_skipped", {.Samples = Pack<double>(kNaN, 1, -kNaN)}, {"--skip-invalid"}, {"06:45:31.000,1"}},
    // A preallocated file stops at its end time, one cut short at its last whole sample.
    {"preallocated", {.End = 2, .Samples = Pack<double>(0, 1, 2, 3, 4)}, {},
     {"06:45:30.000,0", "06:45:31.000,1", "06:45:32.000,2"}},
    {"cut_short", {.Samples = Pack<double>(0, 1, 2)}, {}, {"06:45:30.000,0", "06:45:31.000,1"}, 4,
     "joinwright-cli: notice: TREND.000: the file ends 4 bytes into sample 3"},
    // Runtime-shaped files: preallocated for DataLength samples, FilePointer of them written.
    {"written_only", {.Samples = Pack<double>(7, 8, 0, 0), .DataLength = 4, .FilePointer = 2}, {},
     {"06:45:30.000,7", "06:45:31.000,8"}},
    {"written_and_unwritten", {.Samples = Pack<double>(7, 8, 0, 0), .DataLength = 4, .FilePointer = 2},
     {"--include-unwritten"}, {"06:45:30.000,7", "06:45:31.000,8", "06:45:32.000,0", "06:45:33.000,0"}},
    {"events_written", {.Version = 6, .HistoryType = 4,
                        .Samples = Event64(1, kTicks) + Event64(2, kTicks + 10'000'000) + Event64(3, kTicks + 20'000'000),
                        .DataLength = 3, .FilePointer = 2},
     {}, {"06:45:30.000,1", "06:45:31.000,2"}},
    {"events_unwritten_included", {.Version = 0, .HistoryType = 4,
                                   .Samples = Pack<std::int32_t>(5, kCitect, 0, 6, kCitect + 1, 0),
                                   .DataLength = 2, .FilePointer = 1},
     {"--include-unwritten"}, {"06:45:30.000,5", "06:45:31.000,6"}},
};

INSTANTIATE_TEST_SUITE_P(Layouts, Export, ::testing::ValuesIn(kExports),
                         [](const auto& info) { return std::string(info.param.name); });

// --- One reading of a set for merge, inspect and export ------------------------

// A set shaped as the runtime leaves it, four nFiles records and one AddOn
// record present, kept as a ring (the newest file in slot 1, partly written),
// and an older file whose FilePointer is 0: inspect lists all five records,
// export has exactly the written samples of all five in time order (and the
// unwritten ones too when asked), the merge examines all five.
TEST(OneReading, AddOnRecordsAndWrittenSamples) {
    TempFolder dir;
    ts::SetDescription s;
    s.Version = 5, s.AddOn = 1, s.NextFile = 1;
    const int days[] = {17, 21, 18, 19, 20};  // slot 1 is the newest, slot 2 the oldest
    for (const int d : days)
        s.Files.push_back({ts::RawTime(5, 2004, 9, d), ts::RawTime(5, 2004, 9, d, 0, 0, 3), 4, {}, true, 4});
    s.Files[1].Samples = 2;  // being written
    ts::Build(dir.path / "set", s);
    WriteFile(dir.path / "set/TREND.003",  // an older file the runtime filled, FilePointer 0
              ReadFile(dir.path / "set/TREND.003").replace(128 + 134, 4, Pack<std::int32_t>(0)));
    ts::BuildEmptyDataFile(dir.path / "empty.000", s);

    const json master = json::parse(RunCli({"inspect", "--json", "set/TREND.HST"}, dir.path).out);
    EXPECT_TRUE(master["recordsCounted"] == 5 && master["records"].size() == 5) << master;
    EXPECT_TRUE(master["records"][1]["written"] == 2 && master["records"][1]["DataLength"] == 4 &&
                master["records"][1]["dataFile"]["samplesHeld"] == 4) << master["records"][1];
    EXPECT_EQ(RunCli({"inspect", "--check", "set/TREND.HST"}, dir.path).code, 0);

    auto rows = [&](const std::vector<std::string>& more) {
        std::vector<std::string> args{"export", "set/TREND.HST"};
        args.insert(args.end(), more.begin(), more.end());
        const std::string out = RunCli(args, dir.path).out;
        return std::count(out.begin(), out.end(), '\n') - 1;
    };
    EXPECT_EQ(rows({}), 4 * 4 + 2);  // four full files (one with FilePointer 0), two of the newest
    EXPECT_EQ(rows({"--include-unwritten"}), 5 * 4);
    const std::string csv = RunCli({"export", "set/TREND.HST"}, dir.path).out;
    EXPECT_LT(csv.find(Day(17)), csv.find(Day(18)));
    EXPECT_EQ(csv.substr(csv.rfind(Day(21))), Day(21) + "00:00:01.000," + std::to_string(ts::SampleInt16(1, 2)) + "\n");

    // The merge's dry run takes the AddOn record too: every file from 09-18 on.
    const Result dry = RunCli({"merge", "--dry-run", "--json", "--backup", "set/TREND.HST", "--existing",
                               "set/TREND.HST", "--template", "empty.000", "--files", "5", "--break-date",
                               "09-18-2004", "--output", "out"}, dir.path);
    ASSERT_EQ(dry.code, 0) << dry.err;
    const json plan = json::parse(dry.out);
    EXPECT_EQ(plan["takenExisting"].dump() + plan["takenBackup"].dump(), "41") << plan;
}

}  // namespace
