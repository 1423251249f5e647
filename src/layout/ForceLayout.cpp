// The force-directed arrangement of the vessels of a floor. Each iteration
// computes one displacement request per vessel from the same positions
// (attraction towards the others, strong towards connected vessels;
// repulsion between vessels close for their size; a Y shift putting feeds
// below and products above), then moves every vessel that is not pinned by
// a fifth of its request, at most five radii per axis.

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"

namespace batchplant {

namespace {

// Vessels nearer than this neither attract nor, with a repulsive order of 0
// or below, repel each other: the direction between them is meaningless.
constexpr double kCoincident = 0.01;

// The capacity's cube root as the force model takes it. A capacity that is
// not a finite positive number contributes no repulsion.
double capacityRoot(const Vessel* v)
{
    const double c = v->Capacity();
    if (!std::isfinite(c) || c <= 0.0) return 0.0;
    return std::pow(c, 0.3333333);
}

} // namespace

// --- Vessel -------------------------------------------------------------

void Vessel::MoveByForce()
{
    if (m_pinned) return;
    const double limit = m_radius * 5.0;
    double mx = m_force.x / 5.0;
    double my = m_force.y / 5.0;
    if (std::fabs(mx) > limit) mx = std::copysign(limit, mx);
    if (std::fabs(my) > limit) my = std::copysign(limit, my);
    // A request that is not a number (from a vessel of unusable size)
    // moves nothing, so positions stay finite.
    if (std::isfinite(mx)) m_relX -= mx;
    if (std::isfinite(my)) m_relY -= my;
}

// --- Plane --------------------------------------------------------------

namespace {

// What the force terms read of the floor's vessels, taken once per
// distribution: the positions do not change until the moves, and a
// vessel's visibility takes a look at its class and streams.
struct Body {
    Vessel* vessel;
    double x, y, radius, capacityRoot;
    bool visible;
};

struct Field {
    std::vector<Body> bodies;
    std::unordered_map<const Vessel*, bool> visibleByVessel; // registered vessels only

    explicit Field(const List<Vessel*>& vessels)
    {
        bodies.reserve(static_cast<std::size_t>(vessels.GetCount()));
        for (int k = 0; k < vessels.GetCount(); ++k) {
            Vessel* u = vessels.GetAt(k);
            if (!u) continue;
            const bool visible = u->IsVisible();
            bodies.push_back({u, u->GetRelX(), u->GetRelY(), u->GetRadius(), capacityRoot(u), visible});
            visibleByVessel.emplace(u, visible);
        }
    }
};

Vector attraction(const Vessel* v, const Field& field, double strength, short order)
{
    Vector f;
    const double x = v->GetRelX();
    const double y = v->GetRelY();
    for (const Body& u : field.bodies) {
        if (u.vessel == v || !u.visible) continue;
        const double dx = u.x - x;
        const double dy = u.y - y;
        const double d = std::sqrt(dx * dx + dy * dy);
        if (!(d > kCoincident)) continue;
        double pull = strength * 0.1 / d;
        if (v->IsConnectingVessel(u.vessel)) pull = std::pow(d, order) * strength / 100.0;
        const double g = pull / d;
        f.x -= g * dx;
        f.y -= g * dy;
    }
    return f;
}

Vector repulsion(const Vessel* v, const Field& field, double strength, short order)
{
    Vector f;
    const double x = v->GetRelX();
    const double y = v->GetRelY();
    const double cv = capacityRoot(v);
    const double rv = v->GetRadius();
    for (const Body& u : field.bodies) {
        if (u.vessel == v || !u.visible) continue;
        const double dx = u.x - x;
        const double dy = u.y - y;
        const double d = std::sqrt(dx * dx + dy * dy);
        // With a positive order d^order falls to 0 with d and the window
        // below leaves out coincident vessels by itself. With an order of 0
        // or below it no longer does (d^0 is 1 at any distance), so such
        // pairs are left out here, as for attraction, rather than divided
        // by a zero distance.
        if (order <= 0 && !(d > kCoincident)) continue;
        const double p = std::pow(d, order);
        const double s = u.radius + rv;
        if (!(s / 100.0 < p && p < s * 10.0)) continue;
        const double push = strength * cv * u.capacityRoot / p / d;
        f.x += push * dx;
        f.y += push * dy;
    }
    return f;
}

Vector leftRight(const Vessel* v, const Field& field, double strength, int registered)
{
    Vector f;
    if (registered == 0) return f;
    std::int16_t in = 0;
    std::int16_t out = 0;
    for (int j = 0; j < v->GetNumStreams(); ++j) {
        const Stream* s = v->GetStreamByIndex(j);
        const Vessel* u = s ? s->GetOtherVessel(v) : nullptr;
        if (!u) continue;
        const auto it = field.visibleByVessel.find(u);
        if (it == field.visibleByVessel.end() || !it->second) continue;
        if (u == s->GetInputVessel()) ++in;
        if (u == s->GetOutputVessel()) ++out;
    }
    const auto shift = static_cast<std::int16_t>(out - in);
    f.y = shift * strength * 10.0 / registered;
    return f;
}

} // namespace

void Plane::DistributeVessels()
{
    // The same as setVesselForce for every vessel in order, reading the
    // floor once.
    const Field field(m_vessels);
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (!v) continue;
        v->SetForceVector(repulsion(v, field, m_repulsiveForce, m_repulsiveOrder));
        v->IncForceVector(attraction(v, field, m_attractiveForce, m_attractiveOrder));
        v->IncForceVector(leftRight(v, field, m_lrForce, m_vessels.GetCount()));
    }
}

