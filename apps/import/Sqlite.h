#pragma once
// Small RAII wrappers over SQLite for the importer; every failure becomes a
// WriteError carrying SQLite's own message.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "Errors.h"

namespace batchplant::cli::importer {

// `name` as a quoted SQL identifier: "Order Details", "a""b".
std::string quoteName(std::string_view name);

class Database {
public:
    Database() = default;
    // Opens (and with `create`, creates) the database file at `path`.
    Database(const std::string& path, int flags);
    ~Database();
    Database(Database&& o) noexcept : db_(o.db_) { o.db_ = nullptr; }
    Database& operator=(Database&& o) noexcept
    {
        if (this != &o) {
            if (db_) sqlite3_close_v2(db_);
            db_ = o.db_;
            o.db_ = nullptr;
        }
        return *this;
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* get() const { return db_; }
    void exec(const std::string& sql);
    // Closes the handle; reports a failure to close as a WriteError.
    void close();
    std::string error() const;

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(const Database& db, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // One row more: true while rows come, false when done.
    bool step();
    void reset();
    void bindNull(int i);
    void bind(int i, std::int64_t v);
    void bind(int i, double v);
    void bindText(int i, std::string_view v);
    void bindBlob(int i, std::string_view v);
    void bindValue(int i, const sqlite3_value* v);

    std::string text(int column) const;
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

    sqlite3_stmt* get() const { return stmt_; }

private:
    void check(int rc, const char* what) const;
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace batchplant::cli::importer
