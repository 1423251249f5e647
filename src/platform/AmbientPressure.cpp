#include "batchplant/platform/AmbientPressure.h"

#include <cmath>

namespace batchplant {

namespace {
double& ambient()
{
    static double p = kStandardAtmosphere;
    return p;
}
} // namespace

double GetAmbientPressure() { return ambient(); }

void SetAmbientPressure(double pascal)
{
    if (std::isfinite(pascal)) ambient() = pascal;
}

} // namespace batchplant
