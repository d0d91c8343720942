// Sample areas of data files built byte by byte, read through clsDataFile.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "formats/BinaryFile.h"
#include "formats/Notices.h"
#include "formats/clsDataFile.h"
#include "time/Errors.h"

namespace fs = std::filesystem;
using namespace jw;

namespace {

struct Layout {
    std::int16_t version;
    int headerSize;
    int historyTypeAt;  // absolute offset of HistoryType
};

// Header lengths and HistoryType offsets of the four layouts.
Layout LayoutOf(std::int16_t version) {
    switch (version) {
        case 4: return {4, 288, 232};
        case 5: return {5, 272, 232};
        case 6: return {6, 304, 248};
        default: return {version, 224, 184};
    }
}

struct Bytes {
    std::vector<std::uint8_t> b;
    void PutLE(std::size_t at, std::uint64_t v, int width) {
        if (b.size() < at + static_cast<std::size_t>(width)) b.resize(at + static_cast<std::size_t>(width), 0);
        for (int i = 0; i < width; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void I16(std::size_t at, std::int16_t v) { PutLE(at, static_cast<std::uint16_t>(v), 2); }
    void I32(std::size_t at, std::int32_t v) { PutLE(at, static_cast<std::uint32_t>(v), 4); }
    void I64(std::size_t at, std::int64_t v) { PutLE(at, static_cast<std::uint64_t>(v), 8); }
    void F64(std::size_t at, double v) {
        std::uint64_t u;
        std::memcpy(&u, &v, 8);
        PutLE(at, u, 8);
    }
};

// A header of the version's layout with the given HistoryType; samples go behind it.
Bytes Header(std::int16_t version, std::int16_t historyType) {
    const Layout l = LayoutOf(version);
    Bytes x;
    x.b.assign(static_cast<std::size_t>(l.headerSize), 0xAB);  // filler that must never be read as a sample
    x.I16(138, version);
    x.I16(static_cast<std::size_t>(l.historyTypeAt), historyType);
    return x;
}

struct Event32 {
    std::int32_t value, time, ms;
};
struct Event64 {
    double value;
    std::int64_t ticks;
};

const std::vector<std::int16_t> kInts = {-32768, -1, 0, 1, 32767, 1234, -4321, 77, 88, 99};
const std::vector<double> kFloats = {-1.5, 0.0, 3.25, 1e300, -0.0, 6.02e23, 2.5e-310, 42.0, -7.75, 100.125};
const std::vector<Event32> kEvents32 = {{-5, 1095403530, 0}, {70000, 1095403531, 250}, {2147483647, 1095403600, 999},
                                        {-2147483647 - 1, 0, 1}, {3, -86400, 500}};
const std::vector<Event64> kEvents64 = {{1.5, 127398771300000000LL}, {-2.25, 127398771302500000LL},
                                        {1e-9, 116444736000000000LL}, {9.0, 0}};

class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir_ = fs::temp_directory_path() / ("jw_datafile_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }

    // A periodic file of the version with kInts or kFloats as samples.
    fs::path Periodic(std::int16_t version, std::int16_t historyType = 0) {
        Bytes x = Header(version, historyType);
        const bool wide = version == 4 || version == 6;
        const std::size_t h = x.b.size();
        for (std::size_t i = 0; i < kInts.size(); ++i) {
            if (wide) x.F64(h + i * 8, kFloats[i]);
            else x.I16(h + i * 2, kInts[i]);
        }
        return Write("periodic" + std::to_string(version) + ".000", x.b);
    }

    fs::path Events32(std::int16_t version) {
        Bytes x = Header(version, 4);
        const std::size_t h = x.b.size();
        for (std::size_t i = 0; i < kEvents32.size(); ++i) {
            x.I32(h + i * 12, kEvents32[i].value);
            x.I32(h + i * 12 + 4, kEvents32[i].time);
            x.I32(h + i * 12 + 8, kEvents32[i].ms);
        }
        return Write("events32_" + std::to_string(version) + ".000", x.b);
    }

    fs::path Events64(std::int16_t version) {
        Bytes x = Header(version, 4);
        const std::size_t h = x.b.size();
        for (std::size_t i = 0; i < kEvents64.size(); ++i) {
            x.F64(h + i * 16, kEvents64[i].value);
            x.I64(h + i * 16 + 8, kEvents64[i].ticks);
        }
        return Write("events64_" + std::to_string(version) + ".000", x.b);
    }

    fs::path dir_;
};

struct Recorder {
    std::vector<std::pair<std::string, NoticeMark>> seen;
    ScopedNoticeSink sink{[this](std::string_view t, NoticeMark m) { seen.emplace_back(std::string(t), m); }};
};

ErrorKind KindOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no error";
    return ErrorKind::Refused;
}

// Citect seconds and milliseconds as 100-ns ticks since 1601, by hand.
std::int64_t Ticks(std::int32_t seconds, std::int32_t ms) {
    return ((static_cast<std::int64_t>(seconds) + 11644473600LL) * 1000 + ms) * 10000;
}

TEST_F(DataFileTest, SampleSizeByVersionAndHistoryType) {
    struct Row {
        std::int16_t version, historyType;
        std::int32_t size;
    };
    const Row rows[] = {{0, 0, 2},  {1, 1, 2},  {2, 4, 12}, {3, 2, 2},  {5, 0, 2},  {5, 4, 12},
                        {4, 0, 8},  {4, 4, 16}, {6, 3, 8},  {6, 4, 16}, {0, -4, 2}, {6, -1, 8}};
    for (const Row& r : rows) {
        BinaryFile f(Write("s.000", Header(r.version, r.historyType).b), BinaryFile::Mode::ReadOnly);
        clsDataFile d;
        d.Load(f);
        EXPECT_EQ(d.SampleSize(), r.size) << "version " << r.version << " type " << r.historyType;
    }
}

TEST_F(DataFileTest, NoHeaderBeforeTheFirstLoadIsAMissingObject) {
    BinaryFile f(Periodic(2), BinaryFile::Mode::ReadOnly);
    clsDataFile d;
    EXPECT_EQ(d.header(), nullptr);
    EXPECT_EQ(KindOf([&] { (void)d.SampleSize(); }), ErrorKind::MissingObject);
    EXPECT_EQ(KindOf([&] { (void)d.GetSamples(f, 1, 1); }), ErrorKind::MissingObject);
    EXPECT_EQ(KindOf([&] { (void)d.SampleValue(1); }), ErrorKind::MissingObject);
    EXPECT_EQ(KindOf([&] { (void)d.SampleTime(1); }), ErrorKind::MissingObject);
}

TEST_F(DataFileTest, PeriodicInt16Runs) {
    for (std::int16_t v : {0, 1, 2, 3, 5}) {
        SCOPED_TRACE("version " + std::to_string(v));
        BinaryFile f(Periodic(v), BinaryFile::Mode::ReadOnly);
        clsDataFile d;
        d.Load(f);
        const SampleRun run = d.GetSamples(f, 5, 5);  // the two bytes at h + 8
        ASSERT_TRUE(std::holds_alternative<IndexedArray<std::int16_t>>(run));
        EXPECT_EQ(std::get<IndexedArray<std::int16_t>>(run)(5), kInts[4]);

        const SampleRun all = d.GetSamples(f, 2, 10);
        const auto& a = std::get<IndexedArray<std::int16_t>>(all);
        EXPECT_EQ(a.lo(), 2);
        EXPECT_EQ(a.hi(), 10);
        for (std::int32_t n = 2; n <= 10; ++n) {
            EXPECT_EQ(a(n), kInts[static_cast<std::size_t>(n - 1)]);
            EXPECT_EQ(d.SampleValue(n), TaggedValue::Integer(kInts[static_cast<std::size_t>(n - 1)]));
            EXPECT_EQ(d.SampleTime(n), 0);
        }
        EXPECT_EQ(KindOf([&] { (void)d.SampleValue(1); }), ErrorKind::SubscriptOutOfRange);
        EXPECT_EQ(KindOf([&] { (void)d.SampleValue(11); }), ErrorKind::SubscriptOutOfRange);
        EXPECT_EQ(d.SampleTime(11), 0);  // no time: the array is not consulted
    }
}

TEST_F(DataFileTest, PeriodicFloatRuns) {
    for (std::int16_t v : {4, 6}) {
        SCOPED_TRACE("version " + std::to_string(v));
        BinaryFile f(Periodic(v), BinaryFile::Mode::ReadOnly);
        clsDataFile d;
        d.Load(f);
        const SampleRun run = d.GetSamples(f, 1, 10);
        const auto& a = std::get<IndexedArray<double>>(run);
        ASSERT_EQ(a.size(), 10U);
        for (std::int32_t n = 1; n <= 10; ++n) {
            const double want = kFloats[static_cast<std::size_t>(n - 1)];
            EXPECT_EQ(std::memcmp(&a(n), &want, 8), 0) << "sample " << n;  // bit for bit (-0.0, subnormal)
            EXPECT_EQ(d.SampleValue(n), TaggedValue::Double(want));
        }
        // The returned run is a copy: reading another run leaves it as it was.
        (void)d.GetSamples(f, 3, 3);
        EXPECT_EQ(a(1), kFloats[0]);
        EXPECT_EQ(KindOf([&] { (void)d.SampleValue(1); }), ErrorKind::SubscriptOutOfRange);
    }
}

TEST_F(DataFileTest, EventSamples32CarryCitectTimeAndMilliseconds) {
    for (std::int16_t v : {0, 2, 3, 5}) {
        SCOPED_TRACE("version " + std::to_string(v));
        BinaryFile f(Events32(v), BinaryFile::Mode::ReadOnly);
        clsDataFile d;
        d.Load(f);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(d.GetSamples(f, 1, 5)));
        for (std::int32_t n = 1; n <= 5; ++n) {
            const Event32& e = kEvents32[static_cast<std::size_t>(n - 1)];
            EXPECT_EQ(d.SampleValue(n), TaggedValue::Long(e.value));
            EXPECT_EQ(d.SampleTime(n), Ticks(e.time, e.ms));
        }
        (void)d.GetSamples(f, 3, 4);
        EXPECT_EQ(d.SampleValue(3), TaggedValue::Long(kEvents32[2].value));
        EXPECT_EQ(d.SampleTime(3), Ticks(1095403600, 999));
        EXPECT_EQ(d.EventSamples32().lo(), 3);
        EXPECT_EQ(KindOf([&] { (void)d.SampleTime(2); }), ErrorKind::SubscriptOutOfRange);
        EXPECT_EQ(KindOf([&] { (void)d.SampleValue(5); }), ErrorKind::SubscriptOutOfRange);
    }
}

TEST_F(DataFileTest, EventSamples64KeepTheStoredTicks) {
    for (std::int16_t v : {4, 6}) {
        BinaryFile f(Events64(v), BinaryFile::Mode::ReadOnly);
        clsDataFile d;
        d.Load(f);
        EXPECT_EQ(d.SampleSize(), 16);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(d.GetSamples(f, 2, 4)));
        for (std::int32_t n = 2; n <= 4; ++n) {
            EXPECT_EQ(d.SampleValue(n), TaggedValue::Double(kEvents64[static_cast<std::size_t>(n - 1)].value));
            EXPECT_EQ(d.SampleTime(n), kEvents64[static_cast<std::size_t>(n - 1)].ticks);
        }
        EXPECT_EQ(KindOf([&] { (void)d.SampleTime(1); }), ErrorKind::SubscriptOutOfRange);
    }
}

