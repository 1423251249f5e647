#pragma once
// The ambient pressure that gauge-pressure units are measured from, set by
// the host application. Read at every conversion, so a change takes effect
// on the next one.

namespace batchplant {

inline constexpr double kStandardAtmosphere = 101325.0; // Pa

double GetAmbientPressure();            // Pa
void SetAmbientPressure(double pascal); // non-finite values are ignored

} // namespace batchplant
