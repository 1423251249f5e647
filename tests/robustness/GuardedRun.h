#pragma once
// Runs a piece of a robustness test in a forked child under a time limit, so
// that a crash or a hang of the library fails that case instead of taking the
// whole test program (or CI) down with it.

#include <functional>
#include <string>

namespace batchplant::test {

struct GuardedResult {
    // What the body returned; empty when it did not finish.
    std::string report;
    bool finished = false; // the body returned and the child exited normally
    bool timedOut = false; // killed by the time limit
    int signal = 0;        // the signal that ended the child, if any
    int exitCode = 0;      // the child's exit code when it exited on its own

    // One line saying how the child ended when it did not finish ("crashed
    // with signal 11", "did not finish within the time limit", ...).
    std::string failure() const;
};

// Forks; the child arms alarm(seconds), runs `body` and sends back what it
// returns (an exception escaping `body` is reported as its text). The parent
// waits for the child and says how it ended. Call only from the main thread.
GuardedResult RunGuarded(const std::function<std::string()>& body, unsigned seconds);

} // namespace batchplant::test
