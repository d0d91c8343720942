// Whole-file copies on Windows.
//
// The system's own copy (CopyFileExW with COPY_FILE_FAIL_IF_EXISTS; the
// method "kernel copy") comes first: it never replaces a file, and it brings
// block cloning on file systems that offer it (ReFS) and the server-side
// copy of network shares.
// It reads the source by name, so the name is checked to lead to the very
// file the caller holds open (volume and file index) before and after the
// copy.  When the system cannot copy these files, or only read/write is
// allowed, the bytes go through a buffer from the open handle into a target
// created with CREATE_NEW; a sparse source stays sparse (only its allocated
// ranges are written).  A failed copy leaves no target behind.
#include "os/windows/WindowsDetail.h"  // <windows.h> first

#include <winioctl.h>

#include <algorithm>
#include <vector>

#include "os/File.h"
#include "os/Process.h"

namespace jw::os {

using namespace detail;

namespace {

bool Allowed(CopyMethods methods, CopyMethod m) { return (methods & static_cast<unsigned>(m)) != 0; }

[[noreturn]] void FailStep(const std::string& step, DWORD err) {
    Fail(ErrorKind::InputOutput, step + " failed: " + ErrorText(err));
}

// Whether `name` leads to the file with this identity (no link followed).
bool NameLeadsTo(const std::wstring& name, const FileIdentity& id) {
    const HANDLE h = ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    return ok && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, 0}
               .SameFile(id);
}

bool Exists(const std::wstring& name) { return ::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The system's copy.  False (and no target) when the system cannot copy
// these files; `made` tells whether a target of ours exists.
bool SystemCopy(HANDLE in, const std::filesystem::path& sourcePath, const FileIdentity& source, const std::wstring& to,
                bool& made) {
    const std::wstring from = FinalPath(in, sourcePath);
    if (!NameLeadsTo(from, source))
        Fail(ErrorKind::InvalidArgument, "the source's name no longer leads to the file that was opened");
    BOOL cancel = FALSE;
    if (!::CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, &cancel, COPY_FILE_FAIL_IF_EXISTS)) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS)
            Fail(ErrorKind::InputOutput, "the target already exists (it is never replaced)");
        // The target did not exist before the call: whatever stands there
        // now is an unfinished copy of ours.
        made = Exists(to);
        // The system cannot copy these files: a file system without the
        // call, or a source another program holds open for writing (the
        // system's copy asks for more exclusive access than our handle).
        if (err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION || err == ERROR_CALL_NOT_IMPLEMENTED ||
            err == ERROR_SHARING_VIOLATION) {
            if (made) made = !::DeleteFileW(to.c_str());
            return false;
        }
        FailStep("the system's copy", err);
    }
    made = true;
    // The system's copy takes the source's attributes along; a read-only
    // data file must still become a copy the trend system can write.
    if (const DWORD a = ::GetFileAttributesW(to.c_str()); a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
        if (!::SetFileAttributesW(to.c_str(), a & ~DWORD{FILE_ATTRIBUTE_READONLY}))
            FailStep("making the copy writable", ::GetLastError());
    if (!NameLeadsTo(from, source))
        Fail(ErrorKind::InvalidArgument, "the source was replaced by another file while it was copied");
    return true;
}

// The ranges of the source that hold data: its allocated ranges when it is
// sparse, else all of it.
std::vector<std::pair<std::uint64_t, std::uint64_t>> DataRanges(HANDLE in, std::uint64_t size, bool sparse) {
    if (!sparse || size == 0) return {{0, size}};
    FILE_ALLOCATED_RANGE_BUFFER query{};
    query.FileOffset.QuadPart = 0;
    query.Length.QuadPart = static_cast<LONGLONG>(size);
    std::vector<FILE_ALLOCATED_RANGE_BUFFER> found(64);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (;;) {
        DWORD bytes = 0;
        const BOOL ok = ::DeviceIoControl(in, FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query, found.data(),
                                          static_cast<DWORD>(found.size() * sizeof found[0]), &bytes, nullptr);
        const DWORD err = ok ? ERROR_SUCCESS : ::GetLastError();
        if (!ok && err != ERROR_MORE_DATA) return {{0, size}};  // no map here: everything is data
        const std::size_t n = bytes / sizeof found[0];
        for (std::size_t i = 0; i < n; ++i) {
            const auto from = static_cast<std::uint64_t>(found[i].FileOffset.QuadPart);
            const auto to = std::min(size, from + static_cast<std::uint64_t>(found[i].Length.QuadPart));
            if (from < to) ranges.emplace_back(from, to);
        }
        if (ok || n == 0) return ranges;
        const auto next = static_cast<std::uint64_t>(found[n - 1].FileOffset.QuadPart + found[n - 1].Length.QuadPart);
        query.FileOffset.QuadPart = static_cast<LONGLONG>(next);
        query.Length.QuadPart = static_cast<LONGLONG>(size - std::min(size, next));
        if (next >= size) return ranges;
    }
}

