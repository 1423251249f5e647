#pragma once
// The schedule of a loaded run as an SVG Gantt chart: one row per scheduled
// vessel, one bar per time block coloured by batch, in-use stretches lighter,
// non-working calendar time shaded, a time axis in dates from the run start.

#include <string>

namespace batchplant {
class GanttFacility;
}

namespace batchplant::cli {

struct GanttSvgOptions {
    int width = 1300;       // whole drawing, pixels
    bool standalone = true; // with the XML declaration and namespace, for a .svg file
};

std::string RenderGanttSvg(const GanttFacility& facility, const GanttSvgOptions& options = {});

// The last end time over every block and in-use stretch of the run, in
// seconds; 0 for a run without blocks.
long RunEndSeconds(const GanttFacility& facility);

} // namespace batchplant::cli
