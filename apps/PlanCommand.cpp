// `batchplant plan DB -o FILE.svg [--at TIME] [--layout wizard|force[:N]]`
// loads a results database into a facility, lays out every floor with the
// layout wizard (optionally refined by N iterations of the force-directed
// arrangement), optionally sets the run to a simulated time, and writes a
// top view of every floor as SVG.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>

#include "Command.h"
#include "render/Load.h"
#include "render/TimeArg.h"
#include "PlanLayout.h"
#include "PlanSvg.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant::cli {
namespace {

constexpr int kDefaultForceIterations = 100;
constexpr int kMaxForceIterations = 100000;

struct PlanOptions {
    std::string db;
    std::string output;
    std::string at;
    std::string layout = "wizard";
    bool hasAt = false;
};

// "wizard" gives 0 iterations, "force" the default, "force:N" N (0 or more).
std::optional<int> parseLayout(const std::string& text)
{
    if (text == "wizard") return 0;
    if (text == "force") return kDefaultForceIterations;
    static const std::regex form(R"(^force:([0-9]{1,9})$)");
    std::smatch m;
    if (!std::regex_match(text, m, form)) return std::nullopt;
    const long n = std::stol(m[1].str());
    if (n > kMaxForceIterations) return std::nullopt;
    return static_cast<int>(n);
}

int runPlan(const PlanOptions& o)
{
    const std::optional<int> iterations = parseLayout(o.layout);
    if (!iterations) {
        std::fprintf(stderr, "batchplant plan: bad layout \"%s\": give wizard, force or force:N with N from 0 to %d\n",
                     o.layout.c_str(), kMaxForceIterations);
        return kBadInput;
    }
    if (!CheckResults("plan", o.db)) return kBadInput;
    auto facility = std::make_unique<PlanFacility>();
    try {
        CDaoDatabase db;
        db.Open(CString(o.db), false, true);
        facility->ReadVisioDatabase(&db);
    } catch (const CDaoException& e) {
        std::fprintf(stderr, "batchplant plan: cannot read %s: %s\n", o.db.c_str(), e.GetDescription().c_str());
        return kBadInput;
    } catch (const CFacilityAbort&) {
        std::fprintf(stderr, "batchplant plan: %s has no process steps; there is no run to draw\n", o.db.c_str());
        return kBadInput;
    }

    std::optional<long> at;
    if (o.hasAt) {
        std::string error;
        facility->InitAnim();
        at = RunTimeArg(o.at, facility->GetStartTime(), facility->GetLastAnimationTime(), error);
        if (!at) {
            std::fprintf(stderr, "batchplant plan: %s\n", error.c_str());
            return kBadInput;
        }
    }
    facility->LayOutAllFloors(*iterations);

    PlanSvgOptions svg;
    if (at) {
        facility->InitAnim();
        facility->SetAnimationTime(*at);
        svg.caption = "At " + CProcedure::FormatTime(*at).str() + " into the run";
    }

    const std::string text = RenderPlanSvg(*facility, svg);
    std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
    if (out) out << text;
    if (out) out.close();
    if (!out) {
        std::fprintf(stderr, "batchplant plan: cannot write %s\n", o.output.c_str());
        return kFailure;
    }
    return kOk;
}

const bool registered =
    registerCommand("plan", "Draw a top view of every floor as SVG, laid out by the layout wizard", [](CLI::App& sub) {
        auto o = std::make_shared<PlanOptions>();
        sub.add_option("db", o->db, "The results database")->required();
        sub.add_option("-o,--output", o->output, "The SVG file to write")->required();
        CLI::Option* at = sub.add_option(
            "--at", o->at,
            "Show the run at a time: seconds, a number with a unit (36h, 1.5d) or a date and time (2024-04-02T18:00)");
        sub.add_option("--layout", o->layout,
                       "Wizard (default), or force[:N] for the wizard refined by N force iterations (default 100)");
        return Runner([o, at] {
            o->hasAt = at->count() > 0;
            return runPlan(*o);
        });
    });

} // namespace
} // namespace batchplant::cli
