#pragma once
// The data-access layer the recordsets are written against: a results
// database file (SQLite) opened by path, recordsets that run one query each
// and bind its columns to members, and the exception that reports every
// database failure. The names and behaviour follow DAO, which the results
// database was first read through; the query texts keep DAO's Jet dialect
// and are translated to SQLite's when a recordset opens (SqlDialect.h).
//
// Cursor: rows are streamed from SQLite one at a time, so walking a query
// takes the same memory whatever its row count. MoveFirst re-runs the query;
// MovePrev re-runs it and steps to the row before the current one, so walking
// backwards costs a pass per step. GetRecordCount is what DAO gives for a
// dynaset: the number of rows visited so far (the highest position reached
// plus one), and the full count once the end has been reached.

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batchplant/platform/COleDateTime.h"
#include "batchplant/platform/CString.h"

namespace batchplant {

namespace sqlite {
class Connection;
class Statement;
} // namespace sqlite

class CDaoRecordset;

// A database failure. Thrown by value: catch `const CDaoException&`.
class CDaoException : public std::exception {
public:
    explicit CDaoException(CString description, int scode = 0)
        : m_strDescription(std::move(description)), m_scode(scode)
    {
    }
    const CString& GetDescription() const noexcept { return m_strDescription; }
    const char* what() const noexcept override { return m_strDescription.c_str(); }
    // SQLite's extended result code, or 0 when the layer itself found the fault.
    int GetErrorCode() const noexcept { return m_scode; }

    CString m_strDescription;
    int m_scode = 0;
};

// DAO's open types; all of them give the same read-only forward cursor here.
enum : int { dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4 };
inline constexpr int AFX_DAO_USE_DEFAULT_TYPE = -1;

// DAO's field type codes, as GetFieldInfo reports them.
enum : short { dbInteger = 3, dbLong = 4, dbDouble = 7, dbDate = 8, dbText = 10 };

// Name and type of one bound column (CDaoRecordset::GetFieldInfo).
struct CDaoFieldInfo {
    CString m_strName; // the column name without brackets
    short m_nType = 0; // dbText, dbLong, dbInteger, dbDouble or dbDate
};

// A saved query of a results database: its name, its text in the Jet
// dialect and the names of its parameters in binding order.
struct CDaoSavedQuery {
    CString m_strName;
    CString m_strSQL;
    std::vector<CString> m_parameters;
};

// One open results database (an SQLite file), on which recordsets run their
// queries.
class CDaoDatabase {
public:
    CDaoDatabase();
    virtual ~CDaoDatabase();
    CDaoDatabase(const CDaoDatabase&) = delete;
    CDaoDatabase& operator=(const CDaoDatabase&) = delete;

    // Opens the results database at `name`. A read-only open can never change
    // the file; otherwise the file is opened for reading and writing (never
    // created). Exclusive keeps the file locked against other connections
    // once it has been read. The connect string is accepted and ignored.
    // Throws CDaoException naming the file when it is missing, cannot be
    // opened, is not a database or is damaged. Opening an open database
    // closes it first.
    virtual void Open(const CString& name, bool exclusive = false, bool readOnly = false,
                      const CString& connect = CString());
    // Closes every recordset still open on this database, then the file.
    virtual void Close();

    bool IsOpen() const noexcept { return m_conn != nullptr; }
    // False for a read-only open and for a file the process may not write.
    bool CanUpdate() const noexcept;
    CString GetName() const { return m_name; }
    // The connection, for the library's components that keep tables of
    // their own in the results database (calendars); null when closed.
    const sqlite::Connection* GetConnection() const noexcept { return m_conn.get(); }

    // The saved query of that name (case-insensitive), or null. Saved queries
    // are read from the SavedQueries table once per open; a database without
    // that table has none.
    const CDaoSavedQuery* FindSavedQuery(const CString& name);
    // Whether a table or view of that name (case-insensitive) exists.
    bool HasTableOrView(const CString& name);

    // Turns SQLite's current error into an exception naming this file.
    [[noreturn]] void ThrowError(const char* doing, int rc) const;

private:
    friend class CDaoRecordset;
    void attach(CDaoRecordset* rs);
    void detach(CDaoRecordset* rs);
    void loadSavedQueries();

    std::unique_ptr<sqlite::Connection> m_conn;
    CString m_name;
    bool m_readOnly = false;
    std::vector<CDaoRecordset*> m_recordsets;
    std::optional<std::map<std::string, CDaoSavedQuery>> m_savedQueries; // key: upper-cased name
};

// Collects the bindings a recordset's DoFieldExchange declares: columns
// first, then (after SetFieldType(param)) the parameters.
class CDaoFieldExchange {
public:
    enum FieldType { none = 0, outputColumn = 1, param = 2 };
    enum class Kind : std::uint8_t { Text, Long, Short, Double, DateTime };

    void SetFieldType(FieldType type) { m_nFieldType = type; }
    FieldType m_nFieldType = outputColumn;

