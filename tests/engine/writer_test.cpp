// The writing step in stages: several trends staged into one folder and
// committed together; the order of the steps; what a failure at each step
// leaves; progress in files and bytes.
#include <tuple>

#include "EngineTest.h"
#include "engine/MergeWriter.h"

namespace jw {
namespace {

using namespace enginetest;

// Two trends, TREND and OTHER, each a backup and an existing set, planned
// into the same output folder.
struct TwoTrends : MergeFixture {
    MergePlan trend, other;
    TwoTrends() {
        Make(SetOf(6, "C:\\B", {At(6, 1), At(6, 2)}), SetOf(6, "C:\\E", {At(6, 20)}));
        trend = PlanMerge(Request("09-10-2004", 4));
        SetDescription b = SetOf(6, "C:\\B", {At(6, 3)}), e = SetOf(6, "C:\\E", {At(6, 21), At(6, 22)});
        b.BaseName = e.BaseName = "OTHER.";
        const auto ob = trendset::Build(Sub("ob"), b), oe = trendset::Build(Sub("oe"), e);
        other = PlanMerge({"09-10-2004", out.string(), ob.Master.string(), oe.Master.string(), 3, emptyFile.string()});
    }
};

std::string StepName(WriteStep step, const PlanEntry* e) {
    switch (step) {
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
        fs::remove_all(out), fs::create_directory(out);
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
        MergeWriter writer(out, options);
        if (expect) writer.Expect(trend), writer.Expect(other);
        writer.Stage(trend);
        writer.Stage(other);
        writer.Commit();
        EXPECT_EQ(steps, (std::vector<std::string>{"stage", "copy TREND.000", "copy TREND.001", "copy TREND.002",
                                                   "copy TREND.003", "stage", "copy OTHER.000", "copy OTHER.001",
                                                   "copy OTHER.002", "flush", "rename", "rename"}));
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
// written; no master under its final name and no temporary master remain;
// the copies made so far stay.
TEST_F(TwoTrends, AFailureAtAnyStepLeavesNoMaster) {
    const std::set<std::string> allCopies = {"OTHER.000", "OTHER.001", "OTHER.002", "TREND.000",
                                             "TREND.001", "TREND.002", "TREND.003"};
    struct Case {
        std::string at;                  // StepName of the step that fails
        std::vector<std::string> says;   // besides the fault, the folder and "No master file"
        std::set<std::string> left;
    };
    const std::string both = "No master file was written (TREND.HST, OTHER.HST)";
    const Case cases[] = {
        {"stage", {"failed while starting", "TREND.HST"}, {}},
        {"copy TREND.002", {"copying file 002", "No master file TREND.HST was written"}, {"TREND.000", "TREND.001"}},
        {"copy OTHER.001", {"copying file 001", both}, {"OTHER.000", "TREND.000", "TREND.001", "TREND.002", "TREND.003"}},
        {"flush", {"flushing the data files", both}, allCopies},
        {"rename", {"giving the master file TREND.HST its name", both}, allCopies},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        fs::remove_all(out), fs::create_directory(out);
        MergeOptions options;
        options.BeforeStep = [&](WriteStep step, const PlanEntry* e) {
            if (StepName(step, e) == c.at) Fail(ErrorKind::InputOutput, "injected fault");
        };
        std::string said;
        {
            MergeWriter writer(out, options);
            said = ErrorOf([&] { writer.Stage(trend), writer.Stage(other), writer.Commit(); });
        }
        ExpectHas(said, c.says);
        ExpectHas(said, {"injected fault", out.string(), "No master file"});
        EXPECT_EQ(FolderNames(out), c.left);
    }
}

// A writer is used in its order only, for its own folder only.
TEST_F(TwoTrends, MisuseIsRefused) {
    {
        MergeWriter writer(out);
        writer.Stage(trend);
        writer.Commit();
        ExpectHas(ErrorOf([&] { writer.Commit(); }), {"already committed"});
        ExpectHas(ErrorOf([&] { writer.Stage(other); }), {"already committed"});
    }
    EXPECT_TRUE(fs::exists(out / "TREND.HST"));
    fs::remove_all(out), fs::create_directory(out);
    {
        MergeWriter writer(out);
        EXPECT_NE(ErrorOf([&] { writer.Stage(trend), writer.Stage(trend); }), "") << "the same names twice";
        ExpectHas(ErrorOf([&] { writer.Commit(); }), {"cannot be committed"});
    }
    EXPECT_EQ(FolderNames(out), (std::set<std::string>{"TREND.000", "TREND.001", "TREND.002", "TREND.003"}));
    MergePlan elsewhere = trend;
    elsewhere.OutputFolder = tmp / "elsewhere";
    ExpectHas(ErrorOf([&] { MergeWriter(out).Stage(elsewhere); }), {"made for the output folder", "elsewhere"});
    MergePlan escaping = trend;
    escaping.Entries[1].Target = tmp / "escaped.001";
    ExpectHas(ErrorOf([&] { MergeWriter(out).Stage(escaping); }), {"outside the output folder"});
    EXPECT_FALSE(fs::exists(tmp / "escaped.001"));
    // A link as the output folder (where the system makes links at all).
    std::error_code noLinks;
    fs::create_directory_symlink(out, tmp / "link", noLinks);
    if (!noLinks)
        ExpectHas(ErrorOf([&] { MergeWriter writer(tmp / "link"); }), {"cannot write into the output folder", "symbolic link"});
}

}  // namespace
}  // namespace jw
