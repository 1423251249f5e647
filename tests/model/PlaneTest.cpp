#include <vector>

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
    std::vector<double> Corners() const { return {GetCornerX(), GetCorner2X(), GetCornerY(), GetCorner2Y()}; }
};

TEST(PlaneTest, BoundariesFitTheCentreAndShownVesselsAndWithinIsStrict)
{
    // Vessels of radius 0.5 at {x, y, shown} from the centre; the corners x1,
    // x2, y1, y2 and the grid count (the longer side / 5, at least 1).
    const struct {
        double centreX, centreY;
        std::vector<std::vector<double>> vessels;
        std::vector<double> corners;
        int grid;
    } cases[] = {{3.0, -1.0, {}, {2.0, 4.0, -2.0, 0.0}, 1},
                 {0.0, 0.0, {{0.0, 0.0, 1}, {22.6, 8.0, 1}, {100.0, 100.0, 0}}, {-1.5, 24.1, -1.5, 9.5}, 5},
                 {5.0, 5.0, {{1.0, 9.0, 1}}, {4.0, 7.5, 4.0, 15.5}, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vessels.size());
        BoundaryPlane p;
        std::vector<Vessel> vessels(c.vessels.size());
        for (std::size_t k = 0; k < vessels.size(); ++k) {
            vessels[k].Init(&p);
            vessels[k].SetCoords(c.vessels[k][0], c.vessels[k][1]);
            vessels[k].SetVisible(c.vessels[k][2] != 0.0);
        }
        p.SetCenterX(c.centreX);
        p.SetCenterY(c.centreY);
        p.set_boundaries();
        const std::vector<double> got = p.Corners();
        for (std::size_t k = 0; k < 4; ++k)
            EXPECT_NEAR(got[k], c.corners[k], 1e-9) << k;
        EXPECT_EQ(p.GetGridCount(), c.grid);
    }
    // Re-centring: the first fit spans X -1 .. 7.5 and Y -1 .. 5.5 (the
    // centre is always inside), so the centre moves by (-3.25, -2.25).
    BoundaryPlane p;
    Vessel a, b;
    a.Init(&p);
    b.Init(&p);
    a.SetCoords(2.0, 2.0);
    b.SetCoords(6.0, 4.0);
    p.ReCenter();
    EXPECT_EQ((std::vector<double>{p.GetCenterX(), p.GetCenterY(), a.GetX(), b.GetY()}),
              (std::vector<double>{-3.25, -2.25, -1.25, 1.75}));
    EXPECT_EQ(p.Corners(), (std::vector<double>{-4.25, 4.25, -3.25, 3.25}));

    // Within is strict; {position, margin, inside}, the same answers with the
    // larger corner first.
    const struct {
        double at, margin;
        int inside;
    } within[] = {{5.0, 0.0, 1}, {0.0, 0.0, 0}, {10.0, 0.0, 0}, {9.5, 1.0, 0},
                  {8.5, 1.0, 1}, {0.5, 0.0, 1}, {10.5, 0.0, 0}};
    for (double low : {0.0, 10.0}) {
        p.SetCorners(low, 10.0 - low, low, 10.0 - low);
        for (const auto& c : within) {
            SCOPED_TRACE(testing::Message() << "x1 " << low << " at " << c.at << " margin " << c.margin);
            EXPECT_EQ(p.WithinX(c.at, c.margin) * 10 + p.WithinY(c.at, c.margin), c.inside * 11);
            EXPECT_EQ(c.margin == 0.0 ? p.WithinX(c.at) * 10 + p.WithinY(c.at) : c.inside * 11, c.inside * 11);
        }
    }
}

TEST(PlaneTest, VesselRegistryPlantTallestVesselZoomPlacementAndShifts)
{
    Plane p(2.0, 1.0);
    EXPECT_EQ(p.GetPlantID(), -1);
    test::TestVessel a, b;
    a.Init(&p);
    b.Init(&p);
    // The plant comes from the first vessel and is kept once it leaves.
    a.SetIdentity(1, "Reactor", "R-1", 7);
    a.SetPlantNameForTest("North");
    EXPECT_EQ(p.GetPlantName() + CString::Formatted(" %d", p.GetPlantID()), CString("North 7"));
    b.SetHeight(3.5);
    b.SetVisible(false); // visibility does not matter here
    Vessel stranger;
    EXPECT_EQ((std::vector<double>{p.GetTallestVesselHeight(), double(p.GetVesselIndex(&b)), double(p.FindVessel(&a)),
                                   double(p.FindVessel(&stranger)), double(p.GetVesselIndex(&stranger))}),
              (std::vector<double>{5.5, 1, 1, 0, -1}));
    EXPECT_EQ(p.GetVesselByIndex(2), nullptr);
    a.SetCoords(1.0, -2.0);
    p.Zoom(2.0);
    EXPECT_EQ((std::vector<double>{a.GetRelX(), a.GetRelY()}), (std::vector<double>{2.0, -4.0}));
    a.SetPositionFlag(1);
    b.SetPositionFlag(1);
    b.EnableHighlight();
    p.ClearSelectedVesselPlacement();
    EXPECT_EQ(a.GetPositionFlag() * 10 + b.GetPositionFlag(), 10);
    p.ClearVesselPlacement();
    EXPECT_EQ(a.GetPositionFlag(), 0);
    p.UnRegisterVessel(&a);
    p.UnRegisterVessel(&b);
    EXPECT_EQ(p.IsEmpty(), 1);
    EXPECT_EQ(p.GetPlantID(), 7);
    EXPECT_EQ(p.GetPlantName(), CString("North"));

    // Unnamed floors show their number; a shift moves the height, or the
    // rectangle by a fiftieth.
    Plane q;
    q.SetID(3);
    EXPECT_EQ(q.GetName(), CString("Floor 3"));
    q.IncrementCoords(5.0);
    q.IncrementCoords(50.0, -100.0);
    EXPECT_EQ((std::vector<double>{q.GetHeight(), q.GetCenterX(), q.GetCenterY(), q.GetCornerX(), q.GetCorner2Y()}),
              (std::vector<double>{0.1, 1.0, -2.0, 1.0, -2.0}));
}

} // namespace
} // namespace batchplant
