// The pieces of jw_cli the executable's output rests on: Windows-1252
// decoding, the export's fast time text, command-line times and counts.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "cli/Export.h"
#include "cli/MergeCommand.h"
#include "cli/Text.h"
#include "cli/TimeText.h"
#include "time/DateTimeTools.h"

namespace {

using namespace jw::cli;

TEST(Cp1252, DecodesEveryByteToValidUtf8AndJsonAcceptsIt) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"degC", "degC"},
        {"\xB0" "C", "\xC2\xB0" "C"},           // degree sign
        {"\x80", "\xE2\x82\xAC"},               // euro sign
        {"\x9F", "\xC5\xB8"},                   // Y with diaeresis
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // unassigned: C1 controls
        {"\xE5\xE4\xF6", "\xC3\xA5\xC3\xA4\xC3\xB6"},  // å ä ö
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) EXPECT_EQ(Cp1252ToUtf8(c.in), c.out) << c.in;
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_NO_THROW((void)nlohmann::json(utf8).dump());
    EXPECT_FALSE(IsValidUtf8(all));
}

TEST(Utf8, RejectsMalformedSequences) {
    const std::pair<std::string, bool> cases[] = {
        {"plain", true},          {"\xC2\xB0", true},      {"\xF0\x9F\x98\x80", true},
        {"\xC2", false},          {"\xC0\xAF", false},     {"\xED\xA0\x80", false},  // overlong, surrogate
        {"\xF4\x90\x80\x80", false}, {"\xB0", false},      {"\xE2\x82", false},
    };
    for (const auto& [text, ok] : cases) EXPECT_EQ(IsValidUtf8(text), ok) << testing::PrintToString(text);
    EXPECT_EQ(HostText("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(HostText("caf\xC3\xA9"), "caf\xC3\xA9");
}

TEST(DisplayField, TrimsTrailingNulsAndBlanksAndMasksControls) {
    EXPECT_EQ(DisplayField(std::string("TREND\0\0  \0", 10)), "TREND");
    EXPECT_EQ(DisplayField(std::string("  lead", 6)), "  lead");
    EXPECT_EQ(DisplayField(std::string("a\0b\x1B[2J\0", 9)), "a?b?[2J");
    EXPECT_EQ(DisplayField("\xB0" "C      "), "\xC2\xB0" "C");
    EXPECT_EQ(DisplayField(std::string(8, '\0')), "");
    EXPECT_EQ(OneLine("first\r\nsecond\n\tthird "), "first second third");
}

// The fast formatter agrees with the calendar of the time library for
// instants before and after 1601, 1970 and across leap days.
TEST(TickFormatter, AgreesWithTheCalendarOverCenturies) {
    namespace dt = jw::DateTimeTools;
    TickFormatter fast;
    char buf[40];
    const std::int64_t step = 7 * kTicksPerDay + 3 * 3600 * kTicksPerSecond + 12'345'678;  // odd step: all fields move
    for (std::int64_t t = -400LL * 366 * kTicksPerDay; t < 9000LL * 366 * kTicksPerDay; t += step * 97) {
        const std::string mine(buf, fast.Write(t, buf));
        EXPECT_EQ(mine, dt::FormatCivil(dt::TicksToCivil(t), true)) << t;
    }
    EXPECT_EQ(FormatTicks(127'398'771'300'000'000, false), "2004-09-17 06:45:30");
    EXPECT_EQ(FormatTicks(CitectToTicks(0, 250), true), "1970-01-01 00:00:00.250");
    EXPECT_EQ(FormatTicks(-1, true), "1600-12-31 23:59:59.999");
}

TEST(ParseTimeText, ReadsTheFormsTheCommandLineTakes) {
    const std::int64_t day = CitectToTicks(1'095'379'200);  // 2004-09-17 00:00:00
    const std::pair<std::string, std::optional<std::int64_t>> cases[] = {
        {"2004-09-17", day},
        {"2004-09-17 06:45", day + (6 * 3600 + 45 * 60) * kTicksPerSecond},
        {"2004-09-17T06:45:30", day + (6 * 3600 + 45 * 60 + 30) * kTicksPerSecond},
        {"2004-09-17 06:45:30.250", day + (6 * 3600 + 45 * 60 + 30) * kTicksPerSecond + 250 * kTicksPerMillisecond},
        {"2004-02-29", CitectToTicks(1'078'012'800)},
        {"2003-02-29", std::nullopt},  {"2004-13-01", std::nullopt}, {"2004-09-31", std::nullopt},
        {"2004-9-17", std::nullopt},   {"2004-09-17 24:00", std::nullopt}, {"2004-09-17 06:45:30.25", std::nullopt},
        {"2004-09-17 ", std::nullopt}, {"09-17-2004", std::nullopt},  {"", std::nullopt},
        {"2004-09-17 06:45:30.250x", std::nullopt},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(ParseTimeText(text), want) << text;
}

TEST(ParseFileCount, TakesWholeNumbersOfSixteenBitsOnly) {
    const std::pair<std::string, std::optional<std::int16_t>> cases[] = {
        {"8", 8},  {"0", 0},   {"-5", -5},  {"32767", 32767}, {"-32768", -32768}, {"0008", 8},
        {"32768", std::nullopt}, {"-32769", std::nullopt}, {"40000", std::nullopt}, {"x", std::nullopt},
        {"2.5", std::nullopt},  {"", std::nullopt},  {"-", std::nullopt},  {"+5", std::nullopt},
        {" 5", std::nullopt},   {"5 ", std::nullopt}, {"1e3", std::nullopt}, {"99999999999", std::nullopt},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(ParseFileCount(text), want) << text;
}

TEST(FormatDouble, IsShortestAndReadsBackExactly) {
    char buf[40];
    for (double v : {0.0, -0.0, 0.1, 1.5, -0.125, 1e-300, 1.7976931348623157e308, 5e-324, 12345.678, 100.0 / 3}) {
        const std::size_t n = FormatDouble(v, buf);
        double back = 0;
        std::from_chars(buf, buf + n, back);
        EXPECT_EQ(back, v) << std::string(buf, n);
        EXPECT_EQ(std::signbit(back), std::signbit(v));
    }
    EXPECT_EQ(std::string(buf, FormatDouble(0.1, buf)), "0.1");
    EXPECT_EQ(std::string(buf, FormatDouble(100, buf)), "100");
}

}  // namespace
