#pragma once
// The calendars of a facility: every named work calendar under its id, the
// one a host currently shows, and the working-time blocks of a calendar
// between two dates. CFacilityCalendar reads and writes them in the results
// database (tables of schema/calendar.sql; see docs/calendars.md).

#include "batchplant/calendar/SingleCalendar.h"
#include "batchplant/foundation/Hash.h"
#include "batchplant/foundation/List.h"
#include "batchplant/platform/COleDateTime.h"

namespace batchplant {

class CDaoDatabase;

// Work calendars by id, kept in memory; CFacilityCalendar reads and writes
// them in a results database.
class CCalendar {
public:
    CCalendar();
    CCalendar(const CCalendar&) = default;
    CCalendar& operator=(const CCalendar&) = default;
    virtual ~CCalendar();

    // The calendar a host shows; -1 for none.
    int GetCurrentCalendar() const { return currentCalendar; }
    void SetCurrentCalendar(int id) { currentCalendar = id; }
    bool currentCalendarIsValid() const { return currentCalendar != -1; }
    // The date whose month the grid cells show.
    COleDateTime GetCurrentDate() const { return currentDate; }
    void SetCurrentDate(COleDateTime date) { currentDate = date; }

    void SetFocus(bool value) { focus = value; }
    bool HasFocus() const { return focus; }
    // Lets a host remember whether its display of the calendars is current.
    void MarkCalendarUpdated(bool value) { calendarUpdated = value; }
    bool IsCalendarUpdateNeeded() const { return !calendarUpdated; }

    Hash<int, CSingleCalendar>& Calendars() { return calendars; }
    const Hash<int, CSingleCalendar>& Calendars() const { return calendars; }
    // The calendar with this id, adding an empty one when there is none.
    CSingleCalendar& Calendar(int id) { return calendars[id]; }
    int GetNumCalendars() const { return calendars.GetCount(); }

    // Read or write every calendar; false (after telling the user why) when
    // that failed. The base class keeps its calendars in memory only.
    bool LoadCalendars() { return loadCalendars(); }
    bool SaveCalendars() { return saveCalendars(); }
    // Fills the grid cells of the current calendar for the month of the
    // current date.
    void UpdateCells() { update_cells(); }

    // Appends to `out`, in time order, the start and end of every working
    // block of calendar `calendarID` between `from` and `to`: each date works
    // its exception's shifts when it has one, otherwise its weekday's; a
    // shift that runs past midnight ends on the next day; overlapping and
    // touching blocks are merged and blocks are cut at `from` and `to`.
    // An id of -1 or one without calendar works around the clock, giving
    // (from, to). Nothing is appended when `from` is not before `to` or
    // either is not a valid date-time.
    void GetCalendarTimeList(int calendarID, COleDateTime from, COleDateTime to, List<COleDateTime>& out) const;

protected:
    virtual bool loadCalendars() { return true; }
    virtual bool saveCalendars() { return true; }

    int currentCalendar = -1;
    COleDateTime currentDate;
    bool focus = false;
    bool calendarUpdated = false;
    Hash<int, CSingleCalendar> calendars;

private:
    void update_cells();
};

// The calendars of one results database. The database given at construction
// names the file; loading and saving open a connection of their own to that
// file, so the calendars can still be read and saved after the host has
// closed or destroyed its database object.
class CFacilityCalendar : public CCalendar {
public:
    explicit CFacilityCalendar(CDaoDatabase* db);
    CFacilityCalendar(const CFacilityCalendar&) = default;
    CFacilityCalendar& operator=(const CFacilityCalendar&) = default;
    ~CFacilityCalendar() override;

    // The database given at construction, as given (not owned; the host may
    // have closed or destroyed it since).
    CDaoDatabase* GetDatabase() const { return database; }
    // The file the calendars are read from and written to; empty when no
    // open database was given.
    const CString& GetDatabaseName() const { return databaseName; }

protected:
    // Replaces the calendars in memory with those of the database. On a
    // failure the user is told why (the database's error text, or the table,
    // column and value of a bad row), no calendar is kept and the result is
    // false. A database without calendar tables has no calendars.
    bool loadCalendars() override;
    // Writes every calendar back in one transaction, replacing the tables'
    // rows; on any failure (a write-protected file included) the file stays
    // as it was, the user is told why and the result is false. Afterwards no
    // calendar is marked modified.
    bool saveCalendars() override;

private:
    CDaoDatabase* database;
    CString databaseName;
};

} // namespace batchplant
