#pragma once
// The summary of a benchmark run: each measured figure against its floor
// and its target, as a plain table for the terminal and as Markdown (the
// table and a paragraph per target) for bench/results.md.

#include <map>
#include <string>

namespace batchplant::bench {

// One benchmark as run: CPU seconds per iteration and its counters.
struct Measured {
    double seconds = 0.0;
    std::map<std::string, double> counters;
};

// What the --memory children reported; empty maps when not measured.
struct MemoryFigures {
    int scale = 0;
    std::map<std::string, long> plant;
    std::map<std::string, long> schedule;
    std::map<std::string, long> walk;
    // `batchplant serve` when it listens: wall_ms, cpu_ms, peak_kb.
    std::map<std::string, long> serve;
};

struct Summary {
    std::string text;
    std::string markdown;
};

// `measured` is keyed by Google Benchmark's run name ("BM_LoadPlant/10").
Summary Summarize(const std::map<std::string, Measured>& measured, const MemoryFigures& memory);

} // namespace batchplant::bench
