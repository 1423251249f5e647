#include "batchplant/db/Dao.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "db/Sqlite.h"
#include "db/SqlDialect.h"

namespace batchplant {

namespace {

bool iequals(const char* a, const std::string& b)
{
    if (!a) return false;
    const std::size_t n = std::strlen(a);
    if (n != b.size()) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (std::toupper(x) != std::toupper(y)) return false;
    }
    return true;
}

// A table of the database (a view's row ids follow its plan).
bool isRowidTable(const sqlite::Connection& db, const std::string& name)
{
    int rc = SQLITE_OK;
    sqlite::Statement st = sqlite::Statement::tryPrepare(
        db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE", rc);
    if (!st) return false;
    st.bindText(1, name);
    return st.stepCode() == SQLITE_ROW;
}

class DatabaseResolver : public SqlNameResolver {
public:
    explicit DatabaseResolver(CDaoDatabase& db) : db_(db) {}
    const CDaoSavedQuery* FindSavedQuery(const CString& name) override { return db_.FindSavedQuery(name); }
    bool HasTableOrView(const CString& name) override { return db_.HasTableOrView(name); }

private:
    CDaoDatabase& db_;
};

// A stored text as a number: an integer when the whole text is one, else a
// finite real; surrounding blanks and a leading '+' are allowed, as in
// SQLite's own conversion of numeric text.
bool parseNumber(std::string_view text, bool& isInt, std::int64_t& i, double& d)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = first + text.size();
    {
        auto [p, ec] = std::from_chars(first, last, i);
        if (ec == std::errc() && p == last) {
            isInt = true;
            d = static_cast<double>(i);
            return true;
        }
    }
    auto [p, ec] = std::from_chars(first, last, d);
    if (ec != std::errc() || p != last || !std::isfinite(d)) return false;
    isInt = false;
    return true;
}

CString shortDouble(double d)
{
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d);
    if (ec != std::errc()) return CString::Formatted("%.17g", d);
    return CString(buf, static_cast<std::size_t>(p - buf));
}

} // namespace

// ---------------------------------------------------------------- exchange

void CDaoFieldExchange::Bind(Kind kind, const char* name, void* member)
{
    if (!m_prs || !name || !member || m_nFieldType == none) return;
    std::string_view n(name);
    if (n.size() >= 2 && n.front() == '[' && n.back() == ']') n = n.substr(1, n.size() - 2);
    CDaoRecordset::Binding b{kind, CString(n), member};
    (m_nFieldType == param ? m_prs->m_params : m_prs->m_fields).push_back(std::move(b));
}

void DFX_Text(CDaoFieldExchange* pFX, const char* name, CString& value, int, unsigned)
{
    if (pFX) pFX->Bind(CDaoFieldExchange::Kind::Text, name, &value);
}
void DFX_Long(CDaoFieldExchange* pFX, const char* name, long& value, unsigned)
{
    if (pFX) pFX->Bind(CDaoFieldExchange::Kind::Long, name, &value);
}
void DFX_Short(CDaoFieldExchange* pFX, const char* name, short& value, unsigned)
{
    if (pFX) pFX->Bind(CDaoFieldExchange::Kind::Short, name, &value);
}
void DFX_Double(CDaoFieldExchange* pFX, const char* name, double& value, unsigned)
{
    if (pFX) pFX->Bind(CDaoFieldExchange::Kind::Double, name, &value);
}
void DFX_DateTime(CDaoFieldExchange* pFX, const char* name, COleDateTime& value, unsigned)
{
    if (pFX) pFX->Bind(CDaoFieldExchange::Kind::DateTime, name, &value);
}

// ---------------------------------------------------------------- recordset

CDaoRecordset::CDaoRecordset(CDaoDatabase* pDatabase) : m_pDatabase(pDatabase) {}

CDaoRecordset::~CDaoRecordset() { Close(); }

CString CDaoRecordset::GetDefaultDBName() { return CString(); }
CString CDaoRecordset::GetDefaultSQL() { return CString(); }
void CDaoRecordset::DoFieldExchange(CDaoFieldExchange*) {}

