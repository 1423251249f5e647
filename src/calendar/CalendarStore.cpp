#include "CalendarStore.h"

#include <cmath>
#include <limits>
#include <utility>

namespace batchplant::calendar_store {

// Kept identical to schema/calendar.sql (a test compares them).
const char* const kSchemaSql = R"sql(-- Equipment calendars: named calendars of weekly working shifts with dated
-- exceptions. Read and written only by the calendar component; equipment
-- names its calendar through EquipmentSummary.CalendarID (NULL: none).
--
-- Times of day are whole seconds since midnight. A shift whose EndSecond is
-- not after its StartSecond runs past midnight into the next day; equal start
-- and end is a full 24 hours. A shift belongs to the day it starts on.

CREATE TABLE IF NOT EXISTS Calendars (
    CalendarID INTEGER NOT NULL PRIMARY KEY CHECK (CalendarID > 0),
    Name TEXT NOT NULL DEFAULT ''
);

-- The regular week: DayOfWeek 0 = Sunday ... 6 = Saturday; ShiftNo orders the
-- shifts of one day. A weekday without rows is not worked.
CREATE TABLE IF NOT EXISTS CalendarWeekShifts (
    CalendarID INTEGER NOT NULL REFERENCES Calendars (CalendarID) ON DELETE CASCADE,
    DayOfWeek INTEGER NOT NULL CHECK (DayOfWeek BETWEEN 0 AND 6),
    ShiftNo INTEGER NOT NULL CHECK (ShiftNo >= 0),
    StartSecond INTEGER NOT NULL CHECK (StartSecond BETWEEN 0 AND 86399),
    EndSecond INTEGER NOT NULL CHECK (EndSecond BETWEEN 0 AND 86399),
    PRIMARY KEY (CalendarID, DayOfWeek, ShiftNo)
);

-- A dated exception replaces the shifts of its weekday on that date
-- (ExceptionDate is 'YYYY-MM-DD'); without shift rows the date is a day off.
CREATE TABLE IF NOT EXISTS CalendarExceptions (
    CalendarID INTEGER NOT NULL REFERENCES Calendars (CalendarID) ON DELETE CASCADE,
    ExceptionDate TEXT NOT NULL CHECK (ExceptionDate GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]'),
    PRIMARY KEY (CalendarID, ExceptionDate)
);

CREATE TABLE IF NOT EXISTS CalendarExceptionShifts (
    CalendarID INTEGER NOT NULL,
    ExceptionDate TEXT NOT NULL,
    ShiftNo INTEGER NOT NULL CHECK (ShiftNo >= 0),
    StartSecond INTEGER NOT NULL CHECK (StartSecond BETWEEN 0 AND 86399),
    EndSecond INTEGER NOT NULL CHECK (EndSecond BETWEEN 0 AND 86399),
    PRIMARY KEY (CalendarID, ExceptionDate, ShiftNo),
    FOREIGN KEY (CalendarID, ExceptionDate) REFERENCES CalendarExceptions (CalendarID, ExceptionDate)
        ON DELETE CASCADE
);
)sql";

namespace {

// Owns a prepared statement.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr); }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return stmt != nullptr; }
    sqlite3_stmt* get() const { return stmt; }

private:
    sqlite3_stmt* stmt = nullptr;
};

CString databaseError(sqlite3* db) { return CString(sqlite3_errmsg(db)); }

CString columnText(sqlite3_stmt* stmt, int col)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
    return text ? CString(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col))) : CString();
}

