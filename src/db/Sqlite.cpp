#include "db/Sqlite.h"

namespace batchplant::sqlite {

namespace {

// `text` between two `mark`s, each `mark` in it doubled.
std::string enclose(std::string_view text, char mark)
{
    std::string out(1, mark);
    for (char c : text) {
        if (c == mark) out += mark;
        out += c;
    }
    out += mark;
    return out;
}

} // namespace

std::string quoteName(std::string_view name) { return enclose(name, '"'); }
std::string quoteText(std::string_view text) { return enclose(text, '\''); }
std::string errorText(int rc) { return sqlite3_errstr(rc); }

void enableUriNames()
{
    sqlite3_config(SQLITE_CONFIG_URI, 1);
    sqlite3_initialize();
}

// ---------------------------------------------------------------- connection

Connection::Connection(const std::string& path, int flags)
{
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const CString why = db_ ? CString(sqlite3_errmsg(db_)) : CString(sqlite3_errstr(rc));
        sqlite3_close(db_);
        db_ = nullptr;
        throw CDaoException(why, rc);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Connection::~Connection()
{
    if (db_) sqlite3_close_v2(db_);
}

Connection& Connection::operator=(Connection&& o) noexcept
{
    if (this != &o) {
        if (db_) sqlite3_close_v2(db_);
        db_ = o.db_;
        o.db_ = nullptr;
    }
    return *this;
}

std::string Connection::error() const { return db_ ? sqlite3_errmsg(db_) : "database is closed"; }

void Connection::fail(int rc) const { throw CDaoException(CString(error()), rc); }

void Connection::exec(const std::string& sql) const
{
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const CString text(message ? std::string(message) : error());
        sqlite3_free(message);
        throw CDaoException(text, rc);
    }
}

bool Connection::hasTableOrView(std::string_view name) const
{
    Statement st(*this, "SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name = ?1 COLLATE NOCASE");
    st.bindText(1, name);
    return st.step();
}

void Connection::rollback() const noexcept
{
    if (inTransaction()) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Connection::doubleQuotesNameOnly() const noexcept
{
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
}

int Connection::copyFrom(const Connection& source) const
{
    sqlite3_backup* backup = sqlite3_backup_init(db_, "main", source.db_, "main");
    if (!backup) fail(sqlite3_errcode(db_));
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    return rc;
}

bool Connection::columnsRead(std::string_view sql, std::vector<std::pair<std::string, std::string>>& read) const
{
    auto collect = [](void* ctx, int action, const char* table, const char* column, const char*, const char*) {
        if (action == SQLITE_READ && table && column && *column && std::string_view(table).substr(0, 7) != "sqlite_")
            static_cast<std::vector<std::pair<std::string, std::string>>*>(ctx)->emplace_back(table, column);
        return SQLITE_OK;
    };
    sqlite3_set_authorizer(db_, collect, &read);
    int rc = SQLITE_OK;
    const bool prepared = static_cast<bool>(Statement::tryPrepare(*this, sql, rc));
    sqlite3_set_authorizer(db_, nullptr, nullptr);
    return prepared;
}

void Connection::close()
{
    if (!db_) return;
    const int rc = sqlite3_close(db_);
    if (rc != SQLITE_OK) fail(rc);
    db_ = nullptr;
}

// ---------------------------------------------------------------- statement

Statement::Statement(const Connection& db, std::string_view sql, unsigned prepareFlags) : db_(db.get())
{
    const int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), prepareFlags, &stmt_, nullptr);
    if (rc != SQLITE_OK) db.fail(rc);
}

Statement Statement::next(const Connection& db, const char*& tail)
{
    Statement st;
    st.db_ = db.get();
    const int rc = sqlite3_prepare_v2(st.db_, tail, -1, &st.stmt_, &tail);
    if (rc != SQLITE_OK) db.fail(rc);
    return st;
}

Statement Statement::tryPrepare(const Connection& db, std::string_view sql, int& rc, std::string_view* rest) noexcept
{
    Statement st;
    st.db_ = db.get();
    const char* tail = nullptr;
    rc = sqlite3_prepare_v2(st.db_, sql.data(), static_cast<int>(sql.size()), &st.stmt_, &tail);
    if (rest) *rest = tail ? sql.substr(static_cast<std::size_t>(tail - sql.data())) : std::string_view();
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st.stmt_);
        st.stmt_ = nullptr;
    }
    return st;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::operator=(Statement&& o) noexcept
{
    if (this != &o) {
        sqlite3_finalize(stmt_);
        db_ = o.db_;
        stmt_ = o.stmt_;
        o.stmt_ = nullptr;
    }
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw CDaoException(CString(sqlite3_errmsg(db_)), rc);
}

void Statement::check(int rc) const
{
    if (rc != SQLITE_OK) throw CDaoException(CString(sqlite3_errmsg(db_)), rc);
}

void Statement::bind(int i, Null) { check(sqlite3_bind_null(stmt_, i)); }
void Statement::bind(int i, long long v) { check(sqlite3_bind_int64(stmt_, i, v)); }
void Statement::bind(int i, double v) { check(sqlite3_bind_double(stmt_, i, v)); }
void Statement::bind(int i, const char* v) { v ? bindText(i, v) : bind(i, Null{}); }

void Statement::bindText(int i, std::string_view v)
{
    check(sqlite3_bind_text64(stmt_, i, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void Statement::bindBlob(int i, std::string_view v)
{
    check(sqlite3_bind_blob64(stmt_, i, v.data(), v.size(), SQLITE_TRANSIENT));
}

void Statement::bindValue(int i, const sqlite3_value* v) { check(sqlite3_bind_value(stmt_, i, v)); }

std::string_view Statement::textView(int column) const noexcept
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string_view();
}

std::string_view Statement::blobView(int column) const noexcept
{
    const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string_view();
}

} // namespace batchplant::sqlite
