// Decimal text of 64-bit integers.
#pragma once

#include <concepts>
#include <filesystem>
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

// text in double quotes for messages, control characters shown as \xNN so a
// hostile name cannot break the message's line (base/Errors.h).
using ::jw::Quoted;
// The same for a path (exactly a path: texts take the overload above).
template <class Path>
    requires std::same_as<Path, std::filesystem::path>
std::string Quoted(const Path& path) {
    return ::jw::Quoted(std::string_view(path.string()));
}

}  // namespace jw::StringTools
