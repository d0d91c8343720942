// The names a Windows folder cannot hold.  Checked on every system: a merged
// set is meant to go back to a Windows server, and on Windows itself such a
// name, reached through a \\?\ path, would make a file that ordinary tools
// can neither open nor remove.
#pragma once

#include "base/Errors.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace jw::os {

// Empty when a Windows folder can hold a file of this name (one name, no
// folder part); otherwise why not: one of < > : " | ? * \, a dot or blank at
// its end, a device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any
// letter case, with any extension).
std::string WindowsFileNameProblem(std::string_view name);

// Refuses (jw::Error of that kind: "Cannot make the folder <path>: <why>")
// a folder to be made whose own name WindowsFileNameProblem refuses, whatever
// leads to it (a \\?\ path included); a trailing separator is looked through,
// "." and ".." pass (they name folders that exist).  Makes nothing.
void CheckNewFolderName(const std::filesystem::path& folder, ErrorKind kind = ErrorKind::InvalidArgument);

}  // namespace jw::os
