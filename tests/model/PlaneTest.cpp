#include <gtest/gtest.h>

#include "ModelFixtures.h"

namespace batchplant {
namespace {

class BoundaryPlane : public Plane {
public:
    using Plane::set_boundaries;
    void SetCorners(double x1, double x2, double y1, double y2)
    {
        m_cornerX = x1;
        m_corner2X = x2;
        m_cornerY = y1;
        m_corner2Y = y2;
    }
};

TEST(PlaneTest, NameFallsBackToFloorNumber)
{
    Plane p;
    p.SetID(3);
    EXPECT_EQ(p.GetName(), CString("Floor 3"));
    p.SetName("Mezzanine");
    EXPECT_EQ(p.GetName(), CString("Mezzanine"));
}

TEST(PlaneTest, IncrementCoordsMovesHeightOrRectangle)
{
    Plane p;
    p.IncrementCoords(5.0);
    EXPECT_DOUBLE_EQ(p.GetHeight(), 0.1);
    p.IncrementCoords(50.0, -100.0);
    EXPECT_DOUBLE_EQ(p.GetCenterX(), 1.0);
    EXPECT_DOUBLE_EQ(p.GetCenterY(), -2.0);
    EXPECT_DOUBLE_EQ(p.GetCornerX(), 1.0);
    EXPECT_DOUBLE_EQ(p.GetCorner2Y(), -2.0);
}

TEST(PlaneTest, BoundariesOfEmptyFloorAreTwoByTwoAroundCentre)
{
    BoundaryPlane p;
    p.SetCenterX(3.0);
    p.SetCenterY(-1.0);
    p.set_boundaries();
    EXPECT_DOUBLE_EQ(p.GetCornerX(), 2.0);
    EXPECT_DOUBLE_EQ(p.GetCorner2X(), 4.0);
    EXPECT_DOUBLE_EQ(p.GetCornerY(), -2.0);
    EXPECT_DOUBLE_EQ(p.GetCorner2Y(), 0.0);
    EXPECT_EQ(p.GetGridCount(), 1);
}

TEST(PlaneTest, BoundariesFitShownVesselsAndSetGridCount)
{
    BoundaryPlane p;
    Vessel a, b, hidden;
    a.Init(&p);
    b.Init(&p);
    hidden.Init(&p);
    // Radius 0.5 each: X spans -0.5 .. 23.1 (23.6), Y spans -0.5 .. 8.5 (9).
    a.SetCoords(0.0, 0.0);
    b.SetCoords(22.6, 8.0);
    hidden.SetCoords(100.0, 100.0);
    hidden.SetVisible(false);
    p.set_boundaries();
    EXPECT_NEAR(p.GetWidthX(), 25.6, 1e-9);
    EXPECT_NEAR(p.GetWidthY(), 11.0, 1e-9);
    EXPECT_EQ(p.GetGridCount(), 5);
}

TEST(PlaneTest, ReCenterPutsShownVesselsAroundTheCentre)
{
    Plane p;
    Vessel a, b;
    a.Init(&p);
    b.Init(&p);
    a.SetCoords(2.0, 2.0);
    b.SetCoords(6.0, 4.0);
    // The first fit spans X -1 .. 7.5 and Y -1 .. 5.5 (the centre is always
    // inside), so the centre moves by (-3.25, -2.25).
    p.ReCenter();
    EXPECT_DOUBLE_EQ(p.GetCenterX(), -3.25);
    EXPECT_DOUBLE_EQ(p.GetCenterY(), -2.25);
    EXPECT_DOUBLE_EQ(a.GetX(), -1.25);
    EXPECT_DOUBLE_EQ(b.GetY(), 1.75);
    EXPECT_DOUBLE_EQ(p.GetCornerX(), -4.25);
    EXPECT_DOUBLE_EQ(p.GetCorner2X(), 4.25);
    EXPECT_DOUBLE_EQ(p.GetCorner2Y(), 3.25);
}

TEST(PlaneTest, WithinIsStrictInEitherCornerOrder)
{
    BoundaryPlane p;
    Vessel v;
    v.Init(&p);
    v.SetRadius(4.0);
    p.SetCenterX(5.0);
    p.SetCenterY(5.0);
    p.set_boundaries(); // corners 0 .. 10 both ways
    ASSERT_DOUBLE_EQ(p.GetCornerX(), 0.0);
    ASSERT_DOUBLE_EQ(p.GetCorner2X(), 10.0);
    // {position, margin, inside}: the same answers with the larger corner first.
    const struct {
        double at, margin;
        int inside;
    } cases[] = {{5.0, 0.0, 1}, {0.0, 0.0, 0}, {10.0, 0.0, 0}, {9.5, 1.0, 0},
                 {8.5, 1.0, 1}, {0.5, 0.0, 1}, {10.5, 0.0, 0}};
    for (int order = 0; order < 2; ++order) {
        if (order == 1) p.SetCorners(10.0, 0.0, 10.0, 0.0);
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "order " << order << " at " << c.at << " margin " << c.margin);
            EXPECT_EQ(p.WithinX(c.at, c.margin), c.inside);
            EXPECT_EQ(p.WithinY(c.at, c.margin), c.inside);
            if (c.margin == 0.0) {
                EXPECT_EQ(p.WithinX(c.at), c.inside);
                EXPECT_EQ(p.WithinY(c.at), c.inside);
            }
        }
    }
}

TEST(PlaneTest, PlantIdComesFromFirstVesselAndIsKept)
{
    Plane p;
    EXPECT_EQ(p.GetPlantID(), -1);
    test::TestVessel v;
    v.Init(&p);
    v.SetIdentity(1, "Reactor", "R-1", 7);
    v.SetPlantNameForTest("North");
    EXPECT_EQ(p.GetPlantID(), 7);
    EXPECT_EQ(p.GetPlantName(), CString("North"));
    p.UnRegisterVessel(&v);
    EXPECT_EQ(p.IsEmpty(), 1);
    EXPECT_EQ(p.GetPlantID(), 7);
    EXPECT_EQ(p.GetPlantName(), CString("North"));
}

TEST(PlaneTest, VesselRegistryAndTallestVessel)
{
    Plane p(2.0, 1.0);
    EXPECT_DOUBLE_EQ(p.GetTallestVesselHeight(), 2.0);
    Vessel a, b;
    a.Init(&p);
    b.Init(&p);
    b.SetHeight(3.5);
    b.SetVisible(false); // visibility does not matter here
    EXPECT_DOUBLE_EQ(p.GetTallestVesselHeight(), 5.5);
    EXPECT_EQ(p.GetVesselIndex(&b), 1);
    EXPECT_EQ(p.FindVessel(&a), 1);
    Vessel stranger;
    EXPECT_EQ(p.FindVessel(&stranger), 0);
    EXPECT_EQ(p.GetVesselIndex(&stranger), -1);
    EXPECT_EQ(p.GetVesselByIndex(2), nullptr);

    a.SetCoords(1.0, -2.0);
    p.Zoom(2.0);
    EXPECT_DOUBLE_EQ(a.GetRelX(), 2.0);
    EXPECT_DOUBLE_EQ(a.GetRelY(), -4.0);

    a.SetPositionFlag(1);
    b.SetPositionFlag(1);
    b.EnableHighlight();
    p.ClearSelectedVesselPlacement();
    EXPECT_EQ(a.GetPositionFlag(), 1);
    EXPECT_EQ(b.GetPositionFlag(), 0);
    p.ClearVesselPlacement();
    EXPECT_EQ(a.GetPositionFlag(), 0);
}

} // namespace
} // namespace batchplant