TEST_F(DataFileTest, OtherHistoryTypesReadButGiveNoValueOrTime) {
    BinaryFile f(Periodic(3, 2), BinaryFile::Mode::ReadOnly);
    clsDataFile d;
    d.Load(f);
    const auto run = d.GetSamples(f, 1, 3);
    EXPECT_EQ(std::get<IndexedArray<std::int16_t>>(run)(3), kInts[2]);
    EXPECT_TRUE(d.SampleValue(2).IsEmpty());
    EXPECT_TRUE(d.SampleValue(999).IsEmpty());
    EXPECT_EQ(d.SampleTime(2), 0);
}

TEST_F(DataFileTest, UnknownVersionNoticesAndReadsNothing) {
    BinaryFile f(Periodic(6), BinaryFile::Mode::ReadOnly);
    for (std::int32_t bad : {7, -1}) {
        Recorder rec;
        clsDataFile d;
        d.Load(f);
        (void)d.GetSamples(f, 1, 2);
        d.header()->Version = bad;
        d.header()->HistoryType = 9;
        EXPECT_EQ(d.SampleSize(), 0);
        EXPECT_EQ(d.SampleSize(), 0);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(d.GetSamples(f, 5, 3)));  // range never checked
        const std::string version = "Unknown trend version (" + std::to_string(bad) + ").";
        const std::vector<std::pair<std::string, NoticeMark>> want = {{version, NoticeMark::None},
                                                                      {version, NoticeMark::None},
                                                                      {version, NoticeMark::None},
                                                                      {version, NoticeMark::None},
                                                                      {"Invalid trend type:9", NoticeMark::None}};
        EXPECT_EQ(rec.seen, want);
        EXPECT_TRUE(d.SampleValue(1).IsEmpty());
        EXPECT_EQ(d.SampleTime(1), 0);
        d.header()->Version = 6;  // the earlier run is still there
        d.header()->HistoryType = 0;
        EXPECT_EQ(d.SampleValue(2), TaggedValue::Double(kFloats[1]));
        EXPECT_EQ(rec.seen.size(), 5U);
    }
}

