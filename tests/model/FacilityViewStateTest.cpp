#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "TestSupport.h"
#include "batchplant/platform/Guid.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

using namespace test;

const char* const kFloorNotEmpty =
    "A floor containing vessels cannot be deleted.\nYou must first move the vessels to a different floor.";
const char* const kNoVesselSelected = "You must select a vessel first";

// The arguments of the selection events; -1 for any other event.
std::vector<short> arguments(const RecordingControl& control)
{
    std::vector<short> out;
    for (const auto& e : control.events)
        out.push_back(e.dispid == 1 ? e.argument : -1);
    return out;
}

// Items 1, 2 are the vessels a and b, 3 the stream between them, 4 the floor.
class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override { f.SetThreeDAnimCtrlCtrl(&control); }
    // The selected flags of a, b, the pipe and the floor, then the facility's vessel, pipe, floor and scene summaries.
    std::string state() const
    {
        std::string s;
        for (int flag : {a->IsSelected(), b->IsSelected(), pipe->IsSelected(), floor->IsSelected(), -1,
                         f.VesselSelected(), f.PipeSelected(), f.FloorSelected(), f.SceneSelected()})
            s += flag < 0 ? " " : std::to_string(flag);
        return s;
    }

    TestFacility f;
    RecordingControl control;
    Plane* floor = f.AddFloor(1);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    Stream* pipe = f.Connect(a, b);
};

