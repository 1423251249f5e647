#pragma once
// The two ways an import fails, told apart by the exit code they give.

#include <stdexcept>

namespace batchplant::cli::importer {

// The input cannot be read (missing, not a Jet/Access file, damaged): exit 2.
struct ReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The output cannot be written (no space, no permission, a SQL error): exit 1.
struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace batchplant::cli::importer
