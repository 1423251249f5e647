// The library's ordered map against std::map: insertion, lookup and a walk
// by position, at up to a million keys.

#include <benchmark/benchmark.h>

#include <map>
#include <vector>

#include "batchplant/foundation/Hash.h"

namespace {

// The same pseudo-random key order for both containers.
std::vector<long> shuffledKeys(std::size_t n)
{
    std::vector<long> keys(n);
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = static_cast<long>(i);
    for (std::size_t i = n; i > 1; --i) {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        std::swap(keys[i - 1], keys[s % i]);
    }
    return keys;
}

using LibraryMap = batchplant::Hash<long, long>;
using StdMap = std::map<long, long>;

std::size_t countOf(const LibraryMap& m) { return static_cast<std::size_t>(m.GetCount()); }
std::size_t countOf(const StdMap& m) { return m.size(); }
long valueOf(const LibraryMap& m, long k) { return *m.Lookup(k); }
long valueOf(const StdMap& m, long k) { return m.find(k)->second; }

template <class Map> void fill(Map& m, const std::vector<long>& keys)
{
    for (long k : keys)
        m[k] = k;
}

template <class Map> void insertKeys(benchmark::State& state)
{
    const auto keys = shuffledKeys(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Map m;
        fill(m, keys);
        benchmark::DoNotOptimize(countOf(m));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Map> void lookUpKeys(benchmark::State& state)
{
    const auto keys = shuffledKeys(static_cast<std::size_t>(state.range(0)));
    Map m;
    fill(m, keys);
    for (auto _ : state) {
        long sum = 0;
        for (long k : keys)
            sum += valueOf(m, k);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_HashInsert(benchmark::State& state) { insertKeys<LibraryMap>(state); }
void BM_StdMapInsert(benchmark::State& state) { insertKeys<StdMap>(state); }
void BM_HashLookup(benchmark::State& state) { lookUpKeys<LibraryMap>(state); }
void BM_StdMapLookup(benchmark::State& state) { lookUpKeys<StdMap>(state); }

// A walk by position right after an insertion: one index rebuild, then
// constant time per element.
void BM_HashPositionalWalk(benchmark::State& state)
{
    const auto keys = shuffledKeys(static_cast<std::size_t>(state.range(0)));
    LibraryMap h;
    fill(h, keys);
    for (auto _ : state) {
        h[-1] = 0; // invalidates the index
        long sum = 0;
        for (int i = 0; i < h.GetCount(); ++i)
            sum += h.GetAt(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_StdMapWalk(benchmark::State& state)
{
    const auto keys = shuffledKeys(static_cast<std::size_t>(state.range(0)));
    StdMap m;
    fill(m, keys);
    for (auto _ : state) {
        m[-1] = 0;
        long sum = 0;
        for (const auto& [k, v] : m)
            sum += v;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_HashInsert)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdMapInsert)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HashLookup)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdMapLookup)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HashPositionalWalk)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdMapWalk)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
