// joinwright-cli through the real executable: the dry run against the merge
// it plans (the one place a successful merge's result is checked), inspect of
// every trend version, how commands end (exit status, reason, nothing
// written), the CSV of every sample layout, and the written-samples rule on a
// set's export.  Damaged sets given to merge: bad_input_matrix_test.cpp.
#include <limits>
#include <nlohmann/json.hpp>

#include "cli/CliTest.h"

namespace {

using namespace jw::clitest;
using nlohmann::json;
constexpr auto npos = std::string::npos;

std::string Day(int d) { return "2004-09-" + std::to_string(d) + " "; }

TEST(Merge, DryRunWritesNothingAndThePlanIsWhatTheMergeWrites) {
    Scenario s;
    const Tree before = Snapshot(s.root);
    const Result dry = RunCli(Plus(s.MergeArgs(), {"--dry-run", "--json"}), s.work);
    ASSERT_EQ(dry.code, 0) << dry.err;
    EXPECT_EQ(Snapshot(s.root), before) << "a dry run writes nothing and creates no folder";
    const json plan = json::parse(dry.out);
    EXPECT_EQ(plan["takenExisting"].dump() + plan["takenBackup"].dump() + plan["templateCopies"].dump(), "342");
    EXPECT_EQ(fs::path(plan["outputFolder"].get<std::string>()), s.out);

    // The merge without --output: into the one new folder "Merged trenddata HH-MM-SS".
    Args args = s.MergeArgs();
    const Result merged = RunCli(Args(args.begin(), args.end() - 2), s.work);
    ASSERT_EQ(merged.code, 0) << merged.err;
    EXPECT_EQ(merged.out.rfind(kMerged + "\n"s, 0), 0U) << merged.out;
    const fs::path made = fs::directory_iterator(s.work)->path();
    EXPECT_EQ(made.filename().string().rfind("Merged trenddata ", 0), 0U) << made;

    // Every planned copy is there with its source's bytes, nothing else is;
    // the merged master passes --check.
    const std::string master = (made / "TREND.HST").string();
    Tree expected{{"TREND.HST", Fingerprint(ReadFile(master))}};
    for (const auto& e : plan["entries"])
        expected[fs::path(e["target"].get<std::string>()).filename().string()] =
            Fingerprint(ReadFile(e["source"].get<std::string>()));
    EXPECT_EQ(Snapshot(made), expected);
    const Result check = RunCli({"inspect", master, "--check"}, s.work);
    EXPECT_TRUE(check.code == 0 && check.out.find("  nFiles      9\n") != npos) << check.out << check.err;
}

// --- inspect -----------------------------------------------------------------

// What inspect shows of a data file of the version: sample size, layout name,
// the first and last sample.  A master's records as text: the merge above and
// nonascii_paths_test.cpp.
struct VersionCase { std::int16_t version, historyType; int sampleSize; const char* layout; };

class InspectVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(InspectVersion, DataFileAsJson) {
    const VersionCase& c = GetParam();
    TempFolder dir;
    ts::SetDescription d = SampleSet(c.version, Days(c.version, 14, 4, 2), 6);
    d.HistoryType = c.historyType, d.EngUnits = "\xB0" "C";  // Windows-1252
    ts::Build(dir.path, d);
    const Result dj = RunCli({"inspect", "TREND.001", "--json"}, dir.path);
    ASSERT_EQ(dj.code, 0) << dj.err;
    const json data = json::parse(dj.out);
    EXPECT_TRUE(data["SampleSize"] == c.sampleSize && data["sampleLayout"] == c.layout && data["samples"] == 6 &&
                data["header"]["StartTime"]["raw"] == d.Files[1].StartTime &&
                data["header"]["sEngUnits"].get<std::string>().rfind(std::string("\xC2\xB0" "C\0", 4), 0) == 0) << data;
    // Periodic samples lie 1000 seconds apart under versions 0 and 1, a second under the others.
    const bool events = c.historyType == 4;
    const char* key = events ? "raw" : "text";
    EXPECT_EQ(json::array({data["firstSample"][key], data["lastSample"][key]}),
              events ? json::array({ts::EventTime(d, d.Files[1], 1), ts::EventTime(d, d.Files[1], 6)})
                     : json::array({Day(16) + "00:00:00.000", Day(16) + (c.version < 2 ? "01:23:20.000" : "00:00:05.000")}));
}

const VersionCase kVersions[] = {{0, 0, 2, "int16"}, {2, 0, 2, "int16"}, {4, 0, 8, "double"}, {0, 4, 12, "event32"}, {6, 4, 16, "event64"}};
INSTANTIATE_TEST_SUITE_P(Versions, InspectVersion, ::testing::ValuesIn(kVersions));

// --- How commands end: exit status, reason, nothing written --------------------

// Writes bytes into a file of the scenario at an absolute offset.
using Plant = std::function<void(const fs::path&)>;
Plant Patch(const std::string& file, std::size_t at, const std::string& bytes) {
    return [=](const fs::path& d) { WriteFile(d / file, ReadFile(d / file).replace(at, bytes.size(), bytes)); };
}

// args run in the scenario's root, beside a file that is no trend file and a
// data file no export can scale; text is looked for in standard output (exit
// 0, --check), else in the one line on standard error.
struct Outcome { const char* name; int code; Args args; const char* text; Plant plant = {}; };

class Outcomes : public ::testing::TestWithParam<Outcome> {};

TEST_P(Outcomes, ExitStatusAndReasonAndNothingWritten) {
    const Outcome& c = GetParam();
    Scenario s;
    WriteFile(s.root / "notes.000", std::string(400, 'x'));
    WriteFile(s.root / "flat.000", RawDataFile{.Version = 2, .RawZero = 5, .RawFull = 5, .Samples = "\1\1"}.Bytes());
    if (c.plant) c.plant(s.root);
    const Tree before = Snapshot(s.root);
    const Result r = RunCli(c.args, s.root);
    EXPECT_EQ(r.code, c.code) << r.out << r.err;
    EXPECT_EQ(Snapshot(s.root), before) << "no file or folder is left behind, no input changed";
    const bool toOut = c.code == 0 || std::count(c.args.begin(), c.args.end(), "--check");
    const std::string line = FirstLine(r.err);
    EXPECT_NE((toOut ? r.out : line).find(c.text), npos) << r.out << r.err;
    if (c.code == 0) return;
    EXPECT_TRUE(toOut || r.out.empty()) << r.out;
    EXPECT_EQ(line.rfind(c.code == 1 ? "joinwright-cli: error: " : "joinwright-cli: usage error: ", 0), 0U) << r.err;
    EXPECT_TRUE(c.code != 1 || r.err == line + "\n") << "one line: " << r.err;
}

const std::string kMaster = "existing/TREND.HST";
constexpr std::size_t kRecord2 = 176 + 2 * 448, kName = 272;  // record 2 of a version 6 master, its Name's width

const Outcome kOutcomes[] = {
    {"help_tells_to_stop_trending", 0, {"merge", "--help"}, "Stop trending in Citect"},
    {"picture_without_dry_run", 2, {"merge", "--backup", "b", "--existing", "e", "--template", "t", "--files", "9",
      "--break-date", "1-1-2004", "--output", "o", "--picture", "x.svg"}, "--picture requires --dry-run"},
    {"export_from_after_to", 2, {"export", "flat.000", "--from", "2004-09-18", "--to", "2004-09-17"}, "later than"},
    {"inspect_not_a_trend_file", 1, {"inspect", "notes.000"}, "not a valid trend file"},
    {"export_scaling_without_range", 1, {"export", "flat.000", "--scaled"}, "cannot be scaled"},
    {"export_onto_its_input", 1, {"export", "flat.000", "-o", "flat.000"}, "inputs are never written"},
    // The validity rule (its faults: tests/formats/validity_test.cpp), applied by export and inspect --check.
    {"export_set_applies_the_rule", 1, {"export", kMaster}, "has Version 5, the record says 6", Patch("existing/TREND.000", 138, "\5")},
    {"check_json", 1, {"inspect", "--check", "--json", kMaster},
     "\"text\": \"record 2: Version 5 differs from the master's Version 6\"", Patch(kMaster, kRecord2 + kName + 10, "\5")},
};

INSTANTIATE_TEST_SUITE_P(Commands, Outcomes, ::testing::ValuesIn(kOutcomes),
                         [](const auto& info) { return std::string(info.param.name); });

// --- export ------------------------------------------------------------------

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// rows: "HH:MM:SS.mmm,value" of 2004-09-17; cut: bytes cut off the file's end;
// notice: what standard error then says.
struct ExportCase { const char* name; RawDataFile file; Args options, rows; std::size_t cut = 0; const char* notice = ""; };

class Export : public ::testing::TestWithParam<ExportCase> {};

TEST_P(Export, WritesTheExpectedRows) {
    const ExportCase& c = GetParam();
    TempFolder dir;
    const std::string bytes = c.file.Bytes();
    WriteFile(dir.path / "TREND.000", bytes.substr(0, bytes.size() - c.cut));
    const Result r = RunCli(Plus({"export", "TREND.000"}, c.options), dir.path);
    std::string csv = "time,value\n";
    for (const auto& row : c.rows) csv += Day(17) + row + "\n";
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, csv);
    EXPECT_TRUE(r.err.find(c.notice) != npos && r.err.empty() == !*c.notice) << r.err;
}

