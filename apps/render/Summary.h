#pragma once
// The plant summary of a loaded run: plan, steps, floors with their
// equipment, and stream counts by kind; as plain text and as HTML.

#include <string>
#include <vector>

namespace batchplant {
class Facility;
}

namespace batchplant::cli {

struct PlantSummary {
    struct Step {
        std::string name, version, plant;
        long batches = 0;
    };
    struct Equipment {
        std::string name, equipmentClass, capacity;
        int blocks = 0;
    };
    struct Floor {
        std::string name, plant;
        std::vector<Equipment> equipment;
    };
    std::string planName;
    std::string startTime; // "YYYY-MM-DD HH:MM", or "(unknown)"
    std::vector<Step> steps;
    std::vector<Floor> floors;
    int connecting = 0, input = 0, output = 0, utility = 0, vapor = 0;
    int vessels = 0;
};

PlantSummary SummarizePlant(const Facility& facility);
std::string SummaryText(const PlantSummary& summary);
// HTML sections (no page wrapper) for the report page.
std::string SummaryHtml(const PlantSummary& summary);

} // namespace batchplant::cli
