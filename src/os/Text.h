// Text at the edges of the programs: inside, every text is UTF-8 (names of
// files included); these give it to and take it from the system.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace jw::os {

// Lets the console show the UTF-8 text the program writes (a unit "°C"
// shows as °C).  Windows: sets the console's output code page to UTF-8 and
// gives the old one back when the program ends; output that goes to a file
// or a pipe is UTF-8 bytes either way.  Elsewhere terminals take UTF-8
// already: nothing to do.
void UseUtf8Console();

// The program's arguments as UTF-8 text.  Windows: read from the wide
// command line, so names outside the system's ANSI code page arrive intact;
// elsewhere argv as it is.
std::vector<std::string> Utf8Arguments(int argc, const char* const* argv);

// A path as UTF-8 text, for messages and output.  POSIX: its bytes.
// Windows: its UTF-16 name as UTF-8 (a path made from UTF-8 text gives that
// text back).
std::string PathText(const std::filesystem::path& p);

}  // namespace jw::os
