// clsHSTMaster and clsHSTHeader against hand-made master files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "formats/BinaryFile.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"
#include "time/Errors.h"

namespace jw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Mode = BinaryFile::Mode;

constexpr std::size_t kMaster = 176;

// Record length of a master Version, written out independently of the layout tables.
std::size_t RecordLength(int v) { return v <= 3 ? 240 : v == 4 ? 432 : v == 5 ? 288 : 448; }
bool Wide(int v) { return v == 4 || v == 6; }
// Absolute record offsets of a few fields.
std::size_t NameLength(int v) { return Wide(v) ? 272 : 144; }
std::size_t SamplePeriodAt(int v) { return v <= 3 ? 202 : v == 6 ? 394 : NameLength(v) + 106; }
std::size_t StartTimeAt(int v) { return v <= 3 ? 218 : v == 4 ? 394 : v == 5 ? 266 : 410; }
std::size_t StartEvNoAt(int v) { return NameLength(v) + 12; }
std::size_t EndEvNoAt(int v) { return v <= 3 ? 234 : v == 4 ? 418 : v == 5 ? 282 : 434; }

void PutLE(Bytes& b, std::size_t at, std::uint64_t v, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint64_t GetLE(const Bytes& b, std::size_t at, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t{b.at(at + i)} << (8 * i);
    return v;
}

Bytes MasterBytes(std::uint16_t versionBits) {
    Bytes m(kMaster, 0);
    PutLE(m, 138, versionBits, 2);
    return m;
}

class MasterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (auto& c : name)
            if (c == '/') c = '_';
        dir_ = fs::path(::testing::TempDir()) / ("jw_master_" + std::to_string(::getpid()) + "_" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A master file made of the given pieces, back to back.
    fs::path Put(const std::string& name, std::initializer_list<Bytes> pieces) {
        const fs::path p = dir_ / name;
        std::ofstream out(p, std::ios::binary);
        for (const auto& b : pieces) out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return p;
    }
    static Bytes Contents(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    // Loads the master and its first record from p.
    static clsHSTHeader LoadFirst(const fs::path& p, clsHSTMaster& master) {
        BinaryFile f(p, Mode::ReadOnly);
        master.Load(f);
        clsHSTHeader h;
        h.Load(f, master);
        return h;
    }
    // Saves h under a master of Version v into a new file; the record's bytes.
    Bytes SaveRecord(clsHSTHeader& h, int v) {
        const fs::path p = dir_ / ("saved" + std::to_string(counter_++) + ".hst");
        BinaryFile f(p, Mode::CreateNew);
        clsHSTMaster m;
        m.Version = v;
        m.Save(f);
        h.Save(f, m);
        EXPECT_EQ(f.Position(), kMaster + RecordLength(v));
        f.Close();
        const Bytes all = Contents(p);
        return Bytes(all.begin() + kMaster, all.end());
    }

    fs::path dir_;
    int counter_ = 0;
};

template <class F>
Error ErrorOf(F&& action) {
    try {
        action();
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return Error(ErrorKind::Refused, "");
}

// --- Round trip --------------------------------------------------------------

class MasterRoundTrip : public MasterTest, public ::testing::WithParamInterface<int> {};

TEST_P(MasterRoundTrip, LoadAndSaveGiveBackEveryByte) {
    const int v = GetParam();
    std::mt19937 rng(static_cast<unsigned>(v) + 2004);
    auto randomBytes = [&](std::size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        return b;
    };
    Bytes master = randomBytes(kMaster);
    PutLE(master, 138, static_cast<std::uint16_t>(v), 2);
    const std::size_t len = RecordLength(v);
    const Bytes allNul(len, 0);  // NUL-filled texts, zero numbers
    Bytes oddFiller = randomBytes(len);
    std::fill(oddFiller.begin(), oddFiller.begin() + 40, std::uint8_t{0xFF});
    const fs::path in = Put("in.hst", {master, randomBytes(len), allNul, oddFiller, randomBytes(len)});
    const Bytes original = Contents(in);

    BinaryFile src(in, Mode::ReadOnly);
    clsHSTMaster m;
    m.Load(src);
    EXPECT_EQ(m.Version, v);
    EXPECT_EQ(src.Position(), kMaster);
    std::vector<clsHSTHeader> records(4);
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].Load(src, m);
        EXPECT_EQ(src.Position(), kMaster + (i + 1) * len);
    }
    EXPECT_EQ(records[1].Name, std::string(NameLength(v), '\0'));
    EXPECT_EQ(records[1].StartEvNo, Wide(v) ? "00000" : "0");

    const fs::path out = dir_ / "out.hst";
    BinaryFile dst(out, Mode::CreateNew);
    m.Save(dst);
    for (auto& r : records) r.Save(dst, m);
    dst.Close();
    EXPECT_EQ(Contents(out), original);
}

INSTANTIATE_TEST_SUITE_P(EveryTrendVersion, MasterRoundTrip, ::testing::Range(0, 7));

TEST_F(MasterTest, ThreeV5RecordsMakeA1040ByteFile) {
    const fs::path in = Put("in.hst", {MasterBytes(5), Bytes(288, 'a'), Bytes(288, 'b'), Bytes(288, 'c')});
    BinaryFile src(in, Mode::ReadOnly);
    clsHSTMaster m;
    m.Load(src);
    const fs::path out = dir_ / "out.hst";
    BinaryFile dst(out, Mode::CreateNew);
    m.Save(dst);
    for (int i = 0; i < 3; ++i) {
        clsHSTHeader h;
        h.Load(src, m);
        if (i == 0) h.Name = "0123456789";
        h.Save(dst, m);
    }
    dst.Close();
    const Bytes saved = Contents(out);
    ASSERT_EQ(saved.size(), 1040u);
    EXPECT_EQ(std::string(saved.begin() + 176, saved.begin() + 186), "0123456789");
    EXPECT_EQ(Bytes(saved.begin() + 186, saved.begin() + 320), Bytes(134, ' '));
}

// --- The master header -------------------------------------------------------

TEST_F(MasterTest, MasterVersionIsSignExtendedAndWrittenBack) {
    const fs::path p = Put("m.hst", {MasterBytes(0xFFFF)});
    BinaryFile f(p, Mode::ReadWrite);
    clsHSTMaster m;
    m.Load(f);
    EXPECT_EQ(m.Version, -1);
    m.Save(f);
    f.Close();
    EXPECT_EQ(Contents(p), MasterBytes(0xFFFF));
}

TEST_F(MasterTest, MasterVersionOutsideInt16FailsAndWritesNothing) {
    Bytes tail(100, 0x5A);
    const fs::path p = Put("m.hst", {MasterBytes(4), tail});
    const Bytes before = Contents(p);
    for (const int version : {40000, 32768, -32769}) {
        BinaryFile f(p, Mode::ReadWrite);
        clsHSTMaster m;
        m.Load(f);
        m.Version = version;
        m.Title = "changed";
        f.Seek(230);
        const Error e = ErrorOf([&] { m.Save(f); });
        EXPECT_EQ(e.kind(), ErrorKind::Overflow) << version;
        EXPECT_NE(std::string(e.what()).find("Version"), std::string::npos) << e.what();
        EXPECT_EQ(f.Position(), 230u);
        f.Close();
        EXPECT_EQ(Contents(p), before) << version;
    }
}

TEST_F(MasterTest, ShortMasterFileIsInvalidDataAndChangesNothing) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{100}, std::size_t{175}}) {
        const fs::path p = Put("short" + std::to_string(size) + ".hst", {Bytes(size, 1)});
        BinaryFile f(p, Mode::ReadOnly);
        clsHSTMaster m;
        m.nFiles = 42;
        const Error e = ErrorOf([&] { m.Load(f); });
        EXPECT_EQ(e.kind(), ErrorKind::InvalidData);
        EXPECT_NE(std::string(e.what()).find(p.string()), std::string::npos) << e.what();
        EXPECT_EQ(m.nFiles, 42);
        EXPECT_EQ(f.Position(), 0u);
    }
}

