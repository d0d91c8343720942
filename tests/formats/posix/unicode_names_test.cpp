// Data files whose recorded Names hold Windows-1252 letters, found in a
// POSIX folder: by the characters the bytes stand for (a set copied from
// Windows), else by the recorded bytes themselves (a set copied without
// converting its names), in any ASCII letter case, never by guessing among
// several.
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

struct Row {
    const char* name;
    std::vector<std::string> files;  // names on disk, as bytes
    std::string found;               // the file taken; empty: none
    std::string why;                 // else what the reason says
};

const Row kRows[] = {
    {"characters", {kUtf8}, kUtf8, ""},
    {"recorded_bytes", {kRecorded}, kRecorded, ""},
    {"characters_before_bytes", {kRecorded, kUtf8}, kUtf8, ""},
    {"several_in_ascii_case", {"\xC3\x9C" "berdruck.000", "\xC3\x9C" "BERdruck.000"}, "", "\"" + kUtf8 + "\" matches several files"},
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
