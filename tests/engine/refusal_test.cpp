// Merges the planner refuses before anything is written.  The message names
// the file, record or field; no output folder appears; the inputs are
// unchanged.  What makes a file or a field
// valid is the format code's, tested with it; here only that the planner
// applies it.
#include "EngineTest.h"
#include "engine/MergeJob.h"
#include "formats/Notices.h"

namespace jw::enginetest {
namespace {

using Fixture = MergeFixture;
using Req = MergeRequest;
using Sets = std::function<void(SetDescription& backup, SetDescription& existing)>;
using After = std::function<void(Fixture& f, Req& r)>;

struct FailureCase {
    Sets sets;    // shapes the sets before they are built
    After after;  // then changes files or the request
    std::vector<std::string> parts;
};

// Recorded names of taken records.
Sets NameE(std::string n) { return [=](SetDescription&, SetDescription& e) { e.Files[0].RecordedName = n; }; }
Sets NameB(std::size_t i, std::string n) { return [=](SetDescription& b, SetDescription&) { b.Files[i].RecordedName = n; }; }
After Asked(int n) { return [=](Fixture&, Req& r) { r.NumberOfFiles = static_cast<std::int16_t>(n); }; }
Sets Versions(std::int16_t b, std::int16_t e) { return [=](SetDescription& bs, SetDescription& es) { bs = SampleSet(b, Days(b, 1, 1)), es = SampleSet(e, Days(e, 20, 1)); }; }

// Backup 09-01 and 09-02, existing 09-20; break date 09-10-2004, four files.
const FailureCase kCases[] = {
    // The request: a date that is none, no files asked for; an output folder
    // where something stands (even a dangling link), whose parent is missing
    // or no folder, with a name Windows cannot hold.
    {{}, [](Fixture&, Req& r) { r.BrakeDate = "02-30-2004"; }, {"\"02-30-2004\"", "month-day-year"}},
    {{}, Asked(0), {"at least 1"}},
    {{}, [](Fixture& f, Req& r) { r.OutputFolder = f.backup.Master; }, {"already exists"}},
    {{}, [](Fixture& f, Req& r) { fs::create_symlink(f.tmp / "nowhere", r.OutputFolder = f.backupDir / "link"); }, {"already exists"}},
    {{}, [](Fixture& f, Req& r) { r.OutputFolder = f.tmp / "missing" / "out"; }, {"does not exist"}},
    {{}, [](Fixture& f, Req& r) { r.OutputFolder = f.backup.Master / "out"; }, {"is not a folder"}},
    {{}, [](Fixture& f, Req& r) { r.OutputFolder = f.tmp / "out2 "; }, {"ends in a blank"}},
    // Recorded names of taken records: no folder, no ".", four characters
    // after it, no file name, "..", "/", a control character, a new Name past
    // its 144-byte field, a file name past 255 bytes, the record's own master;
    // a merged master named like a Windows device (that rule is the platform
    // layer's, applied here once).
    {NameE("TREND.000"), {}, {"existing master", "record 0", "\"TREND.000\"", "no folder part"}},
    {NameE("C:\\E\\TREND000"), {}, {"record 0", "no \".\""}},
    {NameE("C:\\E\\TREND.1000"), {}, {"record 0", "more than three characters", "\"TREND.100\""}},
    {NameB(1, "C:\\B\\"), {}, {"backup master", "record 1", "no file name"}},
    {NameB(0, "C:\\B\\.."), {}, {"record 0", "\"..\""}},
    {NameE("C:\\E\\..\\../x/TREND.000"), {}, {"record 0", "contains \"/\""}},
    {NameE("C:\\E\\TR\x01ND.000"), {}, {"record 0", "control character", "\\x01"}},
    {[](SetDescription& b, SetDescription& e) { Versions(5, 5)(b, e), NameE("C:\\" + std::string(137, 'd') + "\\T.1")(b, e); }, {}, {"does not fit", "144 bytes"}},
    {NameE("C:\\E\\" + std::string(253, 'x') + ".1"), {}, {"record 0", "257 bytes long", "at most 255"}},
    {NameE("C:\\E\\TREND.HST"), {}, {"existing master", "record 0", "is the existing master itself"}},
    {{}, [](Fixture& f, Req& r) { fs::rename(r.BackupFile, f.backupDir / "Lpt7.HST"), r.BackupFile = (f.backupDir / "Lpt7.HST").string(); },
     {"merged master file \"Lpt7.HST\"", "Windows device name \"Lpt7\""}},
    // The validity rule applied (the plan fuzzer applies the rest): a data file given as a master.
    {{}, [](Fixture& f, Req& r) { r.ExistingFile = f.existing.DataFiles[0]; },
     {"existing master", "TREND.000: this is a data file", "choose the master", "TREND.HST instead"}},
    // More to take than asked for, nothing to name template copies after.
    {[](SetDescription&, SetDescription& e) { e = SampleSet(6, Days(6, 20, 5)); }, Asked(5),
     {"the break date 2004-09-10 (typed \"09-10-2004\")", "needs 7 data files", "5 from the existing set", "2 from the backup set", "but 5 were asked for"}},
    {[](SetDescription& b, SetDescription&) { b = SampleSet(6, Days(6, 30, 1)); }, [](Fixture&, Req& r) { r.BrakeDate = "09-25-2004"; },
     {"the break date 2004-09-25 (typed \"09-25-2004\")", "nothing to name", "4 template copies"}},
    // Masters of different versions or trends; a template of another version
    // or being the existing master.
    {Versions(2, 3), {}, {"different trend versions", "2", "3"}},
    {[](SetDescription& b, SetDescription&) { b.Title = "Another trend"; }, {}, {"hold different trends", "Title differs"}},
    {{}, [](Fixture& f, Req&) { trendset::BuildEmptyDataFile(f.emptyFile, SampleSet(4, {})); }, {"empty data file", "Version is 4"}},
    {{}, [](Fixture& f, Req& r) { fs::create_hard_link(f.existing.Master, r.EmptyDataFile += ".0"); }, {"the existing master itself"}},
};

class Failures : public MergeFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Failures, EndInAnError) {
    const FailureCase& c = GetParam();
    SetDescription b = SampleSet(6, Days(6, 1, 2)), e = SampleSet(6, Days(6, 20, 1));
    if (c.sets) c.sets(b, e);
    Make(b, e);
    MergeRequest r = Request("09-10-2004", 4);
    if (const std::string why = CannotMake([&] { if (c.after) c.after(*this, r); }); !why.empty()) GTEST_SKIP() << why;
    // The template is checked without the invalid-file notice.
    std::vector<std::string> notices;
    ScopedNoticeSink sink([&](std::string_view text, NoticeMark) { notices.emplace_back(text); });
    const InputsGuard guard{*this};
    ErrorKind kind{};
    const std::string said = ErrorOf([&] { RunMergeJob(r); }, &kind);
    ExpectHas(said, c.parts);
    EXPECT_EQ(kind, ErrorKind::Refused) << said;
    EXPECT_EQ(Snapshot(tmp, "in"), Tree{});
    EXPECT_EQ(notices, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Merge, Failures, ::testing::ValuesIn(kCases));

}  // namespace
}  // namespace jw::enginetest
