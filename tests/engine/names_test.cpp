#include <gtest/gtest.h>

#include "engine/TrendTools.h"
#include "time/Errors.h"

namespace jw {
namespace {

struct PathCase {
    std::string path;
    std::string fileName, baseName, folder;  // folder "!" : FolderPart fails
};

TEST(NamesTest, RecordedPathsAreCutAtBackslash) {
    const PathCase cases[] = {
        {"C:\\Data\\TREND.000", "TREND.000", "TREND.", "C:\\Data"},
        {"C:\\Data\\TREND.000      ", "TREND.000", "TREND.", "C:\\Data"},  // fill cut three after "."
        {"C:\\Data\\TREND.ABCD", "TREND.ABC", "TREND.", "C:\\Data"},
        {"C:\\A\\B\\", "", "", "C:\\A"},                                   // final "\" skipped
        {"C:\\TREND.000", "TREND.000", "TREND.", "C:"},                    // below the drive
        {"C:\\Data\\TREND", "TRE", "", "C:\\Data"},                        // no ".": first three
        {"C:\\Data.v1\\TREND", "TRE", "", "C:\\Data.v1"},                  // "." of the folder does not count
        {"C:\\Data\\a.b.c", "a.b.c", "a.b.", "C:\\Data"},
        {"TREND.000", "TREND.000", "TREND.", "!"},
        {"\\TREND.000", "TREND.000", "TREND.", ""},
        {"\\", "", "", "!"},
        {"x", "x", "", "!"},
        {"", "", "", "!"},
        {"C:/Data/TREND.000", "C:/Data/TREND.000", "C:/Data/TREND.", "!"},  // "/" is no separator here
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileNamePart(c.path), c.fileName);
        EXPECT_EQ(BaseNamePart(c.path), c.baseName);
        if (c.folder == "!") {
            try {
                FolderPart(c.path);
                ADD_FAILURE() << "FolderPart did not fail";
            } catch (const Error& e) {
                EXPECT_EQ(e.kind(), ErrorKind::InvalidArgument);
            }
        } else {
            EXPECT_EQ(FolderPart(c.path), c.folder);
        }
    }
}

TEST(NamesTest, NumberTexts) {
    const std::pair<std::int16_t, std::string> cases[] = {
        {0, "000"}, {9, "009"}, {10, "010"}, {99, "099"}, {100, "100"}, {999, "999"}, {1000, "1000"}, {32767, "32767"}};
    for (const auto& [n, text] : cases) EXPECT_EQ(NumberText(n), text) << n;
    EXPECT_THROW(NumberText(-1), Error);
}

TEST(NamesTest, RecordedNameEndsAtFirstNulAndDropsTrailingBlanks) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Data\\TREND.000"s + std::string(127, ' '), "C:\\Data\\TREND.000"},
        {"C:\\Data\\TREND.000\0.x\\"s, "C:\\Data\\TREND.000"},  // a stale older name after the NUL
        {"C:\\Data\\TREND.000  \0\0\0"s, "C:\\Data\\TREND.000"},
        {"\0C:\\Data\\TREND.000"s, ""},
        {"  lead kept"s, "  lead kept"},
        {""s, ""},
    };
    for (const auto& [field, want] : cases) EXPECT_EQ(RecordedName(field), want);
}

TEST(NamesTest, NewRecordedNameKeepsFolderAndBase) {
    using namespace std::string_literals;
    EXPECT_EQ(NewRecordedName("C:\\Data\\TREND.000\0.x\\"s, 5), "C:\\Data\\TREND.005");
    EXPECT_EQ(NewRecordedName("C:\\Data\\trend.017   ", 1000), "C:\\Data\\trend.1000");
    EXPECT_EQ(NewRecordedName("\\\\srv\\share\\T.1", 12), "\\\\srv\\share\\T.012");
    EXPECT_THROW(NewRecordedName("TREND.000", 1), Error);
}

}  // namespace
}  // namespace jw
