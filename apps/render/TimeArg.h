#pragma once
// Reading a simulated time given on the command line.

#include <optional>
#include <string>

#include "batchplant/platform/COleDateTime.h"

namespace batchplant::cli {

// "36h", "90 min", "3600s", "1.5day" or a plain number of seconds: a number
// followed by a time unit of the unit table (s, min, h, day, week, month,
// year; any case). Whole seconds, truncated toward zero. Nothing for any
// other text, another kind of unit, or a time beyond the 32 bits of seconds
// simulated times are held in.
std::optional<long> ParseTimeArg(const std::string& text);

// A time of a run given on the command line: as ParseTimeArg (also "d" for
// days), or a date and time of the run ("2024-04-02T18:00", a space for the
// T, seconds optional) counted from its start. Nothing, with `error` saying
// why and what to give, for other text or a time outside 0 to `end`.
std::optional<long> RunTimeArg(const std::string& text, const COleDateTime& start, long end, std::string& error);

} // namespace batchplant::cli
