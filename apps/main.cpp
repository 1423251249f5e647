// The batchplant command: tools around a batch-process results database.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>

#include "Command.h"

#ifndef BATCHPLANT_VERSION
#define BATCHPLANT_VERSION "0.0.0"
#endif

namespace batchplant::cli {
std::vector<Command>& registry()
{
    static std::vector<Command> commands;
    return commands;
}
} // namespace batchplant::cli

int main(int argc, char** argv)
{
    using namespace batchplant::cli;
    CLI::App app{"batchplant: the model of a batch-process plant and one simulated run of it, "
                 "loaded from a results database."};
    app.set_version_flag("-V,--version", std::string("batchplant ") + BATCHPLANT_VERSION);
    app.require_subcommand(1);
    app.fallthrough(false);

    auto commands = registry();
    std::sort(commands.begin(), commands.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
    std::map<CLI::App*, Runner> runners;
    for (const Command& c : commands) {
        CLI::App* sub = app.add_subcommand(c.name, c.description);
        runners[sub] = c.setup(*sub);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kOk : kBadInput;
    }

    try {
        for (auto& [sub, run] : runners) {
            if (sub->parsed()) return run();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "batchplant: %s\n", e.what());
        return kFailure;
    }
    return kBadInput;
}
