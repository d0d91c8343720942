// Record layouts checked against hand-made byte fixtures.  Every offset below
// is written out here on purpose: reading it back from the layout tables would
// only compare the tables with themselves.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "formats/TrendDefs.h"
#include "time/Errors.h"

namespace jw::TrendDefs {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutLE(Bytes& b, std::size_t at, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

template <class Rec>
Bytes EncodeToBytes(const Layout<Rec>& layout, const Rec& rec) {
    Bytes out(layout.Length);
    Encode(layout, rec, out);
    return out;
}

TEST(TrendDefsTest, LayoutLengthsAndVersionChoice) {
    EXPECT_EQ(HSTMasterLayout.Length, 176);
    const struct { const Layout<HSTHeaderRec>* hst; const Layout<DataHeaderRec>* data; int hstLen, dataLen; } lengths[] = {
        {&HSTHeaderRecV0, &DataHeaderRecV0, 240, 224}, {&HSTHeaderRecV4, &DataHeaderRecV4, 432, 288},
        {&HSTHeaderRecV5, &DataHeaderRecV5, 288, 272}, {&HSTHeaderRecV6, &DataHeaderRecV6, 448, 304}};
    for (const auto& c : lengths) {
        EXPECT_EQ(c.hst->Length, c.hstLen) << c.hst->Name;
        EXPECT_EQ(c.data->Length, c.dataLen) << c.data->Name;
    }
    const struct { int version; int hstLen, dataLen; } choice[] = {
        {0, 240, 224}, {1, 240, 224}, {2, 240, 224}, {3, 240, 224}, {4, 432, 288}, {5, 288, 272}, {6, 448, 304},
        {-1, 0, 0}, {7, 0, 0}, {9, 0, 0}, {32767, 0, 0}, {-32768, 0, 0}, {65536 + 4, 0, 0}};
    for (const auto& c : choice) {
        const auto* hst = HSTHeaderLayout(c.version);
        const auto* data = DataHeaderLayout(c.version);
        EXPECT_EQ(hst ? hst->Length : 0, c.hstLen) << "version " << c.version;
        EXPECT_EQ(data ? data->Length : 0, c.dataLen) << "version " << c.version;
    }
}

// One integer field at a fixed absolute offset: decoding the fixture must
// find the value there, and encoding a record holding only that value must
// put it exactly there.
struct OffsetCase {
    const char* what;
    std::size_t length;
    std::size_t offset;
    int width;
    std::function<std::int64_t(const Bytes&)> decode;
    std::function<Bytes(std::int64_t)> encode;
};

template <class Rec, class Get, class Set>
OffsetCase Case(const char* what, const Layout<Rec>& layout, std::size_t offset, int width, Get get, Set set) {
    return {what, layout.Length, offset, width,
            [&layout, get](const Bytes& b) { Rec r; Decode(layout, b, r); return static_cast<std::int64_t>(get(r)); },
            [&layout, set](std::int64_t v) { Rec r; set(r, v); return EncodeToBytes(layout, r); }};
}

TEST(TrendDefsTest, FieldsLieAtTheirAbsoluteOffsets) {
    using H = HSTHeaderRec;
    using D = DataHeaderRec;
    using M = HSTMasterRec;
    auto hVersion = [](const H& r) { return r.Block.Version; };
    auto hSetVersion = [](H& r, std::int64_t v) { r.Block.Version = static_cast<std::int16_t>(v); };
    auto dStart = [](const D& r) { return r.Block.StartTime; };
    auto dSetStart = [](D& r, std::int64_t v) { r.Block.StartTime = v; };
    const OffsetCase cases[] = {
        Case("master nFiles", HSTMasterLayout, 150, 2, [](const M& r) { return r.nFiles; },
             [](M& r, std::int64_t v) { r.nFiles = static_cast<std::int16_t>(v); }),
        Case("master Version", HSTMasterLayout, 138, 2, [](const M& r) { return r.Version; },
             [](M& r, std::int64_t v) { r.Version = static_cast<std::int16_t>(v); }),
        Case("V0 Version", HSTHeaderRecV0, 154, 2, hVersion, hSetVersion),
        Case("V5 Version", HSTHeaderRecV5, 154, 2, hVersion, hSetVersion),
        Case("V4 Version", HSTHeaderRecV4, 282, 2, hVersion, hSetVersion),
        Case("V6 Version", HSTHeaderRecV6, 282, 2, hVersion, hSetVersion),
        Case("V6 StartTime", HSTHeaderRecV6, 410, 8, [](const H& r) { return r.Block.StartTime; },
             [](H& r, std::int64_t v) { r.Block.StartTime = v; }),
        Case("V4 EndEvNo", HSTHeaderRecV4, 418, 8, [](const H& r) { return r.Block.EndEvNo; },
             [](H& r, std::int64_t v) { r.Block.EndEvNo = v; }),
        Case("V0 SamplePeriod", HSTHeaderRecV0, 202, 4, [](const H& r) { return r.Block.SamplePeriod; },
             [](H& r, std::int64_t v) { r.Block.SamplePeriod = static_cast<std::int32_t>(v); }),
        Case("data V0 StartTime", DataHeaderRecV0, 202, 4, dStart, dSetStart),
        Case("data V4 StartTime", DataHeaderRecV4, 250, 8, dStart, dSetStart),
        Case("data V5 StartTime", DataHeaderRecV5, 250, 4, dStart, dSetStart),
        Case("data V6 StartTime", DataHeaderRecV6, 266, 8, dStart, dSetStart),
        Case("data V6 EndEvNo", DataHeaderRecV6, 290, 8, [](const D& r) { return r.Block.EndEvNo; },
             [](D& r, std::int64_t v) { r.Block.EndEvNo = v; }),
        Case("data V0 Version", DataHeaderRecV0, 138, 2, [](const D& r) { return r.Block.Version; },
             [](D& r, std::int64_t v) { r.Block.Version = static_cast<std::int16_t>(v); }),
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // A negative value checks the sign extension of every width.
        const std::int64_t value = c.width == 2 ? -2 : c.width == 4 ? -123456789 : -0x0102030405060708;
        Bytes fixture(c.length, 0);
        PutLE(fixture, c.offset, static_cast<std::uint64_t>(value), c.width);
        EXPECT_EQ(c.decode(fixture), value);

        const Bytes zero = c.encode(0);  // texts become blanks, numbers zeros
        Bytes expected = zero;
        PutLE(expected, c.offset, static_cast<std::uint64_t>(value), c.width);
        EXPECT_EQ(c.encode(value), expected);
        for (int i = 0; i < c.width; ++i) EXPECT_EQ(zero[c.offset + i], 0) << "offset " << c.offset + i;
    }
}

TEST(TrendDefsTest, DataHeaderPrefixFloatsAreBitExact) {
    Bytes b(DataHeaderRecV0.Length, 0);
    PutLE(b, 112, 0x3F800000, 4);  // 1.0f
    PutLE(b, 124, 0xC2C80000, 4);  // -100.0f
    PutLE(b, 116, 0x7FA00001, 4);  // a signalling NaN with payload
    DataHeaderRec r;
    Decode(DataHeaderRecV0, b, r);
    EXPECT_EQ(r.RawZero, 1.0f);
    EXPECT_EQ(r.EngFull, -100.0f);
    EXPECT_EQ(EncodeToBytes(DataHeaderRecV0, r), b);
}

template <class Rec>
void ExpectRandomRoundTrip(const Layout<Rec>& layout, std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 200; ++i) {
        Bytes in(layout.Length);
        for (auto& x : in) x = static_cast<std::uint8_t>(byte(rng));
        Rec r;
        Decode(layout, in, r);
        ASSERT_EQ(EncodeToBytes(layout, r), in) << layout.Name << " iteration " << i;
    }
}

TEST(TrendDefsTest, EncodeOfDecodeGivesBackRandomBytesForEveryLayout) {
    std::mt19937 rng(20040917);
    ExpectRandomRoundTrip(HSTMasterLayout, rng);
    for (const auto* l : {&HSTHeaderRecV0, &HSTHeaderRecV4, &HSTHeaderRecV5, &HSTHeaderRecV6})
        ExpectRandomRoundTrip(*l, rng);
    for (const auto* l : {&DataHeaderRecV0, &DataHeaderRecV4, &DataHeaderRecV5, &DataHeaderRecV6})
        ExpectRandomRoundTrip(*l, rng);
}

TEST(TrendDefsTest, TextFieldsArePaddedCutAndKeptAtFullWidth) {
    HSTMasterRec r;
    r.ID = "AB";                       // 8-byte field at 128
    r.Title = std::string(130, 'x');   // 128-byte field: cut
    r.Alignment1 = std::string("\0\xFF", 2);  // 4-byte filler at 140
    const Bytes b = EncodeToBytes(HSTMasterLayout, r);
    EXPECT_EQ(Bytes(b.begin() + 128, b.begin() + 136), (Bytes{'A', 'B', 0x20, 0x20, 0x20, 0x20, 0x20, 0x20}));
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 128), Bytes(128, 'x'));
    EXPECT_EQ(b[136], 0);  // FileType, right after the cut title and ID
    EXPECT_EQ(Bytes(b.begin() + 140, b.begin() + 144), (Bytes{0x00, 0xFF, 0x20, 0x20}));

    // On reading, trailing NULs and blanks belong to the value.
    Bytes in(176, 0);
    in[128] = 'T';
    in[129] = ' ';
    HSTMasterRec back;
    Decode(HSTMasterLayout, in, back);
    EXPECT_EQ(back.ID, std::string("T \0\0\0\0\0\0", 8));
    EXPECT_EQ(back.Title, std::string(128, '\0'));
    EXPECT_EQ(EncodeToBytes(HSTMasterLayout, back), in);
}

