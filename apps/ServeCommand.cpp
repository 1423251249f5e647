// `batchplant serve DB [--port N] [--host 127.0.0.1]` serves the viewer: the
// page and its JSON API over the loaded run, until SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include <pthread.h>

#include "Command.h"
#include "serve/ViewerApi.h"
#include "serve/ViewerFacility.h"
#include "serve/ViewerServer.h"
#include "batchplant/gantt/GanttFacility.h"

namespace batchplant::cli {
namespace {

struct ServeOptions {
    std::string db;
    std::string host = "127.0.0.1";
    int port = 8080;
};

int serve(const ServeOptions& o)
{
    std::string error;
    std::unique_ptr<serve::ViewerFacility> plant = serve::ViewerFacility::Load(o.db, error);
    if (!plant) {
        std::fprintf(stderr, "batchplant serve: %s\n", error.c_str());
        return kBadInput;
    }
    auto schedule = std::make_unique<GanttFacility>();
    if (!schedule->ReadGanttDatabase(CString(o.db))) {
        std::fprintf(stderr, "batchplant serve: cannot read the schedule from %s: not a readable results database\n",
                     o.db.c_str());
        return kBadInput;
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
        sub.add_option("--port", o->port, "TCP port (0: any free port)")->check(CLI::Range(0, 65535));
        sub.add_option("--host", o->host, "Address to listen on");
        return Runner([o] { return serve(*o); });
    });

} // namespace
} // namespace batchplant::cli
