#pragma once
// Building blocks for the model tests: a facility whose floors, vessels and
// streams a test lays out by hand (through the facility's own factories, the
// way a host's derived facility would), and a vessel and a stream class that
// open their protected hooks.

#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::test {

// A host's own vessel class: identity can be set without a database row,
// and it counts the hook calls the facility and Init make.
class TestVessel : public Vessel {
public:
    void SetIdentity(long id, const CString& cls, const CString& tag, int plantID = 0)
    {
        m_id = id;
        m_class = cls;
        m_tag = tag;
        m_plantID = plantID;
    }
    void SetPlantNameForTest(const CString& name) { m_plantName = name; }
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
    int reactOff = 0;

protected:
    void init() override
    {
        ++initCalls;
        Vessel::init();
    }
    void pre_init() override
    {
        ++preInitCalls;
        Vessel::pre_init();
    }
    void EnableReact() override { ++reactOn; }
    void DisableReact() override { ++reactOff; }
};

// Opens the path end points.
class TestStream : public Stream {
public:
    using Stream::get_ves_coords;
    void SetFlowingForTest(int flowing) { m_flowing = flowing; }
};

// A facility laid out by the test. Its factories create the test classes,
// as a host's derived facility would.
class TestFacility : public Facility {
public:
    using Facility::getFloorWithPlantID;
    using Facility::getLastPlane;
    using Facility::getLastStream;
    using Facility::getLastUniStream;
    using Facility::getPlane;
    using Facility::getStream;
    using Facility::getUniStream;
    using Facility::getUtilStream;
    using Facility::getVaporStream;
    using Facility::loadCalendars;
    using Facility::loadPlanSummary;
    using Facility::loadStepSummary;
    using Facility::TwoKey;

    int vesselsMade = 0;
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

    Stream* Connect(Vessel* from, Vessel* to, long id = 1)
    {
        Stream* s = addStream();
        s->Init(id, from->GetID(), to->GetID(), from, to, Stream::Connecting);
        adoptStream(s);
        return s;
    }

    Stream* AddFeed(Vessel* to, long id = 2)
    {
        Stream* s = addStream();
        s->Init(id, -1, to->GetID(), to, to, Stream::Input);
        adoptStream(s);
        return s;
    }

    Stream* AddUtility(Vessel* v, long id = 3)
    {
        Stream* s = addStream();
        s->Init(id, -1, v->GetID(), v, v, Stream::Utility);
        adoptStream(s);
        return s;
    }

    Stream* AddVapor(Vessel* from, Vessel* to, long id = 4)
    {
        Stream* s = addStream();
        if (to)
            s->Init(id, from->GetID(), to->GetID(), from, to, Stream::Vapor | Stream::Connecting);
        else
            s->Init(id, from->GetID(), -1, from, from, Stream::Vapor);
        adoptStream(s);
        return s;
    }

    void MarkLoadedFromDatabase() { markLoadedFromDatabase(); }
    void SetStartTimeForTest(const COleDateTime& t) { setStartTime(t); }

protected:
    Vessel* addVessel(const CString&) override { return new TestVessel(); }
    Plane* addPlane() override
    {
        ++planesMade;
        return Facility::addPlane();
    }
    void deletePlane(Plane* plane) override
    {
        ++planesDeleted;
        Facility::deletePlane(plane);
    }
    Stream* addStream() override { return new TestStream(); }
};

} // namespace batchplant::test
