// Frames per second of the animation: one SetAnimationTime over every
// vessel and stream of the sample run, at times spread over the whole run.
// Samples at scale 1 and 10 are generated in a temporary directory; set
// BATCHPLANT_BENCH_SCALE to add one more scale (100 is the size the 3-D host
// must play at 1,000 frames per second). The counters show how the work
// grows: units per vessel grow with the scale, the time per frame should
// grow clearly less.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "batchplant/animation/AnimTimeline.h"
#include "batchplant/db/Dao.h"
#include "batchplant/db/SampleGenerator.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace {

using namespace batchplant;

std::filesystem::path benchDir()
{
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("batchplant-animbench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(
                std::filesystem::temp_directory_path() / ("batchplant-animbench-" + std::to_string(::getpid())), ec);
        });
        return d;
    }();
    return dir;
}

class BenchFacility : public Facility {
public:
    long LastTime() const { return m_timeline ? m_timeline->GetLastTime() : 0; }
};

// One loaded facility per scale, kept for the whole run.
BenchFacility& facilityAt(int scale)
{
    static std::map<int, std::unique_ptr<BenchFacility>> loaded;
    auto& slot = loaded[scale];
    if (!slot) {
        const auto file = benchDir() / ("sample-" + std::to_string(scale) + ".db");
        SampleOptions options;
        options.scale = scale;
        GenerateSampleDatabase(file, options);
        CDaoDatabase db;
        db.Open(CString(file.string()), false, true);
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

BENCHMARK(BM_SetAnimationTime)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

// One more scale on request.
const bool extraScale = [] {
    if (const char* s = std::getenv("BATCHPLANT_BENCH_SCALE")) {
        const int scale = std::atoi(s);
        if (scale > 0 && scale != 1 && scale != 10 && scale <= SampleOptions::kMaxScale)
            benchmark::RegisterBenchmark("BM_SetAnimationTime", BM_SetAnimationTime)
                ->Arg(scale)
                ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

} // namespace
