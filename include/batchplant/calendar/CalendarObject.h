#pragma once
// The selectable pieces of a calendar's display: the cells of the month grid
// and the seven weekdays, each with the shifts it shows.

#include "batchplant/calendar/WorkShift.h"
#include "batchplant/platform/COleDateTime.h"

namespace batchplant {

// A selectable piece of a calendar's display and the shifts it shows.
class CCalendarObject {
public:
    CCalendarObject() = default;
    CCalendarObject(const CCalendarObject&) = default;
    virtual ~CCalendarObject() = default;

    virtual bool IsSelected() const { return selected; }
    virtual void SetSelected(bool value) { selected = value; }
    // Copies the selection flag and the shifts.
    virtual CCalendarObject& operator=(const CCalendarObject& other);

    CMultiWorkShift& Shifts() { return shifts; }
    const CMultiWorkShift& Shifts() const { return shifts; }

protected:
    bool selected = false;
    CMultiWorkShift shifts;
};

// One cell of the six-week month grid: its date, whether that date lies in
// the month shown, and whether a dated exception replaces its weekday's
// shifts. The shifts are the ones worked on that date.
class CGridCell : public CCalendarObject {
public:
    CGridCell() = default;
    CGridCell(const CGridCell&) = default;
    CGridCell& operator=(const CGridCell& other);
    // From another cell everything is copied; from any other calendar object
    // only the part they share.
    CGridCell& operator=(const CCalendarObject& other) override;

    COleDateTime GetDate() const { return date; }
    void SetDate(COleDateTime value) { date = value; }
    bool IsInMonth() const { return inMonth; }
    void SetInMonth(bool value) { inMonth = value; }
    bool IsException() const { return exception; }
    void SetException(bool value) { exception = value; }

private:
    COleDateTime date;
    bool inMonth = false;
    bool exception = false;
};

// One weekday of the regular week; its shifts are worked on every date of
// that weekday that has no exception.
class CGridDay : public CCalendarObject {
public:
    CGridDay() = default;
    CGridDay(const CGridDay&) = default;
    CGridDay& operator=(const CGridDay& other);
    CGridDay& operator=(const CCalendarObject& other) override;
};

} // namespace batchplant
