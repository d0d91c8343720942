// Helpers shared by the POSIX files of the platform layer.
#pragma once

#include <filesystem>
#include <string>

#include "base/Errors.h"
#include "os/Common.h"

namespace jw::os::detail {

std::string ErrnoText(int err);

// "<what> "<path>": <system's description>" as an InputOutput error.
[[noreturn]] void FailIo(const std::filesystem::path& path, const std::string& what, int err);

// A failed open or create of path, classified by errno (see os/File.h).
// parentKnown: the folder holding it is open, so a missing entry is the
// file itself.
[[noreturn]] void FailOpen(const std::filesystem::path& path, int err, bool parentKnown = false);

// Refuses a name that is not one entry of a folder.
void CheckEntryName(const std::filesystem::path& folder, const std::filesystem::path& name);

// Closes fd, keeping errno of the failure being reported.
void CloseQuietly(int fd) noexcept;

}  // namespace jw::os::detail
