// clsHSTMaster and clsHSTHeader against hand-made master files.
#include <climits>
#include <cmath>
#include <tuple>

#include "FormatsTest.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"

namespace jw::test {
namespace {

constexpr std::size_t kMaster = 176;
constexpr std::int64_t kTicks = 127398771300000000;  // 2004-09-17 06:45:30, Citect 1095403530

// Record length and absolute record offsets per master Version, written out
// independently of the layout tables.
// Width: of event numbers and times.
struct At { std::size_t length, width, period, start, endEvNo; };
At Record(int v) {
    return v <= 3 ? At{240, 4, 202, 218, 234} : v == 4 ? At{432, 8, 378, 394, 418} : v == 5 ? At{288, 4, 250, 266, 282} : At{448, 8, 394, 410, 434};
}
Bytes MasterOf(int version) { return With(Bytes(kMaster, 0), 138, static_cast<std::uint16_t>(version), 2); }

class MasterTest : public FilesTest {
protected:
    // Loads h from rec (unless empty) under a master of Version v, then saves h over it: the record saved.
    Bytes Resave(clsHSTHeader& h, int v, const Bytes& rec) {
        const fs::path p = Put("r.hst", {MasterOf(v), rec});
        BinaryFile f(p, Mode::ReadWrite);
        clsHSTMaster m;
        m.Load(f);
        if (!rec.empty()) h.Load(f, m);
        f.Seek(kMaster);
        h.Save(f, m);
        f.Close();
        const Bytes all = Contents(p);
        return Bytes(all.begin() + kMaster, all.end());
    }
};

TEST_F(MasterTest, FieldsLoadAndSaveAtTheirOffsets) {
    const struct { int v; std::int32_t period; double seconds; std::int64_t endEvNo; const char* text; std::int64_t time; } rows[] = {
        {0, 5, 5.0, -7, "-7", 1095403530}, {1, 5, 5.0, INT32_MIN, "-2147483648", -1},  // 0 and 1 count seconds
        {3, 5, 0.005, 12345, "12345", 0}, {2, 1500, 1.5, 0, "0", 1095403530},
        {6, 5, 0.005, INT64_MIN, "-9223372036854775808", kTicks}, {4, 5, 0.005, 123456789, "123456789", kTicks},
        {4, 1, 0.001, 5, "00005", -3}, {5, 1500, 1.5, INT32_MAX, "2147483647", -86400}};
    clsHSTHeader h;  // through all loads: its instants are shared and reused
    const std::shared_ptr<clsTimes> held = h.StartTime();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const At at = Record(r.v);
        Bytes rec = With(Bytes(at.length, 0), at.period, static_cast<std::uint32_t>(r.period), 4);
        rec = With(With(rec, at.endEvNo, static_cast<std::uint64_t>(r.endEvNo), at.width), at.start, static_cast<std::uint64_t>(r.time), at.width);
        EXPECT_EQ(Resave(h, r.v, rec), rec);
        EXPECT_EQ(std::tuple(h.SamplePeriod, h.SamplePeriodRaw, h.EndEvNo, h.StartTime()), std::tuple(r.seconds, r.period, r.text, held));
        EXPECT_EQ(held->Raw, TimeRaw(at.width == 8, r.time));
    }

    const struct { int v; double seconds; std::int32_t raw, period; TaggedValue time; std::int64_t stored; } saves[] = {
        {1, 5.0, 7, 7, TaggedValue::Currency(Scaled64::FromRaw(kTicks)), 1095403530},  // seconds: the raw member
        {4, 0.0625, 7, 7, TaggedValue::Long(1095403530), kTicks},                       // the own layouts: the same
        {2, 0.0625, 7, 62, TaggedValue::Date(38247.0 + 24330.0 / 86400.0), 1095403530},  // x 1000, halves to even
        {3, 0.1875, 0, 188, TaggedValue::Integer(0), 0}, {2, -0.0625, 0, -62, TaggedValue(), 0}};
    for (const auto& s : saves) {
        clsHSTHeader fresh;  // never loaded: saves once its event numbers are set
        fresh.StartEvNo = fresh.EndEvNo = "0";
        std::tie(fresh.SamplePeriod, fresh.SamplePeriodRaw, fresh.StartTime()->Raw) = std::tuple(s.seconds, s.raw, s.time);
        const Bytes rec = Resave(fresh, s.v, {});
        const At at = Record(s.v);
        EXPECT_EQ(std::tuple(GetLE(rec, at.period, 4), GetLE(rec, at.start, at.width)), std::tuple(s.period, s.stored));
    }
}

// A save that cannot be made fails before anything is written; a Version
// without a layout reads and writes no record at all.
TEST_F(MasterTest, SavesLeaveFileAndPositionUnlessTheyCanBeMade) {
    using Set = void (*)(clsHSTMaster&, clsHSTHeader&);
    const struct { int v; const char* field; ErrorKind kind; Set set; } rows[] = {
        {-1, "", ErrorKind::Refused, [](auto&, auto&) {}},  // FF FF: -1
        {4, "Version", ErrorKind::Overflow, [](auto& m, auto&) { m.Version = 40000; }},
        {2, "SamplePeriod", ErrorKind::Overflow, [](auto&, auto& h) { h.SamplePeriod = 2147483.648; }},  // 2^31 ms
        {3, "SamplePeriod", ErrorKind::Overflow, [](auto&, auto& h) { h.SamplePeriod = std::nan(""); }},
        {5, "EndEvNo", ErrorKind::Overflow, [](auto&, auto& h) { h.EndEvNo = "2147483648"; }},
        {6, "EndEvNo", ErrorKind::Overflow, [](auto&, auto& h) { h.EndEvNo = "9223372036854775808"; }},
        {4, "EndEvNo", ErrorKind::TypeMismatch, [](auto&, auto& h) { h.EndEvNo = " 5"; }},
        {1, "StartEvNo", ErrorKind::TypeMismatch, [](auto&, auto& h) { h = clsHSTHeader(); }}};  // never loaded
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.field) + " under version " + std::to_string(r.v));
        const fs::path p = Put("f.hst", {MasterOf(r.v), Bytes(448, '0')});
        const Bytes original = Contents(p);
        BinaryFile f(p, Mode::ReadWrite);
        clsHSTMaster m;
        clsHSTHeader h;
        h.Name = "kept";
        m.Load(f);
        h.Load(f, m);
        EXPECT_EQ(std::tuple(m.Version, h.Name == "kept", f.Position()),
                  std::tuple(r.v, !*r.field, kMaster + (*r.field ? Record(r.v).length : 0)));
        r.set(m, h);
        f.Seek(230);
        const Error e = ErrorOf([&] { h.Save(f, m); m.Save(f); });  // the master goes back as it was: FF FF stays FF FF
        EXPECT_TRUE(e.kind() == r.kind && Names(e, r.field)) << e.what();
        EXPECT_EQ(f.Position(), *r.field ? 230u : kMaster);
        f.Close();
        EXPECT_EQ(Contents(p), original);
    }
}

}  // namespace
}  // namespace jw::test
