#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/TrendTools.h"
#include "time/Errors.h"

namespace jw {
namespace {

using namespace enginetest;
using namespace std::string_literals;

// Backup and existing masters in their own host folders (the master files
// themselves are only used for their folder here), an output folder and a
// template data file.
struct RenumberFixture : ::testing::Test {
    TempFolder tmp;
    fs::path save = tmp.Sub("Save"), live = tmp.Sub("Live"), out = tmp.Sub("Out");
    std::string backup = (save / "TREND.HST").string(), existing = (live / "TREND.HST").string();
    std::string empty = (tmp / "EMPTY.000").string();
    const std::string fill = std::string(20, ' ') + std::string(100, '\0');

    void SetUp() override {
        WriteAll(save / "TREND.000", Bytes{'b', '0'});
        WriteAll(live / "TREND.000", Bytes{'e', '0'});
        WriteAll(empty, Bytes{'t'});
    }
    std::string Renumber(std::int16_t kind, const std::string& name, std::int16_t& counter) {
        return RenumberDataFile(backup, existing, out.string(), kind, name, counter, empty);
    }
};

TEST_F(RenumberFixture, CopiesBySourceKindAndReturnsTheNewName) {
    struct Case {
        std::int16_t kind;
        Bytes want;
    };
    for (const Case& c : {Case{FromBackup, {'b', '0'}}, Case{FromExisting, {'e', '0'}}, Case{FromTemplate, {'t'}}}) {
        SCOPED_TRACE(c.kind);
        fs::remove_all(out);
        fs::create_directory(out);
        std::int16_t counter = 5;
        EXPECT_EQ(Renumber(c.kind, "C:\\Data\\TREND.000" + fill, counter), "C:\\Data\\TREND.005");
        EXPECT_EQ(counter, 6);
        EXPECT_EQ(FolderNames(out), std::vector<std::string>{"TREND.005"});
        EXPECT_EQ(ReadAll(out / "TREND.005"), c.want);
    }
    EXPECT_EQ(ReadAll(save / "TREND.000"), (Bytes{'b', '0'}));
}

TEST_F(RenumberFixture, NameWithoutDotGivesTheNumberTextAlone) {
    std::int16_t counter = 0;
    EXPECT_EQ(Renumber(FromTemplate, "C:\\Data\\TREND", counter), "C:\\Data\\000");
    EXPECT_EQ(ReadAll(out / "000"), Bytes{'t'});
    // For a data file of a set the three-character cut would name another
    // file ("TRE"): refused, even when such a file exists.
    WriteAll(save / "TRE", Bytes{'x'});
    EXPECT_THROW(Renumber(FromBackup, "C:\\Data\\TREND", counter), Error);
    EXPECT_EQ(FolderNames(out), std::vector<std::string>{"000"});
}

TEST_F(RenumberFixture, LetterCaseOfTheRecordedNameIsForgivenWhenUnique) {
    std::int16_t counter = 1;
    EXPECT_EQ(Renumber(FromExisting, "C:\\Data\\trend.000", counter), "C:\\Data\\trend.001");
    EXPECT_EQ(ReadAll(out / "trend.001"), (Bytes{'e', '0'}));

    WriteAll(live / "Trend.000", Bytes{'?'});  // now two files match
    try {
        Renumber(FromExisting, "C:\\Data\\TREND.000"s.replace(8, 5, "tReNd"), counter);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("several"), std::string::npos) << e.what();
    }
}

TEST_F(RenumberFixture, FailuresBeforeAnythingIsCopied) {
    fs::create_directory(save / "DIR.000");
    fs::create_symlink(save / "TREND.000", save / "LINK.000");
    struct Case {
        std::string what;
        std::int16_t kind;
        std::string name;
        std::int16_t counter;
        ErrorKind kindOfError;
    };
    const Case cases[] = {
        {"counter at its end", FromBackup, "C:\\Data\\TREND.000", 32767, ErrorKind::Overflow},
        {"name without folder", FromBackup, "TREND.000", 0, ErrorKind::InvalidArgument},
        {"name without folder, template", FromTemplate, "TREND.000", 0, ErrorKind::InvalidArgument},
        {"missing data file", FromBackup, "C:\\Data\\TREND.001", 0, ErrorKind::Refused},
        {"a folder", FromBackup, "C:\\Data\\DIR.000", 0, ErrorKind::Refused},
        {"a symbolic link", FromBackup, "C:\\Data\\LINK.000", 0, ErrorKind::Refused},
        {"four characters after the dot", FromBackup, "C:\\Data\\TREND.0001", 0, ErrorKind::InvalidArgument},
        {"slash in the base name", FromTemplate, "C:\\Data\\..\\/etc/x.000", 0, ErrorKind::InvalidArgument},
        {"control character in the base", FromTemplate, "C:\\Data\\T\x01.000", 0, ErrorKind::InvalidArgument},
        {"unknown kind", 4, "C:\\Data\\TREND.000", 0, ErrorKind::InvalidArgument},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::int16_t counter = c.counter;
        try {
            Renumber(c.kind, c.name, counter);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), c.kindOfError) << e.what();
        }
        if (c.kindOfError == ErrorKind::Overflow) {
            EXPECT_EQ(counter, 32767);
        }
        EXPECT_TRUE(FolderNames(out).empty());
    }
}

}  // namespace
}  // namespace jw
