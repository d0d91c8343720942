// clsHSTMaster and clsHSTHeader against hand-made master files.
#include <cmath>
#include <limits>
#include <random>

#include "FormatsTest.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"

namespace jw::test {
namespace {

constexpr std::size_t kMaster = 176;
constexpr std::int64_t kTicks = 127398771300000000;  // 2004-09-17 06:45:30, Citect 1095403530

// Record length and absolute record offsets per master Version, written out
// independently of the layout tables.
std::size_t RecordLength(int v) { return v <= 3 ? 240 : v == 4 ? 432 : v == 5 ? 288 : 448; }
bool Wide(int v) { return v == 4 || v == 6; }
std::size_t SamplePeriodAt(int v) { return v <= 3 ? 202 : v == 4 ? 378 : v == 5 ? 250 : 394; }
std::size_t StartTimeAt(int v) { return v <= 3 ? 218 : v == 4 ? 394 : v == 5 ? 266 : 410; }
std::size_t EndEvNoAt(int v) { return v <= 3 ? 234 : v == 4 ? 418 : v == 5 ? 282 : 434; }

Bytes MasterOf(int version) {
    Bytes m(kMaster, 0);
    PutLE(m, 138, static_cast<std::uint16_t>(version), 2);
    return m;
}

class MasterTest : public FilesTest {
protected:
    // The record h saves under a master of Version v.
    Bytes SaveRecord(clsHSTHeader& h, int v) {
        const fs::path p = dir_ / ("saved" + std::to_string(++n_));
        BinaryFile f(p, Mode::CreateNew);
        clsHSTMaster m;
        m.Version = v;
        m.Save(f);
        h.Save(f, m);
        f.Close();
        const Bytes all = Contents(p);
        return Bytes(all.begin() + kMaster, all.end());
    }
    // The first record of a master file of Version v.
    void LoadRecord(clsHSTHeader& h, int v, const Bytes& rec) {
        BinaryFile f(Put("load" + std::to_string(++n_), Join({MasterOf(v), rec})), Mode::ReadOnly);
        clsHSTMaster m;
        m.Load(f);
        h.Load(f, m);
    }
    int n_ = 0;
};

class MasterRoundTrip : public MasterTest, public ::testing::WithParamInterface<int> {};

TEST_P(MasterRoundTrip, EveryByteComesBack) {
    const int v = GetParam();
    std::mt19937 rng(static_cast<unsigned>(v) + 2004);
    auto random = [&](std::size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        return b;
    };
    const std::size_t len = RecordLength(v);
    Bytes master = random(kMaster), oddFiller = random(len);
    PutLE(master, 138, static_cast<std::uint16_t>(v), 2);
    std::fill_n(oddFiller.begin(), 40, 0xFF);
    const Bytes original = Join({master, random(len), Bytes(len, 0), oddFiller});  // NUL-filled texts too
    BinaryFile src(Put("in.hst", original), Mode::ReadOnly);
    clsHSTMaster m;
    m.Load(src);
    EXPECT_EQ(m.Version, v);
    std::vector<clsHSTHeader> records(3);
    for (auto& r : records) r.Load(src, m);
    EXPECT_EQ(src.Position(), kMaster + 3 * len);
    EXPECT_EQ(records[1].Name, std::string(Wide(v) ? 272 : 144, '\0'));
    EXPECT_EQ(records[1].StartEvNo, Wide(v) ? "00000" : "0");
    BinaryFile dst(dir_ / "out.hst", Mode::CreateNew);
    m.Save(dst);
    for (auto& r : records) r.Save(dst, m);
    dst.Close();
    EXPECT_EQ(Contents(dir_ / "out.hst"), original);
}

INSTANTIATE_TEST_SUITE_P(EveryTrendVersion, MasterRoundTrip, ::testing::Range(0, 7));

TEST_F(MasterTest, VersionWithoutLayoutReadsAndWritesNothing) {
    for (const auto& [bits, version] : {std::pair{0xFFFF, -1}, std::pair{9, 9}, std::pair{7, 7}}) {
        const Bytes original = Join({MasterOf(bits), Bytes(448, 0x31)});
        const fs::path p = Put("v.hst", original);
        BinaryFile f(p, Mode::ReadWrite);
        clsHSTMaster m;
        m.Load(f);
        EXPECT_EQ(m.Version, version);  // sign-extended
        clsHSTHeader h;
        h.Name = "kept";
        h.Load(f, m);
        EXPECT_EQ(f.Position(), kMaster);
        EXPECT_EQ(h.Name, "kept");
        EXPECT_FALSE(h.HasStartTime());
        h.Save(f, m);  // not even its unusable event numbers are looked at
        m.Save(f);     // the master header goes back as it was: FF FF stays FF FF
        f.Close();
        EXPECT_EQ(Contents(p), original) << version;
    }
}

TEST_F(MasterTest, SavesThatCannotBeMadeLeaveFileAndPosition) {
    using Set = void (*)(clsHSTMaster&, clsHSTHeader&);
    const struct { int v; const char* field; ErrorKind kind; Set set; } rows[] = {
        {4, "Version", ErrorKind::Overflow, [](auto& m, auto&) { m.Version = 40000; }},  // saves the master
        {4, "Version", ErrorKind::Overflow, [](auto& m, auto&) { m.Version = -32769; }},
        {6, "FileType", ErrorKind::Overflow, [](auto&, auto& h) { h.FileType = 40000; }},
        {0, "HistoryType", ErrorKind::Overflow, [](auto&, auto& h) { h.HistoryType = 32768; }},
        {2, "SamplePeriod", ErrorKind::Overflow, [](auto&, auto& h) { h.SamplePeriod = 2147483.648; }},  // 2^31 ms
        {3, "SamplePeriod", ErrorKind::Overflow, [](auto&, auto& h) { h.SamplePeriod = std::nan(""); }},
        {5, "EndEvNo", ErrorKind::Overflow, [](auto&, auto& h) { h.EndEvNo = "2147483648"; }},
        {6, "EndEvNo", ErrorKind::Overflow, [](auto&, auto& h) { h.EndEvNo = "9223372036854775808"; }},
        {4, "EndEvNo", ErrorKind::TypeMismatch, [](auto&, auto& h) { h.EndEvNo = " 5"; }},
        {0, "EndEvNo", ErrorKind::TypeMismatch, [](auto&, auto& h) { h.EndEvNo = "+5"; }},
        {6, "EndEvNo", ErrorKind::TypeMismatch, [](auto&, auto& h) { h.EndEvNo = "1e3"; }},
        {1, "StartEvNo", ErrorKind::TypeMismatch, [](auto&, auto& h) { h = clsHSTHeader(); }}};  // never loaded
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.field) + " under version " + std::to_string(r.v));
        const Bytes original = Join({MasterOf(r.v), Bytes(100, 0x5A)});
        const fs::path p = Put("f.hst", original);
        BinaryFile f(p, Mode::ReadWrite);
        clsHSTMaster m;
        m.Load(f);
        clsHSTHeader h;
        h.StartEvNo = h.EndEvNo = "0";
        r.set(m, h);
        f.Seek(230);
        const Error e = ErrorOf([&] { m.Version != r.v ? m.Save(f) : h.Save(f, m); });
        EXPECT_EQ(e.kind(), r.kind) << e.what();
        EXPECT_TRUE(Names(e, r.field)) << e.what();
        EXPECT_EQ(f.Position(), 230u);
        f.Close();
        EXPECT_EQ(Contents(p), original);
    }
}

