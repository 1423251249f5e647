#pragma once
// Hand-built facilities for the animation tests: the model tests' facility
// with vessel and stream classes that open the protected time-driven hooks.

#include <map>
#include <string>

#include "../model/ModelFixtures.h"
#include "TestSupport.h"
#include "batchplant/animation/AnimTimeline.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant::test {

// Adds one operation running from start to end seconds whose contents at
// the end are `volume` cubic metres. Operation types are shared texts under
// step, unit procedure and operation, so each type gets its own operation.
inline void AddUnit(CProcedure* p, long batch, long start, long end, double volume = 0.0, const char* opType = "Charge",
                    const char* label = "op", long streamID = -1)
{
    static std::map<std::string, long> operations;
    const long opID = operations.emplace(opType, static_cast<long>(operations.size()) + 1).first->second;
    p->AddNewProc(batch, opID, 1, 1, static_cast<double>(start), static_cast<double>(end), "s", volume, "Cubic m", 0.0,
                  0.0, "K", 0.0, 0.0, "Pa", "", "", "", label, opType, "", "UP", streamID, 0.0, "");
}

class AnimVessel : public TestVessel {
public:
    using Vessel::set_conts_color;
    void SetRadiusForTest(double r) { m_radius = r; }
};

class AnimStream : public TestStream {
public:
    using Stream::set_conts_color;
    using Stream::setflow;
};

class AnimFacility : public TestFacility {
public:
    using Facility::setStreamTimes;
    const AnimTimeline* Timeline() const { return timeline(); }

    AnimVessel* Add(Plane* floor, long id, const CString& tag = "V", const CString& cls = "Reactor")
    {
        return static_cast<AnimVessel*>(AddVessel(floor, id, tag, cls));
    }

protected:
    Vessel* addVessel(const CString& name) override
    {
        (void)name;
        ++vesselsMade;
        return new AnimVessel();
    }
    Stream* addStream() override { return new AnimStream(); }
};

} // namespace batchplant::test
