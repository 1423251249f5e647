// Frames per second of the animation: one SetAnimationTime over every
// vessel and stream of the sample run, at times spread over the whole run,
// at each scale. The counters show how the work grows: units per vessel grow
// with the scale, the time per frame should grow clearly less (the 3-D host
// must play scale 100 at 1,000 frames per second).

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "batchplant/animation/AnimTimeline.h"
#include "batchplant/db/Dao.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace {

using namespace batchplant;
using namespace batchplant::bench;

class BenchFacility : public Facility {
public:
    long LastTime() const { return GetLastAnimationTime(); }
};

// One loaded facility per scale, kept for the whole run.
BenchFacility& facilityAt(int scale)
{
    static std::map<int, std::unique_ptr<BenchFacility>> loaded;
    auto& slot = loaded[scale];
    if (!slot) {
        CDaoDatabase db;
        db.Open(CString(SamplePath(scale)), false, true);
        slot = std::make_unique<BenchFacility>();
        slot->ReadVisioDatabase(&db);
        slot->InitAnim();
    }
    return *slot;
}

void BM_SetAnimationTime(benchmark::State& state)
{
    BenchFacility& f = facilityAt(static_cast<int>(state.range(0)));
    // 997 times spread over the run, so consecutive frames land in different
    // operations and no cache of the previous answer helps.
    constexpr int kTimes = 997;
    std::vector<long> times;
    const long last = f.LastTime();
    for (int i = 0; i < kTimes; ++i)
        times.push_back(static_cast<long>((static_cast<long double>(last) * ((i * 389) % kTimes)) / kTimes));
    size_t k = 0;
    for (auto _ : state) {
        f.SetAnimationTime(times[k]);
        k = (k + 1 == times.size()) ? 0 : k + 1;
        benchmark::DoNotOptimize(f.GetVesselByIndex(0));
    }
    long units = 0;
    for (int i = 0; i < f.GetNumVessels(); ++i)
        units += f.GetVesselByIndex(i)->GetProc()->GetNumProcs();
    const int streams =
        f.GetNumConnectingStreams() + f.GetNumUniStreams() + f.GetNumUtilStreams() + f.GetNumVaporStreams();
    state.SetItemsProcessed(state.iterations());
    state.counters["vessels"] = f.GetNumVessels();
    state.counters["streams"] = streams;
    state.counters["units_per_vessel"] = f.GetNumVessels() ? static_cast<double>(units) / f.GetNumVessels() : 0.0;
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

const bool registered = [] {
    for (int scale : Scales())
        benchmark::RegisterBenchmark("BM_SetAnimationTime", BM_SetAnimationTime)
            ->Arg(scale)
            ->Unit(benchmark::kMicrosecond);
    return true;
}();

} // namespace