TEST_F(SelectionTest, ClicksReplaceOrToggleAndFireUpdates)
{
    // Without multi-select a click clears (0) then updates (0); with it, it only toggles and updates. Item 0 clears and
    // stops; items beyond the last toggle nothing, and one at or below 0 stops before updating.
    const struct {
        bool multi;
        std::vector<int> clicks;
        const char* state;
        std::vector<short> events;
    } cases[] = {
        {false, {1}, "1000 1000", {0, 0}},
        {false, {1, 2}, "0100 1000", {0, 0, 0, 0}},
        {true, {1, 3}, "1010 1100", {0, 0}},
        {true, {1, 3, 1, 4}, "0011 0110", {0, 0, 0, 0}},
        {true, {1, 3, 4, 0}, "0000 0001", {0, 0, 0, 0}},
        {true, {5, INT_MAX, -3}, "0000 0001", {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "multi " << c.multi << ", " << c.clicks.size() << " clicks");
        f.ClearAllSelections();
        control.events.clear();
        f.EnableMultiSelect(c.multi ? 1 : 0);
        for (int item : c.clicks)
            f.AttachMouse(item);
        EXPECT_EQ(state(), c.state);
        EXPECT_EQ(arguments(control), c.events);
    }
    f.SetThreeDAnimCtrlCtrl(nullptr); // no control, no events
    control.events.clear();
    f.AttachMouse(1);
    f.SelectAll();
    EXPECT_TRUE(control.events.empty());
}

TEST_F(SelectionTest, SelectAllKindsTheSelectedFloorAndWhatTheSelectionChanges)
{
    std::string states;
    for (void (Facility::*select)() : {&Facility::SelectAllFloors, &Facility::SelectAllVessels,
                                       &Facility::SelectAllPipes, &Facility::ClearAllSelections, &Facility::SelectAll})
        (f.*select)(), states += state() + ",";
    EXPECT_EQ(states, "0001 0010,1101 1010,1111 1110,0000 0001,1111 1110,");
    EXPECT_EQ(arguments(control), (std::vector<short>{1, 2, 3, 0, 0}));

    a->DisableHighlight();
    b->DisableHighlight();
    floor->DisableHighlight();
    EXPECT_EQ(state(), "0010 1110"); // a summary, stale until refreshed
    f.UpdateSelectionStatus();
    EXPECT_EQ(state(), "0010 0100");

    // The selected floor is the one visible floor, else the one selected.
    EXPECT_EQ(f.GetSelectedFloor(), floor);
    Plane* second = f.AddFloor(2, 6.0);
    EXPECT_EQ(f.GetSelectedFloor(), nullptr);
    second->EnableHighlight();
    EXPECT_EQ(f.GetSelectedFloor(), second);
    second->SetVisible(false);
    EXPECT_EQ(f.GetSelectedFloor(), floor);

    Plane* twin = f.AddFloor(1, 6.0); // visibility by identifier: every floor with it
    f.SetFloorVisible(99, 1, false);
    EXPECT_FALSE(floor->IsVisible() || twin->IsVisible());

    // Labels, pins and connections of the selected vessels.
    f.ShowAllLabels(0);
    a->EnableHighlight();
    f.ShowSelectedLabels(1);
    f.ShowSelectedVesselStreams(0);
    f.ToggleSelectedVesselPins();
    EXPECT_EQ((std::vector<int>{a->GetShowLabel(), b->GetShowLabel(), a->IsShowConnections(), b->IsShowConnections(),
                                a->IsPinned(), b->IsPinned()}),
              (std::vector<int>{1, 0, 0, 1, 1, 0}));
    f.ToggleSelectedVesselPins();
    EXPECT_EQ(a->IsPinned(), 0);

    // The select colour is shown once deselected.
    pipe->EnableHighlight();
    floor->EnableHighlight();
    f.SetSelectColor(1, 2, 3);
    f.SetSelectLabelColor(4, 5, 6);
    f.ClearAllSelections();
    EXPECT_EQ((std::vector<int>{a->GetColor(), pipe->GetColor(), floor->GetColor(), b->GetColor()}),
              (std::vector<int>{0x010203, 0x010203, 0x010203, 0xB2B2B2}));
    EXPECT_EQ((std::vector<int>{a->GetLabelColor(), pipe->GetLabelColor(), b->GetLabelColor()}),
              (std::vector<int>{0x040506, 0x040506, 0xFFFF00}));
}

TEST(BackgroundTest, CornersByBitAndPackedValue)
{
    Facility f;
    f.SetBackgroundCornerColor(static_cast<Facility::BackCorner>(3), 0x102030);
    auto corners = [&] {
        std::vector<int> out{f.IsBackgroundSolid()};
        for (int bits : {1, 2, 4, 8, 3})
            out.push_back(f.GetBackgroundCornerColor(static_cast<Facility::BackCorner>(bits)));
        return out;
    };
    EXPECT_EQ(corners(), (std::vector<int>{0, 0x102030, 0x102030, 0, 0, 0}));
    f.SetBackgroundCornerColor(static_cast<Facility::BackCorner>(12), 0x110, 32, 48); // low 8 bits kept
    EXPECT_EQ(corners(), (std::vector<int>{1, 0x102030, 0x102030, 0x102030, 0x102030, 0}));
}

TEST(FloorEditingTest, NewFloorsAreNamedPastShownNamesAndStandAboveTheTallestVessel)
{
    TestFacility f;
    auto shown = [](Plane* p) { return (p->GetName() + "@" + CString::Formatted("%g", p->GetHeight())).str(); };
    // Its own default name ("Floor 1" from identifier 1) does not count.
    Plane* first = f.CreateNewFloor(1, "", -1, "");
    EXPECT_EQ(shown(first) + std::to_string(first->GetID()), "Floor 1@01");
    f.AddVessel(first, 10, "Tall")->SetHeight(20.0);
    f.AddFloor(3, 10.0)->SetName("Floor 3");
    f.AddFloor(4);
    f.MarkModified(0); // the unnamed one shows "Floor 4"
    // Named "Floor n" for n floors and on past taken names.
    Plane* made = f.CreateNewFloor(-1, "", 7, "North");
    EXPECT_EQ(shown(made) + " " + made->GetPlantName().str() + std::to_string(made->GetPlantID()), "Floor 5@26 North7");
    EXPECT_TRUE(made->GetID() >= 100 && made->GetGrid() == 1.0);
    const CString sixth = f.CreateNewFloor(9, "", -1, "")->GetName();
    EXPECT_EQ(sixth + f.CreateNewFloor(6, "Roof", -1, "")->GetName(), CString("Floor 6Roof"));
    EXPECT_EQ(f.GetNumFloors() * 100 + f.planesMade * 10 + f.IsModified(), 661); // made through the factory
    // An identifier in use returns that floor unchanged.
    f.MarkModified(0);
    EXPECT_EQ(f.CreateNewFloor(3, "Other", 9, "P")->GetName(), CString("Floor 3"));
    EXPECT_EQ(f.GetNumFloors() * 10 + f.IsModified(), 60);

    // Without GUIDs the identifier is the next above the existing ones.
    MessageRecorder messages;
    GuidGenerator previous = SetGuidGenerator([](GUID* g) { return *g = GUID{}, -1L; });
    TestFacility g;
    g.AddFloor(250);
    g.AddFloor(40);
    EXPECT_EQ(g.CreateNewFloor(-1, "", -1, "")->GetID(), 251);
    EXPECT_EQ(messages.count(), 1u); // the GUID failure is reported once, not per retry
    EXPECT_EQ(TestFacility().CreateNewFloor(-5, "", -1, "")->GetID(), 100);
    SetGuidGenerator(previous);
}

TEST(FloorEditingTest, DeletingRefusesFloorsWithVesselsRemovesAdjacentEmptyOnesAndTellsTheDocument)
{
    TestFacility f;
    Plane *busy = f.AddFloor(1), *empty1 = f.AddFloor(2, 6.0), *empty2 = f.AddFloor(3, 12.0),
          *kept = f.AddFloor(4, 18.0);
    f.AddVessel(busy, 10, "A");
    busy->EnableHighlight();
    empty1->EnableHighlight();
    empty2->EnableHighlight();
    struct RecordingDocument : CDocument {
        std::vector<bool> flags;
        void SetModifiedFlag(bool modified) override { flags.push_back(modified); }
    } doc;
    f.SetDocument(&doc);
    MessageRecorder messages;
    f.DeleteSelectedFloors();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kFloorNotEmpty});
    EXPECT_EQ(messages.types()[0] & MB_TYPEMASK, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(f.GetNumFloors() * 100 + f.planesDeleted * 10 + f.IsModified(), 221);
    EXPECT_EQ(f.GetFloorByIndex(1), kept);
    f.MarkLoadedFromDatabase();
    f.MarkModified(0);                                // the document hears of changes until loaded
    EXPECT_EQ(doc.flags, std::vector<bool>(2, true)); // one per floor removed
}