void CDaoRecordset::ensureBindings()
{
    if (m_bound) return;
    m_fields.clear();
    m_params.clear();
    CDaoFieldExchange fx(this);
    DoFieldExchange(&fx);
    m_bound = true;
}

void CDaoRecordset::Open(int /*nOpenType*/, const char* lpszSQL, int /*nOptions*/)
{
    Close();
    if (!m_pDatabase || !m_pDatabase->IsOpen()) throw CDaoException("The recordset has no open database to run on.");
    CDaoDatabase& db = *m_pDatabase;
    ensureBindings();
    if (static_cast<int>(m_fields.size()) != m_nFields || static_cast<int>(m_params.size()) != m_nParams)
        throw CDaoException(CString::Formatted(
            "The recordset binds %d columns and %d parameters but declares %d and %d.",
            static_cast<int>(m_fields.size()), static_cast<int>(m_params.size()), m_nFields, m_nParams));

    m_strSQL = lpszSQL ? CString(lpszSQL) : GetDefaultSQL();
    if (m_strSQL.IsEmpty()) throw CDaoException("The recordset has no query text to run.");

    std::vector<CString> names;
    names.reserve(m_params.size());
    for (const Binding& p : m_params)
        names.push_back(p.name);
    TranslatedSql tr;
    try {
        DatabaseResolver resolver(db);
        tr = TranslateJetSql(m_strSQL, &resolver, names);
    } catch (const CDaoException& e) {
        if (e.GetErrorCode() != 0) throw; // the database's own failure already names the file
        throw CDaoException(CString::Formatted("%s (database '%s')", e.GetDescription(), db.GetName()));
    }
    m_translated = std::move(tr.sql);

    const sqlite::Connection& conn = *db.GetConnection();
    auto prepare = [&] {
        int rc = SQLITE_OK;
        sqlite::Statement st = sqlite::Statement::tryPrepare(conn, m_translated, rc);
        if (rc != SQLITE_OK) db.ThrowError("The query cannot be run", rc);
        if (!st) throw CDaoException("The recordset has no query text to run.");
        return st;
    };
    sqlite::Statement st = prepare();
    // Without an ORDER BY the rows would come in whatever order SQLite's plan
    // gives, which an index, ANALYZE or another SQLite version can change, and
    // the model's vessel order, floors and schedule rows follow that order.
    // The first table's row id (its primary key in the results schema) comes
    // first, so that equipment comes by EquipmentID and steps by StepID; then
    // every column in turn.
    if (!tr.ordered && st.columnCount() > 0) {
        std::string columns = "1";
        for (int c = 2, n = st.columnCount(); c <= n; ++c)
            columns += ", " + std::to_string(c);
        const std::string unordered = std::move(m_translated);
        m_translated.clear();
        if (!tr.firstTable.empty() && isRowidTable(conn, tr.firstTable)) {
            m_translated = unordered + " ORDER BY " + sqlite::quoteName(tr.firstAlias) + ".rowid, " + columns;
            int rc = SQLITE_OK;
            sqlite::Statement byRowid = sqlite::Statement::tryPrepare(conn, m_translated, rc);
            if (byRowid)
                st = std::move(byRowid);
            else
                m_translated.clear();
        }
        if (m_translated.empty()) {
            m_translated = unordered + " ORDER BY " + columns;
            st = prepare();
        }
    }

    const int columns = st.columnCount();
    for (Binding& b : m_fields) {
        b.column = -1;
        b.isNull = true;
        for (int c = 0; c < columns && b.column < 0; ++c)
            if (iequals(st.columnName(c), b.name.str())) b.column = c;
        if (b.column < 0)
            throw CDaoException(CString::Formatted(
                "Item not found in this collection: the query yields no column [%s] (database '%s').", b.name,
                db.GetName()));
    }
    for (Binding& p : m_params) {
        p.column = -1;
        for (std::size_t i = 0; i < tr.parameters.size() && p.column < 0; ++i)
            if (p.name.CompareNoCase(tr.parameters[i]) == 0) p.column = static_cast<int>(i) + 1;
        if (p.column < 0)
            throw CDaoException(CString::Formatted(
                "Item not found in this collection: the query has no parameter [%s] (database '%s').", p.name,
                db.GetName()));
    }
    for (const CString& name : tr.parameters) {
        const bool bound = std::any_of(m_params.begin(), m_params.end(),
                                       [&](const Binding& p) { return p.name.CompareNoCase(name) == 0; });
        if (!bound)
            throw CDaoException(CString::Formatted(
                "Too few parameters: the query's parameter [%s] has no value (database '%s').", name, db.GetName()));
    }

    m_stmt = std::make_unique<sqlite::Statement>(std::move(st));
    m_openOn = &db;
    db.attach(this);
    try {
        bindParameters();
        resetCursor();
        moveTo(0);
    } catch (...) {
        Close();
        throw;
    }
}

