#pragma once
// Level of detail for charts over a run of any length: a window of time
// drawn some pixels wide, the operations too narrow to see there merged into
// spans, and step profiles reduced to what each pixel column shows. The
// viewer's answers and the report's charts both come from here, so what the
// two show at one width is the same.

#include <cstddef>
#include <utility>
#include <vector>

namespace batchplant::cli {

// The time span [from, to] in seconds from the run's start, drawn px pixels
// wide.
struct TimeWindow {
    long from = 0;
    long to = 1;
    int px = 1600;

    // Whether a stretch of `seconds` is at least a pixel wide; exact, in
    // integers, so that "zoomed in far enough" does not depend on rounding.
    bool Visible(long long seconds) const
    {
        return seconds * static_cast<long long>(px) >= static_cast<long long>(to) - from;
    }
    bool Intersects(long start, long end) const { return start <= to && end >= from; }
};

// The widest a span of several batches grows (it is drawn in one neutral
// colour, so joining neighbours changes nothing on screen).
constexpr long long kSpanPixels = 8;

// One operation of a row as the merge sees it.
struct LodBlock {
    long start = 0;
    long end = 0;
    short batch = 0;
    bool empty = false;
};

// What one row shows: an operation as it is (count 1; `first` is its index
// in the input), or a span of `count` consecutive operations
// input[first .. first+count) with their distinct batches, ascending.
struct LodEntry {
    long start = 0;
    long end = 0;
    std::size_t first = 0;
    std::size_t count = 1;
    std::vector<short> batches;
    bool empty = false; // every operation it holds is empty
};

// The blocks (ascending start) that intersect the window: one at least a
// pixel wide as it is; a run of narrower ones as a span that closes before a
// gap of a pixel or more, before a wide block, and once it is a pixel wide
// unless the next block keeps its colour: of its one batch, or joining a
// span of several batches not yet kSpanPixels wide. A span left holding one
// block is that block. At most about 2·px entries
// for blocks that do not overlap, whatever their number.
std::vector<LodEntry> MergeBlocks(const std::vector<LodBlock>& blocks, const TimeWindow& window);

// A stretch of time; count > 1 when it stands for several merged ones.
struct LodStretch {
    long start = 0;
    long end = 0;
    std::size_t count = 1;
};

// The stretches (ascending start) that intersect the window, those closer
// than a pixel to the one before joined into one.
std::vector<LodStretch> MergeStretches(const std::vector<LodStretch>& stretches, const TimeWindow& window);

// One point of a step profile reduced to pixel columns: `value` holds from
// `t` on; over the column that starts at t the profile stays within
// [min, max]. Exact points have min == max == value.
struct ColumnPoint {
    double t = 0;
    double value = 0;
    double min = 0;
    double max = 0;
};

// A step series (time in seconds, ascending) over the window. Exact when the
// window holds at most px points: the point holding at `from` and every one
// up to `to`. Otherwise one point per pixel column where the profile
// changes, at the column's start, with the value holding there and the
// column's extremes.
std::vector<ColumnPoint> DownsampleSteps(const std::vector<std::pair<double, double>>& points,
                                         const TimeWindow& window);

// The sum of two step series (each value holds until that series' next
// point, 0 before its first): a point wherever either changes.
std::vector<std::pair<double, double>> AddSteps(const std::vector<std::pair<double, double>>& a,
                                                const std::vector<std::pair<double, double>>& b);

// The higher of two step series where either has a value (a series has none
// before its first point), for properties such as temperatures, which never
// add up across vessels.
std::vector<std::pair<double, double>> HighestSteps(const std::vector<std::pair<double, double>>& a,
                                                    const std::vector<std::pair<double, double>>& b);

} // namespace batchplant::cli
