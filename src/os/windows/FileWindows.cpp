// Files and folders on Windows: handles opened with CreateFileW, positioned
// reads and writes through OVERLAPPED offsets, renames without replacing and
// with write-through.
//
// A Folder is opened without FILE_SHARE_DELETE: while it is open nobody can
// rename or remove it, nor any folder above it, so its name keeps leading to
// it.  Every file is then reached through the folder's final path as the
// system reports it for the open handle (GetFinalPathNameByHandleW), never
// through the path the caller gave, so a link or junction put on the way
// after the open changes nothing.

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "os/File.h"
#include "os/WindowsNames.h"
#include "os/windows/WindowsDetail.h"

namespace jw::os {

namespace detail {

std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty()) return {};
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::filesystem::path& p) {
    const std::wstring& w = p.native();
    bool nonAscii = false;
    for (const wchar_t c : w) {
        if (c > 0xFF) return w;  // real UTF-16 from the system
        if (c >= 0x80) nonAscii = true;
    }
    if (!nonAscii) return w;
    std::string bytes;
    bytes.reserve(w.size());
    for (const wchar_t c : w) bytes.push_back(static_cast<char>(c));
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                        nullptr, 0);
    if (n <= 0) return w;  // not UTF-8: the units are the characters
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::wstring LongPath(const std::filesystem::path& p) {
    const std::wstring w = Wide(p);
    if (w.rfind(L"\\\\?\\", 0) == 0 || w.rfind(L"\\\\.\\", 0) == 0) return w;
    DWORD size = ::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    std::wstring full;
    while (size > 0) {
        full.assign(size, L'\0');
        const DWORD got = ::GetFullPathNameW(w.c_str(), size, full.data(), nullptr);
        if (got < size) {
            full.resize(got);
            break;
        }
        size = got;  // grew in between: try again with the new size
    }
    if (full.empty()) return w;  // let the call that follows report it
    if (full.rfind(L"\\\\.\\", 0) == 0) return full;  // a device (CON, NUL, ...)
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string QuotedPath(const std::filesystem::path& p) { return Quoted(Utf8FromWide(Wide(p))); }

std::string ErrorText(DWORD err) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err,
        MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n > 0 ? Utf8FromWide(std::wstring_view(text, n)) : std::string();
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    if (out.empty()) out = "system error";
    return out + " (error " + std::to_string(err) + ")";
}

void FailIo(const std::filesystem::path& path, const std::string& what, DWORD err) {
    Fail(ErrorKind::InputOutput, what + " " + QuotedPath(path) + ": " + ErrorText(err));
}

void FailOpen(const std::filesystem::path& path, DWORD err) {
    const std::string name = QuotedPath(path);
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
            Fail(ErrorKind::FileNotFound, "File not found: " + name);
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY:
            Fail(ErrorKind::PathNotFound, "Path not found: the folder of " + name + " does not exist");
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            Fail(ErrorKind::InputOutput, "Cannot create " + name + ": the file already exists");
        case ERROR_ACCESS_DENIED: {
            // Opening a folder as a file is refused this way.
            const DWORD attributes = ::GetFileAttributesW(LongPath(path).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                Fail(ErrorKind::InvalidArgument, "Cannot open " + name + ": it is a folder, not a file");
            FailIo(path, "Cannot open", err);
        }
        default:
            FailIo(path, "Cannot open", err);
    }
}

void CheckEntryName(const std::filesystem::path& folder, const std::filesystem::path& name) {
    const std::wstring& n = name.native();
    if (n.empty() || n == L"." || n == L".." || n.find_first_of(L"/\\:") != std::wstring::npos ||
        n.find(L'\0') != std::wstring::npos)
        Fail(ErrorKind::InvalidArgument, "Cannot use " + QuotedPath(name) + " in the folder " + QuotedPath(folder) +
                                             ": it is not a single file name");
    // Through a \\?\ path Windows would make such a name a real file
    // (a file "NUL", "CON.000", "TREND.") that ordinary tools cannot remove.
    if (const std::string why = WindowsFileNameProblem(Utf8FromWide(Wide(name))); !why.empty())
        Fail(ErrorKind::InvalidArgument, "Cannot use " + QuotedPath(name) + " in the folder " + QuotedPath(folder) +
                                             ": " + why);
}