void CDaoRecordset::Requery()
{
    if (!IsOpen()) throw CDaoException("The recordset is not open.");
    bindParameters();
    resetCursor();
    moveTo(0);
}

void CDaoRecordset::Close()
{
    m_stmt.reset();
    detachFromDatabase();
    m_pos = -1;
    m_stmtRow = -1;
    m_seen = 0;
    m_total = -1;
    m_bof = true;
    m_eof = true;
}

void CDaoRecordset::detachFromDatabase() noexcept
{
    if (m_openOn) {
        m_openOn->detach(this);
        m_openOn = nullptr;
    }
}

void CDaoRecordset::bindParameters()
{
    sqlite::Statement& st = *m_stmt;
    st.reset();
    st.clearBindings();
    try {
        for (const Binding& p : m_params) {
            switch (p.kind) {
            case CDaoFieldExchange::Kind::Text:
                st.bindText(p.column, static_cast<const CString*>(p.member)->str());
                break;
            case CDaoFieldExchange::Kind::Long:
                st.bind(p.column, *static_cast<const long*>(p.member));
                break;
            case CDaoFieldExchange::Kind::Short:
                st.bind(p.column, static_cast<int>(*static_cast<const short*>(p.member)));
                break;
            case CDaoFieldExchange::Kind::Double:
                st.bind(p.column, *static_cast<const double*>(p.member));
                break;
            case CDaoFieldExchange::Kind::DateTime: {
                const auto* dt = static_cast<const COleDateTime*>(p.member);
                const CString iso = dt->GetStatus() == COleDateTime::valid ? dt->ToIso() : CString();
                if (!iso.IsEmpty())
                    st.bindText(p.column, iso.str());
                else
                    st.bind(p.column, sqlite::Null{});
                break;
            }
            }
        }
    } catch (const CDaoException& e) {
        m_openOn->ThrowError("Cannot set the query's parameters", e.GetErrorCode());
    }
}

void CDaoRecordset::resetCursor()
{
    m_stmt->reset();
    m_pos = -1;
    m_stmtRow = -1;
    m_seen = 0;
    m_total = -1;
    m_bof = true;
    m_eof = false;
}

bool CDaoRecordset::step()
{
    const int rc = m_stmt->stepCode();
    if (rc == SQLITE_ROW) {
        ++m_stmtRow;
        return true;
    }
    if (rc == SQLITE_DONE) {
        // The statement no longer holds a row; the next move re-runs it.
        m_total = m_stmtRow + 1;
        m_stmtRow = LONG_MAX;
        return false;
    }
    // The statement must be reset before it can run again; leave the cursor
    // at the end so that a caller's loop stops.
    m_stmtRow = LONG_MAX;
    m_eof = true;
    m_bof = false;
    m_openOn->ThrowError("Reading the query's rows failed", rc);
}

void CDaoRecordset::moveTo(long target)
{
    if (target < 0) {
        m_pos = -1;
        m_bof = true;
        m_eof = m_total == 0;
        return;
    }
    if (m_total >= 0 && target >= m_total) {
        m_pos = m_total;
        m_eof = true;
        m_bof = m_total == 0;
        return;
    }
    if (target < m_stmtRow) {
        m_stmt->reset();
        m_stmtRow = -1;
    }
    while (m_stmtRow < target) {
        if (!step()) {
            m_seen = std::max(m_seen, m_total);
            m_pos = m_total;
            m_eof = true;
            m_bof = m_total == 0;
            return;
        }
    }
    m_pos = target;
    m_bof = false;
    m_eof = false;
    m_seen = std::max(m_seen, target + 1);
    readRow();
}

