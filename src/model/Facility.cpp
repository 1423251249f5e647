// The facility object: construction and teardown, the factories, counts,
// access by position and lookups.

#include "batchplant/model/Facility.h"

#include "batchplant/animation/AnimTimeline.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"

namespace batchplant {

Facility::Facility()
{
    m_document = nullptr;
    m_simulationTime = COleDateTime(0.0);
    m_loadedFromDatabase = 0;
    m_threeDControl = nullptr;
    m_ganttControl = nullptr;
    init();
}

Facility::~Facility() { deallocate(); }

void Facility::init()
{
    m_multiSelect = 0;
    m_zoomOnObject = 0;
    m_vesselSelected = 0;
    m_pipeSelected = 0;
    m_floorSelected = 0;
    m_modified = 0;
    m_isPlan = 0;
    m_framesPerOp = 5;
    m_timeline.reset();
    m_startTime = COleDateTime::GetCurrentTime();
    m_name.Empty();
    m_showVessels = 1;
    m_showPipes = 1;
    m_showStraightPipes = 0;
    m_showCrossFloorPipes = 1;
    m_showFloors = 1;
    m_showGlobalLabels = 1;
    m_calendar.reset();
    for (auto& corner : m_backCorners)
        corner[0] = corner[1] = corner[2] = 0;
}

void Facility::deallocate()
{
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        delete m_vessels.GetAt(i);
    m_vessels.RemoveAll();
    for (int i = 0; i < m_floors.GetCount(); ++i)
        delete m_floors.GetAt(i);
    m_floors.RemoveAll();
    for (int i = 0; i < m_streams.GetCount(); ++i)
        delete m_streams.GetAt(i);
    m_streams.RemoveAll();
    for (int i = 0; i < m_uniStreams.GetCount(); ++i)
        delete m_uniStreams.GetAt(i);
    m_uniStreams.RemoveAll();
    for (int i = 0; i < m_utilityStreams.GetCount(); ++i)
        delete m_utilityStreams.GetAt(i);
    m_utilityStreams.RemoveAll();
    for (int i = 0; i < m_vaporStreams.GetCount(); ++i)
        delete m_vaporStreams.GetAt(i);
    m_vaporStreams.RemoveAll();
    m_timeline.reset();
    m_calendar.reset();
}

void Facility::adoptFloor(Plane* floor)
{
    if (floor) m_floors.Add(floor);
}

void Facility::adoptVessel(Vessel* vessel)
{
    if (vessel) m_vessels.Add(vessel);
}

void Facility::adoptStream(Stream* stream)
{
    if (!stream) return;
    if (stream->IsVapor())
        m_vaporStreams[TwoKey(static_cast<int>(stream->GetFromID()), static_cast<int>(stream->GetToID()))] = stream;
    else if (stream->IsUtility())
        m_utilityStreams[stream->GetToID()] = stream;
    else if (stream->IsConnecting())
        m_streams.Add(stream);
    else
        m_uniStreams.Add(stream);
}

Vessel* Facility::addVessel(const CString&) { return new Vessel(); }

Plane* Facility::addPlane() { return new Plane(); }

void Facility::deletePlane(Plane* plane) { delete plane; }

Stream* Facility::addStream() { return new Stream(); }

Plane* Facility::GetFloorByIndex(int i) const
{
    return (i >= 0 && i < m_floors.GetCount()) ? m_floors.GetAt(i) : nullptr;
}

Vessel* Facility::GetVesselByIndex(int i) const
{
    return (i >= 0 && i < m_vessels.GetCount()) ? m_vessels.GetAt(i) : nullptr;
}

Stream* Facility::GetStreamByIndex(int i) const
{
    return (i >= 0 && i < m_streams.GetCount()) ? m_streams.GetAt(i) : nullptr;
}

Stream* Facility::GetUniStreamByIndex(int i) const
{
    return (i >= 0 && i < m_uniStreams.GetCount()) ? m_uniStreams.GetAt(i) : nullptr;
}

Stream* Facility::GetUtilStreamByIndex(int i) const
{
    return (i >= 0 && i < m_utilityStreams.GetCount()) ? m_utilityStreams.GetAt(i) : nullptr;
}

Stream* Facility::GetVaporStreamByIndex(int i) const
{
    return (i >= 0 && i < m_vaporStreams.GetCount()) ? m_vaporStreams.GetAt(i) : nullptr;
}

CString Facility::GetVesselName(int i) const
{
    const Vessel* v = GetVesselByIndex(i);
    return v ? v->GetName() : CString();
}

int Facility::IsVesselInventory(int i) const
{
    const Vessel* v = GetVesselByIndex(i);
    return v ? v->IsInventory() : 1;
}

Plane*& Facility::getPlane(int i)
{
    if (i >= 0 && i < m_floors.GetCount()) return m_floors.GetAt(i);
    m_nullPlane = nullptr;
    return m_nullPlane;
}

Stream*& Facility::getStream(int i)
{
    if (i >= 0 && i < m_streams.GetCount()) return m_streams.GetAt(i);
    m_nullStream = nullptr;
    return m_nullStream;
}

Stream*& Facility::getUniStream(int i)
{
    if (i >= 0 && i < m_uniStreams.GetCount()) return m_uniStreams.GetAt(i);
    m_nullStream = nullptr;
    return m_nullStream;
}

Stream*& Facility::getUtilStream(int i)
{
    if (i >= 0 && i < m_utilityStreams.GetCount()) return m_utilityStreams.GetAt(i);
    m_nullStream = nullptr;
    return m_nullStream;
}

Stream*& Facility::getVaporStream(int i)
{
    if (i >= 0 && i < m_vaporStreams.GetCount()) return m_vaporStreams.GetAt(i);
    m_nullStream = nullptr;
    return m_nullStream;
}

Plane*& Facility::getLastPlane() { return getPlane(m_floors.GetCount() - 1); }

Stream*& Facility::getLastStream() { return getStream(m_streams.GetCount() - 1); }

Stream*& Facility::getLastUniStream(int) { return getUniStream(m_uniStreams.GetCount() - 1); }

Vessel* Facility::FindVesselWithId(int id) const
{
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (v && v->GetID() == id) return v;
    }
    return nullptr;
}

