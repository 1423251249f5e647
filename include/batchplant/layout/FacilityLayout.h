#pragma once
// The layout wizard's bookkeeping: while Facility::CalculateLayout runs, one
// angle record per vessel of the facility (same index) lists the directions
// already taken around that vessel, so that children avoid their siblings
// and their parent.

#include <vector>

namespace batchplant {

class Facility;

// Directions in degrees, normalised to 0.01 .. 360.0. Two directions
// collide when one lies strictly within 2.0 degrees of the other.
struct AngleRecord {
    // A record holds at most this many directions; further ones are not
    // recorded.
    static constexpr int kMaxAngles = 64;

    int count = 0;
    double angles[kMaxAngles] = {};
    // Beside each direction, the unique neighbour count of the child for
    // which it was taken.
    short tags[kMaxAngles] = {};

    // 1 when `angle` (already normalised) collides with a recorded one.
    int Collides(double angle) const;
    // Records a normalised direction with its tag; 0 when the record is full.
    int Add(double angle, short tag);
};

// The wizard's scratch state for one run: an angle record per vessel of the
// facility, installed in it while the scope lives. CalculateLayout opens one
// for its run; outside a scope the wizard searches against a record it
// throws away.
class LayoutScope {
public:
    explicit LayoutScope(Facility& facility);
    ~LayoutScope();
    LayoutScope(const LayoutScope&) = delete;
    LayoutScope& operator=(const LayoutScope&) = delete;

    // The record of the vessel at position i; null without one.
    AngleRecord* Record(int i);
    // The scope open on the facility, or null.
    static LayoutScope* Open(const Facility& facility);

private:
    Facility& m_facility;
    LayoutScope* m_outer;
    std::vector<AngleRecord> m_records;
};

// Adds 360.0 while below 0.01, subtracts 360.0 while above 360.0. A value
// that is not finite comes back unchanged.
double NormaliseAngle(double degrees);

// 1 when the two directions lie strictly within 2.0 degrees of each other.
int AnglesCollide(double a, double b);

} // namespace batchplant
