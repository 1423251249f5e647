#pragma once
// What the benchmarks share: the sample databases by scale, the record of
// the statements a piece of library code runs on SQLite (so that the same
// statements can be replayed bare, as the floor a loader is measured
// against), the resident-memory probes, and the figures the summary table
// is made of.

#include <map>
#include <string>
#include <vector>

#include "db/Sqlite.h"

namespace batchplant::bench {

// The scales to measure: BATCHPLANT_BENCH_SCALES ("1,10,100"), default 1 and 10.
const std::vector<int>& Scales();
bool HasScale(int scale);

// The sample at `scale`: BATCHPLANT_BENCH_DATA/sample-<scale>.db when that
// directory is set (the file is generated there when missing), otherwise a
// file generated once in a temporary directory removed at exit.
const std::string& SamplePath(int scale);

// Records every statement run on a connection opened while it lives (the
// SQL with its parameters written in, in the order of execution) and the
// rows they returned. One recorder at a time.
class StatementRecorder {
public:
    StatementRecorder();
    ~StatementRecorder();
    StatementRecorder(const StatementRecorder&) = delete;
    StatementRecorder& operator=(const StatementRecorder&) = delete;

    std::vector<std::string> statements;
    long rows = 0;
};

// What a bare replay read.
struct FloorCount {
    long statements = 0;
    long rows = 0;
    long values = 0;
};

// How a floor reads a value: with the typed getters after sqlite3_column_type,
// as a reader that knows nothing of the columns does, or in place through
// sqlite3_column_value and sqlite3_value_*, as the library's recordsets read.
enum class Reading { Getters, InPlace };

// Opens `path` read-only with the SQLite C API, prepares and steps every
// statement to its end, reads every column of every row into a value of its
// kind (text and blobs copied), and closes. Nothing is built. Throws
// std::runtime_error when a statement fails.
FloorCount ReplayStatements(const std::string& path, const std::vector<std::string>& statements,
                            Reading reading = Reading::Getters);

// Reads every column of the row `st` stands on into a value of its kind:
// numbers summed into `sum`, text and blobs copied into `text`. The floor's
// unit of work.
void ReadRowBare(const sqlite::Statement& st, int columns, double& sum, std::string& text);
void ReadRowInPlace(const sqlite::Statement& st, int columns, double& sum, std::string& text);

// Resident set of this process now, and its peak, in kB.
long ResidentKb();
long PeakResidentKb();
// Another process's peak resident set in kB, and its CPU time (user and
// system) so far in ms; 0 and -1 when they cannot be read.
long PeakResidentKb(int pid);
long CpuMilliseconds(int pid);

} // namespace batchplant::bench
