#pragma once
// The results-database schema as compiled into the library: the text of
// schema/results.sql and of schema/calendar.sql (the calendar tables).

namespace batchplant {

// CREATE TABLE / CREATE INDEX statements of every results table, with the
// saved-query table and its saved queries.
const char* ResultsSchemaSql();

// CREATE TABLE IF NOT EXISTS statements of the calendar tables.
const char* CalendarSchemaSql();

} // namespace batchplant
