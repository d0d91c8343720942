#include "cli/Picture.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <span>

#include "cli/Output.h"
#include "cli/TimeText.h"
#include "engine/TrendTools.h"
#include "formats/BinaryFile.h"
#include "base/Errors.h"
#include "os/Text.h"

namespace jw::cli {

namespace {

// The page: labels on the left, the time axis in the middle, the column of
// files without a time on the right.
constexpr double kWidth = 1000;
constexpr double kLabelWidth = 190;
constexpr double kUntimedWidth = 120;
constexpr double kMargin = 20;
constexpr double kTop = 112;      // first row
constexpr double kRow = 20;       // row pitch
constexpr double kBar = 12;       // bar height
constexpr double kMinBar = 2;     // a file shorter than this many pixels still shows
constexpr std::size_t kMaxTicks = 7;
constexpr std::size_t kListedMarks = 12;

// Text for XML: escaped, control characters (which XML 1.0 cannot carry) as
// "?", bytes that are not UTF-8 read as Windows-1252.
std::string Xml(std::string_view text) {
    const std::string utf8 = OutputText(text);
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
        }
    }
    return out;
}

// Instants are Int64 ticks: 100 ns since 1601-01-01 00:00:00.
constexpr std::int64_t kSecond = 10'000'000;
constexpr std::int64_t kHour = 3600 * kSecond;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kDays1601To1970 = 134'774;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

struct Civil {
    std::int64_t Year;
    unsigned Month, Day;
    std::int64_t Seconds;  // of the day
};

Civil CivilOf(std::int64_t ticks) {
    const std::int64_t day = FloorDiv(ticks, kDay);
    const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{day - kDays1601To1970}}};
    return {static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
            (ticks % kDay + (ticks % kDay < 0 ? kDay : 0)) / kSecond};  // no day * kDay: it leaves the range near INT64_MIN
}

std::int64_t TicksOf(std::chrono::year_month_day ymd) {
    return (std::chrono::sys_days{ymd}.time_since_epoch().count() + kDays1601To1970) * kDay;
}

// The last instant of 9999-12-31: times the calendar can show run from tick 0
// (1601-01-01) to here.  A stored time outside (a damaged or hostile field)
// is drawn beside the axis, never on it.
constexpr std::int64_t kLastTick = 2'650'467'743'999'999'999;

bool OnAxis(std::int64_t t) { return t >= 0 && t <= kLastTick; }
bool OnAxis(const TimelineBar& b) { return b.TimeSet && OnAxis(b.Start) && OnAxis(b.End); }

// The second class of a bar, after "bar".
const char* ClassName(BarSource source) {
    switch (source) {
        case BarSource::Existing: return "existing";
        case BarSource::Backup: return "backup";
        case BarSource::Template: return "template";
        case BarSource::Set: return "set";
    }
    return "?";
}

