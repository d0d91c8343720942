// The validity rule: one table of faults planted in a runtime-shaped set,
// each once, with the file, record, field, severity and words the rule
// names; then what a file is, the written-samples rule and which fields tell
// a trend.  The calendar's range itself: tests/time.
#include <climits>
#include <optional>
#include <tuple>

#include "FormatsTest.h"
#include "formats/Validity.h"

namespace jw::test {
namespace {

// A version 6 set of three files, preallocated for 4 samples, the newest
// written to 2, and its empty data file.
struct Set {
    trendset::SetDescription desc = testsupport::SampleSet(6, testsupport::Days(6, 15, 3), 4, 0);
    trendset::BuiltSet built;
    fs::path empty;

    explicit Set(const fs::path& folder) : empty(folder / "EMPTY.000") {
        desc.Files.back().Samples = 2;
        built = trendset::Build(folder / "set", desc);
        trendset::BuildEmptyDataFile(empty, desc);
    }
    const fs::path& Data(int i) const { return built.DataFiles.at(static_cast<std::size_t>(i)); }
};

// Offsets in a version 6 master record (block at 272) and data header (block at 128).
using testsupport::Poke;

constexpr std::size_t kRecord1 = 176 + 448, kRecBlock = 272, kDataBlock = 128;
constexpr std::size_t kVersion = 10, kHistoryType = 120, kSamplePeriod = 122, kStart = 138, kDataLength = 154, kFilePointer = 158;

class Validity : public FilesTest {};

TEST_F(Validity, EachFaultOnceWithItsFieldSeverityAndWords) {
    const Severity R = Severity::Refuse, W = Severity::Warn;
    struct Row { const char* name; std::function<void(const Set&)> plant; std::optional<int> record; const char* field;
                 Severity level; const char* says; };
    const auto master = [](std::size_t at, std::int64_t v, std::size_t w) { return [=](const Set& s) { Poke(s.built.Master, at, v, w); }; };
    const auto data1 = [](std::size_t at, std::int64_t v, std::size_t w) { return [=](const Set& s) { Poke(s.Data(1), kDataBlock + at, v, w); }; };
    const Row rows[] = {
        {"record version", master(kRecord1 + kRecBlock + kVersion, 4, 2), 1, "Version", R,
         "record 1: Version 4 differs from the master's Version 6"},
        {"record start outside the calendar", master(kRecord1 + kRecBlock + kStart, INT64_MIN, 8), 1, "StartTime", R,
         "record 1: StartTime -9223372036854775808 ticks lies outside the years 100 to 9999"},
        {"record FilePointer no count", master(kRecord1 + kRecBlock + kFilePointer, 999, 4), 1, "FilePointer", W,
         "record 1: FilePointer 999 lies outside 0..DataLength (4)"},
        {"data file missing", [](const Set& s) { fs::remove(s.Data(1)); }, 1, "Name", R, "TREND.001 does not exist"},
        {"data file version", data1(kVersion, 4, 2), 1, "Version", R, "TREND.001 has Version 4, the record says 6"},
        {"data file history type", data1(kHistoryType, 4, 2), 1, "HistoryType", R,
         "TREND.001 has HistoryType 4, the record says 0"},
        {"data file start", data1(kStart, trendset::RawTime(6, 1945, 5, 8), 8), 1, "StartTime", R,
         "TREND.001 starts 1945-05-08 00:00:00.000, the record says 2004-09-16 00:00:00.000"},
        {"negative DataLength", data1(kDataLength, -5, 4), 1, "DataLength", R, "DataLength -5 is negative"},
        {"FilePointer past the samples held",
         [](const Set& s) { Poke(s.Data(1), kDataBlock + kDataLength, 100, 4), Poke(s.Data(1), kDataBlock + kFilePointer, 50, 4); },
         1, "FilePointer", W, "FilePointer says 50 samples are written but the file holds only 4"},
        {"last sample cut", [](const Set& s) { fs::resize_file(s.Data(1), fs::file_size(s.Data(1)) + 3); }, 1, "", W,
         "ends 3 bytes into sample 5: its last sample is cut off"},
        {"sample period 0", data1(kSamplePeriod, 0, 4), 1, "SamplePeriod", R, "the sample period is 0"},
        {"not a trend data file", data1(kVersion, 9, 2), 1, "Version", R, "its version is 9"},
        {"AddOn past the end", master(154, 2, 2), 3, "AddOn", W, "AddOn counts 2 entries"},
        {"a data file as the master", [](const Set& s) { fs::remove(s.built.Master), fs::copy_file(s.Data(0), s.built.Master); },
         std::nullopt, "", R, "this is a data file, not a master file"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Set s(dir_ / std::to_string(++n));
        ASSERT_TRUE(CheckTrendSet(ReadTrendSet(s.built.Master)).empty());
        row.plant(s);
        const auto found = CheckTrendSet(ReadTrendSet(s.built.Master));
        ASSERT_FALSE(found.empty());
        const Problem& p = found.front();
        EXPECT_EQ(std::tuple(p.File, p.Record, p.Field, p.Level), std::tuple(s.built.Master, row.record, row.field, row.level));
        EXPECT_NE(p.Text.find(row.says), std::string::npos) << p.Text;
    }
}

TEST_F(Validity, WhatAFileIsFollowsItsBytes) {
    const Set s(dir_);
    const fs::path dataAsMaster = dir_ / "OTHER.HST", cut = Put("CUT.HST", {Contents(s.built.Master)});
    fs::copy_file(s.Data(0), dataAsMaster);
    fs::resize_file(cut, 176 + 100);  // a damaged master, still a master
    const struct { fs::path path; TrendFileKind kind; } rows[] = {
        {s.built.Master, TrendFileKind::Master}, {cut, TrendFileKind::Master}, {dataAsMaster, TrendFileKind::DataFile},
        {s.empty, TrendFileKind::DataFile}, {Put("NOTES.000", {Bytes(100, 'x')}), TrendFileKind::Neither}};
    for (const auto& [path, kind] : rows) EXPECT_EQ(KindOfTrendFile(path), kind) << path;
    // The master to choose instead: the one whose records name the file, else the name's own.
    EXPECT_EQ(MasterOfDataFile(s.Data(1)), s.built.Master);
    EXPECT_EQ(MasterOfDataFile(dir_ / "LOOSE.007"), dir_ / "LOOSE.HST");
}

// The written-samples rule: FilePointer counts the samples written when it
// lies in 0..DataLength; only the newest file is cut there, and a file before
// it with FilePointer 0 was written whole (the runtime leaves 0 in a full file).
TEST(ValidityRules, WrittenSamples) {
    const std::optional<std::int32_t> none;
    const struct { std::int32_t fp, dl; bool newest, unwritten; std::optional<std::int32_t> written; std::int32_t limit; } rows[] = {
        {2, 4, true, false, 2, 2},        {2, 4, false, false, 2, 2},     {4, 4, true, false, 4, 4},
        {0, 4, true, false, 0, 0},        {0, 4, false, false, 0, -1},    {2, 4, true, true, 2, -1},
        {5, 4, true, false, none, -1},    {5, 4, false, false, none, -1}, {-1, 4, true, false, none, -1},
        {3, 0, true, false, none, -1},    {0, -2, true, false, none, -1},
    };
    for (const auto& w : rows) {
        SCOPED_TRACE(std::to_string(w.fp) + " of " + std::to_string(w.dl) + (w.newest ? ", newest" : ""));
        EXPECT_EQ(WrittenSamples(w.fp, w.dl), w.written);
        const std::int32_t limit = WrittenLimit(w.fp, w.dl, w.newest, w.unwritten);
        EXPECT_EQ(limit == INT32_MAX ? -1 : limit, w.limit);
    }
}

TEST(ValidityRules, TrendIdentity) {
    TrendSet a, b;
    a.Master.Title = b.Master.Title = "Boiler" + std::string(122, '\0');
    a.Records.resize(3), b.Records.resize(1);
    for (auto& r : a.Records) r.Name = "C:\\D\\TREND.001";
    a.Records[0].Name = "C:\\D\\..\\..";  // one stray Name does not decide
    b.Records[0].Name = "D:\\X\\trend.007";
    EXPECT_EQ(TrendDifference(a, b), "");
    b.Records[0].Name = "D:\\X\\OTHER.007";
    b.Master.Title = "Pump";
    EXPECT_EQ(TrendDifference(a, b), "the masters' Title differs (\"Boiler\", \"Pump\"); their records name data files of "
                                     "different trends (\"TREND.\", \"OTHER.\")");
}

}  // namespace
}  // namespace jw::test
