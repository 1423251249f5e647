// One entry point for all the benchmarks in this folder. Besides Google
// Benchmark's own flags it takes:
//
//   --table=FILE   after the run, print the summary table (benchmark, scale,
//                  time, floor, ratio, target, met?) to stdout and write it
//                  in Markdown, with a paragraph per target, to FILE (and
//                  the plain table to FILE.txt);
//   --memory       also measure the peak memory of the loads and the growth
//                  of a recordset walk at the largest scale, each in a fresh
//                  process (this program run with --memory-case), so that
//                  the peaks are not mixed with one another or with the
//                  benchmarks;
//   --memory-case=plant|schedule|walk --db=PATH
//                  the child side: runs one case and prints "key value"
//                  lines;
//   --serve=CLI    with --memory, also start `CLI serve` (the batchplant
//                  command) on the largest sample and read its wall and CPU
//                  time and its peak memory the moment it listens.
//
// Ratios are of CPU time per iteration, which a machine shared with other
// work disturbs less than wall time.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Summary.h"
#include "batchplant/db/Dao.h"
#include "db/RecordsetCatalog.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

extern char** environ;

namespace {

using namespace batchplant;
using namespace batchplant::bench;

// Keeps every run for the summary and shows them as the console does. Of a
// benchmark repeated, the summary takes the fastest repetition: on a shared
// machine the others carry the disturbance of other work.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            Measured m;
            m.seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            for (const auto& [name, counter] : run.counters)
                m.counters[name] = counter.value;
            // Keyed without the "/iterations:N" that a fixed iteration count adds.
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
            if (const auto [at, first] = measured.try_emplace(name, m); !first && m.seconds < at->second.seconds)
                at->second = m;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Measured> measured;
};

long sumUnits(const CProcedure* p) { return p ? p->GetNumProcs() : 0; }

class CountingFacility : public Facility {
public:
    void count(std::map<std::string, long>& out) const
    {
        long units = 0;
        for (int i = 0; i < GetNumVessels(); ++i)
            units += sumUnits(GetVesselByIndex(i)->GetProc());
        long streams = 0, streamUnits = 0;
        ForEachStream([&](const Stream& s) {
            ++streams;
            streamUnits += sumUnits(s.GetProc());
        });
        out["vessels"] = GetNumVessels();
        out["units"] = units;
        out["streams"] = streams;
        out["stream_units"] = streamUnits;
    }
};

// The child side of --memory: one case in a fresh process.
int runMemoryCase(const std::string& name, const std::string& path)
{
    std::map<std::string, long> out;
    const long before = ResidentKb();
    out["rss_before_kb"] = before;
    if (name == "plant" || name == "schedule") {
        StatementRecorder recorder;
        std::unique_ptr<Facility> keep;
        if (name == "plant") {
            auto facility = std::make_unique<CountingFacility>();
            CDaoDatabase db;
            db.Open(CString(path), false, true);
            facility->ReadVisioDatabase(&db);
            db.Close();
            facility->count(out);
            keep = std::move(facility);
        } else {
            auto facility = std::make_unique<GanttFacility>();
            if (!facility->ReadGanttDatabase(CString(path))) {
                std::fprintf(stderr, "cannot load the schedule of %s\n", path.c_str());
                return 1;
            }
            long blocks = 0;
            for (int v = 0; v < facility->GetNumSchedVessels(); ++v)
                blocks += facility->GetNumTimeBlocks(v);
            out["vessels"] = facility->GetNumSchedVessels();
            out["time_blocks"] = blocks;
            keep = std::move(facility);
        }
        out["rows"] = recorder.rows;
        out["rss_after_kb"] = ResidentKb();
        out["peak_kb"] = PeakResidentKb();
    } else if (name == "walk") {
        CDaoDatabase db;
        db.Open(CString(path), false, true);
        std::unique_ptr<CDaoRecordset> rs = CreateRecordset("CDaoStreamSet");
        rs->m_pDatabase = &db;
        rs->Open();
        // The first stretch of rows fills SQLite's page cache; after it the
        // walk must not grow at all.
        long rows = 0;
        long atTenth = 0;
        std::vector<long> samples;
        for (; !rs->IsEOF(); rs->MoveNext())
            if ((++rows & 0x3FFF) == 0) samples.push_back(ResidentKb());
        samples.push_back(ResidentKb());
        atTenth = samples[samples.size() / 10];
        long peak = 0;
        for (long s : samples)
            peak = std::max(peak, s);
        out["rows"] = rows;
        out["growth_kb"] = peak - before;
        out["growth_after_tenth_kb"] = peak - atTenth;
        out["peak_kb"] = PeakResidentKb();
    } else {
        std::fprintf(stderr, "unknown memory case %s\n", name.c_str());
        return 2;
    }
    for (const auto& [key, value] : out)
        std::printf("%s %ld\n", key.c_str(), value);
    return 0;
}

