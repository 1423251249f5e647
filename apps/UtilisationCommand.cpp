// `batchplant utilisation DB [--format text|csv|json] [--from T] [--to T]`:
// how busy each piece of equipment is over the run (or a span of it), and
// which is the bottleneck.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "Command.h"
#include "render/GanttSvg.h"
#include "render/Html.h"
#include "render/Load.h"
#include "render/TimeArg.h"
#include "render/Utilisation.h"
#include "batchplant/gantt/GanttFacility.h"

namespace batchplant::cli {
namespace {

struct UtilisationOptions {
    std::string db;
    std::string format = "text";
    std::string from, to;
};

std::string jsonText(const std::string& s)
{
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", u);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A bar of 40 characters: running #, holding +, non-working ~, idle space.
std::string bar(const Shares& s)
{
    const int width = 40;
    const int r = static_cast<int>(std::lround(s.running * width));
    const int h = static_cast<int>(std::lround((s.running + s.holding) * width)) - r;
    const int n = static_cast<int>(std::lround((s.running + s.holding + s.nonWorking) * width)) - r - h;
    std::string out = std::string(r, '#') + std::string(h, '+') + std::string(std::max(n, 0), '~');
    return out + std::string(width - std::min<int>(width, static_cast<int>(out.size())), ' ');
}

int runUtilisation(const UtilisationOptions& o)
{
    if (o.format != "text" && o.format != "csv" && o.format != "json") {
        std::fprintf(stderr, "batchplant utilisation: unknown format \"%s\": give text, csv or json\n",
                     o.format.c_str());
        return kBadInput;
    }
    LoadedRun run;
    if (const int rc = LoadRun("utilisation", o.db, false, true, run); rc != kOk) return rc;
    const GanttFacility& g = *run.schedule;
    const long end = RunEndSeconds(g);
    long from = 0, to = end;
    for (const auto& [text, value] : {std::pair{&o.from, &from}, std::pair{&o.to, &to}}) {
        if (text->empty()) continue;
        std::string error;
        const std::optional<long> t = RunTimeArg(*text, g.GetStartTime(), end, error);
        if (!t) {
            std::fprintf(stderr, "batchplant utilisation: %s\n", error.c_str());
            return kBadInput;
        }
        *value = *t;
    }
    if (to <= from) {
        std::fprintf(stderr, "batchplant utilisation: the span from %ld s to %ld s is empty: give --from before --to\n",
                     from, to);
        return kBadInput;
    }
    const Utilisation u = MeasureUtilisation(g, from, to);
    const std::string bottleneck = u.bottleneck >= 0 ? u.vessels[u.bottleneck].tag : std::string();
    if (o.format == "json") {
        std::printf("{\"from\": %ld, \"to\": %ld, \"bottleneck\": %s, \"vessels\": [", from, to,
                    u.bottleneck >= 0 ? jsonText(bottleneck).c_str() : "null");
        for (std::size_t i = 0; i < u.vessels.size(); ++i) {
            const VesselUse& v = u.vessels[i];
            std::printf("%s\n  {\"tag\": %s, \"running\": %.6f, \"holding\": %.6f, \"idle\": %.6f, \"nonWorking\": "
                        "%.6f, \"operations\": %d, \"batches\": %d}",
                        i ? "," : "", jsonText(v.tag).c_str(), v.shares.running, v.shares.holding, v.shares.idle,
                        v.shares.nonWorking, v.operations, v.batches);
        }
        std::printf("\n], \"steps\": [");
        for (std::size_t i = 0; i < u.steps.size(); ++i) {
            const StepUse& st = u.steps[i];
            std::printf("%s\n  {\"name\": %s, \"unit\": %s, \"batches\": %ld, \"measuredBatches\": %ld, \"batchTime\": "
                        "%.6g, \"measuredBatchTime\": %.6g, \"cycleTime\": %.6g, \"measuredCycleTime\": %.6g, "
                        "\"limiting\": %s, \"busiest\": %s}",
                        i ? "," : "", jsonText(st.name).c_str(), jsonText(st.unit).c_str(), st.batches,
                        st.measuredBatches, st.batchTime, st.measuredBatchTime, st.cycleTime, st.measuredCycleTime,
                        jsonText(st.limiting).c_str(), jsonText(st.busiest).c_str());
        }
        std::printf("\n]}\n");
    } else if (o.format == "csv") {
        std::printf("tag,running,holding,idle,nonWorking,operations,batches\n");
        for (const VesselUse& v : u.vessels)
            std::printf("\"%s\",%.6f,%.6f,%.6f,%.6f,%d,%d\n", v.tag.c_str(), v.shares.running, v.shares.holding,
                        v.shares.idle, v.shares.nonWorking, v.operations, v.batches);
    } else {
        std::printf("Utilisation from %s to %s (# running, + holding material, ~ non-working, blank idle)\n\n",
                    FormatRunTime(g.GetStartTime(), from).c_str(), FormatRunTime(g.GetStartTime(), to).c_str());
        std::printf("%-22s %-40s %8s %8s %8s %8s %6s %7s\n", "equipment", "", "running", "holding", "idle", "off",
                    "ops", "batches");
        for (std::size_t i = 0; i < u.vessels.size(); ++i) {
            const VesselUse& v = u.vessels[i];
            std::printf("%-22.22s %s %7.1f%% %7.1f%% %7.1f%% %7.1f%% %6d %7d%s\n", v.tag.c_str(), bar(v.shares).c_str(),
                        100 * v.shares.running, 100 * v.shares.holding, 100 * v.shares.idle, 100 * v.shares.nonWorking,
                        v.operations, v.batches, static_cast<int>(i) == u.bottleneck ? "  <- bottleneck" : "");
        }
        std::printf("\nSteps: as the step summary gives them / as the schedule measures them\n");
        std::printf("%-30s %15s %23s %23s  %-22s %s\n", "step", "batches", "batch time", "cycle time", "time-limiting",
                    "busiest vessel");
        for (const StepUse& st : u.steps) {
            char batchTime[64], cycleTime[64];
            std::snprintf(batchTime, sizeof batchTime, "%.2f / %.2f %s", st.batchTime, st.measuredBatchTime,
                          st.unit.c_str());
            std::snprintf(cycleTime, sizeof cycleTime, "%.2f / %.2f %s", st.cycleTime, st.measuredCycleTime,
                          st.unit.c_str());
            std::printf("%-30.30s %7ld / %-5ld %23s %23s  %-22.22s %s\n", st.name.c_str(), st.batches,
                        st.measuredBatches, batchTime, cycleTime, st.limiting.c_str(), st.busiest.c_str());
        }
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "batchplant utilisation: cannot write the output\n");
        return kFailure;
    }
    return kOk;
}

const bool registered = registerCommand(
    "utilisation", "Show how busy each piece of equipment is over the run, and its bottleneck", [](CLI::App& sub) {
        auto o = std::make_shared<UtilisationOptions>();
        sub.add_option("db", o->db, "The results database")->required();
        sub.add_option("--format", o->format, "Text (a bar per vessel), csv or json")->capture_default_str();
        sub.add_option("--from", o->from, "Start of the span: a time or date of the run (default: its start)");
        sub.add_option("--to", o->to, "End of the span (default: the run's end)");
        return Runner([o] { return runUtilisation(*o); });
    });

} // namespace
} // namespace batchplant::cli
