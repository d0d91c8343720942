// POSIX implementation of the binary file handle.
//
// The position is kept here, not in the descriptor: every transfer is a
// pread/pwrite at an absolute offset.  Two buffers sit in front of the
// descriptor, both keyed by absolute offset so that Seek costs nothing:
//   - a read-ahead buffer holding a window of the file as last read;
//   - a write-behind buffer holding one contiguous run of pending bytes.
// They stay coherent: a write also patches the bytes it covers in the
// read-ahead window, and a read that has to go to the descriptor first hands
// the pending writes over, so a read always sees every earlier write.
#include "formats/BinaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#include "base/Errors.h"
#include "time/StringTools.h"

namespace jw {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());

using StringTools::Quoted;

std::string ErrnoText(int err) { return std::generic_category().message(err); }

[[noreturn]] void FailIo(const std::filesystem::path& path, const std::string& what, int err) {
    Fail(ErrorKind::InputOutput, what + " " + Quoted(path) + ": " + ErrnoText(err));
}

// Classifies a failed open of path by errno.
[[noreturn]] void FailOpen(const std::filesystem::path& path, int err) {
    const std::string name = Quoted(path);
    switch (err) {
        case ENOENT: {
            // Tell a missing file from a missing folder on the way to it.
            std::error_code ec;
            const auto parent = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
            if (!std::filesystem::is_directory(parent, ec))
                Fail(ErrorKind::PathNotFound, "Path not found: the folder of " + name + " does not exist");
            Fail(ErrorKind::FileNotFound, "File not found: " + name);
        }
        case ENOTDIR:
            Fail(ErrorKind::PathNotFound, "Path not found: a part of " + name + " is not a folder");
        case EISDIR:
            Fail(ErrorKind::InvalidArgument, "Cannot open " + name + ": it is a folder, not a file");
        case EEXIST:
            Fail(ErrorKind::InputOutput, "Cannot create " + name + ": the file already exists");
        default:
            FailIo(path, "Cannot open", err);
    }
}

}  // namespace

std::string BinaryFile::QuotedName() const { return Quoted(path_); }

BinaryFile::BinaryFile(const std::filesystem::path& path, Mode mode) : path_(path), mode_(mode) {
    if (path.empty()) Fail(ErrorKind::InvalidArgument, "Cannot open a file with an empty path");
    int flags = O_CLOEXEC | O_NONBLOCK;  // O_NONBLOCK: never hang on a FIFO; cleared below
    switch (mode) {
        case Mode::ReadOnly: flags |= O_RDONLY; break;
        case Mode::ReadWrite: flags |= O_RDWR; break;
        case Mode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) FailOpen(path, errno);

    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        FailIo(path, "Cannot examine", err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        Fail(ErrorKind::InvalidArgument, "Cannot open " + Quoted(path) +
                                             (S_ISDIR(st.st_mode) ? ": it is a folder, not a file"
                                                                  : ": it is not a regular file"));
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
        const int err = errno;
        ::close(fd);
        FailIo(path, "Cannot open", err);
    }
    fd_ = fd;
}

BinaryFile::~BinaryFile() {
    if (fd_ < 0) return;
    try {
        FlushBuffer();
    } catch (...) {
        // Destruction cannot report; Close() is the way to see the error.
    }
    ::close(fd_);
    fd_ = -1;
}

BinaryFile::BinaryFile(BinaryFile&& o) noexcept
    : path_(std::move(o.path_)),
      mode_(o.mode_),
      fd_(std::exchange(o.fd_, -1)),
      pos_(o.pos_),
      wbuf_(std::move(o.wbuf_)),
      wbufStart_(o.wbufStart_),
      rbuf_(std::move(o.rbuf_)),
      rbufStart_(o.rbufStart_) {
    o.wbuf_.clear();
    o.rbuf_.clear();
}

BinaryFile& BinaryFile::operator=(BinaryFile&& o) noexcept {
    if (this != &o) {
        BinaryFile old(std::move(*this));  // closes ours at the end of this scope
        path_ = std::move(o.path_);
        mode_ = o.mode_;
        fd_ = std::exchange(o.fd_, -1);
        pos_ = o.pos_;
        wbuf_ = std::move(o.wbuf_);
        wbufStart_ = o.wbufStart_;
        rbuf_ = std::move(o.rbuf_);
        rbufStart_ = o.rbufStart_;
        o.wbuf_.clear();
        o.rbuf_.clear();
    }
    return *this;
}

void BinaryFile::Seek(std::uint64_t pos) {
    if (fd_ < 0) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
    if (pos > kMaxOffset) Fail(ErrorKind::InvalidArgument, "Position " + std::to_string(pos) + " is out of range for " + Quoted(path_));
    pos_ = pos;
}

std::uint64_t BinaryFile::Length() {
    if (fd_ < 0) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        const int err = errno;
        FailIo(path_, "Cannot get the length of", err);
    }
    std::uint64_t length = static_cast<std::uint64_t>(st.st_size);
    if (!wbuf_.empty()) length = std::max<std::uint64_t>(length, wbufStart_ + wbuf_.size());
    return length;
}

std::size_t BinaryFile::Read(std::span<std::uint8_t> out) {
    const std::size_t n = ReadAt(pos_, out);
    pos_ += n;
    return n;
}

