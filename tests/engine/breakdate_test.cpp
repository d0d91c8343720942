#include <gtest/gtest.h>

#include "engine/TrendTools.h"
#include "time/Errors.h"

namespace jw {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;
using std::chrono::year_month_day;

year_month_day Ymd(int y, unsigned m, unsigned d) { return year_month_day{year{y}, month{m}, day{d}}; }

TEST(BreakDateTest, AcceptedForms) {
    const std::pair<std::string, year_month_day> cases[] = {
        {"09-17-2004", Ymd(2004, 9, 17)},
        {"9-7-2004", Ymd(2004, 9, 7)},
        {"05-09-2004", Ymd(2004, 5, 9)},  // month first: 9 May
        {"12/31/1999", Ymd(1999, 12, 31)},
        {"1.2.2030", Ymd(2030, 1, 2)},
        {"02-29-2004", Ymd(2004, 2, 29)},
        {"02-29-2000", Ymd(2000, 2, 29)},
        {"09-17-04", Ymd(2004, 9, 17)},
        {"09-17-29", Ymd(2029, 9, 17)},
        {"09-17-30", Ymd(1930, 9, 17)},
        {"09-17-99", Ymd(1999, 9, 17)},
        {"09-17-00", Ymd(2000, 9, 17)},
        {"2004-09-17", Ymd(2004, 9, 17)},
        {"  09-17-2004\t", Ymd(2004, 9, 17)},
        {"\t2004-09-17 ", Ymd(2004, 9, 17)},
    };
    for (const auto& [text, want] : cases) {
        const auto got = ParseBreakDate(text);
        ASSERT_TRUE(got.has_value()) << '"' << text << '"';
        EXPECT_EQ(*got, want) << '"' << text << '"';
    }
}

TEST(BreakDateTest, RefusedForms) {
    const std::string cases[] = {
        "",          " ",          "02-30-2004", "02-29-2003",  "13-01-2004", "00-10-2004", "10-00-2004",
        "09-31-2004", "09-17-2004 06:00", "09-17-2004 6", "Sep-17-2004", "09-17-200a", "09-17-204",
        "09-17-20045", "09-17", "09/17-2004", "09-17/2004", "9 17 2004", "9_17_2004", "009-17-2004",
        "09-017-2004", "2004-9-17",  "2004/09/17", "2004-13-01", "2004-02-30", "+9-17-2004", "-9-17-2004",
        "09--17-2004", "09-17-2004.", "0x9-17-2004", "２００４-09-17",
    };
    for (const auto& text : cases) EXPECT_FALSE(ParseBreakDate(text).has_value()) << '"' << text << '"';
}

TEST(BreakDateTest, CompareGivesOneTwoThree) {
    struct Case {
        std::string brk, dayText;
        std::int16_t code;
    };
    const Case cases[] = {
        {"09-17-2004", "09/16/2004", 1},  // the day lies before the break date
        {"09-17-2004", "09/18/2004", 2},
        {"09-17-2004", "09/17/2004", 3},
        {"2004-09-17", "09/17/2004", 3},
        {"01-01-30", "12/31/1929", 1},
        {"12-31-2029", "01/01/2030", 2},
    };
    for (const auto& c : cases) EXPECT_EQ(CompareToBreakDate(c.brk, c.dayText), c.code) << c.brk << " " << c.dayText;

    for (const auto& [brk, dayText] : {std::pair{"13-01-2004", "09/17/2004"}, std::pair{"09-17-2004", "garbage"}}) {
        try {
            CompareToBreakDate(brk, dayText);
            ADD_FAILURE() << brk << " " << dayText;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InvalidArgument);
            EXPECT_NE(std::string(e.what()).find('"'), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace jw
