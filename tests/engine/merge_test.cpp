#include <gtest/gtest.h>

#include "MergeFixture.h"
#include "formats/Notices.h"

namespace jw {
namespace {

using namespace enginetest;
using trendset::DataFileSpec;

std::string Num(int n) { return NumberText(static_cast<std::int16_t>(n)); }

bool HasWarning(const MergePlan& plan, const std::string& part) {
    for (const auto& w : plan.Warnings)
        if (w.find(part) != std::string::npos) return true;
    return false;
}

// --- Every trend version, end to end ---------------------------------------

class EveryVersion : public MergeFixture, public ::testing::WithParamInterface<std::int16_t> {};

TEST_P(EveryVersion, MergesByteForByte) {
    const std::int16_t v = GetParam();
    auto e = SetOf(v, "C:\\Citect\\Data",
                   {At(v, 2004, 9, 14, 10), At(v, 2004, 9, 15, 10), At(v, 2004, 9, 17, 0, 0, 0), At(v, 2004, 9, 18, 12),
                    At(v, 2004, 9, 20, 23, 59, 59)});
    e.NextFile = 2;
    auto b = SetOf(v, "D:\\Old\\Data",
                   {At(v, 2004, 9, 11), At(v, 2004, 9, 12), At(v, 2004, 9, 13), At(v, 2004, 9, 16, 23, 59, 59),
                    At(v, 2004, 9, 17, 0, 0, 0), At(v, 2004, 9, 19)});
    Make(b, e);
    // A template whose start, end and file pointer are not zero: the records
    // made from it must carry zeros all the same.
    const auto g = GeometryOf(v);
    PatchFile(emptyFile, 128 + static_cast<std::size_t>(g.startTime), LE(1'095'403'530, g.timeWidth));
    PatchFile(emptyFile, 128 + static_cast<std::size_t>(g.endTime), LE(1'095'407'130, g.timeWidth));
    PatchFile(emptyFile, 128 + static_cast<std::size_t>(g.filePointer), LE(4242, 4));

    const MergePlan plan = PlanMerge(Request("09-17-2004", 10));
    EXPECT_EQ(plan.TakenExisting, 3);
    EXPECT_EQ(plan.TakenBackup, 4);
    EXPECT_EQ(plan.TemplateCopies, 3);
    ASSERT_EQ(plan.Entries.size(), 10U);
    EXPECT_EQ(plan.Entries[0].StartDay, "2004-09-17");  // the break day itself comes from the existing set
    EXPECT_EQ(plan.Entries[6].StartDay, "2004-09-16");
    EXPECT_EQ(plan.Entries[9].StartDay, "");
    EXPECT_TRUE(HasWarning(plan, "different folders"));
    EXPECT_TRUE(HasWarning(plan, "NextFile 2"));

    EXPECT_EQ(Merge(Request("09-17-2004", 10)), kMergedText);
    ExpectOutput("TREND.HST", 10,
                 {{'E', 2, "C:\\Citect\\Data\\TREND.000"},
                  {'E', 3, "C:\\Citect\\Data\\TREND.001"},
                  {'E', 4, "C:\\Citect\\Data\\TREND.002"},
                  {'B', 0, "D:\\Old\\Data\\TREND.003"},
                  {'B', 1, "D:\\Old\\Data\\TREND.004"},
                  {'B', 2, "D:\\Old\\Data\\TREND.005"},
                  {'B', 3, "D:\\Old\\Data\\TREND.006"},
                  {'T', 0, "D:\\Old\\Data\\TREND.007"},
                  {'T', 0, "D:\\Old\\Data\\TREND.008"},
                  {'T', 0, "D:\\Old\\Data\\TREND.009"}});
}

INSTANTIATE_TEST_SUITE_P(Versions, EveryVersion, ::testing::Values(0, 1, 2, 3, 4, 5, 6));

// --- One merge checked against bytes written out field by field ------------

// Little-endian field writer for the hand-made files of the next test.
struct Fields {
    Bytes b;
    Fields& Text(const std::string& s, std::size_t width, char pad = '\0') {
        for (std::size_t i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(i < s.size() ? s[i] : pad));
        return *this;
    }
    Fields& I16(std::int64_t v) { return Raw(LE(v, 2)); }
    Fields& I32(std::int64_t v) { return Raw(LE(v, 4)); }
    Fields& Raw(const Bytes& x) {
        Append(b, x);
        return *this;
    }
};

// The 96-byte file description block of versions 0 to 3.
Bytes BlockV0(std::int16_t version, std::int64_t startEvNo, std::int64_t start, std::int64_t end, std::int64_t length,
              std::int64_t filePointer, std::int64_t endEvNo, char pad = '\0') {
    Fields f;
    f.Text("TT101", 8, pad).I16(1).I16(version).I32(startEvNo).Text("Plant.TT101", 32, pad).I32(3).I16(7).I16(5).I16(0);
    f.I32(5).Text("degC", 8, pad).I32(258).I32(start).I32(end).I32(length).I32(filePointer).I32(endEvNo);
    f.Text("", 2, pad);
    EXPECT_EQ(f.b.size(), 96U);
    return f.b;
}

Bytes MasterV1(const std::string& title, std::int16_t nFiles, std::int16_t nextFile) {
    Fields f;
    f.Text(title, 128).Text("TT101", 8).I16(1).I16(1).Text("", 4).I32(0x11).I16(nFiles).I16(nFiles).I16(nextFile).I16(0);
    f.Text("", 20);
    EXPECT_EQ(f.b.size(), 176U);
    return f.b;
}

TEST(HandCheckedMerge, VersionOneAgainstLiteralFields) {
    TempFolder tmp;
    const fs::path live = tmp.Sub("live"), save = tmp.Sub("save"), out = tmp.Sub("out");
    constexpr std::int64_t k0916_0800 = 1'095'321'600;  // 2004-09-16 08:00:00
    constexpr std::int64_t k0917_0645 = 1'095'403'530;  // 2004-09-17 06:45:30
    constexpr std::int64_t k0910 = 1'094'774'400;       // 2004-09-10 00:00:00
    constexpr std::int64_t k0917 = 1'095'379'200;       // 2004-09-17 00:00:00

    Fields existing;
    existing.Raw(MasterV1("Live", 2, 1));
    existing.Text("C:\\Plant\\LIVE.000", 144).Raw(BlockV0(1, 1, k0916_0800, k0916_0800 + 60, 10, 244, 10));
    existing.Text("C:\\Plant\\LIVE.001", 144).Raw(BlockV0(1, 11, k0917_0645, k0917_0645 + 60, 10, 244, 20));
    WriteAll(live / "LIVE.HST", existing.b);
    // Data files: a version 1 header and two bytes that tell them apart.
    auto dataFile = [](char a, char b) {
        Fields f;
        f.Text("Data", 112).I32(0).I32(0).I32(0).I32(0).Raw(BlockV0(1, 1, 0, 0, 2, 224, 1));
        f.b.push_back(static_cast<std::uint8_t>(a));
        f.b.push_back(static_cast<std::uint8_t>(b));
        return f.b;
    };
    WriteAll(live / "LIVE.000", dataFile('L', '0'));
    WriteAll(live / "LIVE.001", dataFile('L', '1'));

    Fields backup;
    backup.Raw(MasterV1("Save", 2, 0));
    backup.Text("E:\\Arch\\SAVE.007", 144).Raw(BlockV0(1, 1, k0910, k0910 + 60, 10, 244, 10));
    backup.Text("E:\\Arch\\SAVE.008", 144).Raw(BlockV0(1, 11, k0917, k0917 + 60, 10, 244, 20));
    WriteAll(save / "SAVE.HST", backup.b);
    WriteAll(save / "SAVE.007", dataFile('S', '7'));
    WriteAll(save / "SAVE.008", dataFile('S', '8'));

    Fields empty;
    empty.Text("Empty", 112).I32(0).I32(0x46FA0000).I32(0).I32(0x42C80000);  // floats 0, 32000, 0, 100
    empty.Raw(BlockV0(1, 0, 99, 77, 0, 224, 0, ' '));
    ASSERT_EQ(empty.b.size(), 224U);
    WriteAll(tmp / "EMPTY.000", empty.b);

    const auto before = Fingerprint({live, save, tmp / "EMPTY.000"});
    EXPECT_EQ(MergeTrendSets("9/17/2004", out.string(), (save / "SAVE.HST").string(), (live / "LIVE.HST").string(), 3,
                             (tmp / "EMPTY.000").string()),
              "The trendfiles are now merged.");
    EXPECT_EQ(before, Fingerprint({live, save, tmp / "EMPTY.000"}));

    // Header of the existing master, History and nFiles 3; LIVE.001 as
    // file 000; SAVE.007 as file 001; one template record as file 002, named
    // after the last taken name, with start, end and file pointer zero.
    Fields want;
    want.Text("Live", 128).Text("TT101", 8).I16(1).I16(1).Text("", 4).I32(0x11).I16(3).I16(3).I16(1).I16(0).Text("", 20);
    want.Text("C:\\Plant\\LIVE.000", 144, ' ').Raw(BlockV0(1, 11, k0917_0645, k0917_0645 + 60, 10, 244, 20));
    want.Text("E:\\Arch\\SAVE.001", 144, ' ').Raw(BlockV0(1, 1, k0910, k0910 + 60, 10, 244, 10));
    want.Text("E:\\Arch\\SAVE.002", 144, ' ').Raw(BlockV0(1, 0, 0, 0, 0, 0, 0, ' '));
    const Bytes got = ReadAll(out / "SAVE.HST");
    EXPECT_EQ(got, want.b);
    ASSERT_EQ(got.size(), 176U + 3 * 240U);
    // Spot checks at absolute offsets: nFiles, the first record's start time
    // (0x414A880A) and the template record's zero file pointer.
    EXPECT_EQ(got[150], 3);
    EXPECT_EQ(got[151], 0);
    EXPECT_EQ((Bytes(got.begin() + 176 + 144 + 74, got.begin() + 176 + 144 + 78)), (Bytes{0x0A, 0x88, 0x4A, 0x41}));
    EXPECT_EQ((Bytes(got.begin() + 176 + 480 + 144 + 86, got.begin() + 176 + 480 + 144 + 90)), (Bytes{0, 0, 0, 0}));

    EXPECT_EQ(ReadAll(out / "LIVE.000"), dataFile('L', '1'));
    EXPECT_EQ(ReadAll(out / "SAVE.001"), dataFile('S', '7'));
    EXPECT_EQ(ReadAll(out / "SAVE.002"), empty.b);
    EXPECT_EQ(FolderNames(out), (std::vector<std::string>{"LIVE.000", "SAVE.001", "SAVE.002", "SAVE.HST"}));
}

// --- Choosing by the break date --------------------------------------------

using ChoiceTest = MergeFixture;

TEST_F(ChoiceTest, BreakDateBeforeOrAfterEveryStartDay) {
    struct Case {
        std::string date;
        std::vector<Expect> records;
    };
    const Case cases[] = {
        {"01-01-2000",
         {{'E', 0, "C:\\Citect\\Data\\TREND.000"}, {'E', 1, "C:\\Citect\\Data\\TREND.001"},
          {'T', 0, "C:\\Citect\\Data\\TREND.002"}, {'T', 0, "C:\\Citect\\Data\\TREND.003"}}},
        {"2029-12-31",
         {{'B', 0, "C:\\Save\\TREND.000"}, {'B', 1, "C:\\Save\\TREND.001"}, {'B', 2, "C:\\Save\\TREND.002"},
          {'T', 0, "C:\\Save\\TREND.003"}}},
    };
    Make(SetOf(6, "C:\\Save", {At(6, 2004, 9, 1), At(6, 2004, 9, 2), At(6, 2004, 9, 3)}),
         SetOf(6, "C:\\Citect\\Data", {At(6, 2004, 9, 2), At(6, 2004, 9, 4)}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        fs::remove_all(out);
        fs::create_directory(out);
        EXPECT_EQ(Merge(Request(c.date, 4)), kMergedText);
        ExpectOutput("TREND.HST", 4, c.records);
    }
}

TEST_F(ChoiceTest, StartDayIsTheDayOfTheWholeSecond) {
    // Int64 starts a fraction of a second from midnight; the day is the one
    // the start shows rounded to the whole second.  0.9996 s past midnight
    // converts to a date value 0.4 ms before midnight: still 2004-09-17.
    // 23:59:59.6 converts to 23:59:59 of the day before; 100 ns before
    // midnight rounds up to the break day.
    const std::int64_t midnight = trendset::RawTime(6, 2004, 9, 17);
    auto f = [](std::int64_t start) {
        DataFileSpec d;
        d.StartTime = start;
        d.EndTime = start + 10'000'000;
        d.Samples = 2;
        return d;
    };
    const std::vector<DataFileSpec> starts = {f(midnight - 4'000'000), f(midnight + 9'996'000), f(midnight - 1)};
    Make(SetOf(6, "C:\\B", starts), SetOf(6, "C:\\E", starts));
    const MergePlan plan = PlanMerge(Request("09-17-2004", 3));
    struct Want {
        SourceKind kind;
        int index;
        std::string day;
    };
    const Want want[] = {{FromExisting, 1, "2004-09-17"}, {FromExisting, 2, "2004-09-17"}, {FromBackup, 0, "2004-09-16"}};
    ASSERT_EQ(plan.Entries.size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(plan.Entries[i].Kind, want[i].kind) << i;
        EXPECT_EQ(plan.Entries[i].SourceIndex, want[i].index) << i;
        EXPECT_EQ(plan.Entries[i].StartDay, want[i].day) << i;
    }
    EXPECT_EQ(Merge(Request("09-17-2004", 3)), kMergedText);
    ExpectOutput("TREND.HST", 3,
                 {{'E', 1, "C:\\E\\TREND.000"}, {'E', 2, "C:\\E\\TREND.001"}, {'B', 0, "C:\\B\\TREND.002"}});
}

TEST_F(ChoiceTest, TenFromThreeAndFourWithBackupOfEight) {
    const std::int16_t v = 3;
    Make(SetOf(v, "C:\\B",
               {At(v, 2004, 9, 1), At(v, 2004, 9, 2), At(v, 2004, 9, 3), At(v, 2004, 9, 4), At(v, 2004, 9, 20),
                At(v, 2004, 9, 21), At(v, 2004, 9, 22), At(v, 2004, 9, 23)}),
         SetOf(v, "C:\\E", {At(v, 2004, 9, 9), At(v, 2004, 9, 10), At(v, 2004, 9, 11), At(v, 2004, 9, 12)}));
    EXPECT_EQ(Merge(Request("09-10-2004", 10)), kMergedText);
    std::vector<Expect> want = {{'E', 1, ""}, {'E', 2, ""}, {'E', 3, ""}, {'B', 0, ""}, {'B', 1, ""},
                                {'B', 2, ""}, {'B', 3, ""}, {'T', 0, ""}, {'T', 0, ""}, {'T', 0, ""}};
    for (std::size_t i = 0; i < want.size(); ++i)
        want[i].name = (i < 3 ? "C:\\E\\TREND." : "C:\\B\\TREND.") + Num(static_cast<int>(i));
    ExpectOutput("TREND.HST", 10, want);
}

TEST_F(ChoiceTest, TwentyFromTwoWithBackupOfSixFillsEighteenTemplates) {
    const std::int16_t v = 4;
    Make(SetOf(v, "C:\\B",
               {At(v, 2004, 9, 1), At(v, 2004, 9, 20), At(v, 2004, 9, 21), At(v, 2004, 9, 22), At(v, 2004, 9, 23),
                At(v, 2004, 9, 24)}),
         SetOf(v, "C:\\E", {At(v, 2004, 9, 9), At(v, 2004, 9, 10)}));
    EXPECT_EQ(Merge(Request("09-10-2004", 20)), kMergedText);
    std::vector<Expect> want = {{'E', 1, "C:\\E\\TREND.000"}, {'B', 0, "C:\\B\\TREND.001"}};
    for (int i = 2; i < 20; ++i) want.push_back({'T', 0, "C:\\B\\TREND." + Num(i)});
    ExpectOutput("TREND.HST", 20, want);
    EXPECT_EQ(fs::file_size(out / "TREND.HST"), 176U + 20U * 432U);
}

TEST_F(ChoiceTest, EveryRecordTheExistingMasterHoldsIsExamined) {
    // Four records, AddOn 0, four files asked for: the fourth is taken.
    Make(SetOf(6, "C:\\B", {At(6, 2004, 9, 1)}),
         SetOf(6, "C:\\E", {At(6, 2004, 9, 5), At(6, 2004, 9, 6), At(6, 2004, 9, 7), At(6, 2004, 9, 20)}));
    EXPECT_EQ(Merge(Request("09-10-2004", 4)), kMergedText);
    ExpectOutput("TREND.HST", 4,
                 {{'E', 3, "C:\\E\\TREND.000"}, {'B', 0, "C:\\B\\TREND.001"}, {'T', 0, "C:\\B\\TREND.002"},
                  {'T', 0, "C:\\B\\TREND.003"}});
}

TEST_F(ChoiceTest, SixExistingRecordsWithFourAsked) {
    Make(SetOf(6, "C:\\B", {At(6, 2004, 8, 1), At(6, 2004, 8, 2), At(6, 2004, 9, 30)}),
         SetOf(6, "C:\\E",
               {At(6, 2004, 9, 1), At(6, 2004, 9, 2), At(6, 2004, 9, 3), At(6, 2004, 9, 4), At(6, 2004, 9, 5),
                At(6, 2004, 9, 6)}));
    // Only the last two lie after the break date: records 4 and 5 are still
    // examined and taken although four files were asked for.
    EXPECT_EQ(Merge(Request("09-05-2004", 4)), kMergedText);
    ExpectOutput("TREND.HST", 4,
                 {{'E', 4, "C:\\E\\TREND.000"}, {'E', 5, "C:\\E\\TREND.001"}, {'B', 0, "C:\\B\\TREND.002"},
                  {'B', 1, "C:\\B\\TREND.003"}});
    // All six after it: more than asked for, refused.
    fs::remove_all(out);
    fs::create_directory(out);
    ExpectRefused(Request("08-15-2004", 4),
                  {"needs 8 data files", "6 from the existing set", "2 from the backup set", "but 4 were asked for",
                   "2004-08-15"});
    // Seven to take with five asked: refused, the output folder stays empty.
    ExpectRefused(Request("09-02-2004", 5),
                  {"needs 7 data files", "5 from the existing set", "2 from the backup set", "but 5 were asked for"});
    EXPECT_TRUE(FolderNames(out).empty());
}

TEST_F(ChoiceTest, AddOnEntriesAreExaminedAsFarAsTheFileHoldsThem) {
    auto e = SetOf(6, "C:\\E", {At(6, 2004, 9, 1), At(6, 2004, 9, 2), At(6, 2004, 9, 3), At(6, 2004, 9, 20)});
    e.nFiles = 3;
    e.AddOn = 2;  // entries 3 and 4; the file holds only entry 3
    Make(SetOf(6, "C:\\B", {At(6, 2004, 9, 1)}), e);
    const MergePlan plan = PlanMerge(Request("09-10-2004", 3));
    EXPECT_TRUE(HasWarning(plan, "AddOn 2"));
    EXPECT_EQ(Merge(Request("09-10-2004", 3)), kMergedText);
    ExpectOutput("TREND.HST", 3,
                 {{'E', 3, "C:\\E\\TREND.000"}, {'B', 0, "C:\\B\\TREND.001"}, {'T', 0, "C:\\B\\TREND.002"}});
    // The header keeps AddOn as read.
    EXPECT_EQ(ReadAll(out / "TREND.HST")[154], 2);
}

TEST_F(ChoiceTest, MasterIsNamedAfterTheBackupMaster) {
    const std::pair<std::string, std::string> cases[] = {
        {"OLDSET.HST", "OLDSET.HST"}, {"oldset.hst", "oldset.HST"}, {"a.b.c", "a.b.HST"}, {"BACKUPMASTER", "HST"}};
    Make(SetOf(5, "C:\\B", {At(5, 2004, 9, 1)}), SetOf(5, "C:\\E", {At(5, 2004, 9, 20)}));
    for (const auto& [backupName, masterName] : cases) {
        SCOPED_TRACE(backupName);
        fs::remove_all(out);
        fs::create_directory(out);
        const fs::path renamed = backupDir / backupName;
        fs::rename(backup.Master, renamed);
        backup.Master = renamed;
        const MergePlan plan = PlanMerge(Request("09-10-2004", 2));
        EXPECT_EQ(plan.MasterTarget, out / masterName);
        EXPECT_EQ(Merge(Request("09-10-2004", 2)), kMergedText);
        ExpectOutput(masterName, 2, {{'E', 0, "C:\\E\\TREND.000"}, {'B', 0, "C:\\B\\TREND.001"}});
    }
}

TEST_F(ChoiceTest, RecordedNamesAreReadToTheirFirstNulAndFoundWithoutRegardToCase) {
    using namespace std::string_literals;
    auto e = SetOf(6, "C:\\E", {At(6, 2004, 9, 20), At(6, 2004, 9, 21)});
    e.Files[0].RecordedName = "C:\\Data\\TREND.000\0.x\\"s;  // a stale older name after the NUL
    e.Files[1].RecordedName = "C:\\Data\\trend.001   ";      // the file is TREND.001
    Make(SetOf(6, "C:\\B", {At(6, 2004, 9, 1)}), e);
    EXPECT_EQ(Merge(Request("09-10-2004", 3)), kMergedText);
    ExpectOutput("TREND.HST", 3,
                 {{'E', 0, "C:\\Data\\TREND.000"}, {'E', 1, "C:\\Data\\trend.001"}, {'B', 0, "C:\\B\\TREND.002"}});
}

TEST_F(ChoiceTest, WarningsForDifferentTrendsAndCarriedFields) {
    auto e = SetOf(6, "C:\\E", {At(6, 2004, 9, 20)});
    e.Title = "Boiler 3";
    e.ID = "B3";
    e.NextFile = 7;
    auto b = SetOf(6, "C:\\B", {At(6, 2004, 9, 1)});
    b.Title = "Boiler 4";
    b.ID = "B4";
    b.BaseName = "OLD.";
    b.AddOn = 1;
    Make(b, e);
    const MergePlan plan = PlanMerge(Request("09-10-2004", 2));
    for (const char* w : {"titles differ", "IDs differ", "different base names", "different folders",
                          "backup master has AddOn 1", "NextFile 7", "no file of the merged set"})
        EXPECT_TRUE(HasWarning(plan, w)) << w;
    EXPECT_FALSE(HasWarning(plan, "existing master has AddOn"));
    // Warnings do not stop the merge.
    EXPECT_EQ(Merge(Request("09-10-2004", 2)), kMergedText);
}

TEST_F(ChoiceTest, ProgressCountsEveryFileAndTheMaster) {
    Make(SetOf(6, "C:\\B", {At(6, 2004, 9, 1)}), SetOf(6, "C:\\E", {At(6, 2004, 9, 20)}));
    std::vector<std::pair<int, int>> calls;
    MergeOptions options;
    options.Progress = [&](int done, int total) { calls.emplace_back(done, total); };
    EXPECT_EQ(Merge(Request("09-10-2004", 3), options), kMergedText);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
}

}  // namespace
}  // namespace jw