std::wstring FinalPath(HANDLE h, const std::filesystem::path& path) {
    std::wstring out(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n > 0 && n < out.size()) {
            out.resize(n);
            return out;
        }
        const DWORD err = ::GetLastError();
        // Too small: the call tells the size needed, or only that it needs more.
        if (n == 0 && err != ERROR_MORE_DATA && err != ERROR_INSUFFICIENT_BUFFER)
            FailIo(path, "Cannot find where this lies:", err);
        // No path is longer than 32767 characters; a system that still wants
        // more cannot tell (wine stops at 260): the name given at the open,
        // which still leads there, has to do.
        if (out.size() > 32768) return LongPath(path);
        out.resize(std::max<std::size_t>(n + 1, out.size() * 2));
    }
}

void CloseQuietly(HANDLE h) noexcept {
    const DWORD saved = ::GetLastError();
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    ::SetLastError(saved);
}

}  // namespace detail

using namespace detail;

namespace {

// Inputs: others may go on reading, writing, renaming and removing them.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// One ReadFile or WriteFile moves at most this much.
constexpr std::uint64_t kChunk = std::uint64_t{1} << 30;
constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max());

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

BY_HANDLE_FILE_INFORMATION InfoOf(HANDLE h, const std::filesystem::path& path) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) FailIo(path, "Cannot examine", ::GetLastError());
    return info;
}

// Checks that h is a regular file (and, with Links::Refuse, no link).
// Closes h on failure.
void RequireRegular(HANDLE h, const std::filesystem::path& path, Links links) {
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        CloseQuietly(h);
        Fail(ErrorKind::InvalidArgument,
             "Cannot open " + QuotedPath(path) + ": it is not a regular file (a device, a pipe or a console)");
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        const DWORD err = ::GetLastError();
        CloseQuietly(h);
        FailIo(path, "Cannot examine", err);
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        CloseQuietly(h);
        Fail(ErrorKind::InvalidArgument, "Cannot open " + QuotedPath(path) + ": it is a folder, not a file");
    }
    if (links == Links::Refuse && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseQuietly(h);
        Fail(ErrorKind::InvalidArgument, "Cannot open " + QuotedPath(path) + ": it is a symbolic link");
    }
}

HANDLE Open(const std::filesystem::path& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    const HANDLE h = ::CreateFileW(LongPath(path).c_str(), access, share, nullptr, disposition,
                                   FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) FailOpen(path, ::GetLastError());
    return h;
}

// The files made through each open folder (by its handle), for SyncAll.
std::mutex gCreatedLock;
std::map<std::intptr_t, std::set<std::wstring>> gCreated;

void NoteCreated(std::intptr_t folder, const std::wstring& name) {
    const std::lock_guard lock(gCreatedLock);
    gCreated[folder].insert(name);
}

void NoteGone(std::intptr_t folder, const std::wstring& name) {
    const std::lock_guard lock(gCreatedLock);
    if (const auto it = gCreated.find(folder); it != gCreated.end()) it->second.erase(name);
}

std::vector<std::wstring> CreatedIn(std::intptr_t folder) {
    const std::lock_guard lock(gCreatedLock);
    const auto it = gCreated.find(folder);
    return it == gCreated.end() ? std::vector<std::wstring>{}
                                : std::vector<std::wstring>(it->second.begin(), it->second.end());
}

void ForgetFolder(std::intptr_t folder) {
    const std::lock_guard lock(gCreatedLock);
    gCreated.erase(folder);
}

}  // namespace

// Shared with the copy: the full path of an entry of an open folder, and
// the note that a file was made there.
namespace detail {
std::wstring EntryPath(std::intptr_t folder, const std::filesystem::path& folderPath, const std::filesystem::path& name) {
    return FinalPath(AsHandle(folder), folderPath) + L"\\" + Wide(name);
}
void NoteFileMade(std::intptr_t folder, const std::filesystem::path& name) { NoteCreated(folder, Wide(name)); }
}  // namespace detail

// --- File ---------------------------------------------------------------

void File::CloseHandle(Handle h) noexcept { ::CloseHandle(AsHandle(h)); }