void CDaoRecordset::readRow()
{
    // Nearly every value a loader reads is text into text, or a stored number
    // into a number that holds it; those are read here without the full
    // rules of readColumn, which take everything else (nulls, dates, numbers
    // held as text, values out of range) and answer exactly as before.
    const sqlite::Statement& st = *m_stmt;
    for (Binding& b : m_fields) {
        sqlite3_value* cell = st.cell(b.column);
        const int type = sqlite3_value_type(cell);
        bool plain = false;
        switch (b.kind) {
        case CDaoFieldExchange::Kind::Text:
            // Any stored value but a null reads as text, by the conversion
            // the full rules use too.
            if (type != SQLITE_NULL) {
                if (const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(cell))) {
                    static_cast<CString*>(b.member)->SetString(text,
                                                               static_cast<std::size_t>(sqlite3_value_bytes(cell)));
                    plain = true;
                }
            }
            break;
        case CDaoFieldExchange::Kind::Double:
            if (type == SQLITE_FLOAT) {
                const double d = sqlite3_value_double(cell);
                if ((plain = std::isfinite(d))) *static_cast<double*>(b.member) = d;
            } else if ((plain = type == SQLITE_INTEGER)) {
                *static_cast<double*>(b.member) = static_cast<double>(sqlite3_value_int64(cell));
            }
            break;
        case CDaoFieldExchange::Kind::Long:
            if (type == SQLITE_INTEGER) {
                const std::int64_t i = sqlite3_value_int64(cell);
                if ((plain = i >= INT32_MIN && i <= INT32_MAX)) *static_cast<long*>(b.member) = static_cast<long>(i);
            }
            break;
        default:
            break;
        }
        if (plain) {
            b.isNull = false;
            b.invalid = false;
        } else {
            readColumn(b, type);
        }
    }
}

void CDaoRecordset::conversionError(const Binding& b, const char* what)
{
    const sqlite::Statement& st = *m_stmt;
    CString value;
    if (!st.isNull(b.column)) {
        std::string v = st.text(b.column);
        if (v.size() > 60) v = v.substr(0, 60) + "...";
        value = st.type(b.column) == SQLITE_TEXT ? CString("'" + v + "'") : CString(v);
    }
    CString origin;
    const char* table = st.columnTable(b.column);
    const char* column = st.columnOrigin(b.column);
    if (table && column) origin = CString::Formatted(" (%s.%s)", table, column);
    throw CDaoException(CString::Formatted("Data type conversion error: column [%s]%s holds %s, %s (database '%s').",
                                           b.name, origin, value, what, m_openOn->GetName()));
}

