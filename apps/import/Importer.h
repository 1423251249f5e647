#pragma once
// `batchplant import`: converts a Jet/Access results file into our SQLite
// results database, written to a temporary file beside the output and
// renamed into place only when everything succeeded.

#include <string>

namespace batchplant::cli::importer {

struct ImportOptions {
    std::string input;
    std::string output;
    bool force = false;      // replace an existing output file
    bool fromSqlite = false; // the input is already SQLite: copy it and post-process only
    int progress = -1;       // -1: when the file is large and stderr a terminal; 0 never; 1 always
    int stallSeconds = 60;   // give up when the Jet reader makes no progress this long (0: never)
    bool anyFile = false;    // convert a file that holds none of the results tables all the same
};

// Returns the command's exit code: 0 done, 1 the output could not be
// written or the file holds none of the results tables (unless anyFile), 2
// bad arguments or an input that cannot be read.
int runImport(const ImportOptions& options);

} // namespace batchplant::cli::importer
