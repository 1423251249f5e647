#include "batchplant/platform/COleDateTime.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

namespace batchplant {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const long long kEpoch = daysFromCivil(1899, 12, 30);

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m)
{
    static const int dm[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && leap(y)) ? 29 : dm[m - 1];
}

// Largest magnitude we split into fields (year 9999 and a little beyond).
constexpr double kMaxDays = 2958466.0;
constexpr double kMinDays = -657435.0;

} // namespace

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second)
{
    SetDateTime(year, month, day, hour, minute, second);
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        m_dt = 0.0;
        m_status = invalid;
        return 1;
    }
    const double dayNum =
        static_cast<double>(daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch);
    const double frac = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    m_dt = dayNum >= 0 ? dayNum + frac : dayNum - frac;
    m_status = valid;
    return 0;
}

COleDateTime COleDateTime::GetCurrentTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm lt{};
    localtime_r(&now, &lt);
    return COleDateTime(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec);
}

double COleDateTime::ToLinearDays() const
{
    if (m_dt >= 0) return m_dt;
    const double whole = std::trunc(m_dt);
    return whole + (whole - m_dt);
}

COleDateTime COleDateTime::FromLinearDays(double days)
{
    if (days >= 0 || !std::isfinite(days)) return COleDateTime(days);
    const double whole = std::floor(days);
    const double frac = days - whole;
    // Day `whole` plus a fraction: OLE writes it as -(|whole| + frac) unless
    // it falls on a whole day.
    return COleDateTime(frac == 0.0 ? whole : whole - frac);
}

bool COleDateTime::split(Fields& f) const
{
    if (m_status != valid || !std::isfinite(m_dt) || m_dt > kMaxDays || m_dt < kMinDays) return false;
    // Round to the nearest second on the continuous scale.
    const double linear = ToLinearDays();
    const double secs = std::round(linear * 86400.0);
    const auto total = static_cast<long long>(secs);
    long long dayNum = total / 86400;
    long long rem = total % 86400;
    if (rem < 0) {
        rem += 86400;
        --dayNum;
    }
    civilFromDays(dayNum + kEpoch, f.year, f.month, f.day);
    // Rounding can carry a value just inside the range into year 10000; only
    // four-digit years have a text that reads back.
    if (f.year < 100 || f.year > 9999) return false;
    f.hour = static_cast<int>(rem / 3600);
    f.minute = static_cast<int>((rem % 3600) / 60);
    f.second = static_cast<int>(rem % 60);
    const long long unixDays = dayNum + kEpoch; // 1970-01-01 was a Thursday
    f.dayOfWeek = static_cast<int>(((unixDays % 7) + 7 + 4) % 7) + 1;
    f.dayOfYear = static_cast<int>(unixDays - daysFromCivil(f.year, 1, 1)) + 1;
    return true;
}

#define BATCHPLANT_FIELD(Name, member)                                                                                 \
    int COleDateTime::Name() const                                                                                     \
    {                                                                                                                  \
        Fields f{};                                                                                                    \
        return split(f) ? f.member : -1;                                                                               \
    }
BATCHPLANT_FIELD(GetYear, year)
BATCHPLANT_FIELD(GetMonth, month)
BATCHPLANT_FIELD(GetDay, day)
BATCHPLANT_FIELD(GetHour, hour)
BATCHPLANT_FIELD(GetMinute, minute)
BATCHPLANT_FIELD(GetSecond, second)
BATCHPLANT_FIELD(GetDayOfWeek, dayOfWeek)
BATCHPLANT_FIELD(GetDayOfYear, dayOfYear)
#undef BATCHPLANT_FIELD

CString COleDateTime::ToIso() const { return Format("%Y-%m-%dT%H:%M:%S"); }

CString COleDateTime::Format(const char* fmt) const
{
    Fields f{};
    if (!fmt || !split(f)) return {};
    std::tm t{};
    t.tm_year = f.year - 1900;
    t.tm_mon = f.month - 1;
    t.tm_mday = f.day;
    t.tm_hour = f.hour;
    t.tm_min = f.minute;
    t.tm_sec = f.second;
    t.tm_wday = f.dayOfWeek - 1;
    t.tm_yday = f.dayOfYear - 1;
    // strftime writes the year 100 as "100"; the text of a date must read
    // back, so %Y is always written with four digits.
    std::string pattern;
    for (const char* p = fmt; *p; ++p) {
        if (p[0] == '%' && p[1] == 'Y') {
            char year[8];
            std::snprintf(year, sizeof year, "%04d", f.year);
            pattern += year;
            ++p;
        } else if (p[0] == '%' && p[1] != '\0') {
            pattern += p[0];
            pattern += p[1];
            ++p;
        } else {
            pattern += *p;
        }
    }
    fmt = pattern.c_str();
    char buf[256];
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
    const std::size_t n = std::strftime(buf, sizeof buf, fmt, &t);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    return CString(std::string(buf, n));
}

bool COleDateTime::ParseDateTime(const CString& text)
{
    CString t = text;
    t.Trim();
    const std::string& s = t.str();
    std::size_t at = 0;
    // Exactly `width` decimal digits at `at` (no sign, no blanks).
    const auto digits = [&](std::size_t width, int& out) {
        if (s.size() - at < width) return false;
        out = 0;
        for (std::size_t k = 0; k < width; ++k) {
            const char c = s[at + k];
            if (c < '0' || c > '9') return false;
            out = out * 10 + (c - '0');
        }
        at += width;
        return true;
    };
    const auto literal = [&](char c) {
        if (at >= s.size() || s[at] != c) return false;
        ++at;
        return true;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    double fracSec = 0.0;
    bool ok = digits(4, y) && literal('-') && digits(2, mo) && literal('-') && digits(2, d);
    if (ok && at < s.size()) {
        ok = (literal('T') || literal(' ')) && digits(2, h) && literal(':') && digits(2, mi);
        if (ok && literal(':')) {
            ok = digits(2, se);
            if (ok && literal('.')) {
                double scale = 0.1;
                const std::size_t first = at;
                for (; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at, scale /= 10)
                    fracSec += (s[at] - '0') * scale;
                ok = at > first;
            }
        }
        if (ok) {
            literal('Z');
            ok = at == s.size();
        }
    }
    if (!ok || SetDateTime(y, mo, d, h, mi, se) != 0) {
        m_dt = 0.0;
        m_status = invalid;
        return false;
    }
    if (fracSec > 0.0) {
        *this = FromLinearDays(ToLinearDays() + fracSec / 86400.0);
        // 9999-12-31T23:59:59.9 rounds into year 10000.
        if (GetYear() < 0) {
            m_dt = 0.0;
            m_status = invalid;
            return false;
        }
    }
    return true;
}

COleDateTime COleDateTime::FromIso(const CString& text)
{
    COleDateTime t;
    t.ParseDateTime(text);
    return t;
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& s) const
{
    COleDateTime r = FromLinearDays(ToLinearDays() + s.m_span);
    r.m_status = m_status;
    return r;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& s) const { return *this + COleDateTimeSpan(-s.m_span); }

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& o) const
{
    return COleDateTimeSpan(ToLinearDays() - o.ToLinearDays());
}

} // namespace batchplant