std::string Duration(std::int64_t ticks) {
    const std::int64_t s = ticks / kSecond;
    if (s >= 86'400) return fmt::format("{} d {} h", s / 86'400, s % 86'400 / 3600);
    if (s >= 3600) return fmt::format("{} h {} min", s / 3600, s % 3600 / 60);
    if (s >= 60) return fmt::format("{} min {} s", s / 60, s % 60);
    return fmt::format("{} s", s);
}

// Axis ticks: the smallest step from hours to millennia that gives at most
// kMaxTicks ticks over the span, each labelled as precisely as its step.
struct Tick {
    std::int64_t At;
    std::string Label;
};

std::vector<Tick> AxisTicks(std::int64_t from, std::int64_t to) {
    std::vector<Tick> ticks;
    const auto label = [](std::int64_t t, int precision) {
        const Civil c = CivilOf(t);
        switch (precision) {
            case 0: return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}", c.Year, c.Month, c.Day, c.Seconds / 3600,
                                       c.Seconds % 3600 / 60);
            case 1: return fmt::format("{:04}-{:02}-{:02}", c.Year, c.Month, c.Day);
            case 2: return fmt::format("{:04}-{:02}", c.Year, c.Month);
            default: return fmt::format("{:04}", c.Year);
        }
    };
    const std::int64_t span = to - from;
    // Fixed steps up to a week.
    for (const std::int64_t step : {kHour, 3 * kHour, 6 * kHour, 12 * kHour, kDay, 2 * kDay,
                                    7 * kDay, 14 * kDay}) {
        if (span / step >= static_cast<std::int64_t>(kMaxTicks)) continue;
        for (std::int64_t t = (FloorDiv(from, step) + 1) * step; t <= to; t += step)
            ticks.push_back({t, label(t, step < kDay ? 0 : 1)});
        return ticks;
    }
    // Calendar steps: months, then years.
    for (const std::int64_t months : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200, 2400, 6000}) {
        const std::int64_t approx = months * 2'629'746 * kSecond;  // 30.44 days
        if (span / approx >= static_cast<std::int64_t>(kMaxTicks)) continue;
        const Civil c = CivilOf(from);
        std::int64_t index = c.Year * 12 + (c.Month - 1);
        index = (FloorDiv(index, months) + 1) * months;
        for (;; index += months) {
            const std::int64_t year = FloorDiv(index, 12);
            const std::int64_t t = TicksOf({std::chrono::year{static_cast<int>(year)},
                                            std::chrono::month{static_cast<unsigned>(index - year * 12 + 1)},
                                            std::chrono::day{1}});
            if (t > to) break;
            ticks.push_back({t, label(t, months < 12 ? 2 : 3)});
        }
        return ticks;
    }
    return ticks;
}

}  // namespace

const char* SourceColour(BarSource source) {
    switch (source) {
        case BarSource::Existing: return "#1f6fb4";
        case BarSource::Backup: return "#e07b12";
        case BarSource::Template: return "#9a9a9a";
        case BarSource::Set: return "#2e9a3e";
    }
    return "#000000";
}

const char* SourceName(BarSource source) {
    switch (source) {
        case BarSource::Existing: return "existing";
        case BarSource::Backup: return "backup";
        case BarSource::Template: return "template copy";
        case BarSource::Set: return "data file";
    }
    return "?";
}

std::vector<TimelineMark> GapsAndOverlaps(const Timeline& timeline) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < timeline.Bars.size(); ++i)
        if (OnAxis(timeline.Bars[i])) order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return timeline.Bars[a].Start < timeline.Bars[b].Start; });
    std::vector<TimelineMark> marks;
    for (std::size_t k = 1; k < order.size(); ++k) {
        const TimelineBar& prev = timeline.Bars[order[k - 1]];
        const TimelineBar& next = timeline.Bars[order[k]];
        const std::int64_t prevEnd = std::max(prev.Start, prev.End);
        if (next.Start < prevEnd)
            marks.push_back({true, next.Start, std::min(prevEnd, std::max(next.Start, next.End)), order[k - 1], order[k]});
        else if (next.Start - prevEnd > std::max(prev.Tolerance, kSecond))
            marks.push_back({false, prevEnd, next.Start, order[k - 1], order[k]});
    }
    // An overlap of a file that starts and ends at the same instant inside
    // another has no width; it is still an overlap.
    return marks;
}

