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
    Bytes b = With(With(With(Bytes(176, 0), 138, static_cast<std::uint16_t>(version), 2), 150,
                        static_cast<std::uint16_t>(nFiles), 2),
                   154, static_cast<std::uint16_t>(addOn), 2);
    for (std::size_t i = 0; i < held; ++i) {
        Bytes r(kRecord, 0);
        const std::string name = "C:\\D\\T.00" + std::to_string(i);
        std::copy(name.begin(), name.end(), r.begin());
        b.insert(b.end(), r.begin(), r.end());
    }
    b.resize(b.size() + extra, 0);
    return b;
}

struct CountCase {
    const char* name;
    std::int16_t version, nFiles, addOn;
    std::size_t held, extra;
    RecordCount count;
    std::size_t records;
    std::vector<K> faults;
    const char* text;  // in the first fault's text
};

const CountCase kCounts[] = {
    {"nfiles_only", 5, 3, 0, 3, 0, RecordCount::WithAddOn, 3, {}, ""},
    {"more_records_than_counted", 5, 2, 0, 4, 0, RecordCount::WithAddOn, 2, {}, ""},
    {"nfiles_zero", 5, 0, 0, 2, 0, RecordCount::WithAddOn, 0, {}, ""},
    {"addon_records_present", 5, 3, 2, 5, 0, RecordCount::WithAddOn, 5, {}, ""},
    {"addon_not_counted_for_a_backup", 5, 3, 2, 5, 0, RecordCount::NFilesOnly, 3, {}, ""},
    {"addon_past_the_end", 5, 3, 2, 4, 0, RecordCount::WithAddOn, 4, {K::AddOnPastEnd}, "holds only 1 of them"},
    {"addon_cut_inside", 5, 3, 2, 4, 100, RecordCount::WithAddOn, 4, {K::AddOnPastEnd}, "ends 100 bytes into record 4"},
    {"truncated", 5, 3, 0, 2, 100, RecordCount::WithAddOn, 2, {K::Truncated},
     "nFiles is 3 but its 852 bytes hold only 2 whole records of 288 bytes (1040 bytes needed); it ends 100 bytes"},
    {"truncated_with_addon", 5, 3, 1, 2, 0, RecordCount::WithAddOn, 2, {K::Truncated}, "truncated"},
    {"truncated_backup", 5, 3, 1, 2, 0, RecordCount::NFilesOnly, 2, {K::Truncated}, "truncated"},
    {"negative_nfiles", 5, -1, 1, 2, 0, RecordCount::WithAddOn, 1, {K::NegativeNFiles}, "nFiles is negative (-1)"},
    {"negative_addon", 5, 2, -1, 2, 0, RecordCount::WithAddOn, 2, {K::NegativeAddOn}, "AddOn is negative (-1)"},
    {"negative_addon_of_a_backup", 5, 2, -1, 2, 0, RecordCount::NFilesOnly, 2, {K::NegativeAddOn}, "AddOn"},
    {"count_overflows", 5, 32767, 1, 1, 0, RecordCount::WithAddOn, 1, {K::CountOverflow, K::Truncated},
     "AddOn + nFiles (1 + 32767) overflows"},
    {"no_overflow_without_addon", 5, 32767, 1, 1, 0, RecordCount::NFilesOnly, 1, {K::Truncated}, "32767"},
    {"version_without_layout", 7, 3, 0, 3, 0, RecordCount::WithAddOn, 0, {K::NoLayout}, "Version 7"},
    {"negative_version", -1, 3, 0, 3, 0, RecordCount::WithAddOn, 0, {K::NoLayout}, "Version -1"},
};

class Counting : public FilesTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(Counting, RecordsAndFaults) {
    const CountCase& c = GetParam();
    const fs::path master = Put("T.HST", {Master(c.version, c.nFiles, c.addOn, c.held, c.extra)});
    const Bytes before = Contents(master);
    const TrendSet set = ReadTrendSet(master, c.count);
    ASSERT_EQ(set.Records.size(), c.records);
    std::vector<K> kinds;
    for (const auto& f : set.Faults) kinds.push_back(f.What);
    EXPECT_EQ(kinds, c.faults);
    if (!set.Faults.empty()) {
        EXPECT_NE(set.Faults[0].Text.find(c.text), std::string::npos) << set.Faults[0].Text;
    }
    // Only AddOn entries past the end leave a set that can still be merged.
    const bool mergeable = c.faults.empty() || c.faults == std::vector<K>{K::AddOnPastEnd};
    EXPECT_EQ(set.Refusal() == nullptr, mergeable);
    for (std::size_t i = 0; i < set.Records.size(); ++i) {
        EXPECT_EQ(set.Records[i].Name, "C:\\D\\T.00" + std::to_string(i));
        EXPECT_EQ(set.Records[i].Index, static_cast<int>(i));
    }
    EXPECT_EQ(Contents(master), before) << "the master is only read";
}

