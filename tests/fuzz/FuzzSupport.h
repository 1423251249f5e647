#pragma once
// Helpers shared by the fuzzers: a failed check that libFuzzer reports as a
// crash, UTF-8 validation, and small results databases held in memory whose
// rows are drawn from the fuzzer's input.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "db/Sqlite.h"

namespace batchplant::fuzz {

// Prints `what` with the offending text and aborts, so that libFuzzer keeps
// the input as a crash.
[[noreturn]] void Fail(const char* what, std::string_view detail = {});
inline void Check(bool ok, const char* what, std::string_view detail = {})
{
    if (!ok) Fail(what, detail);
}

bool IsValidUtf8(std::string_view s);

// Case-insensitive (ASCII) equality, as SQLite and the translator compare names.
bool EqualsNoCase(std::string_view a, std::string_view b);

// The results schema's tables and their columns, read once from a database
// made from the library's compiled-in schema text.
struct TableShape {
    std::string name;
    std::vector<std::string> columns;
};
const std::vector<TableShape>& SchemaTables();

// Names worth drawing texts from: table, column and saved-query names, unit
// names and the category words the queries compare against.
const std::vector<std::string>& InterestingWords();

// A results database in SQLite's shared in-memory file system (the memdb
// VFS), so that the library can open it by name like a file. Built afresh
// for each input; the builder's connection keeps it alive until destroyed.
class MemoryResultsDb {
public:
    // Loose: the tables have the schema's names and columns but no types or
    // constraints, so any value of any storage class lands in any column.
    MemoryResultsDb(bool loose);
    ~MemoryResultsDb();
    MemoryResultsDb(const MemoryResultsDb&) = delete;
    MemoryResultsDb& operator=(const MemoryResultsDb&) = delete;

    // The name to pass to CDaoDatabase::Open.
    const std::string& Uri() const { return uri_; }
    bool Ok() const { return static_cast<bool>(db_); }

    // Adds a small coherent run (a plant, two vessels, a plan, a step, one
    // operation each with contents, streams, utility, vapor, buffer tank and
    // labor rows), so that fuzzed rows added or replaced on top of it reach
    // the loaders' deeper paths.
    void AddSkeleton();
    // Inserts up to `maxRows` rows whose tables and values come from `in`.
    // Rows that break a constraint of the strict schema are skipped.
    void FillFrom(FuzzedDataProvider& in, int maxRows);

private:
    static void bindValue(sqlite::Statement& st, int index, FuzzedDataProvider& in);

    sqlite::Connection db_;
    std::string uri_;
    std::vector<sqlite::Statement> inserts_;        // one per table of SchemaTables()
    std::vector<sqlite::Statement> replaceInserts_; // INSERT OR REPLACE, same order
};

// Must run before anything else touches SQLite: lets Open take "file:" names.
void InitSqliteForFuzzing();
// For the fuzzers that open recordsets and load: InitSqliteForFuzzing, message
// boxes answered silently, and the word list built before the first input.
void InitLoaderFuzzing();

} // namespace batchplant::fuzz