std::size_t BinaryFile::ReadAt(std::uint64_t pos, std::span<std::uint8_t> out) {
    if (fd_ < 0) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
    if (pos > kMaxOffset || out.size() > kMaxOffset - pos)
        Fail(ErrorKind::InvalidArgument, "Read at " + std::to_string(pos) + " is out of range for " + Quoted(path_));
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t at = pos + done;
        // From the read-ahead window.
        if (at >= rbufStart_ && at < rbufStart_ + rbuf_.size()) {
            const std::size_t from = static_cast<std::size_t>(at - rbufStart_);
            const std::size_t n = std::min(out.size() - done, rbuf_.size() - from);
            std::memcpy(out.data() + done, rbuf_.data() + from, n);
            done += n;
            continue;
        }
        // From the descriptor: pending writes go first so the read sees them.
        FlushBuffer();
        const std::size_t want = out.size() - done;
        if (want >= kBufferSize) {
            // Large reads bypass the window.
            std::size_t got = 0;
            while (got < want) {
                const ssize_t r = ::pread(fd_, out.data() + done + got, want - got, static_cast<off_t>(at + got));
                if (r < 0) {
                    const int err = errno;
                    if (err == EINTR) continue;
                    FailIo(path_, "Cannot read", err);
                }
                if (r == 0) break;
                got += static_cast<std::size_t>(r);
            }
            return done + got;
        }
        rbuf_.resize(kBufferSize);
        std::size_t got = 0;
        while (got < kBufferSize) {
            const ssize_t r = ::pread(fd_, rbuf_.data() + got, kBufferSize - got, static_cast<off_t>(at + got));
            if (r < 0) {
                if (errno == EINTR) continue;
                const int err = errno;
                Invalidate();
                FailIo(path_, "Cannot read", err);
            }
            if (r == 0) break;
            got += static_cast<std::size_t>(r);
        }
        rbuf_.resize(got);
        rbufStart_ = at;
        if (got == 0) break;  // end of file
    }
    return done;
}

void BinaryFile::Write(std::span<const std::uint8_t> data) {
    if (fd_ < 0) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
    if (mode_ == Mode::ReadOnly)
        Fail(ErrorKind::InputOutput, "Cannot write to " + Quoted(path_) + ": the file is open for reading only");
    if (data.empty()) return;
    if (data.size() > kMaxOffset - pos_)
        Fail(ErrorKind::InvalidArgument, "Write at " + std::to_string(pos_) + " is out of range for " + Quoted(path_));

    // Keep the read-ahead window equal to what the file will hold.
    const std::uint64_t end = pos_ + data.size();
    const std::uint64_t rend = rbufStart_ + rbuf_.size();
    if (!rbuf_.empty() && pos_ < rend && end > rbufStart_) {
        const std::uint64_t lo = std::max(pos_, rbufStart_);
        const std::uint64_t hi = std::min(end, rend);
        std::memcpy(rbuf_.data() + (lo - rbufStart_), data.data() + (lo - pos_), static_cast<std::size_t>(hi - lo));
    }

    // The write-behind buffer holds one contiguous run; a write elsewhere
    // hands the run over first.
    if (!wbuf_.empty() && pos_ != wbufStart_ + wbuf_.size()) FlushBuffer();
    if (wbuf_.size() + data.size() > kBufferSize) FlushBuffer();
    if (data.size() >= kBufferSize) {
        std::size_t put = 0;
        while (put < data.size()) {
            const ssize_t r = ::pwrite(fd_, data.data() + put, data.size() - put, static_cast<off_t>(pos_ + put));
            if (r < 0) {
                const int err = errno;
                if (err == EINTR) continue;
                FailIo(path_, "Cannot write to", err);
            }
            if (r == 0) Fail(ErrorKind::InputOutput, "Cannot write to " + Quoted(path_) + ": nothing was written");
            put += static_cast<std::size_t>(r);
        }
    } else {
        if (wbuf_.empty()) {
            wbuf_.reserve(kBufferSize);
            wbufStart_ = pos_;
        }
        wbuf_.insert(wbuf_.end(), data.begin(), data.end());
    }
    pos_ = end;
}

void BinaryFile::FlushBuffer() {
    if (wbuf_.empty()) return;
    std::size_t put = 0;
    while (put < wbuf_.size()) {
        const ssize_t r = ::pwrite(fd_, wbuf_.data() + put, wbuf_.size() - put, static_cast<off_t>(wbufStart_ + put));
        if (r < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            // Drop what could not be written: the error reports it, and a
            // later flush must not try the same bytes again behind the
            // caller's back.
            wbuf_.clear();
            Invalidate();
            FailIo(path_, "Cannot write to", err);
        }
        if (r == 0) {
            wbuf_.clear();
            Invalidate();
            Fail(ErrorKind::InputOutput, "Cannot write to " + Quoted(path_) + ": nothing was written");
        }
        put += static_cast<std::size_t>(r);
    }
    wbuf_.clear();
}

void BinaryFile::Invalidate() {
    rbuf_.clear();
    rbufStart_ = 0;
}

void BinaryFile::Flush() {
    if (fd_ < 0) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
    FlushBuffer();
}

void BinaryFile::Sync() {
    Flush();
    if (mode_ == Mode::ReadOnly) return;
    if (::fsync(fd_) != 0) {
        const int err = errno;
        FailIo(path_, "Cannot write to disk", err);
    }
}

void BinaryFile::Close() {
    if (fd_ < 0) return;
    std::string failure;
    try {
        FlushBuffer();
    } catch (const Error& e) {
        failure = e.what();
    }
    const int fd = std::exchange(fd_, -1);
    Invalidate();
    wbuf_.clear();
    // close() is not retried on EINTR: on Linux the descriptor is gone either way.
    if (::close(fd) != 0) {
        const int err = errno;
        if (failure.empty() && err != EINTR) FailIo(path_, "Cannot close", err);
    }
    if (!failure.empty()) Fail(ErrorKind::InputOutput, failure);
}

}  // namespace jw
