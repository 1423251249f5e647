#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "TestSupport.h"
#include "batchplant/platform/Guid.h"

namespace batchplant {
namespace {

using test::MessageRecorder;
using test::RecordingControl;
using test::TestFacility;

const char* const kFloorNotEmpty =
    "A floor containing vessels cannot be deleted.\nYou must first move the vessels to a different floor.";
const char* const kNoVesselSelected = "You must select a vessel first";

std::vector<short> arguments(const RecordingControl& control)
{
    std::vector<short> out;
    for (const auto& e : control.events) {
        EXPECT_EQ(e.dispid, 1);
        out.push_back(e.argument);
    }
    return out;
}

// Two vessels, one connecting stream and one floor: items 1, 2 are the
// vessels, 3 the stream, 4 the floor.
class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        floor = f.AddFloor(1);
        a = f.AddVessel(floor, 10, "A");
        b = f.AddVessel(floor, 20, "B");
        pipe = f.Connect(a, b);
        f.SetThreeDAnimCtrlCtrl(&control);
    }

    TestFacility f;
    RecordingControl control;
    Plane* floor = nullptr;
    Vessel* a = nullptr;
    Vessel* b = nullptr;
    Stream* pipe = nullptr;
};

TEST_F(SelectionTest, ClickWithoutMultiSelectReplacesTheSelection)
{
    f.AttachMouse(1);
    EXPECT_EQ(arguments(control), (std::vector<short>{0, 0})); // clear, then update
    f.AttachMouse(2);
    EXPECT_EQ(a->IsSelected(), 0);
    EXPECT_EQ(b->IsSelected(), 1);
    EXPECT_EQ(f.VesselSelected(), 1);
    EXPECT_EQ(f.PipeSelected(), 0);
    EXPECT_EQ(arguments(control), (std::vector<short>{0, 0, 0, 0}));
}

TEST_F(SelectionTest, ClickWithMultiSelectToggles)
{
    f.EnableMultiSelect(1);
    f.AttachMouse(1);
    f.AttachMouse(3);
    EXPECT_EQ(a->IsSelected(), 1);
    EXPECT_EQ(pipe->IsSelected(), 1);
    EXPECT_EQ(f.PipeSelected(), 1);
    EXPECT_EQ(control.events.size(), 2u); // no clearing with multi-select
    f.AttachMouse(1);
    EXPECT_EQ(a->IsSelected(), 0);
    EXPECT_EQ(f.VesselSelected(), 0);
    f.AttachMouse(4);
    EXPECT_EQ(floor->IsSelected(), 1);
    EXPECT_EQ(f.FloorSelected(), 1);

    control.events.clear();
    f.AttachMouse(0); // clears everything
    EXPECT_EQ(pipe->IsSelected(), 0);
    EXPECT_EQ(floor->IsSelected(), 0);
    EXPECT_EQ(f.SceneSelected(), 1);
    EXPECT_EQ(arguments(control), (std::vector<short>{0})); // item 0: clear and stop
}

TEST_F(SelectionTest, ClickBeyondTheItemsTogglesNothing)
{
    f.EnableMultiSelect(1);
    f.AttachMouse(5);
    f.AttachMouse(2147483647);
    f.AttachMouse(-3);
    EXPECT_EQ(f.SceneSelected(), 1);
    EXPECT_EQ(arguments(control), (std::vector<short>{0, 0})); // -3 stops before updating
}

TEST_F(SelectionTest, SelectAllKindsFireTheirKind)
{
    f.SelectAllFloors();
    EXPECT_EQ(f.FloorSelected(), 1);
    EXPECT_EQ(f.VesselSelected(), 0);
    EXPECT_EQ(f.SceneSelected(), 0);
    f.SelectAllVessels();
    f.SelectAllPipes();
    EXPECT_EQ(a->IsSelected() + b->IsSelected() + pipe->IsSelected(), 3);
    f.ClearAllSelections();
    EXPECT_EQ(f.SceneSelected(), 1);
    EXPECT_EQ(a->IsSelected(), 0);
    f.SelectAll();
    EXPECT_EQ(f.VesselSelected() + f.PipeSelected() + f.FloorSelected(), 3);
    EXPECT_EQ(floor->IsSelected(), 1);
    EXPECT_EQ(arguments(control), (std::vector<short>{1, 2, 3, 0, 0}));
}

TEST_F(SelectionTest, UpdateSelectionStatusRecomputesFlags)
{
    f.SelectAll();
    a->DisableHighlight();
    b->DisableHighlight();
    floor->DisableHighlight();
    EXPECT_EQ(f.VesselSelected(), 1); // a summary, stale until refreshed
    f.UpdateSelectionStatus();
    EXPECT_EQ(f.VesselSelected(), 0);
    EXPECT_EQ(f.PipeSelected(), 1);
    EXPECT_EQ(f.FloorSelected(), 0);
}

