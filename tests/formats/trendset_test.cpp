// Reading a trend set: how many records of a master count (nFiles, AddOn,
// a file that holds fewer or more) and how each record's data file is found
// beside the master.  Masters are written byte by byte here (version 5:
// 288-byte records, Name in the first 144 bytes), not with the readers' code.
#include <string>
#include <vector>

#include "FormatsTest.h"
#include "formats/TrendSet.h"
#include "formats/Validity.h"

namespace jw::test {
namespace {

using K = SetFault::Kind;
constexpr std::size_t kRecord = 288;

// A version-5 master announcing nFiles and AddOn, holding `held` whole
// records named "C:\D\T.00i" and `extra` bytes of one more.
Bytes Master(std::int16_t version, std::int16_t nFiles, std::int16_t addOn, std::size_t held, std::size_t extra) {
    Bytes b = With(With(With(Bytes(176 + held * kRecord + extra, 0), 138, static_cast<std::uint16_t>(version), 2), 150,
                        static_cast<std::uint16_t>(nFiles), 2),
                   154, static_cast<std::uint16_t>(addOn), 2);
    for (std::size_t i = 0; i < held; ++i) {
        const std::string name = "C:\\D\\T.00" + std::to_string(i);
        std::copy(name.begin(), name.end(), b.begin() + static_cast<std::ptrdiff_t>(176 + i * kRecord));
    }
    return b;
}

// `text` is in the first fault's text.
struct CountCase { const char* name; std::int16_t version, nFiles, addOn; std::size_t held, extra; RecordCount count; std::size_t records;
                   std::vector<K> faults; const char* text; };

const CountCase kCounts[] = {
    {"nfiles_only", 5, 3, 0, 3, 0, RecordCount::WithAddOn, 3, {}, ""},
    {"more_records_than_counted", 5, 2, 0, 4, 0, RecordCount::WithAddOn, 2, {}, ""},
    {"addon_records_present", 5, 3, 2, 5, 0, RecordCount::WithAddOn, 5, {}, ""},
    {"addon_not_counted_for_a_backup", 5, 3, 2, 5, 0, RecordCount::NFilesOnly, 3, {}, ""},
    {"addon_past_the_end", 5, 3, 2, 4, 0, RecordCount::WithAddOn, 4, {K::AddOnPastEnd}, "holds only 1 of them"},
    {"truncated", 5, 3, 0, 2, 100, RecordCount::WithAddOn, 2, {K::Truncated},
     "nFiles is 3 but its 852 bytes hold only 2 whole records of 288 bytes (1040 bytes needed); it ends 100 bytes"},
    {"negative_nfiles", 5, -1, 1, 2, 0, RecordCount::WithAddOn, 1, {K::NegativeNFiles}, "nFiles is negative (-1)"},
    {"negative_addon", 5, 2, -1, 2, 0, RecordCount::WithAddOn, 2, {K::NegativeAddOn}, "AddOn is negative (-1)"},
    {"count_overflows", 5, 32767, 1, 1, 0, RecordCount::WithAddOn, 1, {K::CountOverflow, K::Truncated},
     "AddOn + nFiles (1 + 32767) overflows"},
    {"version_without_layout", 7, 3, 0, 3, 0, RecordCount::WithAddOn, 0, {K::NoLayout}, "Version 7"},
};

class Counting : public FilesTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(Counting, RecordsAndFaults) {
    const CountCase& c = GetParam();
    const fs::path master = Put("T.HST", {Master(c.version, c.nFiles, c.addOn, c.held, c.extra)});
    const TrendSet set = ReadTrendSet(master, c.count);
    ASSERT_EQ(set.Records.size(), c.records);
    std::vector<K> kinds;
    for (const auto& f : set.Faults) kinds.push_back(f.What);
    EXPECT_EQ(kinds, c.faults);
    EXPECT_TRUE(set.Faults.empty() || set.Faults[0].Text.find(c.text) != std::string::npos) << set.Faults[0].Text;
    // Only AddOn entries past the end leave a set that can still be merged.
    const bool mergeable = c.faults.empty() || c.faults == std::vector<K>{K::AddOnPastEnd};
    EXPECT_EQ(set.Refusal() == nullptr, mergeable);
    for (std::size_t i = 0; i < set.Records.size(); ++i) EXPECT_EQ(set.Records[i].Name, "C:\\D\\T.00" + std::to_string(i));
}

INSTANTIATE_TEST_SUITE_P(Masters, Counting, ::testing::ValuesIn(kCounts),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Finding data files --------------------------------------------------------

enum class Entry { File, Folder, LinkToFile };

// The entries beside the master, the record's Name field, the file found (or empty) and else what the problem says.
struct FindCase { const char* name; std::vector<std::pair<std::string, Entry>> entries; std::string recorded; const char* found, *problem; };

const FindCase kFinds[] = {
    {"other_case", {{"t.000", Entry::File}}, "C:\\D\\T.000", "t.000", ""},
    {"exact_before_a_case_twin", {{"t.000", Entry::File}, {"T.000", Entry::File}}, "C:\\D\\T.000", "T.000", ""},
    {"ambiguous", {{"ab.000", Entry::File}, {"AB.000", Entry::File}}, "C:\\D\\Ab.000", "", "matches several files"},
    {"four_digit_number_not_cut", {{"T.100", Entry::File}, {"t.1000", Entry::File}}, "C:\\D\\T.1000", "t.1000", ""},
    {"nul_padded_with_blanks", {{"T.000", Entry::File}}, std::string("C:\\D\\T.000  \0\0junk", 19), "T.000", ""},
    {"nul_first", {{"T.000", Entry::File}}, std::string("\0C:\\D\\T.000", 11), "", "names no data file"},
    {"missing", {{"T.001", Entry::File}}, "C:\\D\\T.000", "", "T.000 does not exist"},
    {"a_folder", {{"T.000", Entry::Folder}}, "C:\\D\\T.000", "", "is not a regular file"},
    {"a_link", {{"T.000", Entry::LinkToFile}}, "C:\\D\\T.000", "", "is a symbolic link"},
    {"a_way_out", {{"T.000", Entry::File}}, "C:\\D\\x/../T.000", "", "contains \"/\""},
};

class Finding : public FilesTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(Finding, OneRuleForEveryReader) {
    const FindCase& c = GetParam();
    Bytes master = Master(5, 1, 0, 0, kRecord);  // one record, all zero
    std::copy(c.recorded.begin(), c.recorded.end(), master.begin() + 176);
    const fs::path path = Put("T.HST", {master});
    Put("target.bin", {Bytes(10, 1)});
    // A row this system cannot lay out (two names that differ only in letter
    // case on a file system that does not tell them apart, a link where
    // links cannot be made) has nothing to test here.
    for (const auto& [name, kind] : c.entries) {
        if (fs::exists(dir_ / name)) GTEST_SKIP() << "this file system does not tell names apart by letter case";
        std::error_code noLink;
        if (kind == Entry::File) Put(name, {Bytes(10, 2)});
        if (kind == Entry::Folder) fs::create_directory(dir_ / name);
        if (kind == Entry::LinkToFile) fs::create_symlink("target.bin", dir_ / name, noLink);
        if (noLink) GTEST_SKIP() << "this system makes no symbolic links: " << noLink.message();
    }
    const TrendSet set = ReadTrendSet(path);
    ASSERT_EQ(set.Records.size(), 1U);
    const SetRecord& r = set.Records[0];
    EXPECT_EQ(r.DataFile ? r.DataFile->lexically_relative(dir_).string() : "", c.found) << r.DataFileProblem;
    EXPECT_NE(r.DataFileProblem.find(c.problem), std::string::npos) << r.DataFileProblem;
}

INSTANTIATE_TEST_SUITE_P(DataFiles, Finding, ::testing::ValuesIn(kFinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jw::test
