// The facility's equipment calendars.

#include <memory>

#include "batchplant/calendar/Calendar.h"
#include "batchplant/model/Facility.h"

namespace batchplant {

void Facility::loadCalendars(CDaoDatabase* db)
{
    // Each load replaces the calendars with freshly read ones.
    m_calendar.reset();
    m_calendar = std::make_unique<CFacilityCalendar>(db);
    m_calendar->LoadCalendars();
}

} // namespace batchplant
