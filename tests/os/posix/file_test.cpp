// Files and folders: what opens, what is refused and how, what a folder
// handle keeps doing after its name has gone elsewhere.
#include "OsTest.h"

namespace jw {
namespace {

using namespace ostest;
using os::File;
using os::Folder;
using os::Links;

using FileTest = TempFolder;

// Opening for reading: only regular files, never a wait on a FIFO, a link
// as the last part only when links are followed.
TEST_F(FileTest, OpenReadTakesRegularFilesOnly) {
    WriteAll(tmp / "file", "data");
    fs::create_directory(tmp / "folder");
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
    fs::create_symlink(tmp / "file", tmp / "link");
    fs::create_symlink(tmp / "fifo", tmp / "fifolink");
    fs::create_symlink(tmp / "folder", tmp / "folderlink");
    struct Case {
        std::string path;
        Links links;
        std::string expect;  // empty: opens and reads "data"
        ErrorKind kind;
    };
    const ErrorKind kArg = ErrorKind::InvalidArgument;
    const Case cases[] = {
        {"file", Links::Refuse, "", {}},
        {"link", Links::Follow, "", {}},
        {"link", Links::Refuse, "is a symbolic link", kArg},
        {"missing", Links::Follow, "File not found", ErrorKind::FileNotFound},
        {"nofolder/file", Links::Follow, "the folder of", ErrorKind::PathNotFound},
        {"file/below", Links::Follow, "is not a folder", ErrorKind::PathNotFound},
        {"folder", Links::Follow, "it is a folder", kArg},
        {"folderlink", Links::Follow, "it is a folder", kArg},
        {"fifo", Links::Follow, "not a regular file", kArg},
        {"fifolink", Links::Follow, "not a regular file", kArg},
        {"fifolink", Links::Refuse, "is a symbolic link", kArg},
        {"/dev/null", Links::Follow, "not a regular file", kArg},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const fs::path p = c.path[0] == '/' ? fs::path(c.path) : tmp / c.path;
        ErrorKind kind{};
        std::string got;
        const std::string said = ErrorOf(
            [&] {
                const File f = File::OpenRead(p, c.links);
                got.resize(10);
                got.resize(f.ReadAt(0, {reinterpret_cast<std::uint8_t*>(got.data()), got.size()}));
            },
            &kind);
        if (c.expect.empty()) {
            EXPECT_EQ(said, "");
            EXPECT_EQ(got, "data");
            continue;
        }
        ExpectHas(said, {c.expect, p.string()});
        EXPECT_EQ(kind, c.kind) << said;
    }
    // Reading and writing: a FIFO or a folder is refused the same way.
    for (const char* p : {"fifo", "folder"})
        ExpectHas(ErrorOf([&] { File::OpenReadWrite(tmp / p); }), {"Cannot open", p});
    // A device or FIFO opened as an output; a regular file never is.
    EXPECT_EQ(ErrorOf([] { File::OpenDevice("/dev/null").Write({reinterpret_cast<const std::uint8_t*>("x"), 1}); }), "");
    ExpectHas(ErrorOf([&] { File::OpenDevice(tmp / "file"); }), {"in place", "regular file"});
    EXPECT_EQ(ReadAll(tmp / "file"), "data");
}

// New files never replace anything, never follow a link; positioned
// reads and writes, lengths, identities.
TEST_F(FileTest, CreateNewPositionsAndIdentity) {
    WriteAll(tmp / "taken", "taken");
    fs::create_symlink(tmp / "target", tmp / "dangling");
    for (const char* name : {"taken", "dangling"})
        ExpectHas(ErrorOf([&] { File::CreateNew(tmp / name); }), {"already exists", name});
    EXPECT_FALSE(fs::exists(tmp / "target")) << "the link was not followed";
    EXPECT_EQ(ReadAll(tmp / "taken"), "taken");

    File f = File::CreateNew(tmp / "new");
    const std::string a = "abcdef";
    f.WriteAt(10, {reinterpret_cast<const std::uint8_t*>(a.data()), a.size()});
    f.WriteAt(2, {reinterpret_cast<const std::uint8_t*>(a.data()), 2});
    EXPECT_EQ(f.Length(), 16U);
    std::string back(20, 'x');
    EXPECT_EQ(f.ReadAt(8, {reinterpret_cast<std::uint8_t*>(back.data()), back.size()}), 8U) << "short only at the end";
    EXPECT_EQ(back.substr(0, 8), std::string(2, '\0') + "abcdef");
    f.Sync();
    f.Close();
    f.Close();  // twice is harmless
    EXPECT_EQ(ReadAll(tmp / "new"), std::string(2, '\0') + "ab" + std::string(6, '\0') + "abcdef");

    fs::create_hard_link(tmp / "new", tmp / "hard");
    const auto id = File::OpenRead(tmp / "new").Identity();
    EXPECT_EQ(id, File::OpenRead(tmp / "hard").Identity()) << "a hard link is the same file";
    EXPECT_EQ(id.Size, 16U);
    EXPECT_FALSE(id.SameFile(File::OpenRead(tmp / "taken").Identity()));
    // Another file of the same size under the same name is another file.
    fs::remove(tmp / "hard"), WriteAll(tmp / "hard", Pattern(16));
    const auto other = File::OpenRead(tmp / "hard").Identity();
    EXPECT_EQ(other.Size, id.Size);
    EXPECT_FALSE(other.SameFile(id));
}

// Everything done through a folder handle stays in that folder, even after
// the folder was moved away and a link to elsewhere put in its place.
TEST_F(FileTest, FolderHandleKeepsToItsFolder) {
    const fs::path out = tmp / "out", moved = tmp / "moved", elsewhere = tmp / "elsewhere";
    fs::create_directory(out), fs::create_directory(elsewhere);
    WriteAll(tmp / "src", Pattern(5000));
    const Folder folder = Folder::Open(out);
    fs::rename(out, moved), fs::create_directory_symlink(elsewhere, out);

    File made = folder.CreateFile("made");
    made.Write({reinterpret_cast<const std::uint8_t*>("m"), 1});
    made.Close();
    folder.CopyFrom(File::OpenRead(tmp / "src"), "copy");
    folder.RenameNoReplace("made", "renamed");
    WriteAll(moved / "old", "old");
    EXPECT_TRUE(folder.Remove("old"));
    EXPECT_FALSE(folder.Remove("old")) << "nothing left to remove";
    folder.SyncAll();
    folder.Sync();
    EXPECT_GT(folder.FreeSpace(), 0U);

    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_EQ(ReadAll(moved / "renamed"), "m");
    EXPECT_EQ(ReadAll(moved / "copy"), Pattern(5000));
    EXPECT_FALSE(fs::exists(moved / "made"));
    EXPECT_EQ(folder.PathOf("x"), out / "x") << "messages keep the name the folder was opened by";

    // Opening a folder: not through a link as the last part, not a file.
    ExpectHas(ErrorOf([&] { Folder::Open(out); }), {"symbolic link", out.string()});
    ExpectHas(ErrorOf([&] { Folder::Open(tmp / "src"); }), {"not a folder"});
    ExpectHas(ErrorOf([&] { Folder::Open(tmp / "none"); }), {"does not exist"});
    // Names are single entries of the folder.
    for (const char* bad : {"", ".", "..", "a/b", "../escape"}) {
        SCOPED_TRACE(bad);
        ExpectHas(ErrorOf([&] { folder.CreateFile(bad); }), {"not a single file name"});
        EXPECT_FALSE(folder.Remove(bad));
    }
    EXPECT_FALSE(fs::exists(tmp / "escape"));
}

// Renames: without replacing, the target and the source stay as they were;
// replacing, in one step.
TEST_F(FileTest, RenamesReplaceOnlyWhenAsked) {
    const Folder folder = Folder::Open(tmp);
    WriteAll(tmp / "a", "a"), WriteAll(tmp / "b", "b");
    fs::create_symlink("nowhere", tmp / "dangling");
    for (const char* to : {"b", "dangling"}) {
        ExpectHas(ErrorOf([&] { folder.RenameNoReplace("a", to); }), {"already exists", (tmp / "a").string()});
        EXPECT_EQ(ReadAll(tmp / "a"), "a");
    }
    EXPECT_TRUE(fs::is_symlink(tmp / "dangling"));
    EXPECT_EQ(ReadAll(tmp / "b"), "b");
    ExpectHas(ErrorOf([&] { folder.RenameNoReplace("missing", "c"); }), {"Cannot rename"});
    folder.RenameReplacing("a", "b");
    EXPECT_EQ(ReadAll(tmp / "b"), "a");
    EXPECT_FALSE(fs::exists(tmp / "a"));
}

// Folders by path: made new only, removed only when empty.
TEST_F(FileTest, MakeAndRemoveFolders) {
    os::MakeFolder(tmp / "new");
    EXPECT_TRUE(fs::is_directory(tmp / "new"));
    ExpectHas(ErrorOf([&] { os::MakeFolder(tmp / "new"); }), {"already exists"});
    ErrorKind kind{};
    ExpectHas(ErrorOf([&] { os::MakeFolder(tmp / "no" / "new"); }, &kind), {"does not exist"});
    EXPECT_EQ(kind, ErrorKind::PathNotFound);
    WriteAll(tmp / "new" / "f", "f");
    EXPECT_FALSE(os::RemoveEmptyFolder(tmp / "new"));
    EXPECT_EQ(ReadAll(tmp / "new" / "f"), "f");
    fs::remove(tmp / "new" / "f");
    EXPECT_TRUE(os::RemoveEmptyFolder(tmp / "new"));
    EXPECT_GT(os::FreeSpace(tmp), 0U);
    ExpectHas(ErrorOf([&] { os::FreeSpace(tmp / "none"); }), {"free space", "none"});
}

}  // namespace
}  // namespace jw
