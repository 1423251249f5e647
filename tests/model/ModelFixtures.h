#pragma once
// A facility laid out by hand through its own factories, as a host's derived one would; a vessel and stream opened.

#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::test {

inline double cylinderVolume(const Vessel& v) { return 3.14159265359 * v.GetRadius() * v.GetRadius() * v.GetHeight(); }

// Identity without a database row; counts the hook calls of Init and of the time-driven state.
class TestVessel : public Vessel {
public:
    void SetIdentity(long id, const CString& cls, const CString& tag, int plantID = 0, const CString& plantName = "")
    {
        m_id = id;
        m_class = cls;
        m_tag = tag;
        m_plantID = plantID;
        m_plantName = plantName;
    }
    void SetCapacityForTest(double capacity) { m_capacity = capacity; }
    void SetActiveForTest(int active) { m_active = active; }

    using Vessel::DisableCool;
    using Vessel::DisableHeat;
    using Vessel::EnableCool;
    using Vessel::EnableHeat;
    using Vessel::set_size;

    int initCalls = 0;
    int preInitCalls = 0;
    int reactOn = 0;

protected:
    void init() override { ++initCalls, Vessel::init(); }
    void pre_init() override { ++preInitCalls, Vessel::pre_init(); }
    void EnableReact() override { ++reactOn; }
    void DisableReact() override {}
};

class TestStream : public Stream {
public:
    using Stream::get_ves_coords;
    void SetFlowingForTest(int flowing) { m_flowing = flowing; }
};

class TestFacility : public Facility {
public:
    using Facility::getFloorWithPlantID;
    using Facility::getStream;
    using Facility::getUtilStream;
    using Facility::loadPlanSummary;
    using Facility::loadStepSummary;

    int planesMade = 0;
    int planesDeleted = 0;

    Plane* AddFloor(int id, double height = 0.0, int plantID = -1)
    {
        Plane* p = addPlane();
        adoptFloor(p);
        p->SetID(id);
        p->SetHeight(height);
        if (plantID != -1) p->SetPlantID(plantID);
        return p;
    }
    TestVessel* AddVessel(Plane* floor, long id, const CString& tag = "V", const CString& cls = "Reactor",
                          int plantID = 0)
    {
        auto* v = static_cast<TestVessel*>(addVessel(cls));
        adoptVessel(v);
        v->Init(floor);
        v->SetIdentity(id, cls, tag, plantID);
        return v;
    }
    Stream* Connect(Vessel* from, Vessel* to, long id = 1) { return add(id, from, to, Stream::Connecting); }
    Stream* AddFeed(Vessel* to, long id = 2) { return add(id, nullptr, to, Stream::Input); }
    Stream* AddUtility(Vessel* v, long id = 3) { return add(id, nullptr, v, Stream::Utility); }
    // Without `to` an emission to nowhere.
    Stream* AddVapor(Vessel* from, Vessel* to, long id = 4)
    {
        return to ? add(id, from, to, Stream::Vapor | Stream::Connecting) : add(id, from, nullptr, Stream::Vapor);
    }

    void MarkLoadedFromDatabase() { markLoadedFromDatabase(); }
    void SetStartTimeForTest(const COleDateTime& t) { setStartTime(t); }

protected:
    Vessel* addVessel(const CString&) override { return new TestVessel(); }
    Plane* addPlane() override { return ++planesMade, Facility::addPlane(); }
    void deletePlane(Plane* plane) override { ++planesDeleted, Facility::deletePlane(plane); }
    Stream* addStream() override { return new TestStream(); }

private:
    // A missing end is -1 and both vessel slots hold the one vessel.
    Stream* add(long id, Vessel* from, Vessel* to, Stream::StreamType type)
    {
        Stream* s = addStream();
        s->Init(id, from ? from->GetID() : -1, to ? to->GetID() : -1, from ? from : to, to ? to : from, type);
        adoptStream(s);
        return s;
    }
};

} // namespace batchplant::test
