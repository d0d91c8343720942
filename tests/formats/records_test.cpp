// Record layouts against byte fixtures whose offsets are written out here (read
// back from the layout tables they would only compare the tables with
// themselves).  Arbitrary bytes through every layout: fuzz_readers.
#include <tuple>

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

// Version, StartTime and EndEvNo placed by hand at their absolute offsets
// decode into the members and encode back to the same bytes.
template <class Rec>
void ExpectLayout(const Layout<Rec>& layout, std::size_t length, std::size_t version, std::size_t start, std::size_t ev,
                  std::size_t width) {
    SCOPED_TRACE(std::string(layout.Name));
    ASSERT_EQ(layout.Length, length);
    const std::int64_t evNo = width == 8 ? 0x0102030405060708 : 0x01020304;
    Bytes b = With(Bytes(length, 0), version, 0xFFFE, 2);
    b = With(b, start, static_cast<std::uint64_t>(-123456789), width);
    b = With(b, ev, static_cast<std::uint64_t>(evNo), width);
    Rec r;
    Decode(layout, b, r);
    EXPECT_EQ(std::tuple(r.Block.Version, r.Block.StartTime, r.Block.EndEvNo), std::tuple(-2, -123456789, evNo));
    EXPECT_EQ(Encoded(layout, r), b);
}

TEST(TrendDefs, RecordLayoutsAtTheirAbsoluteOffsets) {
    ExpectLayout(HSTHeaderRecV0, 240, 154, 218, 234, 4);
    ExpectLayout(HSTHeaderRecV4, 432, 282, 394, 418, 8);
    ExpectLayout(HSTHeaderRecV5, 288, 154, 266, 282, 4);
    ExpectLayout(HSTHeaderRecV6, 448, 282, 410, 434, 8);
    ExpectLayout(DataHeaderRecV0, 224, 138, 202, 218, 4);
    ExpectLayout(DataHeaderRecV4, 288, 138, 250, 274, 8);
    ExpectLayout(DataHeaderRecV5, 272, 138, 250, 266, 4);
    ExpectLayout(DataHeaderRecV6, 304, 138, 266, 290, 8);

    HSTMasterRec m;
    m.Title = std::string(130, 'x');  // 128 bytes: cut
    m.ID = "AB";                      // 8 bytes at 128: padded with blanks
    m.nFiles = 0x1234;
    const Bytes b = Encoded(HSTMasterLayout, m);
    EXPECT_EQ(Bytes(b.begin() + 126, b.begin() + 152), (Bytes{'x', 'x', 'A', 'B', 32, 32, 32, 32, 32, 32, 0, 0, 0, 0, 32, 32, 32, 32,
                                                               0, 0, 0, 0, 0, 0, 0x34, 0x12}));
    Decode(HSTMasterLayout, With(Bytes(176, 0), 128, 0x2054, 2), m);  // "T " at 128: on reading, trailing NULs and blanks belong to the text
    EXPECT_EQ(std::tuple(m.ID, m.Title), std::tuple(std::string("T \0\0\0\0\0\0", 8), std::string(128, '\0')));
}

}  // namespace
}  // namespace jw::test
