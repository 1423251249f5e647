// The layout wizard: the vessels of one floor grow as a tree from the most
// connected one, which stands at the floor's centre. Each placed vessel
// spreads its unplaced neighbours on a circle around itself, the vessels it
// feeds on the +Y side and those feeding it on the -Y side, the better
// connected ones in earlier passes and farther out.

#include <cmath>
#include <vector>

#include "batchplant/layout/FacilityLayout.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/platform/MessageBox.h"

namespace batchplant {

namespace {

constexpr double kCollisionDegrees = 2.0;
// The candidate directions of one side are tried with up to this many
// (exclusive) evenly spaced directions before the search gives up.
constexpr int kMaxCandidates = 128;
// Incoming and outgoing lists of one pass and the placed list of one call.
constexpr int kMaxListed = AngleRecord::kMaxAngles;

// A vessel the wizard may still move on floor p.
bool isCandidate(const Vessel* v, const Plane* p) { return v && !v->PositionAssigned(p); }

// A radius that is not a finite, non-negative number (a vessel sized from a
// capacity the database got wrong) counts as 0, so that positions stay
// finite.
double usableRadius(const Vessel* v)
{
    const double r = v->GetRadius();
    return (std::isfinite(r) && r > 0.0) ? r : 0.0;
}

short tagOf(int uniqueNeighbours)
{
    if (uniqueNeighbours > 32767) return 32767;
    if (uniqueNeighbours < -32768) return -32768;
    return static_cast<short>(uniqueNeighbours);
}

} // namespace

double NormaliseAngle(double degrees)
{
    if (!std::isfinite(degrees)) return degrees;
    // Far-off values are brought near the range first so the loops below
    // take a step or two.
    if (degrees < -720.0 || degrees > 720.0) degrees = std::fmod(degrees, 360.0);
    while (degrees < 0.01)
        degrees += 360.0;
    while (degrees > 360.0)
        degrees -= 360.0;
    return degrees;
}

int AnglesCollide(double a, double b) { return std::fabs(a - b) < kCollisionDegrees ? 1 : 0; }

int AngleRecord::Collides(double angle) const
{
    for (int k = 0; k < count && k < kMaxAngles; ++k)
        if (AnglesCollide(angles[k], angle)) return 1;
    return 0;
}

int AngleRecord::Add(double angle, short tag)
{
    if (count < 0 || count >= kMaxAngles) return 0;
    angles[count] = angle;
    tags[count] = tag;
    ++count;
    return 1;
}

LayoutScope::LayoutScope(Facility& facility)
    : m_facility(facility), m_outer(facility.m_layoutScope),
      m_records(static_cast<std::size_t>(facility.GetNumVessels()))
{
    facility.m_layoutScope = this;
}

LayoutScope::~LayoutScope() { m_facility.m_layoutScope = m_outer; }

AngleRecord* LayoutScope::Record(int i)
{
    return (i >= 0 && static_cast<std::size_t>(i) < m_records.size()) ? &m_records[static_cast<std::size_t>(i)]
                                                                      : nullptr;
}

LayoutScope* LayoutScope::Open(const Facility& facility) { return facility.m_layoutScope; }

void Facility::LayoutFloor(Plane* p)
{
    if (!p) return;
    p->ClearVesselPlacement();
    CalculateLayout(p);
    MarkModified(1);
}

void Facility::CalculateLayout(Plane* p)
{
    if (!p) return;
    // The records live for this call only; the scope takes them away even if
    // a message box handler throws.
    LayoutScope scope(*this);
    PlaceChildVessels(SetCenter(p), 1, p);
}

int Facility::SetCenter(Plane* p)
{
    const int n = m_vessels.GetCount();
    int bestUnique = 0;
    for (int i = 0; i < n; ++i) {
        const Vessel* v = m_vessels.GetAt(i);
        if (isCandidate(v, p) && v->GetNumUniqueStreams() > bestUnique) bestUnique = v->GetNumUniqueStreams();
    }
    int bestScore = 0;
    for (int i = 0; i < n; ++i) {
        const Vessel* v = m_vessels.GetAt(i);
        if (isCandidate(v, p) && v->GetNumUniqueStreams() == bestUnique && v->GetConnectScore() > bestScore)
            bestScore = v->GetConnectScore();
    }
    for (int i = 0; i < n; ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (isCandidate(v, p) && v->GetNumUniqueStreams() == bestUnique && v->GetConnectScore() == bestScore) {
            v->SetCoords(0.0, 0.0);
            v->SetPositionFlag(1);
            return i;
        }
    }
    return -1;
}

int Facility::AllChildVesselsAssigned(int i, Plane* p)
{
    if (i < 0 || i >= m_vessels.GetCount()) return 1;
    const Vessel* v = m_vessels.GetAt(i);
    if (!v) return 1;
    for (int j = 0; j < v->GetNumStreams(); ++j)
        if (isCandidate(v->GetConnectingVessel(j), p)) return 0;
    return 1;
}

void Facility::PlaceChildVessels(int i, int depth, Plane* p)
{
    // Each generation is a frame on a stack of our own rather than a nested
    // call, so that a long chain of vessels cannot exhaust the thread's
    // stack. The frames are visited in the same order as nested calls would.
    struct Frame {
        int vessel;
        int depth;
        int placed[kMaxListed];
        int placedCount;
        int nextPlaced; // position in the placed list
        int nextVessel; // position in the facility's vessels for that entry
    };
    std::vector<Frame> stack;
    // A placed vessel leaves the candidates, so a vessel is entered once and
    // again only when a neighbour lists it after a failed placement. Should
    // the placement state not hold (a vessel still a candidate once placed),
    // two neighbours would place each other without end: a vessel is
    // entered at most once per stream and once more.
    std::vector<int> entries(static_cast<std::size_t>(m_vessels.GetCount()), 0);

    // Places the unplaced neighbours of vessel `index` pass by pass and
    // pushes its frame.
    auto enter = [&](int index, int level) {
        if (index < 0 || index >= m_vessels.GetCount()) return;
        Vessel* v = m_vessels.GetAt(index);
        if (v && entries[static_cast<std::size_t>(index)]++ > v->GetNumStreams()) return;
        Frame frame{};
        frame.vessel = index;
        frame.depth = level;
        while (v && AllChildVesselsAssigned(index, p) == 0) {
            const int streams = v->GetNumStreams();
            int bestUnique = 0;
            for (int j = 0; j < streams; ++j) {
                const Vessel* c = v->GetConnectingVessel(j);
                if (isCandidate(c, p) && c->GetNumUniqueStreams() > bestUnique) bestUnique = c->GetNumUniqueStreams();
            }
            int bestScore = 0;
            for (int j = 0; j < streams; ++j) {
                const Vessel* c = v->GetConnectingVessel(j);
                if (isCandidate(c, p) && c->GetNumUniqueStreams() == bestUnique && c->GetConnectScore() > bestScore)
                    bestScore = c->GetConnectScore();
            }
            int incoming[kMaxListed];
            int outgoing[kMaxListed];
            int numIn = 0;
            int numOut = 0;
            for (int j = 0; j < streams; ++j) {
                const Vessel* c = v->GetConnectingVessel(j);
                if (!isCandidate(c, p) || c->GetNumUniqueStreams() != bestUnique || c->GetConnectScore() != bestScore)
                    continue;
                bool added = false;
                if (v->IsInputVessel(j) && numIn < kMaxListed) {
                    incoming[numIn++] = j;
                    added = true;
                }
                if (v->IsOutputVessel(j) && numOut < kMaxListed) {
                    outgoing[numOut++] = j;
                    added = true;
                }
                if (added && frame.placedCount < kMaxListed) frame.placed[frame.placedCount++] = j;
            }
            if (numOut > 0) AssignVesselPosition(numOut, outgoing, index, level, Outgoing);
            if (numIn > 0) AssignVesselPosition(numIn, incoming, index, level, Incoming);

            // A pass that places nobody would repeat itself for ever (no free
            // direction was left, or no neighbour could be listed): the
            // remaining neighbours stay unplaced.
            bool progress = false;
            for (int k = 0; k < numOut && !progress; ++k)
                progress = !isCandidate(v->GetConnectingVessel(outgoing[k]), p);
            for (int k = 0; k < numIn && !progress; ++k)
                progress = !isCandidate(v->GetConnectingVessel(incoming[k]), p);
            if (!progress) break;
        }
        stack.push_back(frame);
    };

    enter(i, depth);
    while (!stack.empty()) {
        const std::size_t top = stack.size() - 1;
        Frame& f = stack[top];
        if (f.nextPlaced >= f.placedCount) {
            stack.pop_back();
            continue;
        }
        const Vessel* child = m_vessels.GetAt(f.vessel)->GetConnectingVessel(f.placed[f.nextPlaced]);
        int found = -1;
        for (int m = f.nextVessel; m < m_vessels.GetCount(); ++m) {
            if (child && m_vessels.GetAt(m) == child) {
                found = m;
                break;
            }
        }
        if (found < 0) {
            ++f.nextPlaced;
            f.nextVessel = 0;
            continue;
        }
        f.nextVessel = found + 1;
        const int level = f.depth + 1;
        enter(found, level); // may reallocate the stack; `f` is not used after
    }
}

void Facility::AssignVesselPosition(int n, int* streams, int i, int depth, StreamDir side)
{
    (void)depth; // the generation has no effect on positions
    if (!streams || n <= 0 || i < 0 || i >= m_vessels.GetCount()) return;
    if (n > kMaxListed) n = kMaxListed;
    const Vessel* parent = m_vessels.GetAt(i);
    if (!parent) return;
    const Vessel* first = parent->GetConnectingVessel(streams[0]);
    if (!first) return;
    const int unique = first->GetNumUniqueStreams();
    const double px = parent->GetRelX();
    const double py = parent->GetRelY();
    const double r = usableRadius(parent);

    double buffer[kMaxListed];
    const double* angles = GetAngleList(i, unique, buffer, n, side);
    if (!angles) return;

    for (int k = 0; k < n; ++k) {
        Vessel* c = parent->GetConnectingVessel(streams[k]);
        if (!c) continue;
        const double a = angles[k];
        const double d = (usableRadius(c) + r) * (unique + 1);
        const double rad = a * 3.14159265359 / 180.0;
        c->SetCoords(px + d * std::sin(rad), py + d * std::cos(rad));
        c->SetPositionFlag(1);
        // The child remembers where its parent stands, so that its own
        // children keep clear of that direction.
        for (int m = 0; m_layoutScope && m < m_vessels.GetCount(); ++m) {
            if (m_vessels.GetAt(m) != c) continue;
            if (AngleRecord* record = m_layoutScope->Record(m)) {
                const double back = NormaliseAngle(a + 180.0);
                if (!record->Collides(back)) record->Add(back, tagOf(unique));
            }
            break;
        }
    }
}

double* Facility::GetAngleList(int i, int tag, double* out, int n, StreamDir side)
{
    if (!out || n <= 0) return out;
    // Outside CalculateLayout (or for an index without a record) the search
    // runs against an empty record that is thrown away afterwards.
    AngleRecord scratch;
    AngleRecord* held = m_layoutScope ? m_layoutScope->Record(i) : nullptr;
    AngleRecord& record = held ? *held : scratch;
    if (n <= kMaxListed) {
        const double base = (side == Outgoing) ? -90.0 : 90.0;
        int found = 0;
        for (int m = n; m < kMaxCandidates; ++m) {
            const double step = 180.0 / (m + 1);
            int free = 0;
            for (int k = 1; k <= m; ++k)
                if (!record.Collides(NormaliseAngle(base + k * step))) ++free;
            if (free < n) continue;
            for (int k = 1; k <= m; ++k) {
                const double a = base + k * step;
                const double normalised = NormaliseAngle(a);
                if (record.Collides(normalised)) continue;
                out[found++] = a;
                record.Add(normalised, tagOf(tag));
                if (found == n) return out;
            }
        }
    }
    AfxMessageBox("Error: GetAngleList failed\n");
    return nullptr;
}

void Facility::MoveInventoryLocations()
{
    if (m_floors.GetCount() != 1) return;
    auto isBusyInventory = [](const Vessel* v, int least) {
        return v && v->GetClass().CompareNoCase("Inventory Location") == 0 && v->GetNumUniqueStreams() >= least;
    };
    bool any = false;
    for (int i = 0; i < m_vessels.GetCount() && !any; ++i)
        any = isBusyInventory(m_vessels.GetAt(i), 3);
    if (!any) return;
    const int answer = AfxMessageBox("The Layout Wizard has determined that you have one or more\n"
                                     "Inventory Locations with multiple connections which may affect\n"
                                     "the quality of the layout.\n\n"
                                     "Would you like to hide these Inventory Locations ?",
                                     MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES) return;
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (isBusyInventory(v, 3)) v->SetVisible(false);
    }
    Plane* floor = m_floors.GetAt(0);
    if (!floor) return;
    floor->ClearVesselPlacement();
    CalculateLayout(floor);
}

void Facility::SelectUnplacedVessels(Plane* p)
{
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (isCandidate(v, p)) v->EnableHighlight();
    }
    UpdateSelectionStatus();
}

} // namespace batchplant
