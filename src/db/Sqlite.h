#pragma once
// The library's one wrapper over SQLite's C API: a connection and a prepared
// statement that own their handles. Every failure is a CDaoException holding
// SQLite's message and extended result code, so that callers add only what
// they were doing.

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batchplant/db/Dao.h"

namespace batchplant::sqlite {

// `name` as a double-quoted SQL identifier: "Order Details", "a""b".
std::string quoteName(std::string_view name);
// `text` as a single-quoted string literal: 'it''s'.
std::string quoteText(std::string_view text);
// SQLite's text for a result code.
std::string errorText(int rc);
// Lets connections opened later take "file:" names (URIs); must run before
// anything else uses SQLite.
void enableUriNames();

class Connection {
public:
    Connection() = default;
    // Opens the file at `path` with sqlite3_open_v2's `flags`, extended
    // result codes on. Throws CDaoException with SQLite's reason.
    Connection(const std::string& path, int flags);
    // Closes with sqlite3_close_v2, so that statements still open do not
    // keep the connection from being freed once they are finalized.
    ~Connection();
    Connection(Connection&& o) noexcept : db_(o.db_) { o.db_ = nullptr; }
    Connection& operator=(Connection&& o) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* get() const noexcept { return db_; }
    explicit operator bool() const noexcept { return db_ != nullptr; }

    // Runs every statement of `sql`.
    void exec(const std::string& sql) const;
    // SQLite's message for the last failure.
    std::string error() const;
    [[noreturn]] void fail(int rc) const;
    // Whether a table or view of that name (case-insensitive) exists.
    bool hasTableOrView(std::string_view name) const;
    // Rolls back the open transaction, if any; for cleaning up after a failure.
    void rollback() const noexcept;
    // Closes the handle; throws when SQLite cannot (a statement still open).
    void close();

    // Double quotes then name identifiers only, never strings.
    void doubleQuotesNameOnly() const noexcept;
    void busyTimeout(int milliseconds) const noexcept { sqlite3_busy_timeout(db_, milliseconds); }
    void setLimit(int id, int value) const noexcept { sqlite3_limit(db_, id, value); }
    // Calls `handler(context)` every `steps` VM steps; a non-zero answer
    // interrupts the statement. A null handler removes it.
    void onProgress(int steps, int (*handler)(void*), void* context) const noexcept
    {
        sqlite3_progress_handler(db_, steps, handler, context);
    }
    bool readOnly() const noexcept { return sqlite3_db_readonly(db_, "main") != 0; }
    bool inTransaction() const noexcept { return db_ && !sqlite3_get_autocommit(db_); }
    // Replaces this database with a page-by-page copy of `source`. Throws
    // when the copy cannot start; gives SQLite's code of the copy itself
    // (SQLITE_DONE when whole).
    int copyFrom(const Connection& source) const;
    // Whether `sql` prepares; while preparing, adds every table and column it
    // reads to `read`, SQLite's own tables left out.
    bool columnsRead(std::string_view sql, std::vector<std::pair<std::string, std::string>>& read) const;

private:
    sqlite3* db_ = nullptr;
};

// Binds nothing: the parameter is NULL.
struct Null {};

class Statement {
public:
    Statement() = default;
    // Prepares the first statement of `sql`; throws when it does not compile.
    Statement(const Connection& db, std::string_view sql, unsigned prepareFlags = 0);
    // Prepares the statement `tail` starts with and moves `tail` past it;
    // empty when only blanks and comments were left.
    static Statement next(const Connection& db, const char*& tail);
    // Prepares `sql`, or gives an empty statement and SQLite's code in `rc`;
    // with `rest`, what follows the first statement.
    static Statement tryPrepare(const Connection& db, std::string_view sql, int& rc,
                                std::string_view* rest = nullptr) noexcept;
    ~Statement();
    Statement(Statement&& o) noexcept : db_(o.db_), stmt_(o.stmt_) { o.stmt_ = nullptr; }
    Statement& operator=(Statement&& o) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const noexcept { return stmt_; }
    explicit operator bool() const noexcept { return stmt_ != nullptr; }
    std::string sql() const { return stmt_ ? sqlite3_sql(stmt_) : ""; }

    // One row more: true while rows come, false when done.
    bool step();
    // sqlite3_step's own code, for callers that tell failures apart.
    int stepCode() noexcept { return sqlite3_step(stmt_); }
    void reset() noexcept { sqlite3_reset(stmt_); }
    void clearBindings() noexcept { sqlite3_clear_bindings(stmt_); }

    // Binds `args` to parameters 1, 2, …, runs the statement to its end and
    // makes it ready for the next row.
    template <class... Args> void run(const Args&... args)
    {
        int i = 1;
        (bind(i++, args), ...);
        step();
        reset();
        clearBindings();
    }

    void bind(int i, Null);
    void bind(int i, int v) { bind(i, static_cast<long long>(v)); }
    void bind(int i, long v) { bind(i, static_cast<long long>(v)); }
    void bind(int i, long long v);
    void bind(int i, double v);
    // Null for a null pointer.
    void bind(int i, const char* v);
    void bind(int i, const std::string& v) { bindText(i, v); }
    void bind(int i, const CString& v) { bindText(i, v.str()); }
    template <class T> void bind(int i, const std::optional<T>& v) { v ? bind(i, *v) : bind(i, Null{}); }
    void bindText(int i, std::string_view v);
    void bindBlob(int i, std::string_view v);
    void bindValue(int i, const sqlite3_value* v);

    int parameterCount() const noexcept { return sqlite3_bind_parameter_count(stmt_); }
    // Null for a nameless parameter.
    const char* parameterName(int i) const noexcept { return sqlite3_bind_parameter_name(stmt_, i); }
    // 0 when no parameter has that name (":name" with its prefix).
    int parameterIndex(const std::string& name) const noexcept
    {
        return sqlite3_bind_parameter_index(stmt_, name.c_str());
    }

    int columnCount() const noexcept { return sqlite3_column_count(stmt_); }
    // The table and column a result column comes from; null for an expression.
    const char* columnTable(int column) const noexcept { return sqlite3_column_table_name(stmt_, column); }
    const char* columnOrigin(int column) const noexcept { return sqlite3_column_origin_name(stmt_, column); }
    const char* columnName(int column) const noexcept { return sqlite3_column_name(stmt_, column); }
    int type(int column) const noexcept { return sqlite3_column_type(stmt_, column); }
    bool isNull(int column) const noexcept { return type(column) == SQLITE_NULL; }
    std::int64_t integer(int column) const noexcept { return sqlite3_column_int64(stmt_, column); }
    double real(int column) const noexcept { return sqlite3_column_double(stmt_, column); }
    // The column as text; empty for null.
    std::string_view textView(int column) const noexcept;
    // The column's value to be read in place with sqlite3_value_*, as the
    // getters above read it but without their checks on every call; valid
    // until the next step or reset. A connection is used by one thread at a
    // time, which is all that reading such a value asks.
    sqlite3_value* cell(int column) const noexcept { return sqlite3_column_value(stmt_, column); }
    std::string text(int column) const { return std::string(textView(column)); }
    std::string_view blobView(int column) const noexcept;
    // The column's value as it is, for binding to another statement.
    const sqlite3_value* value(int column) const noexcept { return sqlite3_column_value(stmt_, column); }

private:
    void check(int rc) const;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace batchplant::sqlite
