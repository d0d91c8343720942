// The SVG timeline read back with Qt's XML stream reader: it must parse,
// hold one bar per data file in its source's colour at the place its times
// give, mark gaps and overlaps between files that follow each other in time,
// draw the break date, and carry hostile names as text.
#include <gtest/gtest.h>
#include <QString>
#include <QXmlStreamReader>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "cli/Picture.h"
#include "cli/TimeText.h"

namespace {

using namespace jw::cli;

// One element of the document: its name, attributes and the text in it.
struct Element {
    std::string name, ns, text;
    std::map<std::string, std::string> attr;
    std::string Class() const { return attr.count("class") ? attr.at("class") : ""; }
    double Num(const char* key) const { return std::stod(attr.at(key)); }
};

// Parses the whole document; an XML error fails the test.
std::vector<Element> Parse(const std::string& svg) {
    QXmlStreamReader reader(QString::fromStdString(svg));
    std::vector<Element> all;
    std::vector<std::size_t> open;
    while (reader.readNext() != QXmlStreamReader::EndDocument && !reader.hasError()) {
        if (reader.isStartElement()) {
            Element e{reader.name().toString().toStdString(), reader.namespaceUri().toString().toStdString(), {}, {}};
            for (const auto& a : reader.attributes())
                e.attr[a.name().toString().toStdString()] = a.value().toString().toStdString();
            open.push_back(all.size());
            all.push_back(std::move(e));
        } else if (reader.isEndElement()) {
            open.pop_back();
        } else if (reader.isCharacters()) {
            for (const std::size_t i : open) all[i].text += reader.text().toString().toStdString();
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString() << " at line " << reader.lineNumber();
    return all;
}

// The elements whose class (its first word) is name.
std::vector<Element> OfClass(const std::vector<Element>& all, const std::string& name) {
    std::vector<Element> out;
    for (const auto& e : all)
        if (e.Class().substr(0, e.Class().find(' ')) == name) out.push_back(e);
    return out;
}

// Ticks of a day (and hour) after 2004-09-10 00:00.
constexpr std::int64_t kBase = 127'392'480'000'000'000;  // 2004-09-10 00:00:00 as ticks
std::int64_t Day(double d) { return kBase + static_cast<std::int64_t>(d * 24) * 3600 * kTicksPerSecond; }

// start: days after the base, none: time not set.
struct BarSpec { BarSource source; std::optional<double> start; double end = 0, periodMinutes = 0; };
struct Case { const char* name; std::vector<BarSpec> bars; std::optional<double> breakDay; int gaps, overlaps; };

Timeline Make(const Case& c) {
    Timeline tl;
    tl.Trend = c.name;
    for (const BarSpec& s : c.bars)
        tl.Bars.push_back({"TREND.00" + std::to_string(tl.Bars.size()), s.source, s.start.has_value(),
                           s.start ? Day(*s.start) : 0, s.start ? Day(s.end) : 0,
                           static_cast<std::int64_t>(s.periodMinutes * 60) * kTicksPerSecond});
    if (c.breakDay) tl.BreakAt = Day(*c.breakDay);
    return tl;
}

constexpr auto E = BarSource::Existing, B = BarSource::Backup, T = BarSource::Template, S = BarSource::Set;
constexpr double kYears = 365.2425;

const Case kCases[] = {
    {"TemplateCopiesOnly", {{T, std::nullopt}, {T, std::nullopt}, {T, std::nullopt}}, std::nullopt, 0, 0},
    {"PlannedMerge", {{E, 4, 6}, {E, 6, 8}, {B, 0, 2}, {B, 2, 4}, {T, std::nullopt}}, 4.0, 0, 0},
    {"Overlap", {{E, 2, 5}, {B, 0, 3}}, 2.0, 0, 1},
    {"FarApart", {{B, -103 * kYears, -103 * kYears + 1}, {E, 25 * kYears, 25 * kYears + 1}}, 0.0, 1, 0},
    {"WithinSamplePeriod", {{S, 0, 1, 120}, {S, 1.05, 2}}, std::nullopt, 0, 0},
    {"BeyondSamplePeriod", {{S, 0, 1, 30}, {S, 1.05, 2}}, std::nullopt, 1, 0},
    {"BreakFarOutside", {{S, 0, 1}}, 400.0, 0, 0},
    {"EndBeforeStart", {{S, 3, 1}, {S, 5, 6}}, std::nullopt, 1, 0},
};

class Picture : public ::testing::TestWithParam<Case> {};

TEST_P(Picture, ParsesAndDrawsEveryFileInItsColourAndPlace) {
    const Case& c = GetParam();
    const Timeline tl = Make(c);
    const std::vector<Element> all = Parse(TimelineSvg(tl));
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().name + " " + all.front().ns, "svg http://www.w3.org/2000/svg");
    EXPECT_EQ(OfClass(all, "title").at(0).text, c.name);

    // One bar per file, in file order, coloured by its source.
    const auto bars = OfClass(all, "bar");
    ASSERT_EQ(bars.size(), c.bars.size());
    const double right = all.front().Num("width");
    double untimedX = right;
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const BarSpec& s = c.bars[i];
        EXPECT_EQ(bars[i].attr.at("fill"), SourceColour(s.source)) << i;
        EXPECT_NE(bars[i].text.find("TREND.00" + std::to_string(i)), std::string::npos) << bars[i].text;
        EXPECT_GE(bars[i].Num("width"), 2.0) << "every file shows";
        EXPECT_LE(bars[i].Num("x") + bars[i].Num("width"), right);
        if (!s.start) untimedX = std::min(untimedX, bars[i].Num("x"));
    }
    // Timed bars lie left of the "time not set" column, in the order of
    // their start times, and as wide as their files are long.
    for (std::size_t i = 0; i < bars.size(); ++i)
        for (std::size_t k = 0; k < bars.size(); ++k) {
            if (!c.bars[i].start || !c.bars[k].start) continue;
            EXPECT_LT(bars[i].Num("x") + bars[i].Num("width"), untimedX);
            const double li = c.bars[i].end - *c.bars[i].start, lk = c.bars[k].end - *c.bars[k].start;
            EXPECT_TRUE(*c.bars[i].start >= *c.bars[k].start || bars[i].Num("x") < bars[k].Num("x")) << i << " " << k;
            EXPECT_TRUE(li <= 2 * lk || lk <= 0 || bars[i].Num("width") > bars[k].Num("width")) << i << " " << k;
        }
    EXPECT_EQ(OfClass(all, "untimed-heading").size(), untimedX < right ? 1U : 0U);

    const auto count = [&](const char* name) { return static_cast<int>(OfClass(all, name).size()); };
    EXPECT_EQ(std::vector({count("gap"), count("overlap"), count("mark-text"), count("break")}),
              std::vector({c.gaps, c.overlaps, c.gaps + c.overlaps, c.breakDay ? 1 : 0}));

    // The date axis: two to seven ticks in increasing date order, inside the plot.
    const auto ticks = OfClass(all, "tick-label");
    const bool anyTime = c.breakDay || std::any_of(c.bars.begin(), c.bars.end(), [](const auto& b) { return b.start; });
    EXPECT_EQ(OfClass(all, "no-times").size(), anyTime ? 0U : 1U);
    EXPECT_TRUE(anyTime ? ticks.size() >= 2 && ticks.size() <= 7 : ticks.empty()) << ticks.size();
    for (std::size_t i = 1; i < ticks.size(); ++i)
        EXPECT_TRUE(ticks[i - 1].text < ticks[i].text && ticks[i - 1].Num("x") < ticks[i].Num("x")) << i;
}

INSTANTIATE_TEST_SUITE_P(Cases, Picture, ::testing::ValuesIn(kCases), [](const auto& info) { return info.param.name; });

TEST(Picture, GapsAndOverlapsLieBetweenTheFilesThatFollowInTime) {
    // Files in record order: the existing set's later ones first.
    const Timeline tl = Make({"", {{E, 5, 7}, {E, 8, 9}, {B, 0, 2}, {B, 1.5, 5}, {T, std::nullopt}}, 4.0, 0, 0});
    std::vector<std::tuple<bool, std::int64_t, std::int64_t, std::size_t, std::size_t>> marks;
    for (const TimelineMark& m : GapsAndOverlaps(tl)) marks.emplace_back(m.Overlap, m.From, m.To, m.Before, m.After);
    EXPECT_EQ(marks, (decltype(marks){{true, Day(1.5), Day(2), 2, 3}, {false, Day(7), Day(8), 0, 1}}));
}

TEST(Picture, TimesOutsideTheCalendarStayOffTheAxis) {
    Timeline tl;
    tl.Trend = "T";
    const std::int64_t lastDay = 2'650'466'880'000'000'000;  // 9999-12-31 00:00 as ticks
    for (const auto& [start, end] : std::vector<std::pair<std::int64_t, std::int64_t>>{
             {INT64_MAX, INT64_MAX}, {INT64_MIN, 0}, {-1, Day(1)}, {Day(0), INT64_MAX}, {Day(0), Day(1)},
             {lastDay, lastDay + 24 * 3600 * kTicksPerSecond}})
        tl.Bars.push_back({"F", BarSource::Set, true, start, end, 0});
    tl.BreakAt = INT64_MIN;
    const std::vector<Element> all = Parse(TimelineSvg(tl));
    const auto bars = OfClass(all, "bar");
    ASSERT_EQ(bars.size(), 6U);
    const double column = bars[0].Num("x");
    for (int i : {0, 1, 2, 3, 5})
        EXPECT_TRUE(bars[i].Num("x") == column && bars[i].text.find("outside the years 1601 to 9999") != std::string::npos) << i;
    EXPECT_LT(bars[4].Num("x") + bars[4].Num("width"), column);
    EXPECT_TRUE(OfClass(all, "break").empty());
    EXPECT_TRUE(GapsAndOverlaps(tl).empty());
}

TEST(Picture, HostileNamesStayText) {
    Timeline tl;
    tl.Trend = "A<&>\"'\x01\xFF";  // markup, a control character, a byte that is no UTF-8
    tl.Subtitle = "]]><script>";
    tl.Bars.push_back({"</text><x>\x7F", BarSource::Set, true, Day(0), Day(1), 0});
    const std::vector<Element> all = Parse(TimelineSvg(tl));
    EXPECT_EQ(OfClass(all, "title").at(0).text, "A<&>\"'?\xC3\xBF");
    EXPECT_EQ(OfClass(all, "subtitle").at(0).text, "]]><script>");
    EXPECT_EQ(OfClass(all, "label").at(0).text, "</text><x>?");
    for (const auto& e : all) EXPECT_NE(e.name, "script");
}

}  // namespace