// A whole number from `min` to `max` in column `col`; anything else (null,
// text, a fraction, out of range) is reported by table and column name.
bool wholeNumber(sqlite3_stmt* stmt, int col, const char* table, long long min, long long max, int& out, CString& error)
{
    long long value = 0;
    bool ok = false;
    switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_INTEGER:
        value = sqlite3_column_int64(stmt, col);
        ok = true;
        break;
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(stmt, col);
        ok = std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e15;
        value = ok ? static_cast<long long>(d) : 0;
        break;
    }
    default:
        break;
    }
    if (!ok || value < min || value > max) {
        const CString shown = sqlite3_column_type(stmt, col) == SQLITE_NULL ? CString("null") : columnText(stmt, col);
        error.Format("%s.%s holds '%s', not a whole number from %lld to %lld.", table, sqlite3_column_name(stmt, col),
                     shown, min, max);
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

// A date written 'YYYY-MM-DD'.
bool exceptionDate(sqlite3_stmt* stmt, int col, const char* table, int calendarID, COleDateTime& out, CString& error)
{
    const CString text = columnText(stmt, col);
    const std::string& s = text.str();
    bool ok = sqlite3_column_type(stmt, col) == SQLITE_TEXT && s.size() == 10 && s[4] == '-' && s[7] == '-';
    for (std::size_t i = 0; ok && i < s.size(); ++i)
        if (i != 4 && i != 7 && (s[i] < '0' || s[i] > '9')) ok = false;
    COleDateTime date;
    if (ok) {
        date.SetDate(std::stoi(s.substr(0, 4)), std::stoi(s.substr(5, 2)), std::stoi(s.substr(8, 2)));
        // SetDate accepts day 31 of a 30-day month by rolling over; insist on
        // the date as written.
        ok = date.GetStatus() == COleDateTime::valid && date.Format("%Y-%m-%d") == text;
    }
    if (!ok) {
        error.Format("%s.ExceptionDate of calendar %d holds '%s', not a date written YYYY-MM-DD.", table, calendarID,
                     text);
        return false;
    }
    out = CSingleCalendar::DateOf(date);
    return true;
}

bool execute(sqlite3* db, const char* sql, CString& error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? CString(message) : databaseError(db);
    sqlite3_free(message);
    return false;
}

bool tableExists(sqlite3* db, const char* name, bool& exists, CString& error)
{
    Statement stmt(db, "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE");
    if (!stmt) {
        error = databaseError(db);
        return false;
    }
    sqlite3_bind_text(stmt.get(), 1, name, -1, SQLITE_STATIC);
    const int rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        error = databaseError(db);
        return false;
    }
    exists = rc == SQLITE_ROW;
    return true;
}

// Walks the rows of `sql`, handing each to `row`; false on a database error
// (reported in `error`) or when `row` refuses one.
template <class RowFn> bool forEachRow(sqlite3* db, const char* sql, CString& error, RowFn row)
{
    Statement stmt(db, sql);
    if (!stmt) {
        error = databaseError(db);
        return false;
    }
    for (;;) {
        const int rc = sqlite3_step(stmt.get());
        if (rc == SQLITE_DONE) return true;
        if (rc != SQLITE_ROW) {
            error = databaseError(db);
            return false;
        }
        if (!row(stmt.get())) return false;
    }
}

constexpr long long kMaxID = std::numeric_limits<int>::max();
constexpr long long kLastSecond = 86399;

bool readShift(sqlite3_stmt* stmt, int firstCol, const char* table, CWorkShift& shift, CString& error)
{
    int start = 0;
    int end = 0;
    if (!wholeNumber(stmt, firstCol, table, 0, kLastSecond, start, error) ||
        !wholeNumber(stmt, firstCol + 1, table, 0, kLastSecond, end, error))
        return false;
    shift = CWorkShift(CWorkShift::TimeOfDay(start), CWorkShift::TimeOfDay(end));
    return true;
}

