#include "cli/Picture.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "base/Errors.h"
#include "cli/Output.h"
#include "cli/PictureLayout.h"
#include "cli/TimeText.h"
#include "engine/TrendTools.h"
#include "formats/BinaryFile.h"
#include "os/Text.h"

namespace jw::cli {

using namespace detail;

namespace {

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
    const std::int64_t s = ticks / kTicksPerSecond;
    if (s >= 86'400) return fmt::format("{} d {} h", s / 86'400, s % 86'400 / 3600);
    if (s >= 3600) return fmt::format("{} h {} min", s / 3600, s % 3600 / 60);
    if (s >= 60) return fmt::format("{} min {} s", s / 60, s % 60);
    return fmt::format("{} s", s);
}

// The drawing: each part of the page appended to Svg in turn, back to front.
struct Drawing {
    const Timeline& Tl;
    const Layout& L;
    std::string Svg;

    void Page() {
        Svg += fmt::format(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0}\" height=\"{1}\" viewBox=\"0 0 {0} {1}\" "
            "font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"12\">\n"
            "<rect class=\"page\" x=\"0\" y=\"0\" width=\"{0}\" height=\"{1}\" fill=\"#ffffff\"/>\n",
            kWidth, L.Height);
        Svg += fmt::format("<text class=\"title\" x=\"{}\" y=\"30\" font-size=\"18\" font-weight=\"bold\">{}</text>\n",
                           kMargin, Xml(Tl.Trend));
        if (!Tl.Subtitle.empty())
            Svg += fmt::format("<text class=\"subtitle\" x=\"{}\" y=\"50\" fill=\"#555555\">{}</text>\n", kMargin,
                               Xml(Tl.Subtitle));
    }

    // The sources drawn, then the line and the marks when there are any.
    void Legend() {
        double x = kMargin;
        const auto item = [&](const std::string& swatch, const char* name) {
            Svg += fmt::format("<g class=\"legend\">{}<text x=\"{}\" y=\"76\">{}</text></g>\n", swatch, x + 18, name);
            x += 18 + 8 * static_cast<double>(std::strlen(name)) + 22;
        };
        for (const BarSource src : {BarSource::Existing, BarSource::Backup, BarSource::Template, BarSource::Set})
            if (std::any_of(Tl.Bars.begin(), Tl.Bars.end(), [&](const auto& b) { return b.Source == src; }))
                item(fmt::format("<rect x=\"{}\" y=\"66\" width=\"12\" height=\"12\" fill=\"{}\"/>", x,
                                 SourceColour(src)),
                     SourceName(src));
        if (L.HasBreak)
            item(fmt::format("<line x1=\"{0}\" y1=\"64\" x2=\"{0}\" y2=\"80\" stroke=\"#c0182a\" stroke-width=\"2\" "
                             "stroke-dasharray=\"4 2\"/>", x + 6),
                 "break date");
        const auto any = [&](bool overlap) {
            return std::any_of(L.Marks.begin(), L.Marks.end(), [&](const auto& m) { return m.Overlap == overlap; });
        };
        if (any(false))
            item(fmt::format("<rect x=\"{}\" y=\"66\" width=\"12\" height=\"12\" fill=\"#d62728\" "
                             "fill-opacity=\"0.25\"/>", x),
                 "gap");
        if (any(true))
            item(fmt::format("<rect x=\"{}\" y=\"66\" width=\"12\" height=\"12\" fill=\"#7b3fa0\" "
                             "fill-opacity=\"0.35\"/>", x),
                 "overlap");
    }

    // Grid lines and the marks, behind the bars.
    void Background() {
        for (const Tick& t : L.Ticks)
            Svg += fmt::format(
                "<line class=\"grid\" x1=\"{0:.1f}\" y1=\"{1}\" x2=\"{0:.1f}\" y2=\"{2}\" stroke=\"#e4e4e4\"/>\n",
                L.X(t.At), kTop - 6, L.AxisY);
        for (const TimelineMark& m : L.Marks) {
            const double a = L.X(m.From), b = L.X(m.To);
            Svg += fmt::format(
                "<rect class=\"{}\" x=\"{:.1f}\" y=\"{}\" width=\"{:.1f}\" height=\"{}\" fill=\"{}\" fill-opacity=\"{}\">"
                "<title>{} of {} between {} and {}</title></rect>\n",
                m.Overlap ? "overlap" : "gap", a, kTop - 6, std::max(b - a, 1.0), L.AxisY - kTop + 6,
                m.Overlap ? "#7b3fa0" : "#d62728", m.Overlap ? "0.35" : "0.25", m.Overlap ? "overlap" : "gap",
                Duration(m.To - m.From), Xml(Tl.Bars[m.Before].Label), Xml(Tl.Bars[m.After].Label));
        }
        if (L.AnyUntimed)
            Svg += fmt::format(
                "<text class=\"untimed-heading\" x=\"{}\" y=\"{}\" fill=\"#555555\">time not set</text>\n",
                L.X1 + 12, kTop - 8);
    }