TEST_F(DataFileTest, RejectedHeaderReadsTheFileStartAsInt16Samples) {
    Bytes x;
    x.b.resize(300);
    for (std::size_t i = 0; i < x.b.size(); ++i) x.b[i] = static_cast<std::uint8_t>(i * 37 + 11);
    x.b[138] = 0x07;
    x.b[139] = 0x00;
    BinaryFile f(Write("log.000", x.b), BinaryFile::Mode::ReadOnly);
    Recorder rec;
    clsDataFile d;
    d.Load(f);
    ASSERT_EQ(rec.seen.size(), 1U);
    EXPECT_EQ(d.header()->HeaderSize, 0);
    EXPECT_EQ(d.SampleSize(), 2);
    const auto run = d.GetSamples(f, 1, 4);
    const auto& a = std::get<IndexedArray<std::int16_t>>(run);
    for (std::int32_t n = 1; n <= 4; ++n) {
        const std::size_t at = static_cast<std::size_t>(n - 1) * 2;
        const auto want = static_cast<std::int16_t>(x.b[at] | (x.b[at + 1] << 8));
        EXPECT_EQ(a(n), want);
    }
    EXPECT_EQ(rec.seen.size(), 1U);
}

TEST_F(DataFileTest, HostileRangesFailBeforeAnythingIsRead) {
    struct Row {
        std::int16_t version;  // 2: 2-byte samples, 6: 8-byte, 5 with events: 12-byte
        std::int16_t historyType;
        std::int32_t start, end;
        ErrorKind kind;
    };
    constexpr std::int32_t kMax = INT32_MAX, kMin = INT32_MIN;
    const Row rows[] = {
        {2, 0, 0, 3, ErrorKind::SubscriptOutOfRange},         // would read header bytes
        {2, 0, -5, 2, ErrorKind::SubscriptOutOfRange},
        {6, 0, 0, 0, ErrorKind::SubscriptOutOfRange},
        {2, 0, 5, 4, ErrorKind::SubscriptOutOfRange},          // ends before it starts
        {2, 0, 1, 11, ErrorKind::InvalidData},                 // one past the last sample
        {2, 0, 11, 11, ErrorKind::InvalidData},
        {6, 0, 10, 11, ErrorKind::InvalidData},
        {5, 4, 1, 6, ErrorKind::InvalidData},
        {2, 0, 1, kMax, ErrorKind::InvalidData},               // 4 GiB would be set aside
        {6, 4, 1, kMax, ErrorKind::InvalidData},               // 32 GiB
        {5, 4, 2, kMax, ErrorKind::InvalidData},
        {2, 0, kMin, 1, ErrorKind::Overflow},                  // StartSampleNo - 1
        {6, 0, kMax, kMax, ErrorKind::Overflow},               // (n - 1) * 8
        {2, 0, 1 << 30, (1 << 30) + 1, ErrorKind::Overflow},   // (n - 1) * 2 + h
        {2, 0, (1 << 30) - 200, 1 << 30, ErrorKind::InvalidData},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("version " + std::to_string(r.version) + " run " + std::to_string(r.start) + ".." +
                     std::to_string(r.end));
        const bool wide = r.version == 4 || r.version == 6;
        const fs::path p = r.historyType != 4 ? Periodic(r.version) : wide ? Events64(r.version) : Events32(r.version);
        BinaryFile f(p, BinaryFile::Mode::ReadOnly);
        clsDataFile d;
        d.Load(f);
        (void)d.GetSamples(f, 1, 2);  // a good run that a failed one must leave alone
        try {
            (void)d.GetSamples(f, r.start, r.end);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), r.kind) << e.what();
            if (r.kind == ErrorKind::InvalidData) {
                const std::string text = e.what();
                const std::size_t held = r.historyType != 4 ? kInts.size() : wide ? kEvents64.size() : kEvents32.size();
                EXPECT_NE(text.find(p.string()), std::string::npos) << text;
                EXPECT_NE(text.find(std::to_string(r.start) + ".." + std::to_string(r.end)), std::string::npos) << text;
                EXPECT_NE(text.find("holds " + std::to_string(held) + " samples"), std::string::npos) << text;
            }
        }
        EXPECT_NO_THROW((void)d.SampleValue(2));
        EXPECT_EQ(KindOf([&] { (void)d.SampleValue(3); }), ErrorKind::SubscriptOutOfRange);
    }
}

