// Files and folders as the operating system gives them: the one place where
// Joinwright opens, creates, copies, renames and removes files.
//
// Contracts that hold for every call here:
//   - Failures are jw::Error.  FileNotFound / PathNotFound when a name or a
//     folder on the way does not exist, InvalidArgument when the name exists
//     but is not what was asked for (a folder, a device, a FIFO, a symbolic
//     link where links are refused), InputOutput for everything else.  The
//     message names the file (and for a copy both files) and what failed,
//     with the system's own description.
//   - Nothing here ever replaces or truncates an existing file: files are
//     created exclusively, renames refuse an existing target.  The one
//     exception is Folder::RenameReplacing, which puts a finished export in
//     place of the file the operator named.
//   - Inputs are opened for reading only; on Windows with sharing that lets
//     other programs keep reading, writing and renaming them (a trend set
//     that is still being written must never be locked by us).
//   - A Folder is an open handle on a folder.  Every file made through it is
//     created, renamed and removed relative to that handle: once the folder
//     is open, renaming it or putting a link in its place cannot send a
//     single byte elsewhere.  Names given to a Folder are single file names
//     (no separator, not "." or ".."); anything else is InvalidArgument.
//   - Paths are std::filesystem::path (UTF-8 narrow text on POSIX, wide on
//     Windows).  Path() of a handle is kept for messages only and is never
//     used to reach the file again.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace jw::os {

// Which open file this is, independent of its name, and the state its bytes
// were in: two handles with equal Device and Index are the same file; equal
// identities are the same file with the same bytes as far as the system
// tells.  POSIX: st_dev, st_ino, st_size, st_mtim, st_ctim (nanoseconds).
// Windows: volume serial number, file index, size, last-write and change
// time (100-ns ticks).  A file deleted and made again may get its old index
// back (ext4 does), and a rewrite in place may keep its size: the change
// time moves with both.
struct FileIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Index = 0;
    std::uint64_t Size = 0;
    std::int64_t Modified = 0;  // content last written
    std::int64_t Changed = 0;   // content or entry last changed (made, renamed, linked, written)

    // Device and index: the same file, whatever its size now.
    bool SameFile(const FileIdentity& o) const { return Device == o.Device && Index == o.Index; }
    // The same file, and nothing written to it or its entry since.
    bool Unchanged(const FileIdentity& o) const {
        return SameFile(o) && Size == o.Size && Modified == o.Modified && Changed == o.Changed;
    }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Whether the last part of a path may be a symbolic link (folders on the way
// may always be links; the last part is what a swap would replace).
enum class Links { Follow, Refuse };

// The ways a whole-file copy can move bytes, tried in this order.  A set of
// them (bits) limits a copy to those, for tests and benchmarks; ordinary
// callers allow all.
enum class CopyMethod : unsigned {
    Clone = 1,      // the target shares the source's blocks (POSIX ioctl FICLONE; Windows block cloning, ReFS)
    Kernel = 2,     // the system copies without our buffers (POSIX copy_file_range)
    ReadWrite = 4,  // read and write through a buffer: works everywhere
};
using CopyMethods = unsigned;
inline constexpr CopyMethods kAllCopyMethods = 7;
constexpr CopyMethods operator|(CopyMethod a, CopyMethod b) {
    return static_cast<unsigned>(a) | static_cast<unsigned>(b);
}
const char* CopyMethodName(CopyMethod m) noexcept;  // "clone", "kernel copy", "read/write"

struct CopyResult {
    std::uint64_t Bytes = 0;                   // length of the copy (holes included)
    CopyMethod Method = CopyMethod::ReadWrite;  // the method that finished it
};

class Folder;

// An open regular file.  Move-only; the destructor closes without reporting
// (call Close() to see a failure).  Reads and writes are positioned: a File
// has no current position of its own.
class File {
public:
    File() = default;
    ~File();
    File(File&& o) noexcept;
    File& operator=(File&& o) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing regular file for reading only.  The open never
    // blocks (a FIFO put where a file was expected is refused at once, not
    // waited on).  Anything but a regular file is InvalidArgument; with
    // Links::Refuse a symbolic link as the last part is InvalidArgument too.
    static File OpenRead(const std::filesystem::path& path, Links links = Links::Follow);
    // Opens an existing regular file for reading and writing; never creates,
    // never truncates.
    static File OpenReadWrite(const std::filesystem::path& path);
    // Creates a new file for reading and writing.  Any existing entry of
    // that name (a file, a folder, a link, dangling or not) is an
    // InputOutput error saying that it already exists; a link is never
    // followed.
    static File CreateNew(const std::filesystem::path& path);
    // Opens an existing output that is not a regular file (a device such as
    // /dev/null, a FIFO) for writing only, without truncating anything.  A
    // regular file or a folder is InvalidArgument: those are never written
    // in place.  Opening a FIFO waits for its reader, as a shell would.
    static File OpenDevice(const std::filesystem::path& path);

    bool IsOpen() const { return handle_ != kNoHandle; }
    const std::filesystem::path& Path() const { return path_; }

    // Reads up to out.size() bytes at offset; returns how many it got, fewer
    // only at the end of the file.  Interrupted calls are retried.
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
    // Writes all of data at offset, or fails (a full disk is an error, never
    // a short write).
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data);
    // Writes all of data after what was written before, for outputs that
    // have no positions (a device, a FIFO) and for files written front to
    // back.  Same failures as WriteAt.
    void Write(std::span<const std::uint8_t> data);
    std::uint64_t Length() const;
    FileIdentity Identity() const;
    // Makes what was written durable (POSIX fsync, Windows FlushFileBuffers).
    void Sync();
    // Closes; a failure is an InputOutput error.  Closing a closed file does
    // nothing.
    void Close();

private:
    friend class Folder;
    // A file descriptor on POSIX, a HANDLE on Windows; -1 is "none" on both
    // (INVALID_HANDLE_VALUE).
    using Handle = std::intptr_t;
    static constexpr Handle kNoHandle = -1;
    File(Handle h, std::filesystem::path path) : handle_(h), path_(std::move(path)) {}
    // Closes h without reporting (each system's own call).
    static void CloseHandle(Handle h) noexcept;

    Handle handle_ = kNoHandle;
    std::filesystem::path path_;
};

