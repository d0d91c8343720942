// Conversions between Citect times, Int64 times and date values: the worked
// instants, the rounding rules and properties over many random instants.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>

#include "time/DateTimeTools.h"
#include "time/Errors.h"

namespace jw {
namespace {

using namespace std::chrono;
using namespace DateTimeTools;

constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kCitectZeroTicks = 116444736000000000;  // 1970-01-01 in ticks since 1601

// 2004-09-17 06:45:30 in its three encodings.
constexpr std::int32_t kInstantCitect = 1095403530;
constexpr std::int64_t kInstantTicks = 127398771300000000;
constexpr double kInstantDate = 38247.0 + 24330.0 / 86400.0;

Scaled64 Ticks(std::int64_t n) { return Scaled64::FromRaw(n); }

template <class F>
void ExpectOverflow(F&& f) {
    try {
        f();
        ADD_FAILURE() << "no overflow error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow) << e.what();
    }
}

TEST(DateTimeTools, WorkedInstantInAllEncodings) {
    EXPECT_EQ(CitectToInt64(kInstantCitect, 0).Raw(), kInstantTicks);
    EXPECT_NEAR(CitectToVB(kInstantCitect), kInstantDate, 1e-9);
    EXPECT_EQ(Int64ToCitect(Ticks(kInstantTicks)), kInstantCitect);
    EXPECT_NEAR(Int64ToVB(Ticks(kInstantTicks)), kInstantDate, 1e-9);
    EXPECT_EQ(VBToCitect(kInstantDate), kInstantCitect);
    // The float steps land within a few ticks of the exact count.
    EXPECT_NEAR(static_cast<double>(VBToInt64(kInstantDate).Raw()), static_cast<double>(kInstantTicks), 100.0);
    EXPECT_EQ(Int64ToCitect(VBToInt64(kInstantDate)), kInstantCitect);

    const CivilTime t = VBToCivil(kInstantDate);
    EXPECT_EQ(FormatCivil(t, false), "2004-09-17 06:45:30");
    EXPECT_EQ(FormatCivil(TicksToCivil(kInstantTicks), true), "2004-09-17 06:45:30.000");
    EXPECT_EQ(CivilToVB(2004y / September / 17), 38247.0);
}

TEST(DateTimeTools, CitectZeroPoint) {
    EXPECT_EQ(CitectToVB(0.0), 25569.0);
    EXPECT_EQ(CitectToInt64(0, 0).Raw(), kCitectZeroTicks);
    EXPECT_EQ(Int64ToCitect(Ticks(kCitectZeroTicks)), 0);
    EXPECT_EQ(Int64ToVB(Ticks(kCitectZeroTicks)), 25569.0);
    EXPECT_EQ(VBToCitect(25569.0), 0);
    EXPECT_EQ(VBToInt64(25569.0).Raw(), kCitectZeroTicks);
    EXPECT_EQ(CivilToVB(1970y / January / 1), 25569.0);
}

TEST(DateTimeTools, Int64ToCitectRoundsSubSecondsTwice) {
    // Ticks past the Citect zero point -> Citect time.  The seconds are first
    // rounded to four decimals, then to the whole second, ties to even.
    struct Case {
        std::int64_t ticksPastZero;
        std::int32_t citect;
    };
    const Case cases[] = {
        {5000000, 0},     // 0.5 s: even 0 keeps it
        {15000000, 2},    // 1.5 s: odd 1 goes up
        {25000000, 2},    // 2.5 s
        {35000000, 4},    // 3.5 s
        {-5000000, 0},    // -0.5 s
        {-15000000, -2},  // -1.5 s
        {14999500, 2},    // 1.49995 s rounds to 1.5000 first, then to 2
        {4999500, 0},     // 0.49995 s -> 0.5000 -> 0
        {14999000, 1},    // 1.4999 s
        {5001000, 1},     // 0.5001 s
        {4999000, 0},     // 0.4999 s
        {-4999000, 0},
        {-5001000, -1},
        {9999999, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Int64ToCitect(Ticks(kCitectZeroTicks + c.ticksPastZero)), c.citect) << c.ticksPastZero;
}

TEST(DateTimeTools, Int64MillisRoundsTheSubSecondPart) {
    struct Case {
        std::int64_t ticks;
        std::int32_t ms;
    };
    const Case cases[] = {
        {116444736001234567, 123},
        {kCitectZeroTicks + 9996000, 1000},  // 999.6 ms
        {kCitectZeroTicks + 9995000, 1000},  // 999.5 ms: tie to even 1000
        {kCitectZeroTicks + 9994000, 999},
        {kCitectZeroTicks + 5000, 0},        // 0.5 ms: tie to even 0
        {kCitectZeroTicks + 15000, 2},       // 1.5 ms
        {kCitectZeroTicks, 0},
        {0, 0},
        {9999, 1},
        {-12345678, -235},  // before 1601: zero or negative
        {-10000000, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Int64Millis(Ticks(c.ticks)), c.ms) << c.ticks;
}

TEST(DateTimeTools, Int64ToVBDropsTheSubSecondPart) {
    const double d = Int64ToVB(Ticks(kCitectZeroTicks + 19000000));  // 1970-01-01 00:00:01.900
    EXPECT_NEAR(d, 25569.0 + 1.0 / 86400.0, 1e-9);
    EXPECT_EQ(VBToCitect(d), 1);
    EXPECT_EQ(FormatCivil(VBToCivil(d), false), "1970-01-01 00:00:01");
    EXPECT_EQ(Int64ToVB(Ticks(0)), -109205.0);  // 1601-01-01
}

TEST(DateTimeTools, CitectToInt64AddsMillisecondsUnchecked) {
    for (std::int32_t s : {kMin32, -1, 0, kInstantCitect, kMax32}) {
        for (std::int32_t ms : {0, 250, 999, 5000, -250}) {
            const std::int64_t expected = ((static_cast<std::int64_t>(s) + 11644473600) * 1000 + ms) * 10000;
            EXPECT_EQ(CitectToInt64(s, ms).Raw(), expected) << s << " " << ms;
        }
    }
}

TEST(DateTimeTools, DateValueZeroAndRangeEdges) {
    EXPECT_EQ(VBToInt64(0.0).Raw(), 94353120000000000);
    ExpectOverflow([] { VBToCitect(0.0); });  // 1899 lies before the Citect range

    // The Citect range ends at 1901-12-13 20:45:52 and 2038-01-19 03:14:07.
    EXPECT_EQ(VBToCitect(CitectToVB(kMin32)), kMin32);
    EXPECT_EQ(VBToCitect(CitectToVB(kMax32)), kMax32);
    ExpectOverflow([] { VBToCitect(CitectToVB(kMax32) + 1.0 / 86400.0); });
    ExpectOverflow([] { VBToCitect(CitectToVB(kMin32) - 1.0 / 86400.0); });
    EXPECT_EQ(FormatCivil(VBToCivil(CitectToVB(kMin32)), false), "1901-12-13 20:45:52");
    EXPECT_EQ(FormatCivil(VBToCivil(CitectToVB(kMax32)), false), "2038-01-19 03:14:07");
    ExpectOverflow([] { Int64ToCitect(CitectToInt64(kMax32, 500)); });  // odd maximum + 0.5 s
    EXPECT_EQ(Int64ToCitect(CitectToInt64(kMax32, 499)), kMax32);
    ExpectOverflow([] { Int64ToCitect(Ticks(std::numeric_limits<std::int64_t>::max())); });
    ExpectOverflow([] { Int64ToCitect(Ticks(0)); });

    // Date values exist for the years 100 to 9999 only.
    EXPECT_EQ(VBToInt64(kMinDate).Raw(), 94353120000000000 + static_cast<std::int64_t>(kMinDate) * 864000000000);
    ExpectOverflow([] { Int64ToVB(Ticks(std::numeric_limits<std::int64_t>::max())); });  // year 30828
    ExpectOverflow([] { Int64ToVB(Ticks(std::numeric_limits<std::int64_t>::min())); });
    ExpectOverflow([] { VBToInt64(kMinDate - 1e-6); });
    ExpectOverflow([] { VBToInt64(kDateEnd); });
    ExpectOverflow([] { VBToInt64(std::numeric_limits<double>::quiet_NaN()); });
    ExpectOverflow([] { CitectToVB(std::numeric_limits<double>::infinity()); });
    ExpectOverflow([] { CitectToVB(std::numeric_limits<double>::quiet_NaN()); });
    ExpectOverflow([] { CitectToVB(1e15); });
}

TEST(DateTimeTools, RandomInstantsRoundTrip) {
    std::mt19937_64 rng(20040917);  // fixed, so a failure repeats
    std::uniform_int_distribution<std::int32_t> anySecond(kMin32, kMax32);
    std::uniform_int_distribution<std::int32_t> anyMs(0, 999);
    for (int i = 0; i < 200000; ++i) {
        const std::int32_t s = anySecond(rng);
        const std::int32_t ms = anyMs(rng);
        ASSERT_EQ(Int64ToCitect(CitectToInt64(s, 0)), s);
        ASSERT_EQ(VBToCitect(CitectToVB(s)), s);
        // A date value goes to ticks a few ticks off, and back to the second.
        const Scaled64 viaDate = VBToInt64(CitectToVB(s));
        ASSERT_EQ(Int64ToCitect(viaDate), s);
        ASSERT_LT(std::abs(viaDate.Raw() - CitectToInt64(s, 0).Raw()), 10000) << s;
        // Milliseconds round to the nearest second; exact halves go to the even one.
        const std::int64_t expected = ms < 500 ? s : ms > 500 ? std::int64_t{s} + 1 : std::int64_t{s} + (s & 1);
        if (expected <= kMax32) {
            ASSERT_EQ(Int64ToCitect(CitectToInt64(s, ms)), expected) << s << "." << ms;
        }
        ASSERT_EQ(Int64Millis(CitectToInt64(s, ms)), ms) << s << "." << ms;
    }
}

TEST(DateTimeTools, DispatchOnKind) {
    const TaggedValue citect = TaggedValue::Long(kInstantCitect);
    const TaggedValue ticks = TaggedValue::Currency(Ticks(kInstantTicks));
    const TaggedValue date = TaggedValue::Date(kInstantDate);

    EXPECT_EQ(ToInt64(citect, 250).Raw(), kInstantTicks + 2500000);
    EXPECT_EQ(ToInt64(ticks, 250).Raw(), kInstantTicks);
    EXPECT_EQ(Int64ToCitect(ToInt64(date, 250)), kInstantCitect);
    for (const TaggedValue& v : {citect, ticks, date}) {
        EXPECT_EQ(ToCitect(v), kInstantCitect) << v.TypeName();
        EXPECT_NEAR(ToVB(v), kInstantDate, 1e-9) << v.TypeName();
    }
    for (const TaggedValue& none : {TaggedValue(), TaggedValue::Integer(7), TaggedValue::Double(kInstantDate)}) {
        EXPECT_EQ(ToInt64(none, 250).Raw(), 0) << none.TypeName();
        EXPECT_EQ(ToVB(none), 0.0) << none.TypeName();
        EXPECT_EQ(ToCitect(none), 0) << none.TypeName();
    }
}

TEST(CalendarHelpers, DateValuesReadLinearly) {
    struct Case {
        double d;
        const char* text;
    };
    const Case cases[] = {
        {-0.25, "1899-12-29 18:00:00"},
        {0.0, "1899-12-30 00:00:00"},
        {-1.0, "1899-12-29 00:00:00"},
        {38248.0 - 0.0004 / 86400.0, "2004-09-18 00:00:00"},  // 0.4 ms before midnight
        {38248.0 - 0.6 / 86400.0, "2004-09-17 23:59:59"},
        {kInstantDate + 0.4 / 86400.0, "2004-09-17 06:45:30"},
        {kInstantDate + 0.6 / 86400.0, "2004-09-17 06:45:31"},
        {60.0, "1900-02-28 00:00:00"},
        {61.0, "1900-03-01 00:00:00"},
        {kMinDate, "0100-01-01 00:00:00"},
        {kDateEnd - 1.0 / 86400.0, "9999-12-31 23:59:59"},
        {kDateEnd - 1e-9, "9999-12-31 23:59:59"},  // nothing to carry into
    };
    for (const auto& c : cases) EXPECT_EQ(FormatCivil(VBToCivil(c.d), false), c.text) << c.d;
    ExpectOverflow([] { VBToCivil(kMinDate - 1e-9); });
    ExpectOverflow([] { VBToCivil(kDateEnd); });
    ExpectOverflow([] { VBToCivil(std::numeric_limits<double>::quiet_NaN()); });
}

TEST(CalendarHelpers, CivilDatesAndTicks) {
    EXPECT_EQ(CivilToVB(1899y / December / 30), 0.0);
    EXPECT_EQ(CivilToVB(100y / January / 1), kMinDate);
    EXPECT_EQ(CivilToVB(9999y / December / 31), kDateEnd - 1.0);
    EXPECT_EQ(CivilToVB(2000y / February / 29) - CivilToVB(2000y / February / 28), 1.0);
    ExpectOverflow([] { CivilToVB(99y / December / 31); });
    ExpectOverflow([] { CivilToVB(10000y / January / 1); });
    ExpectOverflow([] { CivilToVB(2001y / February / 29); });

    EXPECT_EQ(FormatCivil(TicksToCivil(0), true), "1601-01-01 00:00:00.000");
    EXPECT_EQ(FormatCivil(TicksToCivil(-1), true), "1600-12-31 23:59:59.999");
    EXPECT_EQ(FormatCivil(TicksToCivil(kCitectZeroTicks + 19009999), true), "1970-01-01 00:00:01.900");
    EXPECT_EQ(FormatDate(TicksToCivil(94353120000000000).date), "1899-12-30");
}

}  // namespace
}  // namespace jw
