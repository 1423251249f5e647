#pragma once
// The one time axis of the report's charts: a window of the run drawn
// between the same margins, so that the Gantt chart and every profile line
// up under each other, with ticks at round calendar steps in real dates and
// value ticks at 1, 2 or 5 times a power of ten.

#include <string>
#include <vector>

#include "TimeWindow.h"
#include "batchplant/platform/COleDateTime.h"

namespace batchplant::cli {

struct ChartFrame {
    COleDateTime start; // the run's start; ticks show elapsed time when it is not a valid date
    long from = 0;      // the window, seconds from the start
    long to = 3600;
    int width = 1300; // whole drawing
    int left = 210;   // labels left of the plot
    int right = 20;

    int PlotWidth() const { return width - left - right > 100 ? width - left - right : 100; }
    // The x of a time, clamped to the plot.
    double X(double seconds) const;
    // The window at the plot's width in pixels, for the level-of-detail merge.
    TimeWindow Window() const { return TimeWindow{from, to > from ? to : from + 1, PlotWidth()}; }
};

struct AxisTick {
    long t = 0;        // seconds from the start
    std::string label; // the date, with its year at the first tick and where it changes
};

// Ticks at the first round step (minutes, hours, days, weeks, months,
// years) that leaves labels about 110 px apart.
std::vector<AxisTick> DateTicks(const ChartFrame& frame);

// Grid lines from y0 to y1 and tick labels above y0 (labelsAbove) or below y1.
std::string DateAxisSvg(const ChartFrame& frame, int y0, int y1, bool labelsAbove);

// Round values (1, 2 or 5 times a power of ten) covering [lo, hi], at most
// about `most` of them.
std::vector<double> NiceTicks(double lo, double hi, int most);

} // namespace batchplant::cli