bool loadAll(sqlite3* db, Hash<int, CSingleCalendar>& loaded, CString& error)
{
    bool ok =
        forEachRow(db, "SELECT CalendarID, Name FROM Calendars ORDER BY CalendarID", error, [&](sqlite3_stmt* row) {
            int id = 0;
            if (!wholeNumber(row, 0, "Calendars", 1, kMaxID, id, error)) return false;
            if (loaded.Contains(id)) {
                error.Format("Calendars holds calendar %d more than once.", id);
                return false;
            }
            loaded[id].SetName(columnText(row, 1));
            return true;
        });
    if (!ok) return false;

    // Rows that name a calendar which is not in Calendars.
    auto calendarOf = [&](sqlite3_stmt* row, const char* table) -> CSingleCalendar* {
        int id = 0;
        if (!wholeNumber(row, 0, table, 1, kMaxID, id, error)) return nullptr;
        CSingleCalendar* calendar = loaded.Lookup(id);
        if (!calendar) error.Format("%s names calendar %d, which is not in Calendars.", table, id);
        return calendar;
    };

    ok = forEachRow(db,
                    "SELECT CalendarID, DayOfWeek, StartSecond, EndSecond FROM CalendarWeekShifts "
                    "ORDER BY CalendarID, DayOfWeek, ShiftNo",
                    error, [&](sqlite3_stmt* row) {
                        CSingleCalendar* calendar = calendarOf(row, "CalendarWeekShifts");
                        int day = 0;
                        CWorkShift shift;
                        if (!calendar || !wholeNumber(row, 1, "CalendarWeekShifts", 0, 6, day, error) ||
                            !readShift(row, 2, "CalendarWeekShifts", shift, error))
                            return false;
                        calendar->GetDay(day).Shifts().Add(shift);
                        return true;
                    });
    if (!ok) return false;

    ok = forEachRow(db, "SELECT CalendarID, ExceptionDate FROM CalendarExceptions ORDER BY CalendarID, ExceptionDate",
                    error, [&](sqlite3_stmt* row) {
                        CSingleCalendar* calendar = calendarOf(row, "CalendarExceptions");
                        COleDateTime date;
                        if (!calendar ||
                            !exceptionDate(row, 1, "CalendarExceptions", sqlite3_column_int(row, 0), date, error))
                            return false;
                        if (calendar->HasException(date)) {
                            error.Format("CalendarExceptions holds the exception of calendar %d on %s more than once.",
                                         sqlite3_column_int(row, 0), columnText(row, 1));
                            return false;
                        }
                        calendar->Exception(date);
                        return true;
                    });
    if (!ok) return false;

    return forEachRow(
        db,
        "SELECT CalendarID, ExceptionDate, StartSecond, EndSecond FROM CalendarExceptionShifts "
        "ORDER BY CalendarID, ExceptionDate, ShiftNo",
        error, [&](sqlite3_stmt* row) {
            CSingleCalendar* calendar = calendarOf(row, "CalendarExceptionShifts");
            COleDateTime date;
            CWorkShift shift;
            if (!calendar ||
                !exceptionDate(row, 1, "CalendarExceptionShifts", sqlite3_column_int(row, 0), date, error) ||
                !readShift(row, 2, "CalendarExceptionShifts", shift, error))
                return false;
            if (!calendar->HasException(date)) {
                error.Format("CalendarExceptionShifts holds a shift of calendar %d on %s, which has no "
                             "row in CalendarExceptions.",
                             sqlite3_column_int(row, 0), columnText(row, 1));
                return false;
            }
            calendar->Exception(date).Add(shift);
            return true;
        });
}

const char* const kDayNames[CSingleCalendar::kWeekDays] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                           "Thursday", "Friday", "Saturday"};

bool checkShifts(int id, const CString& where, const CMultiWorkShift& shifts, CString& error)
{
    for (int i = 0; i < shifts.Number(); ++i) {
        const CWorkShift& shift = shifts.ShiftAt(i);
        const char* bad = CWorkShift::SecondOfDay(shift.GetStart()) < 0 ? "start"
                          : CWorkShift::SecondOfDay(shift.GetEnd()) < 0 ? "end"
                                                                        : nullptr;
        if (bad) {
            error.Format("Calendar %d: shift %d of %s has an invalid %s time.", id, i, where, bad);
            return false;
        }
    }
    return true;
}

// What the tables cannot hold is refused before the database is touched.
bool checkAll(const Hash<int, CSingleCalendar>& calendars, CString& error)
{
    for (int c = 0; c < calendars.GetCount(); ++c) {
        const int id = calendars.GetKeyAt(c);
        if (id <= 0) {
            error.Format("Calendar %d cannot be saved: calendar ids must be greater than 0.", id);
            return false;
        }
        const CSingleCalendar& calendar = calendars.GetAt(c);
        for (int d = 0; d < CSingleCalendar::kWeekDays; ++d)
            if (!checkShifts(id, kDayNames[d], calendar.GetDay(d).Shifts(), error)) return false;
        const Hash<COleDateTime, CMultiWorkShift>& exceptions = calendar.Exceptions();
        for (int e = 0; e < exceptions.GetCount(); ++e) {
            const COleDateTime& date = exceptions.GetKeyAt(e);
            const COleDateTime day = CSingleCalendar::DateOf(date);
            if (day.GetStatus() != COleDateTime::valid || !(day == date)) {
                error.Format("Calendar %d: the exception keyed %s is not a valid date at midnight.", id,
                             date.GetStatus() == COleDateTime::valid ? date.ToIso() : CString("(invalid date)"));
                return false;
            }
            if (!checkShifts(id, date.Format("%Y-%m-%d"), exceptions.GetAt(e), error)) return false;
        }
    }
    return true;
}

