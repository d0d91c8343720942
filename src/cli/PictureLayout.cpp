#include "cli/PictureLayout.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include <fmt/format.h>

#include "time/DateTimeTools.h"

namespace jw::cli::detail {

namespace {

using DateTimeTools::kTicksPerDay;
using DateTimeTools::kTicksPerSecond;
constexpr std::int64_t kHour = 3600 * kTicksPerSecond;

static_assert(DateTimeTools::kCalendarTicksEnd - 1 == 2'650'467'743'999'999'999);

// The first multiple of step after t (step > 0).
std::int64_t NextMultiple(std::int64_t t, std::int64_t step) {
    const std::int64_t r = t % step;
    return t - r + (r < 0 ? 0 : step);
}

// A tick's text: 0 to the minute, 1 to the day, 2 to the month, else the year.
std::string TickLabel(std::int64_t t, int precision) {
    const DateTimeTools::CivilTime c = DateTimeTools::TicksToCivil(t);
    const int year = static_cast<int>(c.date.year());
    const unsigned month = static_cast<unsigned>(c.date.month());
    switch (precision) {
        case 0: return fmt::format("{} {:02}:{:02}", DateTimeTools::FormatDate(c.date), c.hour, c.minute);
        case 1: return DateTimeTools::FormatDate(c.date);
        case 2: return fmt::format("{:04}-{:02}", year, month);
        default: return fmt::format("{:04}", year);
    }
}

// Fixed steps up to a fortnight; nullopt when each gives too many ticks.
std::optional<std::vector<Tick>> FixedTicks(std::int64_t from, std::int64_t to) {
    for (const std::int64_t step : {kHour, 3 * kHour, 6 * kHour, 12 * kHour, kTicksPerDay, 2 * kTicksPerDay,
                                    7 * kTicksPerDay, 14 * kTicksPerDay}) {
        if ((to - from) / step >= static_cast<std::int64_t>(kMaxTicks)) continue;
        std::vector<Tick> ticks;
        for (std::int64_t t = NextMultiple(from, step); t <= to; t += step)
            ticks.push_back({t, TickLabel(t, step < kTicksPerDay ? 0 : 1)});
        return ticks;
    }
    return std::nullopt;
}

// Calendar steps: months, then years, each tick on the first of a month.
std::vector<Tick> CalendarTicks(std::int64_t from, std::int64_t to) {
    using namespace std::chrono;
    std::vector<Tick> ticks;
    for (const std::int64_t step : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200, 2400, 6000}) {
        const std::int64_t approx = step * 2'629'746 * kTicksPerSecond;  // 30.44 days
        if ((to - from) / approx >= static_cast<std::int64_t>(kMaxTicks)) continue;
        const year_month_day first = DateTimeTools::TicksToCivil(from).date;
        const std::int64_t fromMonth = std::int64_t{static_cast<int>(first.year())} * 12 +
                                       (static_cast<unsigned>(first.month()) - 1);  // months since year 0
        for (std::int64_t m = NextMultiple(fromMonth, step);; m += step) {
            const std::int64_t t = MidnightOf(year(0) / January / 1 + months(m));
            if (t > to) break;
            ticks.push_back({t, TickLabel(t, step < 12 ? 2 : 3)});
        }
        break;
    }
    return ticks;
}

}  // namespace

std::int64_t MidnightOf(std::chrono::year_month_day date) {
    DateTimeTools::CivilTime t;
    t.date = date;
    return DateTimeTools::CivilToTicks(t);
}

bool OnAxis(std::int64_t t) { return t >= 0 && t < DateTimeTools::kCalendarTicksEnd; }
bool OnAxis(const TimelineBar& b) { return b.TimeSet && OnAxis(b.Start) && OnAxis(b.End); }

std::vector<Tick> AxisTicks(std::int64_t from, std::int64_t to) {
    std::optional<std::vector<Tick>> fixed = FixedTicks(from, to);
    return fixed ? std::move(*fixed) : CalendarTicks(from, to);
}

double Layout::X(std::int64_t t) const {
    return X0 + (X1 - X0) * (static_cast<double>(t - Lo) / static_cast<double>(Hi - Lo));
}

double Layout::RowY(std::size_t i) { return kTop + kRow * static_cast<double>(i); }

BarBox Layout::BoxOf(const TimelineBar& b) const {
    if (!OnAxis(b)) return {X1 + 12, kUntimedWidth - 24};
    const double x = X(b.Start);
    return {x, std::max(X(std::max(b.Start, b.End)) - x, kMinBar)};
}

Layout LayOut(const Timeline& tl) {
    Layout l;
    l.Marks = GapsAndOverlaps(tl);
    l.AnyUntimed = std::any_of(tl.Bars.begin(), tl.Bars.end(), [](const auto& b) { return !OnAxis(b); });
    l.HasBreak = tl.BreakAt && OnAxis(*tl.BreakAt);
    l.BreakAt = l.HasBreak ? *tl.BreakAt : 0;

    // The time domain: every timed file and the break date, padded a little.
    std::int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (const auto& b : tl.Bars)
        if (OnAxis(b)) lo = std::min(lo, b.Start), hi = std::max({hi, b.Start, b.End});
    if (l.HasBreak) lo = std::min(lo, l.BreakAt), hi = std::max(hi, l.BreakAt);
    l.HaveAxis = lo <= hi;
    if (l.HaveAxis) {
        if (hi - lo < 2 * kHour) {
            const std::int64_t mid = lo + (hi - lo) / 2;
            lo = mid - kHour, hi = mid + kHour;
        }
        const std::int64_t pad = (hi - lo) / 40;
        l.Lo = lo - pad, l.Hi = hi + pad;
        l.Ticks = AxisTicks(l.Lo, l.Hi);
    }

    l.X1 = kWidth - kMargin - (l.AnyUntimed ? kUntimedWidth : 0);
    l.AxisY = Layout::RowY(std::max<std::size_t>(tl.Bars.size(), 1)) + 6;
    l.Listed = std::min(l.Marks.size(), kListedMarks);
    l.Height = l.AxisY + 44 + 16 * static_cast<double>(l.Listed + (l.Marks.size() > l.Listed ? 1 : 0)) + 12;
    return l;
}

}  // namespace jw::cli::detail
