// Record layouts against byte fixtures whose offsets are written out here (read
// back from the layout tables they would only compare the tables with
// themselves), and the binary file handle.
#include <random>

#include "FormatsTest.h"
#include "formats/TrendDefs.h"

namespace jw::test {
namespace {

using namespace TrendDefs;

template <class Rec>
Bytes Encoded(const Layout<Rec>& layout, const Rec& rec) {
    Bytes out(layout.Length);
    Encode(layout, rec, out);
    return out;
}

TEST(TrendDefs, LengthsAndTheLayoutOfEachVersion) {
    EXPECT_EQ(HSTMasterLayout.Length, 176);
    const struct { int version, hst, data; } rows[] = {{0, 240, 224}, {1, 240, 224}, {3, 240, 224}, {4, 432, 288},
                                                        {5, 288, 272}, {6, 448, 304}, {-1, 0, 0}, {7, 0, 0}, {9, 0, 0}};
    for (const auto& r : rows) {
        EXPECT_EQ(HSTHeaderLayout(r.version) ? HSTHeaderLayout(r.version)->Length : 0, r.hst) << r.version;
        EXPECT_EQ(DataHeaderLayout(r.version) ? DataHeaderLayout(r.version)->Length : 0, r.data) << r.version;
    }
}

// Version, StartTime and EndEvNo placed by hand at their absolute offsets must
// decode into the members and encode back to the very same bytes.
template <class Rec>
void ExpectAt(const Layout<Rec>& layout, std::size_t version, std::size_t startTime, std::size_t endEvNo, std::size_t width) {
    SCOPED_TRACE(std::string(layout.Name));
    const std::int64_t ev = width == 8 ? 0x0102030405060708 : 0x01020304;
    Bytes b(layout.Length, 0);
    PutLE(b, version, 0xFFFE, 2);
    PutLE(b, startTime, static_cast<std::uint64_t>(-123456789), width);
    PutLE(b, endEvNo, static_cast<std::uint64_t>(ev), width);
    Rec r;
    Decode(layout, b, r);
    EXPECT_EQ(std::tuple(r.Block.Version, r.Block.StartTime, r.Block.EndEvNo), std::tuple(-2, -123456789, ev));
    EXPECT_EQ(Encoded(layout, r), b);
}

TEST(TrendDefs, FieldsLieAtTheirAbsoluteOffsets) {
    ExpectAt(HSTHeaderRecV0, 154, 218, 234, 4);
    ExpectAt(HSTHeaderRecV4, 282, 394, 418, 8);
    ExpectAt(HSTHeaderRecV5, 154, 266, 282, 4);
    ExpectAt(HSTHeaderRecV6, 282, 410, 434, 8);
    ExpectAt(DataHeaderRecV0, 138, 202, 218, 4);
    ExpectAt(DataHeaderRecV4, 138, 250, 274, 8);
    ExpectAt(DataHeaderRecV5, 138, 250, 266, 4);
    ExpectAt(DataHeaderRecV6, 138, 266, 290, 8);

    HSTMasterRec m;
    m.ID = "AB";                              // 8 bytes at 128: padded with blanks
    m.Title = std::string(130, 'x');          // 128 bytes: cut
    m.Alignment1 = std::string("\0\xFF", 2);  // 4 bytes at 140
    m.Version = -2;
    m.nFiles = 0x1234;
    const Bytes b = Encoded(HSTMasterLayout, m);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 128), Bytes(128, 'x'));
    EXPECT_EQ(Bytes(b.begin() + 128, b.begin() + 156),
              (Bytes{'A', 'B', 32, 32, 32, 32, 32, 32, 0, 0, 0xFE, 0xFF, 0, 0xFF, 32, 32, 0, 0, 0, 0, 0, 0, 0x34, 0x12, 0, 0, 0, 0}));
    Bytes in(176, 0);  // on reading, trailing NULs and blanks belong to the text
    in[128] = 'T';
    in[129] = ' ';
    Decode(HSTMasterLayout, in, m);
    EXPECT_EQ(m.ID, std::string("T \0\0\0\0\0\0", 8));
    EXPECT_EQ(m.Title, std::string(128, '\0'));
}

TEST(TrendDefs, EncodeOfDecodeGivesBackRandomBytes) {
    std::mt19937 rng(20040917);
    auto check = [&rng](const auto& layout, auto rec) {
        for (int i = 0; i < 200; ++i) {
            Bytes in(layout.Length);
            for (auto& x : in) x = static_cast<std::uint8_t>(rng());
            Decode(layout, in, rec);
            ASSERT_EQ(Encoded(layout, rec), in) << layout.Name;
        }
    };
    check(HSTMasterLayout, HSTMasterRec{});
    for (const auto* l : {&HSTHeaderRecV0, &HSTHeaderRecV4, &HSTHeaderRecV5, &HSTHeaderRecV6}) check(*l, HSTHeaderRec{});
    for (const auto* l : {&DataHeaderRecV0, &DataHeaderRecV4, &DataHeaderRecV5, &DataHeaderRecV6}) check(*l, DataHeaderRec{});
}

// Random reads, writes and seeks of every size against an in-memory copy:
// the read and write buffers never disagree with the file, and a read past
// the end reports the bytes that are there.
TEST_F(FilesTest, BinaryFileStaysCoherentWithAModel) {
    std::mt19937 rng(1095403530);
    Bytes model(100000), buf;
    for (auto& b : model) b = static_cast<std::uint8_t>(rng());
    const fs::path p = Put("mixed.bin", model);
    BinaryFile f(p, Mode::ReadWrite);
    std::uint64_t pos = 0;
    for (int step = 0; step < 3000; ++step) {
        buf.resize(rng() % 100 < 80 ? 1 + rng() % 600 : 1 + rng() % 170000);
        if (const unsigned op = rng() % 5; op == 0) {
            f.Seek(pos = rng() % (model.size() + 1000));  // sometimes past the end
        } else if (op <= 2) {
            const std::size_t n = f.Read(buf);
            ASSERT_EQ(n, pos >= model.size() ? 0 : std::min<std::size_t>(buf.size(), model.size() - pos)) << step;
            ASSERT_TRUE(std::equal(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n), model.begin() + pos)) << step;
            pos += n;
        } else {
            for (auto& b : buf) b = static_cast<std::uint8_t>(rng());
            f.Write(buf);
            model.resize(std::max<std::size_t>(model.size(), pos + buf.size()), 0);  // a gap reads as zeros
            std::copy(buf.begin(), buf.end(), model.begin() + static_cast<std::ptrdiff_t>(pos));
            pos += buf.size();
        }
        ASSERT_EQ(f.Position(), pos) << step;
    }
    ASSERT_EQ(f.Length(), model.size());
    f.Close();
    EXPECT_EQ(Contents(p), model);
    BinaryFile ro(p, Mode::ReadOnly);  // a read-only handle never writes
    const Error e = ErrorOf([&] { ro.Write(Bytes{9}); });
    EXPECT_TRUE(e.kind() == ErrorKind::InputOutput && Names(e, p.string())) << e.what();
    EXPECT_EQ(Contents(p), model);
}

}  // namespace
}  // namespace jw::test