// --- File-header records -----------------------------------------------------

TEST_F(MasterTest, VersionWithoutLayoutReadsAndWritesNothing) {
    for (const std::uint16_t bits : {std::uint16_t{0xFFFF}, std::uint16_t{7}, std::uint16_t{9}, std::uint16_t{0x7FFF}}) {
        const fs::path p = Put("v" + std::to_string(bits) + ".hst", {MasterBytes(bits), Bytes(448, 0x31)});
        BinaryFile f(p, Mode::ReadWrite);
        clsHSTMaster m;
        m.Load(f);
        clsHSTHeader h;
        h.Name = "kept";
        h.StartEvNo = "12";
        h.SamplePeriod = 2.5;
        h.Load(f, m);
        EXPECT_EQ(f.Position(), kMaster);
        EXPECT_EQ(h.Name, "kept");
        EXPECT_EQ(h.StartEvNo, "12");
        EXPECT_EQ(h.SamplePeriod, 2.5);
        EXPECT_FALSE(h.HasStartTime());
        h.Save(f, m);  // no layout: nothing written, even with unusable members
        EXPECT_EQ(f.Position(), kMaster);
        f.Close();
        EXPECT_EQ(Contents(p).size(), kMaster + 448);
    }
}

TEST_F(MasterTest, RecordCutShortByTheFileEndIsInvalidData) {
    const fs::path p = Put("cut.hst", {MasterBytes(5), Bytes(288, 0x41), Bytes(100, 0x42)});
    BinaryFile f(p, Mode::ReadOnly);
    clsHSTMaster m;
    m.Load(f);
    clsHSTHeader h;
    h.Load(f, m);
    h.Name = "before";
    const Error e = ErrorOf([&] { h.Load(f, m); });
    EXPECT_EQ(e.kind(), ErrorKind::InvalidData);
    const std::string what = e.what();
    EXPECT_NE(what.find(p.string()), std::string::npos) << what;
    EXPECT_NE(what.find("464"), std::string::npos) << what;  // offset of the cut record
    EXPECT_EQ(h.Name, "before");
    EXPECT_EQ(f.Position(), 464u);
}