TEST_F(MasterTest, SamplePeriodInTheUnitOfTheVersion) {
    for (int v = 0; v <= 6; ++v) {  // a stored 5 is seconds under versions 0 and 1, milliseconds after
        clsHSTHeader h;
        Bytes rec(RecordLength(v), 0);
        PutLE(rec, SamplePeriodAt(v), 5, 4);
        LoadRecord(h, v, rec);
        EXPECT_EQ(h.SamplePeriod, v <= 1 ? 5.0 : 0.005) << v;
        EXPECT_EQ(h.SamplePeriodRaw, 5) << v;
    }
    const struct { int v; double seconds; std::int32_t raw, stored; } saves[] = {
        {1, 5.0, 7, 7}, {4, 0.0625, 7, 7},  // seconds and the own layouts store the raw member
        {2, 0.0625, 7, 62}, {3, 0.1875, 0, 188}, {2, -0.0625, 0, -62},  // x 1000, halves to even
        {3, 2147483.647, 0, 2147483647}};
    for (const auto& s : saves) {
        clsHSTHeader h;  // never loaded: saves once its event numbers are set
        h.StartEvNo = h.EndEvNo = "0";
        h.SamplePeriod = s.seconds;
        h.SamplePeriodRaw = s.raw;
        EXPECT_EQ(GetLE(SaveRecord(h, s.v), SamplePeriodAt(s.v), 4), s.stored) << s.v << " " << s.seconds;
    }
}

