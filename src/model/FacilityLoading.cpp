// Loading the 3-D view from a results database: floors per plant, vessels,
// the vessels' own operations, process, utility and vapor streams, their
// contents, then the calendars.
//
// The vessel lookups of the loaders are answered from indexes built once per
// loader (identifier to first or last position), so a load costs about one
// walk of each query; the answers are those of a scan of the vessel list.

#include <cstdint>
#include <limits>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/foundation/Keys.h"
#include "batchplant/foundation/SharedText.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/platform/MessageBox.h"
#include "batchplant/procedure/CProcComponent.h"
#include "batchplant/procedure/CProcedure.h"
#include "FacilityLoadingDetail.h"
#include "procedure/StreamPositions.h"

namespace batchplant {

namespace {

const char* const kAlreadyLoaded = "The facility already holds a loaded model.";
const char* const kNoEquipment = "Failed to open database at equipmentSet !!!";
const char* const kNoStreams = "Failed to open database at streamSet";
const char* const kNoStreamEnds = "No associated streams found for vessel";

// Identifier to the position of the first vessel carrying it, from position
// `from` on. -1 never names a vessel: it is how the rows say "no vessel".
std::unordered_map<long, int> firstPositions(const List<Vessel*>& vessels, int from)
{
    std::unordered_map<long, int> index;
    index.reserve(static_cast<std::size_t>(vessels.GetCount()));
    for (int i = from < 0 ? 0 : from; i < vessels.GetCount(); ++i) {
        const Vessel* v = vessels.GetAt(i);
        if (v && v->GetID() != -1) index.emplace(v->GetID(), i);
    }
    return index;
}

// Identifier to the position of the last vessel carrying it.
std::unordered_map<long, int> lastPositions(const List<Vessel*>& vessels)
{
    std::unordered_map<long, int> index;
    index.reserve(static_cast<std::size_t>(vessels.GetCount()));
    for (int i = 0; i < vessels.GetCount(); ++i) {
        const Vessel* v = vessels.GetAt(i);
        if (v && v->GetID() != -1) index[v->GetID()] = i;
    }
    return index;
}

int positionOf(const std::unordered_map<long, int>& index, long id)
{
    const auto it = index.find(id);
    return it == index.end() ? -1 : it->second;
}

} // namespace

namespace detail {

bool IsBufferTankClass(const CString& cls) { return cls == "Buffer Tank"; }

void GiveOperationsToVessels(const List<Vessel*>& vessels, CDaoEquipConts& ops, bool skipBufferTanks)
{
    std::unordered_map<long, std::vector<Vessel*>> byId;
    for (int i = 0; i < vessels.GetCount(); ++i) {
        Vessel* v = vessels.GetAt(i);
        if (!v || !v->GetProc()) continue;
        if (skipBufferTanks && IsBufferTankClass(v->GetClass())) continue;
        byId[v->GetID()].push_back(v);
    }
    for (; !ops.IsEOF(); ops.MoveNext()) {
        const auto it = byId.find(ops.m_EquipmentID);
        if (it == byId.end()) continue;
        for (Vessel* v : it->second)
            v->GetProc()->AddNewProc(ops);
    }
}

} // namespace detail

bool Facility::holdsLoadedModel(bool tell) const
{
    const bool loaded = m_steps.GetCount() > 0 || m_vessels.GetCount() > 0 || m_calendar != nullptr;
    if (loaded && tell) AfxMessageBox(kAlreadyLoaded, MB_OK);
    return loaded;
}

void Facility::ReadVisioDatabase(CDaoDatabase* db, CDaoDatabase* /*second*/)
{
    if (!db) return;
    // A second load would append a second copy of the plant to the first.
    if (holdsLoadedModel(true)) return;
    // Floors created while loading do not mark the facility modified.
    m_loadedFromDatabase = 1;
    const int firstVessel = m_vessels.GetCount();
    // Names repeated on every row are held once for the whole load.
    const TextPool::Scope names;

    // Streams need the vessels and contents need the streams: the order is
    // fixed. CFacilityAbort from the step loader ends the load here.
    loadPlanSummary(db);
    loadStepSummary(db);
    loadEquipmentSet(db);
    loadBasicEquipConts(db);
    loadStreamSet(db, firstVessel);
    loadUtilityStreams(db);
    loadVaporStreams(db);
    loadStreamContents(db);
    loadUtilityContents(db);
    loadVaporContents(db);
    loadCalendars(db);
}

Vessel* Facility::addVesselFromRow(CDaoEquipmentSet& row)
{
    Vessel* vessel = addVessel(row.m_Class);
    if (!vessel) return nullptr; // a host factory that declined
    Plane* floor = getFloorWithPlantID(static_cast<int>(row.m_PlantID));
    if (!floor) {
        // One floor per plant, in order of first appearance; it takes a new
        // identifier and a "Floor n" name.
        floor = CreateNewFloor(-1, CString(), -1, CString());
        floor->SetPlantID(static_cast<int>(row.m_PlantID));
        floor->SetPlantName(row.m_PlantName);
    }
    m_vessels.Add(vessel);
    vessel->Init(floor);
    vessel->SetDBParams(row);
    return vessel;
}

void Facility::loadEquipmentSet(CDaoDatabase* db)
{
    CDaoEquipmentSet equipment;
    if (!equipment.OpenOnDatabase(db) || equipment.IsEOF()) {
        AfxMessageBox(kNoEquipment, MB_OK);
        return;
    }
    for (; !equipment.IsEOF(); equipment.MoveNext())
        addVesselFromRow(equipment);
}

void Facility::loadBasicEquipConts(CDaoDatabase* db)
{
    CDaoEquipConts ops;
    if (!ops.OpenOnDatabase(db) || ops.IsEOF()) {
        AfxMessageBox("Failed to open database at equipmentConts", MB_OK);
        return;
    }
    detail::GiveOperationsToVessels(m_vessels, ops, false);
}

void Facility::loadStreamSet(CDaoDatabase* db, int firstVessel)
{
    CDaoStreamSet rows;
    if (!rows.OpenOnDatabase(db)) {
        AfxMessageBox(kNoStreams, MB_OK);
        return;
    }
    const std::unordered_map<long, int> vesselAt = firstPositions(m_vessels, firstVessel);

    long previousFrom = -1;
    long previousTo = -1;
    long lastOutputSource = -1;
    long lastInputDestination = -1;
    // The stream each kind of row was last appended to. Rows of one vessel
    // pair, of one source's outputs and of one destination's inputs arrive
    // one after another; an input row is never merged into an output stream
    // (or the reverse) when rows of the other kind come between.
    Stream* lastConnecting = nullptr;
    Stream* lastOutput = nullptr;
    Stream* lastInput = nullptr;

    const auto append = [](Stream* s, CDaoStreamSet& row) {
        if (s && s->GetProc()) s->GetProc()->AddNewProc(row);
    };
    const auto create = [this, &rows](long from, long to, Vessel* a, Vessel* b, Stream::StreamType type) {
        Stream* s = addStream();
        if (s) s->Init(rows.m_StreamID, from, to, a, b, type);
        return s;
    };

    for (; !rows.IsEOF(); rows.MoveNext()) {
        const long from = detail::EquipmentEnd(rows, rows.m_FromEquipmentID);
        const long to = detail::EquipmentEnd(rows, rows.m_ToEquipmentID);
        const int fromAt = from == -1 ? -1 : positionOf(vesselAt, from);
        const int toAt = to == -1 ? -1 : positionOf(vesselAt, to);
        Vessel* source = fromAt >= 0 ? m_vessels.GetAt(fromAt) : nullptr;
        Vessel* destination = toAt >= 0 ? m_vessels.GetAt(toAt) : nullptr;

        if ((!source || !destination) && rows.m_StreamCategoryID == -5) continue;

        if (!source && !destination) {
            AfxMessageBox(kNoStreamEnds, MB_OK);
        } else if (source && destination) {
            if (!(from == previousFrom && to == previousTo && lastConnecting)) {
                lastConnecting = create(from, to, source, destination, Stream::Connecting);
                if (lastConnecting) m_streams.Add(lastConnecting);
            }
            append(lastConnecting, rows);
        } else if (source) {
            if (!(from == lastOutputSource && lastOutput)) {
                lastOutput = create(from, to, source, source, Stream::Output);
                if (lastOutput) m_uniStreams.Add(lastOutput);
            }
            append(lastOutput, rows);
            lastOutputSource = from;
        } else {
            if (!(to == lastInputDestination && lastInput)) {
                lastInput = create(from, to, destination, destination, Stream::Input);
                if (lastInput) m_uniStreams.Add(lastInput);
            }
            append(lastInput, rows);
            lastInputDestination = to;
        }
        previousFrom = from;
        previousTo = to;
    }
}

void Facility::loadUtilityStreams(CDaoDatabase* db)
{
    CDaoUtilitySummary rows;
    if (!rows.OpenOnDatabase(db) || rows.IsEOF()) return;
    const std::unordered_map<long, int> vesselAt = lastPositions(m_vessels);

    for (; !rows.IsEOF(); rows.MoveNext()) {
        const long key = detail::EquipmentEnd(rows, rows.m_ToEquipmentID);
        Stream** found = m_utilityStreams.Lookup(key);
        Stream* stream = found ? *found : nullptr;
        if (!found) {
            // Utility use not charged to a vessel of the plant has no pipe.
            const int at = key == -1 ? -1 : positionOf(vesselAt, key);
            if (at < 0) continue;
            Vessel* vessel = m_vessels.GetAt(at);
            stream = addStream();
            if (!stream) continue;
            stream->Init(rows.m_StreamID, -1, key, vessel, vessel, Stream::Utility);
            m_utilityStreams[key] = stream;
        }
        if (stream && stream->GetProc()) stream->GetProc()->AddNewProc(rows);
    }
}

void Facility::loadVaporStreams(CDaoDatabase* db)
{
    CDaoVaporSummary rows;
    if (!rows.OpenOnDatabase(db) || rows.IsEOF()) return;
    const std::unordered_map<long, int> vesselAt = lastPositions(m_vessels);
    const long n = m_vessels.GetCount();

    for (; !rows.IsEOF(); rows.MoveNext()) {
        const long from = detail::EquipmentEnd(rows, rows.m_FromEquipmentID);
        const long to = detail::EquipmentEnd(rows, rows.m_ToEquipmentID);
        if (from == -1) continue;
        const int fromAt = positionOf(vesselAt, from);
        const int toAt = to == -1 ? -1 : positionOf(vesselAt, to);
        if (fromAt < 0) continue; // no stream can be made and no key can exist for it
        // The key of the vessel pair by positions (the last vessel with each
        // identifier): a for an emission to no vessel, a·n + b for a vessel
        // pair. An emission to an identifier that is no vessel gets the key
        // of an emission to no vessel: its stream has no destination either,
        // and a·n + 0 could equal the key of another vessel pair.
        const long a = fromAt + 1;
        const long key = toAt < 0 ? a : a * n + (toAt + 1);

        Stream** found = m_vaporStreams.Lookup(key);
        Stream* stream = found ? *found : nullptr;
        if (!found) {
            Vessel* source = m_vessels.GetAt(fromAt);
            stream = addStream();
            if (!stream) continue;
            if (toAt >= 0)
                stream->Init(rows.m_StreamID, from, to, source, m_vessels.GetAt(toAt),
                             Stream::Vapor | Stream::Connecting);
            else
                stream->Init(rows.m_StreamID, from, -1, source, source, Stream::Vapor);
            m_vaporStreams[key] = stream;
        }
        if (stream && stream->GetProc()) stream->GetProc()->AddNewProc(rows);
    }
}

namespace {

// Gives every stream the components recorded for its pair of ends: per unit
// in order of material and phase, a later row for the same stream, material
// and phase replacing an earlier one. Rows are placed as they are read, so
// the load holds no copy of the table. Keys hold 32 bits and saturate beyond
// them, which can merge rows of different identifiers; a row with such an
// identifier (or a stream listed twice) sends the walk back to the whole
// table read into keyed maps, which merges them the same way.
void attachContents(CDaoBaseContents& rs, CDaoDatabase* db, const std::vector<Stream*>& streams)
{
    if (!rs.OpenOnDatabase(db) || rs.IsEOF()) return;
    // Per stream: its procedure and the first position of each stream id
    // in it, the unit that AddComponent would give a component to.
    struct Target {
        CProcedure* proc;
        detail::StreamPositions firstOf;
    };
    std::map<CTripleIntKey, std::vector<Target>> byEnds;
    std::unordered_set<const Stream*> seen;
    bool placeAsRead = true;
    for (Stream* s : streams) {
        if (!s || !s->GetProc()) continue;
        placeAsRead = seen.insert(s).second && placeAsRead;
        byEnds[CTripleIntKey(s->GetFromID(), s->GetToID(), 0)].push_back(
            Target{s->GetProc(), detail::StreamPositions(*s->GetProc())});
    }
    if (placeAsRead) {
        CProcComponent::TakeUnitNames(rs);
        // The rows come in stream order, one per material and phase: a
        // stream's rows are gathered and handed to its units together, so a
        // unit's list grows once per stream.
        std::vector<CProcComponents*> units;
        std::vector<CProcComponent> run;
        CTripleIntKey runOuter;
        long runStream = 0;
        const auto placeRun = [&units, &run] {
            if (!units.empty() && !run.empty()) {
                for (std::size_t i = 0; i + 1 < units.size(); ++i)
                    units[i]->Merge(std::vector<CProcComponent>(run));
                units.back()->Merge(std::move(run));
            }
            run.clear();
        };
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
            if (!detail::fitsInt32(rs.m_StreamID) || !detail::fitsInt32(rs.m_MaterialID) ||
                !detail::fitsInt32(rs.m_FromEquipmentID) || !detail::fitsInt32(rs.m_ToEquipmentID)) {
                placeAsRead = false;
                break;
            }
            CTripleIntKey outer;
            CProcComponent c = CProcComponent::FromRow(rs, outer);
            if (run.empty() || !(outer == runOuter) || c.GetStreamID() != runStream) {
                placeRun();
                units.clear();
                if (const auto at = byEnds.find(outer); at != byEnds.end())
                    for (const Target& target : at->second)
                        if (const int unit = target.firstOf.Find(c.GetStreamID()); unit >= 0)
                            units.push_back(&target.proc->GetProcUnit(unit).GetComponents());
                runOuter = outer;
                runStream = c.GetStreamID();
            }
            run.push_back(std::move(c));
        }
        if (placeAsRead) {
            placeRun();
            rs.CloseIfOpen();
            return;
        }
        for (const auto& [ends, targets] : byEnds)
            for (const Target& target : targets)
                for (int i = 0; i < target.proc->GetNumProcs(); ++i)
                    if (target.proc->GetProcUnit(i).GetNumComponents() > 0)
                        target.proc->GetProcUnit(i).GetComponents() = CProcComponents();
        rs.MoveFirst();
    }

