// The layout wizard and 100 iterations of the force-directed arrangement
// on a hand-built floor of 1,000 vessels: a tree of process lines (each
// vessel fed by the one a third of its position before it) with a cross
// link every tenth vessel.

#include <benchmark/benchmark.h>

#include <memory>

#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"

namespace {

using namespace batchplant;

class BenchFacility : public Facility {
public:
    explicit BenchFacility(int vessels)
    {
        floor = addPlane();
        adoptFloor(floor);
        floor->SetID(1);
        for (int i = 0; i < vessels; ++i) {
            Vessel* v = addVessel("Reactor");
            adoptVessel(v);
            v->Init(floor);
        }
        long id = 1;
        for (int i = 1; i < vessels; ++i) {
            connect(GetVesselByIndex((i - 1) / 3), GetVesselByIndex(i), id++);
            if (i % 10 == 0 && i >= 20) connect(GetVesselByIndex(i - 17), GetVesselByIndex(i), id++);
        }
    }
    Plane* floor = nullptr;

private:
    void connect(Vessel* from, Vessel* to, long id)
    {
        Stream* s = addStream();
        s->Init(id, id, id + 1, from, to, Stream::Connecting);
        adoptStream(s);
    }
};

void BM_LayoutWizard(benchmark::State& state)
{
    BenchFacility f(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        f.LayoutFloor(f.floor);
        benchmark::DoNotOptimize(f.GetVesselByIndex(1)->GetRelX());
    }
}
BENCHMARK(BM_LayoutWizard)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ForceIterations(benchmark::State& state)
{
    BenchFacility f(static_cast<int>(state.range(0)));
    f.LayoutFloor(f.floor);
    for (auto _ : state) {
        for (int k = 0; k < 100; ++k) {
            f.floor->DistributeVessels();
            f.floor->MoveVesselsByForce();
        }
        benchmark::DoNotOptimize(f.GetVesselByIndex(1)->GetRelX());
    }
}
BENCHMARK(BM_ForceIterations)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
