// The trend-set builder: its files checked at absolute offsets and read back
// through the data file classes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "formats/BinaryFile.h"
#include "formats/clsDataFile.h"
#include "time/Errors.h"
#include "time/Scaled64.h"
#include "trendset/TrendSetBuilder.h"

namespace fs = std::filesystem;
using namespace jw;

namespace {

std::vector<std::uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::int64_t LE(const std::vector<std::uint8_t>& b, std::size_t at, int width) {
    std::uint64_t u = 0;
    for (int i = 0; i < width; ++i) u |= static_cast<std::uint64_t>(b.at(at + static_cast<std::size_t>(i))) << (8 * i);
    if (width < 8 && (u >> (8 * width - 1)) != 0) u |= ~std::uint64_t{0} << (8 * width);  // sign-extend
    return static_cast<std::int64_t>(u);
}

// Per version: master record length, offset of Name's end (the block start),
// data header length, and whether times are 64-bit ticks.
struct VersionRow {
    std::int16_t version;
    std::size_t recordLength, nameWidth;
    std::int32_t headerSize;
    bool wide;
};
const VersionRow kVersions[] = {{0, 240, 144, 224, false}, {1, 240, 144, 224, false}, {2, 240, 144, 224, false},
                                {3, 240, 144, 224, false}, {4, 432, 272, 288, true},  {5, 288, 144, 272, false},
                                {6, 448, 272, 304, true}};

class TrendSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir_ = fs::temp_directory_path() / ("jw_trendset_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(TrendSetTest, RawTimeEncodings) {
    // 2004-09-17 06:45:30 in both encodings, and the Citect zero point.
    EXPECT_EQ(trendset::RawTime(5, 2004, 9, 17, 6, 45, 30), 1095403530);
    EXPECT_EQ(trendset::RawTime(6, 2004, 9, 17, 6, 45, 30), 127398771300000000LL);
    EXPECT_EQ(trendset::RawTime(4, 1970, 1, 1), 116444736000000000LL);
    EXPECT_EQ(trendset::RawTime(0, 1970, 1, 1), 0);
    EXPECT_EQ(trendset::RawTime(2, 1969, 12, 31, 23, 59, 59), -1);
    EXPECT_THROW(trendset::RawTime(6, 2004, 2, 30), Error);
}

TEST_F(TrendSetTest, EveryVersionAndSampleKindReadsBack) {
    for (const VersionRow& v : kVersions) {
        for (std::int16_t historyType : {0, 4}) {
            SCOPED_TRACE("version " + std::to_string(v.version) + " history type " + std::to_string(historyType));
            trendset::SetSpec spec;
            spec.Version = v.version;
            spec.HistoryType = historyType;
            spec.SamplePeriodRaw = v.version <= 1 ? 2 : 500;
            spec.AddOn = 2;
            spec.NextFile = 1;
            const std::int32_t samples[] = {6, 0, 3};
            for (int i = 0; i < 3; ++i) {
                trendset::DataFileSpec f;
                f.StartTime = trendset::RawTime(v.version, 2004, 9, 15 + i);
                f.EndTime = trendset::RawTime(v.version, 2004, 9, 15 + i, 23, 59, 59);
                f.Samples = samples[i];
                spec.Files.push_back(f);
            }
            const fs::path folder = dir_ / ("v" + std::to_string(v.version) + "h" + std::to_string(historyType));
            const trendset::BuiltSet set = trendset::Build(folder, spec);
            EXPECT_EQ(set.Master, folder / "TREND.HST");
            ASSERT_EQ(set.DataFiles.size(), 3U);

            // The master at its fixed offsets.
            const std::vector<std::uint8_t> m = ReadAll(set.Master);
            ASSERT_EQ(m.size(), 176 + 3 * v.recordLength);
            EXPECT_EQ(LE(m, 138, 2), v.version);
            EXPECT_EQ(LE(m, 148, 2), 3);  // History
            EXPECT_EQ(LE(m, 150, 2), 3);  // nFiles
            EXPECT_EQ(LE(m, 152, 2), 1);  // NextFile
            EXPECT_EQ(LE(m, 154, 2), 2);  // AddOn
            for (std::size_t i = 0; i < 3; ++i) {
                const std::size_t rec = 176 + i * v.recordLength;
                const std::string name(reinterpret_cast<const char*>(&m[rec]), v.nameWidth);
                EXPECT_EQ(name.substr(0, 25), "C:\\Citect\\Data\\TREND.00" + std::to_string(i) + std::string(1, '\0'));
                EXPECT_EQ(name.find_first_not_of('\0', 24), std::string::npos);
                EXPECT_EQ(LE(m, rec + v.nameWidth + 10, 2), v.version);
                EXPECT_EQ(set.DataFiles[i], folder / ("TREND.00" + std::to_string(i)));
            }

            // Each data file through the readers.
            std::int64_t previousEnd = 0;
            for (std::size_t i = 0; i < 3; ++i) {
                BinaryFile file(set.DataFiles[i], BinaryFile::Mode::ReadOnly);
                clsDataFile d;
                d.Load(file);
                clsDataHeader& h = *d.header();
                const std::int32_t size = v.wide ? (historyType == 4 ? 16 : 8) : (historyType == 4 ? 12 : 2);
                EXPECT_EQ(h.Version, v.version);
                EXPECT_EQ(h.HistoryType, historyType);
                EXPECT_EQ(h.HeaderSize, v.headerSize);
                EXPECT_EQ(h.FileSize, v.headerSize + samples[i] * size);
                EXPECT_EQ(h.SamplePeriodRaw, spec.SamplePeriodRaw);
                EXPECT_EQ(h.SamplePeriod, v.version <= 1 ? 2.0 : 0.5);
                const std::int64_t start = spec.Files[i].StartTime;
                if (v.wide) {
                    EXPECT_EQ(h.StartTime()->Raw, TaggedValue::Currency(Scaled64::FromRaw(start)));
                } else {
                    EXPECT_EQ(h.StartTime()->Raw, TaggedValue::Long(static_cast<std::int32_t>(start)));
                }
                EXPECT_EQ(h.EndTime()->Raw.kind(), v.wide ? TaggedValue::Kind::Currency : TaggedValue::Kind::Long);
                // Event numbers run on across the set: 1..6, none, 7..9.
                const char* evStart[] = {"1", "0", "7"};
                const char* evEnd[] = {"6", "0", "9"};
                const char* evStart64[] = {"00001", "00000", "00007"};
                const char* evEnd64[] = {"00006", "00000", "00009"};
                EXPECT_EQ(h.StartEvNo, v.wide ? evStart64[i] : evStart[i]);
                EXPECT_EQ(h.EndEvNo, v.wide ? evEnd64[i] : evEnd[i]);

                if (samples[i] == 0) continue;
                const SampleRun run = d.GetSamples(file, 1, samples[i]);
                for (std::int32_t k = 1; k <= samples[i]; ++k) {
                    const TaggedValue value = d.SampleValue(k);
                    if (historyType == 4) {
                        EXPECT_EQ(value, v.wide ? TaggedValue::Double(trendset::SampleDouble(i, k))
                                                : TaggedValue::Long(trendset::SampleInt32(i, k)));
                        const std::int64_t t = d.SampleTime(k);
                        EXPECT_EQ(t, trendset::EventTime(spec, spec.Files[i], k));
                        EXPECT_GT(t, previousEnd);  // strictly increasing, across files too
                        previousEnd = t;
                    } else if (v.wide) {
                        EXPECT_EQ(std::get<IndexedArray<double>>(run)(k), trendset::SampleDouble(i, k));
                    } else {
                        EXPECT_EQ(std::get<IndexedArray<std::int16_t>>(run)(k), trendset::SampleInt16(i, k));
                    }
                }
            }
        }
    }
}

TEST_F(TrendSetTest, EventTimesCarryMillisecondsAndFollowTheStart) {
    trendset::SetSpec spec;
    spec.Version = 5;
    spec.HistoryType = 4;
    spec.SamplePeriodRaw = 1000;
    trendset::DataFileSpec f;
    f.StartTime = 1095403530;
    f.Samples = 4;
    // Sample 1 lies in the start second; later ones a period on, each with a millisecond part.
    const std::int64_t startTicks = (1095403530LL + 11644473600LL) * 10000000LL;
    bool sawMilliseconds = false;
    for (std::int32_t k = 1; k <= 4; ++k) {
        const std::int64_t t = trendset::EventTime(spec, f, k);
        EXPECT_GE(t - startTicks, (k - 1) * 10000000LL);
        EXPECT_LT(t - startTicks, k * 10000000LL);
        sawMilliseconds = sawMilliseconds || (t % 10000000LL) != 0;
    }
    EXPECT_TRUE(sawMilliseconds);
}

TEST_F(TrendSetTest, RecordedNamesMissingFilesAndCounts) {
    trendset::SetSpec spec;
    spec.Version = 4;
    spec.BaseName = "PLANT.";
    spec.RecordedFolder = "D:\\Hist";
    spec.nFiles = 5;  // promises more records than the file holds
    trendset::DataFileSpec a, b;
    a.RecordedName = std::string("E:\\Old\\plant.000\0.x\\", 20);
    b.WriteDataFile = false;
    spec.Files = {a, b};
    const trendset::BuiltSet set = trendset::Build(dir_, spec);
    EXPECT_EQ(set.Master, dir_ / "PLANT.HST");
    const std::vector<std::uint8_t> m = ReadAll(set.Master);
    ASSERT_EQ(m.size(), 176U + 2 * 432);
    EXPECT_EQ(LE(m, 150, 2), 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m[176]), 20), std::string("E:\\Old\\plant.000\0.x\\", 20));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m[176 + 432]), 18), std::string("D:\\Hist\\PLANT.001\0", 18));
    EXPECT_TRUE(fs::exists(dir_ / "PLANT.000"));  // written under the set's own name
    EXPECT_FALSE(fs::exists(dir_ / "PLANT.001"));
    EXPECT_EQ(set.DataFiles[1], dir_ / "PLANT.001");
}