TEST_F(MasterTest, SamplePeriodCountsSecondsUnderVersionsZeroAndOne) {
    const struct { int v; double seconds; } cases[] = {
        {0, 5.0}, {1, 5.0}, {2, 0.005}, {3, 0.005}, {4, 0.005}, {5, 0.005}, {6, 0.005}};
    for (const auto& c : cases) {
        Bytes rec(RecordLength(c.v), 0);
        PutLE(rec, SamplePeriodAt(c.v), 5, 4);
        clsHSTMaster m;
        clsHSTHeader h = LoadFirst(Put("sp" + std::to_string(c.v) + ".hst", {MasterBytes(static_cast<std::uint16_t>(c.v)), rec}), m);
        EXPECT_EQ(h.SamplePeriod, c.seconds) << "version " << c.v;
        EXPECT_EQ(h.SamplePeriodRaw, 5) << "version " << c.v;
    }
}

TEST_F(MasterTest, SamplePeriodIsSavedInTheVersionsUnit) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { int v; double seconds; std::int32_t raw; std::optional<std::int32_t> stored; } cases[] = {
        {1, 5.0, 7, 7},            // seconds: the raw member as it is
        {4, 0.0625, 7, 7},         // own layouts store the raw member
        {2, 0.0625, 7, 62},        // 62.5 ms: the even neighbour
        {3, 0.1875, 0, 188},       // 187.5 ms: the even neighbour
        {2, -0.0625, 0, -62},
        {3, 2147483.647, 0, 2147483647},
        {2, 2147483.648, 0, std::nullopt},  // 2^31 ms: overflow
        {3, -2147483.649, 0, std::nullopt},
        {2, nan, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.v) + ", " + std::to_string(c.seconds) + " s");
        clsHSTHeader h;
        h.StartEvNo = h.EndEvNo = "0";
        h.SamplePeriod = c.seconds;
        h.SamplePeriodRaw = c.raw;
        if (c.stored) {
            const Bytes rec = SaveRecord(h, c.v);
            EXPECT_EQ(static_cast<std::int32_t>(GetLE(rec, SamplePeriodAt(c.v), 4)), *c.stored);
        } else {
            const fs::path p = dir_ / "overflow.hst";
            fs::remove(p);
            BinaryFile f(p, Mode::CreateNew);
            clsHSTMaster m;
            m.Version = c.v;
            m.Save(f);
            const Error e = ErrorOf([&] { h.Save(f, m); });
            EXPECT_EQ(e.kind(), ErrorKind::Overflow);
            EXPECT_NE(std::string(e.what()).find("SamplePeriod"), std::string::npos) << e.what();
            EXPECT_EQ(f.Position(), kMaster);
            EXPECT_EQ(f.Length(), kMaster);
        }
    }
}

