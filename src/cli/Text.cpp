#include "cli/Text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fmt/format.h>

namespace jw::cli {

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

// Display columns of UTF-8 text: one per character.
std::size_t Columns(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

char32_t Cp1252At(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) return kHigh[b - 0x80];
    return b;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) AppendUtf8(out, Cp1252At(static_cast<unsigned char>(c)));
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((b & 0xE0) == 0xC0) {
            len = 2, cp = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3, cp = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4, cp = b & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(len) > n) return false;
        for (int k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(len);
    }
    return true;
}

std::string DisplayField(std::string_view field) {
    std::size_t end = field.size();
    while (end > 0 && (field[end - 1] == '\0' || field[end - 1] == ' ')) --end;
    std::string out;
    out.reserve(end);
    for (std::size_t i = 0; i < end; ++i) {
        const char32_t cp = Cp1252At(static_cast<unsigned char>(field[i]));
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
            out.push_back('?');
        else
            AppendUtf8(out, cp);
    }
    return out;
}

std::string OutputText(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    return Cp1252ToUtf8(text);
}

std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '\t') {
            blank = true;
            continue;
        }
        if (blank && !out.empty() && out.back() != ' ') out.push_back(' ');
        blank = false;
        out.push_back(c);
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    std::size_t start = 0;
    while (start < out.size() && out[start] == ' ') ++start;
    return out.substr(start);
}

std::string TableLines(const std::vector<std::vector<std::string>>& rows,
                       std::initializer_list<std::size_t> rightAligned) {
    std::vector<std::size_t> width;
    for (const auto& row : rows) {
        width.resize(std::max(width.size(), row.size()));
        for (std::size_t k = 0; k < row.size(); ++k) width[k] = std::max(width[k], Columns(row[k]));
    }
    std::string out;
    for (const auto& row : rows) {
        out += "  ";
        for (std::size_t k = 0; k < row.size(); ++k) {
            const bool right = std::find(rightAligned.begin(), rightAligned.end(), k) != rightAligned.end();
            const bool last = k + 1 == row.size();
            const std::size_t pad = width[k] - Columns(row[k]);
            if (right) out.append(pad, ' ');
            out += row[k];
            if (!right && !last) out.append(pad, ' ');
            if (!last) out += "  ";
        }
        out += '\n';
    }
    return out;
}

std::string HumanBytes(std::uint64_t n) {
    if (n < 1024) return fmt::format("{} bytes", n);
    if (n < 1024 * 1024) return fmt::format("{:.1f} KiB", static_cast<double>(n) / 1024);
    if (n < 1024ULL * 1024 * 1024) return fmt::format("{:.1f} MiB", static_cast<double>(n) / (1024 * 1024));
    return fmt::format("{:.2f} GiB", static_cast<double>(n) / (1024.0 * 1024 * 1024));
}

}  // namespace jw::cli
