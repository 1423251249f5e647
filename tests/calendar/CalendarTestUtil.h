#pragma once
// Small builders shared by the calendar tests.

#include <string>

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

} // namespace batchplant::test