// Copies through a buffer from the open source into a new target.
void ReadWriteCopy(HANDLE in, const std::wstring& to, std::uint64_t size, bool& made) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(in, &info)) FailStep("examining the source", ::GetLastError());
    const HANDLE out = ::CreateFileW(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS)
            Fail(ErrorKind::InputOutput, "the target already exists (it is never replaced)");
        FailStep("creating the target", err);
    }
    made = true;
    try {
        bool sparse = (info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0;
        DWORD unused = 0;
        if (sparse && !::DeviceIoControl(out, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr))
            sparse = false;  // the target's file system has no holes: write them out
        std::vector<char> buffer(std::size_t{1} << 20);
        for (const auto& [from, end] : DataRanges(in, size, sparse)) {
            for (std::uint64_t at = from; at < end;) {
                const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(end - at, buffer.size()));
                OVERLAPPED ro{};
                ro.Offset = static_cast<DWORD>(at), ro.OffsetHigh = static_cast<DWORD>(at >> 32);
                DWORD got = 0;
                if (!::ReadFile(in, buffer.data(), want, &got, &ro)) {
                    const DWORD err = ::GetLastError();
                    if (err != ERROR_HANDLE_EOF) FailStep("read", err);
                }
                if (got == 0) break;  // the source ended early: the length check reports it
                OVERLAPPED wo{};
                wo.Offset = ro.Offset, wo.OffsetHigh = ro.OffsetHigh;
                DWORD put = 0;
                if (!::WriteFile(out, buffer.data(), got, &put, &wo)) FailStep("write", ::GetLastError());
                if (put != got) FailStep("write", ERROR_WRITE_FAULT);
                at += got;
            }
        }
        // The length last: a hole at the end is a length, not data.
        FILE_END_OF_FILE_INFO eof{};
        eof.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
        if (!::SetFileInformationByHandle(out, FileEndOfFileInfo, &eof, sizeof eof))
            FailStep("setting the length of the copy", ::GetLastError());
    } catch (...) {
        CloseQuietly(out);
        throw;
    }
    if (!::CloseHandle(out)) FailStep("closing the copy", ::GetLastError());
}

}  // namespace

CopyResult Folder::CopyFrom(const File& source, const std::filesystem::path& name, CopyMethods methods) const {
    CheckEntryName(path_, name);
    const std::filesystem::path target = PathOf(name);
    const std::string both = "Cannot copy " + QuotedPath(source.Path()) + " to " + QuotedPath(target);
    const HANDLE in = AsHandle(source.handle_);
    bool made = false;
    std::wstring to;
    RemoveOnInterrupt removal(*this, name, "Interrupted: removed the unfinished copy " + QuotedPath(target) + ".");
    const auto dropTarget = [&] {
        if (made) ::DeleteFileW(to.c_str());
        removal.Dismiss();
    };
    return GuardedCopy(
        both,
        [&] {
            to = EntryPath(handle_, path_, name);
            const FileIdentity before = source.Identity();
            CopyResult result{before.Size, CopyMethod::Kernel};
            // Block cloning has no call of its own here: it comes with the
            // system's copy where the file system offers it.
            if (!Allowed(methods, CopyMethod::Kernel) || !SystemCopy(in, source.Path(), before, to, made)) {
                if (!Allowed(methods, CopyMethod::ReadWrite))
                    Fail(ErrorKind::InputOutput, "no allowed copy method works for these files");
                ReadWriteCopy(in, to, before.Size, made);
                result.Method = CopyMethod::ReadWrite;
            }
            CheckCopiedLength(before.Size, source.Identity().Size);
            NoteFileMade(handle_, name);
            removal.Dismiss();
            return result;
        },
        dropTarget);
}

}  // namespace jw::os