TEST_F(SelectionTest, NoControlNoEvents)
{
    f.SetThreeDAnimCtrlCtrl(nullptr);
    f.AttachMouse(1);
    f.SelectAll();
    EXPECT_TRUE(control.events.empty());
    EXPECT_EQ(f.VesselSelected(), 1);
}

TEST_F(SelectionTest, SelectedFloorIsTheOneVisibleElseTheOneSelected)
{
    EXPECT_EQ(f.GetSelectedFloor(), floor);
    Plane* second = f.AddFloor(2, 6.0);
    EXPECT_EQ(f.GetSelectedFloor(), nullptr);
    second->EnableHighlight();
    EXPECT_EQ(f.GetSelectedFloor(), second);
    second->SetVisible(false);
    EXPECT_EQ(f.GetSelectedFloor(), floor);
}

TEST_F(SelectionTest, LabelsPinsAndConnectionsOfSelectedVessels)
{
    f.ShowAllLabels(0);
    EXPECT_EQ(a->GetShowLabel() + b->GetShowLabel(), 0);
    a->EnableHighlight();
    f.ShowSelectedLabels(1);
    f.ShowSelectedVesselStreams(0);
    f.ToggleSelectedVesselPins();
    EXPECT_EQ(a->GetShowLabel(), 1);
    EXPECT_EQ(b->GetShowLabel(), 0);
    EXPECT_EQ(a->IsShowConnections(), 0);
    EXPECT_EQ(b->IsShowConnections(), 1);
    EXPECT_EQ(a->IsPinned(), 1);
    f.ToggleSelectedVesselPins();
    EXPECT_EQ(a->IsPinned(), 0);
    EXPECT_EQ(b->IsPinned(), 0);
}

TEST_F(SelectionTest, SelectColourIsShownOnceDeselected)
{
    a->EnableHighlight();
    pipe->EnableHighlight();
    floor->EnableHighlight();
    f.SetSelectColor(1, 2, 3);
    f.SetSelectLabelColor(4, 5, 6);
    f.ClearAllSelections();
    EXPECT_EQ(a->GetColor(), 0x010203);
    EXPECT_EQ(pipe->GetColor(), 0x010203);
    EXPECT_EQ(floor->GetColor(), 0x010203);
    EXPECT_EQ(b->GetColor(), 0xB2B2B2);
    EXPECT_EQ(a->GetLabelColor(), 0x040506);
    EXPECT_EQ(pipe->GetLabelColor(), 0x040506);
    EXPECT_EQ(b->GetLabelColor(), 0xFFFF00);
}

TEST_F(SelectionTest, FloorVisibilityByIdentifier)
{
    Plane* twin = f.AddFloor(1, 6.0);
    f.SetFloorVisible(99, 1, false);
    EXPECT_FALSE(floor->IsVisible());
    EXPECT_FALSE(twin->IsVisible());
    f.SetFloorVisible(0, 1, true);
    EXPECT_TRUE(floor->IsVisible());
}

TEST(BackgroundTest, CornersByBitAndPackedValue)
{
    Facility f;
    EXPECT_EQ(f.IsBackgroundSolid(), 1);
    f.SetBackgroundCornerColor(static_cast<Facility::BackCorner>(3), (16 << 16) | (32 << 8) | 48);
    EXPECT_EQ(f.GetBackgroundCornerColor(Facility::Corner1), 0x102030);
    EXPECT_EQ(f.GetBackgroundCornerColor(Facility::Corner2), 0x102030);
    EXPECT_EQ(f.GetBackgroundCornerColor(Facility::Corner4), 0);
    EXPECT_EQ(f.GetBackgroundCornerColor(static_cast<Facility::BackCorner>(3)), 0);
    EXPECT_EQ(f.IsBackgroundSolid(), 0);
    f.SetBackgroundCornerColor(static_cast<Facility::BackCorner>(12), 16, 32, 48);
    EXPECT_EQ(f.GetBackgroundCornerColor(Facility::Corner8), 0x102030);
    EXPECT_EQ(f.IsBackgroundSolid(), 1);
    f.SetBackgroundCornerColor(Facility::Corner8, 0x1FF, 0, 0); // low 8 bits kept
    EXPECT_EQ(f.GetBackgroundCornerColor(Facility::Corner8), 0xFF0000);
}

// --- Floor editing ----------------------------------------------------------

