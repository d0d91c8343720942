// Data file headers and samples: sets of every version from the trend-set
// builder read back through the data file classes; rejected, hostile and
// truncated input.
#include <climits>
#include <tuple>
#include <utility>

#include "FormatsTest.h"
#include "formats/clsDataFile.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"

namespace jw::test {
namespace {

// A one-file set of the version with samples 1.5 s apart: 1500 ms, or 1500 s where a version counts seconds.
trendset::SetDescription SetOf(std::int16_t v, std::int16_t historyType, std::int32_t samples) {
    trendset::SetDescription set = testsupport::SampleSet(v, testsupport::Days(v, 15, 1), samples, 0);
    set.HistoryType = historyType;
    set.SamplePeriodRaw = 1500;
    return set;
}

class DataTest : public FilesTest {
protected:
    fs::path Built(std::int16_t v, std::int16_t historyType, std::int32_t samples) {
        return trendset::Build(dir_ / ("set" + std::to_string(++sets_)), SetOf(v, historyType, samples)).DataFiles.at(0);
    }
    int sets_ = 0;
};

TEST_F(DataTest, BuiltSetsOfEveryVersionReadBack) {
    for (std::int16_t v = 0; v <= 6; ++v) {
        for (std::int16_t historyType : {0, 4}) {
            SCOPED_TRACE("version " + std::to_string(v) + " history type " + std::to_string(historyType));
            const bool wide = v == 4 || v == 6, events = historyType == 4;
            const std::int32_t headerSize = v <= 3 ? 224 : v == 4 ? 288 : v == 5 ? 272 : 304,
                               sampleSize = wide ? (events ? 16 : 8) : (events ? 12 : 2);
            trendset::SetDescription plan = SetOf(v, historyType, 3);
            plan.Files[0].Capacity = 5;  // being written: room for two more
            BinaryFile file(trendset::Build(dir_ / std::to_string(v * 10 + historyType), plan).DataFiles[0], Mode::ReadOnly);
            clsDataFile d;
            d.Load(file);
            clsDataHeader& h = *d.header();
            EXPECT_EQ(std::tuple(h.Version, h.HistoryType, h.SamplePeriod, h.HeaderSize, h.FileSize, h.DataLength, h.FilePointer),
                      std::tuple(v, historyType, v <= 1 ? 1500.0 : 1.5, headerSize, headerSize + 5 * sampleSize, 5, 3));
            EXPECT_EQ(h.StartTime()->Raw, TimeRaw(wide, plan.Files[0].StartTime));
            EXPECT_EQ(d.GetSamples(file, 1, 3).index(), events ? 0U : wide ? 2U : 1U);  // nothing, or the run
            for (std::int32_t k = 1; k <= 3; ++k) {
                EXPECT_EQ(d.SampleValue(k), wide     ? TaggedValue::Double(trendset::SampleDouble(0, k))
                                            : events ? TaggedValue::Long(trendset::SampleInt32(0, k))
                                                     : TaggedValue::Integer(trendset::SampleInt16(0, k)));
                EXPECT_TRUE(!events || d.SampleTime(k) == trendset::EventTime(plan, plan.Files[0], k)) << k;
            }
        }
    }
}

// Hostile runs fail before anything is read or any array sized, and leave the last good run.
TEST_F(DataTest, HostileRunsFailBeforeAnythingIsRead) {
    const struct { fs::path file; std::int32_t start, end; ErrorKind kind; std::int32_t holds; } rows[] = {
        {Built(2, 0, 10), 0, 3, ErrorKind::SubscriptOutOfRange, 0},  // would read header bytes
        {Built(2, 0, 10), 5, 4, ErrorKind::SubscriptOutOfRange, 0},
        {Built(6, 0, 10), 10, 11, ErrorKind::InvalidData, 10}, {Built(6, 4, 5), 1, INT32_MAX, ErrorKind::InvalidData, 5},  // 32 GiB
        {Built(2, 0, 10), INT32_MIN, 1, ErrorKind::Overflow, 0}, {Built(2, 0, 10), 1 << 30, (1 << 30) + 1, ErrorKind::Overflow, 0},
        {Built(2, 0, 10), (1 << 30) - 200, 1 << 30, ErrorKind::InvalidData, 10}};
    for (const auto& r : rows) {
        const std::string run = std::to_string(r.start) + ".." + std::to_string(r.end);
        BinaryFile g(r.file, Mode::ReadOnly);
        clsDataFile e;
        EXPECT_EQ(ErrorOf([&] { (void)e.GetSamples(g, 1, 1); }).kind(), ErrorKind::MissingObject);  // before Load
        e.Load(g);
        (void)e.GetSamples(g, 1, 2);
        const Error err = ErrorOf([&] { (void)e.GetSamples(g, r.start, r.end); });
        EXPECT_EQ(err.kind(), r.kind) << run << ": " << err.what();
        EXPECT_TRUE(!r.holds || (Names(err, r.file.string()) && Names(err, run) &&
                                 Names(err, "holds " + std::to_string(r.holds) + " samples"))) << err.what();
        EXPECT_NO_THROW((void)e.SampleValue(2)) << run;
        EXPECT_EQ(ErrorOf([&] { (void)e.SampleValue(3); }).kind(), ErrorKind::SubscriptOutOfRange) << run;
    }
}

TEST_F(DataTest, RejectedHeaderNoticesOnceAndReadsTheFileStartAsSamples) {
    for (const auto& [bits, version] : {std::pair{0x0007, "7"}, std::pair{0xFFFF, "-1"}}) {
        Bytes x(300);
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<std::uint8_t>(i * 37 + 11);
        BinaryFile f(Put("log.000", {With(x, 138, bits, 2)}), Mode::ReadOnly);
        NoticeLog log;
        clsDataFile d;
        d.Load(f);  // returns normally
        EXPECT_EQ(log.seen, (std::vector{std::pair(
                                "This is not a valid trend file. It may be a log file or an unsupported format.\r\nVersion = " +
                                    std::string(version), NoticeMark::Error)}));
        EXPECT_EQ(std::tuple(d.header()->HeaderSize, d.header()->FileSize, d.SampleSize()), std::tuple(0, 300, 2));
        const auto run = std::get<IndexedArray<std::int16_t>>(d.GetSamples(f, 1, 4));
        for (std::int32_t n = 1; n <= 4; ++n) EXPECT_EQ(run(n), GetLE(x, 2 * static_cast<std::size_t>(n - 1), 2));
        std::tie(d.header()->Version, d.header()->HistoryType) = std::tuple(std::stoi(version), 9);
        EXPECT_EQ(d.SampleSize(), 0);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(d.GetSamples(f, 5, 3)));  // the range is never looked at
        EXPECT_EQ(log.seen[1], std::pair("Unknown trend version (" + std::string(version) + ").", NoticeMark::None));
        EXPECT_EQ(log.seen.back(), std::pair(std::string("Invalid trend type:9"), NoticeMark::None));
    }
}

// A master or data file cut short anywhere is a clear error naming the file
// and how far it goes: no notice, and nothing is taken from it.
TEST_F(DataTest, TruncatedFilesAreClearErrors) {
    const struct { bool master; std::size_t length; int version; } rows[] = {
        {true, 0, 5}, {true, 175, 5}, {true, 176 + 288 + 100, 5},  // the last ends inside the second record
        {false, 0, 0}, {false, 139, 0}, {false, 140, 6}, {false, 303, 6}, {false, 271, 5}, {false, 272, 4}};
    for (const auto& r : rows) {
        Bytes x = With({}, 138, static_cast<std::uint64_t>(r.version), 2);
        x.resize(r.length, 'A');
        const fs::path p = Put(r.master ? "short.hst" : "short.000", {x});
        BinaryFile f(p, Mode::ReadOnly);
        NoticeLog log;
        clsHSTMaster m;
        m.nFiles = 42;
        clsHSTHeader h;
        clsDataFile d;
        const Error e = ErrorOf([&] { r.master ? (m.Load(f), h.Load(f, m), h.Load(f, m)) : d.Load(f); });
        const bool cut = r.length > 500;
        EXPECT_TRUE(e.kind() == ErrorKind::InvalidData && Names(e, p.string()) &&
                    Names(e, cut ? "offset 464" : std::to_string(r.length) + " bytes")) << e.what();
        EXPECT_EQ(std::tuple(m.nFiles, h.Name, f.Position(), d.header() ? d.header()->HeaderSize : 0, log.seen.size()),
                  std::tuple(cut ? 0x4141 : 42, std::string(cut ? 144 : 0, 'A'), cut ? 464u : 0u, 0, 0U));
    }
}

}  // namespace
}  // namespace jw::test