    Hash<CTripleIntKey, Hash<CTripleIntKey, CProcComponent>> components;
    CProcComponent::LoadFromDB(rs, components);
    for (Stream* s : streams) {
        if (!s || !s->GetProc()) continue;
        const auto* entry = components.Lookup(CTripleIntKey(s->GetFromID(), s->GetToID(), 0));
        if (!entry) continue;
        for (int i = 0; i < entry->GetCount(); ++i)
            s->GetProc()->AddComponent(entry->GetAt(i));
    }
    rs.CloseIfOpen();
}

} // namespace

void Facility::loadStreamContents(CDaoDatabase* db)
{
    CDaoStreamContents rs;
    attachContents(rs, db, streamsOf(kConnecting | kUni));
}

void Facility::loadUtilityContents(CDaoDatabase* db)
{
    CDaoUtilityContents rs;
    attachContents(rs, db, streamsOf(kUtility));
}

void Facility::loadVaporContents(CDaoDatabase* db)
{
    CDaoVaporContents rs;
    attachContents(rs, db, streamsOf(kVapor));
}

std::vector<Stream*> Facility::streamsOf(unsigned sets) const
{
    std::vector<Stream*> out;
    auto take = [&out](Stream& s) { out.push_back(&s); };
    visitStreams(sets, take);
    return out;
}

} // namespace batchplant
