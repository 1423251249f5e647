#pragma once
// How busy each piece of equipment is over a span of the run, from the
// schedule view's own answers: the share of the span it runs operations, the
// share it holds material between them, the share of non-working calendar
// time it neither runs nor holds, and the idle rest. The four add up to the
// span. The vessel that runs operations the largest share of the span is
// the bottleneck.

#include <string>
#include <vector>

#include "TimeWindow.h"

namespace batchplant {
class GanttFacility;
}

namespace batchplant::cli {

struct Shares {
    double running = 0, holding = 0, idle = 0, nonWorking = 0; // fractions of the span
};

// The shares over [from, to] of a vessel with these operations, in-use and
// non-working stretches (any order, overlapping or not, also beyond the span).
Shares ShareOfSpan(const std::vector<LodBlock>& blocks, const std::vector<LodStretch>& inUse,
                   const std::vector<LodStretch>& nonWorking, long from, long to);

struct VesselUse {
    std::string tag;
    Shares shares;
    int operations = 0; // that meet the span
    int batches = 0;    // distinct among them
};

// A step as its summary gives it and as its operations in the schedule
// measure (within the span), times in the summary's unit.
struct StepUse {
    std::string name, unit;
    long batches = 0, measuredBatches = 0;
    double batchTime = 0, measuredBatchTime = 0; // first start to last end of a batch, averaged
    double cycleTime = 0, measuredCycleTime = 0; // between consecutive batches' starts, averaged
    std::string limiting;                        // the summary's time-limiting equipment
    std::string busiest;                         // the vessel running the step's operations longest
};

struct Utilisation {
    long from = 0, to = 0;
    std::vector<VesselUse> vessels; // in the schedule's row order
    std::vector<StepUse> steps;     // in the plan's order
    int bottleneck = -1;            // index of the vessel running the most; -1 when none works
};

Utilisation MeasureUtilisation(const GanttFacility& facility, long from, long to);

struct RowBlocks;

// The vessels' shares and the bottleneck only (no steps), from rows already
// read by ReadRowBlocks (one per schedule row) and the schedule's end
// (RunEndSeconds): what a viewer asks for on every zoom, without walking
// the run's texts again.
Utilisation MeasureVesselUse(const GanttFacility& facility, const std::vector<RowBlocks>& rows, long span, long from,
                             long to);

// One stacked bar per vessel (running, holding, idle, non-working) in the
// schedule's row order, labels on the Gantt chart's left margin, the
// bottleneck marked; an inline <svg> for the report.
std::string RenderUtilisationSvg(const Utilisation& u, int width = 1300);

} // namespace batchplant::cli
