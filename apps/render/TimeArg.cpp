#include "TimeArg.h"

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <limits>
#include <regex>

#include "Html.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/platform/CString.h"

namespace batchplant::cli {

std::optional<long> ParseTimeArg(const std::string& text)
{
    static const std::regex form(R"(^\s*([-+]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][-+]?[0-9]+)?)\s*([A-Za-z]*)\s*$)");
    std::smatch m;
    if (!std::regex_match(text, m, form)) return std::nullopt;
    // strtod, not stod: a value out of double's range gives infinity, which
    // the range check below refuses, instead of an exception.
    const double value = std::strtod(m[1].str().c_str(), nullptr);
    const std::string written = m[2].str();
    const CString unit(written.empty() ? std::string("s") : written == "d" || written == "D" ? "day" : written);
    static const char* const kTimeUnits[] = {"s", "min", "h", "day", "week", "month", "year"};
    bool known = false;
    for (const char* name : kTimeUnits)
        known = known || unit.CompareNoCase(name) == 0;
    if (!known) return std::nullopt;
    const double seconds = ToInternalUnits(unit, value);
    if (!std::isfinite(seconds) || std::fabs(seconds) > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<long>(std::trunc(seconds));
}

std::optional<long> RunTimeArg(const std::string& text, const COleDateTime& start, long end, std::string& error)
{
    std::optional<long> t = ParseTimeArg(text);
    static const std::regex dateForm(R"(^\s*(\d{4})-(\d{2})-(\d{2})[T ](\d{2}):(\d{2})(?::(\d{2}))?\s*$)");
    std::smatch m;
    if (!t && std::regex_match(text, m, dateForm) && start.GetStatus() == COleDateTime::valid) {
        COleDateTime at;
        if (at.SetDateTime(std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5]),
                           m[6].matched ? std::stoi(m[6]) : 0) == 0 &&
            at.GetStatus() == COleDateTime::valid)
            t = std::lround((at.m_dt - start.m_dt) * 86400.0);
    }
    const std::string span =
        "0 to " + std::to_string(end) + " s, from " + FormatRunTime(start, 0) + " to " + FormatRunTime(start, end);
    if (!t) {
        error = "bad time \"" + text +
                "\": give seconds, a number with a time unit (s, min, h, d, week, month, year; decimals too, e.g. "
                "1.5d) or a date and time such as " +
                FormatRunTime(start, end / 2).replace(10, 1, "T") + " (the run is " + span + ")";
        return std::nullopt;
    }
    if (*t < 0 || *t > end) {
        error = "time \"" + text + "\" (" + std::to_string(*t) + " s) is outside the run: give " + span;
        return std::nullopt;
    }
    return t;
}

} // namespace batchplant::cli
