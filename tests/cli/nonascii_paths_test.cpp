// Names outside ASCII through the real joinwright-cli: every folder of the
// run named in other scripts, and a trend whose recorded Names hold a
// Windows-1252 letter ("\xDC" is "Ü").  Arguments arrive as UTF-8, files on
// disk carry the characters the recorded bytes stand for, and the merged
// master records its Names in Windows-1252 again: the same on every system.
#include "cli/CliTest.h"
#include "os/Text.h"

namespace {

using namespace jw::clitest;
using jw::os::PathFromUtf8;
using jw::os::PathText;

const std::string kBase = "\xDC" "BERDRUCK.";           // "ÜBERDRUCK." as recorded
const std::string kRecordedFolder = "C:\\Citect\\K\xFChlung";  // "C:\Citect\Kühlung"

struct Sets {
    fs::path top, root, backup, existing, templ;
    Sets() {
        top = jw::testsupport::MakeTempFolder("jw-e2e");
        root = top / PathFromUtf8("Anlage Ä € 日本");
        const auto describe = [](int firstDay) {
            ts::SetDescription s = Scenario::Describe(firstDay, 5);
            s.BaseName = kBase;
            s.RecordedFolder = kRecordedFolder;
            return s;
        };
        backup = ts::Build(root / PathFromUtf8("Sicherung ß"), describe(10)).Master;
        existing = ts::Build(root / PathFromUtf8("Bestand ø"), describe(14)).Master;
        templ = root / PathFromUtf8("Vorlage µ") / PathFromUtf8("ÜBERDRUCK.000");
        fs::create_directories(templ.parent_path());
        ts::BuildEmptyDataFile(templ, describe(10));
    }
    ~Sets() { fs::remove_all(top); }
    fs::path operator()(const std::string& utf8) const { return root / PathFromUtf8(utf8); }
    Result Run(Args args) const { return RunCli(std::move(args), root); }
    Args Merge(const fs::path& out) const {
        return {"merge",   "--backup", PathText(backup), "--existing", PathText(existing), "--template",
                PathText(templ), "--files", "9", "--break-date", "09-15-2004", "--output", PathText(out)};
    }
};

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(PathText(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// Every file below root but those below skip, by its path as text (the
// paths here are beyond any narrow code page).
std::map<std::string, std::string> Contents(const fs::path& root, const fs::path& skip) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().parent_path() != skip) files[PathText(e.path())] = ReadFile(e.path());
    return files;
}

const std::vector<std::string> kMergedSet = {"ÜBERDRUCK.000", "ÜBERDRUCK.001", "ÜBERDRUCK.002", "ÜBERDRUCK.003",
                                             "ÜBERDRUCK.004", "ÜBERDRUCK.005", "ÜBERDRUCK.006", "ÜBERDRUCK.007",
                                             "ÜBERDRUCK.008", "ÜBERDRUCK.HST"};

TEST(NonAsciiPaths, MergeInspectAndExportTakeEveryName) {
    Sets s;
    const fs::path out = s("Ergebnis ½");
    const auto inputs = Contents(s.root, out);
    const Result merge = s.Run(s.Merge(out));
    ASSERT_EQ(merge.code, 0) << merge.out << merge.err;
    EXPECT_NE(merge.out.find(kMerged), std::string::npos) << merge.out;
    ASSERT_EQ(Names(out), kMergedSet);
    // The merged master records every Name in Windows-1252, the folder kept.
    const std::string master = ReadFile(out / PathFromUtf8("ÜBERDRUCK.HST"));
    for (int i = 0; i <= 8; ++i)
        EXPECT_NE(master.find(kRecordedFolder + "\\" + kBase + "00" + std::to_string(i)), std::string::npos) << i;
    EXPECT_EQ(master.find("Ü"), std::string::npos) << "a UTF-8 name in the master";
    EXPECT_EQ(Contents(s.root, out), inputs);

    const fs::path merged = out / PathFromUtf8("ÜBERDRUCK.HST");
    const Result inspect = s.Run({"inspect", "--check", PathText(merged)});
    EXPECT_EQ(inspect.code, 0) << inspect.out << inspect.err;
    EXPECT_NE(inspect.out.find("Ergebnis ½"), std::string::npos) << inspect.out;
    EXPECT_NE(inspect.out.find("Kühlung\\ÜBERDRUCK.008"), std::string::npos) << inspect.out;

    const Result toStdout = s.Run({"export", PathText(merged)});
    ASSERT_EQ(toStdout.code, 0) << toStdout.err;
    const fs::path csv = s("Export ä.csv");
    const Result toFile = s.Run({"export", PathText(merged), "-o", PathText(csv)});
    ASSERT_EQ(toFile.code, 0) << toFile.err;
    EXPECT_EQ(ReadFile(csv), toStdout.out);
    EXPECT_GT(std::count(toStdout.out.begin(), toStdout.out.end(), '\n'), 7) << toStdout.out;
}

TEST(NonAsciiPaths, DryRunPictureAndFolderMerge) {
    Sets s;
    const fs::path picture = s("Bild é.svg");
    Args args = s.Merge(s("Plan ü"));
    args.insert(args.end(), {"--dry-run", "--picture", PathText(picture)});
    const Result dry = s.Run(args);
    ASSERT_EQ(dry.code, 0) << dry.out << dry.err;
    EXPECT_NE(dry.out.find("Plan ü"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("ÜBERDRUCK.008"), std::string::npos) << dry.out;
    EXPECT_NE(ReadFile(picture).find("<svg"), std::string::npos);
    EXPECT_FALSE(fs::exists(s("Plan ü")));

    const fs::path out = s("Alle ç");
    const Result folder = s.Run({"merge-folder", "--backup", PathText(s.backup.parent_path()), "--existing",
                                 PathText(s.existing.parent_path()), "--templates", PathText(s.templ.parent_path()),
                                 "--files", "9", "--break-date", "09-15-2004", "--output", PathText(out)});
    ASSERT_EQ(folder.code, 0) << folder.out << folder.err;
    EXPECT_NE(folder.out.find("ÜBERDRUCK"), std::string::npos) << folder.out;
    EXPECT_EQ(Names(out), kMergedSet);
}

TEST(NonAsciiPaths, RefusalShowsPathAndRecordedNameAlike) {
    Sets s;
    fs::remove(s.existing.parent_path() / PathFromUtf8("ÜBERDRUCK.001"));
    const Result r = s.Run(s.Merge(s("Ergebnis ½")));
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    for (const char* shown : {"Bestand ø", "日本", "Kühlung\\ÜBERDRUCK.001", "ÜBERDRUCK.001 does not exist"})
        EXPECT_NE(r.err.find(shown), std::string::npos) << shown << " in " << r.err;
    EXPECT_FALSE(fs::exists(s("Ergebnis ½")));
}

}  // namespace
