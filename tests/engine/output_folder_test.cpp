// The output folder: its name from the time of day and the regional date
// separator, and its life (never reused, removed again only while empty).
#include "EngineTest.h"
#include "engine/OutputFolder.h"
#include "os/Text.h"

namespace jw::enginetest {

TEST(OutputFolderName, TimeOfDayWithTheRegionalSeparator) {
    // Short date format, the separator it gives.
    const std::pair<const char*, const char*> rows[] = {
        {"yyyy-MM-dd", "-"}, {"dd.MM.yyyy", "."}, {"M/d/yy", "-"}, {"d MMM yyyy", "-"}, {"dd\\MM\\yyyy", "-"},
        {"dd:MM:yyyy", "-"}, {"yyyyMMdd", "-"}, {"", "-"}, {"yyyy.MM-dd", "."}, {"dd|MM", "-"}, {"dd\tMM", "-"},
        {"d\xC3\xA5M,y", ","}, {"yyyy\xE5\xB9\xB4M\xE6\x9C\x88", "-"}, {"dd'MM", "'"}, {"dd*MM", "-"},
    };
    for (const auto& [format, separator] : rows) EXPECT_EQ(FolderSeparatorFor(format), separator) << format;
    EXPECT_EQ(FolderTimeStamp({9, 5, 7}, "."), "09.05.07");
    EXPECT_EQ(FolderTimeStamp({0, 0, 0}, "-"), "00-00-00");
    EXPECT_EQ(FolderTimeStamp({23, 59, 60}, "-"), "23-59-60");
    EXPECT_EQ(OutputFolderName(FolderTimeStamp({14, 35, 22}, "-")), "Merged trenddata 14-35-22");
    for (const ClockTime bad : {ClockTime{-1, 0, 0}, ClockTime{0, 100, 0}, ClockTime{0, 0, -5}})
        EXPECT_NE(ErrorOf([&] { FolderTimeStamp(bad, "-"); }), "");
    const ClockTime now = LocalTimeOfDay();
    EXPECT_TRUE(now.Hour >= 0 && now.Hour <= 23 && now.Minute >= 0 && now.Minute <= 59 && now.Second >= 0 &&
                now.Second <= 60);
}

TEST(OutputFolderName, Utf8PathsRoundTrip) {
    for (const char* text : {"plain", "Sm\xC3\xA5 filer", "\xE6\x97\xA5\xE6\x9C\xAC/x"})
        EXPECT_EQ(os::PathText(os::PathFromUtf8(text)), text);
}

struct OutputFolderLife : Folder {};

TEST_F(OutputFolderLife, MadeFreshNeverReusedRemovedOnlyWhileEmpty) {
    const fs::path folder = tmp / "Merged trenddata 14-35-22";
    MakeOutputFolder(folder);
    EXPECT_TRUE(fs::is_directory(folder));
    ErrorKind kind{};
    ExpectHas(ErrorOf([&] { MakeOutputFolder(folder); }, &kind), {"already exists"});
    EXPECT_EQ(kind, ErrorKind::Refused);

    // Whatever stands at the name is refused, even a dangling link; the
    // parent must be a folder that exists; the name one Windows can hold.
    // (A system that makes no symbolic links skips the rows of the link.)
    WriteAll(tmp / "file", "x");
    std::error_code noLinks;
    fs::create_symlink(tmp / "nowhere", tmp / "link", noLinks);
    std::vector<std::pair<fs::path, const char*>> refused = {
        {tmp / "file", "already exists"}, {tmp / "missing" / "out", "does not exist"},
        {tmp / "file" / "out", "is not a folder"}, {tmp / "out2 ", "ends in a blank"}};
    if (!noLinks) refused.emplace_back(tmp / "link", "already exists");
    for (const auto& [path, says] : refused) {
        ExpectHas(ErrorOf([&] { CheckOutputFolderCanBeMade(path); }, &kind), {says});
        EXPECT_EQ(kind, ErrorKind::Refused);
    }
    EXPECT_EQ(ErrorOf([&] { CheckOutputFolderCanBeMade(tmp / "new"); }), "");
    EXPECT_FALSE(fs::exists(tmp / "new"));

    // Removal: only an empty folder; a folder holding anything, a file or a
    // link stays; a name that is gone counts as removed.
    WriteAll(folder / "TREND.000", "data");
    EXPECT_FALSE(RemoveOutputFolderIfEmpty(folder));
    EXPECT_EQ(ReadAll(folder / "TREND.000"), "data");
    EXPECT_FALSE(RemoveOutputFolderIfEmpty(tmp / "file"));
    EXPECT_TRUE(fs::exists(tmp / "file"));
    if (!noLinks) {
        EXPECT_FALSE(RemoveOutputFolderIfEmpty(tmp / "link"));
        EXPECT_TRUE(fs::is_symlink(tmp / "link"));
    }
    fs::remove(folder / "TREND.000");
    EXPECT_TRUE(RemoveOutputFolderIfEmpty(folder));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(RemoveOutputFolderIfEmpty(folder));
}

}  // namespace jw::enginetest
