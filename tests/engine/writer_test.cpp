// The writing step in stages (the merge job's step 4): what a failure at
// each step of two staged trends leaves; a plan that would write outside its
// folder; sources changed after planning.  Two trends committed together,
// with their progress, are the merge job's (folder_merge_test.cpp).

#include "EngineTest.h"
#include "engine/MergeWriter.h"
#include "os/File.h"

namespace jw {
namespace {

using namespace enginetest;

// Two trends, TREND and OTHER, each a backup and an existing set, planned
// into the same output folder.
struct TwoTrends : MergeFixture {
    MergePlan trend, other;
    os::Folder held;  // the output folder, as the merge job holds it
    void Fresh() { held = os::Folder(), fs::remove_all(out), fs::create_directory(out), held = os::Folder::Open(out); }
    TwoTrends() {
        Make(SetOf(6, "C:\\B", {At(6, 1), At(6, 2)}), SetOf(6, "C:\\E", {At(6, 20)}));
        trend = PlanMerge(Request("09-10-2004", 4));
        SetDescription b = SetOf(6, "C:\\B", {At(6, 3)}), e = SetOf(6, "C:\\E", {At(6, 21), At(6, 22)});
        b.BaseName = e.BaseName = "OTHER.";
        const auto ob = trendset::Build(Sub("ob"), b), oe = trendset::Build(Sub("oe"), e);
        other = PlanMerge({"09-10-2004", out, ob.Master, oe.Master, 3, emptyFile});
    }
};

std::string StepName(WriteStep step, const PlanEntry* e) {
    switch (step) {
        case WriteStep::Plan: return "plan";
        case WriteStep::Stage: return "stage";
        case WriteStep::Copy: return "copy " + e->Target.filename().string();
        case WriteStep::Flush: return "flush";
        case WriteStep::Rename: return "rename";
    }
    return "?";
}

// A failure at any step: the error names the step and says no master was
// written; every file the writer made goes again.
TEST_F(TwoTrends, AFailureAtAnyStepLeavesNothing) {
    const std::string both = "No master file was written (TREND.HST, OTHER.HST)";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"stage", {"failed while starting", "TREND.HST"}},
        {"copy TREND.002", {"copying file 002", "No master file TREND.HST was written"}},
        {"copy OTHER.001", {"copying file 001", both}},
        {"flush", {"flushing the data files", both}},
    };
    for (const auto& [at, says] : cases) {
        SCOPED_TRACE(at);
        Fresh();
        MergeOptions options;
        options.BeforeStep = [&](WriteStep step, const PlanEntry* e) {
            if (StepName(step, e) == at) Fail(ErrorKind::InputOutput, "injected fault");
        };
        std::string said;
        {
            MergeWriter writer(held, options);
            said = ErrorOf([&] { writer.Stage(trend), writer.Stage(other), writer.Commit(); });
        }
        ExpectHas(said, says);
        ExpectHas(said, {"injected fault", out.string(), "nothing was merged"});
        EXPECT_EQ(FolderNames(out), std::set<std::string>{});
    }
}

// A plan's files are written only where the plan puts them: directly in its
// output folder.
TEST_F(TwoTrends, PlanOutsideItsFolderIsRefused) {
    Fresh();
    MergePlan escaping = trend;
    escaping.Entries[1].Target = tmp / "escaped.001";
    ExpectHas(ErrorOf([&] { MergeWriter(held).Stage(escaping); }), {"outside the output folder"});
    EXPECT_FALSE(fs::exists(tmp / "escaped.001"));
}

// A source changed after planning in a way its name and size do not show:
// rewritten in place with other bytes of the same length, or deleted and
// made again with the same length (ext4 gives it the old index number).  The
// source was last written an hour before planning, so any write shows.
TEST_F(TwoTrends, SourceChangedWithItsSizeIsRefused) {
    const std::pair<const char*, std::function<void(const fs::path&)>> cases[] = {
        {"rewritten in place", [](const fs::path& p) { std::fstream(p, std::ios::in | std::ios::out | std::ios::binary) << 'X'; }},
        {"deleted and made again", [](const fs::path& p) { const std::string b = ReadAll(p); fs::remove(p), WriteAll(p, b); }},
    };
    for (const auto& [what, change] : cases) {
        SCOPED_TRACE(what);
        Make(SetOf(6, "C:\\B", {At(6, 1), At(6, 2)}), SetOf(6, "C:\\E", {At(6, 20)}));
        const fs::path source = existing.DataFiles[0];
        fs::last_write_time(source, fs::last_write_time(source) - std::chrono::hours(1));
        const MergePlan plan = PlanMerge(Request("09-10-2004", 4));
        Fresh();
        MergeOptions options;
        options.BeforeStep = [&](WriteStep step, const PlanEntry* e) {
            if (step == WriteStep::Copy && e->Number == 0) change(source);
        };
        MergeWriter writer(held, options);
        ExpectHas(ErrorOf([&] { writer.Stage(plan); }), {"copying file 000", "TREND.000", "was planned"});
        EXPECT_EQ(FolderNames(out), std::set<std::string>{});
    }
}

}  // namespace
}  // namespace jw
