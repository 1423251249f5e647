#pragma once
// Composite profiles of a loaded run turned into chartable series in the
// profile's own units, and drawn as SVG step charts.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TimeAxis.h"
#include "batchplant/gantt/CompositeTypes.h"

namespace batchplant {
class GanttFacility;
}

namespace batchplant::cli {

// One step line: the value at points[i].first holds until the next point's
// time (the last value holds to the end of the chart).
struct ProfileSeries {
    std::string name;
    std::vector<std::pair<double, double>> points; // (time, value), in display units, ascending time
};

struct ProfileChart {
    std::string title;
    std::string timeUnit;
    std::string valueUnit;
    double timeFactor = 1.0; // seconds per time unit
    std::vector<ProfileSeries> series;
};

// How the components of a type are gathered into series.
enum class SeriesBy {
    Component,     // one series per component of every group
    Group,         // one series per group, its components summed
    ComponentName, // one series per component name, summed over groups
};

// A chart of every profile of `type` with series gathered as `by`; no
// series when the type has no profiles.
ProfileChart BuildProfileChart(GanttFacility& facility, CompType type, CompositeSetting setting, SeriesBy by);

// The sum of the selected profiles as one series in display units; false when
// the selection names a group or component that does not exist (with `error`
// saying which), true with an empty series when the type has no profiles.
// Group -1 is a real group (streams from or to outside the plant), so "all"
// is an empty optional here.
bool BuildProfileSum(GanttFacility& facility, CompType type, CompositeSetting setting, std::optional<long> group,
                     std::optional<long> component, ProfileChart& chart, std::string& error);

// At most `most` series: the largest (by their peak) and the sum of the rest
// as "N others", so that no material goes unaccounted for.
void KeepLargestSeries(ProfileChart& chart, std::size_t most);

// A step chart over the frame's window, on the same axis as the Gantt
// chart; `standalone` adds the XML declaration for a .svg file.
std::string RenderProfileSvg(const ProfileChart& chart, const ChartFrame& frame, bool standalone);

} // namespace batchplant::cli
