// Whole-file copies on POSIX.  The target is created exclusively in the
// open folder; the source is read through its open descriptor only.
//
// A clone (ioctl FICLONE) shares the source's blocks and takes no time or
// space; file systems without it refuse at once.  Otherwise the source's
// data ranges (SEEK_DATA / SEEK_HOLE) are copied one by one, by
// copy_file_range where the kernel takes it for these two files, else by
// read and write, and the length is set last: a hole of the source is never
// written, so it stays a hole in the copy whichever method moved the data.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "os/File.h"
#include "os/Process.h"
#include "os/posix/PosixDetail.h"

namespace jw::os {

using namespace detail;

namespace {

[[noreturn]] void FailStep(const char* step, int err) {
    Fail(ErrorKind::InputOutput, std::string(step) + " failed: " + ErrnoText(err));
}

bool Allowed(CopyMethods methods, CopyMethod m) { return (methods & static_cast<unsigned>(m)) != 0; }

// Moves the bytes of one open source into one freshly created target.
class Copier {
public:
    Copier(int in, int out, std::uint64_t size, CopyMethods methods)
        : in_(in), out_(out), size_(size), methods_(methods), kernel_(Allowed(methods, CopyMethod::Kernel)) {}

    CopyResult Run() {
        if (Allowed(methods_, CopyMethod::Clone) && Clone()) return {size_, CopyMethod::Clone};
        if (!kernel_ && !Allowed(methods_, CopyMethod::ReadWrite))
            Fail(ErrorKind::InputOutput, "no allowed copy method works for these files");
        std::uint64_t at = 0;
        while (at < size_) {
            std::uint64_t data = 0, hole = 0;
            if (!NextData(at, data, hole)) break;
            CopyRange(data, hole);
            at = hole;
        }
        // The length last: a hole at the end is a length, not data.
        if (::ftruncate(out_, static_cast<off_t>(size_)) != 0) FailStep("setting the length of the copy", errno);
        return {size_, usedReadWrite_ || !kernel_ ? CopyMethod::ReadWrite : CopyMethod::Kernel};
    }

private:
    bool Clone() {
        while (::ioctl(out_, FICLONE, in_) != 0) {
            const int err = errno;
            if (err == EINTR) continue;
            // No clones for these files: a file system without them (ext4,
            // tmpfs), two file systems or mounts, a kernel without the call.
            // Nothing has been written to the target.
            if (err == EOPNOTSUPP || err == ENOTSUP || err == EXDEV || err == EINVAL || err == ENOTTY ||
                err == ENOSYS)
                return false;
            FailStep("clone (FICLONE)", err);
        }
        return true;
    }

    // The next range [data, hole) of the source holding data at or after
    // `at`, within the length seen at the start; false when only a hole is left.
    bool NextData(std::uint64_t at, std::uint64_t& data, std::uint64_t& hole) {
        const off_t d = ::lseek(in_, static_cast<off_t>(at), SEEK_DATA);
        if (d < 0) {
            if (errno == ENXIO) return false;  // nothing but a hole up to the end
            if (errno != EINVAL && errno != EOPNOTSUPP) FailStep("finding the data of the source", errno);
            // No data/hole map here: everything is data.
            data = at;
            hole = size_;
            return true;
        }
        const off_t h = ::lseek(in_, d, SEEK_HOLE);
        if (h < 0) FailStep("finding the holes of the source", errno);
        data = static_cast<std::uint64_t>(d);
        hole = std::min(static_cast<std::uint64_t>(h), size_);
        return data < hole;
    }

