#include "ReaderGuard.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "../Command.h"
#include "TempOutput.h"

namespace batchplant::cli::importer {

namespace {
constexpr std::size_t kKeptLines = 8;
constexpr std::size_t kMaxLineLength = 300;
} // namespace

struct ReaderGuard::State {
    std::string file;
    int stallSeconds = 0;
    int savedStderr = -1;
    int savedStdout = -1;
    int pipeRead = -1;
    int pipeWrite = -1;
    int depth = 0; // nesting of Call, main thread only

    std::atomic<bool> inReader{false};
    std::atomic<unsigned long> heartbeat{0};

    mutable std::mutex mutex;
    std::vector<std::string> kept;
    long count = 0;
    std::condition_variable stop;
    bool stopping = false;

    std::thread drain;
    std::thread watchdog;

    void keep(std::string line)
    {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) return;
        if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
        std::lock_guard lock(mutex);
        ++count;
        if (kept.size() < kKeptLines && std::find(kept.begin(), kept.end(), line) == kept.end())
            kept.push_back(std::move(line));
    }

    void drainPipe()
    {
        std::string line;
        char buf[4096];
        for (;;) {
            const ssize_t n = read(pipeRead, buf, sizeof buf);
            if (n <= 0) break;
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == '\n')
                    keep(std::exchange(line, {}));
                else if (line.size() < kMaxLineLength + 1)
                    line += buf[i];
            }
        }
        keep(line);
    }

    void watch()
    {
        unsigned long seen = heartbeat.load();
        auto since = std::chrono::steady_clock::now();
        std::unique_lock lock(mutex);
        while (!stop.wait_for(lock, std::chrono::milliseconds(200), [&] { return stopping; })) {
            const unsigned long now = heartbeat.load();
            if (now != seen || !inReader.load()) {
                seen = now;
                since = std::chrono::steady_clock::now();
                continue;
            }
            if (std::chrono::steady_clock::now() - since < std::chrono::seconds(stallSeconds)) continue;
            // libmdb is stuck inside one call; nothing can unwind it. End the
            // process here, leaving no output behind.
            removeTempOutputNow();
            std::string text = "batchplant import: error: cannot read '" + file +
                               "': the Jet reader made no progress for " + std::to_string(stallSeconds) +
                               " seconds; the file is damaged\n";
            for (const std::string& k : kept)
                text += "batchplant import: note: mdbtools: " + k + "\n";
            if (write(savedStderr, text.data(), text.size()) < 0) {
                // Nothing more can be done about a failing stderr.
            }
            _exit(cli::kBadInput);
        }
    }
};

namespace {
ReaderGuard::State* g_active = nullptr; // the live guard, used by Call
} // namespace

ReaderGuard::ReaderGuard(std::string file, int stallSeconds) : state_(std::make_unique<State>())
{
    State& s = *state_;
    s.file = std::move(file);
    s.stallSeconds = stallSeconds;
    int fds[2];
    s.savedStderr = dup(STDERR_FILENO);
    s.savedStdout = dup(STDOUT_FILENO);
    if (s.savedStderr >= 0 && s.savedStdout >= 0 && pipe(fds) == 0) {
        s.pipeRead = fds[0];
        s.pipeWrite = fds[1];
        s.drain = std::thread([&s] { s.drainPipe(); });
    }
    if (stallSeconds > 0) s.watchdog = std::thread([&s] { s.watch(); });
    g_active = &s;
}

ReaderGuard::~ReaderGuard() { finish(); }

void ReaderGuard::finish()
{
    State& s = *state_;
    if (g_active != &s) return;
    g_active = nullptr;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
    }
    s.stop.notify_all();
    if (s.watchdog.joinable()) s.watchdog.join();
    if (s.pipeWrite >= 0) close(s.pipeWrite); // the drain thread sees the end
    if (s.drain.joinable()) s.drain.join();
    if (s.pipeRead >= 0) close(s.pipeRead);
    if (s.savedStderr >= 0) close(s.savedStderr);
    if (s.savedStdout >= 0) close(s.savedStdout);
    s.pipeWrite = s.pipeRead = s.savedStderr = s.savedStdout = -1;
}

ReaderGuard::Call::Call()
{
    State* s = g_active;
    if (!s || s->depth++ > 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    if (s->pipeWrite >= 0) {
        dup2(s->pipeWrite, STDOUT_FILENO);
        dup2(s->pipeWrite, STDERR_FILENO);
    }
    s->heartbeat.fetch_add(1);
    s->inReader.store(true);
}

ReaderGuard::Call::~Call()
{
    State* s = g_active;
    if (!s || --s->depth > 0) return;
    s->inReader.store(false);
    std::fflush(stdout);
    std::fflush(stderr);
    if (s->pipeWrite >= 0) {
        dup2(s->savedStdout, STDOUT_FILENO);
        dup2(s->savedStderr, STDERR_FILENO);
    }
}

void ReaderGuard::progress() noexcept
{
    if (State* s = g_active) s->heartbeat.fetch_add(1);
}

std::vector<std::string> ReaderGuard::messages() const
{
    std::lock_guard lock(state_->mutex);
    return state_->kept;
}

long ReaderGuard::messageCount() const
{
    std::lock_guard lock(state_->mutex);
    return state_->count;
}

} // namespace batchplant::cli::importer
