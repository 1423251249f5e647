#pragma once
// Working shifts: one shift (a start and an end time of day) and the ordered
// list of shifts worked on one day.

#include "batchplant/foundation/Array.h"
#include "batchplant/platform/COleDateTime.h"

namespace batchplant {

// One shift. Only the time of day of `start` and `end` counts (to the
// second); an end that is not after the start runs past midnight into the
// next day, and equal start and end is a full 24 hours.
class CWorkShift {
public:
    CWorkShift() = default;
    CWorkShift(COleDateTime start, COleDateTime end) : start(start), end(end) {}

    COleDateTime GetStart() const { return start; }
    void SetStart(COleDateTime value) { start = value; }
    COleDateTime GetEnd() const { return end; }
    void SetEnd(COleDateTime value) { end = value; }

    // Time of day of a shift boundary in whole seconds since midnight (0 to
    // 86399, rounded to the nearest second); -1 when `t` is not a valid
    // date-time.
    static int SecondOfDay(const COleDateTime& t);
    // A time of day (seconds since midnight, taken modulo one day) as a
    // boundary on 1899-12-30.
    static COleDateTime TimeOfDay(int secondOfDay);

private:
    COleDateTime start;
    COleDateTime end;
};

// The shifts of one day, in the order they were added.
class CMultiWorkShift {
public:
    CMultiWorkShift() = default;
    CMultiWorkShift(const CMultiWorkShift&) = default;
    // Builds the copy first, so the target stays intact if copying fails.
    CMultiWorkShift& operator=(const CMultiWorkShift&) = default;
    ~CMultiWorkShift() = default;

    int Number() const { return shifts.GetSize(); }
    bool IsEmpty() const { return Number() == 0; }

    // Shift `i`, its start and its end. An `i` outside 0 to Number() - 1 shows
    // "Attempted to access array member out-of-bounds" once and does not
    // throw: ShiftAt then yields a scratch shift of this list (reset to an
    // empty shift on every such call, never one of the real shifts), StartAt
    // and EndAt yield a default COleDateTime.
    CWorkShift& ShiftAt(int i);
    const CWorkShift& ShiftAt(int i) const;
    COleDateTime StartAt(int i) const;
    COleDateTime EndAt(int i) const;

    // Appends a shift and returns its position.
    int Add(const CWorkShift& shift);
    int Add(COleDateTime start, COleDateTime end) { return Add(CWorkShift(start, end)); }
    // Removes shift `i`; a bad `i` shows the out-of-bounds message and
    // changes nothing.
    void RemoveAt(int i);
    void RemoveAll();

private:
    bool inRange(int i) const;

    Array<CWorkShift> shifts;
    mutable CWorkShift scratch;
};

} // namespace batchplant
