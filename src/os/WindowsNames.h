// The names a Windows folder cannot hold.  Checked on every system: a merged
// set is meant to go back to a Windows server, and on Windows itself such a
// name, reached through a \\?\ path, would make a file that ordinary tools
// can neither open nor remove.
#pragma once

#include <string>
#include <string_view>

namespace jw::os {

// Empty when a Windows folder can hold a file of this name (one name, no
// folder part); otherwise why not: one of < > : " | ? * \, a dot or blank at
// its end, a device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any
// letter case, with any extension).
std::string WindowsFileNameProblem(std::string_view name);

}  // namespace jw::os