// A child whose standard output comes through a pipe (its standard error
// goes to /dev/null when `quiet`); pid 0 when it could not be started.
struct Child {
    pid_t pid = 0;
    int out = -1;
};

Child spawnReading(std::vector<std::string> args, bool quiet)
{
    Child child;
    int pipefd[2];
    if (pipe(pipefd) != 0) return child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipefd[0]);
    if (quiet) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&child.pid, args[0].c_str(), &actions, nullptr, argv.data(), environ) != 0) child.pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipefd[1]);
    child.out = pipefd[0];
    return child;
}

// Appends what the child writes to `text` until it closes its end or
// `enough(text)` holds; false at the end of its output.
bool readUntil(int fd, std::string& text, const std::function<bool(const std::string&)>& enough)
{
    char buffer[4096];
    ssize_t n;
    while (!enough(text)) {
        if ((n = read(fd, buffer, sizeof buffer)) <= 0) return false;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

// Runs this program with --memory-case in a fresh process and reads its
// "key value" lines; empty when it fails.
std::map<std::string, long> memoryCase(const std::string& name, const std::string& path)
{
    std::map<std::string, long> out;
    const Child child = spawnReading({"/proc/self/exe", "--memory-case=" + name, "--db=" + path}, false);
    if (child.out < 0) return out;
    std::string text;
    readUntil(child.out, text, [](const std::string&) { return false; });
    close(child.out);
    int status = 0;
    if (!child.pid || waitpid(child.pid, &status, 0) != child.pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return out;
    std::istringstream in(text);
    std::string key;
    long value;
    while (in >> key >> value)
        out[key] = value;
    return out;
}

// `cli serve path --port 0` until it prints its address: what a user of the
// viewer waits for, both views loaded. Empty when it does not listen.
std::map<std::string, long> serveCase(const std::string& cli, const std::string& path)
{
    std::map<std::string, long> out;
    const auto started = std::chrono::steady_clock::now();
    const Child child = spawnReading({cli, "serve", path, "--port", "0"}, true);
    if (child.out < 0) return out;
    std::string text;
    const bool listening = child.pid && readUntil(child.out, text, [](const std::string& t) {
                               const std::size_t at = t.find("http://");
                               return at != std::string::npos && t.find('\n', at) != std::string::npos;
                           });
    if (listening) {
        const auto wall = std::chrono::steady_clock::now() - started;
        out["wall_ms"] = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(wall).count());
        out["cpu_ms"] = CpuMilliseconds(child.pid);
        out["peak_kb"] = PeakResidentKb(child.pid);
    }
    close(child.out);
    if (child.pid) {
        kill(child.pid, SIGTERM);
        int status = 0;
        waitpid(child.pid, &status, 0);
    }
    return out;
}

std::optional<std::string> flagValue(const char* arg, const char* flag)
{
    const std::size_t n = std::strlen(flag);
    if (std::strncmp(arg, flag, n) == 0 && arg[n] == '=') return std::string(arg + n + 1);
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    std::string table, memoryCaseName, db, serveCli;
    bool memory = false;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) {
            if (auto v = flagValue(argv[i], "--table")) {
                table = *v;
                continue;
            }
            if (auto v = flagValue(argv[i], "--memory-case")) {
                memoryCaseName = *v;
                continue;
            }
            if (auto v = flagValue(argv[i], "--serve")) {
                serveCli = *v;
                continue;
            }
            if (auto v = flagValue(argv[i], "--db")) {
                db = *v;
                continue;
            }
            if (std::strcmp(argv[i], "--memory") == 0) {
                memory = true;
                continue;
            }
        }
        rest.push_back(argv[i]);
    }
    try {
        if (!memoryCaseName.empty()) return runMemoryCase(memoryCaseName, db);

        int count = static_cast<int>(rest.size());
        rest.push_back(nullptr);
        benchmark::Initialize(&count, rest.data());
        if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 1;
        CollectingReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();

        MemoryFigures figures;
        if (memory) {
            figures.scale = Scales().back();
            const std::string& path = SamplePath(figures.scale);
            figures.plant = memoryCase("plant", path);
            figures.schedule = memoryCase("schedule", path);
            figures.walk = memoryCase("walk", path);
            if (!serveCli.empty()) figures.serve = serveCase(serveCli, path);
        }
        if (!table.empty()) {
            const Summary summary = Summarize(reporter.measured, figures);
            std::fputs(summary.text.c_str(), stdout);
            for (const auto& [file, content] : {std::pair{table, &summary.markdown}, {table + ".txt", &summary.text}}) {
                FILE* f = std::fopen(file.c_str(), "w");
                bool written = f && std::fputs(content->c_str(), f) >= 0;
                if (f) written = std::fclose(f) == 0 && written;
                if (!written) {
                    std::fprintf(stderr, "batchplant_bench: cannot write %s\n", file.c_str());
                    return 1;
                }
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "batchplant_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
