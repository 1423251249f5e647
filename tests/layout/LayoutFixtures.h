#pragma once
// A facility that opens the layout wizard's steps and installs angle
// records of its own, so a test can drive one step at a time and read what
// was recorded.

#include <cmath>
#include <memory>

#include "../model/ModelFixtures.h"
#include "batchplant/layout/FacilityLayout.h"

namespace batchplant::test {

// Plane with its force terms opened.
class ForcePlane : public Plane {
public:
    using Plane::getAttractiveForce;
    using Plane::getLeftRightForce;
    using Plane::getRepulsiveForce;
    using Plane::setVesselForce;
};

class LayoutFacility : public TestFacility {
public:
    using Facility::AllChildVesselsAssigned;
    using Facility::AssignVesselPosition;
    using Facility::CalculateLayout;
    using Facility::GetAngleList;
    using Facility::MoveInventoryLocations;
    using Facility::PlaceChildVessels;
    using Facility::SelectUnplacedVessels;
    using Facility::SetCenter;

    ~LayoutFacility() override { UninstallRecords(); }

    // Empty records for every vessel, kept until UninstallRecords.
    void InstallRecords() { scope = std::make_unique<LayoutScope>(*this); }
    void UninstallRecords() { scope.reset(); }
    bool RecordsReleased() const { return LayoutScope::Open(*this) == nullptr; }
    AngleRecord& Record(int i) { return *scope->Record(i); }
    int IndexOf(const Vessel* v) const
    {
        for (int i = 0; i < GetNumVessels(); ++i)
            if (GetVesselByIndex(i) == v) return i;
        return -1;
    }

    // Floors made by AddFloor are ForcePlanes.
    ForcePlane* AddForceFloor(int id) { return static_cast<ForcePlane*>(AddFloor(id)); }

    std::unique_ptr<LayoutScope> scope;

protected:
    Plane* addPlane() override { return new ForcePlane(); }
};

inline double distance(const Vessel* a, const Vessel* b)
{
    return std::hypot(a->GetRelX() - b->GetRelX(), a->GetRelY() - b->GetRelY());
}

} // namespace batchplant::test