const ExportCase kExports[] = {
    {"int16_ms_period", {.Version = 2, .PeriodRaw = 1500, .Samples = Pack<std::int16_t>(100, -5, 32767)}, {},
     {"06:45:30.000,100", "06:45:31.500,-5", "06:45:33.000,32767"}},
    {"double_in_a_window_nan_skipped", {.PeriodRaw = 250, .Samples = Pack<double>(1.5, -0.125, kNaN, 1e-300, 4)},
     {"--from", "2004-09-17 06:45:30.250", "--to", "2004-09-17T06:45:31", "--skip-invalid"},
     {"06:45:30.250,-0.125", "06:45:30.750,1e-300"}},
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
    // A preallocated file stops at its end time, one cut short at its last whole sample.
    {"preallocated", {.End = 2, .Samples = Pack<double>(0, 1, 2, 3, 4)}, {},
     {"06:45:30.000,0", "06:45:31.000,1", "06:45:32.000,2"}},
    {"cut_short", {.Samples = Pack<double>(0, 1, 2)}, {}, {"06:45:30.000,0", "06:45:31.000,1"}, 4,
     "joinwright-cli: notice: TREND.000: the file ends 4 bytes into sample 3"},
    // Preallocated for DataLength samples, FilePointer of them written (without the option: the ring below).
    {"written_and_unwritten", {.Samples = Pack<double>(7, 8, 0, 0), .DataLength = 4, .FilePointer = 2},
     {"--include-unwritten"}, {"06:45:30.000,7", "06:45:31.000,8", "06:45:32.000,0", "06:45:33.000,0"}},
};

