#include "time/StringTools.h"

#include <algorithm>
#include <array>

namespace jw::StringTools {

namespace {

// Code points of bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

char32_t Cp1252At(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) return kHigh[b - 0x80];
    return b;
}

// Decodes the UTF-8 character at text[i] and moves i past it; nullopt (i
// unchanged) when it is not well-formed (overlong, surrogate, cut, past
// U+10FFFF).
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) return ++i, char32_t{b};
    std::size_t len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        len = 2, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + len > text.size()) return std::nullopt;
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    i += len;
    return cp;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) AppendUtf8(out, Cp1252At(static_cast<unsigned char>(c)));
    return out;
}

std::string MixedToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t from = i;
        if (NextUtf8(text, i)) {
            out.append(text.substr(from, i - from));
        } else {
            AppendUtf8(out, Cp1252At(static_cast<unsigned char>(text[i])));
            ++i;
        }
    }
    return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto cp = NextUtf8(text, i);
        if (!cp) return std::nullopt;
        if (*cp < 0x80 || (*cp >= 0xA0 && *cp <= 0xFF)) {
            out.push_back(static_cast<char>(*cp));
            continue;
        }
        const auto* at = std::find(kHigh.begin(), kHigh.end(), *cp);
        if (at == kHigh.end()) return std::nullopt;
        out.push_back(static_cast<char>(0x80 + (at - kHigh.begin())));
    }
    return out;
}

std::string Int64ToString(Scaled64 v) {
    // The numeric value with four decimals ("-0.0005"), then without its
    // separator: integer digits only, no float step on the way.
    std::string text = v.ToDecimalString();
    text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
    return text;
}

}  // namespace jw::StringTools
