#pragma once
// Points in time as days since 1899-12-30 00:00 (a double), the way the
// results database's date-time columns have always been read. Dates before
// the epoch follow the OLE rule: the integral part counts days backwards and
// the fractional part is still the time of day, so -1.25 is 1899-12-29 06:00.

#include "batchplant/platform/CString.h"

namespace batchplant {

// A length of time in days.
class COleDateTimeSpan {
public:
    COleDateTimeSpan() = default;
    explicit COleDateTimeSpan(double days) : m_span(days) {}
    COleDateTimeSpan(long days, int hours, int minutes, int seconds)
        : m_span(days + (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0)
    {
    }
    double GetTotalDays() const { return m_span; }
    double GetTotalHours() const { return m_span * 24.0; }
    double GetTotalMinutes() const { return m_span * 1440.0; }
    double GetTotalSeconds() const { return m_span * 86400.0; }
    friend auto operator<=>(const COleDateTimeSpan&, const COleDateTimeSpan&) = default;

    double m_span = 0.0;
};

// A point in time in days since the epoch, with a status (valid, invalid or
// null).
class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    explicit COleDateTime(double days) : m_dt(days) {}
    // Invalid when a field is out of range (years 100 to 9999).
    COleDateTime(int year, int month, int day, int hour, int minute, int second);

    static COleDateTime GetCurrentTime(); // local clock

    // Returns 0 on success; an out-of-range field leaves the object invalid.
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);
    int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus s) { m_status = s; }

    // Calendar fields; -1 when the value is not valid.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const; // 1 = Sunday … 7 = Saturday
    int GetDayOfYear() const; // 1 = 1 January

    // ISO-8601 "YYYY-MM-DDTHH:MM:SS" (the results database's form); empty
    // when invalid.
    CString ToIso() const;
    // strftime-style text of the fields ("%Y-%m-%d %H:%M"); empty when invalid.
    CString Format(const char* fmt = "%Y-%m-%d %H:%M:%S") const;
    // Accepts "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" and the same with
    // 'T'; anything else leaves the object invalid and returns false.
    bool ParseDateTime(const CString& text);
    static COleDateTime FromIso(const CString& text);

    // Days on a continuous scale (equal to m_dt from the epoch on).
    double ToLinearDays() const;
    static COleDateTime FromLinearDays(double days);

    friend bool operator==(const COleDateTime& a, const COleDateTime& b) { return a.m_dt == b.m_dt; }
    friend bool operator<(const COleDateTime& a, const COleDateTime& b) { return a.ToLinearDays() < b.ToLinearDays(); }
    friend bool operator>(const COleDateTime& a, const COleDateTime& b) { return b < a; }
    friend bool operator<=(const COleDateTime& a, const COleDateTime& b) { return !(b < a); }
    friend bool operator>=(const COleDateTime& a, const COleDateTime& b) { return !(a < b); }

    COleDateTime operator+(const COleDateTimeSpan& s) const;
    COleDateTime operator-(const COleDateTimeSpan& s) const;
    COleDateTimeSpan operator-(const COleDateTime& o) const;
    COleDateTime& operator+=(const COleDateTimeSpan& s) { return *this = *this + s; }
    COleDateTime& operator-=(const COleDateTimeSpan& s) { return *this = *this - s; }

    double m_dt = 0.0;
    DateTimeStatus m_status = valid;

private:
    struct Fields {
        int year, month, day, hour, minute, second, dayOfWeek, dayOfYear;
    };
    bool split(Fields& f) const;
};

} // namespace batchplant
