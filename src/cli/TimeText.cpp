#include "cli/TimeText.h"

#include <charconv>
#include <cstring>

namespace jw::cli {

namespace {

// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDays1601To1970 = 134'774;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

char* Two(char* p, unsigned v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
    return p + 2;
}

}  // namespace

// Howard Hinnant's days_from_civil / civil_from_days.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

StoredTime FromRaw(const TaggedValue& raw) {
    StoredTime t;
    switch (raw.kind()) {
        case TaggedValue::Kind::Long:
            t.Raw = raw.AsLong();
            t.Ticks = CitectToTicks(t.Raw);
            t.IsCitect = true;
            break;
        case TaggedValue::Kind::Currency:
            t.Raw = raw.AsCurrency().Raw();
            t.Ticks = t.Raw;
            break;
        default:
            break;
    }
    return t;
}

char* TickFormatter::Write(std::int64_t ticks, char* out) {
    const std::int64_t day = FloorDiv(ticks, kTicksPerDay);
    if (day != day_) {
        std::int64_t y = 0;
        unsigned m = 0, d = 0;
        CivilFromDays(day - kDays1601To1970, y, m, d);
        char* p = date_;
        if (y < 0) *p++ = '-';
        const std::uint64_t ay = y < 0 ? static_cast<std::uint64_t>(-y) : static_cast<std::uint64_t>(y);
        char digits[24];
        auto r = std::to_chars(digits, digits + sizeof digits, ay);
        for (auto len = r.ptr - digits; len < 4; ++len) *p++ = '0';
        std::memcpy(p, digits, static_cast<std::size_t>(r.ptr - digits));
        p += r.ptr - digits;
        *p++ = '-';
        p = Two(p, m);
        *p++ = '-';
        p = Two(p, d);
        *p++ = ' ';
        dateLength_ = static_cast<std::size_t>(p - date_);
        day_ = day;
    }
    std::memcpy(out, date_, dateLength_);
    char* p = out + dateLength_;
    const auto ms = static_cast<std::uint32_t>((ticks - day * kTicksPerDay) / kTicksPerMillisecond);
    const std::uint32_t secs = ms / 1000;
    p = Two(p, secs / 3600);
    *p++ = ':';
    p = Two(p, secs / 60 % 60);
    *p++ = ':';
    p = Two(p, secs % 60);
    *p++ = '.';
    const std::uint32_t frac = ms % 1000;
    p[0] = static_cast<char>('0' + frac / 100);
    p[1] = static_cast<char>('0' + frac / 10 % 10);
    p[2] = static_cast<char>('0' + frac % 10);
    return p + 3;
}

std::string FormatTicks(std::int64_t ticks, bool withMilliseconds) {
    TickFormatter f;
    char buf[40];
    char* end = f.Write(ticks, buf);
    std::string s(buf, end);
    if (!withMilliseconds) s.resize(s.size() - 4);
    return s;
}

std::string StoredTimeText(const StoredTime& t) {
    if (t.Raw == 0) return {};
    return FormatTicks(t.Ticks, false);
}

std::optional<std::int64_t> ParseTimeText(std::string_view text) {
    // Fixed positions: YYYY-MM-DD[( |T)HH:MM[:SS[.mmm]]]
    auto digits = [&](std::size_t pos, std::size_t n, unsigned& out) {
        if (pos + n > text.size()) return false;
        unsigned v = 0;
        for (std::size_t i = pos; i < pos + n; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            v = v * 10 + static_cast<unsigned>(text[i] - '0');
        }
        out = v;
        return true;
    };
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!digits(0, 4, y) || text.size() < 10 || text[4] != '-' || !digits(5, 2, mo) || text[7] != '-' ||
        !digits(8, 2, d))
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1) return std::nullopt;
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > kDays[mo - 1] + (mo == 2 && leap ? 1 : 0)) return std::nullopt;
    std::size_t pos = 10;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
        if (!digits(pos + 1, 2, h) || pos + 3 >= text.size() || text[pos + 3] != ':' || !digits(pos + 4, 2, mi))
            return std::nullopt;
        pos += 6;
        if (pos < text.size()) {
            if (text[pos] != ':' || !digits(pos + 1, 2, s)) return std::nullopt;
            pos += 3;
            if (pos < text.size()) {
                if (text[pos] != '.' || !digits(pos + 1, 3, ms)) return std::nullopt;
                pos += 4;
            }
        }
        if (pos != text.size() || h > 23 || mi > 59 || s > 59) return std::nullopt;
    }
    const std::int64_t days = DaysFromCivil(y, mo, d) + kDays1601To1970;
    return days * kTicksPerDay + ((static_cast<std::int64_t>(h) * 60 + mi) * 60 + s) * kTicksPerSecond +
           static_cast<std::int64_t>(ms) * kTicksPerMillisecond;
}

}  // namespace jw::cli