    // One row per file: its label and its bar.
    void Rows() {
        for (std::size_t i = 0; i < Tl.Bars.size(); ++i) {
            const TimelineBar& b = Tl.Bars[i];
            const double y = Layout::RowY(i);
            Svg += fmt::format("<text class=\"label\" x=\"{}\" y=\"{}\" text-anchor=\"end\">{}</text>\n",
                               kLabelWidth - 8, y + kBar - 2, Xml(b.Label));
            const BarBox box = L.BoxOf(b);
            Svg += fmt::format(
                "<rect class=\"bar {}\" x=\"{:.1f}\" y=\"{}\" width=\"{:.1f}\" height=\"{}\" fill=\"{}\"><title>{}: {}, "
                "{}</title></rect>\n",
                ClassName(b.Source), box.X, y, box.Width, kBar, SourceColour(b.Source), Xml(b.Label),
                SourceName(b.Source), When(b));
        }
    }

    static std::string When(const TimelineBar& b) {
        if (!OnAxis(b)) return b.TimeSet ? "time outside the years 1601 to 9999" : "time not set";
        std::string when = FormatTicks(b.Start, false) + " to " + FormatTicks(b.End, false);
        if (b.End < b.Start) when += " (ends before it starts)";
        return when;
    }

    void BreakLine() {
        if (!L.HasBreak) return;
        const double x = L.X(L.BreakAt);
        Svg += fmt::format(
            "<line class=\"break\" x1=\"{0:.1f}\" y1=\"{1}\" x2=\"{0:.1f}\" y2=\"{2}\" stroke=\"#c0182a\" "
            "stroke-width=\"2\" stroke-dasharray=\"4 2\"/>\n"
            "<text class=\"break-label\" x=\"{3:.1f}\" y=\"{4}\" fill=\"#c0182a\">break {5}</text>\n",
            x, kTop - 10, L.AxisY, x + 4, kTop - 12, FormatTicks(L.BreakAt, false).substr(0, 10));
    }

    // The axis with its dates.
    void Axis() {
        if (!L.HaveAxis) {
            Svg += fmt::format("<text class=\"no-times\" x=\"{}\" y=\"{}\" fill=\"#555555\">No file has a time.</text>\n",
                               L.X0, L.AxisY + 18);
            return;
        }
        Svg += fmt::format("<line class=\"axis\" x1=\"{}\" y1=\"{}\" x2=\"{}\" y2=\"{}\" stroke=\"#333333\"/>\n",
                           L.X0, L.AxisY, L.X1, L.AxisY);
        for (const Tick& t : L.Ticks)
            Svg += fmt::format("<line class=\"tick\" x1=\"{0:.1f}\" y1=\"{1}\" x2=\"{0:.1f}\" y2=\"{2}\" "
                               "stroke=\"#333333\"/><text class=\"tick-label\" x=\"{0:.1f}\" y=\"{3}\" "
                               "text-anchor=\"middle\">{4}</text>\n",
                               L.X(t.At), L.AxisY, L.AxisY + 5, L.AxisY + 18, t.Label);
    }

    // The gaps and overlaps in words.
    void MarkList() {
        double y = L.AxisY + 44;
        for (std::size_t k = 0; k < L.Listed; ++k, y += 16) {
            const TimelineMark& m = L.Marks[k];
            Svg += fmt::format(
                "<text class=\"mark-text\" x=\"{}\" y=\"{}\" fill=\"{}\">{} of {} between {} and {} ({} to "
                "{})</text>\n",
                kMargin, y, m.Overlap ? "#7b3fa0" : "#d62728", m.Overlap ? "Overlap" : "Gap", Duration(m.To - m.From),
                Xml(Tl.Bars[m.Before].Label), Xml(Tl.Bars[m.After].Label), FormatTicks(m.From, false),
                FormatTicks(m.To, false));
        }
        if (L.Marks.size() > L.Listed)
            Svg += fmt::format("<text class=\"mark-text\" x=\"{}\" y=\"{}\">and {} more</text>\n", kMargin, y,
                               L.Marks.size() - L.Listed);
    }
};

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
        else if (next.Start - prevEnd > std::max(prev.Tolerance, kTicksPerSecond))
            marks.push_back({false, prevEnd, next.Start, order[k - 1], order[k]});
    }
    // An overlap of a file that starts and ends at the same instant inside
    // another has no width; it is still an overlap.
    return marks;
}

std::string TimelineSvg(const Timeline& timeline) {
    const Layout layout = LayOut(timeline);
    Drawing d{timeline, layout, {}};
    d.Page();
    d.Legend();
    d.Background();
    d.Rows();
    d.BreakLine();
    d.Axis();
    d.MarkList();
    d.Svg += "</svg>\n";
    return d.Svg;
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
        b.Tolerance = static_cast<std::int64_t>(samplePeriodSeconds * kTicksPerSecond);
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
    tl.BreakAt = MidnightOf(plan.BreakDate);
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