TEST(FloorEditingTest, NewFloorIsNamedPastTakenNamesAndStandsAboveTheTallestVessel)
{
    TestFacility f;
    Plane* one = f.AddFloor(1, 0.0);
    one->SetName("Floor 1");
    Plane* three = f.AddFloor(3, 10.0);
    three->SetName("Floor 3");
    test::TestVessel* tall = f.AddVessel(one, 10, "Tall");
    tall->SetHeight(20.0);
    f.AddVessel(three, 20, "Short");

    Plane* made = f.CreateNewFloor(-1, "", 7, "North");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetName(), CString("Floor 4"));
    EXPECT_GE(made->GetID(), 100);
    EXPECT_DOUBLE_EQ(made->GetHeight(), 26.0);
    EXPECT_EQ(made->GetPlantID(), 7);
    EXPECT_EQ(made->GetPlantName(), CString("North"));
    EXPECT_DOUBLE_EQ(made->GetGrid(), 1.0);
    EXPECT_EQ(f.GetNumFloors(), 3);
    EXPECT_EQ(f.IsModified(), 1);
    EXPECT_EQ(f.planesMade, 3); // through the factory
}

TEST(FloorEditingTest, FirstFloorIsAtZeroAndNamesSkipShownNames)
{
    TestFacility f;
    // Its own default name ("Floor 1" from identifier 1) does not count.
    Plane* first = f.CreateNewFloor(1, "", -1, "");
    EXPECT_DOUBLE_EQ(first->GetHeight(), 0.0);
    EXPECT_EQ(first->GetName(), CString("Floor 1"));
    EXPECT_EQ(first->GetID(), 1);

    Plane* second = f.CreateNewFloor(5, "", -1, "");
    EXPECT_EQ(second->GetName(), CString("Floor 2"));
    EXPECT_DOUBLE_EQ(second->GetHeight(), 6.0);

    f.AddFloor(4, 0.0); // unnamed: shows "Floor 4"
    Plane* fourth = f.CreateNewFloor(9, "", -1, "");
    EXPECT_EQ(fourth->GetName(), CString("Floor 5"));
    EXPECT_DOUBLE_EQ(fourth->GetHeight(), 12.0);

    Plane* named = f.CreateNewFloor(6, "Roof", -1, "");
    EXPECT_EQ(named->GetName(), CString("Roof"));
}

TEST(FloorEditingTest, ExistingIdentifierReturnsThatFloorUnchanged)
{
    TestFacility f;
    Plane* five = f.AddFloor(5, 0.0);
    five->SetName("Five");
    Plane* got = f.CreateNewFloor(5, "Other", 9, "P");
    EXPECT_EQ(got, five);
    EXPECT_EQ(five->GetName(), CString("Five"));
    EXPECT_EQ(f.GetNumFloors(), 1);
    EXPECT_EQ(f.IsModified(), 0);
}

TEST(FloorEditingTest, WithoutGuidsTheIdentifierIsTheNextAboveTheExisting)
{
    TestFacility f;
    f.AddFloor(250, 0.0);
    f.AddFloor(40, 0.0);
    MessageRecorder messages;
    GuidGenerator previous = SetGuidGenerator([](GUID* g) {
        *g = GUID{};
        return -1L;
    });
    Plane* made = f.CreateNewFloor(-1, "", -1, "");
    SetGuidGenerator(previous);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetID(), 251);
    EXPECT_EQ(messages.count(), 1u); // the GUID failure is reported once, not per retry

    TestFacility empty;
    previous = SetGuidGenerator([](GUID*) { return -1L; });
    Plane* lone = empty.CreateNewFloor(-5, "", -1, "");
    SetGuidGenerator(previous);
    EXPECT_EQ(lone->GetID(), 100);
}

TEST(FloorEditingTest, DeletingRefusesFloorsWithVesselsAndRemovesAdjacentEmptyOnes)
{
    TestFacility f;
    Plane* busy = f.AddFloor(1, 0.0);
    Plane* empty1 = f.AddFloor(2, 6.0);
    Plane* empty2 = f.AddFloor(3, 12.0);
    Plane* kept = f.AddFloor(4, 18.0);
    f.AddVessel(busy, 10, "A");
    busy->EnableHighlight();
    empty1->EnableHighlight();
    empty2->EnableHighlight();

    MessageRecorder messages;
    f.DeleteSelectedFloors();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kFloorNotEmpty});
    EXPECT_EQ(messages.types()[0] & MB_TYPEMASK, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(f.GetNumFloors(), 2);
    EXPECT_EQ(f.GetFloorByIndex(0), busy);
    EXPECT_EQ(f.GetFloorByIndex(1), kept);
    EXPECT_EQ(f.planesDeleted, 2);
    EXPECT_EQ(f.IsModified(), 1);
}

