// Merges that end in an error: refused before anything is written, or
// failing while they write.  The message names the file, record or field;
// no output folder appears, the working folder keeps only what others put
// there; the inputs are unchanged.
#include <algorithm>

#include "EngineTest.h"
#include "engine/MergeJob.h"
#include "formats/Notices.h"
#include "time/DateTimeTools.h"

namespace jw {
namespace {

using namespace enginetest;
using Fixture = MergeFixture;
using Req = MergeRequest;
using Sets = std::function<void(SetDescription& backup, SetDescription& existing)>;
using After = std::function<void(Fixture& f, Req& r)>;

struct FailureCase {
    Sets sets;    // shapes the sets before they are built
    After after;  // then changes files or the request
    std::vector<std::string> parts;
    ErrorKind kind = ErrorKind::Refused;
    std::function<void(const fs::path& working)> plant = {};  // between planning and writing
    int breakAt = -1;                 // >= 0: the copy that breaks
    std::set<std::string> left = {};  // the working folder afterwards (empty: gone)
};

// Recorded names of taken records; files below the fixture's folder.
Sets NameE(std::string n) { return [=](SetDescription&, SetDescription& e) { e.Files[0].RecordedName = n; }; }
Sets NameB(std::size_t i, std::string n) { return [=](SetDescription& b, SetDescription&) { b.Files[i].RecordedName = n; }; }
After Cut(std::string file, std::size_t n) { return [=](Fixture& f, Req&) { fs::resize_file(f.tmp / file, n); }; }
After Poke16(std::string file, int v) { return [=](Fixture& f, Req&) { Poke(f.tmp / file, 138, v, 2); }; }
After Asked(int n) { return [=](Fixture&, Req& r) { r.NumberOfFiles = static_cast<std::int16_t>(n); }; }
Sets Versions(int b, int e) { return [=](SetDescription& bs, SetDescription& es) { bs = SetOf(b, "C:\\B", {At(b, 1)}), es = SetOf(e, "C:\\E", {At(e, 20)}); }; }
const ErrorKind kIO = ErrorKind::InputOutput, kRefused = ErrorKind::Refused;
const std::string kNoMaster = "No master file TREND.HST was written";

// Backup 09-01 and 09-02, existing 09-20; break date 09-10-2004, four files.
const FailureCase kCases[] = {
    // The request: a date that is none, no files asked for.
    {{}, [](Fixture&, Req& r) { r.BrakeDate = "02-30-2004"; }, {"\"02-30-2004\"", "month-day-year"}},
    {{}, Asked(0), {"at least 1"}},
    // Recorded names of taken records: no folder, no ".", four characters
    // after it, no file name, ".", "..", "/", a control character, a new
    // Name past its 144-byte field, a file name past 255 bytes, a missing
    // data file (how data files are found is the trend-set reader's, tested
    // with it), a data file cut inside its header or of no known version, a
    // record naming its own master.
    {NameE("TREND.000"), {}, {"existing master", "record 0", "\"TREND.000\"", "no folder part"}},
    {NameE("C:\\E\\TREND000"), {}, {"record 0", "no \".\""}},
    {NameE("C:\\E\\TREND.1000"), {}, {"record 0", "more than three characters", "\"TREND.100\""}},
    {NameB(1, "C:\\B\\"), {}, {"backup master", "record 1", "no file name"}},
    {NameB(0, "C:\\B\\."), {}, {"backup master", "record 0", "\".\""}},
    {NameB(0, "C:\\B\\.."), {}, {"record 0", "\"..\""}},
    {NameE("C:\\E\\..\\../x/TREND.000"), {}, {"record 0", "contains \"/\""}},
    {NameE("C:\\E\\TR\x01ND.000"), {}, {"record 0", "control character", "\\x01"}},
    // Names a Windows folder cannot hold, on every host: the merged set goes back to one.
    {NameE("C:\\E\\con.000"), {}, {"record 0", "Windows device name \"con\""}},
    {{}, [](Fixture& f, Req& r) { fs::rename(r.BackupFile, f.backupDir / "Lpt7.HST"), r.BackupFile = (f.backupDir / "Lpt7.HST").string(); },
     {"merged master file \"Lpt7.HST\"", "Windows device name \"Lpt7\""}},
    {[](SetDescription& b, SetDescription& e) { Versions(5, 5)(b, e), NameE("C:\\" + std::string(137, 'd') + "\\T.1")(b, e); }, {}, {"does not fit", "144 bytes"}},
    {NameE("C:\\E\\" + std::string(253, 'x') + ".1"), {}, {"record 0", "257 bytes long", "at most 255"}},
    // The validity rule (its faults: tests/formats/validity_test.cpp) applied by the
    // planner: a data file given as either master, a fault of a taken data file.
    {{}, [](Fixture& f, Req& r) { r.ExistingFile = f.existing.DataFiles[0]; },
     {"existing master", "TREND.000: this is a data file", "choose the master", "TREND.HST instead"}},
    {{}, [](Fixture& f, Req& r) { r.BackupFile = f.backup.DataFiles[1]; }, {"backup master", "backup", "TREND.HST instead"}},
    {{}, Poke16("backup/TREND.001", 9), {"backup master", "record 1", "its version is 9"}},
    {NameE("C:\\E\\TREND.HST"), {}, {"existing master", "record 0", "is the existing master itself"}},
    // A sparse data file longer than the free space.
    {{}, [](Fixture& f, Req&) { fs::resize_file(f.existing.DataFiles[0], fs::space(f.tmp).available + (1ULL << 30)); },
     {"bytes free, the merged set needs"}},
    // Masters cut short or with overflowing counts (each fault of a master
    // is the trend-set reader's, tested with it), more to take than asked
    // for, nothing to name template copies after.
    {{}, Cut("backup/TREND.HST", 176 + 448 + 10), {"backup master", "truncated", "nFiles is 2", "only 1"}},
    {{}, Cut("backup/TREND.HST", 100), {"backup master"}, ErrorKind::InvalidData},
    {[](SetDescription&, SetDescription& e) { e.AddOn = 32767, e.nFiles = 1; }, {}, {"existing master", "(32767 + 1) overflows"}, ErrorKind::Overflow},
    {[](SetDescription&, SetDescription& e) { e = SetOf(6, "C:\\E", {At(6, 20), At(6, 21), At(6, 22), At(6, 23), At(6, 24)}); }, Asked(5),
     {"the break date 2004-09-10 (typed \"09-10-2004\")", "needs 7 data files", "5 from the existing set", "2 from the backup set", "but 5 were asked for"}},
    {[](SetDescription& b, SetDescription&) { b = SetOf(6, "C:\\B", {At(6, 30)}); }, [](Fixture&, Req& r) { r.BrakeDate = "09-25-2004"; },
     {"the break date 2004-09-25 (typed \"09-25-2004\")", "nothing to name", "4 template copies"}},
    // Versions: masters that differ, outside 0 to 6; a template of another
    // version, of none, too short, named like a master, being the master.
    {Versions(2, 3), {}, {"different trend versions", "2", "3"}},
    {{}, [](Fixture& f, Req&) { trendset::BuildEmptyDataFile(f.emptyFile, SetOf(4, "", {})); }, {"empty data file", "Version is 4"}},
    {{}, Poke16("empty/EMPTY.000", 9), {"empty data file", "not a valid trend data file"}},
    {{}, [](Fixture& f, Req& r) { fs::create_hard_link(f.existing.Master, r.EmptyDataFile += ".0"); }, {"the existing master itself"}},
    // While writing: a file put where a copy or the master must go, a copy
    // fault at the template copy: every file the merge made goes again, what
    // others put there stays.  (A write that the system fails half-way,
    // under a file size limit, is run end to end through joinwright-cli.)
    {{}, {}, {"copying file 002", "already exists", "TREND.002", kNoMaster}, kIO, [](const fs::path& w) { WriteAll(w / "TREND.002", "x"); },
     -1, {"TREND.002"}},
    {{}, {}, {"giving the master file TREND.HST its name", "already exists", kNoMaster}, kIO, [](const fs::path& w) { WriteAll(w / "TREND.HST", "m"); },
     -1, {"TREND.HST"}},
    {{}, {}, {"copying file 003 (template copy)", "injected fault", kNoMaster}, kIO, {}, 3, {}},
};

class Failures : public MergeFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Failures, EndInAnError) {
    const FailureCase& c = GetParam();
    SetDescription b = SetOf(6, "C:\\B", {At(6, 1), At(6, 2)}), e = SetOf(6, "C:\\E", {At(6, 20)});
    if (c.sets) c.sets(b, e);
    Make(b, e);
    MergeRequest r = Request("09-10-2004", 4);
    // A row whose input this system cannot make (a symbolic link without
    // link support, a name Windows cannot hold, two names that differ only
    // in letter case on a file system that does not tell them apart) has
    // nothing to test here.
    try {
        if (c.after) c.after(*this, r);
    } catch (const fs::filesystem_error& e) {
        GTEST_SKIP() << "this system cannot make the row's input: " << e.what();
    }
    // The template is checked without the invalid-file notice.
    std::vector<std::string> notices, parts = c.parts;
    ScopedNoticeSink sink([&](std::string_view text, NoticeMark) { notices.emplace_back(text); });
    const InputsGuard guard{*this};
    const fs::path working = tmp / WorkingFolderName("out");
    JobOptions options;
    options.Write.BeforeStep = [&](WriteStep step, const PlanEntry* e) {
        if (step == WriteStep::Stage && c.plant) c.plant(working);
        if (step == WriteStep::Copy && e->Number == c.breakAt) Fail(ErrorKind::InputOutput, "injected fault");
    };
    ErrorKind kind{};
    const std::string said = ErrorOf([&] { RunMergeJob(r, options); }, &kind);
    // Only a refusal that depends on the break date names it, as it was read.
    const bool dated = std::any_of(parts.begin(), parts.end(), [](const std::string& p) { return p.find("(typed") != std::string::npos; });
    EXPECT_EQ(said.find("the break date") != std::string::npos, dated) << said;
    ExpectHas(said, parts);
    EXPECT_EQ(kind, c.kind) << said;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(fs::exists(working) ? FolderNames(working) : std::set<std::string>{}, c.left);
    EXPECT_EQ(notices, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Merge, Failures, ::testing::ValuesIn(kCases));

}  // namespace
}  // namespace jw
