// The writing step in stages: several trends staged into one folder and
// committed together; the order of the steps; what a failure at each step
// leaves; progress in files and bytes; sources changed after planning.
#include <tuple>

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
    void Fresh() { fs::remove_all(out), fs::create_directory(out), held = os::Folder::Open(out); }
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

// Both trends staged, then committed: at the flush every copy is there and
// no master has its name; then both masters get theirs.  Progress counts
// every file and byte once and ends at the totals.
TEST_F(TwoTrends, StagedTogetherCommittedTogether) {
    const InputsGuard guard{*this};
    for (const bool expect : {false, true}) {
        SCOPED_TRACE(expect ? "totals expected first" : "totals as staged");
        Fresh();
        std::vector<std::string> steps;
        std::vector<WriteProgress> progress;
        MergeOptions options;
        options.BeforeStep = [&](WriteStep step, const PlanEntry* e) {
            steps.push_back(StepName(step, e));
            if (step == WriteStep::Flush) {
                EXPECT_EQ(FolderNames(out), (std::set<std::string>{"OTHER.000", "OTHER.001", "OTHER.002", "OTHER.HST.partial",
                                                                   "TREND.000", "TREND.001", "TREND.002", "TREND.003",
                                                                   "TREND.HST.partial"}));
            }
        };
        options.Progress = [&](const WriteProgress& p) { progress.push_back(p); };
        MergeWriter writer(held, options);
        if (expect) writer.Expect(trend), writer.Expect(other);
        writer.Stage(trend);
        writer.Stage(other);
        writer.Commit();
        writer.Release();
        EXPECT_EQ(steps, (std::vector<std::string>{"stage", "copy TREND.000", "copy TREND.001", "copy TREND.002",
                                                   "copy TREND.003", "stage", "copy OTHER.000", "copy OTHER.001",
                                                   "copy OTHER.002", "flush"}));
        EXPECT_EQ(FolderNames(out), (std::set<std::string>{"OTHER.000", "OTHER.001", "OTHER.002", "OTHER.HST", "TREND.000",
                                                           "TREND.001", "TREND.002", "TREND.003", "TREND.HST"}));
        EXPECT_EQ(ReadAll(out / "OTHER.001"), ReadAll(tmp / "oe" / "OTHER.001"));
        for (const char* o : {"OTHER.000", "OTHER.001", "OTHER.002", "OTHER.HST"}) fs::remove(out / o);
        ExpectOutput("E0 B0 B1 T", 4);
        ASSERT_EQ(progress.size(), 9U);
        const WriteProgress& last = progress.back();
        EXPECT_EQ(std::tuple(last.Files, last.FilesTotal, last.Bytes, last.BytesTotal),
                  std::tuple(9, 9, trend.BytesToWrite + other.BytesToWrite, trend.BytesToWrite + other.BytesToWrite));
        for (std::size_t i = 1; i < progress.size(); ++i) {
            EXPECT_EQ(progress[i].Files, progress[i - 1].Files + 1);
            EXPECT_GT(progress[i].Bytes, progress[i - 1].Bytes);
            EXPECT_EQ(progress[i].FilesTotal, expect || i >= 4 ? 9 : 5) << "the second plan counts once staged";
        }
    }
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

// A writer is used in its order only, and writes a plan's files only where
// the plan puts them.
TEST_F(TwoTrends, MisuseIsRefused) {
    Fresh();
    {
        MergeWriter writer(held);
        writer.Stage(trend);
        writer.Commit();
        ExpectHas(ErrorOf([&] { writer.Commit(); }), {"already committed"});
        ExpectHas(ErrorOf([&] { writer.Stage(other); }), {"already committed"});
        writer.Release();
    }
    EXPECT_TRUE(fs::exists(out / "TREND.HST"));
    Fresh();
    {
        MergeWriter writer(held);
        EXPECT_NE(ErrorOf([&] { writer.Stage(trend), writer.Stage(trend); }), "") << "the same names twice";
        ExpectHas(ErrorOf([&] { writer.Commit(); }), {"cannot be committed"});
    }
    EXPECT_EQ(FolderNames(out), std::set<std::string>{});
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
