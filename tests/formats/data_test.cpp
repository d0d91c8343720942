// Data file headers and samples: sets of every version from the trend-set
// builder read back through the master and data file classes, one hand-made
// sample fixture, rejected and hostile input.
#include <climits>
#include <tuple>

#include "FormatsTest.h"
#include "formats/clsDataFile.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"
#include "trendset/TrendSetBuilder.h"

namespace jw::test {
namespace {

std::string Padded(std::string s, std::size_t width) {
    s.resize(width, '\0');
    return s;
}

// Citect seconds and milliseconds as ticks since 1601, by hand.
std::int64_t Ticks(std::int64_t seconds, std::int64_t ms) { return ((seconds + 11644473600) * 1000 + ms) * 10000; }

class DataTest : public FilesTest {
protected:
    // A one-file set of the version with n samples.
    fs::path Built(std::int16_t version, std::int16_t historyType, std::int32_t n) {
        trendset::SetSpec spec;
        spec.Version = version;
        spec.HistoryType = historyType;
        spec.Files = {{trendset::RawTime(version, 2004, 9, 17), 0, n, {}, true}};
        return trendset::Build(dir_ / ("set" + std::to_string(++sets_)), spec).DataFiles.at(0);
    }
    int sets_ = 0;
};

TEST_F(DataTest, BuiltSetsOfEveryVersionReadBack) {
    for (std::int16_t v = 0; v <= 6; ++v) {
        for (std::int16_t historyType : {0, 4}) {
            SCOPED_TRACE("version " + std::to_string(v) + " history type " + std::to_string(historyType));
            const bool wide = v == 4 || v == 6, events = historyType == 4;
            const std::int32_t headerSize = v <= 3 ? 224 : v == 4 ? 288 : v == 5 ? 272 : 304;
            const std::int32_t sampleSize = wide ? (events ? 16 : 8) : (events ? 12 : 2), counts[] = {6, 0, 3};
            trendset::SetSpec spec;
            spec.Version = v;
            spec.HistoryType = historyType;
            spec.SamplePeriodRaw = 1500;
            for (int i = 0; i < 3; ++i)
                spec.Files.push_back({trendset::RawTime(v, 2004, 9, 15 + i), trendset::RawTime(v, 2004, 9, 15 + i, 23, 59, 59), counts[i], {}, true});
            const trendset::BuiltSet set = trendset::Build(dir_ / std::to_string(v * 10 + historyType), spec);
            BinaryFile master(set.Master, Mode::ReadOnly);
            clsHSTMaster m;
            m.Load(master);
            EXPECT_EQ(std::tuple(m.Version, m.nFiles), std::tuple(v, 3));
            std::int64_t previous = 0;
            for (std::size_t i = 0; i < 3; ++i) {
                clsHSTHeader r;
                r.Load(master, m);
                EXPECT_EQ(r.Name, Padded("C:\\Citect\\Data\\TREND.00" + std::to_string(i), wide ? 272 : 144));
                BinaryFile file(set.DataFiles[i], Mode::ReadOnly);
                clsDataFile d;
                d.Load(file);
                clsDataHeader& h = *d.header();
                const std::int64_t start = spec.Files[i].StartTime, end = spec.Files[i].EndTime;
                EXPECT_EQ(h.Title, Padded("Joinwright sample trend", 112));
                EXPECT_EQ(std::tuple(h.RawZero, h.RawFull, h.EngZero, h.EngFull), std::tuple(0.0F, 32000.0F, 0.0F, 100.0F));
                EXPECT_EQ(std::tuple(h.ID, h.FileType, h.Version, h.HistoryType), std::tuple(Padded("TREND", 8), 1, v, historyType));
                EXPECT_EQ(h.LogName, Padded("Sample.Trend", v <= 3 ? 32 : v == 4 ? 64 : 80));
                EXPECT_EQ(std::tuple(h.Mode, h.Area, h.Priv, h.Format, h.sEngUnits), std::tuple(3, 7, 5, 258, Padded("degC", 8)));
                EXPECT_EQ(std::tuple(h.SamplePeriodRaw, h.SamplePeriod), std::tuple(1500, v <= 1 ? 1500.0 : 1.5));
                EXPECT_EQ(std::tuple(h.HeaderSize, h.FileSize, h.DataLength), std::tuple(headerSize, headerSize + counts[i] * sampleSize, counts[i]));
                EXPECT_EQ(h.FilePointer, counts[i] ? h.FileSize : 0);
                EXPECT_EQ(std::tuple(h.Alignment1, h.Alignment2), std::tuple(std::string(wide ? 12 : 2, '\0'), std::string(wide ? 6 : 0, '\0')));
                const char* evNo[][2] = {{"1", "6"}, {"0", "0"}, {"7", "9"}};  // event numbers run on across the set
                const std::string pad = wide ? "0000" : "";
                EXPECT_EQ(std::tuple(h.StartEvNo, h.EndEvNo), std::tuple(pad + evNo[i][0], pad + evNo[i][1]));
                EXPECT_EQ(h.StartTime()->Raw, wide ? TaggedValue::Currency(Scaled64::FromRaw(start)) : TaggedValue::Long(static_cast<std::int32_t>(start)));
                EXPECT_EQ(h.EndTime()->Raw, wide ? TaggedValue::Currency(Scaled64::FromRaw(end)) : TaggedValue::Long(static_cast<std::int32_t>(end)));
                // The master's record describes the same file.
                EXPECT_EQ(std::tuple(r.Version, r.HistoryType, r.SamplePeriod, r.StartEvNo, r.EndEvNo, r.StartTime()->Raw, r.LogName),
                          std::tuple(h.Version, h.HistoryType, h.SamplePeriod, h.StartEvNo, h.EndEvNo, h.StartTime()->Raw, h.LogName));
                if (counts[i] == 0) continue;
                const SampleRun run = d.GetSamples(file, 1, counts[i]);
                EXPECT_EQ(run.index(), events ? 0U : wide ? 2U : 1U);  // nothing, or a copy of the 16-bit or float run
                for (std::int32_t k = 1; k <= counts[i]; ++k) {
                    EXPECT_EQ(d.SampleValue(k), wide     ? TaggedValue::Double(trendset::SampleDouble(i, k))
                                                : events ? TaggedValue::Long(trendset::SampleInt32(i, k))
                                                         : TaggedValue::Integer(trendset::SampleInt16(i, k)));
                    if (!events) continue;
                    EXPECT_EQ(d.SampleTime(k), trendset::EventTime(spec, spec.Files[i], k));
                    EXPECT_GT(d.SampleTime(k), previous);  // strictly increasing, across files too
                    previous = d.SampleTime(k);
                }
                const auto first = d.header();
                d.Save(file);  // reads the header again (the handle is read-only: nothing is written)
                EXPECT_NE(d.header(), first);
                EXPECT_EQ(d.header()->EndEvNo, h.EndEvNo);
            }
        }
    }
}

TEST_F(DataTest, EventSamplesByHandAndTheRunsTheyAreReadIn) {
    Bytes x(272, 0xAB);  // a V5 header of event samples; filler that must never be read as a sample
    PutLE(x, 138, 5, 2);
    PutLE(x, 232, 4, 2);  // HistoryType
    const std::int64_t samples[][3] = {{INT32_MIN, -86400, 999}, {70000, 1095403530, 0}, {-5, 0, 500}};
    for (const auto& s : samples)
        for (int j = 0; j < 3; ++j) PutLE(x, x.size(), static_cast<std::uint64_t>(s[j]), 4);
    BinaryFile f(Put("events.000", x), Mode::ReadOnly);
    clsDataFile d;
    EXPECT_EQ(ErrorOf([&] { (void)d.GetSamples(f, 1, 1); }).kind(), ErrorKind::MissingObject);  // before Load
    d.Load(f);
    EXPECT_EQ(d.SampleSize(), 12);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(d.GetSamples(f, 1, 3)));
    for (std::int32_t n = 1; n <= 3; ++n) {
        EXPECT_EQ(d.SampleValue(n), TaggedValue::Long(static_cast<std::int32_t>(samples[n - 1][0])));
        EXPECT_EQ(d.SampleTime(n), Ticks(samples[n - 1][1], samples[n - 1][2]));
    }
    (void)d.GetSamples(f, 2, 3);
    for (std::int32_t n : {1, 4}) EXPECT_EQ(ErrorOf([&] { (void)d.SampleTime(n); }).kind(), ErrorKind::SubscriptOutOfRange);

