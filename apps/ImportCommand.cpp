// `batchplant import RESULTS.mdb OUT.db`: a Jet/Access results file into our
// SQLite results database. The conversion needs mdbtools' libmdb; a build
// without it keeps the subcommand so that it can say so.

#include <cstdio>
#include <memory>

#include "Command.h"

#ifdef BATCHPLANT_HAVE_JET
#include "import/Importer.h"
#endif

namespace batchplant::cli {
namespace {

#ifdef BATCHPLANT_HAVE_JET
Runner setupImport(CLI::App& sub)
{
    auto o = std::make_shared<importer::ImportOptions>();
    sub.add_option("RESULTS", o->input, "The Jet/Access results file (.mdb, .accdb); never changed")->required();
    sub.add_option("OUT", o->output, "The SQLite results database to write")->required();
    sub.add_flag("-f,--force", o->force, "Replace OUT if it exists");
    sub.add_flag("--from-sqlite", o->fromSqlite,
                 "RESULTS is already a SQLite results database: copy it and only add the indexes, saved queries and "
                 "calendar tables, and check it");
    sub.add_flag("--any-file", o->anyFile,
                 "Convert a file that holds none of the results tables all the same (to look at it with sqlite3)");
    sub.add_option("--stall-seconds", o->stallSeconds,
                   "Give up on a damaged file when the Jet reader makes no progress for this long (0: never)")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    sub.add_flag_callback(
        "--progress", [o] { o->progress = 1; },
        "Draw a progress bar on stderr (default: for large files on a terminal)");
    sub.add_flag_callback(
        "--no-progress", [o] { o->progress = 0; }, "Never draw a progress bar");
    return [o] { return importer::runImport(*o); };
}
#else
Runner setupImport(CLI::App& sub)
{
    sub.allow_extras();
    return [] {
        std::fprintf(stderr, "batchplant import: this batchplant was built without Jet/Access support (mdbtools' "
                             "libmdb was not found at build time); install it (Debian: mdbtools-dev) and rebuild\n");
        return kFailure;
    };
}
#endif

const bool registered = registerCommand(
    "import", "Convert a Jet/Access results file (.mdb, .accdb) into a SQLite results database", setupImport);

} // namespace
} // namespace batchplant::cli
