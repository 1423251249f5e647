// The layout wizard on the generated sample run: what it can reach is
// placed, nothing ends up on top of anything, and every position stays a
// finite number.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "LayoutFixtures.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"

namespace batchplant::test {
namespace {

class SampleLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDaoDatabase db;
        db.Open(CString(SampleDatabasePath().string()), false, true);
        f.ReadVisioDatabase(&db);
        ASSERT_GT(f.GetNumFloors(), 0);
    }
    // Vessels of the floor the wizard may move (visible, connections shown).
    std::vector<Vessel*> movable(const Plane* p) const
    {
        std::vector<Vessel*> out;
        for (int i = 0; i < f.GetNumVessels(); ++i) {
            Vessel* v = f.GetVesselByIndex(i);
            if (v->GetFloor() == p && v->IsVisible() && v->IsShowConnections()) out.push_back(v);
        }
        return out;
    }
    LayoutFacility f;
};

TEST_F(SampleLayout, WizardPlacesEveryConnectedVesselWithoutOverlap)
{
    MessageRecorder messages;
    for (int k = 0; k < f.GetNumFloors(); ++k) {
        Plane* p = f.GetFloorByIndex(k);
        f.LayoutFloor(p);
        const std::vector<Vessel*> vessels = movable(p);
        // Whatever is joined to a placed vessel on this floor is placed too.
        for (const Vessel* v : vessels) {
            if (!v->GetPositionFlag()) continue;
            for (int j = 0; j < v->GetNumStreams(); ++j) {
                const Vessel* c = v->GetConnectingVessel(j);
                if (c && c->GetFloor() == p && c->IsVisible() && c->IsShowConnections()) {
                    EXPECT_EQ(c->GetPositionFlag(), 1) << c->GetName().str() << " next to " << v->GetName().str();
                }
            }
        }
        // The tree keeps every child clear of the vessel that placed it and
        // nothing lands on the spot of another; separate branches of the tree
        // may still cross (the force-directed arrangement is there for that).
        int placed = 0;
        for (std::size_t a = 0; a < vessels.size(); ++a) {
            if (!vessels[a]->GetPositionFlag()) continue;
            ++placed;
            EXPECT_TRUE(std::isfinite(vessels[a]->GetRelX()) && std::isfinite(vessels[a]->GetRelY()));
            for (std::size_t b = a + 1; b < vessels.size(); ++b) {
                if (!vessels[b]->GetPositionFlag()) continue;
                EXPECT_GT(distance(vessels[a], vessels[b]), 1e-6)
                    << vessels[a]->GetName().str() << " and " << vessels[b]->GetName().str();
                if (!vessels[a]->IsConnectingVessel(vessels[b])) continue;
                EXPECT_GE(distance(vessels[a], vessels[b]), vessels[a]->GetRadius() + vessels[b]->GetRadius())
                    << vessels[a]->GetName().str() << " and " << vessels[b]->GetName().str() << " on "
                    << p->GetName().str();
            }
        }
        EXPECT_GT(placed, 1) << p->GetName().str();
    }
    EXPECT_EQ(messages.count(), 0u);
}

} // namespace
} // namespace batchplant::test
