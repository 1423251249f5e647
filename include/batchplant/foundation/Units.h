#pragma once
// Units of measure, the display of a quantity, and unique identifiers.
//
// Every quantity inside the library is held in one set of internal units
// (kelvin, pascal, second, cubic metre, kilogram, kmole, joule, watt, …) so
// that values read from different rows can be added and compared. Values
// arrive from the results database with the name of their unit and are
// converted in with ToInternalUnits; they are converted back with
// ToUserUnits only to be shown.

#include "batchplant/platform/CString.h"

namespace batchplant {

// How a unit relates to the internal amount basis (kmole). The basis step
// uses the material's molecular weight (kg per kmole) or molar density
// (kmole per cubic metre); every caller in the library passes 1.0 for both.
enum UnitKind : int {
    kUnitMassBased = 1,   // kg, kg/s, kg/Cubic m: to internal divides by the molecular weight
    kUnitPlain = 2,       // no basis step
    kUnitVolumeBased = 3, // Cubic m, Cubic m/s: to internal multiplies by the molar density
    kUnitPerMass = 4,     // J/kg, USD/kg: to internal multiplies by the molecular weight
    kUnitPerVolume = 5,   // USD/liter: to internal divides by the molar density
};

// One row of the unit table: internal value = factor × value + offset,
// followed by the kind's basis step.
struct UnitRow {
    const char* name; // as users and the database write it, e.g. "Cubic ft"
    int kind;         // a UnitKind
    double factor;    // size of one unit in the internal unit of its quantity
    double offset;    // internal value at zero of this unit
};

// Marks "no value" in the results database; it survives the inward
// conversion and becomes 0.0 outward.
inline constexpr double kNoValue = 1e35;

// The constant unit table: 582 rows in a fixed order (the first of two
// equal names wins a lookup).
inline constexpr int kUnitTableSize = 582;
int GetUnitCount();
// The row at a position; for a position outside 0..GetUnitCount()-1 an
// empty row (name "", kind 0, factor 0.0, offset 0.0).
const UnitRow& GetUnitRow(int row);
// True for the gauge-pressure rows ("psig", "bar(g)", …), whose offset is
// the ambient pressure at the time of each conversion rather than the
// stored one. False for a position outside the table.
bool IsGaugeUnit(int row);

// Position (0..581) of the row whose name equals `name` without regard to
// case, or -1. Surrounding blanks are part of the name.
int FindUnit(const CString& name);

// `value` given in `unit`, in internal units. The "no value" mark, an empty
// unit and "Vessel-Volume", "Bed Volume" and "% max" pass unchanged; an
// unknown unit shows a message box and passes the value unchanged.
double ToInternalUnits(const CString& unit, double value, double molecularWeight = 1.0, double molarDensity = 1.0);

// The internal `value` in `unit`. The "no value" mark gives 0.0; an empty
// unit and "Vessel-Volume" pass unchanged; an unknown unit shows a message
// box and gives 0.0.
double ToUserUnits(const CString& unit, double value, double molecularWeight = 1.0, double molarDensity = 1.0);

// "%.3f %s" of the internal value converted to `unit` and the unit name as
// given, e.g. "37.778 C".
CString FormatQuantity(double internalValue, const CString& unit);

// A new GUID as "{XXXXXXXX-XXXX-xxxx-XXXX-XXXXXXXXXXXX}\r\n" (the third group
// in lower case). When no GUID can be had, shows "System Error creating
// Globally Unique ID" and returns the empty text.
CString CreateGuidString();

// A new identifier: MFC's HashKey of CreateGuidString()'s text as a signed
// 32-bit value (0 when no GUID could be had). Not checked for uniqueness.
long CreateUniqueID();

} // namespace batchplant
