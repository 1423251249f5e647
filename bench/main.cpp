// One entry point for all the benchmarks in this folder.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
