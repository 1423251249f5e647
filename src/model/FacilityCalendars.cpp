// The facility's equipment calendars.

#include "batchplant/calendar/Calendar.h"
#include "batchplant/model/Facility.h"

namespace batchplant {

void Facility::loadCalendars(CDaoDatabase* db)
{
    // Each load replaces the calendars with freshly read ones.
    delete m_calendar;
    m_calendar = nullptr;
    m_calendar = new CFacilityCalendar(db);
    m_calendar->LoadCalendars();
}

} // namespace batchplant