    // Hostile runs fail before anything is read and leave the last good run.
    const struct { fs::path file; std::int32_t start, end; ErrorKind kind; std::int32_t holds; } rows[] = {
        {Built(2, 0, 10), 0, 3, ErrorKind::SubscriptOutOfRange, 0},  // would read header bytes
        {Built(2, 0, 10), -5, 2, ErrorKind::SubscriptOutOfRange, 0}, {Built(2, 0, 10), 5, 4, ErrorKind::SubscriptOutOfRange, 0},
        {Built(2, 0, 10), 1, 11, ErrorKind::InvalidData, 10}, {Built(6, 0, 10), 10, 11, ErrorKind::InvalidData, 10},
        {Built(5, 4, 5), 1, 6, ErrorKind::InvalidData, 5}, {Built(6, 4, 5), 1, INT32_MAX, ErrorKind::InvalidData, 5},  // 32 GiB
        {Built(2, 0, 10), INT32_MIN, 1, ErrorKind::Overflow, 0}, {Built(6, 0, 10), INT32_MAX, INT32_MAX, ErrorKind::Overflow, 0},
        {Built(2, 0, 10), 1 << 30, (1 << 30) + 1, ErrorKind::Overflow, 0}, {Built(2, 0, 10), (1 << 30) - 200, 1 << 30, ErrorKind::InvalidData, 10}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file.string() + " " + std::to_string(r.start) + ".." + std::to_string(r.end));
        BinaryFile g(r.file, Mode::ReadOnly);
        clsDataFile e;
        e.Load(g);
        (void)e.GetSamples(g, 1, 2);
        const Error err = ErrorOf([&] { (void)e.GetSamples(g, r.start, r.end); });
        EXPECT_EQ(err.kind(), r.kind) << err.what();
        EXPECT_TRUE(!r.holds || (Names(err, r.file.string()) && Names(err, std::to_string(r.start) + ".." + std::to_string(r.end)) &&
                                 Names(err, "holds " + std::to_string(r.holds) + " samples"))) << err.what();
        EXPECT_NO_THROW((void)e.SampleValue(2));
        EXPECT_EQ(ErrorOf([&] { (void)e.SampleValue(3); }).kind(), ErrorKind::SubscriptOutOfRange);
    }
}

