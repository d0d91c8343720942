// The three time encodings, the scaled 64-bit number, the tagged value behind
// clsTimes and the checked integer helpers: worked instants, rounding ties,
// range edges.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>
#include <optional>
#include <tuple>

#include "base/Checked.h"
#include "time/DateTimeTools.h"
#include "base/Errors.h"
#include "time/clsTimes.h"

namespace jw {
namespace {

using namespace DateTimeTools;
using namespace std::chrono;
using Action = std::function<void()>;
constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min(), kMax64 = std::numeric_limits<std::int64_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min(), kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kZero = 116444736000000000;  // Citect 0 (1970-01-01) in ticks since 1601
constexpr std::int32_t kCitect = 1095403530;         // 2004-09-17 06:45:30 in its three encodings
constexpr std::int64_t kTicks = 127398771300000000;
constexpr double kDate = 38247.0 + 24330.0 / 86400.0;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

Scaled64 T(std::int64_t n) { return Scaled64::FromRaw(n); }

// f must fail with an error of the kind whose text names `what`.
void ExpectFail(const Action& f, const char* what = "", ErrorKind kind = ErrorKind::Overflow) {
    try { f(), ADD_FAILURE() << "no error"; } catch (const Error& e) {
        EXPECT_TRUE(e.kind() == kind && std::string(e.what()).find(what) != std::string::npos) << e.what();
    }
}

TEST(DateTimeTools, InstantsInAllThreeEncodingsBothWays) {
    const struct { std::int32_t citect; std::int64_t ticks; double date; const char* text; } rows[] = {
        {kCitect, kTicks, kDate, "2004-09-17 06:45:30"}, {0, kZero, 25569.0, "1970-01-01 00:00:00"},
        {kMax32, 137919572470000000, 50424.0 + 11647.0 / 86400.0, "2038-01-19 03:14:07"},
        {kMin32, 94969899520000000, 713.0 + 74752.0 / 86400.0, "1901-12-13 20:45:52"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(std::tuple(CitectToInt64(r.citect, 0).Raw(), Int64ToCitect(T(r.ticks)), VBToCitect(r.date), Int64ToCitect(VBToInt64(r.date))),
                  std::tuple(r.ticks, r.citect, r.citect, r.citect));
        EXPECT_EQ(FormatCivil(VBToCivil(r.date), false), r.text);
        EXPECT_NEAR(CitectToVB(r.citect), r.date, 1e-9);
        EXPECT_NEAR(Int64ToVB(T(r.ticks)), r.date, 1e-9);
    }
    EXPECT_EQ(Int64ToVB(T(0)), -109205.0);  // 1601-01-01
    EXPECT_EQ(Int64ToCitect(CitectToInt64(kMax32, 499)), kMax32);
    EXPECT_EQ(Int64ToCitect(CitectToInt64(kMin32, -500)), kMin32);  // even: the tie stays in range
    const Action overflows[] = {
        [] { VBToCitect(CitectToVB(kMax32) + 1.0 / 86400.0); },
        [] { VBToCitect(CitectToVB(kMin32) - 1.0 / 86400.0); }, [] { Int64ToCitect(CitectToInt64(kMax32, 500)); },
        [] { Int64ToCitect(T(kMax64)); }, [] { Int64ToCitect(T(0)); }, [] { Int64ToVB(T(kMax64)); },
        [] { VBToInt64(kMinDate - 1e-6); }, [] { VBToInt64(kDateEnd); }, [] { VBToInt64(kNaN); },
        [] { CitectToVB(kNaN); }, [] { CitectToVB(1e15); }, [] { VBToCivil(kMinDate - 1e-9); },
        [] { VBToCivil(kDateEnd); }};
    for (const auto& f : overflows) ExpectFail(f);
    // A date value's day and time of day are read linearly: -0.25 is 18:00 the day before day 0.
    const struct { double d; const char* text; } linear[] = {
        {-0.25, "1899-12-29 18:00:00"}, {38248.0 - 0.0004 / 86400.0, "2004-09-18 00:00:00"},
        {kDate + 0.6 / 86400.0, "2004-09-17 06:45:31"}, {kMinDate, "0100-01-01 00:00:00"}, {kDateEnd - 1e-9, "9999-12-31 23:59:59"}};
    for (const auto& r : linear) EXPECT_EQ(FormatCivil(VBToCivil(r.d), false), r.text) << r.d;
}

TEST(DateTimeTools, SubSecondsRoundTwiceTiesToEven) {
    // Seconds are rounded to four decimals first, then to the whole second: 1.49995 s -> 1.5000 -> 2
    // (a single rounding would give 1).
    const struct { std::int64_t pastZero; std::int32_t citect; } seconds[] = {
        {5000000, 0}, {15000000, 2}, {25000000, 2}, {35000000, 4}, {-5000000, 0}, {-15000000, -2}, {14999500, 2},
        {4999500, 0}, {14999000, 1}, {5001000, 1}, {4999000, 0}, {-4999000, 0}, {-5001000, -1}};
    for (const auto& c : seconds) EXPECT_EQ(Int64ToCitect(T(kZero + c.pastZero)), c.citect) << c.pastZero;
    const struct { std::int64_t ticks; std::int32_t ms; } millis[] = {
        {116444736001234567, 123}, {kZero + 9996000, 1000}, {kZero + 9995000, 1000}, {kZero + 9994000, 999},
        {kZero + 5000, 0}, {kZero + 15000, 2}, {0, 0}, {-12345678, -235}};
    for (const auto& c : millis) EXPECT_EQ(Int64Millis(T(c.ticks)), c.ms) << c.ticks;
}

TEST(clsTimes, ViewsFollowTheKindOfRaw) {
    // Empty, Integer 0 (what the merge assigns to clear a time) and a plain float are no time; a date
    // value without a day shows the time alone.  Times saved in another encoding: master_test.
    const struct { TaggedValue raw; const char* text; double vb; std::int32_t citect; } rows[] = {
        {TaggedValue(), "", 0.0, 0}, {TaggedValue::Integer(0), "0", 0.0, 0}, {TaggedValue::Double(38247.5), "38247.5", 0.0, 0},
        {TaggedValue::Currency(T(kTicks)), "127398771300000000", kDate, kCitect},
        {TaggedValue::Date(kDate), "2004-09-17 06:45:30", kDate, kCitect}, {TaggedValue::Date(38247.0), "2004-09-17", 38247.0, 1095379200}};
    for (const auto& r : rows) {
        clsTimes t;
        t.Raw = r.raw;  // a copy keeps its kind
        EXPECT_EQ(std::pair(t.FormattedString(), t.Citect()), std::pair(std::string(r.text), r.citect));
        EXPECT_NEAR(t.VB(), r.vb, 1e-9) << r.text;
    }
    clsTimes t;
    t.Raw = TaggedValue::Date(24330.0 / 86400.0);
    EXPECT_EQ(t.FormattedString(), "06:45:30");
    ExpectFail([] { (void)TaggedValue::Long(-7).AsInteger(); }, "", ErrorKind::TypeMismatch);
    for (double d : {kMinDate - 1e-6, kDateEnd, kNaN}) ExpectFail([d] { (void)TaggedValue::Date(d); });
}

TEST(Scaled64, RoundsHalfToEvenAndOverflowsInsteadOfWrapping) {
    const struct { double x; std::int64_t n; } fromDouble[] = {
        {0.03125, 312}, {0.09375, 938}, {-0.03125, -312}, {0.00025, 2}, {-0.00025, -2}, {1.23456, 12346},
        {0.00015, 1}, {-922337203685477.5808, kMin64}};  // 0.00015 x 10,000 is 1.4999999999999998 as a double
    for (const auto& c : fromDouble) EXPECT_EQ(Scaled64::FromDouble(c.x).Raw(), c.n) << c.x;
    const std::pair<Action, const char*> overflows[] = {
        {[] { Scaled64::FromDouble(922337203685477.5807, "test value"); }, "test value"},  // rounds up to 2^63
        {[] { Scaled64::FromDouble(kNaN, "test value"); }, "test value"}, {[] { T(kMin64) - T(1); }, ""},
        {[] { T(std::int64_t{kMax32} * 10000 + 5000).ToInt32("Citect time"); }, "Citect time"},  // odd: tie goes up
        {[] { T(std::int64_t{kMin32} * 10000 - 5001).ToInt32("Citect time"); }, "Citect time"},
        {[] { Scaled64::FromInt(kMax64 / 10000 + 1); }, ""}, {[] { T(kMax64) + T(1); }, ""},
        {[] { T(kMin64).Mul(-1, "event number"); }, "event number"},
        {[] { CheckedNarrow<std::int16_t>(32768, "nFiles"); }, "nFiles"}};  // CheckedAdd, CheckedSub: data_test's hostile runs
    for (const auto& [f, what] : overflows) ExpectFail(f, what);
    // Int64ToString (event numbers as text, "00005"): master_test loads them.
}

// The calendar: texts read and written, tick counts and calendar times both
// ways, the fast formatter (which keeps the date of the last day) against
// the plain one, row after row.
TEST(Calendar, TextsAndTicks) {
    const struct { const char* text; std::optional<std::int64_t> ticks; const char* shown; } texts[] = {
        {"2004-09-17 06:45:30", kTicks, "2004-09-17 06:45:30.000"}, {"1601-01-01", 0, "1601-01-01 00:00:00.000"},
        {"2004-09-17T06:45:30.250", kTicks + 2'500'000, "2004-09-17 06:45:30.250"},
        {"2004-09-17 06:45", kTicks - 300'000'000, "2004-09-17 06:45:00.000"},
        {"1600-12-31 23:59:59.999", -10'000, "1600-12-31 23:59:59.999"},  // floored toward the past
        {"2000-02-29", 125'962'560'000'000'000, "2000-02-29 00:00:00.000"}, {"1900-02-29", std::nullopt, ""},
        {"2004-13-01", std::nullopt, ""}, {"2004-09-17 24:00", std::nullopt, ""}, {"2004-09-17 06:45:60", std::nullopt, ""},
        {"2004-09-17 06:45:30.25", std::nullopt, ""}, {"2004-9-17", std::nullopt, ""}, {"2004-09-17 ", std::nullopt, ""},
        {"-004-09-17", std::nullopt, ""}, {"", std::nullopt, ""}};
    TickFormatter fast;
    for (const auto& c : texts) {
        SCOPED_TRACE(c.text);
        const auto t = ParseCivil(c.text);
        ASSERT_EQ(t.has_value(), c.ticks.has_value());
        if (!t) continue;
        EXPECT_EQ(CivilToTicks(*t), *c.ticks);
        EXPECT_EQ(FormatCivil(TicksToCivil(*c.ticks), true), c.shown);
        char buf[40];
        EXPECT_EQ(std::string(buf, fast.Write(*c.ticks, buf)), c.shown);
    }
    EXPECT_EQ(FormatDate(2004y / September / 7), "2004-09-07");
    EXPECT_EQ(FormatCivil(TicksToCivil(kTicks + 9'999), false), "2004-09-17 06:45:30");  // milliseconds cut, not rounded
    EXPECT_EQ(CitectToTicks(kCitect, 250), kTicks + 2'500'000);
}

}  // namespace
}  // namespace jw
