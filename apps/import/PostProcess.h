#pragma once
// What turns a converted file into a results database that loads as fast and
// as completely as a generated one: the schema's indexes on the tables it
// knows, the saved queries the recordsets open by name, empty calendar
// tables, and warnings for every table and column the results queries read
// that the file did not provide.

#include <string>
#include <vector>

#include "Report.h"
#include "Errors.h"
#include "db/Sqlite.h"

namespace batchplant::cli::importer {

// A table the results queries read and the columns they read of it
// (space-separated), taken from the queries' SQL texts.
struct QueryColumns {
    const char* table;
    const char* columns;
};
const std::vector<QueryColumns>& resultsQueryColumns();

struct PostProcessCounts {
    int savedQueries = 0;                   // installed
    int calendarTables = 0;                 // created
    int indexes = 0;                        // created
    int resultsTables = 0;                  // of those the results queries read, present
    std::vector<std::string> missingTables; // and those absent
};

// Runs every step on `out` inside one transaction. `fileQueries` names the
// saved queries the source file had (their definitions are not carried over).
PostProcessCounts postProcess(sqlite::Connection& out, const std::vector<std::string>& fileQueries, Reporter& report);

} // namespace batchplant::cli::importer
