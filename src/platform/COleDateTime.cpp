#include "batchplant/platform/COleDateTime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

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
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    double fracSec = 0.0;
    int used = 0;
    bool ok = false;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) == 3 && used == 10) {
        if (s.size() == 10) {
            ok = true;
        } else if (s[10] == 'T' || s[10] == ' ') {
            int used2 = 0;
            const char* rest = s.c_str() + 11;
            if (std::sscanf(rest, "%2d:%2d%n", &h, &mi, &used2) == 2 && used2 == 5) {
                rest += used2;
                if (*rest == ':') {
                    int used3 = 0;
                    if (std::sscanf(rest + 1, "%2d%n", &se, &used3) == 1 && used3 == 2) {
                        rest += 3;
                        if (*rest == '.') {
                            int used4 = 0;
                            double f = 0;
                            if (std::sscanf(rest, "%lf%n", &f, &used4) == 1) {
                                fracSec = f;
                                rest += used4;
                            }
                        }
                        ok = (*rest == '\0' || *rest == 'Z');
                    }
                } else {
                    ok = (*rest == '\0' || *rest == 'Z');
                }
            }
        }
    }
    if (!ok || SetDateTime(y, mo, d, h, mi, se) != 0) {
        m_dt = 0.0;
        m_status = invalid;
        return false;
    }
    if (fracSec > 0.0) *this = FromLinearDays(ToLinearDays() + fracSec / 86400.0);
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
