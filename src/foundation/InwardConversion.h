#pragma once
// One unit's inward conversion, looked up once for several values: a row's
// start and end times share a unit, as do its two temperatures and its two
// pressures.

#include "batchplant/foundation/Units.h"

namespace batchplant {

class InwardConversion {
public:
    explicit InwardConversion(const CString& unit);
    // ToInternalUnits(unit, value) with the default molecular weight and
    // molar density, for which the basis step changes nothing.
    double operator()(double value) const;
    // The unit's row, null when the value passes unchanged (no unit, a
    // relative amount, an unknown unit).
    const UnitRow* Row() const noexcept { return row; }

private:
    const CString& unit; // named in the message about an unknown unit
    const UnitRow* row = nullptr;
    bool known = true;
    bool gauge = false;
};

} // namespace batchplant
