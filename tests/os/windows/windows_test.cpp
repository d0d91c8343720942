// What only Windows does: inputs that another program holds open for writing
// stay readable and copyable, an open output folder cannot be renamed away,
// devices are no files, the command line arrives as UTF-8.
#include <windows.h>
#undef CreateFile  // Folder::CreateFile, not the Windows macro

#include <cstdlib>

#include "os/PlatformTest.h"
#include "os/Text.h"
#include "os/Process.h"

namespace jw::os {
namespace {

using namespace platformtest;

// A handle of another writer, as the trend system holds its current files.
struct Writer {
    HANDLE h;
    Writer(const fs::path& p, DWORD share)
        : h(::CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~Writer() {
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
    void Append(const std::string& text) {
        ::SetFilePointer(h, 0, nullptr, FILE_END);
        DWORD n = 0;
        ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    }
};

// A data file that is still being written (the writer shares reading, with
// or without letting others write) is opened, read and copied, and the
// writer can go on writing while we hold it open.
TEST(WindowsTest, SourcesHeldOpenForWritingAreStillCopied) {
    const TempFolder tmp;
    const std::string content(200 * 1024, 'x');
    for (const DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE},
                              DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
        const fs::path name = "TREND" + std::to_string(share) + ".000";
        WriteNew(tmp.path / name, content);
        Writer writer(tmp.path / name, share);
        ASSERT_NE(writer.h, INVALID_HANDLE_VALUE);
        if (share == FILE_SHARE_READ) {
            // Only reading is shared: our read-only open must ask for no more.
            EXPECT_EQ(ReadAll(tmp.path / name), content);
            continue;
        }
        const File source = File::OpenRead(tmp.path / name);
        for (const CopyMethods methods : {kAllCopyMethods, static_cast<CopyMethods>(CopyMethod::ReadWrite)}) {
            const fs::path copy = name.string() + ".copy" + std::to_string(methods);
            Folder::Open(tmp.path).CopyFrom(source, copy, methods);
            EXPECT_EQ(ReadAll(tmp.path / copy), content) << share << " " << methods;
        }
        writer.Append("more");  // our open handle does not stop the writer
        EXPECT_EQ(source.Length(), content.size() + 4);
    }
}

// While the output folder is open it cannot be renamed or removed, so its
// name keeps leading to it; once closed it can.
TEST(WindowsTest, AnOpenFolderStaysWhereItIs) {
    const TempFolder tmp;
    const fs::path out = tmp.path / "out", moved = tmp.path / "moved";
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

// Devices are no files: reading them is refused at once, writing to NUL works.
TEST(WindowsTest, DevicesAreNoFiles) {
    // Windows shows NUL as a character device; some wine versions show it as
    // a disk file, and then there is no device to refuse.
    const HANDLE nulHandle = ::CreateFileW(L"\\\\.\\NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
    const bool nulIsADevice = ::GetFileType(nulHandle) == FILE_TYPE_CHAR;
    ::CloseHandle(nulHandle);
    if (nulIsADevice) {
        ErrorKind kind{};
        EXPECT_TRUE(Says(ErrorOf([] { File::OpenRead("NUL"); }, &kind), {"not a regular file"}));
        EXPECT_EQ(kind, ErrorKind::InvalidArgument);
        File nul = File::OpenDevice("NUL");
        nul.Write(Bytes("discarded"));
        nul.Close();
    }
    // The console is refused too (or cannot be opened at all without one).
    for (const char* device : {"CON", "CONIN$"}) EXPECT_FALSE(ErrorOf([&] { File::OpenRead(device); }).empty()) << device;
    const TempFolder tmp;
    WriteNew(tmp.path / "file", "keep");
    EXPECT_TRUE(Says(ErrorOf([&] { File::OpenDevice(tmp.path / "file"); }), {"regular file"}));
    EXPECT_EQ(ReadAll(tmp.path / "file"), "keep");
}

// A ":" would name a stream inside another file, a device name or a name
// ending in a dot or blank a file ordinary tools cannot remove: no folder
// entry gets such a name.
TEST(WindowsTest, NamesNoWindowsFolderHoldsAreRefused) {
    const TempFolder tmp;
    WriteNew(tmp.path / "TREND.HST", "master");
    const Folder folder = Folder::Open(tmp.path);
    const std::pair<const char*, const char*> names[] = {
        {"TREND.HST:hidden", "not a single file name"}, {"a\\b", "not a single file name"},
        {"NUL", "device name"}, {"con.000", "device name"}, {"TREND.", "ends in a dot"}, {"TREND ", "ends in a blank"}};
    for (const auto& [name, why] : names) {
        EXPECT_TRUE(Says(ErrorOf([&] { folder.CreateFile(name); }), {why})) << name;
        EXPECT_TRUE(Says(ErrorOf([&] { folder.CopyFrom(File::OpenRead(tmp.path / "TREND.HST"), name); }), {why}))
            << name;
        EXPECT_TRUE(Says(ErrorOf([&] { folder.RenameNoReplace("TREND.HST", name); }), {why})) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path), fs::directory_iterator()), 1);
    EXPECT_EQ(ReadAll(tmp.path / "TREND.HST"), "master");
}

// The system's copy takes the read-only attribute along; the copy in the
// output folder is made writable again.
TEST(WindowsTest, CopiesOfReadOnlyFilesAreWritable) {
    const TempFolder tmp;
    WriteNew(tmp.path / "TREND.000", "data");
    ASSERT_TRUE(::SetFileAttributesW((tmp.path / "TREND.000").c_str(), FILE_ATTRIBUTE_READONLY));
    Folder::Open(tmp.path).CopyFrom(File::OpenRead(tmp.path / "TREND.000"), "TREND.001");
    EXPECT_FALSE(::GetFileAttributesW((tmp.path / "TREND.001").c_str()) & FILE_ATTRIBUTE_READONLY);
    File::OpenReadWrite(tmp.path / "TREND.001").WriteAt(0, Bytes("DATA"));
    EXPECT_EQ(ReadAll(tmp.path / "TREND.001"), "DATA");
    ::SetFileAttributesW((tmp.path / "TREND.000").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The arguments come from the wide command line, the same as the C library's
// for plain ASCII ones; a console is switched to UTF-8.
TEST(WindowsTest, ArgumentsAndConsole) {
    const std::vector<std::string> args = Utf8Arguments(__argc, __argv);
    ASSERT_EQ(args.size(), static_cast<std::size_t>(__argc));
    for (int i = 1; i < __argc; ++i) EXPECT_EQ(args[static_cast<std::size_t>(i)], __argv[i]);
    const UINT before = ::GetConsoleOutputCP();
    PrepareStandardStreams();
    if (before != 0) {
        EXPECT_EQ(::GetConsoleOutputCP(), UINT{CP_UTF8});
    }
    EXPECT_FALSE(IsTerminal(Stream::Output));  // the test's output goes to a pipe
}

}  // namespace
}  // namespace jw::os
