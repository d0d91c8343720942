// What only Windows does: inputs that another program holds open for writing
// stay readable and copyable, an open output folder cannot be renamed away,
// devices are no files.
#include <windows.h>
#undef CreateFile  // Folder::CreateFile, not the Windows macro

#include "os/PlatformTest.h"

namespace jw::os {
namespace {

using namespace ostest;
using WindowsTest = TempFolder;

// A handle of another writer, as the trend system holds its current files.
struct Writer {
    HANDLE h;
    Writer(const fs::path& p, DWORD share)
        : h(::CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~Writer() {
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
};

// A data file that is still being written (the writer shares reading, with
// or without letting others write) is opened, read and copied, and the
// writer can go on writing while we hold it open.
TEST_F(WindowsTest, SourcesHeldOpenForWritingAreStillCopied) {
    const std::string content(200 * 1024, 'x');
    for (const DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE},
                              DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
        const fs::path name = "TREND" + std::to_string(share) + ".000";
        WriteNew(tmp / name, content);
        Writer writer(tmp / name, share);
        ASSERT_NE(writer.h, INVALID_HANDLE_VALUE);
        if (share == FILE_SHARE_READ) {
            // Only reading is shared: our read-only open must ask for no more.
            EXPECT_EQ(ReadAll(tmp / name), content);
            continue;
        }
        const File source = File::OpenRead(tmp / name);
        Folder::Open(tmp).CopyFrom(source, name.string() + ".copy");
        EXPECT_EQ(ReadAll(tmp / (name.string() + ".copy")), content) << share;
        DWORD n = 0;  // our open handle does not stop the writer
        ::SetFilePointer(writer.h, 0, nullptr, FILE_END), ::WriteFile(writer.h, "more", 4, &n, nullptr);
        EXPECT_EQ(source.Length(), content.size() + 4);
    }
}

// While the output folder is open it cannot be renamed or removed, so its
// name keeps leading to it; once closed it can.
TEST_F(WindowsTest, AnOpenFolderStaysWhereItIs) {
    const fs::path out = tmp / "out", moved = tmp / "moved";
    fs::create_directory(out);
    {
        const Folder folder = Folder::Open(out);
        EXPECT_FALSE(::MoveFileExW(out.c_str(), moved.c_str(), 0));
        EXPECT_FALSE(::RemoveDirectoryW(out.c_str()));
        folder.CreateFile("TREND.HST").Close();
        EXPECT_TRUE(fs::exists(out / "TREND.HST"));
        EXPECT_FALSE(fs::exists(moved));
    }
    EXPECT_TRUE(::MoveFileExW(out.c_str(), moved.c_str(), 0));
}

// Devices are no files: reading them is refused at once, a file is no device.
TEST_F(WindowsTest, DevicesAreNoFiles) {
    // The console is refused (or cannot be opened at all without one).
    for (const char* device : {"CON", "CONIN$"}) EXPECT_FALSE(ErrorOf([&] { File::OpenRead(device); }).empty()) << device;
    WriteNew(tmp / "file", "keep");
    ExpectHas(ErrorOf([&] { File::OpenDevice(tmp / "file"); }), {"regular file"});
    EXPECT_EQ(ReadAll(tmp / "file"), "keep");
}

// A ":" would name a stream inside another file, a device name or a name
// ending in a dot or blank a file ordinary tools cannot remove: no folder
// entry gets such a name.
TEST_F(WindowsTest, NamesNoWindowsFolderHoldsAreRefused) {
    WriteNew(tmp / "TREND.HST", "master");
    const Folder folder = Folder::Open(tmp);
    const std::pair<const char*, const char*> names[] = {
        {"TREND.HST:hidden", "not a single file name"}, {"a\\b", "not a single file name"},
        {"NUL", "device name"}, {"con.000", "device name"}, {"TREND.", "ends in a dot"}, {"TREND ", "ends in a blank"}};
    for (const auto& [name, why] : names) {
        SCOPED_TRACE(name);
        ExpectHas(ErrorOf([&] { folder.CreateFile(name); }), {why});
        ExpectHas(ErrorOf([&] { folder.CopyFrom(File::OpenRead(tmp / "TREND.HST"), name); }), {why});
        ExpectHas(ErrorOf([&] { folder.RenameNoReplace("TREND.HST", name); }), {why});
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp), fs::directory_iterator()), 1);
    EXPECT_EQ(ReadAll(tmp / "TREND.HST"), "master");
}

// The system's copy takes the read-only attribute along; the copy in the
// output folder is made writable again.
TEST_F(WindowsTest, CopiesOfReadOnlyFilesAreWritable) {
    WriteNew(tmp / "TREND.000", "data");
    ASSERT_TRUE(::SetFileAttributesW((tmp / "TREND.000").c_str(), FILE_ATTRIBUTE_READONLY));
    Folder::Open(tmp).CopyFrom(File::OpenRead(tmp / "TREND.000"), "TREND.001");
    EXPECT_FALSE(::GetFileAttributesW((tmp / "TREND.001").c_str()) & FILE_ATTRIBUTE_READONLY);
    File::OpenReadWrite(tmp / "TREND.001").WriteAt(0, Bytes("DATA"));
    EXPECT_EQ(ReadAll(tmp / "TREND.001"), "DATA");
    ::SetFileAttributesW((tmp / "TREND.000").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace jw::os
