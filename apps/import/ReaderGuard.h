#pragma once
// Keeps mdbtools' libmdb in check while it reads a file. On a damaged file it
// prints freely to stdout and stderr (thousands of lines) and can loop for
// ever. While a guard lives, every libmdb call made inside a
// ReaderGuard::Call prints into a pipe instead, of which the first lines are kept for the user; and a call
// that makes no progress for the stall limit ends the command with an error
// naming the file (exit 2), removing the temporary output first.

#include <memory>
#include <string>
#include <vector>

namespace batchplant::cli::importer {

class ReaderGuard {
public:
    ReaderGuard(std::string file, int stallSeconds);
    ~ReaderGuard();
    ReaderGuard(const ReaderGuard&) = delete;
    ReaderGuard& operator=(const ReaderGuard&) = delete;

    // Marks a stretch of libmdb work; nests. Without a live guard it does nothing.
    class Call {
    public:
        Call();
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
    };
    // Tells the watchdog that reading goes on (once per row).
    static void progress() noexcept;

    // Stops watching and collects the rest of what libmdb printed; later
    // calls do nothing. The destructor calls it.
    void finish();

    // What libmdb printed (complete after finish()): its first distinct
    // lines, and how many lines it printed in all.
    std::vector<std::string> messages() const;
    long messageCount() const;

    struct State; // opaque; public so that Call can reach the live guard's

private:
    std::unique_ptr<State> state_;
};

} // namespace batchplant::cli::importer
