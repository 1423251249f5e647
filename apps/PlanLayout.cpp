#include "PlanLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "batchplant/model/Plane.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::cli {
namespace {

// Space between groups, in units of length.
constexpr double kGap = 1.5;

struct Box {
    double minX = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();
    bool empty() const { return !(minX <= maxX); }
    void add(const Vessel* v)
    {
        const double r = std::isfinite(v->GetRadius()) ? std::max(0.0, v->GetRadius()) : 0.0;
        minX = std::min(minX, v->GetRelX() - r);
        maxX = std::max(maxX, v->GetRelX() + r);
        minY = std::min(minY, v->GetRelY() - r);
        maxY = std::max(maxY, v->GetRelY() + r);
    }
};

} // namespace

int PlanFacility::LayOutFloorCompletely(Plane* floor)
{
    if (!floor) return 0;
    LayoutFloor(floor);
    auto candidates = [&] {
        std::vector<Vessel*> out;
        for (int i = 0; i < GetNumVessels(); ++i) {
            Vessel* v = GetVesselByIndex(i);
            if (v && !v->PositionAssigned(floor)) out.push_back(v);
        }
        return out;
    };

    Box main;
    for (int i = 0; i < GetNumVessels(); ++i) {
        const Vessel* v = GetVesselByIndex(i);
        if (v && v->GetFloor() == floor && v->IsVisible() && v->GetPositionFlag()) main.add(v);
    }
    if (main.empty()) return 0;
    int groups = 1;
    // Islands go in rows under the main group, each row as wide as the main
    // group (at least 12 units), left to right.
    const double rowWidth = std::max(12.0, main.maxX - main.minX);
    double rowX = main.minX;
    double rowTop = main.minY - kGap;
    double rowBottom = rowTop;
    for (std::vector<Vessel*> waiting = candidates(); !waiting.empty(); waiting = candidates()) {
        CalculateLayout(floor);
        Box island;
        std::vector<Vessel*> placed;
        for (Vessel* v : waiting) {
            if (!v->GetPositionFlag()) continue;
            placed.push_back(v);
            island.add(v);
        }
        if (placed.empty()) break; // nothing more can be placed
        ++groups;
        const double w = island.maxX - island.minX;
        const double h = island.maxY - island.minY;
        if (rowX > main.minX && rowX + w > main.minX + rowWidth) {
            rowX = main.minX;
            rowTop = rowBottom - kGap;
        }
        const double dx = rowX - island.minX;
        const double dy = rowTop - island.maxY;
        for (Vessel* v : placed)
            v->SetCoords(v->GetRelX() + dx, v->GetRelY() + dy);
        rowX += w + kGap;
        rowBottom = std::min(rowBottom, rowTop - h);
    }
    return groups;
}

void PlanFacility::LayOutAllFloors(int forceIterations)
{
    for (int i = 0; i < GetNumFloors(); ++i) {
        Plane* floor = GetFloorByIndex(i);
        LayOutFloorCompletely(floor);
        for (int k = 0; k < forceIterations && floor; ++k) {
            floor->DistributeVessels();
            floor->MoveVesselsByForce();
        }
    }
}

} // namespace batchplant::cli