// An open folder: the output folder of a merge, the folder of an export's
// target.  Move-only.
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(Folder&& o) noexcept;
    Folder& operator=(Folder&& o) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // Opens an existing folder.  With Links::Refuse the last part of the
    // path must be the folder itself, not a symbolic link to one
    // (InvalidArgument otherwise); with Links::Follow a link is followed once,
    // now, and the folder it led to is the one held.
    static Folder Open(const std::filesystem::path& path, Links links = Links::Refuse);

    bool IsOpen() const { return handle_ != File::kNoHandle; }
    const std::filesystem::path& Path() const { return path_; }
    // Path() / name, for messages.
    std::filesystem::path PathOf(const std::filesystem::path& name) const;

    // Creates a new file in this folder, for reading and writing, like
    // File::CreateNew.
    File CreateFile(const std::filesystem::path& name) const;

    // Makes a new folder `name` in this folder and opens it.  An existing
    // entry of that name is an InputOutput error saying that it already
    // exists.
    Folder MakeFolder(const std::filesystem::path& name) const;

    // Removes the folder `name` from this folder when it is empty (never
    // anything inside it).  Returns whether it was removed; never throws.
    bool RemoveFolder(const std::filesystem::path& name) const noexcept;

    // Whether the entry `name` of this folder is `folder` itself (not a link
    // to it, not another folder put in its place).  Never throws.
    bool Holds(const std::filesystem::path& name, const Folder& folder) const noexcept;

    // Copies the whole of source (an open file, read through its handle, so
    // its name no longer matters) into a new file `name` created in this
    // folder.  Holes of the source stay holes in the copy, whatever method
    // moves the bytes; methods the file system refuses for these two files
    // pass the work on to the next allowed one.  The source must keep its
    // length while it is copied.  On any failure the target is removed again
    // (only the target: nothing else is touched) and the error names both
    // files.  An interrupt during the copy removes the target as well (see
    // RemoveOnInterrupt).  The copy is handed to the disk as it finishes
    // (POSIX sync_file_range) but is not yet durable: see SyncAll.
    CopyResult CopyFrom(const File& source, const std::filesystem::path& name,
                        CopyMethods methods = kAllCopyMethods) const;

    // Gives the entry `from` (a file, or a folder that no handle holds open)
    // the name `to`, refusing when `to` exists (an InputOutput error saying
    // so); both in this folder.  Windows: with write-through.
    void RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) const;

    // Gives the file `from` the name `to` in one step, replacing a regular
    // file `to` (someone reading `to` sees the old or the new file, never a
    // mix).  For putting a finished export in place.
    void RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) const;

    // Removes the file `name` from this folder, for cleaning up a file this
    // run created.  Returns false when there was nothing to remove or it
    // could not be removed; never throws (cleanup runs while an error is on
    // its way).
    bool Remove(const std::filesystem::path& name) const noexcept;

    // Makes every file created in this folder through this handle, and the
    // folder's own entries, durable: after it returns without error a power
    // loss keeps them all.  POSIX: one syncfs of the folder's file system
    // (which also reports a write-back error of any of those files).
    void SyncAll() const;
    // Makes the folder's entries (names made, renamed, removed) durable.
    void Sync() const;

    // Bytes free for this user on the folder's file system.
    std::uint64_t FreeSpace() const;

private:
    friend class RemoveOnInterrupt;
    // Lets go of the folder's handle h (each system's own call).
    static void CloseHandle(File::Handle h) noexcept;

    File::Handle handle_ = File::kNoHandle;
    std::filesystem::path path_;
};

// Whether this program may create files in `folder` (permissions, a
// read-only file system).  A hint for refusing early: the creation itself
// is still checked.
bool MayCreateIn(const std::filesystem::path& folder);

// Makes a new folder; an existing entry of that name is an InputOutput error
// saying that it already exists, a missing parent PathNotFound.
void MakeFolder(const std::filesystem::path& path);

}  // namespace jw::os
