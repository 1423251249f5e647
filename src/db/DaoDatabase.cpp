#include "batchplant/db/Dao.h"

#include <algorithm>

#include "db/JetTokenizer.h"
#include "db/Sqlite.h"
#include "db/SqlDialect.h"

namespace batchplant {

// ---------------------------------------------------------------- database

CDaoDatabase::CDaoDatabase() = default;

CDaoDatabase::~CDaoDatabase() { Close(); }

void CDaoDatabase::Open(const CString& name, bool exclusive, bool readOnly, const CString& /*connect*/)
{
    if (IsOpen()) Close();
    if (name.IsEmpty()) throw CDaoException("Cannot open a database without a file name.");

    // Never SQLITE_OPEN_CREATE: a path without a file is an error, not a new
    // empty database. A read-only connection cannot change the file at all.
    // A database and its recordsets are used by one thread at a time, so the
    // connection goes without SQLite's own mutex, which every column read
    // would otherwise take and release (a fifth of walking a query).
    auto conn = std::make_unique<sqlite::Connection>();
    try {
        *conn = sqlite::Connection(name.str(),
                                   (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX);
    } catch (const CDaoException& e) {
        throw CDaoException(CString::Formatted("Cannot open the database '%s': %s.", name, e.GetDescription()),
                            e.GetErrorCode());
    }
    // Double quotes are identifiers only; the translated texts never rely on
    // SQLite reading a double-quoted unknown name as a string.
    conn->doubleQuotesNameOnly();
    conn->busyTimeout(5000);

    // SQLite reads the file lazily; read the schema now so that a file that
    // is not a database, or is cut short, is reported here.
    try {
        conn->exec(exclusive ? "PRAGMA locking_mode=EXCLUSIVE; SELECT count(*) FROM sqlite_master;"
                             : "SELECT count(*) FROM sqlite_master;");
    } catch (const CDaoException& e) {
        throw CDaoException(CString::Formatted("Cannot read the database '%s': %s.", name, conn->error()),
                            e.GetErrorCode());
    }
    m_conn = std::move(conn);
    m_name = name;
    m_readOnly = readOnly;
    m_savedQueries.reset();
}

void CDaoDatabase::Close()
{
    while (!m_recordsets.empty())
        m_recordsets.back()->Close();
    // The connection closes with close_v2, which lets a component that still
    // holds statements of its own finalize them later instead of leaking it.
    m_conn.reset();
    m_savedQueries.reset();
}

bool CDaoDatabase::CanUpdate() const noexcept { return m_conn && !m_readOnly && !m_conn->readOnly(); }

void CDaoDatabase::ThrowError(const char* doing, int rc) const
{
    const CString why = m_conn ? CString(m_conn->error()) : CString(sqlite::errorText(rc));
    throw CDaoException(CString::Formatted("%s: %s (database '%s').", doing, why, m_name), rc);
}

void CDaoDatabase::attach(CDaoRecordset* rs) { m_recordsets.push_back(rs); }

void CDaoDatabase::detach(CDaoRecordset* rs)
{
    m_recordsets.erase(std::remove(m_recordsets.begin(), m_recordsets.end(), rs), m_recordsets.end());
}

bool CDaoDatabase::HasTableOrView(const CString& name)
{
    if (!m_conn) return false;
    try {
        return m_conn->hasTableOrView(name.str());
    } catch (const CDaoException& e) {
        ThrowError("Cannot read the list of tables", e.GetErrorCode());
    }
}

void CDaoDatabase::loadSavedQueries()
{
    std::map<std::string, CDaoSavedQuery> queries;
    if (HasTableOrView("SavedQueries")) {
        int rc = SQLITE_OK;
        sqlite::Statement st =
            sqlite::Statement::tryPrepare(*m_conn, "SELECT Name, SqlText, Parameters FROM SavedQueries", rc);
        if (!st) ThrowError("Cannot read the saved queries", rc);
        while ((rc = st.stepCode()) == SQLITE_ROW) {
            if (st.isNull(0)) continue;
            CDaoSavedQuery q;
            q.m_strName = CString(st.textView(0));
            q.m_strSQL = CString(st.textView(1));
            try {
                q.m_parameters = ParseParameterList(CString(st.textView(2)));
            } catch (const CDaoException& e) {
                throw CDaoException(CString::Formatted("Saved query '%s' has a bad parameter list: %s", q.m_strName,
                                                       e.GetDescription()));
            }
            queries.emplace(jet::upper(q.m_strName.str()), std::move(q));
        }
        if (rc != SQLITE_DONE) ThrowError("Cannot read the saved queries", rc);
    }
    m_savedQueries = std::move(queries);
}

const CDaoSavedQuery* CDaoDatabase::FindSavedQuery(const CString& name)
{
    if (!m_conn) return nullptr;
    if (!m_savedQueries) loadSavedQueries();
    const auto it = m_savedQueries->find(jet::upper(name.str()));
    return it == m_savedQueries->end() ? nullptr : &it->second;
}

} // namespace batchplant
