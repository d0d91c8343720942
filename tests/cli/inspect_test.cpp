// inspect through the executable: every trend version as text and JSON, the
// text of Windows-1252 fields, and --check on planted problems.
#include <nlohmann/json.hpp>

#include "CliRunner.h"
#include "trendset/TrendSetBuilder.h"

namespace {

using namespace clitest;
using nlohmann::json;
namespace ts = jw::trendset;

constexpr int kFiles = 3;
constexpr int kSamples = 6;

ts::SetSpec SpecOf(std::int16_t version, std::int16_t historyType) {
    ts::SetSpec s;
    s.Version = version;
    s.HistoryType = historyType;
    s.EngUnits = "\xB0" "C";  // "°C" in Windows-1252
    for (int i = 0; i < kFiles; ++i) {
        ts::DataFileSpec f;
        f.StartTime = ts::RawTime(version, 2004, 9, 17 + i, 6, 45, 30);
        f.EndTime = ts::RawTime(version, 2004, 9, 18 + i, 6, 45, 29);
        f.Samples = kSamples;
        s.Files.push_back(f);
    }
    return s;
}

std::string StartText(int i) { return "2004-09-" + std::to_string(17 + i) + " 06:45:30"; }

// Ticks of a raw time of the given version.
std::int64_t TicksOf(std::int16_t version, std::int64_t raw) {
    if (version == 4 || version == 6) return raw;
    return (raw + kSeconds1601To1970) * kTicksPerSecond;
}

struct VersionCase {
    std::int16_t version;
    std::int16_t historyType;
    int sampleSize;
    const char* layout;
};

class InspectVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(InspectVersion, MasterAndDataFileAsJsonAndText) {
    const VersionCase& c = GetParam();
    TempDir dir;
    const ts::SetSpec spec = SpecOf(c.version, c.historyType);
    const ts::BuiltSet set = ts::Build(dir / "set", spec);

    const Result mj = RunCli({"inspect", set.Master.string(), "--json"}, dir.path());
    ASSERT_EQ(mj.code, 0) << mj.err;
    const json master = json::parse(mj.out);
    EXPECT_EQ(master["kind"], "master");
    EXPECT_EQ(master["header"]["Version"], c.version);
    EXPECT_EQ(master["header"]["nFiles"], kFiles);
    ASSERT_EQ(master["records"].size(), static_cast<std::size_t>(kFiles));
    for (int i = 0; i < kFiles; ++i) {
        const json& r = master["records"][static_cast<std::size_t>(i)];
        EXPECT_EQ(r["StartTime"]["raw"].get<std::int64_t>(), spec.Files[static_cast<std::size_t>(i)].StartTime);
        EXPECT_EQ(r["EndTime"]["raw"].get<std::int64_t>(), spec.Files[static_cast<std::size_t>(i)].EndTime);
        EXPECT_EQ(r["StartTime"]["text"], StartText(i));
        EXPECT_EQ(r["Version"], c.version);
        EXPECT_EQ(r["HistoryType"], c.historyType);
        EXPECT_TRUE(r["dataFile"]["exists"].get<bool>());
        EXPECT_EQ(r["sEngUnits"].get<std::string>().rfind("\xC2\xB0" "C", 0), 0U) << r["sEngUnits"];
    }

    const Result mt = RunCli({"inspect", set.Master.string()}, dir.path());
    ASSERT_EQ(mt.code, 0) << mt.err;
    for (int i = 0; i < kFiles; ++i) EXPECT_NE(mt.out.find(StartText(i)), std::string::npos) << mt.out;
    EXPECT_NE(mt.out.find("C:\\Citect\\Data\\TREND.002"), std::string::npos) << mt.out;

    const auto& file = spec.Files[1];
    const Result dj = RunCli({"inspect", set.DataFiles[1].string(), "--json"}, dir.path());
    ASSERT_EQ(dj.code, 0) << dj.err;
    const json data = json::parse(dj.out);
    EXPECT_EQ(data["kind"], "data");
    EXPECT_EQ(data["header"]["Version"], c.version);
    EXPECT_EQ(data["header"]["StartTime"]["raw"].get<std::int64_t>(), file.StartTime);
    EXPECT_EQ(data["header"]["sEngUnits"].get<std::string>().rfind("\xC2\xB0" "C", 0), 0U);
    EXPECT_EQ(data["SampleSize"], c.sampleSize);
    EXPECT_EQ(data["sampleLayout"], c.layout);
    EXPECT_EQ(data["samples"], kSamples);
    EXPECT_EQ(data["samplesInFile"], kSamples);
    const std::int64_t first = c.historyType == 4 ? ts::EventTime(spec, file, 1) : TicksOf(c.version, file.StartTime);
    const std::int64_t periodTicks = static_cast<std::int64_t>(spec.SamplePeriodRaw) *
                                     (c.version <= 1 ? kTicksPerSecond : kTicksPerSecond / 1000);
    const std::int64_t last = c.historyType == 4 ? ts::EventTime(spec, file, kSamples)
                                                 : first + (kSamples - 1) * periodTicks;
    EXPECT_EQ(data["firstSample"]["raw"].get<std::int64_t>(), first);
    EXPECT_EQ(data["lastSample"]["raw"].get<std::int64_t>(), last);
    if (c.historyType != 4) {
        EXPECT_EQ(data["firstSample"]["text"], StartText(1) + ".000");
    }

