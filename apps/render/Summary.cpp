#include "Summary.h"

#include <sstream>

#include "Html.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/StepInfo.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::cli {

PlantSummary SummarizePlant(const Facility& facility)
{
    PlantSummary s;
    s.planName = facility.GetPlanName().str();
    const COleDateTime start = facility.GetStartTime();
    s.startTime = start.GetStatus() == COleDateTime::valid ? FormatRunTime(start, 0) : "(unknown)";
    for (int i = 0; i < facility.GetNumSteps(); ++i) {
        const StepInfo step = facility.GetStepByIndex(i);
        s.steps.push_back({step.GetStepName().str(), step.GetVersionName().str(), step.GetPlantName().str(),
                           step.GetNumberOfBatches()});
    }
    for (int f = 0; f < facility.GetNumFloors(); ++f) {
        Plane* floor = facility.GetFloorByIndex(f);
        if (!floor) continue;
        PlantSummary::Floor out{floor->GetName().str(), floor->GetPlantName().str(), {}};
        for (int v = 0; v < floor->GetNumVessels(); ++v) {
            const Vessel* vessel = floor->GetVesselByIndex(v);
            if (!vessel) continue;
            out.equipment.push_back({vessel->GetName().str(), vessel->GetClass().str(), vessel->GetCapacity().str(),
                                     vessel->GetNumTimeBlocks()});
        }
        s.floors.push_back(std::move(out));
    }
    s.vessels = facility.GetNumVessels();
    s.connecting = facility.GetNumConnectingStreams();
    for (int i = 0; i < facility.GetNumUniStreams(); ++i) {
        const Stream* stream = facility.GetUniStreamByIndex(i);
        if (!stream) continue;
        if (stream->GetType() & Stream::Input) ++s.input;
        if (stream->GetType() & Stream::Output) ++s.output;
    }
    s.utility = facility.GetNumUtilStreams();
    s.vapor = facility.GetNumVaporStreams();
    return s;
}

std::string SummaryText(const PlantSummary& s)
{
    std::ostringstream out;
    out << "Plan: " << (s.planName.empty() ? "(unnamed)" : s.planName) << "\n";
    out << "Start: " << s.startTime << "\n";
    out << "Steps (" << s.steps.size() << "):\n";
    for (const auto& step : s.steps) {
        out << "  " << step.name;
        if (!step.version.empty()) out << " (" << step.version << ")";
        out << ", " << step.batches << (step.batches == 1 ? " batch" : " batches");
        if (!step.plant.empty()) out << ", plant " << step.plant;
        out << "\n";
    }
    out << "Floors (" << s.floors.size() << "), equipment (" << s.vessels << "):\n";
    for (const auto& floor : s.floors) {
        out << "  " << floor.name;
        if (!floor.plant.empty() && floor.plant != floor.name) out << " [" << floor.plant << "]";
        out << ":\n";
        for (const auto& e : floor.equipment) {
            out << "    " << e.name;
            if (!e.equipmentClass.empty()) out << " (" << e.equipmentClass << ")";
            if (!e.capacity.empty()) out << ", " << e.capacity;
            out << "\n";
        }
    }
    out << "Streams: " << s.connecting << " connecting, " << s.input << " input, " << s.output << " output, "
        << s.utility << " utility, " << s.vapor << " vapor\n";
    return out.str();
}

std::string SummaryHtml(const PlantSummary& s)
{
    std::ostringstream out;
    out << "<section id=\"summary\"><h2>Plant summary</h2>\n<dl class=\"facts\">"
        << "<dt>Plan</dt><dd>" << XmlEscape(s.planName.empty() ? "(unnamed)" : s.planName) << "</dd>"
        << "<dt>Start</dt><dd>" << XmlEscape(s.startTime) << "</dd>"
        << "<dt>Equipment</dt><dd>" << s.vessels << "</dd>"
        << "<dt>Streams</dt><dd>" << s.connecting << " connecting, " << s.input << " input, " << s.output << " output, "
        << s.utility << " utility, " << s.vapor << " vapor</dd></dl>\n";
    out << "<h3>Steps</h3>\n<table><thead><tr><th>Step</th><th>Version</th><th class=\"num\">Batches</th>"
           "<th>Plant</th></tr></thead><tbody>\n";
    for (const auto& step : s.steps)
        out << "<tr><td>" << XmlEscape(step.name) << "</td><td>" << XmlEscape(step.version) << "</td><td class=\"num\">"
            << step.batches << "</td><td>" << XmlEscape(step.plant) << "</td></tr>\n";
    out << "</tbody></table>\n<h3>Floors and equipment</h3>\n<div class=\"floors\">\n";
    for (const auto& floor : s.floors) {
        out << "<div class=\"floor\"><h4>" << XmlEscape(floor.name) << "</h4><table><thead><tr><th>Equipment</th>"
            << "<th>Class</th><th class=\"num\">Capacity</th><th class=\"num\">Operations</th></tr></thead><tbody>\n";
        for (const auto& e : floor.equipment)
            out << "<tr><td>" << XmlEscape(e.name) << "</td><td>" << XmlEscape(e.equipmentClass)
                << "</td><td class=\"num\">" << XmlEscape(e.capacity) << "</td><td class=\"num\">" << e.blocks
                << "</td></tr>\n";
        out << "</tbody></table></div>\n";
    }
    out << "</div></section>\n";
    return out.str();
}

} // namespace batchplant::cli
