// export through the executable: every sample layout, invalid markers,
// scaling, windows, sets in time order, files cut short or preallocated.
#include <cmath>
#include <limits>

#include "CliRunner.h"
#include "trendset/TrendSetBuilder.h"

namespace {

using namespace clitest;
namespace ts = jw::trendset;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A data file of the given layout whose header starts at 2004-09-17 06:45:30.
RawDataFile At(int version, int historyType, std::int32_t periodRaw) {
    RawDataFile f;
    f.Version = version;
    f.HistoryType = historyType;
    f.PeriodRaw = periodRaw;
    const bool wide = version == 4 || version == 6;
    f.Start = wide ? kTicks : kCitect;
    f.End = wide ? kTicks + 3600 * kTicksPerSecond : kCitect + 3600;
    return f;
}

Result Export(const TempDir& dir, const RawDataFile& f, std::vector<std::string> options = {}) {
    WriteFile(dir / "TREND.000", f.Bytes());
    std::vector<std::string> args{"export", (dir / "TREND.000").string()};
    args.insert(args.end(), options.begin(), options.end());
    return RunCli(args, dir.path());
}

struct LayoutCase {
    const char* name;
    RawDataFile file;
    std::vector<std::string> options;
    std::vector<std::string> rows;
};

RawDataFile WithSamples(RawDataFile f, const std::function<void(std::string&)>& add) {
    add(f.Samples);
    return f;
}

RawDataFile WithScale(RawDataFile f, float rawZero, float rawFull, float engZero, float engFull) {
    f.RawZero = rawZero, f.RawFull = rawFull, f.EngZero = engZero, f.EngFull = engFull;
    return f;
}

class ExportLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ExportLayout, WritesTheExpectedRows) {
    const LayoutCase& c = GetParam();
    TempDir dir;
    const Result r = Export(dir, c.file, c.options);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(CsvRows(r.out), c.rows);
}

