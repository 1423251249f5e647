#include "TempOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "Errors.h"

namespace batchplant::cli::importer {

namespace fs = std::filesystem;

namespace {

// A fixed buffer rather than a std::string: the signal handler may read it.
char g_tempPath[4096];
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeTempAndReraise(int sig)
{
    removeTempOutputNow();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

void removeTempOutputNow() noexcept
{
    if (g_tempPath[0]) unlink(g_tempPath);
}

TempOutput::TempOutput(const fs::path& output)
{
    const fs::path dir = output.has_parent_path() ? output.parent_path() : fs::path(".");
    std::string pattern = (dir / ("." + output.filename().string() + ".import-XXXXXX")).string();
    if (pattern.size() >= sizeof g_tempPath) throw WriteError("the output path is too long");
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw WriteError("cannot create a file in '" + dir.string() + "': " + std::strerror(errno));
    // mkstemp makes the file private; give it the permissions a new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    path_ = pattern;
    std::snprintf(g_tempPath, sizeof g_tempPath, "%s", path_.c_str());
    for (int sig : kCleanupSignals)
        std::signal(sig, removeTempAndReraise);
}

TempOutput::~TempOutput()
{
    for (int sig : kCleanupSignals)
        std::signal(sig, SIG_DFL);
    g_tempPath[0] = '\0';
    if (!committed_) {
        std::error_code ec;
        fs::remove(path_, ec);
        fs::remove(path_ + "-journal", ec);
    }
}

void TempOutput::commit(const fs::path& output)
{
    std::error_code ec;
    fs::rename(path_, output, ec);
    if (ec) throw WriteError("cannot move the result to '" + output.string() + "': " + ec.message());
    committed_ = true;
}

} // namespace batchplant::cli::importer
