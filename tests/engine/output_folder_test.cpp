// The output folder: its name from the time of day and the regional date
// separator, and its life in the merge job (made new under its working name,
// never reused, given its name at the end, removed again only while empty).
#include "EngineTest.h"
#include "engine/MergeJob.h"
#include "engine/OutputFolder.h"
#include "os/Text.h"

namespace jw::enginetest {

TEST(OutputFolderName, TimeOfDayWithTheRegionalSeparator) {
    // Short date format, the separator it gives.
    const std::pair<const char*, const char*> rows[] = {
        {"yyyy-MM-dd", "-"}, {"dd.MM.yyyy", "."}, {"M/d/yy", "-"}, {"d MMM yyyy", "-"}, {"dd\\MM\\yyyy", "-"},
        {"dd:MM:yyyy", "-"}, {"yyyyMMdd", "-"}, {"", "-"}, {"yyyy.MM-dd", "."}, {"dd|MM", "-"}, {"dd\tMM", "-"},
        {"d\xC3\xA5M,y", ","}, {"yyyy\xE5\xB9\xB4M\xE6\x9C\x88", "-"}, {"dd'MM", "'"}, {"dd*MM", "-"},
    };
    for (const auto& [format, separator] : rows) EXPECT_EQ(FolderSeparatorFor(format), separator) << format;
    EXPECT_EQ(FolderTimeStamp({9, 5, 7}, "."), "09.05.07");
    EXPECT_EQ(FolderTimeStamp({0, 0, 0}, "-"), "00-00-00");
    EXPECT_EQ(FolderTimeStamp({23, 59, 60}, "-"), "23-59-60");
    EXPECT_EQ(OutputFolderName(FolderTimeStamp({14, 35, 22}, "-")), "Merged trenddata 14-35-22");
    for (const ClockTime bad : {ClockTime{-1, 0, 0}, ClockTime{0, 100, 0}, ClockTime{0, 0, -5}})
        EXPECT_NE(ErrorOf([&] { FolderTimeStamp(bad, "-"); }), "");
    const ClockTime now = LocalTimeOfDay();
    EXPECT_TRUE(now.Hour >= 0 && now.Hour <= 23 && now.Minute >= 0 && now.Minute <= 59 && now.Second >= 0 &&
                now.Second <= 60);
}

TEST(OutputFolderName, Utf8PathsRoundTrip) {
    for (const char* text : {"plain", "Sm\xC3\xA5 filer", "\xE6\x97\xA5\xE6\x9C\xAC/x"})
        EXPECT_EQ(os::PathText(os::PathFromUtf8(text)), text);
}

struct OutputFolderLife : MergeFixture {};

TEST_F(OutputFolderLife, MadeFreshNeverReusedRemovedOnlyWhileEmpty) {
    Make(SetOf(6, "C:\\B", {At(6, 1), At(6, 2)}), SetOf(6, "C:\\E", {At(6, 3), At(6, 4)}));
    // Whatever stands at the name is refused, even a dangling link; the
    // parent must be a folder that exists; the name one Windows can hold.
    // (A system that makes no symbolic links skips the rows of the link.)
    WriteAll(tmp / "file", "x");
    std::error_code noLinks;
    fs::create_symlink(tmp / "nowhere", tmp / "link", noLinks);
    std::vector<std::pair<fs::path, const char*>> refused = {
        {tmp / "file", "already exists"}, {tmp / "missing" / "out", "does not exist"},
        {tmp / "file" / "out", "is not a folder"}, {tmp / "out2 ", "ends in a blank"}};
    if (!noLinks) refused.emplace_back(tmp / "link", "already exists");
    ErrorKind kind{};
    for (const auto& [path, says] : refused) {
        MergeRequest r = Request("09-03-2004", 4);
        r.OutputFolder = path;
        ExpectHas(ErrorOf([&] { RunMergeJob(r); }, &kind), {says});
        EXPECT_EQ(kind, ErrorKind::Refused);
    }
    const auto before = FolderNames(tmp);

    // Refused while planning: the folder goes again.  A file someone put into
    // the working folder keeps it there, under its hidden name, untouched.
    ExpectHas(ErrorOf([&] { RunMergeJob(Request("13-01-2004", 4)); }), {"not a date"});
    EXPECT_EQ(FolderNames(tmp), before);
    JobOptions intruded;
    intruded.Write.BeforeStep = [&](WriteStep step, const PlanEntry*) {
        if (step == WriteStep::Plan) WriteAll(tmp / WorkingFolderName("out") / "theirs", "x");
    };
    ExpectHas(ErrorOf([&] { RunMergeJob(Request("09-03-2004", 1), intruded); }), {"at least 4"});
    EXPECT_EQ(ReadAll(tmp / WorkingFolderName("out") / "theirs"), "x");
    EXPECT_FALSE(fs::exists(out));

    // What a killed run left is found and named; once it is gone the merge runs.
    ExpectHas(ErrorOf([&] { RunMergeJob(Request("09-03-2004", 4)); }, &kind),
              {"was cut off", WorkingFolderName("out").string(), "Remove that folder"});
    EXPECT_EQ(kind, ErrorKind::Refused);
    fs::remove_all(tmp / WorkingFolderName("out"));
    EXPECT_EQ(RunMergeJob(Request("09-03-2004", 4)).Entries.size(), 4U);
    EXPECT_EQ(FolderNames(out).size(), 5U);
    ExpectHas(ErrorOf([&] { RunMergeJob(Request("09-03-2004", 4)); }), {"already exists"});

    // The working name: hidden, short, one per output name.
    EXPECT_EQ(WorkingFolderName("a").string().rfind(".joinwright-partial-", 0), 0U);
    EXPECT_EQ(WorkingFolderName(std::string(255, 'x')).string().size(), 36U);
    EXPECT_NE(WorkingFolderName("a"), WorkingFolderName("b"));
}

}  // namespace jw::enginetest
