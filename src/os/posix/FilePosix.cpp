// Files and folders on POSIX: descriptors, openat relative to an open
// folder, renameat2 without replacing, syncfs for a whole set.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <system_error>
#include <utility>

#include "os/File.h"
#include "os/WindowsNames.h"
#include "os/posix/PosixDetail.h"

namespace jw::os {

namespace detail {

std::string QuotedPath(const std::filesystem::path& p) { return Quoted(p.native()); }

std::string ErrnoText(int err) { return std::generic_category().message(err); }

void FailIo(const std::filesystem::path& path, const std::string& what, int err) {
    Fail(ErrorKind::InputOutput, what + " " + QuotedPath(path) + ": " + ErrnoText(err));
}

void FailOpen(const std::filesystem::path& path, int err, bool parentKnown) {
    const std::string name = QuotedPath(path);
    switch (err) {
        case ENOENT: {
            // Tell a missing file from a missing folder on the way to it.
            std::error_code ec;
            const auto parent = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
            if (!parentKnown && !std::filesystem::is_directory(parent, ec))
                Fail(ErrorKind::PathNotFound, "Path not found: the folder of " + name + " does not exist");
            Fail(ErrorKind::FileNotFound, "File not found: " + name);
        }
        case ENOTDIR:
            Fail(ErrorKind::PathNotFound, "Path not found: a part of " + name + " is not a folder");
        case EISDIR:
            Fail(ErrorKind::InvalidArgument, "Cannot open " + name + ": it is a folder, not a file");
        case EEXIST:
            Fail(ErrorKind::InputOutput, "Cannot create " + name + ": the file already exists");
        case ELOOP:
            Fail(ErrorKind::InvalidArgument, "Cannot open " + name + ": it is a symbolic link");
        default:
            FailIo(path, "Cannot open", err);
    }
}

void CheckEntryName(const std::filesystem::path& folder, const std::filesystem::path& name) {
    const std::string& n = name.native();
    if (n.empty() || n == "." || n == ".." || n.find('/') != std::string::npos || n.find('\0') != std::string::npos)
        Fail(ErrorKind::InvalidArgument, "Cannot use " + Quoted(n) + " in the folder " + QuotedPath(folder) +
                                             ": it is not a single file name");
}

void CloseQuietly(int fd) noexcept {
    const int saved = errno;
    if (fd >= 0) ::close(fd);
    errno = saved;
}

}  // namespace detail

using namespace detail;

namespace {

constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());

int OpenRetrying(int dir, const char* name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::openat(dir, name, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Checks that fd is a regular file and takes O_NONBLOCK off again (it only
// kept the open from waiting on a FIFO).  Closes fd on failure.
void RequireRegular(int fd, const std::filesystem::path& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        CloseQuietly(fd);
        FailIo(path, "Cannot examine", err);
    }
    if (!S_ISREG(st.st_mode)) {
        CloseQuietly(fd);
        Fail(ErrorKind::InvalidArgument, "Cannot open " + QuotedPath(path) +
                                             (S_ISDIR(st.st_mode) ? ": it is a folder, not a file"
                                                                  : ": it is not a regular file (a device, a FIFO "
                                                                    "or a socket)"));
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
        const int err = errno;
        CloseQuietly(fd);
        FailIo(path, "Cannot open", err);
    }
}

int Fd(std::intptr_t h) { return static_cast<int>(h); }

}  // namespace

// --- File ---------------------------------------------------------------

void File::CloseHandle(Handle h) noexcept { ::close(Fd(h)); }

File File::OpenRead(const std::filesystem::path& path, Links links) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot open a file with an empty path");
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = OpenRetrying(AT_FDCWD, path.c_str(), flags);
    if (fd < 0) FailOpen(path, errno);
    RequireRegular(fd, path);
    return File(fd, path);
}

File File::OpenReadWrite(const std::filesystem::path& path) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot open a file with an empty path");
    const int fd = OpenRetrying(AT_FDCWD, path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) FailOpen(path, errno);
    RequireRegular(fd, path);
    return File(fd, path);
}

File File::CreateNew(const std::filesystem::path& path) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot create a file with an empty path");
    const int fd = OpenRetrying(AT_FDCWD, path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) FailOpen(path, errno);
    return File(fd, path);
}

