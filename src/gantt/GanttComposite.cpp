// The composite profiles of the Gantt facility: loaded per type from the
// results database on the first request that names the type, then kept.

#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "batchplant/db/CompositeRecordsets.h"
#include "batchplant/db/Dao.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/gantt/Composite.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/platform/HostInterfaces.h"
#include "db/TankRecordsets.h"

namespace batchplant {

namespace {

bool ValidType(int type) { return type >= 0 && type < kNumCompTypes; }

// Every row of one query into a new stream, each by the path of its kind
// (the stream rows also name the type they are read as); null when the
// query fails or has no rows.
template <class Recordset, class... Type> std::unique_ptr<CompositeStream> LoadRows(CDaoDatabase* db, Type... type)
{
    Recordset rs(db);
    if (!rs.OpenOnDatabase(db) || rs.IsEOF()) {
        rs.CloseIfOpen();
        return nullptr;
    }
    auto stream = std::make_unique<CompositeStream>();
    for (; !rs.IsEOF(); rs.MoveNext())
        stream->AddRow(rs, type...);
    rs.CloseIfOpen();
    return stream;
}

// The utility query has a row per component of the utility's material (its
// UtilityID column is the component's), each repeating the whole use. The
// rows of one use come together (the query orders by the use) and agree in
// batch, step, operation, equipment, utility, times and amounts: each use is
// counted once, whatever its material's composition.
std::unique_ptr<CompositeStream> LoadUtilityUses(CDaoDatabase* db)
{
    DaoUtilityComposite rs(db);
    if (!rs.OpenOnDatabase(db) || rs.IsEOF()) {
        rs.CloseIfOpen();
        return nullptr;
    }
    auto stream = std::make_unique<CompositeStream>();
    auto useOf = [](const DaoUtilityComposite& r) {
        return std::make_tuple(r.m_BatchNumber, r.m_StepID, r.m_OperationID, r.m_EquipmentID, r.m_UtilityName.str(),
                               r.m_StartTime, r.m_EndTime, r.m_Mass, r.m_Volume, r.m_HeatDuty);
    };
    std::optional<decltype(useOf(rs))> last;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        auto use = useOf(rs);
        if (last && *last == use) continue;
        last = std::move(use);
        stream->AddRow(rs);
    }
    rs.CloseIfOpen();
    return stream;
}

// Inputs, Outputs and Inventory are three readings of the same stream rows:
// one pass over the rows fills those of the three not yet built (each left
// null when the query yields nothing, as a load of one of them would).
void LoadStreamKinds(CDaoDatabase* db, std::unique_ptr<CompositeStream> (&out)[kNumCompTypes])
{
    CDaoCompositeStream rs(db);
    if (!rs.OpenOnDatabase(db) || rs.IsEOF()) {
        rs.CloseIfOpen();
        return;
    }
    const CompType kinds[] = {Inputs, Outputs, Inventory};
    std::unique_ptr<CompositeStream> streams[3];
    for (int k = 0; k < 3; ++k)
        if (!out[kinds[k]]) streams[k] = std::make_unique<CompositeStream>();
    for (; !rs.IsEOF(); rs.MoveNext())
        for (int k = 0; k < 3; ++k)
            if (streams[k]) streams[k]->AddRow(rs, kinds[k]);
    rs.CloseIfOpen();
    for (int k = 0; k < 3; ++k)
        if (streams[k]) out[kinds[k]] = std::move(streams[k]);
}

// Whether the whole equipment contents query has rows; asked only when the
// tanks have none, where it decides between no profiles and tanks without
// contents.
bool AnyEquipmentContents(CDaoDatabase* db)
{
    CDaoEquipmentContents all(db);
    const bool any = all.OpenOnDatabase(db) && !all.IsEOF();
    all.CloseIfOpen();
    return any;
}

std::unique_ptr<CompositeStream> LoadBufferTanks(CDaoDatabase* db)
{
    CDaoBufferTankContents tanks(db);
    CDaoThermodynamicPhase phases(db);
    CDaoPhaseComponents phaseComponents(db);
    // Only the tanks' contents rows are read: the other vessels' are never
    // looked at, and walking them was most of the build.
    TankEquipmentContents contents(db);
    if (!tanks.OpenOnDatabase(db) || tanks.IsEOF() || !contents.OpenOnDatabase(db) ||
        (contents.IsEOF() && !AnyEquipmentContents(db))) {
        tanks.CloseIfOpen();
        contents.CloseIfOpen();
        return nullptr;
    }
    auto stream = std::make_unique<CompositeStream>();
    stream->AddBufferTankRows(db, tanks, phases, phaseComponents, contents);
    tanks.CloseIfOpen();
    contents.CloseIfOpen();
    return stream;
}

std::unique_ptr<CompositeStream> BuildCompositeStream(CDaoDatabase* db, CompType type)
{
    if (!db) return nullptr;
    switch (type) {
    case Inputs:
    case Outputs:
    case Inventory:
        return LoadRows<CDaoCompositeStream>(db, type);
    case BufferTanks:
        return LoadBufferTanks(db);
    case Utilities:
        return LoadUtilityUses(db);
    case Labor:
        return LoadRows<CDaoCompositeLabor>(db);
    case VaporEmissions:
        return LoadRows<CDaoCompVapor>(db);
    case Contents:
        return LoadRows<CDaoEquipmentContents>(db);
    case Properties:
        return LoadRows<CDaoEquipmentProperties>(db);
    default:
        return nullptr;
    }
}

} // namespace

