// Whole-file copies into the output folder.  The target is always created
// exclusively, so a copy never replaces a file; the source is only read.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/TrendTools.h"
#include "base/Errors.h"

namespace jw {

namespace {

std::string Both(const CopyJob& job) {
    return "cannot copy " + job.From->string() + " to " + job.To->string();
}

[[noreturn]] void FailErrno(const CopyJob& job, const char* step, int err) {
    Fail(ErrorKind::InputOutput, Both(job) + ": " + step + " failed: " + std::strerror(err));
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now; returns 0 or the errno of a failed close.
    int Close() {
        int err = 0;
        if (fd_ >= 0 && ::close(fd_) != 0) err = errno;
        fd_ = -1;
        return err;
    }

private:
    int fd_;
};

}  // namespace

CopyMethod::Outcome ReflinkClone::Copy(CopyJob& job) {
    // A clone replaces the target's whole contents; after another method has
    // copied part of the file it would add nothing.
    if (job.Done != 0) return Outcome::NotSupported;
    while (::ioctl(job.Target, FICLONE, job.Source) != 0) {
        const int err = errno;
        if (err == EINTR) continue;
        // No clones here: a file system without them (ext4, tmpfs), the two
        // files on different file systems or mounts, or a kernel without the
        // call.  Nothing has been written to the target.
        if (err == EOPNOTSUPP || err == ENOTSUP || err == EXDEV || err == EINVAL || err == ENOTTY ||
            err == ENOSYS)
            return Outcome::NotSupported;
        FailErrno(job, "clone (FICLONE)", err);
    }
    // The clone took the source as it is now; the copier compares this with
    // the length it saw when it opened the source.
    struct stat st {};
    if (::fstat(job.Target, &st) != 0) FailErrno(job, "stat of the target", errno);
    job.Done = static_cast<std::uint64_t>(st.st_size);
    return Outcome::Done;
}

CopyMethod::Outcome KernelRangeCopy::Copy(CopyJob& job) {
    // One call moves at most this much, so progress is never stuck on a huge request.
    constexpr std::size_t kChunk = std::size_t{1} << 30;
    for (;;) {
        auto inOff = static_cast<off64_t>(job.Done);
        auto outOff = static_cast<off64_t>(job.Done);
        const ssize_t n = ::copy_file_range(job.Source, &inOff, job.Target, &outOff, kChunk, 0);
        if (n > 0) {
            job.Done += static_cast<std::uint64_t>(n);
            continue;
        }
        // Some file systems report an end of file at once instead of
        // refusing; let the next method check and carry on.
        if (n == 0) return job.Done < job.Size ? Outcome::NotSupported : Outcome::Done;
        const int err = errno;
        if (err == EINTR) continue;
        // The kernel or file system cannot do it for these two files (other
        // file systems, an old kernel, a file system without the operation;
        // some refuse with EINVAL before any byte has moved).
        if (err == EXDEV || err == ENOSYS || err == EOPNOTSUPP || err == ENOTSUP ||
            (err == EINVAL && job.Done == 0))
            return Outcome::NotSupported;
        FailErrno(job, "copy_file_range", err);
    }
}

CopyMethod::Outcome ReadWriteCopy::Copy(CopyJob& job) {
    std::vector<char> buffer(std::size_t{1} << 20);
    for (;;) {
        const ssize_t got = ::pread(job.Source, buffer.data(), buffer.size(), static_cast<off_t>(job.Done));
        if (got < 0) {
            if (errno == EINTR) continue;
            FailErrno(job, "read", errno);
        }
        if (got == 0) return Outcome::Done;
        ssize_t put = 0;
        while (put < got) {
            const ssize_t w = ::pwrite(job.Target, buffer.data() + put, static_cast<std::size_t>(got - put),
                                       static_cast<off_t>(job.Done + static_cast<std::uint64_t>(put)));
            if (w < 0) {
                if (errno == EINTR) continue;
                FailErrno(job, "write", errno);
            }
            if (w == 0) FailErrno(job, "write", EIO);
            put += w;
        }
        job.Done += static_cast<std::uint64_t>(got);
    }
}

ChainedFileCopier::ChainedFileCopier(std::vector<std::unique_ptr<CopyMethod>> methods)
    : methods_(std::move(methods)) {}

void ChainedFileCopier::Copy(const std::filesystem::path& from, const std::filesystem::path& to) {
    CopyJob job;
    job.From = &from;
    job.To = &to;

    Descriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0) {
        const int err = errno;
        Fail(err == ENOENT ? ErrorKind::FileNotFound : ErrorKind::InputOutput,
             Both(job) + ": the source cannot be opened: " + std::strerror(err));
    }
    struct stat st {};
    if (::fstat(source.get(), &st) != 0) FailErrno(job, "stat of the source", errno);
    if (!S_ISREG(st.st_mode)) Fail(ErrorKind::InvalidArgument, Both(job) + ": the source is not a regular file");

    Descriptor target(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (target.get() < 0) {
        const int err = errno;
        Fail(ErrorKind::InputOutput, Both(job) + (err == EEXIST ? ": the target already exists (it is never replaced)"
                                                                : std::string(": the target cannot be created: ") +
                                                                      std::strerror(err)));
    }
    job.Size = static_cast<std::uint64_t>(st.st_size);
    job.Source = source.get();
    job.Target = target.get();

    try {
        bool done = false;
        for (const auto& method : methods_) {
            if (method->Copy(job) == CopyMethod::Outcome::Done) {
                done = true;
                break;
            }
        }
        if (!done) Fail(ErrorKind::InputOutput, Both(job) + ": no copy method works for these files");
        if (job.Done != job.Size)
            Fail(ErrorKind::InputOutput, Both(job) + ": the source changed its length while it was copied (" +
                                             std::to_string(job.Size) + " bytes before, " +
                                             std::to_string(job.Done) + " copied)");
        if (const int err = target.Close(); err != 0) FailErrno(job, "close of the target", err);
    } catch (const Error& e) {
        // Only the file this call created goes; the source is left alone.
        target.Close();
        ::unlink(to.c_str());
        const std::string text = e.what();
        if (text.rfind(Both(job), 0) == 0) throw;
        Fail(e.kind(), Both(job) + ": " + text);
    } catch (...) {
        target.Close();
        ::unlink(to.c_str());
        throw;
    }
}

std::vector<std::unique_ptr<CopyMethod>> DefaultCopyMethods() {
    std::vector<std::unique_ptr<CopyMethod>> methods;
    methods.push_back(std::make_unique<ReflinkClone>());
    methods.push_back(std::make_unique<KernelRangeCopy>());
    methods.push_back(std::make_unique<ReadWriteCopy>());
    return methods;
}

FileCopier& DefaultFileCopier() {
    static ChainedFileCopier copier(DefaultCopyMethods());
    return copier;
}

}  // namespace jw