TEST(FloorEditingTest, MovingVesselsGoesToTheNearestVisibleFloorOfThePlant)
{
    TestFacility f;
    Plane* ground = f.AddFloor(1, 0.0, 7);
    f.AddFloor(2, 3.0, 7)->SetVisible(false);
    Plane *upper = f.AddFloor(3, 6.0, 7), *other = f.AddFloor(4, 4.0, 8), *anyPlant = f.AddFloor(5, 9.0);
    Vessel *v = f.AddVessel(ground, 10, "A", "Reactor", 7), *w = f.AddVessel(ground, 20, "B", "Reactor", 7);
    // Plant -1 belongs to every plant.
    EXPECT_EQ((std::vector<Plane*>{f.GetHigherFloor(ground), f.GetLowerFloor(upper), f.GetHigherFloor(upper),
                                   f.GetLowerFloor(ground), f.GetHigherFloor(other)}),
              (std::vector<Plane*>{upper, ground, anyPlant, nullptr, anyPlant}));
    // The floors of v and w and the modified flag after each move; from the lowest floor v stays, still marked.
    v->EnableHighlight();
    std::string moves;
    for (bool up : {true, false, false}) {
        f.MarkModified(0);
        up ? f.MoveSelectedVesselsUp() : f.MoveSelectedVesselsDown();
        moves += std::to_string(v->GetFloorID()) + std::to_string(w->GetFloorID()) + std::to_string(f.IsModified());
    }
    EXPECT_EQ(moves, "311111111");
    EXPECT_EQ(upper->FindVessel(v) * 10 + ground->FindVessel(v), 1);
    // Without a selection the user is told, and nothing is modified.
    f.MarkModified(0);
    v->DisableHighlight();
    MessageRecorder messages;
    f.MoveSelectedVesselsUp();
    f.MoveSelectedVesselsDown();
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kNoVesselSelected, kNoVesselSelected}));
    EXPECT_EQ(f.IsModified(), 0);
}

// Lookups inside the collections are checked over the sample; here outside them and the first match.
TEST(FacilityTest, LookupsOutsideTheCollectionsTheFirstMatchAndTheStepProcList)
{
    TestFacility f;
    Plane *p1 = f.AddFloor(5, 0.0, 7), *p2 = f.AddFloor(5, 6.0, 8);
    Vessel* first = f.AddVessel(p1, 10, "First");
    f.AddVessel(p2, 10, "Second", "Inventory Location");
    Stream* s = f.Connect(first, f.AddVessel(p2, 20, "Other"));
    EXPECT_EQ((std::vector<const void*>{f.GetFloorByIndex(2), f.GetVesselByIndex(-1), f.GetStreamByIndex(1),
                                        f.GetUniStreamByIndex(0), f.GetUtilStreamByIndex(0),
                                        f.GetVaporStreamByIndex(-3), f.getUtilStream(0), f.FindPlaneWithId(6)}),
              std::vector<const void*>(8, nullptr));
    // Out of range a vessel has no name and counts as an inventory.
    EXPECT_EQ(f.GetVesselName(3).IsEmpty() * 100 + f.IsVesselInventory(-1) * 10 + f.IsVesselInventory(3), 111);
    // The unchecked accessor gives a placeholder out of range; a write to it changes no collection.
    f.getStream(7) = s;
    EXPECT_TRUE(f.getStream(7) == nullptr && f.GetNumConnectingStreams() == 1);
    EXPECT_EQ((std::vector<const void*>{f.FindVesselWithId(10), f.FindPlaneWithId(5), f.getFloorWithPlantID(8),
                                        f.getFloorWithPlantID(9), f.FindStreamWithVesselIds(20, 10)}),
              (std::vector<const void*>{first, p1, p2, nullptr, nullptr}));

    // The step procedure list adds every vessel's (the counting is CProcedure's).
    for (Vessel* v : {first, f.GetVesselByIndex(2)})
        v->GetProc()->AddNewProc(1, 500, 6, 5, 0.0, 10.0, "s", 0.0, "", 0.0, 0.0, "", 0.0, 0.0, "", "", "Step", "",
                                 "Op", "Charge", "", "Heating", -1, 0.0, "");
    Hash<long, Hash<long, long>> list;
    f.GetStepProcList(list);
    EXPECT_EQ(CString::Formatted("%ld ", list[5][6]) + f.GetProcedureName(5, 6), CString("2 Heating"));
}

} // namespace
} // namespace batchplant
