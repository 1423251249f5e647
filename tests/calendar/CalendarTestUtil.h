#pragma once
// Small builders shared by the calendar tests.

#include <string>
#include <vector>

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

inline std::vector<std::string> Texts(const List<COleDateTime>& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.GetCount(); ++i)
        out.push_back(list.GetAt(i).Format("%Y-%m-%d %H:%M:%S").str());
    return out;
}

inline std::vector<std::string> TimeList(const CCalendar& calendar, int id, COleDateTime from, COleDateTime to)
{
    List<COleDateTime> out;
    calendar.GetCalendarTimeList(id, from, to, out);
    return Texts(out);
}

} // namespace batchplant::test
