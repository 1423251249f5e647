#pragma once
// Runs a piece of a robustness test in a forked child under a time limit, so
// that a crash or a hang of the library fails that case instead of taking the
// whole test program (or CI) down with it.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace batchplant::test {

// What the child's body returned, or why it did not finish ("" when it did).
struct GuardedResult {
    std::string report, failure;
};

// The child arms alarm(seconds), runs `body` and sends back what it returns
// (an escaping exception as its text). Call only from the main thread.
inline GuardedResult RunGuarded(const std::function<std::string()>& body, unsigned seconds)
{
    int fds[2];
    if (::pipe(fds) != 0) return {"", "pipe failed"};
    std::fflush(nullptr); // nothing buffered is written twice
    const pid_t pid = ::fork();
    if (pid < 0) return {"", "fork failed"};
    if (pid == 0) {
        ::close(fds[0]);
        std::signal(SIGALRM, SIG_DFL);
        ::alarm(seconds);
        std::string report;
        try {
            report = body();
        } catch (const std::exception& e) {
            report = std::string("FAIL an exception escaped the case: ") + e.what() + "\n";
        }
        // The marker tells a finished body from a child that died while writing.
        report += '\x01';
        for (std::size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(fds[1], report.data() + done, report.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    GuardedResult r;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;)
        if (n > 0)
            r.report.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const bool marked = !r.report.empty() && r.report.back() == '\x01';
    if (marked) r.report.pop_back();
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        r.failure = "did not finish within the time limit (hang)";
    else if (WIFSIGNALED(status))
        r.failure =
            "crashed with signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    else if (!marked || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        r.failure = "exited with code " + std::to_string(WEXITSTATUS(status)) + " before finishing";
    return r;
}

} // namespace batchplant::test
