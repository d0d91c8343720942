// The binary file handle on top of the platform layer's file.
//
// The position is kept here: every transfer is a positioned read or write
// at an absolute offset.  Two buffers sit in front of the file, both keyed
// by absolute offset so that Seek costs nothing:
//   - a read-ahead buffer holding a window of the file as last read;
//   - a write-behind buffer holding one contiguous run of pending bytes.
// They stay coherent: a write also patches the bytes it covers in the
// read-ahead window, and a read that has to go to the file first hands
// the pending writes over, so a read always sees every earlier write.
#include "formats/BinaryFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "base/Errors.h"
#include "os/Text.h"

namespace jw {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

std::string Quoted(const std::filesystem::path& p) { return jw::Quoted(os::PathText(p)); }

}  // namespace

std::string BinaryFile::QuotedName() const { return Quoted(path_); }

namespace {

os::File OpenFile(const std::filesystem::path& path, BinaryFile::Mode mode) {
    switch (mode) {
        case BinaryFile::Mode::ReadOnly: return os::File::OpenRead(path);
        case BinaryFile::Mode::ReadWrite: return os::File::OpenReadWrite(path);
        case BinaryFile::Mode::CreateNew: break;
    }
    return os::File::CreateNew(path);
}

}  // namespace

BinaryFile::BinaryFile(const std::filesystem::path& path, Mode mode)
    : path_(path), mode_(mode), file_(OpenFile(path, mode)) {}

BinaryFile::BinaryFile(os::File file, Mode mode) : path_(file.Path()), mode_(mode), file_(std::move(file)) {}

BinaryFile::~BinaryFile() {
    if (!file_.IsOpen()) return;
    try {
        FlushBuffer();
    } catch (...) {
        // Destruction cannot report; Close() is the way to see the error.
    }
}

BinaryFile::BinaryFile(BinaryFile&& o) noexcept
    : path_(std::move(o.path_)),
      mode_(o.mode_),
      file_(std::move(o.file_)),
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
        file_ = std::move(o.file_);
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
    if (!file_.IsOpen()) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
    if (pos > kMaxOffset) Fail(ErrorKind::InvalidArgument, "Position " + std::to_string(pos) + " is out of range for " + Quoted(path_));
    pos_ = pos;
}

std::uint64_t BinaryFile::Length() {
    if (!file_.IsOpen()) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
    std::uint64_t length = file_.Length();
    if (!wbuf_.empty()) length = std::max<std::uint64_t>(length, wbufStart_ + wbuf_.size());
    return length;
}

std::size_t BinaryFile::Read(std::span<std::uint8_t> out) {
    const std::size_t n = ReadAt(pos_, out);
    pos_ += n;
    return n;
}

std::size_t BinaryFile::ReadAt(std::uint64_t pos, std::span<std::uint8_t> out) {
    if (!file_.IsOpen()) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
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
        // From the file: pending writes go first so the read sees them.
        FlushBuffer();
        const std::size_t want = out.size() - done;
        if (want >= kBufferSize) {
            // Large reads bypass the window.
            return done + file_.ReadAt(at, out.subspan(done));
        }
        rbuf_.resize(kBufferSize);
        std::size_t got = 0;
        try {
            got = file_.ReadAt(at, rbuf_);
        } catch (...) {
            Invalidate();
            throw;
        }
        rbuf_.resize(got);
        rbufStart_ = at;
        if (got == 0) break;  // end of file
    }
    return done;
}

void BinaryFile::Write(std::span<const std::uint8_t> data) {
    if (!file_.IsOpen()) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
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
        file_.WriteAt(pos_, data);
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
    try {
        file_.WriteAt(wbufStart_, wbuf_);
    } catch (...) {
        // Drop what could not be written: the error reports it, and a later
        // flush must not try the same bytes again behind the caller's back.
        wbuf_.clear();
        Invalidate();
        throw;
    }
    wbuf_.clear();
}

void BinaryFile::Invalidate() {
    rbuf_.clear();
    rbufStart_ = 0;
}

void BinaryFile::Flush() {
    if (!file_.IsOpen()) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
    FlushBuffer();
}

void BinaryFile::Sync() {
    Flush();
    if (mode_ == Mode::ReadOnly) return;
    file_.Sync();
}

void BinaryFile::Close() {
    if (!file_.IsOpen()) return;
    std::string failure;
    try {
        FlushBuffer();
    } catch (const Error& e) {
        failure = e.what();
    }
    Invalidate();
    wbuf_.clear();
    try {
        file_.Close();
    } catch (const Error& e) {
        if (failure.empty()) failure = e.what();
    }
    if (!failure.empty()) Fail(ErrorKind::InputOutput, failure);
}

os::FileIdentity BinaryFile::Identity() const {
    if (!file_.IsOpen()) Fail(ErrorKind::InputOutput, "File " + Quoted(path_) + " is not open");
    return file_.Identity();
}

}  // namespace jw
