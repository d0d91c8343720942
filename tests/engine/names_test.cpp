#include <array>

#include "EngineTest.h"
#include "formats/TrendSet.h"
#include "os/WindowsNames.h"

namespace jw {
namespace {

using namespace enginetest;
using namespace std::string_literals;

// What each cut of a recorded name gives ("!": FolderPart refuses it), the
// numbers of data files, and a recorded name renumbered.
TEST(NamesTest, RecordedNamesAndTheirParts) {
    const std::array<std::string, 4> parts[] = {
        {"C:\\Data\\TREND.000", "TREND.000", "TREND.", "C:\\Data"}, {"C:\\Data\\TREND.ABCD", "TREND.ABC", "TREND.", "C:\\Data"},
        {"C:\\A\\B\\", "", "", "C:\\A"}, {"C:\\TREND.000", "TREND.000", "TREND.", "C:"}, {"\\TREND.000", "TREND.000", "TREND.", ""},
        {"C:\\Data.v1\\TREND", "TRE", "", "C:\\Data.v1"}, {"C:\\Data\\a.b.c", "a.b.c", "a.b.", "C:\\Data"},
        {"TREND.000", "TREND.000", "TREND.", "!"}, {"C:/Data/TREND.000", "C:/Data/TREND.000", "C:/Data/TREND.", "!"}, {"", "", "", "!"},
    };
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
    EXPECT_THROW(NewRecordedName("TREND.000", 1), Error);
}

// Names a Windows folder cannot hold are refused on every host; their
// near misses are not.
TEST(NamesTest, WindowsFileNames) {
    const std::pair<std::string, std::string> names[] = {
        {"CON", "device name \"CON\""}, {"con.000", "device name \"con\""}, {"Aux.tar.gz", "device name \"Aux\""},
        {"NUL .HST", "device name \"NUL\""}, {"prn.HST", "device name \"prn\""}, {"COM1.000", "device name \"COM1\""},
        {"com9.x", "device name \"com9\""}, {"LPT1", "device name \"LPT1\""}, {"lpt9.001", "device name \"lpt9\""},
        {"TREND.", "ends in a dot"}, {"TREND.000 ", "ends in a blank"}, {"a<b.000", "contains \"<\""},
        {"a>b.000", "contains \">\""}, {"C:TREND.000", "contains \":\""}, {"a\"b.000", "contains \"\"\""},
        {"a|b.000", "contains \"|\""}, {"a?b.000", "contains \"?\""}, {"a*b.000", "contains \"*\""},
        {"a\\b.000", "contains \"\\\""},
        // Near misses: allowed.
        {"CONSOLE.000", ""}, {"COM0.000", ""}, {"COM10.000", ""}, {"LPT.000", ""}, {"xCON.000", ""}, {"NUL_.HST", ""},
        {"TREND.000", ""}, {".HST", ""}, {"tr end.000", ""}, {"AUXILIARY", ""},
    };
    for (const auto& [name, why] : names) {
        const std::string got = os::WindowsFileNameProblem(name);
        if (why.empty()) EXPECT_EQ(got, "") << name;
        else EXPECT_NE(got.find(why), std::string::npos) << name << ": " << got;
        // Every output file name passes this check.
        EXPECT_EQ(HostFileNameProblem(name).empty(), why.empty()) << name;
    }
    // A folder to be made: its own name, whatever leads to it.
    std::vector<std::pair<fs::path, std::string>> folders = {
        {"out2 ", "ends in a blank"}, {"sets/out2.", "ends in a dot"}, {"sets/nul/", "device name \"nul\""},
        {"sets/out2", ""}, {".", ""}, {"sets/..", ""}};
#ifdef _WIN32
    folders.insert(folders.end(), {{L"\\\\?\\C:\\sets\\out2 ", "ends in a blank"}, {L"\\\\?\\C:\\AUX\\", "device name \"AUX\""}});
#endif
    for (const auto& [folder, why] : folders) {
        const std::string e = ErrorOf([&] { os::CheckNewFolderName(folder); });
        EXPECT_TRUE(why.empty() ? e.empty() : e.find(why) != std::string::npos) << folder << ": " << e;
    }
}

TEST(NamesTest, BreakDates) {
    using namespace std::chrono;
    const std::pair<std::string, year_month_day> accepted[] = {
        {"09-17-2004", 2004y / 9 / 17}, {"9-7-2004", 2004y / 9 / 7},   {"05-09-2004", 2004y / 5 / 9},    {"12/31/1999", 1999y / 12 / 31},
        {"1.2.2030", 2030y / 1 / 2},    {"02-29-2000", 2000y / 2 / 29}, {"09-17-04", 2004y / 9 / 17},    {"09-17-29", 2029y / 9 / 17},
        {"09-17-30", 1930y / 9 / 17},   {"09-17-00", 2000y / 9 / 17},   {"2004-09-17", 2004y / 9 / 17}, {" 09-17-2004\t", 2004y / 9 / 17},
        {"\t2004-09-17 ", 2004y / 9 / 17}, {"01-01-0100", 100y / 1 / 1}, {"12-31-9999", 9999y / 12 / 31}};
    for (const auto& [text, date] : accepted) EXPECT_EQ(ParseBreakDate(text), date) << '"' << text << '"';
    for (const char* text : {"", " ", "02-30-2004", "02-29-2003", "13-01-2004", "00-10-2004", "10-00-2004", "09-31-2004",
                             "09-17-2004 06:00", "Sep-17-2004", "09-17-200a", "09-17-204", "09-17-20045", "09-17", "09/17-2004",
                             "9 17 2004", "009-17-2004", "2004-9-17", "2004/09/17", "2004-13-01", "+9-17-2004", "09--17-2004",
                             "09-17-2004.", "0x9-17-2004", "２００４-09-17", "12-31-0099", "0099-12-31", "01-01-0000"})
        EXPECT_EQ(ParseBreakDate(text), std::nullopt) << '"' << text << '"';
}

}  // namespace
}  // namespace jw
