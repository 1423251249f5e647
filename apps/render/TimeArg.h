#pragma once
// Reading a simulated time given on the command line.

#include <optional>
#include <string>

namespace batchplant::cli {

// "36h", "90 min", "3600s", "1.5day" or a plain number of seconds: a number
// followed by a time unit of the unit table (s, min, h, day, week, month,
// year; any case). Whole seconds, truncated toward zero. Nothing for any
// other text, another kind of unit, or a time beyond the 32 bits of seconds
// simulated times are held in.
std::optional<long> ParseTimeArg(const std::string& text);

} // namespace batchplant::cli
