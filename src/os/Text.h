// Text at the edges of the programs: inside, every text is UTF-8 (names of
// files included); these give it to and take it from the system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
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

// UTF-8 text (an argument, a text box, a name the program made) as a path,
// the way back from PathText.  Every text that becomes a path goes through
// here: on Windows a path made from a plain narrow string would read it in
// the C library's code page, not as UTF-8.
std::filesystem::path PathFromUtf8(std::string_view text);

}  // namespace jw::os
