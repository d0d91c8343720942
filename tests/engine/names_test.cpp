// Recorded names cut into their parts and renumbered; break dates as typed.
#include <array>

#include "EngineTest.h"

namespace jw {
namespace {

using namespace enginetest;
using namespace std::string_literals;

// What each cut of a recorded name gives ("!": FolderPart refuses it), the
// numbers of data files, and a recorded name renumbered.
TEST(NamesTest, RecordedNamesAndTheirParts) {
    const std::array<std::string, 4> parts[] = {{"C:\\Data\\TREND.ABCD", "TREND.ABC", "TREND.", "C:\\Data"}, {"C:\\A\\B\\", "", "", "C:\\A"},
        {"C:\\TREND.000", "TREND.000", "TREND.", "C:"}, {"\\TREND.000", "TREND.000", "TREND.", ""}, {"C:\\Data.v1\\TREND", "TRE", "", "C:\\Data.v1"},
        {"C:\\Data\\a.b.c", "a.b.c", "a.b.", "C:\\Data"}, {"TREND.000", "TREND.000", "TREND.", "!"}, {"", "", "", "!"},
        {"C:/Data/TREND.000", "C:/Data/TREND.000", "C:/Data/TREND.", "!"}};
    for (const auto& [path, file, base, folder] : parts) {
        std::string got;
        EXPECT_EQ(ErrorOf([&] { got = FolderPart(path); }).empty() ? got : "!", folder) << path;
        EXPECT_EQ(FileNamePart(path) + "|" + BaseNamePart(path), file + "|" + base) << path;
    }
    for (const auto& [n, text] : {std::pair{0, "000"}, {9, "009"}, {10, "010"}, {99, "099"}, {100, "100"}, {1000, "1000"}, {32767, "32767"}})
        EXPECT_EQ(NumberText(static_cast<std::int16_t>(n)), text);
    EXPECT_THROW(NumberText(-1), Error);
    EXPECT_EQ(NewRecordedName("C:\\Data\\TREND.000\0.x\\"s, 5), "C:\\Data\\TREND.005");
    EXPECT_EQ(NewRecordedName("\\\\srv\\share\\trend.017   ", 1000), "\\\\srv\\share\\trend.1000");
}

TEST(NamesTest, BreakDates) {
    using namespace std::chrono;
    const std::pair<std::string, year_month_day> accepted[] = {{"9-7-2004", 2004y / 9 / 7}, {"12/31/1999", 1999y / 12 / 31}, {"1.2.2030", 2030y / 1 / 2},
        {"02-29-2000", 2000y / 2 / 29}, {"09-17-29", 2029y / 9 / 17}, {"09-17-30", 1930y / 9 / 17}, {" 2004-09-17\t", 2004y / 9 / 17}};
    for (const auto& [text, date] : accepted) EXPECT_EQ(ParseBreakDate(text), date) << '"' << text << '"';
    for (const char* text : {"", "02-29-2003", "13-01-2004", "00-10-2004", "09-17-2004 06:00", "09-17-204", "09/17-2004", "2004-9-17", "+9-17-2004", "12-31-0099"})
        EXPECT_EQ(ParseBreakDate(text), std::nullopt) << '"' << text << '"';
    // A start on the break day is the existing set's.
    for (const auto& [day, side] : {std::pair{2004y / 9 / 16, 1}, {2004y / 9 / 17, 3}, {2004y / 9 / 18, 2}})
        EXPECT_EQ(CompareToBreakDate(2004y / 9 / 17, day), side);
}

}  // namespace
}  // namespace jw
