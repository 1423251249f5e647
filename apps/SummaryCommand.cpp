// `batchplant summary DB` prints the plant summary of a run: plan, steps,
// floors with their equipment, and stream counts.

#include <cstdio>
#include <memory>
#include <string>

#include "Command.h"
#include "render/Load.h"
#include "render/Summary.h"
#include "batchplant/model/Facility.h"

namespace batchplant::cli {
namespace {

const bool registered = registerCommand("summary", "Print the plant summary of a run", [](CLI::App& sub) {
    auto db = std::make_shared<std::string>();
    sub.add_option("db", *db, "The results database")->required();
    return Runner([db] {
        LoadedRun run;
        if (const int rc = LoadRun("summary", *db, true, false, run); rc != kOk) return rc;
        const std::string text = SummaryText(SummarizePlant(*run.plant));
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "batchplant summary: cannot write to standard output\n");
            return static_cast<int>(kFailure);
        }
        return static_cast<int>(kOk);
    });
});

} // namespace
} // namespace batchplant::cli
