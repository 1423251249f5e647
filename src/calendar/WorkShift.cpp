#include "batchplant/calendar/WorkShift.h"

#include <cmath>

namespace batchplant {

namespace {
constexpr long long kSecondsPerDay = 86400;
// The span of days COleDateTime splits into fields (years 100 to 9999).
constexpr double kFirstDay = -657435.0;
constexpr double kLastDay = 2958466.0;
} // namespace

int CWorkShift::SecondOfDay(const COleDateTime& t)
{
    if (t.GetStatus() != COleDateTime::valid || !std::isfinite(t.m_dt) || t.m_dt < kFirstDay || t.m_dt > kLastDay)
        return -1;
    const auto total = static_cast<long long>(std::llround(t.ToLinearDays() * kSecondsPerDay));
    long long second = total % kSecondsPerDay;
    if (second < 0) second += kSecondsPerDay;
    return static_cast<int>(second);
}

COleDateTime CWorkShift::TimeOfDay(int secondOfDay)
{
    long long second = secondOfDay % kSecondsPerDay;
    if (second < 0) second += kSecondsPerDay;
    return COleDateTime(static_cast<double>(second) / kSecondsPerDay);
}

bool CMultiWorkShift::inRange(int i) const
{
    if (i >= 0 && i < shifts.GetSize()) return true;
    ReportArrayOutOfBounds();
    return false;
}

CWorkShift& CMultiWorkShift::ShiftAt(int i)
{
    if (!inRange(i)) {
        scratch = CWorkShift();
        return scratch;
    }
    return shifts[i];
}

const CWorkShift& CMultiWorkShift::ShiftAt(int i) const
{
    if (!inRange(i)) {
        scratch = CWorkShift();
        return scratch;
    }
    return shifts[i];
}

COleDateTime CMultiWorkShift::StartAt(int i) const { return inRange(i) ? shifts[i].GetStart() : COleDateTime(); }

COleDateTime CMultiWorkShift::EndAt(int i) const { return inRange(i) ? shifts[i].GetEnd() : COleDateTime(); }

int CMultiWorkShift::Add(const CWorkShift& shift)
{
    shifts.Add(shift);
    return shifts.GetSize() - 1;
}

void CMultiWorkShift::RemoveAt(int i)
{
    if (!inRange(i)) return;
    // The array has no removal of its own: rebuild it without shift i.
    Array<CWorkShift> kept;
    for (int k = 0; k < shifts.GetSize(); ++k)
        if (k != i) kept.Add(shifts[k]);
    shifts = std::move(kept);
}

void CMultiWorkShift::RemoveAll() { shifts.RemoveAll(); }

} // namespace batchplant