void Plane::MoveVesselsByForce()
{
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (Vessel* v = m_vessels.GetAt(i)) v->MoveByForce();
}

void Plane::setVesselForce(int i)
{
    Vessel* v = GetVesselByIndex(i);
    if (!v) return;
    v->SetForceVector(getRepulsiveForce(v));
    v->IncForceVector(getAttractiveForce(v));
    v->IncForceVector(getLeftRightForce(v));
}

Vector Plane::getAttractiveForce(Vessel* v)
{
    return v ? attraction(v, Field(m_vessels), m_attractiveForce, m_attractiveOrder) : Vector{};
}

Vector Plane::getRepulsiveForce(Vessel* v)
{
    return v ? repulsion(v, Field(m_vessels), m_repulsiveForce, m_repulsiveOrder) : Vector{};
}

Vector Plane::getLeftRightForce(Vessel* v)
{
    return v ? leftRight(v, Field(m_vessels), m_lrForce, m_vessels.GetCount()) : Vector{};
}

void Plane::CrawlThroughConnections(Vessel* v, short* marks)
{
    if (!v || !marks) return;
    std::unordered_map<const Vessel*, int> position;
    for (int i = m_vessels.GetCount() - 1; i >= 0; --i)
        position[m_vessels.GetAt(i)] = i; // the first registration wins
    auto indexOf = [&](const Vessel* u) {
        const auto it = position.find(u);
        return it == position.end() ? -1 : it->second;
    };
    const int start = indexOf(v);
    if (start >= 0) marks[start] = 1;
    // Depth first in stream order, on a stack of our own so that a long
    // chain of vessels cannot exhaust the thread's stack. Each entry is a
    // vessel and the next of its streams to follow.
    struct Step {
        const Vessel* vessel;
        int nextStream;
    };
    std::vector<Step> stack{{v, 0}};
    while (!stack.empty()) {
        Step& top = stack.back();
        if (top.nextStream >= top.vessel->GetNumStreams()) {
            stack.pop_back();
            continue;
        }
        const Stream* s = top.vessel->GetStreamByIndex(top.nextStream++);
        Vessel* u = s ? s->GetOtherVessel(top.vessel) : nullptr;
        if (!u) continue;
        const int k = indexOf(u);
        if (k < 0 || marks[k]) continue;
        marks[k] = 1;
        stack.push_back({u, 0}); // invalidates `top`, which is not used after
    }
}

void Plane::FindVesselClusters()
{
    const int n = m_vessels.GetCount();
    std::vector<short> scratch(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const Vessel* v = m_vessels.GetAt(i);
        if (!v) continue;
        for (int j = 0; j < v->GetNumStreams(); ++j) {
            const Stream* s = v->GetStreamByIndex(j);
            Vessel* u = s ? s->GetOtherVessel(v) : nullptr;
            if (!u) continue;
            std::fill(scratch.begin(), scratch.end(), short{0});
            CrawlThroughConnections(u, scratch.data());
        }
    }
}

// --- Facility -----------------------------------------------------------

void Facility::IncrementVesselPositions()
{
    Plane* p = GetSelectedFloor();
    if (!p) return;
    p->DistributeVessels();
    p->MoveVesselsByForce();
}

void Facility::DistributeSelectedFloor()
{
    for (int i = 0; i < m_floors.GetCount(); ++i)
        if (Plane* p = m_floors.GetAt(i)) p->DistributeVessels();
}

void Facility::DebugVesselCrawl()
{
    if (m_floors.GetCount() == 0) return;
    if (Plane* p = m_floors.GetAt(0)) p->FindVesselClusters();
}

} // namespace batchplant
