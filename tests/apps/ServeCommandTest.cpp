// `batchplant serve` as a process: it prints the address it listens on (the
// real port for --port 0), answers there, refuses a port in use, and exits 0
// on SIGTERM and SIGINT.

#ifdef BATCHPLANT_HAVE_VIEWER

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <utility>

#include "SampleDatabase.h"
#include "TestSupport.h"

namespace batchplant::test {
namespace {

// Kills the server if a check fails before it is stopped.
struct Child {
    FILE* pipe = nullptr;
    int pid = 0;
    ~Child()
    {
        if (pid > 0) ::kill(pid, SIGKILL);
        if (pipe) ::pclose(pipe);
    }
};

TEST(ServeCommand, PrintsItsAddressAnswersAndStopsOnSignals)
{
    const std::string serve = std::string("'") + BATCHPLANT_CLI + "' serve '" + SampleDatabasePath().string() + "'";
    for (int signal : {SIGTERM, SIGINT}) {
        // The shell prints its pid, then becomes the server.
        Child child{::popen(("echo $$; exec " + serve + " --port 0 2>/dev/null").c_str(), "r")};
        ASSERT_NE(child.pipe, nullptr);
        char pid[32] = {}, line[200] = {};
        ASSERT_TRUE(std::fgets(pid, sizeof pid, child.pipe));
        child.pid = std::stoi(pid);
        ASSERT_TRUE(std::fgets(line, sizeof line, child.pipe));
        std::cmatch m;
        ASSERT_TRUE(std::regex_match(line, m, std::regex("^batchplant serve: http://127\\.0\\.0\\.1:([0-9]+)/\n$")))
            << line;
        const int port = std::stoi(m[1].str());
        httplib::Client c("127.0.0.1", port);
        const auto model = c.Get("/api/model");
        ASSERT_TRUE(model);
        EXPECT_GT(nlohmann::json::parse(model->body)["counts"]["vessels"].get<int>(), 0);
        // A second server on the port in use is refused; loading is told on
        // stderr, the address only once it listens.
        const CommandResult twice = runCommand(serve + " --port " + std::to_string(port));
        EXPECT_EQ(twice.exitCode, 1);
        EXPECT_NE(twice.err.find("cannot listen on 127.0.0.1:" + std::to_string(port) + ": address in use\n"),
                  std::string::npos)
            << twice.err;
        EXPECT_NE(twice.err.find("batchplant serve: loading the plant"), std::string::npos) << twice.err;
        EXPECT_EQ(twice.out, "");
        const auto page = c.Get("/");
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 200);
        ::kill(std::exchange(child.pid, 0), signal);
        const int status = ::pclose(std::exchange(child.pipe, nullptr));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal << ": " << status;
    }
}

} // namespace
} // namespace batchplant::test

#endif // BATCHPLANT_HAVE_VIEWER
