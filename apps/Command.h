#pragma once
// Subcommands of the batchplant command register themselves here, one file
// per subcommand, so adding one needs no edit of main.cpp.

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

namespace batchplant::cli {

// Exit codes shared by every subcommand.
enum ExitCode : int {
    kOk = 0,
    kFailure = 1,  // the work could not be done (a write failed, …)
    kBadInput = 2, // bad arguments or bad input data (unknown unit, unreadable file)
};

// A subcommand's setup adds its options to `sub` and returns what runs it.
using Runner = std::function<int()>;
using Setup = std::function<Runner(CLI::App& sub)>;

struct Command {
    std::string name;
    std::string description;
    Setup setup;
};

std::vector<Command>& registry();

inline bool registerCommand(std::string name, std::string description, Setup setup)
{
    registry().push_back({std::move(name), std::move(description), std::move(setup)});
    return true;
}

} // namespace batchplant::cli
