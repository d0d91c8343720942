// The output folder: its name from the time of day and the regional date
// separator, and its life in the merge job (made new under its working name,
// never reused, given its name at the end).
#include "EngineTest.h"
#include "engine/MergeJob.h"
#include "engine/OutputFolder.h"

namespace jw::enginetest {

TEST(OutputFolderName, TimeOfDayWithTheRegionalSeparator) {
    // Short date format, the separator it gives.
    const std::pair<const char*, const char*> rows[] = {{"dd.MM.yyyy", "."}, {"M/d/yy", "-"}, {"dd\\MM\\yyyy", "-"}, {"yyyyMMdd", "-"},
        {"yyyy.MM-dd", "."}, {"dd\tMM", "-"}, {"d\xC3\xA5M,y", ","}, {"dd'MM", "'"}, {"dd*MM", "-"}};
    for (const auto& [format, separator] : rows) EXPECT_EQ(FolderSeparatorFor(format), separator) << format;
    EXPECT_EQ(FolderTimeStamp({9, 5, 7}, "."), "09.05.07");
    EXPECT_EQ(FolderTimeStamp({23, 59, 60}, "-"), "23-59-60");
    EXPECT_EQ(OutputFolderName(FolderTimeStamp({0, 0, 0}, "-")), "Merged trenddata 00-00-00");
    for (const ClockTime bad : {ClockTime{-1, 0, 0}, ClockTime{0, 100, 0}}) EXPECT_NE(ErrorOf([&] { FolderTimeStamp(bad, "-"); }), "");
}

struct OutputFolderLife : MergeFixture {};

// A file someone put into the working folder keeps it there, under its
// hidden name, untouched; a new run finds it as what a killed run left and
// names it; once it is gone the merge runs.  Every other refusal takes the working folder away
// again (refusal_test.cpp).
TEST_F(OutputFolderLife, MadeFreshNeverReused) {
    Make(SampleSet(6, Days(6, 1, 2)), SampleSet(6, Days(6, 3, 2)));
    const fs::path working = tmp / WorkingFolderName("out");
    const auto intrude = [&](WriteStep step, const PlanEntry*) { if (step == WriteStep::Plan) WriteFile(working / "theirs", "x"); };
    ExpectHas(ErrorOf([&] { RunMergeJob(Request("09-03-2004", 1), {.DryRun = false, .Write = {.Progress = {}, .BeforeStep = intrude}}); }), {"at least 4"});
    EXPECT_EQ(Snapshot(tmp, "in"), (Tree{{working.filename().string(), "folder"}, {working.filename().string() + "/theirs", Fingerprint("x")}}));
    ExpectHas(ErrorOf([&] { RunMergeJob(Request("09-03-2004", 4)); }), {"was cut off", WorkingFolderName("out").string(), "Remove that folder"});
    fs::remove_all(working);
    EXPECT_EQ(RunMergeJob(Request("09-03-2004", 4)).Entries.size(), 4U);
    // The working name: hidden, short, one per output name.
    EXPECT_EQ(WorkingFolderName("a").string().rfind(".joinwright-partial-", 0), 0U);
    EXPECT_EQ(WorkingFolderName(std::string(255, 'x')).string().size(), 36U);
    EXPECT_NE(WorkingFolderName("a"), WorkingFolderName("b"));
}

}  // namespace jw::enginetest
