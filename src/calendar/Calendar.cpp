#include "batchplant/calendar/Calendar.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace batchplant {

namespace {
constexpr long long kSecondsPerDay = 86400;
constexpr double kFirstDay = -657435.0;
constexpr double kLastDay = 2958466.0;

// A valid, finite date-time within the years COleDateTime handles, as days on
// the continuous scale.
bool usableTime(const COleDateTime& t, double& linearDays)
{
    if (t.GetStatus() != COleDateTime::valid || !std::isfinite(t.m_dt) || t.m_dt < kFirstDay || t.m_dt > kLastDay)
        return false;
    linearDays = t.ToLinearDays();
    return true;
}

// Seconds on the continuous scale; a value within a millisecond of a whole
// second is taken as that second, so that a bound given to the second meets
// a shift boundary exactly.
double secondsOf(double linearDays)
{
    const double s = linearDays * static_cast<double>(kSecondsPerDay);
    const double whole = std::round(s);
    return std::fabs(s - whole) < 1e-3 ? whole : s;
}

long long dayOfSecond(double second) { return static_cast<long long>(std::floor(second / kSecondsPerDay)); }

COleDateTime pointAt(long long second)
{
    return COleDateTime::FromLinearDays(static_cast<double>(second) / static_cast<double>(kSecondsPerDay));
}

struct Block {
    long long start; // seconds on the continuous scale
    long long end;
};
} // namespace

CCalendar::CCalendar() : currentDate(CSingleCalendar::DateOf(COleDateTime::GetCurrentTime())) {}

CCalendar::~CCalendar() = default;

void CCalendar::GetCalendarTimeList(int calendarID, COleDateTime from, COleDateTime to, List<COleDateTime>& out) const
{
    double fromDays = 0.0;
    double toDays = 0.0;
    if (!usableTime(from, fromDays) || !usableTime(to, toDays) || !(fromDays < toDays)) return;

    const CSingleCalendar* calendar = calendarID == -1 ? nullptr : calendars.Lookup(calendarID);
    if (!calendar) {
        // No calendar: the equipment works around the clock.
        out.Add(from);
        out.Add(to);
        return;
    }

    const double fromSecond = secondsOf(fromDays);
    const double toSecond = secondsOf(toDays);
    // A shift of the day before `from` may run past midnight into the range.
    const long long firstDay = dayOfSecond(fromSecond) - 1;
    const long long lastDay = dayOfSecond(toSecond);

    std::vector<Block> blocks;
    for (long long day = firstDay; day <= lastDay; ++day) {
        const CMultiWorkShift& shifts = calendar->ShiftsOn(COleDateTime::FromLinearDays(static_cast<double>(day)));
        for (int i = 0; i < shifts.Number(); ++i) {
            const CWorkShift& shift = shifts.ShiftAt(i);
            const int start = CWorkShift::SecondOfDay(shift.GetStart());
            const int end = CWorkShift::SecondOfDay(shift.GetEnd());
            if (start < 0 || end < 0) continue; // an invalid time works nothing
            const long long dayStart = day * kSecondsPerDay;
            blocks.push_back({dayStart + start, dayStart + end + (end <= start ? kSecondsPerDay : 0)});
        }
    }
    std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.start < b.start; });

    std::vector<Block> merged;
    for (const Block& b : blocks) {
        if (!merged.empty() && b.start <= merged.back().end)
            merged.back().end = std::max(merged.back().end, b.end);
        else
            merged.push_back(b);
    }

    for (const Block& b : merged) {
        const double start = static_cast<double>(b.start);
        const double end = static_cast<double>(b.end);
        if (end <= fromSecond || start >= toSecond) continue;
        out.Add(start <= fromSecond ? from : pointAt(b.start));
        out.Add(end >= toSecond ? to : pointAt(b.end));
    }
}

void CCalendar::update_cells()
{
    if (!currentCalendarIsValid()) return;
    CSingleCalendar* calendar = calendars.Lookup(currentCalendar);
    const int year = currentDate.GetYear();
    const int month = currentDate.GetMonth();
    if (!calendar || year < 0 || month < 0) return;

    // Six weeks from the Sunday on or before the first of the month.
    const double first = COleDateTime(year, month, 1, 0, 0, 0).ToLinearDays();
    const auto firstDay = static_cast<long long>(std::floor(first));
    const long long gridStart = firstDay - CSingleCalendar::WeekDayOf(firstDay);
    for (int i = 0; i < CSingleCalendar::kGridCells; ++i) {
        const COleDateTime date = COleDateTime::FromLinearDays(static_cast<double>(gridStart + i));
        CGridCell& cell = calendar->Grid(i);
        cell.SetDate(date);
        cell.SetInMonth(date.GetYear() == year && date.GetMonth() == month);
        cell.SetException(calendar->HasException(date));
        cell.Shifts() = calendar->ShiftsOn(date);
    }
}

} // namespace batchplant
