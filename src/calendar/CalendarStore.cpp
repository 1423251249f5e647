#include "CalendarStore.h"

#include "batchplant/db/ResultsSchema.h"

#include <cmath>
#include <limits>
#include <utility>

namespace batchplant::calendar_store {

namespace {

// A fault in the stored calendars; caught by Load and Save, which report it.
[[noreturn]] void refuse(CString text) { throw CDaoException(std::move(text)); }

// A whole number from `min` to `max` in column `col`; anything else (null,
// text, a fraction, out of range) is reported by table and column name.
int wholeNumber(const sqlite::Statement& row, int col, const char* table, long long min, long long max)
{
    long long value = 0;
    bool ok = false;
    switch (row.type(col)) {
    case SQLITE_INTEGER:
        value = row.integer(col);
        ok = true;
        break;
    case SQLITE_FLOAT: {
        const double d = row.real(col);
        ok = std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e15;
        value = ok ? static_cast<long long>(d) : 0;
        break;
    }
    default:
        break;
    }
    if (!ok || value < min || value > max) {
        const CString shown = row.isNull(col) ? CString("null") : CString(row.textView(col));
        refuse(CString::Formatted("%s.%s holds '%s', not a whole number from %lld to %lld.", table, row.columnName(col),
                                  shown, min, max));
    }
    return static_cast<int>(value);
}

// A date written 'YYYY-MM-DD'.
COleDateTime exceptionDate(const sqlite::Statement& row, int col, const char* table)
{
    const CString text(row.textView(col));
    const std::string& s = text.str();
    bool ok = row.type(col) == SQLITE_TEXT && s.size() == 10 && s[4] == '-' && s[7] == '-';
    for (std::size_t i = 0; ok && i < s.size(); ++i)
        if (i != 4 && i != 7 && (s[i] < '0' || s[i] > '9')) ok = false;
    COleDateTime date;
    if (ok) {
        date.SetDate(std::stoi(s.substr(0, 4)), std::stoi(s.substr(5, 2)), std::stoi(s.substr(8, 2)));
        // SetDate accepts day 31 of a 30-day month by rolling over; insist on
        // the date as written.
        ok = date.GetStatus() == COleDateTime::valid && date.Format("%Y-%m-%d") == text;
    }
    if (!ok)
        refuse(CString::Formatted("%s.ExceptionDate of calendar %d holds '%s', not a date written YYYY-MM-DD.", table,
                                  static_cast<int>(row.integer(0)), text));
    return CSingleCalendar::DateOf(date);
}

// Walks the rows of `sql`, handing each to `row`.
template <class RowFn> void forEachRow(const sqlite::Connection& db, const char* sql, RowFn row)
{
    sqlite::Statement stmt(db, sql);
    while (stmt.step())
        row(stmt);
}

constexpr long long kMaxID = std::numeric_limits<int>::max();
constexpr long long kLastSecond = 86399;

CWorkShift readShift(const sqlite::Statement& row, int firstCol, const char* table)
{
    const int start = wholeNumber(row, firstCol, table, 0, kLastSecond);
    const int end = wholeNumber(row, firstCol + 1, table, 0, kLastSecond);
    return CWorkShift(CWorkShift::TimeOfDay(start), CWorkShift::TimeOfDay(end));
}

void loadAll(const sqlite::Connection& db, Hash<int, CSingleCalendar>& loaded)
{
    forEachRow(db, "SELECT CalendarID, Name FROM Calendars ORDER BY CalendarID", [&](const sqlite::Statement& row) {
        const int id = wholeNumber(row, 0, "Calendars", 1, kMaxID);
        if (loaded.Contains(id)) refuse(CString::Formatted("Calendars holds calendar %d more than once.", id));
        loaded[id].SetName(CString(row.textView(1)));
    });

    // Rows that name a calendar which is not in Calendars.
    auto calendarOf = [&](const sqlite::Statement& row, const char* table) -> CSingleCalendar& {
        const int id = wholeNumber(row, 0, table, 1, kMaxID);
        CSingleCalendar* calendar = loaded.Lookup(id);
        if (!calendar) refuse(CString::Formatted("%s names calendar %d, which is not in Calendars.", table, id));
        return *calendar;
    };

    forEachRow(db,
               "SELECT CalendarID, DayOfWeek, StartSecond, EndSecond FROM CalendarWeekShifts "
               "ORDER BY CalendarID, DayOfWeek, ShiftNo",
               [&](const sqlite::Statement& row) {
                   CSingleCalendar& calendar = calendarOf(row, "CalendarWeekShifts");
                   const int day = wholeNumber(row, 1, "CalendarWeekShifts", 0, 6);
                   calendar.GetDay(day).Shifts().Add(readShift(row, 2, "CalendarWeekShifts"));
               });

    forEachRow(
        db, "SELECT CalendarID, ExceptionDate FROM CalendarExceptions ORDER BY CalendarID, ExceptionDate",
        [&](const sqlite::Statement& row) {
            CSingleCalendar& calendar = calendarOf(row, "CalendarExceptions");
            const COleDateTime date = exceptionDate(row, 1, "CalendarExceptions");
            if (calendar.HasException(date))
                refuse(CString::Formatted("CalendarExceptions holds the exception of calendar %d on %s more than once.",
                                          static_cast<int>(row.integer(0)), CString(row.textView(1))));
            calendar.Exception(date);
        });

    forEachRow(db,
               "SELECT CalendarID, ExceptionDate, StartSecond, EndSecond FROM CalendarExceptionShifts "
               "ORDER BY CalendarID, ExceptionDate, ShiftNo",
               [&](const sqlite::Statement& row) {
                   CSingleCalendar& calendar = calendarOf(row, "CalendarExceptionShifts");
                   const COleDateTime date = exceptionDate(row, 1, "CalendarExceptionShifts");
                   const CWorkShift shift = readShift(row, 2, "CalendarExceptionShifts");
                   if (!calendar.HasException(date))
                       refuse(CString::Formatted("CalendarExceptionShifts holds a shift of calendar %d on %s, which "
                                                 "has no row in CalendarExceptions.",
                                                 static_cast<int>(row.integer(0)), CString(row.textView(1))));
                   calendar.Exception(date).Add(shift);
               });
}

const char* const kDayNames[CSingleCalendar::kWeekDays] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                           "Thursday", "Friday", "Saturday"};

void checkShifts(int id, const CString& where, const CMultiWorkShift& shifts)
{
    for (int i = 0; i < shifts.Number(); ++i) {
        const CWorkShift& shift = shifts.ShiftAt(i);
        const char* bad = CWorkShift::SecondOfDay(shift.GetStart()) < 0 ? "start"
                          : CWorkShift::SecondOfDay(shift.GetEnd()) < 0 ? "end"
                                                                        : nullptr;
        if (bad) refuse(CString::Formatted("Calendar %d: shift %d of %s has an invalid %s time.", id, i, where, bad));
    }
}

// What the tables cannot hold is refused before the database is touched.
void checkAll(const Hash<int, CSingleCalendar>& calendars)
{
    for (int c = 0; c < calendars.GetCount(); ++c) {
        const int id = calendars.GetKeyAt(c);
        if (id <= 0)
            refuse(CString::Formatted("Calendar %d cannot be saved: calendar ids must be greater than 0.", id));
        const CSingleCalendar& calendar = calendars.GetAt(c);
        for (int d = 0; d < CSingleCalendar::kWeekDays; ++d)
            checkShifts(id, kDayNames[d], calendar.GetDay(d).Shifts());
        const Hash<COleDateTime, CMultiWorkShift>& exceptions = calendar.Exceptions();
        for (int e = 0; e < exceptions.GetCount(); ++e) {
            const COleDateTime& date = exceptions.GetKeyAt(e);
            const COleDateTime day = CSingleCalendar::DateOf(date);
            if (day.GetStatus() != COleDateTime::valid || !(day == date))
                refuse(CString::Formatted("Calendar %d: the exception keyed %s is not a valid date at midnight.", id,
                                          date.GetStatus() == COleDateTime::valid ? date.ToIso()
                                                                                  : CString("(invalid date)")));
            checkShifts(id, date.Format("%Y-%m-%d"), exceptions.GetAt(e));
        }
    }
}

// The shift rows of one day or date: ?1 calendar, ?2 day or date, then the shifts.
template <class Day> void insertShifts(sqlite::Statement& stmt, int id, const Day& day, const CMultiWorkShift& shifts)
{
    for (int i = 0; i < shifts.Number(); ++i)
        stmt.run(id, day, i, CWorkShift::SecondOfDay(shifts.StartAt(i)), CWorkShift::SecondOfDay(shifts.EndAt(i)));
}

void writeAll(const sqlite::Connection& db, const Hash<int, CSingleCalendar>& calendars)
{
    db.exec(CalendarSchemaSql());
    db.exec("DELETE FROM CalendarExceptionShifts; DELETE FROM CalendarExceptions; "
            "DELETE FROM CalendarWeekShifts; DELETE FROM Calendars;");

    sqlite::Statement calendarRow(db, "INSERT INTO Calendars (CalendarID, Name) VALUES (?1, ?2)");
    sqlite::Statement weekShift(db, "INSERT INTO CalendarWeekShifts (CalendarID, DayOfWeek, ShiftNo, StartSecond, "
                                    "EndSecond) VALUES (?1, ?2, ?3, ?4, ?5)");
    sqlite::Statement exceptionRow(db, "INSERT INTO CalendarExceptions (CalendarID, ExceptionDate) VALUES (?1, ?2)");
    sqlite::Statement exceptionShift(db, "INSERT INTO CalendarExceptionShifts (CalendarID, ExceptionDate, ShiftNo, "
                                         "StartSecond, EndSecond) VALUES (?1, ?2, ?3, ?4, ?5)");

    for (int c = 0; c < calendars.GetCount(); ++c) {
        const int id = calendars.GetKeyAt(c);
        const CSingleCalendar& calendar = calendars.GetAt(c);
        calendarRow.run(id, calendar.GetName());
        for (int d = 0; d < CSingleCalendar::kWeekDays; ++d)
            insertShifts(weekShift, id, d, calendar.GetDay(d).Shifts());

        const Hash<COleDateTime, CMultiWorkShift>& exceptions = calendar.Exceptions();
        for (int e = 0; e < exceptions.GetCount(); ++e) {
            const CString date = exceptions.GetKeyAt(e).Format("%Y-%m-%d");
            exceptionRow.run(id, date);
            insertShifts(exceptionShift, id, date, exceptions.GetAt(e));
        }
    }
}

} // namespace

bool Load(const sqlite::Connection* db, Hash<int, CSingleCalendar>& calendars, CString& error)
{
    if (!db) {
        error = "no database is open.";
        return false;
    }
    try {
        Hash<int, CSingleCalendar> loaded;
        if (db->hasTableOrView("Calendars")) loadAll(*db, loaded);
        calendars = std::move(loaded);
        return true;
    } catch (const CDaoException& e) {
        error = e.GetDescription();
        return false;
    }
}

bool Save(const sqlite::Connection* db, const Hash<int, CSingleCalendar>& calendars, CString& error)
{
    if (!db) {
        error = "no database is open.";
        return false;
    }
    try {
        checkAll(calendars);
        db->exec("BEGIN IMMEDIATE");
        writeAll(*db, calendars);
        db->exec("COMMIT");
        return true;
    } catch (const CDaoException& e) {
        error = e.GetDescription();
        // The error text is taken; now undo whatever the transaction did.
        db->rollback();
        return false;
    }
}

} // namespace batchplant::calendar_store