const LayoutCase kLayouts[] = {
    {"int16_ms_period", WithSamples(At(2, 0, 1500), [](auto& s) { AddInt16(s, 100), AddInt16(s, -5), AddInt16(s, 32767); }),
     {},
     {"2004-09-17 06:45:30.000,100", "2004-09-17 06:45:31.500,-5", "2004-09-17 06:45:33.000,32767"}},
    {"int16_seconds_period_v1", WithSamples(At(1, 0, 2), [](auto& s) { AddInt16(s, 7), AddInt16(s, -32768); }),
     {},
     {"2004-09-17 06:45:30.000,7", "2004-09-17 06:45:32.000,-32768"}},
    {"double", WithSamples(At(6, 0, 250), [](auto& s) { AddDouble(s, 1.5), AddDouble(s, -0.125), AddDouble(s, 1e-300); }),
     {},
     {"2004-09-17 06:45:30.000,1.5", "2004-09-17 06:45:30.250,-0.125", "2004-09-17 06:45:30.500,1e-300"}},
    {"double_v4_across_midnight",
     [] {
         RawDataFile f = At(4, 0, 3600 * 1000);
         f.Start = kTicks + (17 * 3600 + 14 * 60 + 30) * kTicksPerSecond;  // 2004-09-18 00:00:00
         f.End = f.Start;
         f.Start -= 2 * 3600 * kTicksPerSecond;
         AddDouble(f.Samples, 0.1), AddDouble(f.Samples, 0.2), AddDouble(f.Samples, 0.3), AddDouble(f.Samples, 9);
         return f;
     }(),
     {},
     {"2004-09-17 22:00:00.000,0.1", "2004-09-17 23:00:00.000,0.2", "2004-09-18 00:00:00.000,0.3"}},
    {"event32_stops_at_time_zero",
     WithSamples(At(5, 4, 1000),
                 [](auto& s) {
                     AddEvent32(s, 42, kCitect, 250), AddEvent32(s, -7, kCitect + 2, 999);
                     AddEvent32(s, 0, 0, 0), AddEvent32(s, 5, kCitect + 5, 0);
                 }),
     {},
     {"2004-09-17 06:45:30.250,42", "2004-09-17 06:45:32.999,-7"}},
    {"event64_stops_at_time_zero",
     WithSamples(At(4, 4, 1000),
                 [](auto& s) {
                     AddEvent64(s, 3.25, kTicks + 1'234'567), AddEvent64(s, -1, kTicks + 10 * kTicksPerSecond);
                     AddEvent64(s, 9, 0), AddEvent64(s, 8, kTicks);
                 }),
     {},
     {"2004-09-17 06:45:30.123,3.25", "2004-09-17 06:45:40.000,-1"}},
    // Invalid markers: empty values by default, no rows with --skip-invalid.
    {"int16_markers_empty",
     WithSamples(At(0, 0, 1), [](auto& s) { AddInt16(s, 1), AddInt16(s, -32001), AddInt16(s, 2), AddInt16(s, -32002); }),
     {},
     {"2004-09-17 06:45:30.000,1", "2004-09-17 06:45:31.000,", "2004-09-17 06:45:32.000,2",
      "2004-09-17 06:45:33.000,"}},
    {"int16_markers_skipped",
     WithSamples(At(0, 0, 1), [](auto& s) { AddInt16(s, 1), AddInt16(s, -32001), AddInt16(s, 2), AddInt16(s, -32002); }),
     {"--skip-invalid"},
     {"2004-09-17 06:45:30.000,1", "2004-09-17 06:45:32.000,2"}},
    {"double_nan_empty", WithSamples(At(6, 0, 1000), [](auto& s) { AddDouble(s, kNaN), AddDouble(s, 1), AddDouble(s, -kNaN); }),
     {},
     {"2004-09-17 06:45:30.000,", "2004-09-17 06:45:31.000,1", "2004-09-17 06:45:32.000,"}},
    {"double_nan_skipped", WithSamples(At(6, 0, 1000), [](auto& s) { AddDouble(s, kNaN), AddDouble(s, 1), AddDouble(s, kNaN); }),
     {"--skip-invalid"},
     {"2004-09-17 06:45:31.000,1"}},
    {"event64_nan_empty", WithSamples(At(6, 4, 1000), [](auto& s) { AddEvent64(s, kNaN, kTicks), AddEvent64(s, 2, kTicks + 1); }),
     {},
     {"2004-09-17 06:45:30.000,", "2004-09-17 06:45:30.000,2"}},
    {"event32_has_no_marker", WithSamples(At(3, 4, 1000), [](auto& s) { AddEvent32(s, -32001, kCitect, 0); }),
     {"--skip-invalid"},
     {"2004-09-17 06:45:30.000,-32001"}},
    // Scaling of 16-bit values; 8-byte values are engineering values already.
    {"scaled_int16",
     WithSamples(At(3, 0, 1000),
                 [](auto& s) { AddInt16(s, 16000), AddInt16(s, 8000), AddInt16(s, 32000), AddInt16(s, -32001); }),
     {"--scaled"},
     {"2004-09-17 06:45:30.000,50", "2004-09-17 06:45:31.000,25", "2004-09-17 06:45:32.000,100",
      "2004-09-17 06:45:33.000,"}},
    {"scaled_int16_offset", WithScale(WithSamples(At(5, 0, 1000), [](auto& s) { AddInt16(s, 0), AddInt16(s, -100); }), -100, 100, 0, 10),
     {"--scaled"},
     {"2004-09-17 06:45:30.000,5", "2004-09-17 06:45:31.000,0"}},
    {"scaled_int16_exact_decimals", WithSamples(At(2, 0, 1000), [](auto& s) { AddInt16(s, -14998), AddInt16(s, 1); }),
     {"--scaled"},
     {"2004-09-17 06:45:30.000,-46.86875", "2004-09-17 06:45:31.000,0.003125"}},
    {"scaled_double_unchanged", WithSamples(At(6, 0, 1000), [](auto& s) { AddDouble(s, 1.5); }),
     {"--scaled"},
     {"2004-09-17 06:45:30.000,1.5"}},
    // How many samples count.
    {"preallocated_periodic_stops_at_end_time",
     [] {
         RawDataFile f = At(2, 0, 1000);
         f.End = f.Start + 3;
         for (int i = 0; i < 10; ++i) AddInt16(f.Samples, static_cast<std::int16_t>(i));
         return f;
     }(),
     {},
     {"2004-09-17 06:45:30.000,0", "2004-09-17 06:45:31.000,1", "2004-09-17 06:45:32.000,2",
      "2004-09-17 06:45:33.000,3"}},
    {"end_before_start_holds_none",
     [] {
         RawDataFile f = At(6, 0, 1000);
         f.End = f.Start - 1;
         AddDouble(f.Samples, 1);
         return f;
     }(),
     {},
     {}},
    {"start_time_zero_holds_none",
     [] {
         RawDataFile f = At(5, 0, 1000);
         f.Start = 0;
         AddInt16(f.Samples, 1);
         return f;
     }(),
     {},
     {}},
    // Windows: --from inclusive, --to exclusive.
    {"window_periodic",
     WithSamples(At(6, 0, 1000), [](auto& s) { for (int i = 0; i < 10; ++i) AddDouble(s, i); }),
     {"--from", "2004-09-17 06:45:33", "--to", "2004-09-17 06:45:35.500"},
     {"2004-09-17 06:45:33.000,3", "2004-09-17 06:45:34.000,4", "2004-09-17 06:45:35.000,5"}},
    {"window_before_the_file", WithSamples(At(6, 0, 1000), [](auto& s) { AddDouble(s, 1); }),
     {"--to", "2004-09-17"},
     {}},
    {"window_events",
     WithSamples(At(5, 4, 1000),
                 [](auto& s) { AddEvent32(s, 1, kCitect, 0), AddEvent32(s, 2, kCitect + 1, 500), AddEvent32(s, 3, kCitect + 3, 0); }),
     {"--from", "2004-09-17T06:45:30.001", "--to", "2004-09-17 06:45:33"},
     {"2004-09-17 06:45:31.500,2"}},
};

