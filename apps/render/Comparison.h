#pragma once
// Two runs of a plant side by side: their plans and spans; per step the
// batches, campaign and cycle times; per vessel, matched by tag, the shares
// of the run it runs and holds material; the peaks and totals of labor,
// utilities and vapor emissions. Shared by `compare` and the report.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Utilisation.h"

namespace batchplant {
class GanttFacility;
}

namespace batchplant::cli {

// What is compared of one run, by name.
struct Run {
    std::string plan;
    long span = 0;
    std::map<std::string, std::vector<double>> steps;       // batches, campaign, cycle
    std::map<std::string, Shares> vessels;                  // by tag
    std::map<std::string, std::pair<double, double>> peaks; // "Labor (operators): Operator" -> (peak, total)
    Utilisation utilisation;
};

Run MeasureRun(GanttFacility& g);

// One row of a table: what each run has under a name; a run that lacks the
// name says so instead of a zero.
struct Row {
    std::string name;
    std::optional<std::vector<double>> a, b;
};

struct Table {
    const char* title;
    const char* key; // in JSON
    std::vector<std::string> columns;
    std::vector<Row> rows;
};

// The three tables of a comparison: steps, equipment, profiles.
std::vector<Table> CompareRuns(const Run& a, const Run& b);

// "%.4g" of a value.
std::string ShortNumber(double v);

// The tables and both runs' utilisation charts as a report section.
std::string ComparisonHtml(const Run& a, const Run& b, const std::string& nameA, const std::string& nameB);

} // namespace batchplant::cli