TEST_F(DataFileTest, TruncatedAndEmptyFiles) {
    // Three and a half 8-byte samples behind a V6 header.
    Bytes x = Header(6, 0);
    for (int i = 0; i < 3; ++i) x.F64(304 + static_cast<std::size_t>(i) * 8, i + 0.5);
    x.b.resize(x.b.size() + 4, 0);
    BinaryFile f(Write("trunc.000", x.b), BinaryFile::Mode::ReadOnly);
    clsDataFile d;
    d.Load(f);
    EXPECT_EQ(std::get<IndexedArray<double>>(d.GetSamples(f, 1, 3))(3), 2.5);
    try {
        (void)d.GetSamples(f, 3, 4);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidData);
        EXPECT_NE(std::string(e.what()).find("holds 3 samples"), std::string::npos) << e.what();
    }

    // An empty file: the load fails clearly, and the fresh header it left
    // (HeaderSize 0) holds no samples either.
    BinaryFile e(Write("empty.000", {}), BinaryFile::Mode::ReadOnly);
    clsDataFile empty;
    EXPECT_EQ(KindOf([&] { empty.Load(e); }), ErrorKind::InvalidData);
    ASSERT_NE(empty.header(), nullptr);
    EXPECT_EQ(empty.header()->HeaderSize, 0);
    EXPECT_EQ(KindOf([&] { (void)empty.GetSamples(e, 1, 1); }), ErrorKind::InvalidData);

    // A header with no samples at all.
    BinaryFile h(Write("header-only.000", Header(4, 4).b), BinaryFile::Mode::ReadOnly);
    clsDataFile headerOnly;
    headerOnly.Load(h);
    EXPECT_EQ(KindOf([&] { (void)headerOnly.GetSamples(h, 1, 1); }), ErrorKind::InvalidData);
}