TEST(FloorEditingTest, MovingVesselsGoesToTheNearestVisibleFloorOfThePlant)
{
    TestFacility f;
    Plane* ground = f.AddFloor(1, 0.0, 7);
    Plane* hidden = f.AddFloor(2, 3.0, 7);
    Plane* upper = f.AddFloor(3, 6.0, 7);
    Plane* otherPlant = f.AddFloor(4, 4.0, 8);
    Plane* anyPlant = f.AddFloor(5, 9.0);
    hidden->SetVisible(false);
    Vessel* v = f.AddVessel(ground, 10, "A", "Reactor", 7);
    Vessel* w = f.AddVessel(ground, 20, "B", "Reactor", 7);
    v->EnableHighlight();

    EXPECT_EQ(f.GetHigherFloor(ground), upper);
    EXPECT_EQ(f.GetLowerFloor(upper), ground);
    EXPECT_EQ(f.GetHigherFloor(upper), anyPlant); // plant -1 belongs to every plant
    EXPECT_EQ(f.GetLowerFloor(ground), nullptr);
    (void)otherPlant;

    f.MoveSelectedVesselsUp();
    EXPECT_EQ(v->GetFloor(), upper);
    EXPECT_EQ(upper->FindVessel(v), 1);
    EXPECT_EQ(ground->FindVessel(v), 0);
    EXPECT_EQ(w->GetFloor(), ground);
    EXPECT_EQ(f.IsModified(), 1);

    f.MoveSelectedVesselsDown();
    EXPECT_EQ(v->GetFloor(), ground);
}

TEST(FloorEditingTest, MovingFromTheTopFloorOrWithoutSelection)
{
    TestFacility f;
    Plane* only = f.AddFloor(1, 0.0);
    Vessel* v = f.AddVessel(only, 10, "A");
    v->EnableHighlight();
    f.MoveSelectedVesselsUp();
    EXPECT_EQ(v->GetFloor(), only);
    EXPECT_EQ(f.IsModified(), 1);

    TestFacility loaded;
    Plane* p = loaded.AddFloor(1, 0.0);
    loaded.AddVessel(p, 10, "A")->EnableHighlight();
    loaded.MarkLoadedFromDatabase();
    loaded.MoveSelectedVesselsDown();
    EXPECT_EQ(loaded.IsModified(), 0);

    // Without a selection the user is told, and nothing is modified.
    TestFacility none;
    none.AddVessel(none.AddFloor(1, 0.0), 10, "A");
    MessageRecorder messages;
    none.MoveSelectedVesselsUp();
    none.MoveSelectedVesselsDown();
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kNoVesselSelected, kNoVesselSelected}));
    EXPECT_EQ(none.IsModified(), 0);
}

// --- Item text -------------------------------------------------------------

TEST(ItemTextTest, ItemNamesAndInfoBoxesOverTheWholeIndexSpace)
{
    TestFacility f;
    Plane* floor = f.AddFloor(3);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    f.Connect(a, b);
    EXPECT_EQ(f.GetItemName(0), CString("Reactor:    A"));
    EXPECT_EQ(f.GetItemName(1), CString("Reactor:    B"));
    EXPECT_EQ(f.GetItemName(2), CString("Connection: [A] to [B]"));
    EXPECT_EQ(f.GetItemName(3), CString("Floor 3"));
    EXPECT_EQ(f.GetItemName(4), CString("6-foot Dude"));
    EXPECT_TRUE(f.GetItemName(5).IsEmpty());
    EXPECT_TRUE(f.GetItemName(-1).IsEmpty());

    // The info box is for vessels and streams only.
    CString name = "n", procs = "p", capacity = "c";
    EXPECT_EQ(f.GetInfoForBox(0, name, procs, capacity), 0);
    EXPECT_EQ(f.GetInfoForBox(4, name, procs, capacity), 0); // the floor
    EXPECT_EQ(name, CString("n"));
    EXPECT_EQ(procs, CString("p"));
    EXPECT_EQ(capacity, CString("c"));

    EXPECT_EQ(f.GetInfoForBox(3, name, procs, capacity), 1);
    EXPECT_EQ(name, CString("Connection: [A] to [B]"));
    EXPECT_TRUE(procs.IsEmpty());
    EXPECT_EQ(capacity, CString("c")); // untouched for a stream

    EXPECT_EQ(f.GetInfoForBox(1, name, procs, capacity), 1);
    EXPECT_EQ(name, CString("Reactor:    A"));
    EXPECT_EQ(capacity, a->GetCapacity());
}

} // namespace
} // namespace batchplant