INSTANTIATE_TEST_SUITE_P(Layouts, Export, ::testing::ValuesIn(kExports),
                         [](const auto& info) { return std::string(info.param.name); });

// A set as the runtime leaves it once its ring has turned (four nFiles records
// and an AddOn record): the newest file in slot 1, partly written; the oldest
// in slot 2, filled, its FilePointer 0 as the runtime leaves it.  The export
// has the written samples of every file in time order: all of the oldest's.
TEST(ExportSet, WrittenSamplesOfARingInTimeOrder) {
    TempFolder dir;
    ts::SetDescription s = SampleSet(5, Days(5, 16, 5), 4, 0);
    for (auto& f : s.Files) f.Capacity = 4;
    std::rotate(s.Files.begin(), s.Files.begin() + 3, s.Files.end());  // 19, 20, 16, 17, 18
    s.AddOn = 1, s.NextFile = 1, s.Files[1].Samples = 2;
    const auto set = ts::Build(dir.path, s);
    WriteFile(set.DataFiles[2], ReadFile(set.DataFiles[2]).replace(128 + 134, 4, Pack<std::int32_t>(0)));
    std::string csv = "time,value\n";
    for (const auto& [day, record, n] : {std::tuple{16, 2, 4}, {17, 3, 4}, {18, 4, 4}, {19, 0, 4}, {20, 1, 2}})
        for (int k = 1; k <= n; ++k)
            csv += Day(day) + "00:00:0" + std::to_string(k - 1) + ".000," + std::to_string(ts::SampleInt16(record, k)) + "\n";
    EXPECT_TRUE(SameBytes(RunCli({"export", set.Master.string()}, dir.path).out, csv));
}

}  // namespace
