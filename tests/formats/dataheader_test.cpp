// Data file headers built byte by byte at absolute offsets and read back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "formats/BinaryFile.h"
#include "formats/Notices.h"
#include "formats/clsDataHeader.h"
#include "time/Errors.h"
#include "time/Scaled64.h"
#include "time/TaggedValue.h"

namespace fs = std::filesystem;
using namespace jw;

namespace {

// A file image: little-endian values placed at absolute offsets.
struct Image {
    std::vector<std::uint8_t> b;
    explicit Image(std::size_t n = 0) : b(n, 0) {}
    void Grow(std::size_t end) {
        if (b.size() < end) b.resize(end, 0);
    }
    void PutLE(std::size_t at, std::uint64_t v, int width) {
        Grow(at + static_cast<std::size_t>(width));
        for (int i = 0; i < width; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void I16(std::size_t at, std::int16_t v) { PutLE(at, static_cast<std::uint16_t>(v), 2); }
    void I32(std::size_t at, std::int32_t v) { PutLE(at, static_cast<std::uint32_t>(v), 4); }
    void I64(std::size_t at, std::int64_t v) { PutLE(at, static_cast<std::uint64_t>(v), 8); }
    void F32(std::size_t at, float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        PutLE(at, u, 4);
    }
    void Text(std::size_t at, const std::string& s) {
        Grow(at + s.size());
        std::memcpy(b.data() + at, s.data(), s.size());
    }
};

class DataHeaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir_ = fs::temp_directory_path() / ("jw_dataheader_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }

    fs::path dir_;
};

struct Recorded {
    std::string text;
    NoticeMark mark;
};

// Every field's absolute offset in one header layout, as the file format lays them out.
struct Offsets {
    int headerSize;
    bool wide;  // 64-bit event numbers and times
    int logName, logWidth, mode, area, priv, historyType, samplePeriod, engUnits, format, startTime, endTime,
        dataLength, filePointer, endEvNo, align1, align1Width, align2;
};

constexpr Offsets kV0{224, false, 144, 32, 176, 180, 182, 184, 186, 190, 198, 202, 206, 210, 214, 218, 222, 2, -1};
constexpr Offsets kV5{272, false, 144, 80, 224, 228, 230, 232, 234, 238, 246, 250, 254, 258, 262, 266, 270, 2, -1};
constexpr Offsets kV4{288, true, 160, 64, 224, 228, 230, 232, 234, 238, 246, 250, 258, 266, 270, 274, 148, 12, 282};
constexpr Offsets kV6{304, true, 160, 80, 240, 244, 246, 248, 250, 254, 262, 266, 274, 282, 286, 290, 148, 12, 298};

struct HeaderCase {
    std::int16_t version;
    Offsets at;
    std::int64_t startEvNo, endEvNo;
    std::string startEvText, endEvText;  // the decimal texts the header must give
    double samplePeriod;                 // from a stored 1500
};

// Writes a header of the case's layout with distinct values in every field.
Image MakeHeader(const HeaderCase& c, std::int16_t historyType = 4) {
    const Offsets& o = c.at;
    Image img(static_cast<std::size_t>(o.headerSize));
    img.Text(0, std::string("Boiler 3 outlet") + std::string(97, '\0'));
    img.F32(112, -1.5F);
    img.F32(116, 4095.0F);
    img.F32(120, 0.25F);
    img.F32(124, 350.0F);
    img.Text(128, std::string("TRND\0\0 x", 8));
    img.I16(136, -2);
    img.I16(138, c.version);
    if (o.wide) {
        img.I64(140, c.startEvNo);
        img.I64(static_cast<std::size_t>(o.endEvNo), c.endEvNo);
    } else {
        img.I32(140, static_cast<std::int32_t>(c.startEvNo));
        img.I32(static_cast<std::size_t>(o.endEvNo), static_cast<std::int32_t>(c.endEvNo));
    }
    std::string log = "Plant.Boiler3.Outlet";
    log.resize(static_cast<std::size_t>(o.logWidth), '\0');
    img.Text(static_cast<std::size_t>(o.logName), log);
    img.I32(static_cast<std::size_t>(o.mode), 0x01020304);
    img.I16(static_cast<std::size_t>(o.area), 12);
    img.I16(static_cast<std::size_t>(o.priv), -7);
    img.I16(static_cast<std::size_t>(o.historyType), historyType);
    img.I32(static_cast<std::size_t>(o.samplePeriod), 1500);
    img.Text(static_cast<std::size_t>(o.engUnits), std::string("kPa \0\0\0\0", 8));
    img.I32(static_cast<std::size_t>(o.format), 0x00070003);
    if (o.wide) {
        img.I64(static_cast<std::size_t>(o.startTime), 127398771300000000LL);
        img.I64(static_cast<std::size_t>(o.endTime), 127399635300000000LL);
    } else {
        img.I32(static_cast<std::size_t>(o.startTime), 1095403530);
        img.I32(static_cast<std::size_t>(o.endTime), -86400);
    }
    img.I32(static_cast<std::size_t>(o.dataLength), 86400);
    img.I32(static_cast<std::size_t>(o.filePointer), -1);
    img.Text(static_cast<std::size_t>(o.align1), std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", static_cast<std::size_t>(o.align1Width)));
    if (o.align2 >= 0) img.Text(static_cast<std::size_t>(o.align2), std::string("al2\0\xff!", 6));
    return img;
}

const std::vector<HeaderCase>& Cases() {
    static const std::vector<HeaderCase> cases = {
        {0, kV0, -123456, 2147483647, "-123456", "2147483647", 1500.0},
        {1, kV0, 0, 1, "0", "1", 1500.0},
        {2, kV0, 17, -2147483647 - 1, "17", "-2147483648", 1.5},
        {3, kV0, 5, 6, "5", "6", 1.5},
        {4, kV4, 123456789, 5, "123456789", "00005", 1.5},
        {5, kV5, 40000, -1, "40000", "-1", 1.5},
        {6, kV6, -12345, 9223372036854775807LL, "-12345", "9223372036854775807", 1.5},
    };
    return cases;
}

TEST_F(DataHeaderTest, EveryLayoutLoadsEveryMember) {
    for (const HeaderCase& c : Cases()) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        Image img = MakeHeader(c);
        img.Grow(img.b.size() + 24);  // samples behind the header count in FileSize only
        BinaryFile f(Write("v" + std::to_string(c.version) + ".000", img.b), BinaryFile::Mode::ReadOnly);
        f.Seek(77);  // Load reads from the start whatever the position

        clsDataHeader h;
        h.Load(f);
        const Offsets& o = c.at;
        EXPECT_EQ(h.HeaderSize, o.headerSize);
        EXPECT_EQ(f.Position(), static_cast<std::uint64_t>(o.headerSize));
        EXPECT_EQ(h.FileSize, o.headerSize + 24);
        EXPECT_EQ(h.Title, std::string("Boiler 3 outlet") + std::string(97, '\0'));
        EXPECT_EQ(h.RawZero, -1.5F);
        EXPECT_EQ(h.RawFull, 4095.0F);
        EXPECT_EQ(h.EngZero, 0.25F);
        EXPECT_EQ(h.EngFull, 350.0F);
        EXPECT_EQ(h.ID, std::string("TRND\0\0 x", 8));
        EXPECT_EQ(h.FileType, -2);
        EXPECT_EQ(h.Version, c.version);
        EXPECT_EQ(h.StartEvNo, c.startEvText);
        EXPECT_EQ(h.EndEvNo, c.endEvText);
        EXPECT_EQ(h.LogName.size(), static_cast<std::size_t>(o.logWidth));
        EXPECT_EQ(h.LogName.substr(0, 21), std::string("Plant.Boiler3.Outlet\0", 21));
        EXPECT_EQ(h.Mode, 0x01020304);
        EXPECT_EQ(h.Area, 12);
        EXPECT_EQ(h.Priv, -7);
        EXPECT_EQ(h.HistoryType, 4);
        EXPECT_EQ(h.SamplePeriodRaw, 1500);
        EXPECT_EQ(h.SamplePeriod, c.samplePeriod);
        EXPECT_EQ(h.sEngUnits, std::string("kPa \0\0\0\0", 8));
        EXPECT_EQ(h.Format, 0x00070003);
        EXPECT_EQ(h.DataLength, 86400);
        EXPECT_EQ(h.FilePointer, -1);
        EXPECT_EQ(h.Alignment1, std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", static_cast<std::size_t>(o.align1Width)));
        if (o.wide) {
            EXPECT_EQ(h.StartTime()->Raw, TaggedValue::Currency(Scaled64::FromRaw(127398771300000000LL)));
            EXPECT_EQ(h.EndTime()->Raw, TaggedValue::Currency(Scaled64::FromRaw(127399635300000000LL)));
            EXPECT_EQ(h.Alignment2, std::string("al2\0\xff!", 6));
        } else {
            EXPECT_EQ(h.StartTime()->Raw, TaggedValue::Long(1095403530));
            EXPECT_EQ(h.EndTime()->Raw, TaggedValue::Long(-86400));
            EXPECT_EQ(h.Alignment2, "");
        }
    }
}

TEST_F(DataHeaderTest, SamplePeriodUnitFollowsTheHeadersOwnVersion) {
    // Bytes 138-139 of 02 00 (ms) and 01 00 (s) over the same stored 1500.
    const std::pair<std::uint8_t, double> rows[] = {{2, 1.5}, {1, 1500.0}, {0, 1500.0}, {3, 1.5}};
    for (const auto& [versionByte, seconds] : rows) {
        Image img(224);
        img.b[138] = versionByte;
        img.b[139] = 0;
        img.I32(186, 1500);
        BinaryFile f(Write("p.000", img.b), BinaryFile::Mode::ReadOnly);
        clsDataHeader h;
        h.Load(f);
        EXPECT_EQ(h.SamplePeriod, seconds) << "version byte " << int(versionByte);
        EXPECT_EQ(h.SamplePeriodRaw, 1500);
    }
}

TEST_F(DataHeaderTest, UnknownVersionShowsTheNoticeOnceAndChangesOnlyFileSize) {
    struct Row {
        std::uint8_t lo, hi;
        std::string secondLine;
    };
    const Row rows[] = {{0x07, 0x00, "Version = 7"},
                        {0xFF, 0xFF, "Version = -1"},
                        {0x00, 0x80, "Version = -32768"},
                        {0xFF, 0x7F, "Version = 32767"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.secondLine);
        std::vector<Recorded> notices;
        ScopedNoticeSink sink([&](std::string_view text, NoticeMark mark) { notices.push_back({std::string(text), mark}); });
        Image img(400);
        img.Text(0, "not a trend file");
        img.b[138] = r.lo;
        img.b[139] = r.hi;
        BinaryFile f(Write("bad.000", img.b), BinaryFile::Mode::ReadOnly);

        clsDataHeader fresh;
        EXPECT_NO_THROW(fresh.Load(f));
        ASSERT_EQ(notices.size(), 1U);
        EXPECT_EQ(notices[0].text,
                  "This is not a valid trend file. It may be a log file or an unsupported format.\r\n" + r.secondLine);
        EXPECT_EQ(notices[0].mark, NoticeMark::Error);
        EXPECT_EQ(fresh.HeaderSize, 0);
        EXPECT_EQ(fresh.FileSize, 400);
        EXPECT_EQ(fresh.Version, 0);
        EXPECT_EQ(fresh.Title, "");

        // A loaded header keeps everything but FileSize.
        Image good = MakeHeader(Cases()[6]);
        BinaryFile g(Write("good.000", good.b), BinaryFile::Mode::ReadOnly);
        clsDataHeader loaded;
        loaded.Load(g);
        const auto start = loaded.StartTime();
        loaded.Load(f);
        EXPECT_EQ(notices.size(), 2U);
        EXPECT_EQ(loaded.FileSize, 400);
        EXPECT_EQ(loaded.HeaderSize, 304);
        EXPECT_EQ(loaded.Version, 6);
        EXPECT_EQ(loaded.EndEvNo, "9223372036854775807");
        EXPECT_EQ(loaded.StartTime(), start);
        EXPECT_EQ(start->Raw, TaggedValue::Currency(Scaled64::FromRaw(127398771300000000LL)));
    }
}

TEST_F(DataHeaderTest, Alignment2SurvivesALaterV0OrV5Load) {
    const HeaderCase& v4 = Cases()[4];
    BinaryFile a(Write("a.000", MakeHeader(v4).b), BinaryFile::Mode::ReadOnly);
    for (std::size_t narrow : {std::size_t{5}, std::size_t{0}}) {
        BinaryFile b(Write("b.000", MakeHeader(Cases()[narrow]).b), BinaryFile::Mode::ReadOnly);
        clsDataHeader h;
        h.Load(a);
        h.Load(b);
        EXPECT_EQ(h.Alignment2, std::string("al2\0\xff!", 6));
        EXPECT_EQ(h.Alignment1, "\x01\x02");
        EXPECT_EQ(h.HeaderSize, Cases()[narrow].at.headerSize);
        EXPECT_EQ(h.StartEvNo, Cases()[narrow].startEvText);
    }
}

TEST_F(DataHeaderTest, TimesAreSharedInstantsReusedByLaterLoads) {
    BinaryFile v6(Write("6.000", MakeHeader(Cases()[6]).b), BinaryFile::Mode::ReadOnly);
    BinaryFile v5(Write("5.000", MakeHeader(Cases()[5]).b), BinaryFile::Mode::ReadOnly);
    clsDataHeader h;
    const std::shared_ptr<clsTimes> start = h.StartTime();  // created on first use, empty
    EXPECT_TRUE(start->Raw.IsEmpty());
    h.Load(v6);
    const std::shared_ptr<clsTimes> end = h.EndTime();
    h.Load(v5);
    EXPECT_EQ(h.StartTime(), start);
    EXPECT_EQ(h.EndTime(), end);
    EXPECT_EQ(start->Raw, TaggedValue::Long(1095403530));
    EXPECT_EQ(end->Raw.kind(), TaggedValue::Kind::Long);

    // An instant handed in from outside is the one a load fills.
    auto mine = std::make_shared<clsTimes>();
    h.SetStartTime(mine);
    h.Load(v6);
    EXPECT_EQ(mine->Raw.kind(), TaggedValue::Kind::Currency);
}

TEST_F(DataHeaderTest, ShortFilesAreClearErrorsNamingFileAndLength) {
    struct Row {
        std::string what;
        std::size_t length;
        std::int16_t version;  // written when the file reaches offset 140
    };
    const Row rows[] = {{"empty", 0, 0},          {"one byte short of the version", 139, 0},
                        {"V6 version only", 140, 6}, {"V6 one short", 303, 6},
                        {"V0 one short", 223, 3},   {"V5 one short", 271, 5},
                        {"V4 with V5 length", 272, 4}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<Recorded> notices;
        ScopedNoticeSink sink([&](std::string_view text, NoticeMark mark) { notices.push_back({std::string(text), mark}); });
        Image img(r.length);
        if (r.length >= 140) img.I16(138, r.version);
        const fs::path p = Write("short.000", img.b);
        BinaryFile f(p, BinaryFile::Mode::ReadOnly);

        clsDataHeader h;
        try {
            h.Load(f);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InvalidData);
            EXPECT_NE(std::string(e.what()).find(p.string()), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(std::to_string(r.length) + " bytes"), std::string::npos) << e.what();
        }
        EXPECT_EQ(h.HeaderSize, 0);
        EXPECT_EQ(h.Version, 0);
        EXPECT_EQ(h.FileSize, static_cast<std::int32_t>(r.length));

        std::string why;
        EXPECT_FALSE(h.LoadQuiet(f, &why));
        EXPECT_NE(why.find(p.string()), std::string::npos);
        EXPECT_TRUE(notices.empty());
    }
}

TEST_F(DataHeaderTest, LoadQuietTellsWithoutNotice) {
    std::vector<Recorded> notices;
    ScopedNoticeSink sink([&](std::string_view text, NoticeMark mark) { notices.push_back({std::string(text), mark}); });
    Image bad(300);
    bad.I16(138, 9);
    BinaryFile b(Write("bad.000", bad.b), BinaryFile::Mode::ReadOnly);
    BinaryFile g(Write("good.000", MakeHeader(Cases()[4]).b), BinaryFile::Mode::ReadOnly);

    clsDataHeader h;
    std::string why;
    EXPECT_FALSE(h.LoadQuiet(b, &why));
    EXPECT_NE(why.find("9"), std::string::npos);
    EXPECT_EQ(h.HeaderSize, 0);
    EXPECT_FALSE(h.LoadQuiet(b));  // no reason asked for
    EXPECT_TRUE(h.LoadQuiet(g, &why));
    EXPECT_EQ(h.HeaderSize, 288);
    EXPECT_EQ(h.EndEvNo, "00005");
    EXPECT_TRUE(notices.empty());
}

TEST_F(DataHeaderTest, FileSizeBeyond32BitsIsAnOverflow) {
    Image img = MakeHeader(Cases()[6]);
    const fs::path p = Write("huge.000", img.b);
    std::error_code ec;
    fs::resize_file(p, (std::uint64_t{1} << 31), ec);  // sparse: no disk space used
    if (ec) GTEST_SKIP() << "cannot make a sparse 2 GiB file here: " << ec.message();
    BinaryFile f(p, BinaryFile::Mode::ReadOnly);
    clsDataHeader h;
    try {
        h.Load(f);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow);
        EXPECT_NE(std::string(e.what()).find("FileSize"), std::string::npos) << e.what();
    }
    EXPECT_EQ(h.HeaderSize, 0);
}

}  // namespace
