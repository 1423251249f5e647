#pragma once
// The output is written to a fresh file beside it and renamed into place only
// when the whole import succeeded, so a failure, an interruption or a stalled
// reader never leaves a partial database behind.

#include <filesystem>
#include <string>

namespace batchplant::cli::importer {

class TempOutput {
public:
    // Creates the file (".<name>.import-XXXXXX" in the output's directory);
    // throws WriteError when it cannot.
    explicit TempOutput(const std::filesystem::path& output);
    // Removes the file unless it was committed.
    ~TempOutput();
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    const std::string& path() const { return path_; }
    // Renames the file to `output`, replacing what is there.
    void commit(const std::filesystem::path& output);

private:
    std::string path_;
    bool committed_ = false;
};

// Removes the temporary output, if any; safe in a signal handler and from
// another thread about to end the process.
void removeTempOutputNow() noexcept;

} // namespace batchplant::cli::importer
