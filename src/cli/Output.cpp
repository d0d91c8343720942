#include "cli/Output.h"

#include <algorithm>
#include <cstdint>
#include <fmt/format.h>

#include "os/Text.h"

namespace jw::cli {

namespace {

// Display columns of UTF-8 text: one per character.
std::size_t Columns(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace

std::string DisplayField(std::string_view field) {
    std::size_t end = field.size();
    while (end > 0 && (field[end - 1] == '\0' || field[end - 1] == ' ')) --end;
    // Control characters: C0, DEL, and the five bytes that decode to C1 ones.
    std::string kept(field.substr(0, end));
    for (char& c : kept) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D) c = '?';
    }
    return Cp1252ToUtf8(kept);
}

std::string OutputText(std::string_view text) { return StringTools::MixedToUtf8(text); }

std::string EscapedName(std::string_view name) {
    std::string out;
    for (const char c : OutputText(name)) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            out.push_back(c);
            continue;
        }
        static constexpr char kHex[] = "0123456789abcdef";
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += {'\\', 'x', kHex[u >> 4], kHex[u & 0xF]};
        }
    }
    return out;
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

std::filesystem::path AbsolutePath(const std::string& text) {
    return std::filesystem::absolute(os::PathFromUtf8(text)).lexically_normal();
}

std::string HumanBytes(std::uint64_t n) {
    if (n < 1024) return fmt::format("{} bytes", n);
    if (n < 1024 * 1024) return fmt::format("{:.1f} KiB", static_cast<double>(n) / 1024);
    if (n < 1024ULL * 1024 * 1024) return fmt::format("{:.1f} MiB", static_cast<double>(n) / (1024 * 1024));
    return fmt::format("{:.2f} GiB", static_cast<double>(n) / (1024.0 * 1024 * 1024));
}

}  // namespace jw::cli