TEST_F(TrendSetTest, VersionWithoutLayoutGetsTheMasterHeaderAlone) {
    for (std::int16_t version : {7, -1}) {
        trendset::SetSpec spec;
        spec.Version = version;
        spec.Files.resize(2);
        const trendset::BuiltSet set = trendset::Build(dir_ / std::to_string(version), spec);
        const std::vector<std::uint8_t> m = ReadAll(set.Master);
        ASSERT_EQ(m.size(), 176U);
        EXPECT_EQ(LE(m, 138, 2), version);
        EXPECT_TRUE(set.DataFiles.empty());
        EXPECT_THROW(trendset::BuildEmptyDataFile(dir_ / "empty.000", spec), Error);
    }
}

TEST_F(TrendSetTest, EmptyDataFileIsAHeaderWithoutTimes) {
    for (const VersionRow& v : kVersions) {
        trendset::SetSpec spec;
        spec.Version = v.version;
        spec.HistoryType = 4;
        const fs::path p = dir_ / "sub" / ("EMPTY" + std::to_string(v.version) + ".000");
        trendset::BuildEmptyDataFile(p, spec);
        EXPECT_EQ(fs::file_size(p), static_cast<std::uintmax_t>(v.headerSize));
        BinaryFile f(p, BinaryFile::Mode::ReadOnly);
        clsDataHeader h;
        std::string why;
        ASSERT_TRUE(h.LoadQuiet(f, &why)) << why;
        EXPECT_EQ(h.Version, v.version);
        EXPECT_EQ(h.HistoryType, 4);
        EXPECT_EQ(h.StartTime()->Raw, v.wide ? TaggedValue::Currency(Scaled64::FromRaw(0)) : TaggedValue::Long(0));
        EXPECT_EQ(h.EndTime()->Raw, h.StartTime()->Raw);
        EXPECT_EQ(h.DataLength, 0);
    }
}

}  // namespace
