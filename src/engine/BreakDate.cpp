// Reading the break date the operator types, and comparing days with it.
#include <cctype>

#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "time/StringTools.h"
#include "base/Errors.h"

namespace jw {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a run of 1..maxDigits digits at text[pos]; advances pos.
std::optional<int> Digits(std::string_view text, std::size_t& pos, std::size_t minDigits, std::size_t maxDigits) {
    std::size_t n = 0;
    int value = 0;
    while (pos + n < text.size() && IsDigit(text[pos + n]) && n < maxDigits) {
        value = value * 10 + (text[pos + n] - '0');
        ++n;
    }
    if (n < minDigits) return std::nullopt;
    pos += n;
    return value;
}

// Years before 100 are no dates anywhere in the trend files' time
// conversions, so "12-31-0099" is refused rather than read as the year 99.
std::optional<std::chrono::year_month_day> MakeDate(int y, int m, int d) {
    if (y < 100) return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(y), std::chrono::month(static_cast<unsigned>(m)),
                                           std::chrono::day(static_cast<unsigned>(d))};
    if (!date.ok()) return std::nullopt;
    return date;
}

// yyyy-mm-dd
std::optional<std::chrono::year_month_day> ReadYearFirst(std::string_view t) {
    if (t.size() != 10 || t[4] != '-' || t[7] != '-') return std::nullopt;
    std::size_t pos = 0;
    const auto y = Digits(t, pos, 4, 4);
    pos = 5;
    const auto m = Digits(t, pos, 2, 2);
    pos = 8;
    const auto d = Digits(t, pos, 2, 2);
    if (!y || !m || !d) return std::nullopt;
    return MakeDate(*y, *m, *d);
}

// m-d-yyyy, m/d/yyyy, m.d.yyyy (one- or two-digit month and day, the same
// separator twice, a four-digit year or a two-digit one meaning 1930..2029).
std::optional<std::chrono::year_month_day> ReadMonthFirst(std::string_view t) {
    std::size_t pos = 0;
    const auto m = Digits(t, pos, 1, 2);
    if (!m || pos >= t.size()) return std::nullopt;
    const char sep = t[pos];
    if (sep != '-' && sep != '/' && sep != '.') return std::nullopt;
    ++pos;
    const auto d = Digits(t, pos, 1, 2);
    if (!d || pos >= t.size() || t[pos] != sep) return std::nullopt;
    ++pos;
    const std::size_t yearStart = pos;
    auto y = Digits(t, pos, 2, 4);
    if (!y || pos != t.size()) return std::nullopt;
    const std::size_t yearDigits = pos - yearStart;
    if (yearDigits == 3) return std::nullopt;
    if (yearDigits == 2) *y += (*y >= 30 ? 1900 : 2000);
    return MakeDate(*y, *m, *d);
}

}  // namespace

std::optional<std::chrono::year_month_day> ParseBreakDate(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    if (auto d = ReadYearFirst(text)) return d;
    return ReadMonthFirst(text);
}

std::int16_t CompareToBreakDate(std::chrono::year_month_day breakDate, std::chrono::year_month_day day) {
    if (breakDate > day) return 1;
    if (breakDate < day) return 2;
    return 3;
}

}  // namespace jw
