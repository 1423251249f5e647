#include "GuardedRun.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>

#include <sys/wait.h>
#include <unistd.h>

namespace batchplant::test {

namespace {

void writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::string GuardedResult::failure() const
{
    if (finished) return {};
    if (timedOut) return "did not finish within the time limit (hang)";
    if (signal) return "crashed with signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    return "exited with code " + std::to_string(exitCode) + " before finishing";
}

GuardedResult RunGuarded(const std::function<std::string()>& body, unsigned seconds)
{
    GuardedResult result;
    int fds[2];
    if (::pipe(fds) != 0) {
        result.exitCode = -1;
        return result;
    }
    std::fflush(nullptr); // nothing buffered is written twice
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        result.exitCode = -1;
        return result;
    }
    if (pid == 0) {
        ::close(fds[0]);
        std::signal(SIGALRM, SIG_DFL);
        ::alarm(seconds);
        std::string report;
        try {
            report = body();
        } catch (const std::exception& e) {
            report = std::string("FAIL an exception escaped the case: ") + e.what() + "\n";
        } catch (...) {
            report = "FAIL an exception of unknown type escaped the case\n";
        }
        // The marker tells a finished body from a child that died while
        // writing.
        writeAll(fds[1], report + "\x01");
        ::close(fds[1]);
        std::fflush(nullptr);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string received;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        result.timedOut = result.signal == SIGALRM;
    } else if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    const bool marked = !received.empty() && received.back() == '\x01';
    result.finished = marked && WIFEXITED(status) && result.exitCode == 0;
    if (marked) received.pop_back();
    result.report = std::move(received);
    return result;
}

} // namespace batchplant::test
