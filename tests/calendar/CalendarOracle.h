#pragma once
// A plain minute-by-minute reading of a calendar, against which the time
// lists are checked.

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "batchplant/calendar/Calendar.h"

namespace batchplant::test {

inline long long SecondsOf(const COleDateTime& t) { return std::llround(t.ToLinearDays() * 86400.0); }

// Whether the calendar works at `second` (seconds on COleDateTime's
// continuous scale): a shift of that day covers it, or an overnight shift of
// the day before still runs.
inline bool WorksAt(const CSingleCalendar& calendar, long long second)
{
    const long long day = (second >= 0 ? second : second - 86399) / 86400;
    const long long timeOfDay = second - day * 86400;
    for (long long d : {day - 1, day}) {
        const COleDateTime date = COleDateTime::FromLinearDays(static_cast<double>(d));
        // The date's exception, found by walking every key; else its weekday.
        const CMultiWorkShift* worked = &calendar.GetDay(CSingleCalendar::WeekDayOf(d)).Shifts();
        for (int e = 0; e < calendar.Exceptions().GetCount(); ++e)
            if (calendar.Exceptions().GetKeyAt(e) == date) worked = &calendar.Exceptions().GetAt(e);
        for (int i = 0; i < worked->Number(); ++i) {
            const int s = CWorkShift::SecondOfDay(worked->StartAt(i));
            const int e = CWorkShift::SecondOfDay(worked->EndAt(i));
            if (s < 0 || e < 0) continue;
            const bool overnight = e <= s;
            if (d == day && timeOfDay >= s && (overnight || timeOfDay < e)) return true;
            if (d == day - 1 && overnight && timeOfDay < e) return true;
        }
    }
    return false;
}

// Checks the time list of calendar `id` for [from, to] (whole minutes)
// against WorksAt at the middle of every minute, and that its blocks are
// ordered and do not touch.
inline void ExpectMatchesOracle(const CCalendar& calendars, int id, COleDateTime from, COleDateTime to)
{
    List<COleDateTime> list;
    calendars.GetCalendarTimeList(id, from, to, list);
    ASSERT_TRUE(calendars.Calendars().Contains(id)) << id;
    const CSingleCalendar& calendar = *calendars.Calendars().Lookup(id);
    const long long fromSecond = SecondsOf(from), toSecond = SecondsOf(to);
    ASSERT_EQ(list.GetCount() % 2, 0);
    std::vector<long long> points;
    for (int i = 0; i < list.GetCount(); ++i)
        points.push_back(SecondsOf(list.GetAt(i)));
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        ASSERT_LT(points[i], points[i + 1]) << (i % 2 ? "touching or unordered blocks at " : "empty block at ") << i;
    if (!points.empty()) {
        ASSERT_GE(points.front(), fromSecond);
        ASSERT_LE(points.back(), toSecond);
    }
    std::size_t block = 0;
    for (long long t = fromSecond + 30; t < toSecond; t += 60) {
        while (block < points.size() && points[block + 1] <= t)
            block += 2;
        const bool listed = block < points.size() && points[block] <= t;
        ASSERT_EQ(listed, WorksAt(calendar, t)) << "at " << COleDateTime::FromLinearDays(t / 86400.0).Format().str();
    }
}

} // namespace batchplant::test