INSTANTIATE_TEST_SUITE_P(Layouts, ExportLayout, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Export, FileCutShortExportsItsWholeSamplesWithANotice) {
    TempDir dir;
    RawDataFile f = At(6, 0, 1000);
    for (int i = 0; i < 10; ++i) AddDouble(f.Samples, i);
    std::string bytes = f.Bytes();
    bytes.resize(bytes.size() - 12);  // 8 whole samples and 4 bytes of the ninth
    WriteFile(dir / "TREND.000", bytes);
    const Result r = RunCli({"export", (dir / "TREND.000").string()}, dir.path());
    ASSERT_EQ(r.code, 0) << r.err;
    const auto rows = CsvRows(r.out);
    ASSERT_EQ(rows.size(), 8U);
    EXPECT_EQ(rows.back(), "2004-09-17 06:45:37.000,7");
    ASSERT_EQ(r.ErrLines().size(), 1U);
    EXPECT_NE(r.err.find("joinwright-cli: notice: "), std::string::npos) << r.err;
}

TEST(Export, SetSpanningSeveralFilesComesInTimeOrder) {
    TempDir dir;
    ts::SetSpec spec;
    spec.Version = 5;
    for (int day : {19, 17, 18}) {  // the master's order is not the time order
        ts::DataFileSpec f;
        f.StartTime = ts::RawTime(5, 2004, 9, day, 12);
        f.EndTime = ts::RawTime(5, 2004, 9, day, 23, 59, 59);
        f.Samples = 4;
        spec.Files.push_back(f);
    }
    const ts::BuiltSet set = ts::Build(dir / "set", spec);
    const Result r = RunCli({"export", set.Master.string(), "-o", (dir / "all.csv").string()}, dir.path());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    const auto rows = CsvRows(ReadFile(dir / "all.csv"));
    std::vector<std::string> expected;
    for (std::size_t file : {1U, 2U, 0U})
        for (int k = 1; k <= 4; ++k)
            expected.push_back("2004-09-" + std::to_string(file == 1 ? 17 : file == 2 ? 18 : 19) + " 12:00:0" +
                               std::to_string(k - 1) + ".000," + std::to_string(ts::SampleInt16(file, k)));
    EXPECT_EQ(rows, expected);
}