File File::OpenDevice(const std::filesystem::path& path) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot open a file with an empty path");
    const int fd = OpenRetrying(AT_FDCWD, path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) FailOpen(path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        CloseQuietly(fd);
        FailIo(path, "Cannot examine", err);
    }
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
        CloseQuietly(fd);
        Fail(ErrorKind::InvalidArgument, "Cannot write " + QuotedPath(path) + " in place: it is " +
                                             (S_ISDIR(st.st_mode) ? "a folder" : "a regular file"));
    }
    return File(fd, path);
}

std::size_t File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    CheckRange("Read at", offset, out.size(), kMaxOffset, path_);
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t r = ::pread(Fd(handle_), out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
        if (r < 0) {
            if (errno == EINTR) continue;
            FailIo(path_, "Cannot read", errno);
        }
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

void File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
    CheckRange("Write at", offset, data.size(), kMaxOffset, path_);
    std::size_t put = 0;
    while (put < data.size()) {
        const ssize_t r =
            ::pwrite(Fd(handle_), data.data() + put, data.size() - put, static_cast<off_t>(offset + put));
        if (r < 0) {
            if (errno == EINTR) continue;
            FailIo(path_, "Cannot write to", errno);
        }
        if (r == 0) Fail(ErrorKind::InputOutput, "Cannot write to " + QuotedPath(path_) + ": nothing was written");
        put += static_cast<std::size_t>(r);
    }
}

void File::Write(std::span<const std::uint8_t> data) {
    std::size_t put = 0;
    while (put < data.size()) {
        const ssize_t r = ::write(Fd(handle_), data.data() + put, data.size() - put);
        if (r < 0) {
            if (errno == EINTR) continue;
            FailIo(path_, "Cannot write to", errno);
        }
        if (r == 0) Fail(ErrorKind::InputOutput, "Cannot write to " + QuotedPath(path_) + ": nothing was written");
        put += static_cast<std::size_t>(r);
    }
}

std::uint64_t File::Length() const { return Identity().Size; }

FileIdentity File::Identity() const {
    struct stat st {};
    if (::fstat(Fd(handle_), &st) != 0) FailIo(path_, "Cannot examine", errno);
    const auto ns = [](const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; };
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

void File::Sync() {
    if (::fsync(Fd(handle_)) != 0) FailIo(path_, "Cannot write to disk", errno);
}

void File::Close() {
    if (handle_ == kNoHandle) return;
    const int fd = Fd(std::exchange(handle_, kNoHandle));
    // close() is not retried on EINTR: on Linux the descriptor is gone either way.
    if (::close(fd) != 0 && errno != EINTR) FailIo(path_, "Cannot close", errno);
}

// --- Folder -------------------------------------------------------------

void Folder::CloseHandle(File::Handle h) noexcept { ::close(Fd(h)); }

Folder Folder::Open(const std::filesystem::path& path, Links links) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot open a folder with an empty path");
    const int fd = OpenRetrying(AT_FDCWD, path.c_str(),
                                O_RDONLY | O_DIRECTORY | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0));
    if (fd < 0) {
        const int err = errno;
        const std::string name = QuotedPath(path);
        if (err == ELOOP) Fail(ErrorKind::InvalidArgument, "Cannot open the folder " + name + ": it is a symbolic link");
        if (err == ENOTDIR) {
            // The folder itself is a link (O_NOFOLLOW with O_DIRECTORY says
            // ENOTDIR) or no folder, or a part on the way is no folder.
            std::error_code ec;
            const auto st = std::filesystem::symlink_status(path, ec);
            if (std::filesystem::is_symlink(st))
                Fail(ErrorKind::InvalidArgument, "Cannot open the folder " + name + ": it is a symbolic link");
            if (std::filesystem::exists(st))
                Fail(ErrorKind::InvalidArgument, "Cannot open the folder " + name + ": it is not a folder");
        }
        if (err == ENOENT) Fail(ErrorKind::PathNotFound, "Path not found: the folder " + name + " does not exist");
        FailOpen(path, err);
    }
    Folder f;
    f.handle_ = fd;
    f.path_ = path;
    return f;
}

File Folder::CreateFile(const std::filesystem::path& name) const {
    CheckEntryName(path_, name);
    const int fd = OpenRetrying(Fd(handle_), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) FailOpen(PathOf(name), errno, true);
    return File(fd, PathOf(name));
}

