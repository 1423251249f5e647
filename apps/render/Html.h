#pragma once
// Small helpers for writing the report's HTML and SVG text.

#include <string>

#include "batchplant/platform/COleDateTime.h"

namespace batchplant::cli {

// `text` with &, <, >, " and ' replaced by entities (&apos;, which XML and
// HTML5 both know), so it is safe in element content and in attribute values
// of the report page and of SVG; control characters XML 1.0 forbids become
// spaces.
std::string XmlEscape(const std::string& text);

// A number in the shortest of %g form with `digits` significant digits;
// "0" for non-finite values, so a page never holds "nan" or "inf".
std::string FormatNumber(double value, int digits = 6);

// "#RRGGBB" of a packed 0xRRGGBB colour.
std::string HexColour(int rgb);

// The packed colour of a batch from the nine-colour contents palette
// (batch 1 is the first colour); batch 0 and below give grey.
int BatchColour(long batch);

// A colour mixed `amount` (0 to 1) of the way towards white.
int Lighten(int rgb, double amount);

// "YYYY-MM-DD HH:MM" of the run's start plus `seconds`; "+<seconds>s" when
// the start time is not a valid date.
std::string FormatRunTime(const COleDateTime& start, long seconds);

} // namespace batchplant::cli
