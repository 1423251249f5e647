#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

using test::TestFacility;

struct RecordingDocument : CDocument {
    std::vector<bool> flags;
    void SetModifiedFlag(bool modified) override { flags.push_back(modified); }
};

TEST(FacilityTest, AccessByPositionIsCheckedEverywhere)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B", "Inventory Location");
    Stream* s = f.Connect(a, b);
    Stream* feed = f.AddFeed(a);

    EXPECT_EQ(f.GetFloorByIndex(0), floor);
    EXPECT_EQ(f.GetFloorByIndex(1), nullptr);
    EXPECT_EQ(f.GetVesselByIndex(1), b);
    EXPECT_EQ(f.GetVesselByIndex(-1), nullptr);
    EXPECT_EQ(f.GetStreamByIndex(0), s);
    EXPECT_EQ(f.GetStreamByIndex(-1), nullptr);
    EXPECT_EQ(f.GetStreamByIndex(f.GetNumConnectingStreams()), nullptr);
    EXPECT_EQ(f.GetUniStreamByIndex(0), feed);
    EXPECT_EQ(f.GetUniStreamByIndex(1), nullptr);
    EXPECT_EQ(f.GetUtilStreamByIndex(0), nullptr);
    EXPECT_EQ(f.GetVaporStreamByIndex(-3), nullptr);
    EXPECT_EQ(f.GetVesselName(0), CString("A"));
    EXPECT_TRUE(f.GetVesselName(2).IsEmpty());
    EXPECT_EQ(f.IsVesselInventory(-1), 1);
    EXPECT_EQ(f.IsVesselInventory(2), 1);
    EXPECT_EQ(f.IsVesselInventory(0), 0);
    EXPECT_EQ(f.IsVesselInventory(1), 1);

    // The unchecked twins: in range the element, out of range a null
    // placeholder (a write to it changes no collection).
    EXPECT_EQ(f.getPlane(0), floor);
    EXPECT_EQ(f.getStream(0), s);
    EXPECT_EQ(f.getLastStream(), s);
    EXPECT_EQ(f.getLastUniStream(99), feed);
    EXPECT_EQ(f.getLastPlane(), floor);
    EXPECT_EQ(f.getPlane(5), nullptr);
    f.getStream(7) = s;
    EXPECT_EQ(f.getStream(7), nullptr);
    EXPECT_EQ(f.GetNumConnectingStreams(), 1);
    EXPECT_EQ(f.getUtilStream(0), nullptr);
    EXPECT_EQ(f.getVaporStream(-1), nullptr);
    EXPECT_EQ(f.getUniStream(1), nullptr);
}

TEST(FacilityTest, KeyedStreamsComeInAscendingKeyOrder)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel* a = f.AddVessel(floor, 30, "A");
    Vessel* b = f.AddVessel(floor, 10, "B");
    Stream* ua = f.AddUtility(a);
    Stream* ub = f.AddUtility(b);
    EXPECT_EQ(f.GetUtilStreamByIndex(0), ub); // key 10
    EXPECT_EQ(f.GetUtilStreamByIndex(1), ua); // key 30
    EXPECT_EQ(f.getUtilStream(1), ua);
}

TEST(FacilityTest, LookupsTakeTheFirstMatch)
{
    TestFacility f;
    Plane* p1 = f.AddFloor(5, 0.0, 7);
    Plane* p2 = f.AddFloor(5, 6.0, 8);
    Vessel* first = f.AddVessel(p1, 10, "First");
    Vessel* second = f.AddVessel(p2, 10, "Second");
    Vessel* other = f.AddVessel(p2, 20, "Other");
    Stream* s = f.Connect(first, other);
    f.AddFeed(other);

    EXPECT_EQ(f.FindVesselWithId(10), first);
    EXPECT_EQ(f.FindVesselWithId(99), nullptr);
    EXPECT_EQ(f.FindPlaneWithId(5), p1);
    EXPECT_EQ(f.FindPlaneWithId(6), nullptr);
    EXPECT_EQ(f.getFloorWithPlantID(8), p2);
    EXPECT_EQ(f.getFloorWithPlantID(9), nullptr);
    EXPECT_EQ(f.FindStreamWithVesselIds(10, 20), s);
    EXPECT_EQ(f.FindStreamWithVesselIds(20, 10), nullptr);
    (void)second;
}