    // Registers one binding of the current field type; used by the DFX_ binders.
    void Bind(Kind kind, const char* name, void* member);

private:
    friend class CDaoRecordset;
    explicit CDaoFieldExchange(CDaoRecordset* rs) : m_prs(rs) {}
    CDaoRecordset* m_prs;
};

// Column binders, by bracketed or plain column name; after
// SetFieldType(CDaoFieldExchange::param) they bind parameters by name.
void DFX_Text(CDaoFieldExchange* pFX, const char* name, CString& value, int nPreAllocSize = 255,
              unsigned dwBindOptions = 0);
void DFX_Long(CDaoFieldExchange* pFX, const char* name, long& value, unsigned dwBindOptions = 0);
void DFX_Short(CDaoFieldExchange* pFX, const char* name, short& value, unsigned dwBindOptions = 0);
void DFX_Double(CDaoFieldExchange* pFX, const char* name, double& value, unsigned dwBindOptions = 0);
void DFX_DateTime(CDaoFieldExchange* pFX, const char* name, COleDateTime& value, unsigned dwBindOptions = 0);

// One query, its bound columns and a cursor over its rows. Value rules:
// text columns take any stored value as text; long (32-bit), short (16-bit)
// and double columns take integers and reals (reals truncated toward zero
// for whole-number members) and text holding a number, and reject any other
// text, an infinite real or an out-of-range value with a CDaoException naming
// the column and the value; date-time columns take ISO-8601 text or a day
// count, and text that does not parse gives an invalid COleDateTime. A null column leaves
// "" / 0 / a COleDateTime with status null in its member and IsFieldNull
// reports it.
class CDaoRecordset {
public:
    explicit CDaoRecordset(CDaoDatabase* pDatabase = nullptr);
    virtual ~CDaoRecordset();
    CDaoRecordset(const CDaoRecordset&) = delete;
    CDaoRecordset& operator=(const CDaoRecordset&) = delete;

    // Runs the query on m_pDatabase: lpszSQL, or GetDefaultSQL() when null,
    // and positions on the first row (or at the end when there is none). An
    // open recordset is closed first. Throws CDaoException on failure and
    // is then closed.
    virtual void Open(int nOpenType = AFX_DAO_USE_DEFAULT_TYPE, const char* lpszSQL = nullptr, int nOptions = 0);
    // Runs the same query again, with the parameter members' current values.
    virtual void Requery();
    virtual void Close();

    bool IsOpen() const noexcept { return m_stmt != nullptr; }
    // A closed recordset reports both BOF and EOF.
    bool IsBOF() const noexcept { return m_bof; }
    bool IsEOF() const noexcept { return m_eof; }

    // Moves that have nowhere to go (MoveNext at the end, MovePrev before
    // the first row, any move on a closed recordset) do nothing. A database
    // failure while stepping leaves the cursor at the end and throws.
    void MoveFirst();
    void MoveNext();
    void MovePrev();
    void MoveLast();
    long GetRecordCount() const noexcept;

    // Whether the column bound to `member` is null in the current row; false
    // for an address that is not a bound member.
    bool IsFieldNull(const void* member) const;

    virtual CString GetDefaultDBName();
    virtual CString GetDefaultSQL();
    virtual void DoFieldExchange(CDaoFieldExchange* pFX);

    // The bound columns, in binding order.
    int GetBoundFieldCount();
    void GetFieldInfo(int nIndex, CDaoFieldInfo& info);
    // The current row's value of bound column nIndex as text: "" when null,
    // integers in decimal, doubles in the shortest form that reads back the
    // same, dates as ISO-8601 ("invalid" when the stored text did not
    // parse). An index out of range gives "".
    CString GetFieldText(int nIndex);
    bool IsFieldNullAt(int nIndex);

    // The bound parameters' names, and setting one by name from text (parsed
    // by the parameter's type). Throws CDaoException for an unknown name or
    // a value of the wrong form.
    std::vector<CString> GetParamNames();
    void SetParamValue(const CString& name, const CString& value);

    // The query text last opened, and what it was translated to.
    const CString& GetSQL() const noexcept { return m_strSQL; }
    const std::string& GetTranslatedSQL() const noexcept { return m_translated; }

    CDaoDatabase* m_pDatabase = nullptr;
    int m_nFields = 0;
    int m_nParams = 0;
    int m_nDefaultType = dbOpenDynaset;

private:
    friend class CDaoFieldExchange;
    friend class CDaoDatabase;

    struct Binding {
        CDaoFieldExchange::Kind kind;
        CString name; // without brackets
        void* member;
        int column = -1;      // result column (fields) or host parameter number (params)
        bool isNull = true;   // current row
        bool invalid = false; // date-time text that did not parse
    };

    void ensureBindings();
    void bindParameters();
    void resetCursor();
    // Steps to row `target` (0-based), re-running the query when it lies
    // behind the statement; reads the row into the members when reached.
    void moveTo(long target);
    bool step();
    void readRow();
    void readColumn(Binding& b, int type); // type: the column's SQLite storage class
    [[noreturn]] void conversionError(const Binding& b, const char* what);
    void detachFromDatabase() noexcept;

    std::vector<Binding> m_fields;
    mutable std::size_t m_nullProbes[2] = {}; // the fields IsFieldNull found last
    std::vector<Binding> m_params;
    bool m_bound = false;
    std::unique_ptr<sqlite::Statement> m_stmt;
    CDaoDatabase* m_openOn = nullptr;
    CString m_strSQL;
    std::string m_translated;
    long m_pos = -1;     // current row, -1 before the first
    long m_stmtRow = -1; // row the statement sits on: -1 after a reset, LONG_MAX once done or failed
    long m_seen = 0;     // rows visited so far
    long m_total = -1;   // row count, once the end has been reached
    bool m_bof = true;
    bool m_eof = true;
};

} // namespace batchplant