CompositeStream* GanttFacility::getCompStream(CompType type)
{
    if (!ValidType(type)) return nullptr;
    std::unique_ptr<CompositeStream>& entry = compStreams[type];
    if (entry || databasePath.IsEmpty()) return entry.get();
    CWaitCursor wait;
    CDaoDatabase db;
    try {
        // The profiles only read the database.
        db.Open(databasePath, false, true);
        if (type == Inputs || type == Outputs || type == Inventory)
            LoadStreamKinds(&db, compStreams);
        else
            entry = BuildCompositeStream(&db, type);
        db.Close();
    } catch (const CDaoException&) {
        // Nothing is shown; the entry stays null so that the next request
        // tries again.
        db.Close();
        return nullptr;
    }
    return entry.get();
}

CompositeStream* GanttFacility::loadCompositeStream(CDaoDatabase* db, CompType type)
{
    // The caller owns what it gets.
    return BuildCompositeStream(db, type).release();
}

void GanttFacility::GetCompositeVessels(Array<long>& ids, Array<CString>& names, CompType type)
{
    const CompositeStream* stream = getCompStream(type);
    if (!stream) return;
    const Hash<long, CompositeVessel*>& groups = stream->GetVessels();
    for (int i = 0; i < groups.GetCount(); ++i) {
        ids.Add(groups.GetKeyAt(i));
        names.Add(groups.GetAt(i)->GetName());
    }
}

void GanttFacility::GetCompositeComponents(int vesselID, Array<long>& ids, Array<CString>& names, CompType type)
{
    const CompositeStream* stream = getCompStream(type);
    const CompositeVessel* group = stream ? stream->FindVessel(vesselID) : nullptr;
    if (!group) return;
    const Hash<long, CompositeComponent*>& components = group->GetComponents();
    for (int i = 0; i < components.GetCount(); ++i) {
        ids.Add(components.GetKeyAt(i));
        names.Add(components.GetAt(i)->GetName());
    }
}

void GanttFacility::GetCompositeList(Hash<long, double>& list, long vesselID, long componentID, CompType type,
                                     CompositeSetting setting)
{
    const CompositeStream* stream = getCompStream(type);
    const CompositeVessel* group = stream ? stream->FindVessel(vesselID) : nullptr;
    const CompositeComponent* component = group ? group->FindComponent(componentID) : nullptr;
    if (component) component->GetList(list, setting);
}

void GanttFacility::GetCompositeUnits(CompType type, long vesselID, long componentID, CompositeSetting setting,
                                      CString& timeUnit, double& timeFactor, CString& valueUnit, double& valueFactor,
                                      double& valueOffset)
{
    const CompositeStream* stream = getCompStream(type);
    const CompositeVessel* group = stream ? stream->FindVessel(vesselID) : nullptr;
    const CompositeComponent* component = group ? group->FindComponent(componentID) : nullptr;
    if (component) component->GetUnits(setting, timeUnit, timeFactor, valueUnit, valueFactor, valueOffset);
}

} // namespace batchplant
