// `batchplant report DB -o DIR` loads a results database into both views and
// writes DIR/index.html: one self-contained page with the plant summary, the
// Gantt chart and the composite profiles, all inline.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "Command.h"
#include "PlanLayout.h"
#include "PlanSvg.h"
#include "render/GanttSvg.h"
#include "render/Comparison.h"
#include "render/Html.h"
#include "render/Load.h"
#include "render/Profiles.h"
#include "render/Summary.h"
#include "render/TimeAxis.h"
#include "render/Utilisation.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant::cli {
namespace {

struct ReportOptions {
    std::string db;
    std::string output;
    std::string compare; // a second run to compare with; none if empty
};

// The profiles the page shows, and how each is read.
struct ProfileSpec {
    CompType type;
    CompositeSetting setting;
    SeriesBy by;
    const char* caption;
};

constexpr ProfileSpec kProfiles[] = {
    {Labor, Operators, SeriesBy::Component, "Operators at work per labor grade"},
    {Utilities, Duty | PerTime, SeriesBy::Group, "Heat duty per utility"},
    {Inventory, Mass | PerTime, SeriesBy::ComponentName,
     "Net mass rate out of the inventory locations per material (positive: to the process)"},
    {VaporEmissions, Mass | PerTime, SeriesBy::Group, "Vapor emissions per source"},
    {BufferTanks, Mass, SeriesBy::Group, "Buffer tank contents"},
};

constexpr long kWeek = 7 * 86400;
// Series a profile shows before the rest are summed as "others".
constexpr std::size_t kMostSeries = 8;

constexpr const char* kStyle = R"(
body { font-family: Helvetica, Arial, sans-serif; margin: 0; color: #222; background: #F3F4F7; }
header { background: #1F3A5F; color: #FFF; padding: 18px 28px; }
header h1 { margin: 0; font-size: 22px; }
header p { margin: 4px 0 0; color: #C9D6EA; }
main { padding: 10px 28px 40px; }
section { background: #FFF; border-radius: 6px; box-shadow: 0 1px 3px rgba(0,0,0,0.12); margin: 18px 0; padding: 8px 20px 16px; }
h2 { font-size: 18px; border-bottom: 1px solid #E1E4EA; padding-bottom: 6px; }
h3 { font-size: 15px; margin: 16px 0 6px; }
h4 { font-size: 13px; margin: 6px 0; }
table { border-collapse: collapse; font-size: 12px; }
th, td { padding: 3px 10px; border-bottom: 1px solid #ECEEF2; text-align: left; }
th { background: #F0F2F6; }
td.num, th.num { text-align: right; }
dl.facts { display: grid; grid-template-columns: max-content auto; gap: 4px 16px; font-size: 13px; }
dl.facts dt { font-weight: bold; }
dl.facts dd { margin: 0; }
.floors { display: flex; flex-wrap: wrap; gap: 18px; }
.floor { border: 1px solid #E1E4EA; border-radius: 4px; padding: 4px 10px 10px; }
.chart { overflow-x: auto; }
p.caption { font-size: 12px; color: #555; margin: 4px 0 8px; }
)";

// Top views of every floor at a quarter, half and three quarters of the run,
// laid out by the layout wizard.
std::string renderPlanViews(PlanFacility& plant, long end)
{
    std::ostringstream out;
    if (plant.GetNumFloors() == 0 || end <= 0) return out.str();
    plant.LayOutAllFloors(0);
    plant.InitAnim();
    out << "<section id=\"plan\"><h2>Plant at work</h2>\n<p class=\"caption\">Each floor seen from above at three "
           "instants: vessels filled to their level in the colour of the batch they hold, heating orange, cooling "
           "blue, flowing pipes thick.</p>\n";
    for (const int quarter : {1, 2, 3}) {
        const long t = end / 4 * quarter;
        plant.SetAnimationTime(t);
        out << "<h3>" << XmlEscape(CProcedure::FormatTime(t).str()) << " into the run</h3>\n<div class=\"floors\">\n";
        for (int f = 0; f < plant.GetNumFloors(); ++f) {
            const Plane* floor = plant.GetFloorByIndex(f);
            if (!floor) continue;
            // A floor fits the screen beside its neighbours, and each of its
            // three drawings has ids of its own.
            PlanSvgOptions options;
            options.maxWidth = 640.0;
            options.maxHeight = 600.0;
            options.idPrefix = "q" + std::to_string(quarter) + "f" + std::to_string(f) + "-";
            out << "<div class=\"chart\">" << RenderFloorSvg(plant, *floor, options, false) << "</div>\n";
        }
        out << "</div>\n";
    }
    out << "</section>\n";
    return out.str();
}

std::string renderPage(const PlantSummary& summary, GanttFacility& schedule, PlanFacility& plant, int& bars,
                       const std::string& comparison)
{
    std::ostringstream page;
    page << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
         << "<meta charset=\"utf-8\"/>\n<title>Run report: " << XmlEscape(summary.planName) << "</title>\n"
         << "<style>" << kStyle << PlanSvgStyle("#plan svg ") << "</style>\n</head>\n<body>\n";
    page << "<header><h1>Run report: " << XmlEscape(summary.planName.empty() ? "(unnamed plan)" : summary.planName)
         << "</h1><p>Run start " << XmlEscape(summary.startTime) << " \u00B7 " << summary.steps.size()
         << " steps \u00B7 " << summary.vessels << " pieces of equipment</p></header>\n<main>\n";
    page << SummaryHtml(summary);

    bars = 0;
    for (int v = 0; v < schedule.GetNumSchedVessels(); ++v)
        bars += schedule.GetNumTimeBlocks(v);
    const long end = RunEndSeconds(schedule);
    // The whole run, and its busiest week at full detail where the run is
    // long enough for the two to differ.
    ChartFrame whole;
    whole.start = schedule.GetStartTime();
    whole.to = std::max(end, 1L);
    std::vector<std::pair<std::string, ChartFrame>> views = {{"The whole run", whole}};
    if (end > 3 * kWeek) {
        ChartFrame week = whole;
        week.from = std::min(BusiestWindow(schedule, kWeek), end - kWeek);
        week.to = week.from + kWeek;
        views.push_back({"The busiest week", week});
    }
    std::vector<ProfileChart> charts;
    for (const ProfileSpec& spec : kProfiles) {
        charts.push_back(BuildProfileChart(schedule, spec.type, spec.setting, spec.by));
        KeepLargestSeries(charts.back(), kMostSeries);
    }
    for (std::size_t i = 0; i < views.size(); ++i) {
        const auto& [title, frame] = views[i];
        const std::string id = i == 0 ? "gantt" : "gantt-week";
        page << "<section id=\"" << id << "\"><h2>" << title << "</h2>\n<p class=\"caption\">One row per piece of "
             << "equipment, one bar per operation coloured by batch; operations narrower than a pixel are merged "
             << "into spans (grey where they hold several batches). Pale bars are operations on an empty vessel, "
             << "grey-blue stretches the time a vessel holds material between operations, shaded areas "
             << "non-working calendar time. The profiles below share the schedule's time axis. Hover a bar for "
             << "its details.</p>\n<div class=\"chart\">\n";
        GanttSvgOptions gantt;
        gantt.standalone = false;
        gantt.from = frame.from;
        gantt.to = frame.to;
        page << RenderGanttSvg(schedule, gantt);
        for (std::size_t c = 0; c < charts.size(); ++c)
            page << "<p class=\"caption\">" << XmlEscape(kProfiles[c].caption) << "</p>\n"
                 << RenderProfileSvg(charts[c], frame, false);
        page << "</div></section>\n";
        if (i == 0) {
            page << "<section id=\"utilisation\"><h2>Utilisation</h2>\n<p class=\"caption\">How each piece of "
                    "equipment spent the run, in the Gantt chart's order: running operations, holding material "
                    "between them, idle in working time, and in non-working calendar time. The equipment that runs "
                    "the largest share is marked as the bottleneck.</p>\n<div class=\"chart\">\n"
                 << RenderUtilisationSvg(MeasureUtilisation(schedule, frame.from, frame.to)) << "</div></section>\n";
        }
    }
    page << comparison << renderPlanViews(plant, end) << "</main>\n</body>\n</html>\n";
    return page.str();
}

int runReport(const ReportOptions& o)
{
    LoadedRun run;
    if (const int rc = LoadRun("report", o.db, true, true, run); rc != kOk) return rc;

    std::error_code ec;
    std::filesystem::create_directories(o.output, ec);
    if (ec || !std::filesystem::is_directory(o.output)) {
        std::fprintf(stderr, "batchplant report: cannot create the directory %s%s%s\n", o.output.c_str(),
                     ec ? ": " : "", ec ? ec.message().c_str() : "");
        return kFailure;
    }
    std::string comparison;
    if (!o.compare.empty()) {
        LoadedRun other;
        if (const int rc = LoadRun("report", o.compare, false, true, other); rc != kOk) return rc;
        comparison = ComparisonHtml(MeasureRun(*run.schedule), MeasureRun(*other.schedule), o.db, o.compare);
    }
    const PlantSummary summary = SummarizePlant(*run.plant);
    int bars = 0;
    const std::string html =
        renderPage(summary, *run.schedule, static_cast<PlanFacility&>(*run.plant), bars, comparison);
    const std::filesystem::path file = std::filesystem::path(o.output) / "index.html";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out << html;
    if (out) out.close();
    if (!out) {
        std::fprintf(stderr, "batchplant report: cannot write %s\n", file.string().c_str());
        return kFailure;
    }
    std::printf("Plan %s: %zu steps, %d pieces of equipment, %d operations\n",
                summary.planName.empty() ? "(unnamed)" : summary.planName.c_str(), summary.steps.size(),
                summary.vessels, bars);
    std::printf("Report written to %s\n", file.string().c_str());
    return kOk;
}

const bool registered = registerCommand(
    "report", "Write a self-contained HTML report of a run: plant summary, Gantt chart and resource profiles",
    [](CLI::App& sub) {
        auto o = std::make_shared<ReportOptions>();
        sub.add_option("db", o->db, "The results database")->required();
        sub.add_option("-o,--output", o->output, "The directory to write index.html into (created if absent)")
            ->required();
        sub.add_option("--compare", o->compare, "A second results database to compare the run with");
        return Runner([o] { return runReport(*o); });
    });

} // namespace
} // namespace batchplant::cli
