// Tests of `batchplant serve` as a process: it prints the address it listens
// on (the real port for --port 0), answers there, and exits 0 on SIGTERM and
// SIGINT; a database it cannot read, a bad port or a port in use is refused.

#ifdef BATCHPLANT_HAVE_VIEWER

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "SampleDatabase.h"
#include "TestSupport.h"

namespace batchplant::test {
namespace {

// A `batchplant serve` child process with its stdout on a pipe.
class ServeProcess {
public:
    explicit ServeProcess(const std::string& db)
    {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execl(BATCHPLANT_CLI, BATCHPLANT_CLI, "serve", db.c_str(), "--port", "0", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~ServeProcess()
    {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;

    // The first line on stdout; empty when the process ends or says nothing
    // within a minute (a loaded machine may be slow to load the sample).
    std::string firstLine()
    {
        std::string line;
        char c = 0;
        while (line.size() < 1000) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 60000) <= 0) break;
            if (::read(out_, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }

    // Sends `signal` and waits; the exit code, or -1 when killed by a signal.
    int stopWith(int signal)
    {
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool started() const { return pid_ > 0 && out_ >= 0; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool reaped_ = false;
};

int portOf(const std::string& line)
{
    static const std::regex form(R"(^batchplant serve: http://127\.0\.0\.1:([0-9]+)/$)");
    std::smatch m;
    return std::regex_match(line, m, form) ? std::stoi(m[1].str()) : -1;
}

TEST(ServeCommand, PrintsItsAddressAnswersAndStopsOnSignals)
{
    for (int signal : {SIGTERM, SIGINT}) {
        ServeProcess serve(SampleDatabasePath().string());
        ASSERT_TRUE(serve.started());
        const std::string line = serve.firstLine();
        const int port = portOf(line);
        ASSERT_GT(port, 0) << "first line: " << line;
        httplib::Client c("127.0.0.1", port);
        const auto model = c.Get("/api/model");
        ASSERT_TRUE(model);
        EXPECT_EQ(model->status, 200);
        EXPECT_GT(nlohmann::json::parse(model->body)["counts"]["vessels"].get<int>(), 0);
        // A second server on the port in use is refused, not let in to share it.
        const CommandResult twice = runCommand(std::string(BATCHPLANT_CLI) + " serve " + SampleDatabasePath().string() +
                                               " --port " + std::to_string(port));
        EXPECT_EQ(twice.exitCode, 1);
        EXPECT_NE(twice.err.find("cannot listen on 127.0.0.1:" + std::to_string(port) + ": address in use\n"),
                  std::string::npos)
            << twice.err;
        // Loading is told on stderr; the address only once it listens.
        EXPECT_NE(twice.err.find("batchplant serve: loading the plant"), std::string::npos) << twice.err;
        EXPECT_EQ(twice.out, "");
        const auto page = c.Get("/");
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 200);
        EXPECT_EQ(serve.stopWith(signal), 0) << "signal " << signal;
    }
}

} // namespace
} // namespace batchplant::test

#endif // BATCHPLANT_HAVE_VIEWER
