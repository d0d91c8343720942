// Data files whose recorded Names hold Windows-1252 letters, found in a
// POSIX folder: by the characters the bytes stand for (a set copied from
// Windows), else by the recorded bytes themselves (a set copied without
// converting its names).  Letter case and several matches: trendset_test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/TrendSet.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

const std::string kRecorded = "\xDC" "BERDRUCK.000";  // "ÜBERDRUCK.000" in Windows-1252
const std::string kUtf8 = "\xC3\x9C" "BERDRUCK.000";  // the same in UTF-8

// The names on disk (as bytes), the file taken (empty: none) and else what the reason says.
struct Row { const char* name; std::vector<std::string> files; std::string found, why; };

const Row kRows[] = {
    {"characters", {kUtf8}, kUtf8, ""},
    {"recorded_bytes", {kRecorded}, kRecorded, ""},
    {"characters_before_bytes", {kRecorded, kUtf8}, kUtf8, ""},
};

class UnicodeNames : public ::testing::TestWithParam<Row> {};

TEST_P(UnicodeNames, FindsTheFileTheRecordMeans) {
    const Row& row = GetParam();
    const jw::testsupport::TempFolder folder;
    for (const auto& f : row.files) jw::testsupport::WriteFile(folder.path / f, f);
    std::string why;
    const auto found = jw::FolderIndex(folder.path).Find(kRecorded, &why);
    EXPECT_EQ(found ? found->filename().native() : "", row.found) << why;
    EXPECT_NE(why.find(row.why), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(Rows, UnicodeNames, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
