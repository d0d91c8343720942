// Names outside ASCII through the real joinwright-cli: every folder of the
// run named in other scripts, and a trend whose recorded Names hold a
// Windows-1252 letter ("\xDC" is "Ü").  Arguments arrive as UTF-8, files on
// disk carry the characters the recorded bytes stand for, the merged master
// records its Names in Windows-1252 again, and what the program says shows
// them as UTF-8: the same on every system.
#include "cli/CliTest.h"
#include "os/Text.h"

namespace {

using namespace jw::clitest;
using jw::os::PathFromUtf8;
using jw::os::PathText;

const std::string kBase = "\xDC" "BERDRUCK.";                  // "ÜBERDRUCK." as recorded
const std::string kRecordedFolder = "C:\\Citect\\K\xFChlung";  // "C:\Citect\Kühlung"

TEST(NonAsciiPaths, MergeInspectExportAndRefusalTakeEveryName) {
    TempFolder top;
    const fs::path root = top.path / PathFromUtf8("Anlage Ä € 日本");
    const auto describe = [](int firstDay) {
        ts::SetDescription d = Scenario::Describe(firstDay, 5);
        d.BaseName = kBase, d.RecordedFolder = kRecordedFolder;
        return d;
    };
    const fs::path backup = ts::Build(root / PathFromUtf8("Sicherung ß"), describe(10)).Master,
                   existing = ts::Build(root / PathFromUtf8("Bestand ø"), describe(14)).Master,
                   templ = root / PathFromUtf8("Vorlage µ") / PathFromUtf8("ÜBERDRUCK.000");
    fs::create_directories(templ.parent_path());
    ts::BuildEmptyDataFile(templ, describe(10));
    const fs::path out = root / PathFromUtf8("Ergebnis ½"), merged = out / PathFromUtf8("ÜBERDRUCK.HST");
    Args merge = {"merge", "--backup", PathText(backup), "--existing", PathText(existing), "--template", PathText(templ),
                  "--files", "9", "--break-date", "09-15-2004", "--output", PathText(out)};
    const Result r = RunCli(merge, root);
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    // The merged master records every Name in Windows-1252, the folder kept.
    const std::string master = ReadFile(merged);
    for (int i = 0; i <= 8; ++i)
        EXPECT_NE(master.find(kRecordedFolder + "\\" + kBase + "00" + std::to_string(i)), std::string::npos) << i;

    const Result inspect = RunCli({"inspect", "--check", PathText(merged)}, root);
    EXPECT_EQ(inspect.code, 0) << inspect.out << inspect.err;
    for (const char* shown : {"Ergebnis ½", "Kühlung\\ÜBERDRUCK.008"})
        EXPECT_NE(inspect.out.find(shown), std::string::npos) << shown << " in " << inspect.out;
    const fs::path csv = root / PathFromUtf8("Export ä.csv");
    const Result exported = RunCli({"export", PathText(merged), "-o", PathText(csv)}, root);
    EXPECT_TRUE(exported.code == 0 && ReadFile(csv).rfind("time,value\n", 0) == 0) << exported.err;

    // A refusal shows the path and the recorded Name alike.
    fs::remove(existing.parent_path() / PathFromUtf8("ÜBERDRUCK.002"));
    merge.back() = PathText(root / PathFromUtf8("Plan ü"));
    const Result refused = RunCli(merge, root);
    EXPECT_EQ(refused.code, 1) << refused.out << refused.err;
    for (const char* shown : {"Bestand ø", "日本", "Kühlung\\ÜBERDRUCK.002", "ÜBERDRUCK.002 does not exist"})
        EXPECT_NE(refused.err.find(shown), std::string::npos) << shown << " in " << refused.err;
}

}  // namespace
