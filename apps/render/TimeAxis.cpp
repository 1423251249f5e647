#include "TimeAxis.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "Html.h"

namespace batchplant::cli {
namespace {

using namespace std::chrono;

// Dates are the run's local wall clock: days since the OLE epoch, read as
// civil days without a time zone.
constexpr double kOleUnixDays = 25569.0;

sys_seconds wallClock(const COleDateTime& start, long seconds)
{
    const double s = std::round((start.m_dt - kOleUnixDays) * 86400.0) + static_cast<double>(seconds);
    return sys_seconds(std::chrono::seconds(static_cast<long long>(s)));
}

long offsetOf(const COleDateTime& start, sys_seconds t) { return static_cast<long>((t - wallClock(start, 0)).count()); }

enum class Unit { Minute, Hour, Day, Week, Month, Year };
struct Step {
    Unit unit;
    int count;
};
constexpr Step kSteps[] = {{Unit::Minute, 1}, {Unit::Minute, 5}, {Unit::Minute, 15}, {Unit::Minute, 30},
                           {Unit::Hour, 1},   {Unit::Hour, 2},   {Unit::Hour, 3},    {Unit::Hour, 6},
                           {Unit::Hour, 12},  {Unit::Day, 1},    {Unit::Day, 2},     {Unit::Week, 1},
                           {Unit::Month, 1},  {Unit::Month, 3},  {Unit::Month, 6},   {Unit::Year, 1},
                           {Unit::Year, 2},   {Unit::Year, 5},   {Unit::Year, 10}};

double approxSeconds(const Step& s)
{
    static const double unit[] = {60, 3600, 86400, 7 * 86400, 30.44 * 86400, 365.25 * 86400};
    return unit[static_cast<int>(s.unit)] * s.count;
}

// The first tick at or after t on the step's calendar grid, and the next.
sys_seconds firstTick(sys_seconds t, const Step& s)
{
    const sys_days day = floor<days>(t);
    const year_month_day ymd(day);
    sys_seconds tick;
    switch (s.unit) {
    case Unit::Minute:
    case Unit::Hour: {
        const long long step = static_cast<long long>(approxSeconds(s));
        const long long since = (t - sys_seconds(day)).count();
        tick = sys_seconds(day) + std::chrono::seconds((since + step - 1) / step * step);
        break;
    }
    case Unit::Day:
        tick = sys_seconds(day);
        break;
    case Unit::Week: // Mondays
        tick = sys_seconds(day - (weekday(day) - Monday));
        break;
    case Unit::Month: {
        const unsigned m = (static_cast<unsigned>(ymd.month()) - 1) / s.count * s.count + 1;
        tick = sys_seconds(sys_days(ymd.year() / month(m) / 1));
        break;
    }
    case Unit::Year: {
        const int y = static_cast<int>(ymd.year()) / s.count * s.count;
        tick = sys_seconds(sys_days(year(y) / January / 1));
        break;
    }
    }
    return tick;
}

sys_seconds nextTick(sys_seconds t, const Step& s)
{
    const sys_days day = floor<days>(t);
    const year_month_day ymd(day);
    switch (s.unit) {
    case Unit::Minute:
    case Unit::Hour:
    case Unit::Day:
    case Unit::Week:
        return t + std::chrono::seconds(static_cast<long long>(approxSeconds(s)));
    case Unit::Month:
        return sys_seconds(sys_days(year_month_day(ymd.year() / ymd.month() / 1) + months(s.count)));
    case Unit::Year:
        break;
    }
    return sys_seconds(sys_days(year_month_day((ymd.year() + years(s.count)) / January / 1)));
}

std::string label(sys_seconds t, const Step& s, bool withYear)
{
    static const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const sys_days day = floor<days>(t);
    const year_month_day ymd(day);
    const long long since = (t - sys_seconds(day)).count();
    const int y = static_cast<int>(ymd.year());
    const char* mon = names[static_cast<unsigned>(ymd.month()) - 1];
    char text[96];
    if (s.unit == Unit::Year)
        std::snprintf(text, sizeof text, "%d", y);
    else if (s.unit == Unit::Month && withYear)
        std::snprintf(text, sizeof text, "%s %d", mon, y);
    else if (s.unit == Unit::Month)
        std::snprintf(text, sizeof text, "%s", mon);
    else if ((s.unit == Unit::Day || s.unit == Unit::Week) && withYear)
        std::snprintf(text, sizeof text, "%u %s %d", static_cast<unsigned>(ymd.day()), mon, y);
    else if (s.unit == Unit::Day || s.unit == Unit::Week)
        std::snprintf(text, sizeof text, "%u %s", static_cast<unsigned>(ymd.day()), mon);
    else {
        // Hours and minutes, with the date at the year's first tick and
        // wherever a new day begins.
        char hm[48];
        std::snprintf(hm, sizeof hm, "%02d:%02d", static_cast<int>(since / 3600 % 24),
                      static_cast<int>(since / 60 % 60));
        const unsigned d = static_cast<unsigned>(ymd.day());
        if (withYear)
            std::snprintf(text, sizeof text, "%u %s %d %s", d, mon, y, hm);
        else if (since < approxSeconds(s))
            std::snprintf(text, sizeof text, "%u %s %s", d, mon, hm);
        else
            std::snprintf(text, sizeof text, "%s", hm);
    }
    return text;
}

} // namespace

double ChartFrame::X(double seconds) const
{
    const double span = static_cast<double>(std::max(to - from, 1L));
    const double share = std::clamp((seconds - static_cast<double>(from)) / span, 0.0, 1.0);
    return left + share * PlotWidth();
}

std::vector<AxisTick> DateTicks(const ChartFrame& frame)
{
    std::vector<AxisTick> ticks;
    const double span = static_cast<double>(std::max(frame.to - frame.from, 1L));
    const double most = std::max(2.0, frame.PlotWidth() / 110.0);
    if (frame.start.GetStatus() != COleDateTime::valid) {
        // No date: elapsed hours at a round step.
        for (double h : NiceTicks(frame.from / 3600.0, frame.to / 3600.0, static_cast<int>(most)))
            ticks.push_back({static_cast<long>(std::lround(h * 3600.0)), FormatNumber(h, 6) + " h"});
        return ticks;
    }
    const Step* step = &kSteps[std::size(kSteps) - 1];
    for (const Step& s : kSteps)
        if (span / approxSeconds(s) <= most) {
            step = &s;
            break;
        }
    int lastYear = -1;
    for (sys_seconds t = firstTick(wallClock(frame.start, frame.from), *step);
         t <= wallClock(frame.start, frame.to) && ticks.size() < 200; t = nextTick(t, *step)) {
        const long offset = offsetOf(frame.start, t);
        if (offset < frame.from) continue;
        const int y = static_cast<int>(year_month_day(floor<days>(t)).year());
        ticks.push_back({offset, label(t, *step, y != lastYear)});
        lastYear = y;
    }
    return ticks;
}

std::string DateAxisSvg(const ChartFrame& frame, int y0, int y1, bool labelsAbove)
{
    std::ostringstream out;
    out << "<g class=\"axis\" font-size=\"10\" fill=\"#444\">\n";
    for (const AxisTick& tick : DateTicks(frame)) {
        const std::string x = FormatNumber(frame.X(static_cast<double>(tick.t)));
        out << "<line x1=\"" << x << "\" y1=\"" << y0 << "\" x2=\"" << x << "\" y2=\"" << y1
            << "\" stroke=\"#DDD\"/><text x=\"" << x << "\" y=\"" << (labelsAbove ? y0 - 4 : y1 + 14)
            << "\" text-anchor=\"middle\">" << XmlEscape(tick.label) << "</text>\n";
    }
    out << "</g>\n";
    return out.str();
}

std::vector<double> NiceTicks(double lo, double hi, int most)
{
    std::vector<double> ticks;
    if (!std::isfinite(lo) || !std::isfinite(hi)) return ticks;
    if (hi <= lo) hi = lo + 1.0;
    const double rough = (hi - lo) / std::max(most, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10.0 * magnitude;
    for (double m : {1.0, 2.0, 5.0})
        if (rough <= m * magnitude) {
            step = m * magnitude;
            break;
        }
    // From the round value at or below lo to the one at or above hi, so the
    // chart's edges are round too.
    const double first = std::floor(lo / step + 1e-9), last = std::ceil(hi / step - 1e-9);
    for (double k = first; k <= last && ticks.size() < 100; ++k)
        ticks.push_back(k == 0.0 ? 0.0 : k * step);
    return ticks;
}

} // namespace batchplant::cli
