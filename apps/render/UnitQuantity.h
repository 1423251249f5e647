#pragma once
// What a unit of the unit table measures, read from its name: "kg/h" is mass
// per time, "BTU/lb-R" energy per mass and temperature. The table itself
// knows only a coarse kind, under which kilograms, kilograms per hour and
// kilograms per cubic metre sit together, so the command reads the names to
// refuse conversions between different quantities.

#include <array>
#include <optional>
#include <string>

namespace batchplant::cli {

// Exponents of mass, length, time, amount of substance, temperature, money
// and angle.
using Dimension = std::array<int, 7>;

// The dimension of a unit name of the table; nothing for a name it cannot
// read.
std::optional<Dimension> UnitDimension(const std::string& name);

// "mass", "pressure", "mass/time" …: a name for the quantity, or the
// dimension written out for one without a common name.
std::string QuantityName(const Dimension& d);

} // namespace batchplant::cli