struct FailureCase {
    const char* name;
    std::function<std::vector<std::string>(const TempDir&)> setup;  // returns the arguments
    const char* reason;
};

class ExportFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ExportFailure, ExitsOneWithOneLineAndNoRows) {
    const FailureCase& c = GetParam();
    TempDir dir;
    const auto args = c.setup(dir);
    const auto before = Listing(dir.path());
    const Result r = RunCli(args, dir.path());
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    ASSERT_EQ(r.ErrLines().size(), 1U) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_EQ(Listing(dir.path()), before) << "no CSV file is left behind";
}

std::vector<std::string> WriteAndExport(const TempDir& dir, const std::string& bytes, std::vector<std::string> more = {}) {
    WriteFile(dir / "TREND.000", bytes);
    std::vector<std::string> args{"export", (dir / "TREND.000").string()};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ExportFailure,
    ::testing::Values(
        FailureCase{"not_a_trend_file",
                    [](const TempDir& d) {
                        RawDataFile f = At(6, 0, 1000);
                        AddDouble(f.Samples, 1);
                        std::string b = f.Bytes();
                        Put<std::int16_t>(b, 138, 9);
                        return WriteAndExport(d, b);
                    },
                    "not a valid trend file"},
        FailureCase{"scaling_without_range",
                    [](const TempDir& d) {
                        RawDataFile f = WithScale(At(2, 0, 1000), 5, 5, 0, 1);
                        AddInt16(f.Samples, 1);
                        return WriteAndExport(d, f.Bytes(), {"--scaled"});
                    },
                    "cannot be scaled"},
        FailureCase{"period_zero",
                    [](const TempDir& d) {
                        RawDataFile f = At(6, 0, 0);
                        AddDouble(f.Samples, 1);
                        return WriteAndExport(d, f.Bytes());
                    },
                    "cannot be timed"},
        FailureCase{"set_with_missing_data_file",
                    [](const TempDir& d) {
                        ts::SetSpec spec;
                        spec.Files.resize(2);
                        spec.Files[0].StartTime = ts::RawTime(6, 2004, 9, 17);
                        spec.Files[1].StartTime = ts::RawTime(6, 2004, 9, 18);
                        spec.Files[1].WriteDataFile = false;
                        const auto set = ts::Build(d / "set", spec);
                        return std::vector<std::string>{"export", set.Master.string()};
                    },
                    "TREND.001"},
        FailureCase{"output_is_the_input",
                    [](const TempDir& d) {
                        RawDataFile f = At(6, 0, 1000);
                        AddDouble(f.Samples, 1);
                        return WriteAndExport(d, f.Bytes(), {"-o", (d / "TREND.000").string()});
                    },
                    "inputs are never written"},
        FailureCase{"output_folder_missing",
                    [](const TempDir& d) {
                        RawDataFile f = At(6, 0, 1000);
                        AddDouble(f.Samples, 1);
                        return WriteAndExport(d, f.Bytes(), {"-o", (d / "no" / "x.csv").string()});
                    },
                    "cannot create the CSV file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Export, OutputIsTheInputLeavesTheInputUnchanged) {
    TempDir dir;
    RawDataFile f = At(6, 0, 1000);
    AddDouble(f.Samples, 1);
    WriteFile(dir / "TREND.000", f.Bytes());
    const Result r = RunCli({"export", (dir / "TREND.000").string(), "-o", (dir / "TREND.000").string()}, dir.path());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(ReadFile(dir / "TREND.000"), f.Bytes());
}

}  // namespace
