#include "time/StringTools.h"

#include <algorithm>

namespace jw::StringTools {

std::string Int64ToString(Scaled64 v) {
    // The numeric value with four decimals ("-0.0005"), then without its
    // separator: integer digits only, no float step on the way.
    std::string text = v.ToDecimalString();
    text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
    return text;
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

}  // namespace jw::StringTools
