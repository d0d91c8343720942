// Text at the edges of the programs: inside, every text is UTF-8 (names of
// files included); these give it to and take it from the system.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace jw::os {

// Makes standard output and error carry the program's UTF-8 bytes as they
// are, on a console as in a file or a pipe.  Windows: both streams in binary
// mode (no CR put before each line end: the same bytes as on other
// systems), and the console's output code page set to UTF-8 (a unit "°C"
// shows as °C) and given back when the program ends.  Elsewhere nothing
// needs doing.  Call once, first thing in main.
void PrepareStandardStreams();

// The program's arguments as UTF-8 text.  Windows: read from the wide
// command line, so names outside the system's ANSI code page arrive intact;
// elsewhere argv as it is.
std::vector<std::string> Utf8Arguments(int argc, const char* const* argv);

// A path as UTF-8 text, for messages and output.  POSIX: its bytes.
// Windows: its UTF-16 name as UTF-8 (a path made from UTF-8 text gives that
// text back).
std::string PathText(const std::filesystem::path& p);

}  // namespace jw::os
