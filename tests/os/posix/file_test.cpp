// What only POSIX systems show: symbolic links, FIFOs and devices among the
// inputs, hard links, and a folder handle whose name has gone elsewhere.
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
    WriteNew(tmp / "file", "data");
    fs::create_directory(tmp / "folder");
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
    fs::create_symlink(tmp / "file", tmp / "link");
    fs::create_symlink(tmp / "fifo", tmp / "fifolink");
    fs::create_symlink(tmp / "folder", tmp / "folderlink");
    const ErrorKind kArg = ErrorKind::InvalidArgument;
    const struct {
        std::string path;
        Links links;
        std::string expect;  // empty: opens "file"
        ErrorKind kind;
    } cases[] = {
        {"file", Links::Refuse, "", {}},
        {"link", Links::Follow, "", {}},
        {"link", Links::Refuse, "is a symbolic link", kArg},
        {"file/below", Links::Follow, "is not a folder", ErrorKind::PathNotFound},
        {"folderlink", Links::Follow, "it is a folder", kArg},
        {"fifo", Links::Follow, "not a regular file", kArg},
        {"fifolink", Links::Refuse, "is a symbolic link", kArg},
        {"/dev/null", Links::Follow, "not a regular file", kArg},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const fs::path p = c.path[0] == '/' ? fs::path(c.path) : tmp / c.path;
        ErrorKind kind{};
        std::uint64_t length = 0;
        const std::string said = ErrorOf([&] { length = File::OpenRead(p, c.links).Length(); }, &kind);
        if (c.expect.empty()) {
            EXPECT_EQ(said + std::to_string(length), "4");  // "data"
            continue;
        }
        ExpectHas(said, {c.expect, p.string()});
        EXPECT_EQ(kind, c.kind) << said;
    }
    ExpectHas(ErrorOf([&] { File::OpenReadWrite(tmp / "fifo"); }), {"Cannot open", "fifo"});
    // A device or FIFO opened as an output; a regular file never is.
    EXPECT_EQ(ErrorOf([] { File::OpenDevice("/dev/null").Write(Bytes("x")); }), "");
    ExpectHas(ErrorOf([&] { File::OpenDevice(tmp / "file"); }), {"in place", "regular file"});
    EXPECT_EQ(ReadAll(tmp / "file"), "data");
}

// A new, renamed or copied file never lands on a dangling link (nor follows
// it); a hard link is the same file.
TEST_F(FileTest, LinksAreNeverFollowedWhenWriting) {
    const Folder folder = Folder::Open(tmp);
    WriteNew(tmp / "a", "a");
    fs::create_symlink(tmp / "target", tmp / "dangling");
    ExpectHas(ErrorOf([&] { File::CreateNew(tmp / "dangling"); }), {"already exists", "dangling"});
    ExpectHas(ErrorOf([&] { folder.RenameNoReplace("a", "dangling"); }), {"already exists"});
    ExpectHas(ErrorOf([&] { folder.CopyFrom(File::OpenRead(tmp / "a"), "dangling"); }),
              {(tmp / "a").string(), (tmp / "dangling").string(), "already exists"});
    EXPECT_FALSE(fs::exists(tmp / "target")) << "the link was not followed";
    EXPECT_TRUE(fs::is_symlink(tmp / "dangling"));
    EXPECT_EQ(ReadAll(tmp / "a"), "a");

    fs::create_hard_link(tmp / "a", tmp / "hard");
    EXPECT_EQ(File::OpenRead(tmp / "a").Identity(), File::OpenRead(tmp / "hard").Identity()) << "a hard link is the same file";
}

// Everything done through a folder handle stays in that folder, even after
// the folder was moved away and a link to elsewhere put in its place.
TEST_F(FileTest, FolderHandleKeepsToItsFolder) {
    const fs::path out = tmp / "out", moved = tmp / "moved", elsewhere = tmp / "elsewhere";
    fs::create_directory(out), fs::create_directory(elsewhere);
    WriteNew(tmp / "src", Pattern(5000));
    const Folder folder = Folder::Open(out);
    fs::rename(out, moved), fs::create_directory_symlink(elsewhere, out);

    File made = folder.CreateFile("made");
    made.Write(Bytes("m"));
    made.Close();
    folder.CopyFrom(File::OpenRead(tmp / "src"), "copy");
    folder.RenameNoReplace("made", "renamed");
    WriteNew(moved / "old", "old");
    EXPECT_TRUE(folder.Remove("old"));

    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_EQ(ReadAll(moved / "renamed"), "m");
    EXPECT_EQ(ReadAll(moved / "copy"), Pattern(5000));
    EXPECT_FALSE(fs::exists(moved / "made") || fs::exists(moved / "old"));
    EXPECT_EQ(folder.PathOf("x"), out / "x") << "messages keep the name the folder was opened by";
    // A folder is not opened through a link as the last part.
    ExpectHas(ErrorOf([&] { Folder::Open(out); }), {"symbolic link", out.string()});
}

}  // namespace
}  // namespace jw
