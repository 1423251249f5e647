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

TEST(SampleLayout, WizardPlacesEveryConnectedVesselWithoutOverlap)
{
    LayoutFacility f;
    CDaoDatabase db;
    db.Open(CString(SampleDatabasePath().string()), false, true);
    f.ReadVisioDatabase(&db);
    ASSERT_GT(f.GetNumFloors(), 0);
    MessageRecorder messages;
    for (int k = 0; k < f.GetNumFloors(); ++k) {
        Plane* p = f.GetFloorByIndex(k);
        f.LayoutFloor(p);
        // The vessels the wizard may move: visible, connections shown.
        auto movable = [p](const Vessel* v) {
            return v && v->GetFloor() == p && v->IsVisible() && v->IsShowConnections();
        };
        std::vector<Vessel*> placed;
        for (int i = 0; i < f.GetNumVessels(); ++i) {
            Vessel* v = f.GetVesselByIndex(i);
            if (!movable(v) || !v->GetPositionFlag()) continue;
            placed.push_back(v);
            // Whatever is joined to a placed vessel on this floor is placed too.
            for (int j = 0; j < v->GetNumStreams(); ++j) {
                const Vessel* c = v->GetConnectingVessel(j);
                if (movable(c)) {
                    EXPECT_EQ(c->GetPositionFlag(), 1) << c->GetName().str() << " next to " << v->GetName().str();
                }
            }
        }
        // The tree keeps every child clear of the vessel that placed it and
        // nothing lands on the spot of another; separate branches may still
        // cross (the force-directed arrangement is there for that).
        EXPECT_GT(placed.size(), 1u) << p->GetName().str();
        for (std::size_t a = 0; a < placed.size(); ++a) {
            const Vessel* va = placed[a];
            EXPECT_TRUE(std::isfinite(va->GetRelX()) && std::isfinite(va->GetRelY()));
            for (std::size_t b = a + 1; b < placed.size(); ++b) {
                const Vessel* vb = placed[b];
                SCOPED_TRACE(va->GetName().str() + " and " + vb->GetName().str() + " on " + p->GetName().str());
                EXPECT_GT(distance(va, vb), 1e-6);
                if (va->IsConnectingVessel(vb)) {
                    EXPECT_GE(distance(va, vb), va->GetRadius() + vb->GetRadius());
                }
            }
        }
    }
    EXPECT_EQ(messages.count(), 0u);
}

} // namespace
} // namespace batchplant::test