Folder Folder::MakeFolder(const std::filesystem::path& name) const {
    CheckEntryName(path_, name);
    const std::filesystem::path shown = PathOf(name);
    if (::mkdirat(Fd(handle_), name.c_str(), 0777) != 0) {
        const int err = errno;
        if (err == EEXIST) Fail(ErrorKind::InputOutput, "Cannot make the folder " + QuotedPath(shown) + ": it already exists");
        FailIo(shown, "Cannot make the folder", err);
    }
    const int fd = OpenRetrying(Fd(handle_), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) FailOpen(shown, errno, true);
    Folder f;
    f.handle_ = fd;
    f.path_ = shown;
    return f;
}

bool Folder::RemoveFolder(const std::filesystem::path& name) const noexcept {
    const std::string& n = name.native();
    if (n.empty() || n == "." || n == ".." || n.find('/') != std::string::npos) return false;
    return ::unlinkat(Fd(handle_), n.c_str(), AT_REMOVEDIR) == 0;
}

bool Folder::Holds(const std::filesystem::path& name, const Folder& folder) const noexcept {
    struct stat entry {}, held {};
    return ::fstatat(Fd(handle_), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(Fd(folder.handle_), &held) == 0 && S_ISDIR(entry.st_mode) && entry.st_dev == held.st_dev &&
           entry.st_ino == held.st_ino;
}

void Folder::RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) const {
    CheckEntryName(path_, from);
    CheckEntryName(path_, to);
    const int dir = Fd(handle_);
    if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0) return;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // A file system without RENAME_NOREPLACE: a hard link also refuses
        // an existing name.
        if (::linkat(dir, from.c_str(), dir, to.c_str(), 0) == 0) {
            ::unlinkat(dir, from.c_str(), 0);
            return;
        }
        err = errno;
    }
    Fail(ErrorKind::InputOutput, "Cannot rename " + QuotedPath(PathOf(from)) + " to " + QuotedPath(PathOf(to)) + ": " +
                                     (err == EEXIST ? std::string("that name already exists") : ErrnoText(err)));
}

void Folder::RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) const {
    CheckEntryName(path_, from);
    CheckEntryName(path_, to);
    if (::renameat(Fd(handle_), from.c_str(), Fd(handle_), to.c_str()) != 0)
        Fail(ErrorKind::InputOutput, "Cannot rename " + QuotedPath(PathOf(from)) + " to " + QuotedPath(PathOf(to)) +
                                         ": " + ErrnoText(errno));
}

bool Folder::Remove(const std::filesystem::path& name) const noexcept {
    const std::string& n = name.native();
    if (n.empty() || n == "." || n == ".." || n.find('/') != std::string::npos) return false;
    return ::unlinkat(Fd(handle_), n.c_str(), 0) == 0;
}

void Folder::SyncAll() const {
    if (::syncfs(Fd(handle_)) != 0)
        Fail(ErrorKind::InputOutput, "Writing the file system of " + QuotedPath(path_) + " to disk failed: " +
                                         ErrnoText(errno));
}

void Folder::Sync() const {
    // A file system that cannot sync folders (EINVAL) has nothing to lose.
    if (::fsync(Fd(handle_)) != 0 && errno != EINVAL && errno != EROFS)
        Fail(ErrorKind::InputOutput, "Writing the folder " + QuotedPath(path_) + " to disk failed: " + ErrnoText(errno));
}

std::uint64_t Folder::FreeSpace() const {
    struct statvfs st {};
    if (::fstatvfs(Fd(handle_), &st) != 0) FailIo(path_, "Cannot read the free space of", errno);
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

// --- Folders by path ----------------------------------------------------

bool MayCreateIn(const std::filesystem::path& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

void MakeFolder(const std::filesystem::path& path) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot make a folder with an empty path");
    CheckNewFolderName(path);
    if (::mkdir(path.c_str(), 0777) == 0) return;
    const int err = errno;
    const std::string name = QuotedPath(path);
    if (err == EEXIST) Fail(ErrorKind::InputOutput, "Cannot make the folder " + name + ": it already exists");
    if (err == ENOENT || err == ENOTDIR)
        Fail(ErrorKind::PathNotFound, "Path not found: the folder that is to hold " + name + " does not exist");
    FailIo(path, "Cannot make the folder", err);
}


}  // namespace jw::os