TEST(TrendDefsTest, NarrowFieldOverflowLeavesTheOutputUnchanged) {
    const struct { const Layout<HSTHeaderRec>* layout; std::int64_t value; bool fails; } cases[] = {
        {&HSTHeaderRecV0, std::int64_t{1} << 31, true},
        {&HSTHeaderRecV5, -(std::int64_t{1} << 31) - 1, true},
        {&HSTHeaderRecV0, -(std::int64_t{1} << 31), false},
        {&HSTHeaderRecV4, std::int64_t{1} << 40, false},
    };
    for (const auto& c : cases) {
        HSTHeaderRec r;
        r.Block.StartEvNo = c.value;
        Bytes out(c.layout->Length, 0xAA);
        if (c.fails) {
            try {
                Encode(*c.layout, r, out);
                ADD_FAILURE() << c.layout->Name << " accepted " << c.value;
            } catch (const Error& e) {
                EXPECT_EQ(e.kind(), ErrorKind::Overflow);
                EXPECT_NE(std::string(e.what()).find("StartEvNo"), std::string::npos) << e.what();
            }
            EXPECT_EQ(out, Bytes(c.layout->Length, 0xAA));
        } else {
            EXPECT_NO_THROW(Encode(*c.layout, r, out)) << c.layout->Name;
        }
    }
    Bytes tooShort(100);
    HSTHeaderRec r;
    EXPECT_THROW(Encode(HSTHeaderRecV0, r, tooShort), Error);
    EXPECT_THROW(Decode(HSTHeaderRecV0, std::span<const std::uint8_t>(tooShort), r), Error);
}

}  // namespace
}  // namespace jw::TrendDefs
