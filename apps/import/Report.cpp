#include "Report.h"

#include <unistd.h>

#include <cstdio>

namespace batchplant::cli::importer {

namespace {
constexpr unsigned long kLargeFileRows = 50000;
constexpr int kBarWidth = 40;
} // namespace

void Reporter::note(const std::string& text) { std::fprintf(stderr, "batchplant import: note: %s\n", text.c_str()); }

void Reporter::warning(const std::string& text)
{
    ++warnings_;
    std::fprintf(stderr, "batchplant import: warning: %s\n", text.c_str());
}

void Reporter::error(const std::string& text) { std::fprintf(stderr, "batchplant import: error: %s\n", text.c_str()); }

bool Progress::wanted(unsigned long totalRows) { return totalRows >= kLargeFileRows && isatty(STDERR_FILENO) == 1; }

void Progress::advance(unsigned long rows)
{
    if (!enabled_) return;
    done_ += rows;
    if (done_ > total_) done_ = total_; // a table may hold more rows than it declares
    if (static_cast<int>(done_ * 100 / total_) != shown_) draw();
}

void Progress::draw()
{
    shown_ = static_cast<int>(done_ * 100 / total_);
    const auto filled = static_cast<int>(done_ * kBarWidth / total_);
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\rimporting [%s] %3d%% (%lu of %lu rows)", bar, shown_, done_, total_);
    std::fflush(stderr);
}

Progress::~Progress()
{
    if (enabled_ && shown_ >= 0) std::fputc('\n', stderr);
}

void Progress::finish()
{
    if (!enabled_) return;
    done_ = total_;
    draw();
    std::fputc('\n', stderr);
    enabled_ = false;
}

} // namespace batchplant::cli::importer
