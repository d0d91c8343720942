// The platform layer's contract, the same on every system: what opening,
// creating, reading, writing, copying, renaming and removing do at their
// edges, and that nothing ever replaces an existing file.  Making and removing
// the output folder: engine's OutputFolderLife.
#include <chrono>

#include "os/PlatformTest.h"
#include "os/Process.h"
#include "os/WindowsNames.h"
#include "support/TestSupport.h"

namespace jw::os {
namespace {

using namespace ostest;
using namespace std::string_literals;
using FilesTest = TempFolder;

// Opening what is not there or not a file: the kind and the message.
TEST_F(FilesTest, OpeningWhatIsNotAFile) {
    fs::create_directory(tmp / "folder");
    WriteNew(tmp / "file", "x");
    const struct {
        fs::path path;
        ErrorKind kind;
        std::vector<std::string> says;
    } cases[] = {
        {tmp / "missing", ErrorKind::FileNotFound, {"File not found", (tmp / "missing").string()}},
        {tmp / "nofolder" / "file", ErrorKind::PathNotFound, {"Path not found"}},
        {tmp / "folder", ErrorKind::InvalidArgument, {"it is a folder"}},
        {"", ErrorKind::InvalidArgument, {"empty path"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        for (const auto open : {+[](const fs::path& p) { File::OpenRead(p); }, +[](const fs::path& p) { File::OpenReadWrite(p); }}) {
            ErrorKind kind{};
            ExpectHas(ErrorOf([&] { open(c.path); }, &kind), c.says);
            EXPECT_EQ(kind, c.kind);
        }
    }
}

// Positioned reads and writes: gaps read as zeros, reads past the end are
// short, identity tells files apart (also two of the same size).
TEST_F(FilesTest, PositionedReadsAndWrites) {
    File f = File::CreateNew(tmp / "data");
    f.WriteAt(4, Bytes("tail"));
    f.WriteAt(0, Bytes("head"));
    f.WriteAt(10, Bytes("end"));
    EXPECT_EQ(f.Length(), 13u);
    f.Close();

    const File in = File::OpenRead(tmp / "data");
    const struct {
        std::uint64_t at;
        std::size_t want;
        std::string got;
    } reads[] = {{0, 13, "headtail\0\0end"s}, {8, 2, "\0\0"s}, {10, 100, "end"}, {13, 5, ""}, {1000, 1, ""}, {3, 0, ""}};
    for (const auto& r : reads) {
        std::string buffer(r.want, '?');
        buffer.resize(in.ReadAt(r.at, {reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size()}));
        EXPECT_EQ(buffer, r.got) << r.at;
    }
    std::uint8_t one = 0;
    EXPECT_NE(ErrorOf([&] { in.ReadAt(~std::uint64_t{0}, {&one, 1}); }), "");

    // Rewritten in place at the same size: the same file, but not unchanged
    // (its time set an hour back first, so that no clock step can hide the write).
    fs::last_write_time(tmp / "data", fs::last_write_time(tmp / "data") - std::chrono::hours(1));
    const FileIdentity before = File::OpenRead(tmp / "data").Identity();
    EXPECT_TRUE(before.Unchanged(File::OpenRead(tmp / "data").Identity()));
    File again = File::OpenReadWrite(tmp / "data");
    again.WriteAt(0, Bytes("HEAD"));
    again.Close();
    EXPECT_EQ(ReadAll(tmp / "data"), "HEADtail\0\0end"s);
    const FileIdentity after = File::OpenRead(tmp / "data").Identity();
    EXPECT_TRUE(after.SameFile(before) && after.Size == before.Size && !after.Unchanged(before));

    WriteNew(tmp / "other", "HEADtail\0\0end"s);
    EXPECT_FALSE(File::OpenRead(tmp / "other").Identity().SameFile(after));
}

// A folder handle: files made, renamed without replacing (unless asked) and
// removed by name; names that are not one entry of the folder are refused.
TEST_F(FilesTest, FolderEntries) {
    const Folder folder = Folder::Open(tmp);
    File made = folder.CreateFile("TREND.HST.partial");
    made.WriteAt(0, Bytes("master"));
    made.Close();
    WriteNew(tmp / "TREND.HST", "older");

    ExpectHas(ErrorOf([&] { folder.RenameNoReplace("TREND.HST.partial", "TREND.HST"); }),
              {"already exists", (tmp / "TREND.HST.partial").string()});
    EXPECT_EQ(ReadAll(tmp / "TREND.HST"), "older");
    EXPECT_EQ(ReadAll(tmp / "TREND.HST.partial"), "master");
    ExpectHas(ErrorOf([&] { folder.RenameNoReplace("missing", "c"); }), {"Cannot rename"});

    folder.RenameNoReplace("TREND.HST.partial", "NEW.HST");
    EXPECT_TRUE(folder.Remove("NEW.HST"));
    EXPECT_FALSE(folder.Remove("NEW.HST"));  // nothing left to remove
    WriteNew(tmp / "a", "a");
    folder.RenameReplacing("a", "TREND.HST");
    EXPECT_EQ(ReadAll(tmp / "TREND.HST"), "a");
    EXPECT_FALSE(fs::exists(tmp / "a") || fs::exists(tmp / "NEW.HST") || fs::exists(tmp / "TREND.HST.partial"));

    fs::create_directory(tmp / "sub");
    for (const fs::path& bad : {fs::path(""), fs::path("."), fs::path(".."), fs::path("sub") / "x", fs::path("..") / "escape"}) {
        ErrorKind kind{};
        ExpectHas(ErrorOf([&] { folder.CreateFile(bad); }, &kind), {"not a single file name"});
        EXPECT_EQ(kind, ErrorKind::InvalidArgument) << bad;
        EXPECT_FALSE(folder.Remove(bad)) << bad;
    }
    EXPECT_TRUE(fs::is_empty(tmp / "sub"));
    EXPECT_TRUE(fs::exists(tmp / "TREND.HST"));

    ErrorKind kind{};
    ExpectHas(ErrorOf([&] { Folder::Open(tmp / "TREND.HST"); }, &kind), {"not a folder"});
    EXPECT_EQ(kind, ErrorKind::InvalidArgument);
    ExpectHas(ErrorOf([&] { Folder::Open(tmp / "none"); }, &kind), {"does not exist"});
    EXPECT_EQ(kind, ErrorKind::PathNotFound);
}

// Whole-file copies (the methods and holes: copy_test, windows_test): an
// existing target is never replaced; a copy that cannot be made names both
// files and leaves no target.
TEST_F(FilesTest, CopiesThatCannotBeMade) {
    const std::string content = Pattern(70'000);
    WriteNew(tmp / "source", content);
    const Folder out = Folder::Open(tmp);
    const File source = File::OpenRead(tmp / "source");
    WriteNew(tmp / "taken", "keep me");
    ExpectHas(ErrorOf([&] { out.CopyFrom(source, "taken"); }), {(tmp / "source").string(), (tmp / "taken").string(), "already exists"});
    EXPECT_EQ(ReadAll(tmp / "taken"), "keep me");
    EXPECT_TRUE(testsupport::SameBytes(ReadAll(tmp / "source"), content));
}

// Paths longer than the 260 characters old Windows programs stop at, and
// names beyond ASCII given as UTF-8 text: every call takes them.
TEST_F(FilesTest, LongPathsAndUtf8Names) {
    fs::path deep = tmp;
    for (int i = 0; i < 4; ++i) MakeFolder(deep /= std::string(70, static_cast<char>('a' + i)));
    const fs::path master = deep / "TREND.HST";
    ASSERT_GT(master.native().size(), 300u);
    WriteNew(master, "master");
    const Folder folder = Folder::Open(deep);
    folder.CopyFrom(File::OpenRead(master), "TREND.000");
    folder.RenameNoReplace("TREND.000", "TREND.001");
    EXPECT_EQ(ReadAll(deep / "TREND.001"), "master");

    // "°C Müller.HST" in UTF-8: made and found through the layer.
    const std::string utf8 = "\xC2\xB0" "C M\xC3\xBCller.HST";
    Folder::Open(tmp).CopyFrom(File::OpenRead(master), utf8);
    EXPECT_EQ(ReadAll(tmp / utf8), "master");
}

// The running program: its folder holds its executable.
// Names a Windows folder cannot hold are refused on every host, and a
// folder to be made by its own name whatever leads to it; near misses pass.
TEST(WindowsNames, RefusedOnEveryHostNearMissesPass) {
    const std::pair<std::string, std::string> names[] = {
        {"CON", "device name \"CON\""}, {"con.000", "device name \"con\""}, {"Aux.tar.gz", "device name \"Aux\""},
        {"NUL .HST", "device name \"NUL\""}, {"com9.x", "device name \"com9\""}, {"lpt1.001", "device name \"lpt1\""},
        {"TREND.", "ends in a dot"}, {"TREND.000 ", "ends in a blank"}, {"C:TREND.000", "contains \":\""},
        {"CONSOLE.000", ""}, {"COM0.000", ""}, {"COM10.000", ""}, {"xCON.000", ""}, {".HST", ""}, {"tr end.000", ""}};
    for (const auto& [name, why] : names) {
        const std::string got = WindowsFileNameProblem(name);
        EXPECT_TRUE(why.empty() ? got.empty() : got.find(why) != std::string::npos) << name << ": " << got;
    }
    for (const char c : std::string("<>\"|?*\\"))
        EXPECT_NE(WindowsFileNameProblem("a"s + c + "b.000").find("contains"), std::string::npos) << c;
    std::vector<std::pair<fs::path, std::string>> folders = {{"out2 ", "ends in a blank"}, {"sets/out2.", "ends in a dot"},
                                                             {"sets/nul/", "device name \"nul\""}, {"sets/out2", ""},
                                                             {".", ""}, {"sets/..", ""}};
#ifdef _WIN32
    folders.insert(folders.end(), {{L"\\\\?\\C:\\sets\\out2 ", "ends in a blank"}, {L"\\\\?\\C:\\AUX\\", "device name \"AUX\""}});
#endif
    for (const auto& [folder, why] : folders) {
        const std::string e = ErrorOf([&] { CheckNewFolderName(folder); });
        EXPECT_TRUE(why.empty() ? e.empty() : e.find(why) != std::string::npos) << folder << ": " << e;
    }
}

TEST(ProgramTest, ItsFolderHoldsIt) {
    bool found = false;
    for (const auto& e : fs::directory_iterator(ProgramFolder())) found = found || e.path().stem() == "jw_test_os";
    EXPECT_TRUE(found) << ProgramFolder();
}

}  // namespace
}  // namespace jw::os
