// `batchplant sample OUT.db [--scale N] [--seed S] [--force]`: writes a
// realistic sample results database. The file is written under a temporary
// name beside OUT and renamed at the end, so OUT is never left half written.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "Command.h"
#include "sample/SampleGenerator.h"

namespace {

using namespace batchplant;
using namespace batchplant::cli;

struct SampleArgs {
    std::string out;
    int scale = 1;
    std::uint64_t seed = 1;
    bool force = false;
};

// Progress on stderr: one line updated in place on a terminal, a few plain
// lines otherwise (logs and pipes).
class Progress {
public:
    Progress() : terminal_(::isatty(::fileno(stderr)) == 1) {}
    void operator()(double share)
    {
        const int percent = static_cast<int>(share * 100.0);
        if (terminal_) {
            if (percent == shown_) return;
            std::fprintf(stderr, "\rbatchplant sample: %3d%%", percent);
            if (percent >= 100) std::fputc('\n', stderr);
        } else {
            const int quarter = percent / 25 * 25;
            if (quarter <= shown_) return;
            std::fprintf(stderr, "batchplant sample: %d%%\n", quarter);
            shown_ = quarter;
            return;
        }
        shown_ = percent;
        std::fflush(stderr);
    }

private:
    bool terminal_;
    int shown_ = -1;
};

int runSample(const SampleArgs& args)
{
    namespace fs = std::filesystem;
    const fs::path out(args.out);
    std::error_code ec;
    if (fs::is_directory(out, ec)) {
        std::fprintf(stderr, "batchplant sample: %s is a directory\n", args.out.c_str());
        return kBadInput;
    }
    if (fs::exists(out, ec) && !args.force) {
        std::fprintf(stderr, "batchplant sample: %s already exists (use --force to replace it)\n", args.out.c_str());
        return kBadInput;
    }
    fs::path temp = out;
    temp += ".tmp-" + std::to_string(::getpid());
    fs::remove(temp, ec);

    SampleOptions options;
    options.scale = args.scale;
    options.seed = args.seed;
    Progress progress;
    options.progress = [&progress](double share) { progress(share); };
    SampleSummary summary;
    try {
        summary = GenerateSampleDatabase(temp, options);
    } catch (const SampleGeneratorError& e) {
        std::fprintf(stderr, "\nbatchplant sample: %s\n", e.what());
        fs::remove(temp, ec);
        return kFailure;
    }
    fs::rename(temp, out, ec);
    if (ec) {
        std::fprintf(stderr, "batchplant sample: cannot rename %s to %s: %s\n", temp.string().c_str(), args.out.c_str(),
                     ec.message().c_str());
        fs::remove(temp, ec);
        return kFailure;
    }
    std::printf("%s: %lld plants, %lld pieces of equipment, %lld steps of %lld batches over %.1f days\n",
                args.out.c_str(), summary.plants, summary.equipment, summary.steps, summary.batchesPerStep,
                summary.campaignDays);
    std::printf("%lld operations, %lld contents records, %lld streams, %lld utility uses, %lld vapor emissions, "
                "%lld labor records, %lld buffer tank records, %lld calendars\n",
                summary.operations, summary.contents, summary.streams, summary.utilities, summary.vaporEmissions,
                summary.laborRows, summary.compositeContents, summary.calendars);
    return kOk;
}

const bool registered = registerCommand(
    "sample", "Write a realistic sample results database (a simulated campaign in two plants)",
    [](CLI::App& sub) -> Runner {
        auto args = std::make_shared<SampleArgs>();
        sub.add_option("OUT", args->out, "The database file to write")->required();
        sub.add_option("--scale", args->scale, "Multiplies the number of batches of every step")
            ->check(CLI::Range(1, SampleOptions::kMaxScale))
            ->capture_default_str();
        sub.add_option("--seed", args->seed, "Seed of the random variation (the same seed gives the same file)")
            ->capture_default_str();
        sub.add_flag("--force", args->force, "Replace OUT if it exists");
        return [args] { return runSample(*args); };
    });

} // namespace