File File::OpenRead(const std::filesystem::path& path, Links links) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot open a file with an empty path");
    const HANDLE h = Open(path, GENERIC_READ, kShareAll, OPEN_EXISTING,
                          links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    RequireRegular(h, path, links);
    return File(FromHandle(h), path);
}

File File::OpenReadWrite(const std::filesystem::path& path) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot open a file with an empty path");
    const HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    RequireRegular(h, path, Links::Follow);
    return File(FromHandle(h), path);
}

File File::CreateNew(const std::filesystem::path& path) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot create a file with an empty path");
    // CREATE_NEW refuses any existing entry, a link included, without following it.
    const HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW, 0);
    return File(FromHandle(h), path);
}

File File::OpenDevice(const std::filesystem::path& path) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot open a file with an empty path");
    const HANDLE h = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (::GetFileType(h) == FILE_TYPE_DISK) {
        CloseQuietly(h);
        Fail(ErrorKind::InvalidArgument, "Cannot write " + QuotedPath(path) + " in place: it is a regular file");
    }
    return File(FromHandle(h), path);
}

std::size_t File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    CheckRange("Read at", offset, out.size(), kMaxOffset, path_);
    std::size_t got = 0;
    while (got < out.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(out.size() - got, kChunk));
        OVERLAPPED o = At(offset + got);
        DWORD n = 0;
        if (!::ReadFile(AsHandle(handle_), out.data() + got, want, &n, &o)) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_HANDLE_EOF) break;
            FailIo(path_, "Cannot read", err);
        }
        if (n == 0) break;
        got += n;
    }
    return got;
}

void File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
    CheckRange("Write at", offset, data.size(), kMaxOffset, path_);
    std::size_t put = 0;
    while (put < data.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(data.size() - put, kChunk));
        OVERLAPPED o = At(offset + put);
        DWORD n = 0;
        if (!::WriteFile(AsHandle(handle_), data.data() + put, want, &n, &o))
            FailIo(path_, "Cannot write to", ::GetLastError());
        if (n == 0) Fail(ErrorKind::InputOutput, "Cannot write to " + QuotedPath(path_) + ": nothing was written");
        put += n;
    }
}

void File::Write(std::span<const std::uint8_t> data) {
    std::size_t put = 0;
    while (put < data.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(data.size() - put, kChunk));
        DWORD n = 0;
        if (!::WriteFile(AsHandle(handle_), data.data() + put, want, &n, nullptr))
            FailIo(path_, "Cannot write to", ::GetLastError());
        if (n == 0) Fail(ErrorKind::InputOutput, "Cannot write to " + QuotedPath(path_) + ": nothing was written");
        put += n;
    }
}

std::uint64_t File::Length() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(AsHandle(handle_), &size)) FailIo(path_, "Cannot get the length of", ::GetLastError());
    return static_cast<std::uint64_t>(size.QuadPart);
}

FileIdentity File::Identity() const {
    const BY_HANDLE_FILE_INFORMATION info = InfoOf(AsHandle(handle_), path_);
    FILE_BASIC_INFO times{};
    if (!::GetFileInformationByHandleEx(AsHandle(handle_), FileBasicInfo, &times, sizeof times))
        FailIo(path_, "Cannot examine", ::GetLastError());
    return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
            (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow, times.LastWriteTime.QuadPart,
            times.ChangeTime.QuadPart};
}

void File::Sync() {
    if (::FlushFileBuffers(AsHandle(handle_))) return;
    const DWORD err = ::GetLastError();
    // A handle opened for reading only has nothing of its own to flush.
    if (err == ERROR_ACCESS_DENIED) return;
    FailIo(path_, "Cannot write to disk", err);
}

void File::Close() {
    if (handle_ == kNoHandle) return;
    if (!::CloseHandle(AsHandle(std::exchange(handle_, kNoHandle)))) FailIo(path_, "Cannot close", ::GetLastError());
}

// --- Folder -------------------------------------------------------------

// The folder's record of files made through it goes with the handle.
void Folder::CloseHandle(File::Handle h) noexcept {
    ForgetFolder(h);
    ::CloseHandle(AsHandle(h));
}