void CDaoRecordset::readColumn(Binding& b, int type)
{
    const sqlite::Statement& st = *m_stmt;
    const int c = b.column;
    b.invalid = false;
    if (type == SQLITE_NULL) {
        b.isNull = true;
        switch (b.kind) {
        case CDaoFieldExchange::Kind::Text:
            static_cast<CString*>(b.member)->Empty();
            break;
        case CDaoFieldExchange::Kind::Long:
            *static_cast<long*>(b.member) = 0;
            break;
        case CDaoFieldExchange::Kind::Short:
            *static_cast<short*>(b.member) = 0;
            break;
        case CDaoFieldExchange::Kind::Double:
            *static_cast<double*>(b.member) = 0.0;
            break;
        case CDaoFieldExchange::Kind::DateTime: {
            auto* dt = static_cast<COleDateTime*>(b.member);
            dt->m_dt = 0.0;
            dt->SetStatus(COleDateTime::null);
            break;
        }
        }
        return;
    }
    b.isNull = false;

    if (b.kind == CDaoFieldExchange::Kind::Text) {
        const std::string_view text = st.textView(c);
        static_cast<CString*>(b.member)->SetString(text.data(), text.size());
        return;
    }
    if (b.kind == CDaoFieldExchange::Kind::DateTime) {
        auto* dt = static_cast<COleDateTime*>(b.member);
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
            // Days since 1899-12-30; outside years 100 to 9999 (or infinite)
            // the number has no date, and reads as an unreadable one.
            *dt = COleDateTime(st.real(c));
            if (dt->GetYear() < 0) {
                dt->m_dt = 0.0;
                dt->SetStatus(COleDateTime::invalid);
                b.invalid = true;
            }
        } else {
            if (!dt->ParseDateTime(CString(st.textView(c)))) {
                dt->m_dt = 0.0;
                dt->SetStatus(COleDateTime::invalid);
                b.invalid = true;
            }
        }
        return;
    }

    // A number: an integer, a real or text holding one.
    bool isInt = type == SQLITE_INTEGER;
    std::int64_t i = 0;
    double d = 0.0;
    if (type == SQLITE_INTEGER) {
        i = st.integer(c);
        d = static_cast<double>(i);
    } else if (type == SQLITE_FLOAT) {
        d = st.real(c);
        // SQLite stores infinities (never NaN, which it turns into NULL); no
        // quantity of a run is infinite, and one would reach sizes, levels
        // and profiles unchecked.
        if (!std::isfinite(d)) conversionError(b, "which is not a finite number");
    } else {
        if (!parseNumber(st.textView(c), isInt, i, d)) conversionError(b, "which is not a number");
    }
    switch (b.kind) {
    case CDaoFieldExchange::Kind::Double:
        *static_cast<double*>(b.member) = d;
        break;
    case CDaoFieldExchange::Kind::Long: {
        if (isInt ? (i < INT32_MIN || i > INT32_MAX) : !(d > -2147483649.0 && d < 2147483648.0))
            conversionError(b, "which does not fit a 32-bit whole number");
        *static_cast<long*>(b.member) = isInt ? static_cast<long>(i) : static_cast<long>(std::trunc(d));
        break;
    }
    case CDaoFieldExchange::Kind::Short: {
        if (isInt ? (i < INT16_MIN || i > INT16_MAX) : !(d > -32769.0 && d < 32768.0))
            conversionError(b, "which does not fit a 16-bit whole number");
        *static_cast<short*>(b.member) = isInt ? static_cast<short>(i) : static_cast<short>(std::trunc(d));
        break;
    }
    default:
        break;
    }
}

void CDaoRecordset::MoveFirst()
{
    if (IsOpen()) moveTo(0);
}

void CDaoRecordset::MoveNext()
{
    if (IsOpen() && !m_eof) moveTo(m_pos + 1);
}

void CDaoRecordset::MovePrev()
{
    if (IsOpen() && !m_bof) moveTo(m_pos - 1);
}

void CDaoRecordset::MoveLast()
{
    if (!IsOpen()) return;
    if (m_total < 0) {
        // Step to the end without reading rows, to learn the count.
        if (m_stmtRow == LONG_MAX) {
            m_stmt->reset();
            m_stmtRow = -1;
        }
        while (step()) {
        }
        m_seen = std::max(m_seen, m_total);
    }
    moveTo(m_total - 1);
    if (m_total == 0) {
        m_eof = true;
        m_bof = true;
    }
}

long CDaoRecordset::GetRecordCount() const noexcept
{
    if (!IsOpen()) return 0;
    return m_total >= 0 ? m_total : m_seen;
}

bool CDaoRecordset::IsFieldNull(const void* member) const
{
    // Loaders ask about the same one or two members on every row (a
    // stream's two ends): the last two fields found are tried first.
    for (const std::size_t i : m_nullProbes)
        if (i < m_fields.size() && m_fields[i].member == member) return m_fields[i].isNull;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].member != member) continue;
        m_nullProbes[1] = m_nullProbes[0];
        m_nullProbes[0] = i;
        return m_fields[i].isNull;
    }
    return false;
}

int CDaoRecordset::GetBoundFieldCount()
{
    ensureBindings();
    return static_cast<int>(m_fields.size());
}

