#pragma once
// A realistic sample results database: a simulated campaign of a four-step
// synthesis in two plants, written to a new SQLite file. The same options
// always give the same file contents.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace batchplant {

// Raised when the sample cannot be written (bad options, the file exists,
// SQLite refuses a statement); the text names the cause.
class SampleGeneratorError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What GenerateSampleDatabase writes: its size, its seed and who hears of
// its progress.
struct SampleOptions {
    // Multiplies the number of batches of every step (1 to kMaxScale).
    int scale = 1;
    // Seeds the random variation of durations and amounts.
    std::uint64_t seed = 1;
    // Called now and then with the share of the work done, 0.0 to 1.0
    // (the last call has 1.0); may be empty.
    std::function<void(double)> progress;

    static constexpr int kMaxScale = 300;
};

// Row counts of what was written.
struct SampleSummary {
    long long plants = 0;
    long long equipment = 0;
    long long steps = 0;
    long long batchesPerStep = 0;
    long long operations = 0;     // EquipmentSchedule rows
    long long contents = 0;       // EquipmentContents rows
    long long streams = 0;        // StreamSummary rows
    long long utilities = 0;      // UtilitySummary rows
    long long vaporEmissions = 0; // AirEmissionSummary rows
    long long compositeContents = 0;
    long long phases = 0;
    long long phaseComponents = 0;
    long long laborRows = 0;
    long long calendars = 0;
    double campaignDays = 0.0; // from the plan start to the end of the last operation
};

// Number of batches of each step at the given scale.
long long SampleBatchesPerStep(int scale);

// Writes the sample to `path`, which must not exist yet. Throws
// SampleGeneratorError; a partly written file is removed.
SampleSummary GenerateSampleDatabase(const std::filesystem::path& path, const SampleOptions& options = {});

} // namespace batchplant
