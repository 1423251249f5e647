// `batchplant serve DB [--port N] [--host 127.0.0.1]` serves the viewer: the
// page and its JSON API over the loaded run, until SIGINT or SIGTERM.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include <pthread.h>

#include "Command.h"
#include "serve/ViewerApi.h"
#include "serve/ViewerFacility.h"
#include "serve/ViewerServer.h"
#include "batchplant/foundation/SharedText.h"
#include "batchplant/gantt/GanttFacility.h"
#include "procedure/StagedTables.h"

namespace batchplant::cli {
namespace {

struct ServeOptions {
    std::string db;
    std::string host = "127.0.0.1";
    int port = 8080;
};

// Loading a year's run takes tens of seconds: say what is happening and
// how long it took, on stderr, so stdout keeps only the address.
class Step {
public:
    explicit Step(const char* what) : m_start(std::chrono::steady_clock::now())
    {
        std::fprintf(stderr, "batchplant serve: %s …", what);
        std::fflush(stderr);
    }
    void Done()
    {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - m_start;
        std::fprintf(stderr, " %.1f s\n", took.count());
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

bool isLoopback(const std::string& host) { return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0; }

int serve(const ServeOptions& o)
{
    std::string error;
    std::unique_ptr<serve::ViewerFacility> plant;
    auto schedule = std::make_unique<GanttFacility>();
    {
        // The two views load at once, each on its own thread and its own
        // connection: the wait is the longer load, not the sum. The schedule
        // writes the units' shared names into a staged set, published once
        // both are done, so the process's tables end as after the plant
        // then the schedule.
        Step loading("loading the plant and its animation beside the schedule and its profiles");
        StagedTables scheduleNames;
        std::future<bool> read = std::async(std::launch::async, [&schedule, &scheduleNames, &o] {
            const StagedTables::Scope names(scheduleNames);
            return schedule->ReadGanttDatabase(CString(o.db));
        });
        {
            // One pool for the plant's names; the schedule's load has its own.
            const TextPool::Scope names;
            plant = serve::ViewerFacility::Load(o.db, error);
        }
        if (!plant) {
            // As when they ran one after the other, the plant's error is the one
            // told; whatever the schedule's load ends in is dropped.
            read.wait();
            loading.Done();
            std::fprintf(stderr, "batchplant serve: %s\n", error.c_str());
            return kBadInput;
        }
        const bool scheduleRead = read.get();
        loading.Done();
        if (!scheduleRead) {
            std::fprintf(stderr,
                         "batchplant serve: cannot read the schedule from %s: not a readable results database\n",
                         o.db.c_str());
            return kBadInput;
        }
        scheduleNames.Publish();
    }

    // SIGINT and SIGTERM are taken by one thread that waits for them, so no
    // server thread is interrupted and the stop runs outside a signal
    // handler. Blocked before any thread starts, so every thread inherits it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    serve::ViewerServer server(std::make_unique<serve::ViewerApi>(std::move(plant), std::move(schedule)));
    const int port = server.Bind(o.host, o.port);
    const bool v6 = o.host.find(':') != std::string::npos;
    const std::string host = v6 ? "[" + o.host + "]" : o.host;
    if (port < 0) {
        std::fprintf(stderr, "batchplant serve: cannot listen on %s:%d: %s\n", host.c_str(), o.port,
                     server.BindError().c_str());
        return kFailure;
    }
    if (!isLoopback(o.host))
        std::fprintf(stderr,
                     "batchplant serve: warning: listening on %s, not on this machine only: anyone who can reach "
                     "it can read this run and change the view\n",
                     host.c_str());
    std::printf("batchplant serve: http://%s:%d/\n", host.c_str(), port);
    std::fflush(stdout);

    std::thread waiter([&server, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.Stop();
    });
    const bool served = server.Run();
    // Run only returns early on a failure; the waiter still waits for its
    // signal then, so send it one of its own.
    if (!served) pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    if (!served) {
        std::fprintf(stderr, "batchplant serve: the server stopped on an error\n");
        return kFailure;
    }
    return kOk;
}

const bool registered =
    registerCommand("serve", "Serve the 3-D and Gantt viewer of a run on a local web page", [](CLI::App& sub) {
        auto o = std::make_shared<ServeOptions>();
        sub.add_option("db", o->db, "The results database")->required();
        sub.add_option("--port", o->port, "TCP port (0: any free port)")
            ->capture_default_str()
            ->check(CLI::Range(0, 65535));
        sub.add_option("--host", o->host, "Address to listen on (another than loopback lets other machines in)")
            ->capture_default_str();
        return Runner([o] { return serve(*o); });
    });

} // namespace
} // namespace batchplant::cli