void CDaoRecordset::GetFieldInfo(int nIndex, CDaoFieldInfo& info)
{
    ensureBindings();
    info = CDaoFieldInfo();
    if (nIndex < 0 || nIndex >= static_cast<int>(m_fields.size())) return;
    const Binding& b = m_fields[static_cast<std::size_t>(nIndex)];
    info.m_strName = b.name;
    switch (b.kind) {
    case CDaoFieldExchange::Kind::Text:
        info.m_nType = dbText;
        break;
    case CDaoFieldExchange::Kind::Long:
        info.m_nType = dbLong;
        break;
    case CDaoFieldExchange::Kind::Short:
        info.m_nType = dbInteger;
        break;
    case CDaoFieldExchange::Kind::Double:
        info.m_nType = dbDouble;
        break;
    case CDaoFieldExchange::Kind::DateTime:
        info.m_nType = dbDate;
        break;
    }
}

bool CDaoRecordset::IsFieldNullAt(int nIndex)
{
    ensureBindings();
    if (nIndex < 0 || nIndex >= static_cast<int>(m_fields.size())) return true;
    return m_fields[static_cast<std::size_t>(nIndex)].isNull;
}

CString CDaoRecordset::GetFieldText(int nIndex)
{
    ensureBindings();
    if (nIndex < 0 || nIndex >= static_cast<int>(m_fields.size())) return CString();
    const Binding& b = m_fields[static_cast<std::size_t>(nIndex)];
    if (b.isNull) return CString();
    switch (b.kind) {
    case CDaoFieldExchange::Kind::Text:
        return *static_cast<const CString*>(b.member);
    case CDaoFieldExchange::Kind::Long:
        return CString::Formatted("%ld", *static_cast<const long*>(b.member));
    case CDaoFieldExchange::Kind::Short:
        return CString::Formatted("%d", *static_cast<const short*>(b.member));
    case CDaoFieldExchange::Kind::Double:
        return shortDouble(*static_cast<const double*>(b.member));
    case CDaoFieldExchange::Kind::DateTime: {
        const auto* dt = static_cast<const COleDateTime*>(b.member);
        const CString iso = b.invalid || dt->GetStatus() != COleDateTime::valid ? CString() : dt->ToIso();
        return iso.IsEmpty() ? CString("invalid") : iso;
    }
    }
    return CString();
}

std::vector<CString> CDaoRecordset::GetParamNames()
{
    ensureBindings();
    std::vector<CString> names;
    for (const Binding& p : m_params)
        names.push_back(p.name);
    return names;
}

void CDaoRecordset::SetParamValue(const CString& name, const CString& value)
{
    ensureBindings();
    const auto it = std::find_if(m_params.begin(), m_params.end(),
                                 [&](const Binding& p) { return p.name.CompareNoCase(name) == 0; });
    if (it == m_params.end()) throw CDaoException(CString::Formatted("The recordset has no parameter [%s].", name));
    bool isInt = false;
    std::int64_t i = 0;
    double d = 0.0;
    switch (it->kind) {
    case CDaoFieldExchange::Kind::Text:
        *static_cast<CString*>(it->member) = value;
        return;
    case CDaoFieldExchange::Kind::DateTime: {
        COleDateTime dt;
        if (!dt.ParseDateTime(value))
            throw CDaoException(CString::Formatted("Parameter [%s] needs a date, not '%s'.", it->name, value));
        *static_cast<COleDateTime*>(it->member) = dt;
        return;
    }
    case CDaoFieldExchange::Kind::Double:
        if (!parseNumber(value.str(), isInt, i, d))
            throw CDaoException(CString::Formatted("Parameter [%s] needs a number, not '%s'.", it->name, value));
        *static_cast<double*>(it->member) = d;
        return;
    case CDaoFieldExchange::Kind::Long:
        if (!parseNumber(value.str(), isInt, i, d) || !isInt || i < INT32_MIN || i > INT32_MAX)
            throw CDaoException(
                CString::Formatted("Parameter [%s] needs a 32-bit whole number, not '%s'.", it->name, value));
        *static_cast<long*>(it->member) = static_cast<long>(i);
        return;
    case CDaoFieldExchange::Kind::Short:
        if (!parseNumber(value.str(), isInt, i, d) || !isInt || i < INT16_MIN || i > INT16_MAX)
            throw CDaoException(
                CString::Formatted("Parameter [%s] needs a 16-bit whole number, not '%s'.", it->name, value));
        *static_cast<short*>(it->member) = static_cast<short>(i);
        return;
    }
}

} // namespace batchplant