TEST_F(MasterTest, EventNumbersLoadAsDecimalTextAndSaveBack) {
    const struct { int v; std::int64_t value; const char* text; } cases[] = {
        {4, 123456789, "123456789"},
        {1, -7, "-7"},
        {5, 12345, "12345"},
        {0, std::numeric_limits<std::int32_t>::min(), "-2147483648"},
        {4, 5, "00005"},
        {6, -5, "-00005"},
        {6, std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
        {4, std::numeric_limits<std::int64_t>::max(), "9223372036854775807"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::size_t width = Wide(c.v) ? 8 : 4;
        Bytes rec(RecordLength(c.v), 0);
        PutLE(rec, EndEvNoAt(c.v), static_cast<std::uint64_t>(c.value), width);
        PutLE(rec, StartEvNoAt(c.v), 1, width);
        clsHSTMaster m;
        clsHSTHeader h = LoadFirst(Put("ev.hst", {MasterBytes(static_cast<std::uint16_t>(c.v)), rec}), m);
        fs::remove(dir_ / "ev.hst");
        EXPECT_EQ(h.EndEvNo, c.text);
        EXPECT_EQ(h.StartEvNo, Wide(c.v) ? "00001" : "1");
        EXPECT_EQ(SaveRecord(h, c.v), rec);
    }
}

TEST_F(MasterTest, EventNumberTextThatIsNoNumberOfTheWidthFails) {
    const struct { int v; const char* text; std::optional<ErrorKind> error; std::int64_t stored; } cases[] = {
        {0, "00042", std::nullopt, 42},
        {4, "-0", std::nullopt, 0},
        {5, "2147483647", std::nullopt, 2147483647},
        {5, "2147483648", ErrorKind::Overflow, 0},
        {0, "-2147483649", ErrorKind::Overflow, 0},
        {6, "2147483648", std::nullopt, 2147483648},
        {6, "9223372036854775808", ErrorKind::Overflow, 0},
        {4, "", ErrorKind::TypeMismatch, 0},
        {4, "-", ErrorKind::TypeMismatch, 0},
        {0, "+5", ErrorKind::TypeMismatch, 0},
        {0, " 5", ErrorKind::TypeMismatch, 0},
        {5, "5 ", ErrorKind::TypeMismatch, 0},
        {6, "1e3", ErrorKind::TypeMismatch, 0},
        {4, "0x10", ErrorKind::TypeMismatch, 0},
        {4, "12.5", ErrorKind::TypeMismatch, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\" under version " + std::to_string(c.v));
        clsHSTHeader h;
        h.StartEvNo = "1";
        h.EndEvNo = c.text;
        if (!c.error) {
            const Bytes rec = SaveRecord(h, c.v);
            const std::uint64_t bits = GetLE(rec, EndEvNoAt(c.v), Wide(c.v) ? 8 : 4);
            EXPECT_EQ(Wide(c.v) ? static_cast<std::int64_t>(bits) : static_cast<std::int32_t>(bits), c.stored);
            continue;
        }
        const fs::path p = dir_ / "bad.hst";
        fs::remove(p);
        BinaryFile f(p, Mode::CreateNew);
        clsHSTMaster m;
        m.Version = c.v;
        m.Save(f);
        const Error e = ErrorOf([&] { h.Save(f, m); });
        EXPECT_EQ(e.kind(), *c.error) << e.what();
        EXPECT_NE(std::string(e.what()).find("EndEvNo"), std::string::npos) << e.what();
        EXPECT_EQ(f.Position(), kMaster);
        f.Close();
        EXPECT_EQ(Contents(p).size(), kMaster);
    }
}

TEST_F(MasterTest, NarrowedMembersOutsideInt16FailAndWriteNothing) {
    const struct { const char* field; void (*set)(clsHSTHeader&); } cases[] = {
        {"FileType", [](clsHSTHeader& h) { h.FileType = 40000; }},
        {"Version", [](clsHSTHeader& h) { h.Version = -32769; }},
        {"HistoryType", [](clsHSTHeader& h) { h.HistoryType = 32768; }},
    };
    for (const auto& c : cases) {
        const fs::path p = dir_ / (std::string(c.field) + ".hst");
        BinaryFile f(p, Mode::CreateNew);
        clsHSTMaster m;
        m.Version = 6;
        m.Save(f);
        clsHSTHeader h;
        h.StartEvNo = h.EndEvNo = "0";
        c.set(h);
        const Error e = ErrorOf([&] { h.Save(f, m); });
        EXPECT_EQ(e.kind(), ErrorKind::Overflow) << c.field;
        EXPECT_NE(std::string(e.what()).find(c.field), std::string::npos) << e.what();
        EXPECT_EQ(f.Position(), kMaster);
        EXPECT_EQ(f.Length(), kMaster);
    }
}

TEST_F(MasterTest, NeverLoadedHeaderSavesOnlyOnceItsEventNumbersAreSet) {
    for (int v = 0; v <= 6; ++v) {
        clsHSTHeader h;
        const fs::path p = dir_ / ("fresh" + std::to_string(v) + ".hst");
        BinaryFile f(p, Mode::CreateNew);
        clsHSTMaster m;
        m.Version = v;
        m.Save(f);
        EXPECT_EQ(ErrorOf([&] { h.Save(f, m); }).kind(), ErrorKind::TypeMismatch) << v;
        EXPECT_EQ(f.Length(), kMaster);
    }
    clsHSTHeader h;
    h.StartEvNo = "0";
    h.EndEvNo = "0";
    const Bytes rec = SaveRecord(h, 4);
    ASSERT_EQ(rec.size(), 432u);
    EXPECT_TRUE(h.HasStartTime());
    EXPECT_TRUE(h.HasEndTime());
    EXPECT_EQ(GetLE(rec, 394, 8), 0u);  // StartTime
    EXPECT_EQ(GetLE(rec, 402, 8), 0u);  // EndTime
    EXPECT_EQ(Bytes(rec.begin(), rec.begin() + 272), Bytes(272, ' '));
}

TEST_F(MasterTest, InstantsAreSharedReusedAndTakeTheLayoutsKind) {
    Bytes v0(240, 0), v4(432, 0);
    PutLE(v0, StartTimeAt(0), 1095403530, 4);
    PutLE(v4, StartTimeAt(4), 127398771300000000ULL, 8);
    clsHSTMaster m0, m4;
    m0.Version = 0;
    m4.Version = 4;
    const fs::path p = Put("both.hst", {MasterBytes(0), v0, v4});
    BinaryFile f(p, Mode::ReadOnly);
    f.Seek(kMaster);
    clsHSTHeader h;
    h.Load(f, m0);
    const std::shared_ptr<clsTimes> held = h.StartTime();
    EXPECT_EQ(held->Raw, TaggedValue::Long(1095403530));
    h.Load(f, m4);  // the record is read with the layout of the master it is given
    EXPECT_EQ(h.StartTime(), held);
    EXPECT_EQ(held->Raw, TaggedValue::Currency(Scaled64::FromRaw(127398771300000000)));
    EXPECT_EQ(h.EndTime()->Raw, TaggedValue::Currency(Scaled64::FromRaw(0)));

    auto other = std::make_shared<clsTimes>();
    h.SetStartTime(other);
    EXPECT_EQ(h.StartTime(), other);
    EXPECT_EQ(held->Raw.kind(), TaggedValue::Kind::Currency);  // the old instant lives on with its holder
}

TEST_F(MasterTest, TimeFieldTakesTheInstantInTheLayoutsEncoding) {
    const std::int64_t ticks = 127398771300000000;  // 2004-09-17 06:45:30
    const struct { int v; TaggedValue raw; std::uint64_t stored; } cases[] = {
        {0, TaggedValue::Long(1095403530), 1095403530},
        {5, TaggedValue::Long(-1), 0xFFFFFFFFu},
        {6, TaggedValue::Currency(Scaled64::FromRaw(-3)), static_cast<std::uint64_t>(-3)},
        {4, TaggedValue(), 0},
        {5, TaggedValue::Integer(0), 0},
        {6, TaggedValue::Integer(0), 0},
        {0, TaggedValue::Currency(Scaled64::FromRaw(ticks)), 1095403530},
        {4, TaggedValue::Long(1095403530), static_cast<std::uint64_t>(ticks)},
        {3, TaggedValue::Date(38247.0 + 24330.0 / 86400.0), 1095403530},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.v) + ", " + std::string(c.raw.TypeName()));
        clsHSTHeader h;
        h.StartEvNo = h.EndEvNo = "0";
        h.StartTime()->Raw = c.raw;
        const Bytes rec = SaveRecord(h, c.v);
        EXPECT_EQ(GetLE(rec, StartTimeAt(c.v), Wide(c.v) ? 8 : 4), c.stored);
    }
}

TEST_F(MasterTest, Alignment2SurvivesANarrowLayoutLoad) {
    Bytes v4(432, 0);
    std::fill(v4.begin() + 426, v4.end(), std::uint8_t{'Z'});  // the 6-byte filler at the end
    clsHSTMaster m;
    clsHSTHeader h = LoadFirst(Put("v4.hst", {MasterBytes(4), v4}), m);
    EXPECT_EQ(h.Alignment2, "ZZZZZZ");
    Bytes v5(288, 0);
    v5[286] = 'q';
    BinaryFile f(Put("v5.hst", {MasterBytes(5), v5}), Mode::ReadOnly);
    m.Load(f);
    h.Load(f, m);
    EXPECT_EQ(h.Alignment1, std::string("q\0", 2));
    EXPECT_EQ(h.Alignment2, "ZZZZZZ");
}

}  // namespace
}  // namespace jw
