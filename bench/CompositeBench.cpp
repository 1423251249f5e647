// Building each composite profile type from samples of growing size: read
// off the growth between scale 1 and scale 10 (it should stay close to the
// growth of the row count, not its square).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "batchplant/db/SampleGenerator.h"
#include "batchplant/gantt/Composite.h"
#include "batchplant/gantt/GanttFacility.h"

namespace {

using namespace batchplant;

std::filesystem::path benchDirectory()
{
    return std::filesystem::temp_directory_path() / ("batchplant-composite-bench-" + std::to_string(::getpid()));
}

// A sample of the given scale, generated once per process.
const std::string& sampleAt(int scale)
{
    static std::map<int, std::string> samples;
    auto found = samples.find(scale);
    if (found != samples.end()) return found->second;
    if (samples.empty())
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(benchDirectory(), ec);
        });
    std::filesystem::create_directories(benchDirectory());
    const auto file = benchDirectory() / ("sample-" + std::to_string(scale) + ".db");
    SampleOptions options;
    options.scale = scale;
    GenerateSampleDatabase(file, options);
    return samples.emplace(scale, file.string()).first->second;
}

// A facility that reads its profiles from a sample without loading the
// schedule, so that only the profile is measured.
struct ProfileOnly : GanttFacility {
    explicit ProfileOnly(const std::string& path) { databasePath = path.c_str(); }
    long entries(CompType type) const
    {
        long n = 0;
        const CompositeStream* stream = compStreams[type];
        if (!stream) return 0;
        for (int g = 0; g < stream->GetNumVessels(); ++g) {
            const auto& components = stream->GetVessels().GetAt(g)->GetComponents();
            for (int c = 0; c < components.GetCount(); ++c)
                n += components.GetAt(c)->GetValues().GetCount();
        }
        return n;
    }
};

void BM_CompositeProfile(benchmark::State& state)
{
    const auto type = static_cast<CompType>(state.range(0));
    const std::string& path = sampleAt(static_cast<int>(state.range(1)));
    long entries = 0;
    for (auto _ : state) {
        ProfileOnly facility(path);
        Array<long> ids;
        Array<CString> names;
        facility.GetCompositeVessels(ids, names, type);
        entries = facility.entries(type);
        benchmark::DoNotOptimize(entries);
    }
    state.SetLabel(CompTypeName(type));
    state.counters["entries"] = static_cast<double>(entries);
}

void profileArguments(benchmark::internal::Benchmark* b)
{
    for (int type = 0; type < kNumCompTypes; ++type)
        for (int scale : {1, 10})
            b->Args({type, scale});
}

BENCHMARK(BM_CompositeProfile)->Apply(profileArguments)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
