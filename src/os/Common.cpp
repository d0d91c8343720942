// Parts of the platform layer that are the same on every system.
#include "os/File.h"
#include "os/Text.h"

namespace jw::os {

const char* CopyMethodName(CopyMethod m) noexcept {
    switch (m) {
        case CopyMethod::Clone: return "clone";
        case CopyMethod::Kernel: return "kernel copy";
        case CopyMethod::ReadWrite: return "read/write";
    }
    return "?";
}

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::filesystem::path Folder::PathOf(const std::filesystem::path& name) const { return path_ / name; }

}  // namespace jw::os
