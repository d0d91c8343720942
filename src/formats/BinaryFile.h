// A binary file handle: what the format objects take in place of a file
// number.  Its owner (the merge job, the command line, a test) opens and
// closes it; the format objects only read and write at the current position
// or at absolute positions, as their contracts state.
//
// Reads report how many bytes they actually got, so a caller can tell a
// record that lies past the end of the file from one that is there.  Writes
// are buffered; every write, flush and close is checked and a failure is an
// ErrorKind::InputOutput error naming the file.  A read-only handle can never
// write: inputs are opened read-only and stay untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "os/File.h"
#include "os/Text.h"

namespace jw {

class BinaryFile {
public:
    enum class Mode {
        ReadOnly,   // existing file, reading only
        ReadWrite,  // existing file, reading and writing
        CreateNew,  // a new file that must not exist yet (O_EXCL), reading and writing
    };

    // Opens path.  A missing file is ErrorKind::FileNotFound, a missing folder
    // ErrorKind::PathNotFound, a folder or other non-regular file
    // ErrorKind::InvalidArgument, any other failure ErrorKind::InputOutput;
    // each names the path.
    BinaryFile(const std::filesystem::path& path, Mode mode);
    // Takes over a file already opened or created (for example in an open
    // output folder); mode says whether it may be written.
    BinaryFile(os::File file, Mode mode);
    ~BinaryFile();  // closes, ignoring errors: call Close() to see them
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;
    BinaryFile(BinaryFile&&) noexcept;
    BinaryFile& operator=(BinaryFile&&) noexcept;

    const std::filesystem::path& Path() const { return path_; }
    // The path as text for error messages.
    std::string Name() const { return os::PathText(path_); }
    // The path in double quotes, as error messages show it: "C:\x\TREND.HST".
    std::string QuotedName() const;
    bool IsOpen() const { return file_.IsOpen(); }
    bool Writable() const { return mode_ != Mode::ReadOnly; }

    std::uint64_t Position() const { return pos_; }
    void Seek(std::uint64_t pos);
    std::uint64_t Length();  // includes bytes still in the write buffer

    // Reads up to out.size() bytes at the current position and advances by
    // the bytes read; returns that count (short at the end of the file).
    std::size_t Read(std::span<std::uint8_t> out);
    // The same at an absolute position; the current position does not move.
    std::size_t ReadAt(std::uint64_t pos, std::span<std::uint8_t> out);
    // Writes all of data at the current position and advances past it.
    void Write(std::span<const std::uint8_t> data);

    void Flush();  // hands buffered writes to the operating system
    void Sync();   // Flush, then makes them durable (fsync)
    void Close();  // Flush and close; a failure is an error

    // Which file this is (device, index, size as the system sees it now).
    os::FileIdentity Identity() const;

private:
    void FlushBuffer();
    void Invalidate();

    std::filesystem::path path_;
    Mode mode_ = Mode::ReadOnly;
    os::File file_;
    std::uint64_t pos_ = 0;
    // Write-behind buffer: bytes for [wbufStart_, wbufStart_ + wbuf_.size()).
    std::vector<std::uint8_t> wbuf_;
    std::uint64_t wbufStart_ = 0;
    // Read-ahead buffer: bytes of [rbufStart_, rbufStart_ + rbuf_.size()).
    std::vector<std::uint8_t> rbuf_;
    std::uint64_t rbufStart_ = 0;
};

}  // namespace jw
