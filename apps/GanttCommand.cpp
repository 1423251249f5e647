// `batchplant gantt DB -o FILE.svg` writes the schedule of a run as an SVG
// Gantt chart.

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "Command.h"
#include "render/GanttSvg.h"
#include "render/Load.h"
#include "batchplant/gantt/GanttFacility.h"

namespace batchplant::cli {
namespace {

struct GanttOptions {
    std::string db;
    std::string output;
    int width = 1300;
};

int runGantt(const GanttOptions& o)
{
    if (o.width < 400 || o.width > 100000) {
        std::fprintf(stderr, "batchplant gantt: bad width %d: give 400 to 100000 pixels\n", o.width);
        return kBadInput;
    }
    LoadedRun run;
    if (const int rc = LoadRun("gantt", o.db, false, true, run); rc != kOk) return rc;
    GanttSvgOptions options;
    options.width = o.width;
    const std::string svg = RenderGanttSvg(*run.schedule, options);
    std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
    if (out) out << svg;
    if (out) out.close();
    if (!out) {
        std::fprintf(stderr, "batchplant gantt: cannot write %s\n", o.output.c_str());
        return kFailure;
    }
    return kOk;
}

const bool registered = registerCommand("gantt", "Draw the schedule of a run as an SVG Gantt chart", [](CLI::App& sub) {
    auto o = std::make_shared<GanttOptions>();
    sub.add_option("db", o->db, "The results database")->required();
    sub.add_option("-o,--output", o->output, "The SVG file to write")->required();
    sub.add_option("--width", o->width, "Width of the drawing in pixels")->capture_default_str();
    return Runner([o] { return runGantt(*o); });
});

} // namespace
} // namespace batchplant::cli