    const Result dt = RunCli({"inspect", set.DataFiles[1].string()}, dir.path());
    ASSERT_EQ(dt.code, 0) << dt.err;
    EXPECT_NE(dt.out.find("\xC2\xB0" "C"), std::string::npos) << "°C shown as UTF-8";
    EXPECT_NE(dt.out.find(StartText(1)), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Versions, InspectVersion,
                         ::testing::Values(VersionCase{0, 0, 2, "int16"}, VersionCase{1, 0, 2, "int16"},
                                           VersionCase{2, 0, 2, "int16"}, VersionCase{3, 0, 2, "int16"},
                                           VersionCase{4, 0, 8, "double"}, VersionCase{5, 0, 2, "int16"},
                                           VersionCase{6, 0, 8, "double"}, VersionCase{0, 4, 12, "event32"},
                                           VersionCase{3, 4, 12, "event32"}, VersionCase{4, 4, 16, "event64"},
                                           VersionCase{5, 4, 12, "event32"}, VersionCase{6, 4, 16, "event64"}),
                         [](const auto& info) {
                             return "v" + std::to_string(info.param.version) + "_" + info.param.layout;
                         });

// --- --check ---------------------------------------------------------------------

// Offsets inside a master file of the given version.
int RecordLength(int v) { return v == 4 ? 432 : v == 5 ? 288 : v == 6 ? 448 : 240; }
int NameWidth(int v) { return v == 4 || v == 6 ? 272 : 144; }

struct CheckCase {
    const char* name;
    std::int16_t version;
    std::function<void(const ts::BuiltSet&)> plant;  // empty: the set is correct
    const char* problem;                             // a phrase of the expected problem; "": none
};

class CheckMaster : public ::testing::TestWithParam<CheckCase> {};

void Patch(const fs::path& file, const std::function<void(std::string&)>& change) {
    std::string b = ReadFile(file);
    change(b);
    WriteFile(file, b);
}

TEST_P(CheckMaster, FindsThePlantedProblem) {
    const CheckCase& c = GetParam();
    TempDir dir;
    const ts::BuiltSet set = ts::Build(dir / "set", SpecOf(c.version, 0));
    if (c.plant) c.plant(set);
    const Result r = RunCli({"inspect", set.Master.string(), "--check"}, dir.path());
    const Result j = RunCli({"inspect", set.Master.string(), "--check", "--json"}, dir.path());
    if (std::string(c.problem).empty()) {
        EXPECT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("Check: no problems found."), std::string::npos);
        EXPECT_TRUE(json::parse(j.out)["problems"].empty());
        return;
    }
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find(c.problem), std::string::npos) << r.out;
    ASSERT_EQ(r.ErrLines().size(), 1U) << r.err;
    EXPECT_EQ(j.code, 1);
    const json problems = json::parse(j.out)["problems"];
    ASSERT_FALSE(problems.empty());
    bool found = false;
    for (const auto& p : problems) found = found || p["text"].get<std::string>().find(c.problem) != std::string::npos;
    EXPECT_TRUE(found) << problems.dump();
}