bool insertShifts(sqlite3* db, sqlite3_stmt* stmt, const CMultiWorkShift& shifts, CString& error)
{
    // Parameters 1 and 2 (calendar and day or date) are bound by the caller.
    for (int i = 0; i < shifts.Number(); ++i) {
        sqlite3_bind_int(stmt, 3, i);
        sqlite3_bind_int(stmt, 4, CWorkShift::SecondOfDay(shifts.StartAt(i)));
        sqlite3_bind_int(stmt, 5, CWorkShift::SecondOfDay(shifts.EndAt(i)));
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE) {
            error = databaseError(db);
            return false;
        }
    }
    return true;
}

bool stepOnce(sqlite3* db, sqlite3_stmt* stmt, CString& error)
{
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc == SQLITE_DONE) return true;
    error = databaseError(db);
    return false;
}

bool writeAll(sqlite3* db, const Hash<int, CSingleCalendar>& calendars, CString& error)
{
    if (!execute(db, kSchemaSql, error)) return false;
    if (!execute(db,
                 "DELETE FROM CalendarExceptionShifts; DELETE FROM CalendarExceptions; "
                 "DELETE FROM CalendarWeekShifts; DELETE FROM Calendars;",
                 error))
        return false;

    Statement calendarRow(db, "INSERT INTO Calendars (CalendarID, Name) VALUES (?1, ?2)");
    Statement weekShift(db, "INSERT INTO CalendarWeekShifts (CalendarID, DayOfWeek, ShiftNo, StartSecond, EndSecond) "
                            "VALUES (?1, ?2, ?3, ?4, ?5)");
    Statement exceptionRow(db, "INSERT INTO CalendarExceptions (CalendarID, ExceptionDate) VALUES (?1, ?2)");
    Statement exceptionShift(db, "INSERT INTO CalendarExceptionShifts (CalendarID, ExceptionDate, ShiftNo, "
                                 "StartSecond, EndSecond) VALUES (?1, ?2, ?3, ?4, ?5)");
    if (!calendarRow || !weekShift || !exceptionRow || !exceptionShift) {
        error = databaseError(db);
        return false;
    }

    for (int c = 0; c < calendars.GetCount(); ++c) {
        const int id = calendars.GetKeyAt(c);
        const CSingleCalendar& calendar = calendars.GetAt(c);
        sqlite3_bind_int(calendarRow.get(), 1, id);
        sqlite3_bind_text(calendarRow.get(), 2, calendar.GetName().c_str(), -1, SQLITE_TRANSIENT);
        if (!stepOnce(db, calendarRow.get(), error)) return false;

        for (int d = 0; d < CSingleCalendar::kWeekDays; ++d) {
            sqlite3_bind_int(weekShift.get(), 1, id);
            sqlite3_bind_int(weekShift.get(), 2, d);
            if (!insertShifts(db, weekShift.get(), calendar.GetDay(d).Shifts(), error)) return false;
        }

        const Hash<COleDateTime, CMultiWorkShift>& exceptions = calendar.Exceptions();
        for (int e = 0; e < exceptions.GetCount(); ++e) {
            const CString date = exceptions.GetKeyAt(e).Format("%Y-%m-%d");
            sqlite3_bind_int(exceptionRow.get(), 1, id);
            sqlite3_bind_text(exceptionRow.get(), 2, date.c_str(), -1, SQLITE_TRANSIENT);
            if (!stepOnce(db, exceptionRow.get(), error)) return false;
            sqlite3_bind_int(exceptionShift.get(), 1, id);
            sqlite3_bind_text(exceptionShift.get(), 2, date.c_str(), -1, SQLITE_TRANSIENT);
            if (!insertShifts(db, exceptionShift.get(), exceptions.GetAt(e), error)) return false;
        }
    }
    return true;
}

} // namespace

bool Load(sqlite3* db, Hash<int, CSingleCalendar>& calendars, CString& error)
{
    if (!db) {
        error = "no database is open.";
        return false;
    }
    bool exists = false;
    if (!tableExists(db, "Calendars", exists, error)) return false;
    Hash<int, CSingleCalendar> loaded;
    if (exists && !loadAll(db, loaded, error)) return false;
    calendars = std::move(loaded);
    return true;
}

bool Save(sqlite3* db, const Hash<int, CSingleCalendar>& calendars, CString& error)
{
    if (!db) {
        error = "no database is open.";
        return false;
    }
    if (!checkAll(calendars, error)) return false;
    if (!execute(db, "BEGIN IMMEDIATE", error)) return false;
    if (writeAll(db, calendars, error) && execute(db, "COMMIT", error)) return true;
    // The error text is taken; now undo whatever the transaction did.
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

} // namespace batchplant::calendar_store
