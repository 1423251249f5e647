#include "batchplant/calendar/SingleCalendar.h"

#include <cmath>

namespace batchplant {

namespace {
constexpr long long kSecondsPerDay = 86400;
constexpr double kFirstDay = -657435.0;
constexpr double kLastDay = 2958466.0;

// Whole days on the continuous scale for a valid date-time, rounding to the
// nearest second first so that the day agrees with the date's own fields.
bool linearDayOf(const COleDateTime& t, long long& day)
{
    if (t.GetStatus() != COleDateTime::valid || !std::isfinite(t.m_dt) || t.m_dt < kFirstDay || t.m_dt > kLastDay)
        return false;
    const auto total = static_cast<long long>(std::llround(t.ToLinearDays() * kSecondsPerDay));
    day = total / kSecondsPerDay;
    if (total % kSecondsPerDay < 0) --day;
    return true;
}
} // namespace

CGridCell& CSingleCalendar::Grid(int i)
{
    if (i < 0 || i >= kGridCells) {
        scratchCell = CGridCell();
        return scratchCell;
    }
    return grid[i];
}

CGridDay& CSingleCalendar::GetDay(int i)
{
    if (i < 0 || i >= kWeekDays) {
        scratchDay = CGridDay();
        return scratchDay;
    }
    return days[i];
}

const CGridDay& CSingleCalendar::GetDay(int i) const
{
    if (i < 0 || i >= kWeekDays) {
        scratchDay = CGridDay();
        return scratchDay;
    }
    return days[i];
}

COleDateTime CSingleCalendar::DateOf(COleDateTime date)
{
    long long day = 0;
    if (!linearDayOf(date, day)) {
        COleDateTime bad;
        bad.SetStatus(COleDateTime::invalid);
        return bad;
    }
    return COleDateTime::FromLinearDays(static_cast<double>(day));
}

int CSingleCalendar::WeekDayOf(long long linearDay)
{
    // Day 0, 1899-12-30, was a Saturday.
    return static_cast<int>(((linearDay % 7) + 7 + 6) % 7);
}

CMultiWorkShift& CSingleCalendar::Exception(COleDateTime date)
{
    const COleDateTime key = DateOf(date);
    if (key.GetStatus() != COleDateTime::valid) {
        scratchShifts = CMultiWorkShift();
        return scratchShifts;
    }
    return exceptions[key];
}

bool CSingleCalendar::HasException(COleDateTime date) const
{
    const COleDateTime key = DateOf(date);
    return key.GetStatus() == COleDateTime::valid && exceptions.Contains(key);
}

const CMultiWorkShift& CSingleCalendar::ShiftsOn(COleDateTime date) const
{
    long long day = 0;
    if (!linearDayOf(date, day)) return noShifts;
    if (const CMultiWorkShift* exception = exceptions.Lookup(COleDateTime::FromLinearDays(static_cast<double>(day))))
        return *exception;
    return days[WeekDayOf(day)].Shifts();
}

} // namespace batchplant
