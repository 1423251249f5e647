#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "batchplant/db/StreamRecordsets.h"

namespace batchplant {
namespace {

using test::TestFacility;
using test::TestStream;

// x1, y1, z1, x2, y2, z2 of the path; -99 where left unset.
std::vector<double> endpoints(Stream* s)
{
    std::vector<double> e(6, -99);
    static_cast<TestStream*>(s)->get_ves_coords(&e[0], &e[1], &e[2], &e[3], &e[4], &e[5]);
    return e;
}

// Names, radii and the other end of loaded streams are checked over the
// sample (LoadingTest).
TEST(StreamTest, KindBitsEndsDrawableAndRadiusSteps)
{
    TestFacility f;
    Plane* two = f.AddFloor(2, 5.0);
    Plane* one = f.AddFloor(1);
    Vessel* a = f.AddVessel(one, 10, "A");
    Vessel* b = f.AddVessel(one, 20, "B");
    a->SetRadius(0.9);
    b->SetRadius(0.6);
    Stream* vapor = f.AddVapor(a, b);
    EXPECT_EQ((std::vector<int>{vapor->GetType(), vapor->IsConnecting(), vapor->IsVapor(), vapor->IsUtility(),
                                vapor->IsInput(), a->GetNumStreams() + b->GetNumStreams()}),
              (std::vector<int>{17, 1, 1, 0, 0, 2})); // a process stream of both
    EXPECT_EQ(a->GetVaporStream(), vapor);
    EXPECT_NEAR(vapor->GetRadius(), 0.2, 1e-12);
    // A feed holds its vessel but has no source.
    Stream* feed = f.AddFeed(a);
    EXPECT_EQ(feed->GetInputVessel(), nullptr);
    EXPECT_EQ(feed->GetOutputVessel(), a);
    EXPECT_EQ(feed->IsInputVessel(a) * 10 + feed->IsConnectingAndDrawable(), 10);

    Stream* same = f.Connect(a, b);
    Stream* cross = f.Connect(a, f.AddVessel(two, 30, "C"));
    std::string drawable;
    for (auto hide : {+[](Vessel*, Plane*) {}, +[](Vessel*v, Plane*) { v->SetShowConnections(0); },
                      +[](Vessel*, Plane*p) { p->SetVisible(false); }}) {
        hide(b, two);
        drawable += std::to_string(same->IsConnectingAndDrawable()) + std::to_string(cross->IsConnectingAndDrawable());
    }
    EXPECT_EQ(drawable, "110100");
    EXPECT_EQ(same->IsCrossFloor() * 10 + cross->IsCrossFloor(), 1);

    // Radius steps of five per cent, not below a hundredth.
    same->SetRadius(1.0);
    same->IncrementRadius(1.0);
    EXPECT_DOUBLE_EQ(same->GetRadius(), 1.05);
    same->IncrementRadius(0.0); // not positive: shrink
    EXPECT_DOUBLE_EQ(same->GetRadius(), 1.05 * 0.95);
    same->SetRadius(0.0105);
    same->IncrementRadius(-1.0); // 0.009975 is refused
    EXPECT_DOUBLE_EQ(same->GetRadius(), 0.0105);
}

TEST(StreamTest, PathEndPointsByKind)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1, 1.0);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    a->SetCoords(0.0, 0.0);
    b->SetCoords(4.0, 0.0);
    Stream* c = f.Connect(a, b);
    EXPECT_EQ(endpoints(c), (std::vector<double>{0.0, a->GetY(c), a->GetZ(c), 4.0, b->GetY(c), b->GetZ(c)}));
    // A feed comes in along +Y, a vent rises.
    Stream* feed = f.AddFeed(b);
    const double y = b->GetY(feed);
    const double z = b->GetZ(feed);
    EXPECT_EQ(endpoints(feed), (std::vector<double>{4.0, y - 2.0, z, 4.0, y, z}));
    Stream* vent = f.AddVapor(a, nullptr);
    const double vy = a->GetY(vent);
    const double vz = a->GetZ(vent);
    EXPECT_EQ(endpoints(vent), (std::vector<double>{a->GetX(vent), vy, vz, a->GetX(vent), vy, vz + 2.0}));
    TestStream unset; // no vessels: outputs left as they were
    EXPECT_EQ(endpoints(&unset), std::vector<double>(6, -99));
}

TEST(StreamTest, RowIdentifiersOfZeroBecomeMinusOne)
{
    CDaoStreamSet row;
    row.m_StreamID = 42;
    row.m_FromEquipmentID = 0;
    row.m_ToEquipmentID = 7;
    Plane floor;
    Vessel v;
    v.Init(&floor);
    Stream s(&row, &v, &v, Stream::Output);
    EXPECT_EQ((std::vector<long>{s.GetID(), s.GetFromID(), s.GetToID()}), (std::vector<long>{42, -1, 7}));
    EXPECT_EQ(v.GetOutputStream(), &s);
    EXPECT_EQ(v.GetNumInputAndOutputStreams(), 2);
}

} // namespace
} // namespace batchplant
