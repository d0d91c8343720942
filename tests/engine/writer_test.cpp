// How a run that writes ends when something goes wrong at a step of the
// seam WriteStep, two trends staged together: a failure at any step, a
// master's name taken, the working folder replaced before it gets its name,
// a source rewritten after planning.  The error names the step and says
// nothing was merged; no output folder appears; every file the run made goes
// again and the working folder keeps only what others put there.
#include "EngineTest.h"
#include "engine/MergeJob.h"

namespace jw::enginetest {
namespace {

struct Ending {
    const char* name;
    WriteStep at;
    std::string copy;  // at Copy: the file whose copy the row is about
    std::function<void(const fs::path& working, const PlanEntry* e)> act;  // none: the step fails
    std::vector<std::string> says;
    Tree left = {};  // the working folder afterwards
};

const std::string kBoth = "No master file was written (PUMP.HST, VALVE.HST)";
const Ending kEndings[] = {
    {"CopyOfFirstTrendFails", WriteStep::Copy, "PUMP.002", {}, {"copying file 002", "No master file PUMP.HST was written"}},
    {"CopyOfSecondTrendFails", WriteStep::Copy, "VALVE.001", {}, {"copying file 001", kBoth}},
    {"FlushFails", WriteStep::Flush, "", {}, {"flushing the data files", kBoth}},
    {"MasterNameTaken", WriteStep::Stage, "", [](const fs::path& w, const PlanEntry*) { WriteFile(w / "VALVE.HST", "theirs"); },
     {"giving the master file VALVE.HST its name", "already exists"}, {{"VALVE.HST", Fingerprint("theirs")}}},
    {"WorkingFolderReplaced", WriteStep::Rename, "",
     [](const fs::path& w, const PlanEntry*) { fs::rename(w, w.parent_path() / "moved"), fs::create_directory(w); },
     {"was moved or replaced while the merge ran"}},
};

class Endings : public FolderFixture, public ::testing::WithParamInterface<Ending> {};

TEST_P(Endings, LeaveNoOutputAndOnlyWhatOthersPutThere) {
    const Ending& c = GetParam();
#ifdef _WIN32
    // Under wine a folder the run holds open can be renamed, and the folder
    // made in its place reads as the same one: the row shows nothing there.
    if (c.at == WriteStep::Rename) GTEST_SKIP() << "the held working folder cannot be told from its replacement here";
#endif
    Trend("PUMP"), Trend("VALVE");
    const fs::path working = tmp / WorkingFolderName("out");
    FolderJobOptions options;
    options.Job.Write.BeforeStep = [&](WriteStep step, const PlanEntry* e) {
        if (step != c.at || (e && e->Target.filename() != c.copy)) return;
        if (!c.act) Fail(ErrorKind::InputOutput, "injected fault");
        c.act(working, e);
    };
    const std::string said = ErrorOf([&] { RunFolderMergeJob(Request(), options); });
    ExpectHas(said, c.says);
    ExpectHas(said, {"nothing was merged"});
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Snapshot(working), c.left);
}

INSTANTIATE_TEST_SUITE_P(Run, Endings, ::testing::ValuesIn(kEndings), [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace jw::enginetest