INSTANTIATE_TEST_SUITE_P(Masters, Counting, ::testing::ValuesIn(kCounts),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Finding data files --------------------------------------------------------

enum class Entry { File, Folder, LinkToFile };

struct FindCase {
    const char* name;
    std::vector<std::pair<std::string, Entry>> entries;  // beside the master
    std::string recorded;                                 // the record's Name field
    const char* found;                                    // the file found, or empty
    const char* problem;                                  // in the problem text when none is found
};

const FindCase kFinds[] = {
    {"exact", {{"T.000", Entry::File}}, "C:\\D\\T.000", "T.000", ""},
    {"other_case", {{"t.000", Entry::File}}, "C:\\D\\T.000", "t.000", ""},
    {"exact_before_a_case_twin", {{"t.000", Entry::File}, {"T.000", Entry::File}}, "C:\\D\\T.000", "T.000", ""},
    {"ambiguous", {{"ab.000", Entry::File}, {"AB.000", Entry::File}}, "C:\\D\\Ab.000", "", "matches several files"},
    {"four_digit_number_not_cut", {{"T.100", Entry::File}, {"t.1000", Entry::File}}, "C:\\D\\T.1000", "t.1000", ""},
    {"nul_padded_with_blanks", {{"T.000", Entry::File}}, std::string("C:\\D\\T.000  \0\0junk", 19), "T.000", ""},
    {"no_folder_in_the_name", {{"T.000", Entry::File}}, "T.000", "T.000", ""},
    {"missing", {{"T.001", Entry::File}}, "C:\\D\\T.000", "", "T.000 does not exist"},
    {"a_folder", {{"T.000", Entry::Folder}}, "C:\\D\\T.000", "", "is not a regular file"},
    {"a_link", {{"T.000", Entry::LinkToFile}}, "C:\\D\\T.000", "", "is a symbolic link"},
    {"a_link_in_other_case", {{"t.000", Entry::LinkToFile}}, "C:\\D\\T.000", "", "is a symbolic link"},
    {"no_file_name", {{"T.000", Entry::File}}, "C:\\D\\", "", "names no data file"},
    {"parent_folder", {{"T.000", Entry::File}}, "C:\\D\\..", "", "names no data file"},
    {"a_way_out", {{"T.000", Entry::File}}, "C:\\D\\x/../T.000", "", "contains \"/\""},
    {"control_character", {{"T.000", Entry::File}}, "C:\\D\\T.0\x01" "0", "", "control character"},
};

class Finding : public FilesTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(Finding, OneRuleForEveryReader) {
    const FindCase& c = GetParam();
    Bytes master = Master(5, 1, 0, 1, 0);
    std::fill(master.begin() + 176, master.begin() + 176 + 144, std::uint8_t{0});
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
    if (*c.found) {
        ASSERT_TRUE(r.DataFile.has_value()) << r.DataFileProblem;
        EXPECT_EQ(r.DataFile->filename(), c.found);
        EXPECT_EQ(r.DataFile->parent_path(), dir_);
    } else {
        EXPECT_FALSE(r.DataFile.has_value()) << *r.DataFile;
        EXPECT_NE(r.DataFileProblem.find(c.problem), std::string::npos) << r.DataFileProblem;
    }
}

INSTANTIATE_TEST_SUITE_P(DataFiles, Finding, ::testing::ValuesIn(kFinds),
                         [](const auto& info) { return std::string(info.param.name); });

struct NameCase {
    std::string_view field, recorded, file;
};

TEST(Names, RecordedNameAndItsFileName) {
    const NameCase cases[] = {
        {std::string_view("C:\\D\\T.000\0\0\0", 13), "C:\\D\\T.000", "T.000"},
        {"C:\\D\\T.000   ", "C:\\D\\T.000", "T.000"},
        {std::string_view("A.1 \0B ", 7), "A.1", "A.1"},
        {"C:\\D\\", "C:\\D\\", ""},
        {"", "", ""},
        {std::string_view("\0C:\\D\\T.000", 11), "", ""},
        {" lead ", " lead", " lead"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordedName(c.field), c.recorded);
        EXPECT_EQ(RecordedFileName(RecordedName(c.field)), c.file);
    }
    EXPECT_TRUE(IsMasterFileName("T.hSt") && !IsMasterFileName("T.HS") && !IsMasterFileName("T.000"));
    EXPECT_TRUE(TrendOfMasterName("T.hst") == "T" && !TrendOfMasterName(".HST") && !TrendOfMasterName("THST"));
    EXPECT_TRUE(EqualsNoCase("Trend.0a", "tREND.0A") && !EqualsNoCase("T\xC4", "T\xE4") && !EqualsNoCase("ab", "abc"));
    EXPECT_EQ(FoldCase("AbZ@[\xC4"), "abz@[\xC4");
}

}  // namespace
}  // namespace jw::test