std::string TimelineSvg(const Timeline& tl) {
    const std::vector<TimelineMark> marks = GapsAndOverlaps(tl);
    const bool anyUntimed = std::any_of(tl.Bars.begin(), tl.Bars.end(), [](const auto& b) { return !OnAxis(b); });
    const bool hasBreak = tl.BreakAt && OnAxis(*tl.BreakAt);
    const std::int64_t breakAt = hasBreak ? *tl.BreakAt : 0;

    // The time domain: every timed file and the break date, padded a little.
    std::int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (const auto& b : tl.Bars)
        if (OnAxis(b)) lo = std::min(lo, b.Start), hi = std::max({hi, b.Start, b.End});
    if (hasBreak) lo = std::min(lo, breakAt), hi = std::max(hi, breakAt);
    const bool haveAxis = lo <= hi;
    if (haveAxis) {
        if (hi - lo < 2 * kHour) {
            const std::int64_t mid = lo + (hi - lo) / 2;
            lo = mid - kHour, hi = mid + kHour;
        }
        const std::int64_t pad = (hi - lo) / 40;
        lo -= pad, hi += pad;
    }

    const double x0 = kLabelWidth;
    const double x1 = kWidth - kMargin - (anyUntimed ? kUntimedWidth : 0);
    const auto X = [&](std::int64_t t) {
        return x0 + (x1 - x0) * (static_cast<double>(t - lo) / static_cast<double>(hi - lo));
    };
    const double rowsBottom = kTop + kRow * static_cast<double>(std::max<std::size_t>(tl.Bars.size(), 1));
    const double axisY = rowsBottom + 6;
    const std::size_t listed = std::min(marks.size(), kListedMarks);
    const double height = axisY + 44 + 16 * static_cast<double>(listed + (marks.size() > listed ? 1 : 0)) + 12;

    std::string s;
    s += fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0}\" height=\"{1}\" viewBox=\"0 0 {0} {1}\" "
        "font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"12\">\n"
        "<rect class=\"page\" x=\"0\" y=\"0\" width=\"{0}\" height=\"{1}\" fill=\"#ffffff\"/>\n",
        kWidth, height);
    s += fmt::format("<text class=\"title\" x=\"{}\" y=\"30\" font-size=\"18\" font-weight=\"bold\">{}</text>\n",
                     kMargin, Xml(tl.Trend));
    if (!tl.Subtitle.empty())
        s += fmt::format("<text class=\"subtitle\" x=\"{}\" y=\"50\" fill=\"#555555\">{}</text>\n", kMargin,
                         Xml(tl.Subtitle));

    // Legend: the sources drawn, then the line and the marks when there are any.
    double lx = kMargin;
    const auto legendItem = [&](const std::string& swatch, const char* name) {
        s += fmt::format("<g class=\"legend\">{}<text x=\"{}\" y=\"76\">{}</text></g>\n", swatch, lx + 18, name);
        lx += 18 + 8 * static_cast<double>(std::strlen(name)) + 22;
    };
    for (const BarSource src : {BarSource::Existing, BarSource::Backup, BarSource::Template, BarSource::Set})
        if (std::any_of(tl.Bars.begin(), tl.Bars.end(), [&](const auto& b) { return b.Source == src; }))
            legendItem(fmt::format("<rect x=\"{}\" y=\"66\" width=\"12\" height=\"12\" fill=\"{}\"/>", lx,
                                   SourceColour(src)),
                       SourceName(src));
    if (hasBreak)
        legendItem(fmt::format("<line x1=\"{0}\" y1=\"64\" x2=\"{0}\" y2=\"80\" stroke=\"#c0182a\" stroke-width=\"2\" "
                               "stroke-dasharray=\"4 2\"/>", lx + 6),
                   "break date");
    const bool anyGap = std::any_of(marks.begin(), marks.end(), [](const auto& m) { return !m.Overlap; });
    const bool anyOverlap = std::any_of(marks.begin(), marks.end(), [](const auto& m) { return m.Overlap; });
    if (anyGap)
        legendItem(fmt::format("<rect x=\"{}\" y=\"66\" width=\"12\" height=\"12\" fill=\"#d62728\" "
                               "fill-opacity=\"0.25\"/>", lx),
                   "gap");
    if (anyOverlap)
        legendItem(fmt::format("<rect x=\"{}\" y=\"66\" width=\"12\" height=\"12\" fill=\"#7b3fa0\" "
                               "fill-opacity=\"0.35\"/>", lx),
                   "overlap");

    // Grid and marks behind the bars.
    const std::vector<Tick> ticks = haveAxis ? AxisTicks(lo, hi) : std::vector<Tick>{};
    for (const Tick& t : ticks)
        s += fmt::format("<line class=\"grid\" x1=\"{0:.1f}\" y1=\"{1}\" x2=\"{0:.1f}\" y2=\"{2}\" stroke=\"#e4e4e4\"/>\n",
                         X(t.At), kTop - 6, axisY);
    for (const TimelineMark& m : marks) {
        const double a = X(m.From), b = X(m.To);
        s += fmt::format(
            "<rect class=\"{}\" x=\"{:.1f}\" y=\"{}\" width=\"{:.1f}\" height=\"{}\" fill=\"{}\" fill-opacity=\"{}\">"
            "<title>{} of {} between {} and {}</title></rect>\n",
            m.Overlap ? "overlap" : "gap", a, kTop - 6, std::max(b - a, 1.0), axisY - kTop + 6,
            m.Overlap ? "#7b3fa0" : "#d62728", m.Overlap ? "0.35" : "0.25", m.Overlap ? "overlap" : "gap",
            Duration(m.To - m.From), Xml(tl.Bars[m.Before].Label), Xml(tl.Bars[m.After].Label));
    }
    if (anyUntimed)
        s += fmt::format("<text class=\"untimed-heading\" x=\"{}\" y=\"{}\" fill=\"#555555\">time not set</text>\n",
                         x1 + 12, kTop - 8);

    // One row per file: its label and its bar.
    for (std::size_t i = 0; i < tl.Bars.size(); ++i) {
        const TimelineBar& b = tl.Bars[i];
        const double y = kTop + kRow * static_cast<double>(i);
        s += fmt::format("<text class=\"label\" x=\"{}\" y=\"{}\" text-anchor=\"end\">{}</text>\n", kLabelWidth - 8,
                         y + kBar - 2, Xml(b.Label));
        double bx = x1 + 12, bw = kUntimedWidth - 24;
        std::string when = b.TimeSet ? "time outside the years 1601 to 9999" : "time not set";
        if (OnAxis(b)) {
            const std::int64_t end = std::max(b.Start, b.End);
            bx = X(b.Start);
            bw = std::max(X(end) - bx, kMinBar);
            when = FormatTicks(b.Start, false) + " to " + FormatTicks(b.End, false);
            if (b.End < b.Start) when += " (ends before it starts)";
        }
        s += fmt::format(
            "<rect class=\"bar {}\" x=\"{:.1f}\" y=\"{}\" width=\"{:.1f}\" height=\"{}\" fill=\"{}\"><title>{}: {}, "
            "{}</title></rect>\n",
            ClassName(b.Source), bx, y, bw, kBar, SourceColour(b.Source),
            Xml(b.Label), SourceName(b.Source), when);
    }

    if (hasBreak) {
        const double bx = X(breakAt);
        s += fmt::format("<line class=\"break\" x1=\"{0:.1f}\" y1=\"{1}\" x2=\"{0:.1f}\" y2=\"{2}\" stroke=\"#c0182a\" "
                         "stroke-width=\"2\" stroke-dasharray=\"4 2\"/>\n"
                         "<text class=\"break-label\" x=\"{3:.1f}\" y=\"{4}\" fill=\"#c0182a\">break {5}</text>\n",
                         bx, kTop - 10, axisY, bx + 4, kTop - 12, FormatTicks(breakAt, false).substr(0, 10));
    }

    // The axis with its dates.
    if (haveAxis) {
        s += fmt::format("<line class=\"axis\" x1=\"{}\" y1=\"{}\" x2=\"{}\" y2=\"{}\" stroke=\"#333333\"/>\n", x0, axisY,
                         x1, axisY);
        for (const Tick& t : ticks)
            s += fmt::format("<line class=\"tick\" x1=\"{0:.1f}\" y1=\"{1}\" x2=\"{0:.1f}\" y2=\"{2}\" "
                             "stroke=\"#333333\"/><text class=\"tick-label\" x=\"{0:.1f}\" y=\"{3}\" "
                             "text-anchor=\"middle\">{4}</text>\n",
                             X(t.At), axisY, axisY + 5, axisY + 18, t.Label);
    } else {
        s += fmt::format("<text class=\"no-times\" x=\"{}\" y=\"{}\" fill=\"#555555\">No file has a time.</text>\n", x0,
                         axisY + 18);
    }

    // The gaps and overlaps in words.
    double ly = axisY + 44;
    for (std::size_t k = 0; k < listed; ++k, ly += 16) {
        const TimelineMark& m = marks[k];
        s += fmt::format("<text class=\"mark-text\" x=\"{}\" y=\"{}\" fill=\"{}\">{} of {} between {} and {} ({} to "
                         "{})</text>\n",
                         kMargin, ly, m.Overlap ? "#7b3fa0" : "#d62728", m.Overlap ? "Overlap" : "Gap",
                         Duration(m.To - m.From), Xml(tl.Bars[m.Before].Label), Xml(tl.Bars[m.After].Label),
                         FormatTicks(m.From, false), FormatTicks(m.To, false));
    }
    if (marks.size() > listed)
        s += fmt::format("<text class=\"mark-text\" x=\"{}\" y=\"{}\">and {} more</text>\n", kMargin, ly,
                         marks.size() - listed);
    s += "</svg>\n";
    return s;
}

