#include "CalendarStore.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/db/Dao.h"
#include "batchplant/platform/MessageBox.h"

namespace batchplant {

CFacilityCalendar::CFacilityCalendar(CDaoDatabase* db) : database(db) {}

CFacilityCalendar::~CFacilityCalendar() = default;

bool CFacilityCalendar::loadCalendars()
{
    CString error;
    if (calendar_store::Load(database ? database->GetHandle() : nullptr, calendars, error)) return true;
    // Half a calendar would show wrong working times; keep none instead.
    calendars.RemoveAll();
    AfxMessageBox(CString::Formatted("The calendars could not be read: %s", error), MB_OK);
    return false;
}

bool CFacilityCalendar::saveCalendars()
{
    CString error;
    if (!calendar_store::Save(database ? database->GetHandle() : nullptr, calendars, error)) {
        AfxMessageBox(CString::Formatted("The calendars could not be saved: %s", error), MB_OK);
        return false;
    }
    for (int i = 0; i < calendars.GetCount(); ++i)
        calendars.GetAt(i).SetModified(false);
    return true;
}

} // namespace batchplant
