#pragma once
// Small builders shared by the calendar tests, and a plain minute-by-minute
// reading of a calendar against which the time lists are checked.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "batchplant/calendar/Calendar.h"

namespace batchplant::test {

inline COleDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return COleDateTime(year, month, day, hour, minute, second);
}

inline CWorkShift Shift(int startHour, int startMinute, int endHour, int endMinute)
{
    return CWorkShift(CWorkShift::TimeOfDay(startHour * 3600 + startMinute * 60),
                      CWorkShift::TimeOfDay(endHour * 3600 + endMinute * 60));
}

// The working-time blocks as "MM-DD hh:mm" texts, one space apart.
inline std::string Blocks(const CCalendar& calendar, int id, COleDateTime from, COleDateTime to)
{
    List<COleDateTime> out;
    calendar.GetCalendarTimeList(id, from, to, out);
    std::string text;
    for (int i = 0; i < out.GetCount(); ++i)
        text += (i ? " " : "") + out.GetAt(i).Format("%m-%d %H:%M").str();
    return text;
}

inline std::string Describe(const CMultiWorkShift& shifts)
{
    std::string out;
    for (int i = 0; i < shifts.Number(); ++i)
        out += std::to_string(CWorkShift::SecondOfDay(shifts.StartAt(i))) + "-" +
               std::to_string(CWorkShift::SecondOfDay(shifts.EndAt(i))) + ";";
    return out;
}

// Everything a calendar holds that the tables keep, as text.
inline std::string Describe(const Hash<int, CSingleCalendar>& calendars)
{
    std::string out;
    for (int c = 0; c < calendars.GetCount(); ++c) {
        const CSingleCalendar& calendar = calendars.GetAt(c);
        out += std::to_string(calendars.GetKeyAt(c)) + " '" + calendar.GetName().str() + "'\n";
        for (int d = 0; d < CSingleCalendar::kWeekDays; ++d)
            out += "  day " + std::to_string(d) + ": " + Describe(calendar.GetDay(d).Shifts()) + "\n";
        for (int e = 0; e < calendar.Exceptions().GetCount(); ++e)
            out += "  on " + calendar.Exceptions().GetKeyAt(e).ToIso().str() + ": " +
                   Describe(calendar.Exceptions().GetAt(e)) + "\n";
    }
    return out;
}

inline long long SecondsOf(const COleDateTime& t) { return std::llround(t.ToLinearDays() * 86400.0); }

// Whether the calendar works at `second` (seconds on COleDateTime's
// continuous scale): a shift of that day covers it, or an overnight shift of
// the day before still runs.
inline bool WorksAt(const CSingleCalendar& calendar, long long second)
{
    const long long day = (second >= 0 ? second : second - 86399) / 86400, timeOfDay = second - day * 86400;
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
    const CSingleCalendar* calendar = calendars.Calendars().Lookup(id);
    const long long fromSecond = SecondsOf(from), toSecond = SecondsOf(to);
    ASSERT_TRUE(calendar && list.GetCount() % 2 == 0) << id;
    std::vector<long long> points;
    for (int i = 0; i < list.GetCount(); ++i)
        points.push_back(SecondsOf(list.GetAt(i)));
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        ASSERT_LT(points[i], points[i + 1]) << (i % 2 ? "touching or unordered blocks at " : "empty block at ") << i;
    ASSERT_TRUE(points.empty() || (points.front() >= fromSecond && points.back() <= toSecond));
    for (long long t = fromSecond + 30; t < toSecond; t += 60) {
        // Inside a block when an odd number of the ordered points lie at or before t.
        const bool listed = (std::upper_bound(points.begin(), points.end(), t) - points.begin()) % 2;
        ASSERT_EQ(listed, WorksAt(*calendar, t)) << "at " << COleDateTime::FromLinearDays(t / 86400.0).Format().str();
    }
}

} // namespace batchplant::test