TimelineBar BarOf(std::string label, BarSource source, const TaggedValue& startRaw, const TaggedValue& endRaw,
                  double samplePeriodSeconds) {
    TimelineBar b;
    b.Label = std::move(label);
    b.Source = source;
    const StoredTime start = FromRaw(startRaw);
    const StoredTime end = FromRaw(endRaw);
    b.TimeSet = start.Raw != 0;
    b.Start = start.Ticks;
    b.End = end.Raw != 0 ? end.Ticks : start.Ticks;
    // A period out of all proportion (or no number) leaves only the second.
    if (std::isfinite(samplePeriodSeconds) && samplePeriodSeconds > 0 && samplePeriodSeconds < 1e9)
        b.Tolerance = static_cast<std::int64_t>(samplePeriodSeconds * kSecond);
    return b;
}

Timeline PlanTimeline(const MergePlan& plan, const std::string& trend) {
    Timeline tl;
    tl.Trend = trend;
    tl.Subtitle = "Planned merge into " + OutputText(os::PathText(plan.MasterTarget));
    for (const PlanEntry& e : plan.Entries) {
        clsHSTHeader record = e.Record;  // its times are read through a non-const view
        tl.Bars.push_back(BarOf(OutputText(os::PathText(e.Target.filename())),
                                e.Kind == FromExisting ? BarSource::Existing
                                : e.Kind == FromBackup ? BarSource::Backup
                                                       : BarSource::Template,
                                record.StartTime()->Raw, record.EndTime()->Raw, record.SamplePeriod));
    }
    tl.BreakAt = TicksOf(plan.BreakDate);
    return tl;
}

void WritePicture(const std::filesystem::path& path, const std::string& svg) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
        Fail(ErrorKind::Refused, "cannot create the picture " + OutputText(os::PathText(path)) +
                                     ": the file already exists; a picture never replaces a file");
    // Created exclusively: a file that appeared meanwhile is not replaced either.
    BinaryFile file(path, BinaryFile::Mode::CreateNew);
    try {
        file.Write(std::span(reinterpret_cast<const std::uint8_t*>(svg.data()), svg.size()));
        file.Close();
    } catch (...) {
        std::filesystem::remove(path, ec);
        throw;
    }
}

}  // namespace jw::cli
