#pragma once
// The schedule of a loaded run as an SVG Gantt chart: one row per scheduled
// vessel, one bar per operation coloured by batch (operations narrower than
// a pixel merged into spans), in-use stretches lighter, non-working calendar
// time shaded, a date axis shared with the profiles.

#include <string>
#include <vector>

#include "TimeWindow.h"

namespace batchplant {
class GanttFacility;
}

namespace batchplant::cli {

struct GanttSvgOptions {
    int width = 1300;       // whole drawing, pixels
    bool standalone = true; // with the XML declaration and namespace, for a .svg file
    long from = 0;          // the window drawn, seconds; to < 0: the run's end
    long to = -1;
};

std::string RenderGanttSvg(const GanttFacility& facility, const GanttSvgOptions& options = {});

// The last end time over every block and in-use stretch of the run, in
// seconds; 0 for a run without blocks.
long RunEndSeconds(const GanttFacility& facility);

// One row's operations (ascending start, with their index in the library)
// and in-use stretches, as the level-of-detail merge takes them.
struct RowBlocks {
    std::vector<LodBlock> blocks;
    std::vector<int> index;
    std::vector<LodStretch> inUse;
};
RowBlocks ReadRowBlocks(const GanttFacility& facility, int row);

// The row's non-working time within [from, to] (and the run's first `span`
// seconds): the complement of its calendar's working blocks; none without
// a calendar or a valid start.
std::vector<LodStretch> NonWorkingStretches(const GanttFacility& facility, int row, long from, long to, long span);

// The start of the `length` seconds of the run in which the most operations
// start (the earliest such), for a close look at its busiest stretch.
long BusiestWindow(const GanttFacility& facility, long length);

} // namespace batchplant::cli
