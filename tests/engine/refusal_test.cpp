// Merges that must be refused before anything is written: bad requests,
// untrusted recorded names, masters that cannot be read, counts that do not
// add up, a template that is not one.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <functional>

#include "MergeFixture.h"
#include "formats/Notices.h"
#include "time/DateTimeTools.h"

namespace jw {
namespace {

using namespace enginetest;
using namespace std::string_literals;
using trendset::DataFileSpec;
using trendset::SetSpec;

// Backup: one file before the break date 09-10-2004; existing: one after.
SetSpec Backup(std::int16_t v = 6) { return SetOf(v, "C:\\B", {At(v, 2004, 9, 1), At(v, 2004, 9, 2)}); }
SetSpec Existing(std::int16_t v = 6) { return SetOf(v, "C:\\E", {At(v, 2004, 9, 20)}); }

struct RefusalCase {
    std::string what;
    std::function<void(SetSpec& backup, SetSpec& existing)> sets;      // shape the sets before they are built
    std::function<void(MergeFixture& f, MergeRequest& r)> afterBuild;  // then change files or the request
    std::vector<std::string> parts;                                    // in the message
    ErrorKind kind = ErrorKind::Refused;
};

class Refusals : public MergeFixture, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, NothingIsWritten) {
    const RefusalCase& c = GetParam();
    SetSpec b = Backup(), e = Existing();
    if (c.sets) c.sets(b, e);
    Make(b, e);
    MergeRequest r = Request("09-10-2004", 4);
    if (c.afterBuild) c.afterBuild(*this, r);
    std::vector<std::string> notices;
    ScopedNoticeSink sink([&](std::string_view text, NoticeMark) { notices.emplace_back(text); });
    // Every refusal shows the break date as it was read.
    std::vector<std::string> parts = c.parts;
    if (const auto d = ParseBreakDate(r.BrakeDate)) parts.push_back(DateTimeTools::FormatDate(*d));
    ExpectRefused(r, parts, c.kind);
    EXPECT_TRUE(notices.empty()) << notices.front();
}

void Name(SetSpec& s, std::size_t i, const std::string& name) { s.Files.at(i).RecordedName = name; }

// Writes int16 v at offset of a file.
void Poke16(const fs::path& p, std::size_t offset, std::int64_t v) { PatchFile(p, offset, LE(v, 2)); }

// Cuts a file to n bytes.
void CutTo(const fs::path& p, std::size_t n) { fs::resize_file(p, n); }

const RefusalCase kCases[] = {
    // The request.
    {"break date not a date", {}, [](MergeFixture&, MergeRequest& r) { r.BrakeDate = "02-30-2004"; },
     {"\"02-30-2004\"", "month-day-year"}},
    {"break date with a time", {}, [](MergeFixture&, MergeRequest& r) { r.BrakeDate = "09-10-2004 12:00"; },
     {"is not a date"}},
    {"no files asked for", {}, [](MergeFixture&, MergeRequest& r) { r.NumberOfFiles = 0; }, {"at least 1", "0"}},
    {"negative files asked for", {}, [](MergeFixture&, MergeRequest& r) { r.NumberOfFiles = -3; }, {"-3"}},
    {"output folder missing", {},
     [](MergeFixture& f, MergeRequest& r) { r.OutputFolder = (f.tmp / "nowhere").string(); }, {"does not exist"}},

    // F1: recorded names of taken records.
    {"name without folder", [](SetSpec&, SetSpec& e) { Name(e, 0, "TREND.000"); }, {},
     {"existing master", "record 0", "\"TREND.000\"", "no folder part"}},
    {"name without dot", [](SetSpec&, SetSpec& e) { Name(e, 0, "C:\\E\\TREND000"); }, {}, {"record 0", "no \".\""}},
    {"four characters after the dot", [](SetSpec&, SetSpec& e) { Name(e, 0, "C:\\E\\TREND.1000"); }, {},
     {"more than three characters", "\"TREND.100\""}},
    {"name ends in a backslash", [](SetSpec& b, SetSpec&) { Name(b, 1, "C:\\B\\"); }, {},
     {"backup master", "record 1", "no file name"}},
    {"file name is a dot", [](SetSpec& b, SetSpec&) { Name(b, 0, "C:\\B\\."); }, {}, {"record 0", "\".\""}},
    {"file name is dot-dot", [](SetSpec& b, SetSpec&) { Name(b, 0, "C:\\B\\.."); }, {}, {"record 0", "\"..\""}},
    {"slash in the file name", [](SetSpec&, SetSpec& e) { Name(e, 0, "C:\\E\\..\\../x/TREND.000"); }, {},
     {"contains \"/\""}},
    {"control character", [](SetSpec&, SetSpec& e) { Name(e, 0, "C:\\E\\TR\x01ND.000"); }, {},
     {"control character", "\\x01"}},
    {"new Name too long for the field",
     // 144-byte field under version 5: the old name fits, the new one with three digits does not.
     [](SetSpec& b, SetSpec& e) {
         b = Backup(5);
         e = Existing(5);
         Name(e, 0, "C:\\" + std::string(137, 'd') + "\\T.1");
     },
     {}, {"does not fit", "144 bytes"}},
    {"target file name too long",
     [](SetSpec&, SetSpec& e) { Name(e, 0, "C:\\E\\" + std::string(253, 'x') + ".1"); }, {},
     {"257 bytes long", "at most 255"}},
    {"ambiguous letter case",
     [](SetSpec&, SetSpec& e) { Name(e, 0, "C:\\E\\trend.000"); },
     [](MergeFixture& f, MergeRequest&) { WriteAll(f.existingDir / "Trend.000", Bytes{1}); },
     {"several files", "\"TREND.000\"", "\"Trend.000\""}},
    {"data file missing", [](SetSpec& b, SetSpec&) { b.Files[1].WriteDataFile = false; }, {},
     {"backup master", "record 1", "TREND.001 does not exist"}},
    {"data file is a folder", [](SetSpec& b, SetSpec&) { b.Files[1].WriteDataFile = false; },
     [](MergeFixture& f, MergeRequest&) { fs::create_directory(f.backupDir / "TREND.001"); }, {"not a regular file"}},
    {"data file is a link", [](SetSpec& b, SetSpec&) { b.Files[1].WriteDataFile = false; },
     [](MergeFixture& f, MergeRequest&) { fs::create_symlink(f.backupDir / "TREND.000", f.backupDir / "TREND.001"); },
     {"symbolic link"}},

    // F3: start times that are no date.
    {"garbage start time", [](SetSpec&, SetSpec& e) { e.Files[0].StartTime = INT64_MAX; }, {},
     {"existing master", "record 0", "(Name \"C:\\E\\TREND.000\")", "start time", "not a date"}},
    {"garbage start time of a backup record", [](SetSpec& b, SetSpec&) { b.Files[1].StartTime = -INT64_MAX; }, {},
     {"backup master", "record 1", "not a date"}},

    // F4: truncated masters, negative counts.
    {"existing master truncated", {},
     [](MergeFixture& f, MergeRequest&) { CutTo(f.existing.Master, 176 + 447); },
     {"existing master", "truncated", "nFiles is 1", "only 0 whole records"}},
    {"backup master truncated", {}, [](MergeFixture& f, MergeRequest&) { CutTo(f.backup.Master, 176 + 448 + 10); },
     {"backup master", "truncated", "nFiles is 2", "only 1"}},
    {"master shorter than its header", {}, [](MergeFixture& f, MergeRequest&) { CutTo(f.backup.Master, 100); },
     {"backup master"}, ErrorKind::InvalidData},
    {"existing master missing", {},
     [](MergeFixture& f, MergeRequest&) { fs::remove(f.existing.Master); },
     {"existing master"}, ErrorKind::FileNotFound},
    {"negative nFiles", [](SetSpec&, SetSpec& e) { e.nFiles = -1; }, {}, {"nFiles is negative"}},
    {"negative AddOn", [](SetSpec& b, SetSpec&) { b.AddOn = -2; }, {}, {"backup master", "AddOn is negative"}},

    // F6: more files than asked for.
    {"more taken than asked", {}, [](MergeFixture&, MergeRequest& r) { r.NumberOfFiles = 2; },
     {"needs 3 data files", "1 from the existing set", "2 from the backup set", "but 2 were asked for",
      "2004-09-10", "\"09-10-2004\""}},
    {"nothing taken but copies needed",
     // The backup set starts after the existing one: neither side of 09-25 has a file.
     [](SetSpec& b, SetSpec&) { b = SetOf(6, "C:\\B", {At(6, 2004, 10, 1)}); },
     [](MergeFixture&, MergeRequest& r) { r.BrakeDate = "09-25-2004"; },
     {"nothing to name", "4 template copies", "2004-09-25"}},

    // F7, F8: versions.
    {"versions differ", [](SetSpec& b, SetSpec& e) { b = Backup(2); e = Existing(3); }, {},
     {"different trend versions", "2", "3"}},
    {"master version 7", {}, [](MergeFixture& f, MergeRequest&) { Poke16(f.existing.Master, 138, 7); },
     {"existing master", "Version 7", "0 to 6"}},
    {"master version -1", {}, [](MergeFixture& f, MergeRequest&) { Poke16(f.backup.Master, 138, -1); },
     {"backup master", "Version -1"}},
    {"template of another version", {},
     [](MergeFixture& f, MergeRequest&) { trendset::BuildEmptyDataFile(f.emptyFile, Backup(4)); },
     {"empty data file", "Version is 4", "backup master's is 6"}},
    {"template not a trend file", {}, [](MergeFixture& f, MergeRequest&) { Poke16(f.emptyFile, 138, 9); },
     {"empty data file", "not a valid trend data file"}},
    {"template too short", {}, [](MergeFixture& f, MergeRequest&) { CutTo(f.emptyFile, 300); },
     {"empty data file", "not a valid trend data file"}},
    {"template is a master by name", {},
     [](MergeFixture& f, MergeRequest& r) {
         fs::copy_file(f.emptyFile, f.emptyDir / "EMPTY.hst");
         r.EmptyDataFile = (f.emptyDir / "EMPTY.hst").string();
     },
     {"ends in \"HST\""}},
    {"template is the existing master", {},
     [](MergeFixture& f, MergeRequest& r) {
         fs::create_hard_link(f.existing.Master, f.emptyDir / "SAME.000");
         r.EmptyDataFile = (f.emptyDir / "SAME.000").string();
     },
     {"the existing master itself"}},
    {"template missing", {}, [](MergeFixture& f, MergeRequest&) { fs::remove(f.emptyFile); },
     {"empty data file", "does not exist"}},

    // Nothing is ever replaced in the output folder.
    {"output master name taken", {},
     [](MergeFixture& f, MergeRequest&) { fs::create_directory(f.out / "TREND.HST"); },
     {"already holds", "TREND.HST"}},
    {"output data file name taken", {},
     [](MergeFixture& f, MergeRequest&) { fs::create_symlink(f.tmp / "elsewhere", f.out / "TREND.002"); },
     {"already holds", "TREND.002"}},
};

INSTANTIATE_TEST_SUITE_P(Merge, Refusals, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) {
                             std::string name;
                             for (const char c : info.param.what) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// A set whose data files need more room than the output folder's file
// system has: a sparse source file of that length costs nothing to make.
using FreeSpaceTest = MergeFixture;

TEST_F(FreeSpaceTest, RefusedWithoutRoomForTheCopies) {
    Make(Backup(), Existing());
    const std::uint64_t free = fs::space(out).available;
    const std::uint64_t length = free + (std::uint64_t{1} << 30);
    const fs::path big = existing.DataFiles.at(0);
    const int fd = ::open(big.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const bool grown = ::ftruncate(fd, static_cast<off_t>(length)) == 0;
    ::close(fd);
    if (!grown) GTEST_SKIP() << "the file system cannot hold a sparse file of " << length << " bytes";
    // Not fingerprinted: reading the sparse file would take long.
    const auto others = Fingerprint({backupDir, emptyFile});
    try {
        MergeTrendSets(Request("09-10-2004", 4));
        ADD_FAILURE() << "not refused";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find("bytes free, the merged set needs"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(FolderNames(out).empty());
    EXPECT_EQ(others, Fingerprint({backupDir, emptyFile}));
    EXPECT_EQ(fs::file_size(big), length);
}

}  // namespace
}  // namespace jw