TEST(FacilityTest, TwoKeyNumbersVesselPairsByPosition)
{
    TestFacility f;
    EXPECT_EQ(f.TwoKey(20, 30), 0); // no vessels
    Plane* floor = f.AddFloor(1);
    f.AddVessel(floor, 10, "A");
    f.AddVessel(floor, 20, "B");
    f.AddVessel(floor, 30, "C");
    EXPECT_EQ(f.TwoKey(20, 30), 2 * 3 + 3);
    EXPECT_EQ(f.TwoKey(20, -1), 2);
    EXPECT_EQ(f.TwoKey(-1, 30), 4 * 3 + 3);
    EXPECT_EQ(f.TwoKey(99, 30), 3);
    EXPECT_EQ(f.TwoKey(10, 10), 1 * 3 + 1);

    // Repeated identifiers: the last vessel with it counts.
    f.AddVessel(floor, 20, "B2");
    EXPECT_EQ(f.TwoKey(20, -1), 4);
    EXPECT_EQ(f.TwoKey(10, 20), 1 * 4 + 4);
}

TEST(FacilityTest, MarkModifiedTellsTheDocumentUnlessLoaded)
{
    TestFacility f;
    RecordingDocument doc;
    f.MarkModified(1);
    EXPECT_EQ(f.IsModified(), 1);
    f.SetDocument(&doc);
    f.MarkModified(0);
    EXPECT_EQ(f.IsModified(), 0);
    ASSERT_EQ(doc.flags.size(), 1u);
    EXPECT_FALSE(doc.flags[0]);

    f.MarkLoadedFromDatabase();
    f.MarkModified(1);
    EXPECT_EQ(f.IsModified(), 0);
    EXPECT_EQ(doc.flags.size(), 1u);
}

void addUnit(Vessel* v, long step, long unitProc, long start, const char* unitProcName)
{
    v->GetProc()->AddNewProc(1, 500 + start, unitProc, step, static_cast<double>(start), start + 10.0, "s", 0.0, "",
                             0.0, 0.0, "", 0.0, 0.0, "", "", "Step", "", "Op", "Charge", "", unitProcName, -1, 0.0, "");
}

TEST(FacilityTest, StepProcListCountsVesselsPerPairAndAppends)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    addUnit(a, 5, 6, 0, "Charging");
    addUnit(a, 5, 6, 20, "Charging"); // same pair twice in one vessel: counted once
    addUnit(a, 5, 7, 40, "Heating");
    addUnit(b, 5, 6, 0, "Charging");

    Hash<long, Hash<long, long>> list;
    list[9][9] = 4; // not cleared
    f.GetStepProcList(list);
    EXPECT_EQ(list[5][6], 2);
    EXPECT_EQ(list[5][7], 1);
    EXPECT_EQ(list[9][9], 4);
    f.GetStepProcList(list);
    EXPECT_EQ(list[5][6], 4);

    EXPECT_EQ(f.GetProcedureName(5, 7), CString("Heating"));
}

// A host facility that makes its own vessels, destroyed through a Facility
// pointer: every vessel and floor goes with it (checked under the sanitizer
// build, and by the destructor counter here).
struct CountingVessel : Vessel {
    explicit CountingVessel(int* destroyed) : destroyed_(destroyed) {}
    ~CountingVessel() override { ++*destroyed_; }
    int* destroyed_;
};

struct HostFacility : Facility {
    int destroyedVessels = 0;
    int* counter = nullptr;
    Vessel* Make(Plane* floor)
    {
        Vessel* v = addVessel("Reactor");
        adoptVessel(v);
        v->Init(floor);
        return v;
    }
    Plane* MakeFloor()
    {
        Plane* p = addPlane();
        adoptFloor(p);
        return p;
    }

protected:
    Vessel* addVessel(const CString&) override { return new CountingVessel(counter); }
};

TEST(FacilityTest, DestructionThroughBasePointerReleasesDerivedObjects)
{
    int destroyed = 0;
    {
        auto host = std::make_unique<HostFacility>();
        host->counter = &destroyed;
        Plane* floor = host->MakeFloor();
        host->Make(floor);
        host->Make(floor);
        std::unique_ptr<Facility> owner(host.release());
    }
    EXPECT_EQ(destroyed, 2);
}

} // namespace
} // namespace batchplant
