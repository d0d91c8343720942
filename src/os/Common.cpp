// Parts of the platform layer that are the same on every system.
#include "os/Common.h"
#include "os/File.h"
#include "os/Process.h"
#include "os/Text.h"

#include <string>
#include <utility>

namespace jw::os {

const char* CopyMethodName(CopyMethod m) noexcept {
    switch (m) {
        case CopyMethod::Clone: return "clone";
        case CopyMethod::Kernel: return "kernel copy";
        case CopyMethod::ReadWrite: return "read/write";
    }
    return "?";
}

File::~File() {
    if (handle_ != kNoHandle) CloseHandle(handle_);
}

File::File(File&& o) noexcept : handle_(std::exchange(o.handle_, kNoHandle)), path_(std::move(o.path_)) {}

File& File::operator=(File&& o) noexcept {
    if (this != &o) {
        if (handle_ != kNoHandle) CloseHandle(handle_);
        handle_ = std::exchange(o.handle_, kNoHandle);
        path_ = std::move(o.path_);
    }
    return *this;
}

Folder::~Folder() {
    if (handle_ != File::kNoHandle) CloseHandle(handle_);
}

Folder::Folder(Folder&& o) noexcept : handle_(std::exchange(o.handle_, File::kNoHandle)), path_(std::move(o.path_)) {}

Folder& Folder::operator=(Folder&& o) noexcept {
    if (this != &o) {
        if (handle_ != File::kNoHandle) CloseHandle(handle_);
        handle_ = std::exchange(o.handle_, File::kNoHandle);
        path_ = std::move(o.path_);
    }
    return *this;
}

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::filesystem::path Folder::PathOf(const std::filesystem::path& name) const { return path_ / name; }

RemoveOnInterrupt::~RemoveOnInterrupt() { Dismiss(); }

namespace detail {

void CheckRange(const char* what, std::uint64_t offset, std::size_t length, std::uint64_t maxOffset,
                const std::filesystem::path& path) {
    if (offset > maxOffset || length > maxOffset - offset)
        Fail(ErrorKind::InvalidArgument,
             std::string(what) + " " + std::to_string(offset) + " is out of range for " + QuotedPath(path));
}

void CheckCopiedLength(std::uint64_t before, std::uint64_t after) {
    if (after != before)
        Fail(ErrorKind::InputOutput, "the source changed its length while it was copied (" + std::to_string(before) +
                                         " bytes before, " + std::to_string(after) + " after)");
}

}  // namespace detail

}  // namespace jw::os