namespace {

// Opens the folder at `full` (a path the system reads as it is), shown as
// `shown` in messages.  Without shareDelete the folder cannot be renamed or
// removed while open.
HANDLE OpenFolderHandle(const std::wstring& full, const std::filesystem::path& shown, Links links,
                        bool shareDelete = false) {
    const std::string name = QuotedPath(shown);
    const HANDLE h = ::CreateFileW(full.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | (shareDelete ? FILE_SHARE_DELETE : 0), nullptr,
                                   OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | (links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                                   nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
            Fail(ErrorKind::PathNotFound, "Path not found: the folder " + name + " does not exist");
        FailIo(shown, "Cannot open the folder", err);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        const DWORD err = ::GetLastError();
        CloseQuietly(h);
        FailIo(shown, "Cannot examine the folder", err);
    }
    if (links == Links::Refuse && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseQuietly(h);
        Fail(ErrorKind::InvalidArgument, "Cannot open the folder " + name + ": it is a symbolic link or junction");
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseQuietly(h);
        Fail(ErrorKind::InvalidArgument, "Cannot open the folder " + name + ": it is not a folder");
    }
    return h;
}

}  // namespace

Folder Folder::Open(const std::filesystem::path& path, Links links) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot open a folder with an empty path");
    Folder f;
    f.handle_ = FromHandle(OpenFolderHandle(LongPath(path), path, links));
    f.path_ = path;
    return f;
}

Folder Folder::MakeFolder(const std::filesystem::path& name) const {
    CheckEntryName(path_, name);
    const std::wstring full = EntryPath(handle_, path_, name);
    if (!::CreateDirectoryW(full.c_str(), nullptr)) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS)
            Fail(ErrorKind::InputOutput, "Cannot make the folder " + QuotedPath(PathOf(name)) + ": it already exists");
        FailIo(PathOf(name), "Cannot make the folder", err);
    }
    // A folder made here is the merge's output under its working name: the
    // handle lets the parent give it its name while it is held.
    Folder f;
    f.handle_ = FromHandle(OpenFolderHandle(full, PathOf(name), Links::Refuse, true));
    f.path_ = PathOf(name);
    return f;
}

bool Folder::RemoveFolder(const std::filesystem::path& name) const noexcept {
    try {
        const std::wstring& n = name.native();
        if (n.empty() || n == L"." || n == L".." || n.find_first_of(L"/\\:") != std::wstring::npos) return false;
        return ::RemoveDirectoryW(EntryPath(handle_, path_, name).c_str()) != 0;
    } catch (...) {
        return false;
    }
}

