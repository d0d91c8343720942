// Text of trend files on a UTF-8 terminal and in JSON.
//
// Text fields of trend files are 8-bit Windows-1252 (the ANSI code page of
// the Citect machines that wrote them), fixed width, padded with NULs or
// blanks.  JSON must be valid UTF-8 (nlohmann's dump throws otherwise), and a
// terminal shows UTF-8, so every field is decoded before it leaves the
// program.  Trailing NULs and blanks are dropped for display only; JSON
// carries the whole field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "time/StringTools.h"

namespace jw::cli {

using StringTools::Cp1252ToUtf8;

// A fixed-width field for display: trailing NULs and blanks dropped, decoded,
// and every remaining control character shown as "?" so a corrupt field
// cannot move the terminal's cursor.
std::string DisplayField(std::string_view field);

// A host path or message for output: its UTF-8 kept, any other byte read as
// Windows-1252 (messages quote recorded Names beside paths).
std::string OutputText(std::string_view text);

// A file or folder named on the command line (UTF-8 text), made absolute
// and normal.
std::filesystem::path AbsolutePath(const std::string& text);

// A byte count for people: "512 bytes", "1.5 KiB", "3.2 MiB", "1.25 GiB".
std::string HumanBytes(std::uint64_t n);

// A file name for one line of a table or list: OutputText, with every control
// character written as an escape ("\n", "\r", "\t", else "\xNN"), so that a
// line break in a name cannot break the line.
std::string EscapedName(std::string_view name);

// One line: CR, LF and tab runs become a single blank; surrounding blanks go.
std::string OneLine(std::string_view text);

// Rows of display cells as table lines: each indented by two blanks, the
// cells two blanks apart and their columns as wide as their widest cell
// (counted in characters).  Columns listed in rightAligned are padded on the
// left, the others on the right; the last cell of a line is not padded.
std::string TableLines(const std::vector<std::vector<std::string>>& rows,
                       std::initializer_list<std::size_t> rightAligned);

}  // namespace jw::cli