const CheckCase kChecks[] = {
    {"v6_correct", 6, {}, ""},
    {"v0_correct", 0, {}, ""},
    // A record whose start time is 0 (a template record of a merge) is
    // compared on version and history type only.
    {"record_start_zero_matches_any_start", 6,
     [](const ts::BuiltSet& s) { Patch(s.Master, [](auto& b) { Put<std::int64_t>(b, 176 + 448 + 272 + 138, 0); }); },
     ""},
    {"record_start_zero_still_compares_history_type", 5,
     [](const ts::BuiltSet& s) {
         Patch(s.Master, [](auto& b) { Put<std::int32_t>(b, 176 + 288 + 144 + 122, 0); });
         Patch(s.DataFiles[1], [](auto& b) { Put<std::int16_t>(b, 232, 4); });
     },
     "has HistoryType 4, the record says 0"},
    // Recorded names are looked up whole, case-insensitively when need be.
    {"four_digit_number_and_other_case", 6,
     [](const ts::BuiltSet& s) {
         Patch(s.Master, [](auto& b) {
             const std::string name = "C:\\Citect\\Data\\TREND.1000";
             std::memcpy(b.data() + 176 + 448, name.data(), name.size());
         });
         fs::rename(s.DataFiles[1], s.DataFiles[1].parent_path() / "trend.1000");
     },
     ""},
    {"name_leaving_the_folder", 6,
     [](const ts::BuiltSet& s) {
         Patch(s.Master, [](auto& b) { std::memcpy(b.data() + 176 + 448, "C:\\x\\..\0", 8); });
     },
     "record 1: data file \"..\" is missing"},
    {"missing_data_file", 6, [](const ts::BuiltSet& s) { fs::remove(s.DataFiles[1]); },
     "data file \"TREND.001\" is missing"},
    {"record_not_fully_held", 5,
     [](const ts::BuiltSet& s) { fs::resize_file(s.Master, fs::file_size(s.Master) - 10); },
     "the file holds only 2; it ends 278 bytes into record 2"},
    {"last_record_absent", 6,
     [](const ts::BuiltSet& s) { fs::resize_file(s.Master, 176 + 2 * 448); }, "announces 3 records (nFiles) but the file holds only 2"},
    {"invalid_data_file", 6, [](const ts::BuiltSet& s) { Patch(s.DataFiles[2], [](auto& b) { Put<std::int16_t>(b, 138, 9); }); },
     "not a valid trend file"},
    {"data_file_too_short", 5, [](const ts::BuiltSet& s) { fs::resize_file(s.DataFiles[0], 200); }, "too short"},
    {"data_file_version_disagrees", 2,
     [](const ts::BuiltSet& s) { Patch(s.DataFiles[0], [](auto& b) { Put<std::int16_t>(b, 138, 3); }); },
     "has Version 3, the record says 2"},
    {"history_type_disagrees", 6,
     [](const ts::BuiltSet& s) { Patch(s.DataFiles[1], [](auto& b) { Put<std::int16_t>(b, 248, 2); }); },
     "has HistoryType 2, the record says 0"},
    {"start_time_disagrees_ticks", 6,
     [](const ts::BuiltSet& s) {
         Patch(s.DataFiles[1], [](auto& b) { Put<std::int64_t>(b, 266, Get<std::int64_t>(b, 266) + kTicksPerSecond); });
     },
     "starts 2004-09-18 06:45:31.000, the record says 2004-09-18 06:45:30.000"},
    {"start_time_disagrees_citect", 0,
     [](const ts::BuiltSet& s) {
         Patch(s.DataFiles[2], [](auto& b) { Put<std::int32_t>(b, 202, Get<std::int32_t>(b, 202) - 86400); });
     },
     "starts 2004-09-18 06:45:30.000, the record says 2004-09-19 06:45:30.000"},
    {"record_version_differs", 6,
     [](const ts::BuiltSet& s) {
         Patch(s.Master, [](auto& b) { Put<std::int16_t>(b, 176 + 2 * RecordLength(6) + NameWidth(6) + 10, 5); });
     },
     "record 2: Version 5 differs from the master's Version 6"},
    {"master_version_without_layout", 6,
     [](const ts::BuiltSet& s) { Patch(s.Master, [](auto& b) { Put<std::int16_t>(b, 138, 7); }); },
     "Version 7 has no file-header record layout"},
};

INSTANTIATE_TEST_SUITE_P(Problems, CheckMaster, ::testing::ValuesIn(kChecks),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CheckDataFile, PartialLastSampleIsAProblemAndAWholeFileIsNot) {
    TempDir dir;
    const ts::BuiltSet set = ts::Build(dir / "set", SpecOf(6, 0));
    const Result ok = RunCli({"inspect", set.DataFiles[0].string(), "--check"}, dir.path());
    EXPECT_EQ(ok.code, 0) << ok.out;
    fs::resize_file(set.DataFiles[0], fs::file_size(set.DataFiles[0]) - 3);
    const Result cut = RunCli({"inspect", set.DataFiles[0].string(), "--check"}, dir.path());
    EXPECT_EQ(cut.code, 1);
    EXPECT_NE(cut.out.find("ends 5 bytes into sample 6"), std::string::npos) << cut.out;
    EXPECT_NE(cut.out.find("Samples       5 "), std::string::npos) << cut.out;
}

TEST(Inspect, AFileThatIsNotATrendFileIsAnErrorOnOneLine) {
    TempDir dir;
    WriteFile(dir / "notes.000", std::string(400, 'x'));
    const Result r = RunCli({"inspect", (dir / "notes.000").string()}, dir.path());
    EXPECT_EQ(r.code, 1);
    ASSERT_EQ(r.ErrLines().size(), 1U) << r.err;
    EXPECT_NE(r.err.find("not a valid trend file"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

}  // namespace
