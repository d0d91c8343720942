// The layout of a timeline picture (Picture.h): where each part of the page
// lies, worked out before anything is drawn.
//
// The page: the title and legend on top, labels on the left, the time axis
// in the middle, the column of files without a time on the right, and the
// gaps and overlaps listed in words under the axis.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Picture.h"

namespace jw::cli::detail {

inline constexpr double kWidth = 1000;
inline constexpr double kLabelWidth = 190;
inline constexpr double kUntimedWidth = 120;
inline constexpr double kMargin = 20;
inline constexpr double kTop = 112;   // first row
inline constexpr double kRow = 20;    // row pitch
inline constexpr double kBar = 12;    // bar height
inline constexpr double kMinBar = 2;  // a file shorter than this many pixels still shows
inline constexpr std::size_t kMaxTicks = 7;
inline constexpr std::size_t kListedMarks = 12;

// True for an instant the calendar can show on the axis (1601-01-01 to the
// end of 9999-12-31).  A stored time outside (a damaged or hostile field) is
// drawn beside the axis, never on it.
bool OnAxis(std::int64_t ticks);
bool OnAxis(const TimelineBar& bar);

// The ticks of a date's midnight.
std::int64_t MidnightOf(std::chrono::year_month_day date);

// A date on the axis and its text, as precise as the step between ticks.
struct Tick {
    std::int64_t At;
    std::string Label;
};

// The smallest step from hours to millennia that gives at most kMaxTicks
// ticks from `from` to `to`.
std::vector<Tick> AxisTicks(std::int64_t from, std::int64_t to);

// Where a bar lies: on the axis, or in the "time not set" column.
struct BarBox {
    double X = 0, Width = 0;
};

struct Layout {
    std::vector<TimelineMark> Marks;
    bool AnyUntimed = false;     // the "time not set" column is drawn
    bool HasBreak = false;       // the break line is drawn at BreakAt
    std::int64_t BreakAt = 0;
    bool HaveAxis = false;       // some time to draw: the domain Lo..Hi
    std::int64_t Lo = 0, Hi = 0;
    double X0 = kLabelWidth, X1 = 0;  // the axis on the page
    double AxisY = 0;
    double Height = 0;           // of the page
    std::size_t Listed = 0;      // marks listed in words
    std::vector<Tick> Ticks;

    // The page position of an instant.
    double X(std::int64_t t) const;
    // The top of the row of bar i.
    static double RowY(std::size_t i);
    BarBox BoxOf(const TimelineBar& bar) const;
};

Layout LayOut(const Timeline& timeline);

}  // namespace jw::cli::detail
