// A console program's text in and out as UTF-8, on every system.
#pragma once

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

}  // namespace jw::os
