// `batchplant compare A.db B.db [--format text|json]`: two runs of a plant
// side by side: their plans and spans; per step the batches, campaign and
// cycle times; per vessel, matched by tag, the shares of the run it runs
// and holds material; and the peaks and totals of labor, utilities and vapor
// emissions, each with the difference B - A.

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "render/GanttSvg.h"
#include "render/Load.h"
#include "render/Profiles.h"
#include "render/Utilisation.h"
#include "batchplant/gantt/GanttFacility.h"

namespace batchplant::cli {
namespace {

struct CompareOptions {
    std::string a, b;
    std::string format = "text";
};

// What is compared of one run, by name.
struct Run {
    std::string plan;
    long span = 0;
    std::map<std::string, std::vector<double>> steps;       // batches, campaign, cycle
    std::map<std::string, Shares> vessels;                  // by tag
    std::map<std::string, std::pair<double, double>> peaks; // "Labor: Operator" -> (peak, total)
};

struct Profile {
    const char* label;
    CompType type;
    CompositeSetting setting;
    SeriesBy by;
};
constexpr Profile kProfiles[] = {{"Labor", Labor, Operators, SeriesBy::Component},
                                 {"Utilities", Utilities, Duty | PerTime, SeriesBy::Group},
                                 {"Vapor emissions", VaporEmissions, Mass | PerTime, SeriesBy::Group}};

Run measure(GanttFacility& g)
{
    Run r;
    r.plan = g.GetPlanName().str();
    r.span = RunEndSeconds(g);
    for (int i = 0; i < g.GetNumSteps(); ++i) {
        const StepInfo s = g.GetStepByIndex(i);
        r.steps[s.GetStepName().str() + " (" + s.GetCampaignTimeUnit().str() + ")"] = {
            static_cast<double>(s.GetNumberOfBatches()), s.GetCampaignTime(), s.GetAverageCycleTime()};
    }
    for (const VesselUse& v : MeasureUtilisation(g, 0, std::max(r.span, 1L)).vessels)
        r.vessels[v.tag] = v.shares;
    for (const Profile& p : kProfiles) {
        const ProfileChart chart = BuildProfileChart(g, p.type, p.setting, p.by);
        for (const ProfileSeries& s : chart.series) {
            double peak = 0, total = 0;
            for (std::size_t i = 0; i < s.points.size(); ++i) {
                const double v = std::isfinite(s.points[i].second) ? s.points[i].second : 0.0;
                peak = std::max(peak, v);
                if (i + 1 < s.points.size()) total += v * (s.points[i + 1].first - s.points[i].first);
            }
            r.peaks[std::string(p.label) + " (" + chart.valueUnit + "): " + s.name] = {peak, total};
        }
    }
    return r;
}

std::string num(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

std::string quoted(const std::string& s)
{
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return out + "\"";
}

// One row of a table: what each run has under a name; a run that lacks the
// name says so instead of a zero.
struct Row {
    std::string name;
    std::optional<std::vector<double>> a, b;
};

template <class Map, class Values> std::vector<Row> rowsOf(const Map& a, const Map& b, Values values)
{
    std::map<std::string, Row> rows;
    for (const auto& [name, v] : a)
        rows[name].a = values(v);
    for (const auto& [name, v] : b)
        rows[name].b = values(v);
    std::vector<Row> out;
    for (auto& [name, row] : rows) {
        row.name = name;
        out.push_back(std::move(row));
    }
    return out;
}

void print(bool json, const char* title, const char* key, const std::vector<std::string>& columns,
           const std::vector<Row>& rows, bool last)
{
    if (json) {
        std::printf("  %s: [", quoted(key).c_str());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            std::printf("%s\n    {\"name\": %s", r ? "," : "", quoted(rows[r].name).c_str());
            for (std::size_t c = 0; c < columns.size(); ++c)
                for (const auto& [side, v] : {std::pair{"A", &rows[r].a}, std::pair{"B", &rows[r].b}})
                    std::printf(", \"%s%s\": %s", columns[c].c_str(), side, *v ? num((**v)[c]).c_str() : "null");
            std::printf("}");
        }
        std::printf("\n  ]%s\n", last ? "" : ",");
        return;
    }
    std::printf("\n%s (A -> B, difference)\n", title);
    for (const Row& row : rows) {
        std::printf("  %-34.34s", row.name.c_str());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string x = row.a ? num((*row.a)[c]) : "-", y = row.b ? num((*row.b)[c]) : "-";
            const std::string d = row.a && row.b ? num((*row.b)[c] - (*row.a)[c]) : row.a ? "only in A" : "only in B";
            std::printf("  %s %s -> %s (%s)", columns[c].c_str(), x.c_str(), y.c_str(), d.c_str());
        }
        std::printf("\n");
    }
}

int runCompare(const CompareOptions& o)
{
    if (o.format != "text" && o.format != "json") {
        std::fprintf(stderr, "batchplant compare: unknown format \"%s\": give text or json\n", o.format.c_str());
        return kBadInput;
    }
    LoadedRun ra, rb;
    if (const int rc = LoadRun("compare", o.a, false, true, ra); rc != kOk) return rc;
    if (const int rc = LoadRun("compare", o.b, false, true, rb); rc != kOk) return rc;
    const Run a = measure(*ra.schedule), b = measure(*rb.schedule);
    const bool json = o.format == "json";
    if (json)
        std::printf("{\n  \"planA\": %s, \"planB\": %s, \"spanA\": %ld, \"spanB\": %ld,\n", quoted(a.plan).c_str(),
                    quoted(b.plan).c_str(), a.span, b.span);
    else
        std::printf("A: %s (%s), %.1f days\nB: %s (%s), %.1f days\n", a.plan.c_str(), o.a.c_str(), a.span / 86400.0,
                    b.plan.c_str(), o.b.c_str(), b.span / 86400.0);
    print(json, "Steps (campaign and cycle times in the step's unit)", "steps", {"batches", "campaign", "cycle"},
          rowsOf(a.steps, b.steps, [](const std::vector<double>& v) { return v; }), false);
    print(json, "Equipment, shares of the run", "equipment", {"running", "holding"},
          rowsOf(a.vessels, b.vessels,
                 [](const Shares& s) {
                     return std::vector<double>{s.running, s.holding};
                 }),
          false);
    print(json, "Labor, utilities and vapor emissions: peak and total over the run", "profiles", {"peak", "total"},
          rowsOf(a.peaks, b.peaks,
                 [](const std::pair<double, double>& p) {
                     return std::vector<double>{p.first, p.second};
                 }),
          true);
    if (json) std::printf("}\n");
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "batchplant compare: cannot write the output\n");
        return kFailure;
    }
    return kOk;
}

const bool registered = registerCommand(
    "compare", "Compare two runs: steps, equipment utilisation, labor, utilities and emissions", [](CLI::App& sub) {
        auto o = std::make_shared<CompareOptions>();
        sub.add_option("a", o->a, "The first results database")->required();
        sub.add_option("b", o->b, "The second results database")->required();
        sub.add_option("--format", o->format, "Text or json")->capture_default_str();
        return Runner([o] { return runCompare(*o); });
    });

} // namespace
} // namespace batchplant::cli
