#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

using test::TestFacility;

// Lookups inside the collections are checked over the sample (LoadingTest);
// here what lies outside them, and which of two matches wins.
TEST(FacilityTest, LookupsOutsideTheCollectionsAndTheFirstMatch)
{
    TestFacility f;
    Plane* p1 = f.AddFloor(5, 0.0, 7);
    Plane* p2 = f.AddFloor(5, 6.0, 8);
    Vessel* first = f.AddVessel(p1, 10, "First");
    f.AddVessel(p2, 10, "Second", "Inventory Location");
    Stream* s = f.Connect(first, f.AddVessel(p2, 20, "Other"));
    for (const void* outside :
         {(const void*)f.GetFloorByIndex(2), (const void*)f.GetVesselByIndex(-1), (const void*)f.GetStreamByIndex(1),
          (const void*)f.GetUniStreamByIndex(0), (const void*)f.GetUtilStreamByIndex(0),
          (const void*)f.GetVaporStreamByIndex(-3), (const void*)f.getUtilStream(0), (const void*)f.FindPlaneWithId(6)})
        EXPECT_EQ(outside, nullptr);
    EXPECT_TRUE(f.GetVesselName(3).IsEmpty());
    EXPECT_EQ(f.IsVesselInventory(-1) * 10 + f.IsVesselInventory(3), 11); // out of range counts as an inventory
    // The unchecked accessor gives a placeholder out of range; a write to it
    // changes no collection.
    f.getStream(7) = s;
    EXPECT_EQ(f.getStream(7), nullptr);
    EXPECT_EQ(f.GetNumConnectingStreams(), 1);
    EXPECT_EQ((std::vector<const void*>{f.FindVesselWithId(10), f.FindPlaneWithId(5), f.getFloorWithPlantID(8),
                                        f.getFloorWithPlantID(9), f.FindStreamWithVesselIds(20, 10)}),
              (std::vector<const void*>{first, p1, p2, nullptr, nullptr}));
}

TEST(FacilityTest, MarkModifiedTellsTheDocumentUnlessLoaded)
{
    struct RecordingDocument : CDocument {
        std::vector<bool> flags;
        void SetModifiedFlag(bool modified) override { flags.push_back(modified); }
    } doc;
    TestFacility f;
    f.MarkModified(1);
    EXPECT_EQ(f.IsModified(), 1);
    f.SetDocument(&doc);
    f.MarkModified(0);
    f.MarkLoadedFromDatabase();
    f.MarkModified(1);
    EXPECT_EQ(f.IsModified(), 0);
    EXPECT_EQ(doc.flags, std::vector<bool>{false});
}

TEST(FacilityTest, StepProcListCountsVesselsPerPairAndAppends)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    // Vessel, unit procedure, start, name; all of step 5. The same pair twice
    // in one vessel counts once.
    const struct {
        Vessel* v;
        long unitProc, start;
        const char* name;
    } units[] = {{a, 6, 0, "Charging"}, {a, 6, 20, "Charging"}, {a, 7, 40, "Heating"}, {b, 6, 0, "Charging"}};
    for (const auto& u : units)
        u.v->GetProc()->AddNewProc(1, 500 + u.start, u.unitProc, 5, static_cast<double>(u.start), u.start + 10.0, "s",
                                   0.0, "", 0.0, 0.0, "", 0.0, 0.0, "", "", "Step", "", "Op", "Charge", "", u.name, -1,
                                   0.0, "");
    Hash<long, Hash<long, long>> list;
    list[9][9] = 4; // not cleared
    f.GetStepProcList(list);
    EXPECT_EQ((std::vector<long>{list[5][6], list[5][7], list[9][9]}), (std::vector<long>{2, 1, 4}));
    f.GetStepProcList(list);
    EXPECT_EQ(list[5][6], 4);
    EXPECT_EQ(f.GetProcedureName(5, 7), CString("Heating"));
}

// A host facility that makes its own vessels, destroyed through a Facility
// pointer: every vessel goes with it.
TEST(FacilityTest, DestructionThroughBasePointerReleasesDerivedObjects)
{
    struct CountingVessel : test::TestVessel {
        explicit CountingVessel(int* destroyed) : destroyed_(destroyed) {}
        ~CountingVessel() override { ++*destroyed_; }
        int* destroyed_;
    };
    struct Host : TestFacility {
        int* destroyed = nullptr;
        Vessel* addVessel(const CString&) override { return new CountingVessel(destroyed); }
    };
    int destroyed = 0;
    auto host = std::make_unique<Host>();
    host->destroyed = &destroyed;
    Plane* floor = host->AddFloor(1);
    host->AddVessel(floor, 1);
    host->AddVessel(floor, 2);
    std::unique_ptr<Facility> owner(host.release());
    owner.reset();
    EXPECT_EQ(destroyed, 2);
}

} // namespace
} // namespace batchplant
