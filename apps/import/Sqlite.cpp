#include "Sqlite.h"

namespace batchplant::cli::importer {

std::string quoteName(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

Database::Database(const std::string& path, int flags)
{
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw WriteError("cannot open '" + path + "': " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Database::~Database()
{
    if (db_) sqlite3_close_v2(db_);
}

std::string Database::error() const { return db_ ? sqlite3_errmsg(db_) : "database is closed"; }

void Database::exec(const std::string& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : error();
        sqlite3_free(message);
        throw WriteError(text);
    }
}

void Database::close()
{
    if (!db_) return;
    const int rc = sqlite3_close(db_);
    if (rc != SQLITE_OK) throw WriteError(std::string("closing the database failed: ") + sqlite3_errstr(rc));
    db_ = nullptr;
}

Statement::Statement(const Database& db, const std::string& sql) : db_(db.get())
{
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
        throw WriteError(std::string(sqlite3_errmsg(db_)) + " (in: " + sql.substr(0, 200) + ")");
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::check(int rc, const char* what) const
{
    if (rc != SQLITE_OK) throw WriteError(std::string(what) + ": " + sqlite3_errmsg(db_));
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw WriteError(sqlite3_errmsg(db_));
}

void Statement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void Statement::bindNull(int i) { check(sqlite3_bind_null(stmt_, i), "binding a value"); }
void Statement::bind(int i, std::int64_t v) { check(sqlite3_bind_int64(stmt_, i, v), "binding a value"); }
void Statement::bind(int i, double v) { check(sqlite3_bind_double(stmt_, i, v), "binding a value"); }

void Statement::bindText(int i, std::string_view v)
{
    check(sqlite3_bind_text64(stmt_, i, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8), "binding a value");
}

void Statement::bindBlob(int i, std::string_view v)
{
    check(sqlite3_bind_blob64(stmt_, i, v.data(), v.size(), SQLITE_TRANSIENT), "binding a value");
}

void Statement::bindValue(int i, const sqlite3_value* v) { check(sqlite3_bind_value(stmt_, i, v), "binding a value"); }

std::string Statement::text(int column) const
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}

} // namespace batchplant::cli::importer
