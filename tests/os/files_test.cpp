// The platform layer's contract, the same on every system: what opening,
// creating, reading, writing, copying, renaming and removing do at their
// edges, and that nothing ever replaces an existing file.
#include <algorithm>

#include "os/PlatformTest.h"
#include "os/Process.h"

namespace jw::os {
namespace {

using namespace platformtest;
using namespace std::string_literals;

// Opening what is not there or not a file: the kind and the message.
TEST(FilesTest, OpeningWhatIsNotAFile) {
    const TempFolder tmp;
    fs::create_directory(tmp.path / "folder");
    WriteNew(tmp.path / "file", "x");
    const struct {
        fs::path path;
        ErrorKind kind;
        std::vector<std::string> says;
    } cases[] = {
        {tmp.path / "missing", ErrorKind::FileNotFound, {"File not found", "missing"}},
        {tmp.path / "nofolder" / "file", ErrorKind::PathNotFound, {"Path not found"}},
        {tmp.path / "folder", ErrorKind::InvalidArgument, {"it is a folder"}},
        {"", ErrorKind::InvalidArgument, {"empty path"}},
    };
    for (const auto& c : cases) {
        for (const auto open : {+[](const fs::path& p) { File::OpenRead(p); }, +[](const fs::path& p) { File::OpenReadWrite(p); }}) {
            ErrorKind kind{};
            EXPECT_TRUE(Says(ErrorOf([&] { open(c.path); }, &kind), c.says)) << c.path;
            EXPECT_EQ(kind, c.kind) << c.path;
        }
    }
    // Creating over anything that exists is refused and changes nothing.
    for (const auto& name : {"file", "folder"}) {
        ErrorKind kind{};
        EXPECT_TRUE(Says(ErrorOf([&] { File::CreateNew(tmp.path / name); }, &kind), {"already exists"})) << name;
        EXPECT_EQ(kind, ErrorKind::InputOutput);
    }
    EXPECT_EQ(ReadAll(tmp.path / "file"), "x");
}

// Positioned reads and writes: gaps read as zeros, reads past the end are
// short, a read-only handle cannot write, identity tells files apart.
TEST(FilesTest, PositionedReadsAndWrites) {
    const TempFolder tmp;
    File f = File::CreateNew(tmp.path / "data");
    f.WriteAt(4, Bytes("tail"));
    f.WriteAt(0, Bytes("head"));
    f.WriteAt(10, Bytes("end"));
    EXPECT_EQ(f.Length(), 13u);
    f.Sync();
    f.Close();
    f.Close();  // twice does nothing

    const File in = File::OpenRead(tmp.path / "data");
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
    EXPECT_EQ(ErrorOf([&] { in.ReadAt(~std::uint64_t{0}, {&one, 1}); }).empty(), false);

    File again = File::OpenReadWrite(tmp.path / "data");
    again.WriteAt(0, Bytes("HEAD"));
    again.Close();
    EXPECT_EQ(ReadAll(tmp.path / "data"), "HEADtail\0\0end"s);

    WriteNew(tmp.path / "other", "headtail\0\0end"s);
    const File same = File::OpenRead(tmp.path / "data"), other = File::OpenRead(tmp.path / "other");
    EXPECT_TRUE(in.Identity().SameFile(same.Identity()));
    EXPECT_FALSE(in.Identity().SameFile(other.Identity()));
    EXPECT_EQ(in.Identity().Size, 13u);
}

// A folder handle: files made, renamed without replacing and removed by
// name; names that are not one entry of the folder are refused.
TEST(FilesTest, FolderEntries) {
    const TempFolder tmp;
    const Folder folder = Folder::Open(tmp.path);
    File made = folder.CreateFile("TREND.HST.partial");
    made.WriteAt(0, Bytes("master"));
    made.Close();
    WriteNew(tmp.path / "TREND.HST", "older");

    EXPECT_TRUE(Says(ErrorOf([&] { folder.RenameNoReplace("TREND.HST.partial", "TREND.HST"); }), {"already exists"}));
    EXPECT_EQ(ReadAll(tmp.path / "TREND.HST"), "older");
    EXPECT_EQ(ReadAll(tmp.path / "TREND.HST.partial"), "master");
    EXPECT_TRUE(Says(ErrorOf([&] { folder.CreateFile("TREND.HST"); }), {"already exists"}));

    folder.RenameNoReplace("TREND.HST.partial", "NEW.HST");
    EXPECT_EQ(ReadAll(tmp.path / "NEW.HST"), "master");
    EXPECT_FALSE(fs::exists(tmp.path / "TREND.HST.partial"));
    folder.SyncAll();
    folder.Sync();
    EXPECT_GT(folder.FreeSpace(), 0u);
    EXPECT_GT(FreeSpace(tmp.path), 0u);

    EXPECT_TRUE(folder.Remove("NEW.HST"));
    EXPECT_FALSE(folder.Remove("NEW.HST"));  // nothing left to remove
    EXPECT_FALSE(fs::exists(tmp.path / "NEW.HST"));

    fs::create_directory(tmp.path / "sub");
    for (const fs::path& bad : {fs::path(""), fs::path("."), fs::path(".."), fs::path("sub") / "x"}) {
        ErrorKind kind{};
        EXPECT_TRUE(Says(ErrorOf([&] { folder.CreateFile(bad); }, &kind), {"not a single file name"})) << bad;
        EXPECT_EQ(kind, ErrorKind::InvalidArgument);
        EXPECT_FALSE(folder.Remove(bad)) << bad;
    }
    EXPECT_TRUE(fs::is_empty(tmp.path / "sub"));
    EXPECT_TRUE(fs::exists(tmp.path / "TREND.HST"));

    ErrorKind kind{};
    EXPECT_TRUE(Says(ErrorOf([&] { Folder::Open(tmp.path / "TREND.HST"); }, &kind), {"not a folder"}));
    EXPECT_EQ(kind, ErrorKind::InvalidArgument);
    EXPECT_TRUE(Says(ErrorOf([&] { Folder::Open(tmp.path / "none"); }, &kind), {"does not exist"}));
    EXPECT_EQ(kind, ErrorKind::PathNotFound);
}

// Whole-file copies by every allowed set of methods: the copy holds the
// source's bytes; an existing target is never replaced; a copy that cannot
// be made leaves no target.
TEST(FilesTest, Copies) {
    const TempFolder tmp;
    std::string content(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < content.size(); i += 4093) content[i] = static_cast<char>('a' + i % 26);
    WriteNew(tmp.path / "source", content);
    WriteNew(tmp.path / "empty", "");
    const Folder out = Folder::Open(tmp.path);
    const File source = File::OpenRead(tmp.path / "source"), empty = File::OpenRead(tmp.path / "empty");

    const CopyMethods sets[] = {kAllCopyMethods, static_cast<CopyMethods>(CopyMethod::ReadWrite),
                                CopyMethod::Kernel | CopyMethod::ReadWrite, CopyMethod::Clone | CopyMethod::ReadWrite};
    int n = 0;
    for (const CopyMethods methods : sets) {
        const std::string name = "copy" + std::to_string(n++);
        const CopyResult r = out.CopyFrom(source, name, methods);
        EXPECT_EQ(r.Bytes, content.size()) << methods;
        EXPECT_NE(methods & static_cast<unsigned>(r.Method), 0u) << "used a method not allowed: " << methods;
        EXPECT_TRUE(ReadAll(tmp.path / name) == content) << methods;
        EXPECT_EQ(out.CopyFrom(empty, name + ".empty", methods).Bytes, 0u);
        EXPECT_EQ(ReadAll(tmp.path / (name + ".empty")), "");
    }

    WriteNew(tmp.path / "taken", "keep me");
    EXPECT_TRUE(Says(ErrorOf([&] { out.CopyFrom(source, "taken"); }), {"source", "taken", "already exists"}));
    EXPECT_EQ(ReadAll(tmp.path / "taken"), "keep me");

    EXPECT_TRUE(Says(ErrorOf([&] { out.CopyFrom(source, "none", 0); }), {"no allowed copy method"}));
    EXPECT_FALSE(fs::exists(tmp.path / "none"));
    EXPECT_TRUE(Says(ErrorOf([&] { out.CopyFrom(source, ".."); }), {"not a single file name"}));
    EXPECT_TRUE(ReadAll(tmp.path / "source") == content);
}

// Making and removing folders: never over an existing entry, only when empty.
TEST(FilesTest, Folders) {
    const TempFolder tmp;
    const fs::path made = tmp.path / "Merged trenddata 10-15-30";
    MakeFolder(made);
    EXPECT_TRUE(fs::is_directory(made));
    ErrorKind kind{};
    EXPECT_TRUE(Says(ErrorOf([&] { MakeFolder(made); }, &kind), {"already exists"}));
    EXPECT_EQ(kind, ErrorKind::InputOutput);
    EXPECT_TRUE(Says(ErrorOf([&] { MakeFolder(tmp.path / "a" / "b"); }, &kind), {"does not exist"}));
    EXPECT_EQ(kind, ErrorKind::PathNotFound);

    EXPECT_TRUE(MayCreateIn(made));
    EXPECT_FALSE(MayCreateIn(tmp.path / "none"));
    WriteNew(made / "TREND.000", "data");
    EXPECT_FALSE(MayCreateIn(made / "TREND.000"));
    EXPECT_FALSE(RemoveEmptyFolder(made));
    EXPECT_EQ(ReadAll(made / "TREND.000"), "data");
    fs::remove(made / "TREND.000");
    EXPECT_TRUE(RemoveEmptyFolder(made));
    EXPECT_FALSE(fs::exists(made));
    EXPECT_FALSE(RemoveEmptyFolder(made));
}

// Paths longer than the 260 characters old Windows programs stop at, and
// names beyond ASCII given as UTF-8 text: every call takes them.
TEST(FilesTest, LongPathsAndUtf8Names) {
    const TempFolder tmp;
    fs::path deep = tmp.path;
    for (int i = 0; i < 4; ++i) MakeFolder(deep /= std::string(70, static_cast<char>('a' + i)));
    const fs::path master = deep / "TREND.HST";
    ASSERT_GT(master.native().size(), 300u);
    WriteNew(master, "master");
    const Folder folder = Folder::Open(deep);
    folder.CopyFrom(File::OpenRead(master), "TREND.000");
    folder.RenameNoReplace("TREND.000", "TREND.001");
    EXPECT_EQ(ReadAll(deep / "TREND.001"), "master");
    EXPECT_EQ(ReadAll(master), "master");
    EXPECT_GT(FreeSpace(deep), 0u);

    // "°C Müller.HST" in UTF-8: made through the layer, found by its name,
    // listed under the same characters.
    const std::string utf8 = "\xC2\xB0" "C M\xC3\xBCller.HST";
    WriteNew(tmp.path / utf8, "unit");
    EXPECT_EQ(ReadAll(tmp.path / utf8), "unit");
    const Folder top = Folder::Open(tmp.path);
    top.CopyFrom(File::OpenRead(tmp.path / utf8), utf8 + ".copy");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(tmp.path))
        if (e.is_regular_file()) {
            const auto u8 = e.path().filename().u8string();
            names.emplace_back(u8.begin(), u8.end());
        }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{utf8, utf8 + ".copy"}));
}

// The running program: its folder holds its executable.
TEST(FilesTest, TheRunningProgram) {
    bool found = false;
    for (const auto& e : fs::directory_iterator(ProgramFolder()))
        found = found || e.path().stem() == "jw_test_os";
    EXPECT_TRUE(found) << ProgramFolder();
}

}  // namespace
}  // namespace jw::os
