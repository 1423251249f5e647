#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "batchplant/db/StreamRecordsets.h"

namespace batchplant {
namespace {

using test::TestFacility;
using test::TestStream;

struct Endpoints {
    double x1 = -99, y1 = -99, z1 = -99, x2 = -99, y2 = -99, z2 = -99;
};

Endpoints endpoints(Stream* s)
{
    Endpoints e;
    static_cast<TestStream*>(s)->get_ves_coords(&e.x1, &e.y1, &e.z1, &e.x2, &e.y2, &e.z2);
    return e;
}

TEST(StreamTest, KindBitsEndVesselsAndNames)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    Stream* vapor = f.AddVapor(a, b);
    EXPECT_EQ(vapor->GetType(), 17);
    EXPECT_EQ(vapor->IsConnecting(), 1);
    EXPECT_EQ(vapor->IsVapor(), 1);
    EXPECT_EQ(vapor->IsUtility(), 0);
    EXPECT_EQ(vapor->IsInput(), 0);
    EXPECT_EQ(a->GetVaporStream(), vapor);
    EXPECT_EQ(a->GetNumStreams(), 1); // a connecting vapor stream is a process stream of both
    EXPECT_EQ(b->GetNumStreams(), 1);

    // End vessels depend on the kind.
    Stream* feed = f.AddFeed(a);
    EXPECT_EQ(feed->GetInputVessel(), nullptr); // held, but a feed has no source
    EXPECT_EQ(feed->GetOutputVessel(), a);
    EXPECT_EQ(feed->IsInputVessel(a), 1);
    EXPECT_EQ(feed->GetOtherVessel(a), nullptr);
    EXPECT_EQ(feed->GetFromID(), -1);
    Stream* c = f.Connect(a, b);
    EXPECT_EQ(c->GetOtherVessel(a), b);
    EXPECT_EQ(c->GetOtherVessel(b), a);
    EXPECT_EQ(c->GetInputVessel(), a);
    EXPECT_EQ(c->GetOutputVessel(), b);

    // Names use both ends, even for stubs.
    EXPECT_EQ(f.AddUtility(a)->GetName(), CString("[A] to [A]"));
    EXPECT_EQ(c->GetFullName(), CString("Connection: [A] to [B]"));
}

TEST(StreamTest, RadiusIsAThirdOfTheSmallerVessel)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel* big = f.AddVessel(floor, 10, "A");
    Vessel* small = f.AddVessel(floor, 20, "B");
    big->SetRadius(0.9);
    small->SetRadius(0.6);
    EXPECT_NEAR(f.Connect(big, small)->GetRadius(), 0.2, 1e-12);
    EXPECT_NEAR(f.Connect(small, big)->GetRadius(), 0.2, 1e-12);
    EXPECT_NEAR(f.AddUtility(big)->GetRadius(), 0.3, 1e-12);
}

TEST(StreamTest, IncrementRadiusStepsFivePercentAndStopsAtOneHundredth)
{
    Stream s;
    s.SetRadius(1.0);
    s.IncrementRadius(1.0);
    EXPECT_DOUBLE_EQ(s.GetRadius(), 1.05);
    s.IncrementRadius(0.0); // not positive: shrink
    EXPECT_DOUBLE_EQ(s.GetRadius(), 1.05 * 0.95);
    s.SetRadius(0.0105);
    s.IncrementRadius(-1.0); // 0.009975 is refused
    EXPECT_DOUBLE_EQ(s.GetRadius(), 0.0105);
}

TEST(StreamTest, CrossFloorAndDrawable)
{
    TestFacility f;
    Plane* one = f.AddFloor(1);
    Plane* two = f.AddFloor(2, 5.0);
    Vessel* a = f.AddVessel(one, 10, "A");
    Vessel* b = f.AddVessel(one, 20, "B");
    Vessel* c = f.AddVessel(two, 30, "C");
    Stream* same = f.Connect(a, b);
    Stream* cross = f.Connect(a, c);
    EXPECT_EQ(same->IsCrossFloor(), 0);
    EXPECT_EQ(cross->IsCrossFloor(), 1);
    EXPECT_EQ(same->IsConnectingAndDrawable(), 1);
    b->SetShowConnections(0);
    EXPECT_EQ(same->IsConnectingAndDrawable(), 0);
    two->SetVisible(false);
    EXPECT_EQ(cross->IsConnectingAndDrawable(), 0);
    EXPECT_EQ(f.AddUtility(a)->IsConnectingAndDrawable(), 0);
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
    Endpoints e = endpoints(c);
    EXPECT_DOUBLE_EQ(e.x1, 0.0);
    EXPECT_DOUBLE_EQ(e.x2, 4.0);
    EXPECT_DOUBLE_EQ(e.z1, a->GetZ(c));
    EXPECT_DOUBLE_EQ(e.z2, b->GetZ(c));

    Stream* feed = f.AddFeed(b);
    e = endpoints(feed);
    EXPECT_DOUBLE_EQ(e.x1, 4.0);
    EXPECT_DOUBLE_EQ(e.y1, e.y2 - 2.0); // comes in along +Y
    EXPECT_DOUBLE_EQ(e.z1, e.z2);
    EXPECT_DOUBLE_EQ(e.z2, b->GetZ(feed));

    Stream* vent = f.AddVapor(a, nullptr);
    e = endpoints(vent);
    EXPECT_DOUBLE_EQ(e.y1, a->GetY(vent));
    EXPECT_DOUBLE_EQ(e.z2, e.z1 + 2.0); // rises
    EXPECT_DOUBLE_EQ(e.x1, e.x2);

    TestStream unset; // no vessels: outputs left as they were
    e = endpoints(&unset);
    EXPECT_DOUBLE_EQ(e.x1, -99);
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
    EXPECT_EQ(s.GetID(), 42);
    EXPECT_EQ(s.GetFromID(), -1);
    EXPECT_EQ(s.GetToID(), 7);
    EXPECT_NE(s.GetProc(), nullptr);
    EXPECT_EQ(v.GetOutputStream(), &s);
    EXPECT_EQ(v.GetNumInputAndOutputStreams(), 2);
}

} // namespace
} // namespace batchplant