TEST_F(DataTest, RejectedHeaderNoticesOnceAndReadsTheFileStartAsSamples) {
    for (const auto& [lo, hi, version] : {std::tuple{0x07, 0x00, "7"}, std::tuple{0xFF, 0xFF, "-1"}}) {
        Bytes x(300);
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<std::uint8_t>(i * 37 + 11);
        x[138] = static_cast<std::uint8_t>(lo);
        x[139] = static_cast<std::uint8_t>(hi);
        BinaryFile f(Put("log.000", x), Mode::ReadOnly);
        NoticeLog log;
        clsDataFile d;
        d.Load(f);  // returns normally
        ASSERT_EQ(log.seen.size(), 1U);
        EXPECT_EQ(log.seen[0].first, "This is not a valid trend file. It may be a log file or an unsupported format.\r\nVersion = " +
                                         std::string(version));
        EXPECT_EQ(log.seen[0].second, NoticeMark::Error);
        EXPECT_EQ(std::tuple(d.header()->HeaderSize, d.header()->FileSize, d.SampleSize()), std::tuple(0, 300, 2));
        const auto run = std::get<IndexedArray<std::int16_t>>(d.GetSamples(f, 1, 4));
        for (std::int32_t n = 1; n <= 4; ++n) EXPECT_EQ(run(n), static_cast<std::int16_t>(GetLE(x, 2 * (n - 1), 2)));
        d.header()->Version = std::stoi(version);
        d.header()->HistoryType = 9;
        EXPECT_EQ(d.SampleSize(), 0);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(d.GetSamples(f, 5, 3)));  // the range is never looked at
        EXPECT_EQ(log.seen[1].first, "Unknown trend version (" + std::string(version) + ").");
        EXPECT_EQ(log.seen.back(), std::pair(std::string("Invalid trend type:9"), NoticeMark::None));
    }
}

TEST_F(DataTest, ShortAndEmptyFilesAreClearErrors) {
    const struct { std::size_t length; int version; } rows[] = {{0, 0}, {139, 0}, {140, 6}, {303, 6}, {271, 5}, {272, 4}};
    for (const auto& r : rows) {
        Bytes x(r.length, 0);
        if (r.length >= 140) PutLE(x, 138, static_cast<std::uint64_t>(r.version), 2);
        const fs::path p = Put("short.000", x);
        BinaryFile f(p, Mode::ReadOnly);
        NoticeLog log;
        clsDataFile d;
        const Error e = ErrorOf([&] { d.Load(f); });
        EXPECT_EQ(e.kind(), ErrorKind::InvalidData);
        EXPECT_TRUE(Names(e, p.string()) && Names(e, std::to_string(r.length) + " bytes")) << e.what();
        EXPECT_EQ(d.header()->HeaderSize, 0);
        const auto past = static_cast<std::int32_t>(r.length / 2 + 1);  // the fresh header reads 16-bit samples from byte 0
        EXPECT_EQ(ErrorOf([&] { (void)d.GetSamples(f, 1, past); }).kind(), ErrorKind::InvalidData);
        EXPECT_TRUE(log.seen.empty());
    }

    clsDataHeader h;  // a narrow load keeps what a wide one left in Alignment2, and the instants
    BinaryFile v4(Built(4, 0, 1), Mode::ReadOnly), v5(Built(5, 0, 1), Mode::ReadOnly);
    const auto start = h.StartTime();
    h.Load(v4);
    h.Load(v5);
    EXPECT_EQ(std::tuple(h.Alignment2, h.HeaderSize, h.StartTime()), std::tuple(std::string(6, '\0'), 272, start));
}

}  // namespace
}  // namespace jw::test