TEST_F(MasterTest, EventNumbersAreDecimalTextBothWays) {
    const struct { int v; std::int64_t value; const char* text; } rows[] = {
        {4, 123456789, "123456789"}, {4, 5, "00005"}, {6, -5, "-00005"}, {1, -7, "-7"}, {5, 12345, "12345"},
        {0, std::numeric_limits<std::int32_t>::min(), "-2147483648"},
        {6, std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"}};
    for (const auto& r : rows) {
        Bytes rec(RecordLength(r.v), 0);
        PutLE(rec, EndEvNoAt(r.v), static_cast<std::uint64_t>(r.value), Wide(r.v) ? 8 : 4);
        clsHSTHeader h;
        LoadRecord(h, r.v, rec);
        EXPECT_EQ(h.EndEvNo, r.text);
        EXPECT_EQ(SaveRecord(h, r.v), rec) << r.text;
    }
}

TEST_F(MasterTest, InstantsAreSharedReusedAndTakeTheLayoutsEncoding) {
    Bytes v0(240, 0), v4(432, 0);
    PutLE(v0, StartTimeAt(0), 1095403530, 4);
    PutLE(v4, StartTimeAt(4), kTicks, 8);
    std::fill_n(v4.begin() + 426, 6, 'Z');  // Alignment2, which a V0 or V5 load keeps
    clsHSTHeader h;
    LoadRecord(h, 4, v4);
    const std::shared_ptr<clsTimes> held = h.StartTime();
    EXPECT_EQ(held->Raw, TaggedValue::Currency(Scaled64::FromRaw(kTicks)));
    LoadRecord(h, 0, v0);
    EXPECT_EQ(h.StartTime(), held);
    EXPECT_EQ(held->Raw, TaggedValue::Long(1095403530));
    EXPECT_EQ(h.Alignment2, "ZZZZZZ");

    const struct { int v; TaggedValue raw; std::int64_t stored; } saves[] = {
        {0, TaggedValue::Currency(Scaled64::FromRaw(kTicks)), 1095403530}, {4, TaggedValue::Long(1095403530), kTicks},
        {3, TaggedValue::Date(38247.0 + 24330.0 / 86400.0), 1095403530}, {6, TaggedValue::Integer(0), 0},
        {5, TaggedValue(), 0}};
    for (const auto& s : saves) {
        h.StartTime()->Raw = s.raw;
        EXPECT_EQ(GetLE(SaveRecord(h, s.v), StartTimeAt(s.v), Wide(s.v) ? 8 : 4), s.stored) << s.raw.TypeName();
    }
}

TEST_F(MasterTest, TruncatedFilesAreInvalidDataAndChangeNothing) {
    for (std::size_t size : {0, 175}) {
        const fs::path p = Put("short.hst", Bytes(size, 1));
        BinaryFile f(p, Mode::ReadOnly);
        clsHSTMaster m;
        m.nFiles = 42;
        const Error e = ErrorOf([&] { m.Load(f); });
        EXPECT_EQ(e.kind(), ErrorKind::InvalidData);
        EXPECT_TRUE(Names(e, p.string())) << e.what();
        EXPECT_EQ(m.nFiles, 42);
    }
    const fs::path p = Put("cut.hst", Join({MasterOf(5), Bytes(288, 0x41), Bytes(100, 0x42)}));
    BinaryFile f(p, Mode::ReadOnly);
    clsHSTMaster m;
    m.Load(f);
    clsHSTHeader h;
    h.Load(f, m);
    h.Name = "before";
    const Error e = ErrorOf([&] { h.Load(f, m); });
    EXPECT_EQ(e.kind(), ErrorKind::InvalidData);
    EXPECT_TRUE(Names(e, p.string()) && Names(e, "464")) << e.what();  // the offset of the cut record
    EXPECT_EQ(h.Name, "before");
    EXPECT_EQ(f.Position(), 464u);
}

}  // namespace
}  // namespace jw::test
