#pragma once
// Laying out every floor of a loaded facility for a still picture: the
// layout wizard, then the groups it could not reach from a floor's centre
// (islands, lone vessels) each laid out on its own and set in rows below
// the main group, then optionally iterations of the force-directed
// arrangement. Shared by the plan and report commands.

#include "batchplant/model/Facility.h"

namespace batchplant::cli {

class PlanFacility : public Facility {
public:
    // Lays out every floor as described above; forceIterations of 0 or less
    // runs the wizard only.
    void LayOutAllFloors(int forceIterations);

    // One floor: the wizard and the islands, no force iterations. Returns
    // the number of groups laid out (0 for a floor without shown vessels).
    int LayOutFloorCompletely(Plane* floor);
};

} // namespace batchplant::cli