    void CopyRange(std::uint64_t from, std::uint64_t to) {
        std::uint64_t at = from;
        while (at < to) {
            if (kernel_) {
                auto inOff = static_cast<off64_t>(at);
                auto outOff = static_cast<off64_t>(at);
                // One call moves at most this much, so no request is huge.
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(to - at, 1u << 30));
                const ssize_t n = ::copy_file_range(in_, &inOff, out_, &outOff, want, 0);
                if (n > 0) {
                    at += static_cast<std::uint64_t>(n);
                    continue;
                }
                const int err = n == 0 ? 0 : errno;
                if (err == EINTR) continue;
                // The kernel cannot do it for these files (two file systems,
                // an old kernel, a file system without the operation; some
                // report an early end of file instead of refusing):
                // read/write carries on from here.
                if (err == 0 || err == EXDEV || err == ENOSYS || err == EOPNOTSUPP || err == ENOTSUP || err == EINVAL) {
                    kernel_ = false;
                    if (!Allowed(methods_, CopyMethod::ReadWrite))
                        Fail(ErrorKind::InputOutput, "no allowed copy method works for these files");
                    continue;
                }
                FailStep("copy_file_range", err);
            }
            if (!ReadWrite(at, to)) return;  // the source ended early: the length check reports it
        }
    }

    // Copies one buffer's worth at `at`; false at the end of the source.
    bool ReadWrite(std::uint64_t& at, std::uint64_t to) {
        usedReadWrite_ = true;
        if (buffer_.empty()) buffer_.resize(std::size_t{1} << 20);
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(to - at, buffer_.size()));
        ssize_t got;
        do {
            got = ::pread(in_, buffer_.data(), want, static_cast<off_t>(at));
        } while (got < 0 && errno == EINTR);
        if (got < 0) FailStep("read", errno);
        if (got == 0) return false;
        ssize_t put = 0;
        while (put < got) {
            const ssize_t w = ::pwrite(out_, buffer_.data() + put, static_cast<std::size_t>(got - put),
                                       static_cast<off_t>(at + static_cast<std::uint64_t>(put)));
            if (w < 0) {
                if (errno == EINTR) continue;
                FailStep("write", errno);
            }
            if (w == 0) FailStep("write", EIO);
            put += w;
        }
        at += static_cast<std::uint64_t>(got);
        return true;
    }

    int in_, out_;
    std::uint64_t size_;
    CopyMethods methods_;
    bool kernel_;
    bool usedReadWrite_ = false;
    std::vector<char> buffer_;
};

}  // namespace

CopyResult Folder::CopyFrom(const File& source, const std::filesystem::path& name, CopyMethods methods) const {
    CheckEntryName(path_, name);
    const std::filesystem::path target = PathOf(name);
    const std::string both = "Cannot copy " + QuotedPath(source.Path()) + " to " + QuotedPath(target);
    const FileIdentity before = source.Identity();

    int out;
    do {
        out = ::openat(static_cast<int>(handle_), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       0666);
    } while (out < 0 && errno == EINTR);
    if (out < 0) {
        const int err = errno;
        Fail(ErrorKind::InputOutput, both + (err == EEXIST ? std::string(": the target already exists (it is never replaced)")
                                                           : ": the target cannot be created: " + ErrnoText(err)));
    }
    RemoveOnInterrupt removal(*this, name, "Interrupted: removed the unfinished copy " + QuotedPath(target) + ".");
    const auto dropTarget = [&] {
        CloseQuietly(std::exchange(out, -1));
        Remove(name);
        removal.Dismiss();
    };
    return GuardedCopy(
        both,
        [&] {
            const CopyResult result = Copier(static_cast<int>(source.handle_), out, before.Size, methods).Run();
            CheckCopiedLength(before.Size, source.Identity().Size);
            // Start writing the copy back now, so the disk works while the
            // next file is copied and the flush at the end finds little left
            // to do.  Only a hint; an error already known (a full disk) is
            // reported.
            if (::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE) != 0 && (errno == EIO || errno == ENOSPC))
                FailStep("writing the copy to disk", errno);
            const int fd = std::exchange(out, -1);
            if (::close(fd) != 0 && errno != EINTR) FailStep("closing the copy", errno);
            removal.Dismiss();
            return result;
        },
        dropTarget);
}

}  // namespace jw::os