Plane* Facility::FindPlaneWithId(int id) const
{
    for (int i = 0; i < m_floors.GetCount(); ++i) {
        Plane* p = m_floors.GetAt(i);
        if (p && p->GetID() == id) return p;
    }
    return nullptr;
}

Plane* Facility::getFloorWithPlantID(int plantID) const
{
    for (int i = 0; i < m_floors.GetCount(); ++i) {
        Plane* p = m_floors.GetAt(i);
        if (p && p->GetPlantID() == plantID) return p;
    }
    return nullptr;
}

Stream* Facility::FindStreamWithVesselIds(long fromId, long toId) const
{
    for (int i = 0; i < m_streams.GetCount(); ++i) {
        Stream* s = m_streams.GetAt(i);
        if (!s) continue;
        const Vessel* from = s->GetInputVessel();
        const Vessel* to = s->GetOutputVessel();
        if (from && to && from->GetID() == fromId && to->GetID() == toId) return s;
    }
    return nullptr;
}

long Facility::TwoKey(int fromId, int toId) const
{
    const long n = m_vessels.GetCount();
    if (n < 1) return 0;
    long a = 0;
    long b = 0;
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        const Vessel* v = m_vessels.GetAt(i);
        if (!v) continue;
        if (v->GetID() == fromId) a = i + 1;
        if (v->GetID() == toId) b = i + 1;
    }
    if (a != 0 && toId == -1) return a;
    if (b != 0 && fromId == -1) a = n + 1;
    return a * n + b;
}

void Facility::MarkModified(int flag)
{
    if (m_loadedFromDatabase) return;
    m_modified = flag;
    if (m_document) m_document->SetModifiedFlag(flag != 0);
}

} // namespace batchplant
