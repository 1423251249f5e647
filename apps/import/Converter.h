#pragma once
// Copies every user table of a Jet/Access file into a SQLite database: same
// table and column names, types mapped faithfully, all rows.

#include <string>

#include "JetFile.h"
#include "Report.h"
#include "Errors.h"
#include "db/Sqlite.h"

namespace batchplant::cli::importer {

// The SQLite column type a Jet column becomes. The names keep the Jet type
// visible and give SQLite the right affinity: integers INTEGER, floating
// point REAL, currency and decimals NUMERIC (exact text is kept where a
// double would round), text TEXT, binary data BLOB.
std::string sqliteTypeOf(const JetColumn& column);

// A date-time as the results database writes it, "YYYY-MM-DDTHH:MM:SS"
// (nearest second); empty when the day number is outside years 100 to 9999.
std::string isoDateTime(double daysSince1899);

struct ConversionCounts {
    std::size_t tables = 0;
    unsigned long rows = 0;
};

// Creates and fills one table per user table of `jet` inside the caller's
// transaction. `showProgress` draws a bar on stderr as rows are copied.
ConversionCounts copyTables(JetFile& jet, sqlite::Connection& out, bool showProgress, Reporter& report);

} // namespace batchplant::cli::importer
