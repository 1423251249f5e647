#pragma once
// One named work calendar: the shifts of the regular week, the dated
// exceptions that replace them, and the month grid a host displays.

#include "batchplant/calendar/CalendarObject.h"
#include "batchplant/calendar/WorkShift.h"
#include "batchplant/foundation/Hash.h"
#include "batchplant/platform/COleDateTime.h"
#include "batchplant/platform/CString.h"

namespace batchplant {

// One named work calendar: weekly shifts, dated exceptions and the month
// grid.
class CSingleCalendar {
public:
    static constexpr int kGridCells = 42; // six weeks, Sunday first
    static constexpr int kWeekDays = 7;   // 0 = Sunday … 6 = Saturday

    CSingleCalendar() = default;
    CSingleCalendar(const CSingleCalendar&) = default;
    CSingleCalendar& operator=(const CSingleCalendar&) = default;
    ~CSingleCalendar() = default;

    bool IsModified() const { return modified; }
    void SetModified(bool value) { modified = value; }
    bool IsUsed() const { return used; }
    void SetUsed(bool value) { used = value; }
    const CString& GetName() const { return name; }
    void SetName(const CString& value) { name = value; }

    // Cell `i` (0 to 41) of the month grid and weekday `i` (0 = Sunday to 6).
    // These do not test their index for the host: a bad one yields a scratch
    // cell or day of this calendar, reset to its empty state on every such
    // call, so nothing outside the grid is ever read or changed.
    CGridCell& Grid(int i);
    CGridDay& GetDay(int i);
    const CGridDay& GetDay(int i) const;

    // Dated exceptions, keyed by the date at midnight.
    Hash<COleDateTime, CMultiWorkShift>& Exceptions() { return exceptions; }
    const Hash<COleDateTime, CMultiWorkShift>& Exceptions() const { return exceptions; }
    // The exception shifts for the date of `date` (its time of day is
    // ignored), adding an empty exception when there is none. An invalid
    // `date` adds nothing and yields a scratch list, emptied on every such
    // call.
    CMultiWorkShift& Exception(COleDateTime date);
    // Whether the date of `date` has an exception; adds nothing.
    bool HasException(COleDateTime date) const;

    // The shifts worked on the date of `date`: its exception's when it has
    // one, otherwise its weekday's. Adds nothing; an invalid date yields an
    // empty list.
    const CMultiWorkShift& ShiftsOn(COleDateTime date) const;

    // `date` truncated to its midnight; invalid when `date` is not a valid
    // date-time within the years 100 to 9999.
    static COleDateTime DateOf(COleDateTime date);
    // 0 = Sunday … 6 = Saturday for the day that `linearDay` (whole days on
    // COleDateTime's continuous scale) denotes.
    static int WeekDayOf(long long linearDay);

private:
    bool modified = false;
    bool used = false;
    CString name;
    CGridCell grid[kGridCells];
    CGridDay days[kWeekDays];
    Hash<COleDateTime, CMultiWorkShift> exceptions;

    // Stand-ins handed out for bad positions and dates (see above).
    CGridCell scratchCell;
    mutable CGridDay scratchDay;
    CMultiWorkShift scratchShifts;
    CMultiWorkShift noShifts;
};

} // namespace batchplant
