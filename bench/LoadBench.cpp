// Loading the two views against their floor. The floor is the work SQLite
// itself cannot avoid: the very statements the loader ran (recorded once
// from a real load, so translated exactly as the library translates them,
// saved queries inlined and parameters written in), replayed on a fresh
// read-only connection with every row stepped and every column read, and
// nothing built. Both sides open their own connection. The plain floor asks
// each value's type and calls its getter, as a reader that knows nothing of
// the columns does; the recordsets read each value in place, and against
// the floor that reads the same way the ratio is the cost of building the
// model on top of reading the rows.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace {

using namespace batchplant;
using namespace batchplant::bench;

std::unique_ptr<Facility> loadPlant(const std::string& path)
{
    auto facility = std::make_unique<Facility>();
    CDaoDatabase db;
    db.Open(CString(path), false, true);
    facility->ReadVisioDatabase(&db);
    return facility;
}

std::unique_ptr<GanttFacility> loadSchedule(const std::string& path)
{
    auto facility = std::make_unique<GanttFacility>();
    if (!facility->ReadGanttDatabase(CString(path))) throw std::runtime_error("cannot load the schedule of " + path);
    return facility;
}

struct Recorded {
    std::vector<std::string> statements;
    long rows = 0;
};

// The statements one load runs, recorded once per view and scale.
const Recorded& recordedLoad(bool schedule, int scale)
{
    static std::map<std::pair<bool, int>, Recorded> cache;
    auto found = cache.find({schedule, scale});
    if (found != cache.end()) return found->second;
    const std::string& path = SamplePath(scale);
    Recorded r;
    {
        StatementRecorder recorder;
        if (schedule)
            loadSchedule(path);
        else
            loadPlant(path);
        r.statements = recorder.statements;
        r.rows = recorder.rows;
    }
    return cache.emplace(std::make_pair(schedule, scale), std::move(r)).first->second;
}

void BM_LoadPlant(benchmark::State& state)
{
    const std::string& path = SamplePath(static_cast<int>(state.range(0)));
    long units = 0, vessels = 0;
    for (auto _ : state) {
        auto facility = loadPlant(path);
        vessels = facility->GetNumVessels();
        units = 0;
        for (int i = 0; i < vessels; ++i)
            units += facility->GetVesselByIndex(i)->GetProc()->GetNumProcs();
        state.PauseTiming(); // freeing the model is not part of loading it
        facility.reset();
        state.ResumeTiming();
    }
    state.counters["vessels"] = static_cast<double>(vessels);
    state.counters["units"] = static_cast<double>(units);
}

void BM_LoadSchedule(benchmark::State& state)
{
    const std::string& path = SamplePath(static_cast<int>(state.range(0)));
    long blocks = 0;
    for (auto _ : state) {
        auto facility = loadSchedule(path);
        blocks = 0;
        for (int v = 0; v < facility->GetNumSchedVessels(); ++v)
            blocks += facility->GetNumTimeBlocks(v);
        state.PauseTiming();
        facility.reset();
        state.ResumeTiming();
    }
    state.counters["time_blocks"] = static_cast<double>(blocks);
}

void runFloor(benchmark::State& state, bool schedule, Reading reading)
{
    const int scale = static_cast<int>(state.range(0));
    const std::string& path = SamplePath(scale);
    const Recorded& recorded = recordedLoad(schedule, scale);
    FloorCount count;
    for (auto _ : state)
        count = ReplayStatements(path, recorded.statements, reading);
    state.counters["statements"] = static_cast<double>(count.statements);
    state.counters["rows"] = static_cast<double>(count.rows);
    state.counters["values"] = static_cast<double>(count.values);
}

void BM_LoadPlantFloor(benchmark::State& state) { runFloor(state, false, Reading::Getters); }
void BM_LoadScheduleFloor(benchmark::State& state) { runFloor(state, true, Reading::Getters); }
// The same floors reading each value in place, as the recordsets do: what is
// left over them is the building of the model alone.
void BM_LoadPlantFloorInPlace(benchmark::State& state) { runFloor(state, false, Reading::InPlace); }
void BM_LoadScheduleFloorInPlace(benchmark::State& state) { runFloor(state, true, Reading::InPlace); }

const bool registered = [] {
    for (int scale : Scales()) {
        // Two iterations at scale 100: one load takes seconds there. Each load
        // and its floor run several times, interleaved when bench/run asks.
        const auto tune = [scale](benchmark::internal::Benchmark* b) {
            b->Arg(scale)->Unit(benchmark::kMillisecond)->Repetitions(scale >= 100 ? 3 : 5);
            if (scale >= 100) b->Iterations(2);
        };
        tune(benchmark::RegisterBenchmark("BM_LoadPlant", BM_LoadPlant));
        tune(benchmark::RegisterBenchmark("BM_LoadPlantFloor", BM_LoadPlantFloor));
        tune(benchmark::RegisterBenchmark("BM_LoadPlantFloorInPlace", BM_LoadPlantFloorInPlace));
        tune(benchmark::RegisterBenchmark("BM_LoadSchedule", BM_LoadSchedule));
        tune(benchmark::RegisterBenchmark("BM_LoadScheduleFloor", BM_LoadScheduleFloor));
        tune(benchmark::RegisterBenchmark("BM_LoadScheduleFloorInPlace", BM_LoadScheduleFloorInPlace));
    }
    return true;
}();

} // namespace
