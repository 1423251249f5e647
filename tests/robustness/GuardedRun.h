#pragma once
// Runs part of a robustness test in a forked child under a time limit, so
// that a crash or hang of the library fails that case, not the whole program.

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace batchplant::test {

// The child's report, or why it did not finish ("" when it did). Call only
// from the main thread.
inline std::string RunGuarded(const std::function<std::string()>& body, unsigned seconds)
{
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    std::fflush(nullptr); // nothing buffered is written twice
    const pid_t pid = ::fork();
    if (pid < 0) return "fork failed";
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
        report += '\x01'; // tells a finished body from a child that died while writing
        for (std::size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(fds[1], report.data() + done, report.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0 && (n > 0 || errno == EINTR);)
        if (n > 0) report.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const bool marked = !report.empty() && report.back() == '\x01';
    if (marked) report.pop_back();
    if (WIFSIGNALED(status))
        return report + (WTERMSIG(status) == SIGALRM ? "did not finish within the time limit (hang)"
                                                     : std::string("crashed with ") + strsignal(WTERMSIG(status)));
    if (!marked || WEXITSTATUS(status) != 0) return report + "exited before finishing";
    return report;
}

// A case's name as a test name: letters and digits kept, + and - spelled P and M.
template <class Case> std::string ParamName(const testing::TestParamInfo<Case>& info)
{
    std::string name;
    for (char c : info.param.name)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : c == '+' ? 'P' : c == '-' ? 'M' : '_';
    return name;
}

} // namespace batchplant::test
