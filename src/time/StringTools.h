// Decimal text of 64-bit integers, quoted text for messages, and the
// Windows-1252 text of trend files as UTF-8.
#pragma once

#include <concepts>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/Errors.h"
#include "time/Scaled64.h"

namespace jw::StringTools {

// The numeric value N / 10,000 formatted with exactly four decimals (a "0"
// before the separator when the whole part is 0, "-" for negatives), with the
// "." removed: the decimal integer N with at least five digits.  Exact for the
// whole 64-bit range: 1234567890 -> "1234567890", 5 -> "00005",
// 0 -> "00000", -12345 -> "-12345", INT64_MIN -> "-9223372036854775808".
std::string Int64ToString(Scaled64 v);

// Decodes Windows-1252 bytes (the 8-bit text of trend files) to UTF-8.  The
// five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// become the C1 control characters of the same number, so every byte maps
// to one character and back.
std::string Cp1252ToUtf8(std::string_view bytes);

// Text that may hold recorded Windows-1252 bytes beside UTF-8 (a message
// quoting a recorded Name next to a path) as UTF-8: every well-formed UTF-8
// sequence is kept, every other byte is read as Windows-1252.
std::string MixedToUtf8(std::string_view text);

// The way back: UTF-8 text as Windows-1252 bytes; nullopt when the text is
// not well-formed UTF-8 or holds a character the code page has no byte for.
std::optional<std::string> Utf8ToCp1252(std::string_view text);

// text in double quotes for messages, control characters shown as \xNN so a
// hostile name cannot break the message's line (base/Errors.h).
using ::jw::Quoted;
// The same for a path (exactly a path: texts take the overload above).
template <class Path>
    requires std::same_as<Path, std::filesystem::path>
std::string Quoted(const Path& path) {
    const std::u8string text = path.u8string();  // the path's own text on every system
    return ::jw::Quoted(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

}  // namespace jw::StringTools