File Folder::CreateFile(const std::filesystem::path& name) const {
    CheckEntryName(path_, name);
    const HANDLE h = ::CreateFileW(EntryPath(handle_, path_, name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
    if (h == INVALID_HANDLE_VALUE) FailOpen(PathOf(name), ::GetLastError());
    NoteCreated(handle_, Wide(name));
    return File(FromHandle(h), PathOf(name));
}

bool Folder::Holds(const std::filesystem::path& name, const Folder& folder) const noexcept {
    try {
        const HANDLE h = ::CreateFileW(EntryPath(handle_, path_, name).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        BY_HANDLE_FILE_INFORMATION entry{}, held{};
        const bool ok = ::GetFileInformationByHandle(h, &entry) != 0;
        ::CloseHandle(h);
        return ok && ::GetFileInformationByHandle(AsHandle(folder.handle_), &held) &&
               !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
               (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
               entry.dwVolumeSerialNumber == held.dwVolumeSerialNumber && entry.nFileIndexHigh == held.nFileIndexHigh &&
               entry.nFileIndexLow == held.nFileIndexLow;
    } catch (...) {
        return false;
    }
}

void Folder::RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) const {
    CheckEntryName(path_, from);
    CheckEntryName(path_, to);
    if (::MoveFileExW(EntryPath(handle_, path_, from).c_str(), EntryPath(handle_, path_, to).c_str(),
                      MOVEFILE_WRITE_THROUGH)) {
        NoteGone(handle_, Wide(from));
        NoteCreated(handle_, Wide(to));
        return;
    }
    const DWORD err = ::GetLastError();
    Fail(ErrorKind::InputOutput, "Cannot rename " + QuotedPath(PathOf(from)) + " to " + QuotedPath(PathOf(to)) + ": " +
                                     (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS
                                          ? std::string("that name already exists")
                                          : ErrorText(err)));
}

void Folder::RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) const {
    CheckEntryName(path_, from);
    CheckEntryName(path_, to);
    if (!::MoveFileExW(EntryPath(handle_, path_, from).c_str(), EntryPath(handle_, path_, to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail(ErrorKind::InputOutput, "Cannot rename " + QuotedPath(PathOf(from)) + " to " + QuotedPath(PathOf(to)) +
                                         ": " + ErrorText(::GetLastError()));
    NoteGone(handle_, Wide(from));
    NoteCreated(handle_, Wide(to));
}

bool Folder::Remove(const std::filesystem::path& name) const noexcept {
    try {
        const std::wstring& n = name.native();
        if (n.empty() || n == L"." || n == L".." || n.find_first_of(L"/\\:") != std::wstring::npos) return false;
        if (!::DeleteFileW(EntryPath(handle_, path_, name).c_str())) return false;
        NoteGone(handle_, Wide(name));
        return true;
    } catch (...) {
        return false;
    }
}

void Folder::SyncAll() const {
    // No call makes a whole file system durable without administrator
    // rights: each file made through this folder is flushed by itself.
    for (const std::wstring& name : CreatedIn(handle_)) {
        const std::filesystem::path entry = PathOf(name);
        const HANDLE h = ::CreateFileW(EntryPath(handle_, path_, name).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_FILE_NOT_FOUND) continue;  // removed again since
            FailIo(entry, "Cannot open to write to disk", err);
        }
        if (!::FlushFileBuffers(h)) {
            const DWORD err = ::GetLastError();
            CloseQuietly(h);
            FailIo(entry, "Writing to disk failed for", err);
        }
        ::CloseHandle(h);
    }
    Sync();
}

void Folder::Sync() const {
    const HANDLE h = ::CreateFileW(FinalPath(AsHandle(handle_), path_).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    // A file system that cannot flush a folder keeps its entries in its
    // journal (renames are made with write-through): nothing to lose.
    if (h == INVALID_HANDLE_VALUE) return;
    const bool ok = ::FlushFileBuffers(h);
    const DWORD err = ::GetLastError();
    ::CloseHandle(h);
    if (!ok && err != ERROR_ACCESS_DENIED && err != ERROR_INVALID_FUNCTION && err != ERROR_INVALID_PARAMETER &&
        err != ERROR_NOT_SUPPORTED)
        FailIo(path_, "Writing to disk failed for the folder", err);
}

std::uint64_t Folder::FreeSpace() const {
    ULARGE_INTEGER available{};
    const std::wstring root = FinalPath(AsHandle(handle_), path_) + L"\\";
    if (!::GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr))
        FailIo(path_, "Cannot read the free space of", ::GetLastError());
    return available.QuadPart;
}

// --- Folders by path ----------------------------------------------------

bool MayCreateIn(const std::filesystem::path& folder) {
    // A missing folder or a read-only volume (a DVD, a write-protected
    // share) says no; access rights are left to the creation itself.
    const HANDLE h = ::CreateFileW(LongPath(folder).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD flags = 0;
    const bool known = ::GetVolumeInformationByHandleW(h, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) != 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool isFolder = ::GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    ::CloseHandle(h);
    return isFolder && !(known && (flags & FILE_READ_ONLY_VOLUME));
}

void MakeFolder(const std::filesystem::path& path) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot make a folder with an empty path");
    CheckNewFolderName(path);
    if (::CreateDirectoryW(LongPath(path).c_str(), nullptr)) return;
    const DWORD err = ::GetLastError();
    const std::string name = QuotedPath(path);
    if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS)
        Fail(ErrorKind::InputOutput, "Cannot make the folder " + name + ": it already exists");
    if (err == ERROR_PATH_NOT_FOUND || err == ERROR_FILE_NOT_FOUND)
        Fail(ErrorKind::PathNotFound, "Path not found: the folder that is to hold " + name + " does not exist");
    FailIo(path, "Cannot make the folder", err);
}

}  // namespace jw::os
