// The scaled 64-bit number, the decimal text of 64-bit integers and the
// checked integer helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "time/Checked.h"
#include "time/Errors.h"
#include "time/Scaled64.h"
#include "time/StringTools.h"

namespace jw {
namespace {

constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

template <class F>
void ExpectOverflow(F&& f, const char* mustMention = nullptr) {
    try {
        f();
        ADD_FAILURE() << "no overflow error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow) << e.what();
        if (mustMention) {
            EXPECT_NE(std::string(e.what()).find(mustMention), std::string::npos) << e.what();
        }
    }
}

TEST(Scaled64, FromDoubleRoundsHalfTicksToEven) {
    struct Case {
        double x;
        std::int64_t n;
    };
    const Case cases[] = {
        // Exact ties (binary fractions whose product with 10,000 ends in .5).
        {0.03125, 312},      {0.09375, 938},       {0.15625, 1562}, {-0.03125, -312},
        {-0.09375, -938},    {0.00005, 0},         {0.00025, 2},    {-0.00025, -2},
        // The product is a double: 0.00015 x 10,000 is 1.4999999999999998.
        {0.00015, 1},        {1.23456, 12346},
        {1.00004, 10000},    {-1.00006, -10001},   {0.0, 0},       {2004.0917, 20040917},
        {11644473601.5, 116444736015000},
    };
    for (const auto& c : cases) EXPECT_EQ(Scaled64::FromDouble(c.x).Raw(), c.n) << c.x;
}

TEST(Scaled64, FromDoubleRangeEdges) {
    // -922,337,203,685,477.5808 times 10,000 rounds to exactly -2^63 in double.
    EXPECT_EQ(Scaled64::FromDouble(-922337203685477.5808).Raw(), kMin64);
    const double outside[] = {922337203685477.5807,  // rounds up to 2^63
                              1e15, -1e15, 1e300, std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    for (double x : outside) ExpectOverflow([&] { Scaled64::FromDouble(x, "test value"); }, "test value");
}

TEST(Scaled64, ToInt32RoundsToEvenAndChecksRange) {
    struct Case {
        std::int64_t n;
        std::int64_t expected;
    };
    const Case cases[] = {
        {5000, 0},    {15000, 2},  {25000, 2},   {35000, 4},   {4999, 0},   {5001, 1},
        {-5000, 0},   {-15000, -2}, {-25000, -2}, {-5001, -1}, {-4999, 0},  {0, 0},
        {kMax32 * 10000 + 4999, kMax32},
        {kMin32 * 10000 - 5000, kMin32},  // kMin32 is even: the tie stays
    };
    for (const auto& c : cases) EXPECT_EQ(Scaled64::FromRaw(c.n).ToInt32(), c.expected) << c.n;

    const std::int64_t outside[] = {kMax32 * 10000 + 5000,  // odd maximum: the tie goes up, out of range
                                    kMin32 * 10000 - 5001, kMax64, kMin64};
    for (std::int64_t n : outside) ExpectOverflow([&] { Scaled64::FromRaw(n).ToInt32("Citect time"); }, "Citect time");
}

TEST(Scaled64, ExactArithmeticWithOverflow) {
    EXPECT_EQ(Scaled64::FromInt(-7).Raw(), -70000);
    EXPECT_EQ((Scaled64::FromRaw(kMax64 - 5) + Scaled64::FromRaw(5)).Raw(), kMax64);
    EXPECT_EQ((Scaled64::FromRaw(kMin64 + 5) - Scaled64::FromRaw(5)).Raw(), kMin64);
    EXPECT_EQ((Scaled64::FromRaw(-123456789) * 1000).Raw(), -123456789000);
    EXPECT_DOUBLE_EQ(Scaled64::FromRaw(-12345).ToDouble(), -1.2345);

    ExpectOverflow([] { Scaled64::FromInt(kMax64 / 10000 + 1); });
    ExpectOverflow([] { Scaled64::FromRaw(kMax64) + Scaled64::FromRaw(1); });
    ExpectOverflow([] { Scaled64::FromRaw(kMin64) - Scaled64::FromRaw(1); });
    ExpectOverflow([] { Scaled64::FromRaw(kMax64 / 1000 + 1) * 1000; });
    ExpectOverflow([] { Scaled64::FromRaw(kMin64).Mul(-1, "event number"); }, "event number");
}

TEST(Int64ToString, ExactDecimalOfTheInteger) {
    struct Case {
        std::int64_t n;
        const char* text;
    };
    const Case cases[] = {
        {1234567890, "1234567890"},
        {5, "00005"},
        {0, "00000"},
        {-12345, "-12345"},
        {10000, "10000"},
        {9999, "09999"},
        {-1, "-00001"},
        {-9999, "-09999"},
        {-10000, "-10000"},
        {116444736000000000, "116444736000000000"},
        {kMin64, "-9223372036854775808"},
        {kMax64, "9223372036854775807"},
    };
    for (const auto& c : cases) EXPECT_EQ(StringTools::Int64ToString(Scaled64::FromRaw(c.n)), c.text) << c.n;
}

TEST(Checked, NarrowingKeepsInRangeValuesAndNamesTheOverflow) {
    EXPECT_EQ(CheckedNarrow<std::int16_t>(-32768, "nFiles"), -32768);
    EXPECT_EQ(CheckedNarrow<std::int16_t>(32767LL, "nFiles"), 32767);
    EXPECT_EQ(CheckedNarrow<std::uint16_t>(65535, "HeaderSize"), 65535);
    ExpectOverflow([] { CheckedNarrow<std::int16_t>(32768, "nFiles"); }, "nFiles");
    ExpectOverflow([] { CheckedNarrow<std::int16_t>(-32769, "nFiles"); }, "nFiles");
    ExpectOverflow([] { CheckedNarrow<std::uint32_t>(-1, "sample count"); }, "sample count");
    ExpectOverflow([] { CheckedNarrow<std::int32_t>(std::uint64_t{1} << 31, "FileNo"); }, "FileNo");
}

TEST(Checked, ArithmeticOverflowIsAnErrorNotAWrapAround) {
    EXPECT_EQ(CheckedAdd<std::int16_t>(32766, 1, "AddOn + nFiles"), 32767);
    EXPECT_EQ(CheckedSub<std::int32_t>(-2147483647, 1, "x"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(CheckedMul<std::int32_t>(-46340, 46340, "x"), -2147395600);
    ExpectOverflow([] { CheckedAdd<std::int16_t>(32767, 1, "AddOn + nFiles"); }, "AddOn + nFiles");
    ExpectOverflow([] { CheckedAdd<std::int32_t>(2147483647, 1, "output counter"); }, "output counter");
    ExpectOverflow([] { CheckedSub<std::int32_t>(std::numeric_limits<std::int32_t>::min(), 1, "gap"); }, "gap");
    ExpectOverflow([] { CheckedMul<std::int32_t>(65536, 32768, "area"); }, "area");
}

}  // namespace
}  // namespace jw
