#include "batchplant/calendar/CalendarObject.h"

namespace batchplant {

CCalendarObject& CCalendarObject::operator=(const CCalendarObject& other)
{
    if (this != &other) {
        selected = other.selected;
        shifts = other.shifts;
    }
    return *this;
}

CGridCell& CGridCell::operator=(const CGridCell& other)
{
    if (this != &other) {
        CCalendarObject::operator=(other);
        date = other.date;
        inMonth = other.inMonth;
        exception = other.exception;
    }
    return *this;
}

CGridCell& CGridCell::operator=(const CCalendarObject& other)
{
    if (const auto* cell = dynamic_cast<const CGridCell*>(&other)) return *this = *cell;
    CCalendarObject::operator=(other);
    return *this;
}

CGridDay& CGridDay::operator=(const CGridDay& other)
{
    CCalendarObject::operator=(other);
    return *this;
}

CGridDay& CGridDay::operator=(const CCalendarObject& other)
{
    CCalendarObject::operator=(other);
    return *this;
}

} // namespace batchplant
