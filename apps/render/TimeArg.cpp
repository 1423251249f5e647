#include "TimeArg.h"

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <limits>
#include <regex>

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
    const CString unit(m[2].str().empty() ? std::string("s") : m[2].str());
    static const char* const kTimeUnits[] = {"s", "min", "h", "day", "week", "month", "year"};
    bool known = false;
    for (const char* name : kTimeUnits)
        known = known || unit.CompareNoCase(name) == 0;
    if (!known) return std::nullopt;
    const double seconds = ToInternalUnits(unit, value);
    if (!std::isfinite(seconds) || std::fabs(seconds) > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<long>(std::trunc(seconds));
}

} // namespace batchplant::cli
