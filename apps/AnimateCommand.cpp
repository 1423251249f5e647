// `batchplant animate DB --at TIME | --frame N [--frames-per-op K]` loads a
// results database into a facility, as the 3-D host does, sets its clock
// and prints what the host would draw then: per vessel the running
// operation, how full it is, whether it heats, cools, reacts or is active,
// the colour of its contents by batch, and the streams flowing through it.
//
// --at sets the clock to a simulated time (seconds, or with a unit: 36h,
// 90min, 3600s); --frame steps the clock N frames forward from the start of
// the run, the way the host's play button does, stopping at the end.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "render/Load.h"
#include "render/TimeArg.h"
#include "batchplant/animation/AnimTimeline.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant::cli {
namespace {

struct AnimateOptions {
    std::string db;
    std::string at;
    long frame = 0;
    int framesPerOp = 5;
    bool hasAt = false;
    bool hasFrame = false;
};

// A host's vessel: it takes its contents colour at every time it is set to,
// and remembers whether a reaction runs.
class ShownVessel : public Vessel {
public:
    void SetPropertiesByTime(long t) override
    {
        Vessel::SetPropertiesByTime(t);
        set_conts_color();
    }
    int IsReacting() const { return m_reacting; }

protected:
    void EnableReact() override { m_reacting = 1; }
    void DisableReact() override { m_reacting = 0; }

private:
    int m_reacting = 0;
};

class ShownFacility : public Facility {
protected:
    Vessel* addVessel(const CString&) override { return new ShownVessel(); }
};

std::string hexColour(double r, double g, double b)
{
    auto channel = [](double c) {
        if (!(c > 0.0)) return 0L;
        return c >= 1.0 ? 255L : std::lround(c * 255.0);
    };
    char text[8];
    std::snprintf(text, sizeof text, "#%02lX%02lX%02lX", channel(r), channel(g), channel(b));
    return text;
}

const char* kindName(const Stream& s)
{
    if (s.IsVapor()) return "vapor";
    if (s.IsUtility()) return "utility";
    if (s.IsConnecting()) return "pipe";
    if (s.IsInput()) return "feed";
    if (s.IsOutput()) return "product";
    return "stream";
}

// Every stream of the facility: connecting, uni, utility, vapor.
std::vector<Stream*> allStreams(const Facility& f)
{
    std::vector<Stream*> out;
    f.ForEachStream([&out](Stream& s) { out.push_back(&s); });
    return out;
}

void printState(Facility& f, long time, long lastTime)
{
    std::printf("Time %ld s (%s) of %ld s\n", time, CProcedure::FormatTime(time).c_str(), lastTime);

    // The flowing streams, by the vessels at their ends (a stub once).
    std::map<const Vessel*, std::vector<std::string>> flowing;
    int flowingCount = 0;
    for (const Stream* s : allStreams(f)) {
        if (!s || !s->IsInUse()) continue;
        ++flowingCount;
        std::string line = std::string(kindName(*s)) + " " + s->GetName().str();
        if (!s->GetCurrentOp().IsEmpty()) line += ": " + s->GetCurrentOp().str();
        const Vessel* from = s->IsInput() ? nullptr : s->GetInputVessel();
        const Vessel* to = s->IsOutput() ? nullptr : s->GetOutputVessel();
        if (from) flowing[from].push_back(line);
        if (to && to != from) flowing[to].push_back(line);
    }

    for (int i = 0; i < f.GetNumVessels(); ++i) {
        const Vessel* v = f.GetVesselByIndex(i);
        if (!v) continue;
        const auto* shown = dynamic_cast<const ShownVessel*>(v);
        const CProcedure* proc = v->GetProc();
        std::printf("\n%s (%s)\n", v->GetName().c_str(), v->GetClass().c_str());
        const CString op = proc ? proc->GetCurrentOp(time) : CString();
        const CString opType = proc ? proc->GetCurrentOpType(time) : CString();
        if (op.IsEmpty() && opType.IsEmpty())
            std::printf("  operation: -\n");
        else
            std::printf("  operation: %s [%s]\n", op.c_str(), opType.c_str());
        std::printf("  volume: %.3f%s\n", v->GetVolume(), v->IsOverflowing() ? " (overflowing)" : "");
        std::printf("  heat %d  cool %d  react %d  active %d\n", v->IsHeating(), v->IsCooling(),
                    shown ? shown->IsReacting() : 0, v->IsActive());
        double r = 0, g = 0, b = 0, a = 0;
        v->GetContentsColor(r, g, b, a);
        const long batch = proc ? proc->GetCurrentBatchNum(time) : 0;
        if (batch > 0)
            std::printf("  contents: batch %ld %s\n", batch, hexColour(r, g, b).c_str());
        else
            std::printf("  contents: no batch running %s\n", hexColour(r, g, b).c_str());
        const auto it = flowing.find(v);
        if (it == flowing.end()) {
            std::printf("  flowing: -\n");
        } else {
            for (const std::string& line : it->second)
                std::printf("  flowing: %s\n", line.c_str());
        }
    }
    std::printf("\n%d vessels, %d streams flowing\n", f.GetNumVessels(), flowingCount);
}

int runAnimate(const AnimateOptions& o)
{
    if (o.hasAt == o.hasFrame) {
        std::fprintf(stderr, "batchplant animate: give exactly one of --at TIME and --frame N\n");
        return kBadInput;
    }
    if (o.hasFrame && o.frame < 0) {
        std::fprintf(stderr, "batchplant animate: bad frame %ld: give 0 or more\n", o.frame);
        return kBadInput;
    }
    if (o.framesPerOp < 1 || o.framesPerOp > std::numeric_limits<short>::max() - 1) {
        std::fprintf(stderr, "batchplant animate: bad frames per operation %d: give 1 to %d\n", o.framesPerOp,
                     std::numeric_limits<short>::max() - 1);
        return kBadInput;
    }

    if (!CheckResults("animate", o.db)) return kBadInput;
    ShownFacility facility;
    CDaoDatabase db;
    try {
        db.Open(CString(o.db), false, true);
        facility.ReadVisioDatabase(&db);
    } catch (const CDaoException& e) {
        std::fprintf(stderr, "batchplant animate: cannot read %s: %s\n", o.db.c_str(), e.GetDescription().c_str());
        return kBadInput;
    } catch (const CFacilityAbort&) {
        std::fprintf(stderr, "batchplant animate: %s holds no process steps; nothing to animate\n", o.db.c_str());
        return kBadInput;
    }

    facility.SetFramesPerOp(o.framesPerOp);
    facility.InitAnim(Facility::Forward);
    std::optional<long> at;
    if (o.hasAt) {
        std::string error;
        at = RunTimeArg(o.at, facility.GetStartTime(), facility.GetLastAnimationTime(), error);
        if (!at) {
            std::fprintf(stderr, "batchplant animate: %s\n", error.c_str());
            return kBadInput;
        }
    }
    long time = 0;
    if (at) {
        facility.SetAnimationTime(*at);
        time = *at;
    } else {
        // From the start, as the host's play button: every vessel and stream
        // at 0, the frames per operation in force, then one step per frame.
        facility.ResetTime();
        CString ops;
        facility.SetCurrentAnimationParams(time, ops);
        long stepped = 0;
        for (; stepped < o.frame && !facility.AnimBoundaryReached(); ++stepped) {
            int t = 0, last = 0;
            facility.Animate(t, last);
        }
        facility.SetCurrentAnimationParams(time, ops);
        std::printf("Frame %ld%s\n", stepped,
                    stepped < o.frame ? " (the end of the run was reached before the frame asked for)" : "");
    }
    const long last = facility.GetLastAnimationTime();
    printState(facility, time, last);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "batchplant animate: cannot write the output\n");
        return kFailure;
    }
    return kOk;
}

const bool registered = registerCommand(
    "animate", "Set the animation clock of a results database and print each vessel's state then", [](CLI::App& sub) {
        auto o = std::make_shared<AnimateOptions>();
        sub.add_option("db", o->db, "The results database")->required();
        CLI::Option* at = sub.add_option(
            "--at", o->at,
            "A time of the run: seconds, a number with a unit (36h, 1.5d) or a date and time (2024-04-02T18:00)");
        CLI::Option* frame = sub.add_option("--frame", o->frame, "Step the clock N frames forward from the start");
        sub.add_option("--frames-per-op", o->framesPerOp, "Frames per operation interval")->capture_default_str();
        return Runner([o, at, frame] {
            o->hasAt = at->count() > 0;
            o->hasFrame = frame->count() > 0;
            return runAnimate(*o);
        });
    });

} // namespace
} // namespace batchplant::cli