TEST_F(DataFileTest, LoadAndSaveReplaceTheHeaderAndWriteNothing) {
    const fs::path p = Periodic(5);
    std::vector<char> before(static_cast<std::size_t>(fs::file_size(p)));
    std::ifstream(p, std::ios::binary).read(before.data(), static_cast<std::streamsize>(before.size()));

    BinaryFile f(p, BinaryFile::Mode::ReadWrite);
    clsDataFile d;
    d.Load(f);
    const std::shared_ptr<clsDataHeader> first = d.header();
    first->Title = "changed in memory";
    d.Save(f);
    f.Close();
    ASSERT_NE(d.header(), first);
    EXPECT_EQ(d.header()->Version, 5);
    EXPECT_EQ(d.header()->HeaderSize, 272);
    EXPECT_NE(d.header()->Title, "changed in memory");
    EXPECT_EQ(first->Title, "changed in memory");  // the old header lives on with whoever holds it

    std::vector<char> after(before.size());
    std::ifstream(p, std::ios::binary).read(after.data(), static_cast<std::streamsize>(after.size()));
    EXPECT_EQ(fs::file_size(p), before.size());
    EXPECT_EQ(before, after);
}

TEST_F(DataFileTest, ArraysAreKeptPerLayoutAcrossHeaders) {
    BinaryFile ints(Periodic(2), BinaryFile::Mode::ReadOnly);
    BinaryFile floats(Periodic(6), BinaryFile::Mode::ReadOnly);
    clsDataFile d;
    d.Load(ints);
    (void)d.GetSamples(ints, 1, 10);
    d.Load(floats);
    EXPECT_EQ(KindOf([&] { (void)d.SampleValue(1); }), ErrorKind::SubscriptOutOfRange);  // no floats yet
    (void)d.GetSamples(floats, 4, 6);
    EXPECT_EQ(d.SampleValue(5), TaggedValue::Double(kFloats[4]));
    d.Load(ints);  // the header decides which array is read
    EXPECT_EQ(d.SampleValue(7), TaggedValue::Integer(kInts[6]));
    EXPECT_EQ(d.FloatSamples().lo(), 4);
    EXPECT_EQ(d.IntSamples().hi(), 10);
}

}  // namespace
