// Walking a query through the recordsets against walking the same SQL with
// the bare SQLite API, and how much the process grows while a recordset walks
// (it should not grow with the row count).
//
// The database is BATCHPLANT_BENCH_DB if set, otherwise the sample of the
// largest scale measured (100 gives over a million stream rows).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "db/RecordsetCatalog.h"
#include "db/Sqlite.h"

namespace {

using namespace batchplant;

// The resident set size in kB, from /proc/self/statm.
long residentKb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

const std::string& benchDatabase()
{
    static const std::string path = [] {
        if (const char* p = std::getenv("BATCHPLANT_BENCH_DB"); p && *p) return std::string(p);
        return bench::SamplePath(bench::Scales().back());
    }();
    return path;
}

void BM_RecordsetWalk(benchmark::State& state, const char* name)
{
    CDaoDatabase db;
    db.Open(CString(benchDatabase()), false, true);
    long rows = 0;
    long growth = 0;
    for (auto _ : state) {
        std::unique_ptr<CDaoRecordset> rs = CreateRecordset(CString(name));
        const long start = residentKb();
        if (!detail::OpenRecordsetOnDatabase(*rs, &db, false)) {
            state.SkipWithError("the recordset does not open");
            return;
        }
        rows = 0;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            if ((++rows & 0xFFFF) == 0) growth = std::max(growth, residentKb() - start);
        }
        growth = std::max(growth, residentKb() - start);
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["rss_growth_kB"] = static_cast<double>(growth);
}

// The same SQL stepped with SQLite directly, every column read into a value
// of its kind (text copied into a reused string), as a loader written
// against the bare API would.
void BM_RawWalk(benchmark::State& state, const char* name)
{
    CDaoDatabase db;
    db.Open(CString(benchDatabase()), false, true);
    std::unique_ptr<CDaoRecordset> probe = CreateRecordset(CString(name));
    probe->m_pDatabase = &db;
    probe->Open();
    const std::string sql = probe->GetTranslatedSQL();
    probe->Close();

    long rows = 0;
    for (auto _ : state) {
        sqlite::Statement st(*db.GetConnection(), sql);
        const int n = st.columnCount();
        std::string text;
        double sum = 0.0;
        rows = 0;
        while (st.step()) {
            ++rows;
            bench::ReadRowBare(st, n, sum, text);
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(text);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(BM_RecordsetWalk, StreamSet, "CDaoStreamSet")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RawWalk, StreamSet, "CDaoStreamSet")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RecordsetWalk, StreamContents, "CDaoStreamContents")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RawWalk, StreamContents, "CDaoStreamContents")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RecordsetWalk, EquipConts, "CDaoEquipConts")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RawWalk, EquipConts, "CDaoEquipConts")->Unit(benchmark::kMillisecond);

} // namespace
