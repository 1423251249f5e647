#include "Importer.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "../Command.h"
#include "Converter.h"
#include "Errors.h"
#include "JetFile.h"
#include "PostProcess.h"
#include "ReaderGuard.h"
#include "Report.h"
#include "db/Sqlite.h"
#include "TempOutput.h"

namespace batchplant::cli::importer {

namespace fs = std::filesystem;

namespace {

void checkPaths(const ImportOptions& o)
{
    std::error_code ec;
    if (!fs::exists(o.input, ec)) throw ReadError("cannot read '" + o.input + "': no such file");
    if (fs::is_directory(o.input, ec)) throw ReadError("cannot read '" + o.input + "': it is a directory");
    const fs::path outDir = fs::path(o.output).has_parent_path() ? fs::path(o.output).parent_path() : fs::path(".");
    if (!fs::is_directory(outDir, ec))
        throw ReadError("the output's directory '" + outDir.string() + "' does not exist");
    if (fs::exists(o.output, ec)) {
        // The input is never written to, whatever the options say.
        if (fs::equivalent(o.input, o.output, ec))
            throw ReadError("the output '" + o.output + "' is the input file itself");
        if (fs::is_directory(o.output, ec)) throw ReadError("the output '" + o.output + "' is a directory");
        if (!o.force) throw ReadError("the output '" + o.output + "' exists; use --force to replace it");
    }
}

// Copies a SQLite database page by page into `out` (read-only on the input).
void copySqlite(const std::string& input, sqlite::Connection& out)
{
    sqlite::Connection in;
    try {
        in = sqlite::Connection("file:" + input + "?mode=ro", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        in.exec("SELECT count(*) FROM sqlite_master");
    } catch (const CDaoException& e) {
        throw ReadError("cannot read '" + input + "': " + e.what());
    }
    if (const int rc = out.copyFrom(in); rc != SQLITE_DONE)
        throw WriteError("copying the database failed: " + sqlite::errorText(rc));
}

// What libmdb printed while reading, as notes: on a damaged file it says
// where it went wrong.
void reportReaderMessages(ReaderGuard* guard, Reporter& report)
{
    if (!guard) return;
    guard->finish();
    const long count = guard->messageCount();
    if (count == 0) return;
    report.note("mdbtools printed " + std::to_string(count) + " message lines while reading the file; the first:");
    for (const std::string& line : guard->messages())
        report.note("mdbtools: " + line);
}

} // namespace

int runImport(const ImportOptions& o)
{
    Reporter report;
    std::unique_ptr<ReaderGuard> guard;
    try {
        checkPaths(o);
        if (!o.fromSqlite) guard = std::make_unique<ReaderGuard>(o.input, o.stallSeconds);
        // Read the input's catalog before anything is created, so that a file
        // that is not Jet leaves no trace.
        std::unique_ptr<JetFile> jet;
        if (!o.fromSqlite) jet = std::make_unique<JetFile>(o.input);

        TempOutput temp{fs::path(o.output)};
        sqlite::Connection out(temp.path(), SQLITE_OPEN_READWRITE);
        // The temporary file is thrown away on any failure, so the rollback
        // journal can stay in memory.
        out.exec("PRAGMA journal_mode = MEMORY");

        ConversionCounts converted;
        if (jet) {
            unsigned long rows = 0;
            for (const JetTable& t : jet->tables())
                rows += t.declaredRows;
            const bool bar = o.progress < 0 ? Progress::wanted(rows) : o.progress > 0;
            out.exec("BEGIN");
            converted = copyTables(*jet, out, bar, report);
            out.exec("COMMIT");
            reportReaderMessages(guard.get(), report);
        } else {
            copySqlite(o.input, out);
        }
        const PostProcessCounts post = postProcess(out, jet ? jet->queries() : std::vector<std::string>{}, report);
        // A file without any of the tables is not a results file: nothing is
        // written rather than a database no command can read.
        if (post.resultsTables == 0 && !o.anyFile) {
            std::string names;
            for (std::size_t i = 0; i < post.missingTables.size() && i < 6; ++i)
                names += (i ? ", " : "") + post.missingTables[i];
            if (post.missingTables.size() > 6) names += " …";
            report.error("'" + o.input + "' holds none of the results tables (" + names +
                         "); it is not a results file, and nothing was written (--any-file converts it all the same)");
            return kFailure;
        }
        out.close();
        temp.commit(o.output);

        if (jet)
            std::printf("imported %zu tables (%lu rows) from %s file '%s' into '%s'\n", converted.tables,
                        converted.rows, jet->formatName().c_str(), o.input.c_str(), o.output.c_str());
        else
            std::printf("copied '%s' into '%s'\n", o.input.c_str(), o.output.c_str());
        std::printf("added %d saved queries, %d calendar tables, %d indexes; %d warnings\n", post.savedQueries,
                    post.calendarTables, post.indexes, report.warnings());
        return kOk;
    } catch (const ReadError& e) {
        reportReaderMessages(guard.get(), report);
        report.error(e.what());
        return kBadInput;
    } catch (const WriteError& e) {
        reportReaderMessages(guard.get(), report);
        report.error("cannot write '" + o.output + "': " + e.what());
        return kFailure;
    } catch (const CDaoException& e) {
        reportReaderMessages(guard.get(), report);
        report.error("cannot write '" + o.output + "': " + e.what());
        return kFailure;
    } catch (const std::exception& e) {
        reportReaderMessages(guard.get(), report);
        report.error(e.what());
        return kFailure;
    }
}

} // namespace batchplant::cli::importer
