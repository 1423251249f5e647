// Composite profiles: the groups of one profile type, the row of each
// query put under the groups it belongs to, and the buffer tank rows with
// the equipment and contents they are read against.

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "batchplant/db/CompositeRecordsets.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/gantt/Composite.h"
#include "gantt/CompositeRows.h"

namespace batchplant {

// What the buffer tank rows need of the equipment and its contents, read
// once: the group of each tank, its capacity, and per tank and material the
// name and the operations' intervals with their batch numbers.
struct CompositeStream::TankIndex {
    struct Group {
        long id;
        CString name;
    };
    struct Capacity {
        double capacity;
        CString unit;
        double maxFillFactor;
    };
    struct Span {
        double start; // seconds
        double end;   // seconds
        long batch;
    };
    struct Material {
        CString name;
        std::vector<Span> spans;    // by start time
        std::vector<double> maxEnd; // running maximum of the ends
    };

    bool haveEquipment = false;
    std::map<long, Group> groups;
    std::map<long, Capacity> capacities;
    std::map<std::pair<long, long>, Material> materials;
    std::map<std::string, double> timeFactors;

    // Seconds per unit of time, converted once per unit name.
    double secondsPer(const CString& unit)
    {
        auto [at, added] = timeFactors.try_emplace(unit.str(), 1.0);
        if (added && !unit.IsEmpty())
            at->second = ToInternalUnits(unit, 1.0, 1.0, 1.0) - ToInternalUnits(unit, 0.0, 1.0, 1.0);
        return at->second;
    }

    // The batch of the first operation of the tank whose interval holds
    // `seconds` (ends included), 0 when none does. The contents query comes
    // ordered by start time, so the first by start is the first in query
    // order; the running maximum of the ends finds it by bisection.
    long batchAt(const Material& m, double seconds) const
    {
        const auto at = std::lower_bound(m.maxEnd.begin(), m.maxEnd.end(), seconds);
        if (at == m.maxEnd.end()) return 0;
        const Span& span = m.spans[static_cast<std::size_t>(at - m.maxEnd.begin())];
        return span.start <= seconds ? span.batch : 0;
    }
};

CompositeStream::CompositeStream() = default;

CompositeStream::~CompositeStream()
{
    for (int i = 0; i < vessels.GetCount(); ++i)
        delete vessels.GetAt(i);
    vessels.RemoveAll();
}

CompositeVessel* CompositeStream::FindVessel(long vesselID) const
{
    CompositeVessel* const* found = vessels.Lookup(vesselID);
    return found ? *found : nullptr;
}

CompositeVessel* CompositeStream::FindOrAddVessel(long vesselID, const CString& name)
{
    CompositeVessel*& slot = vessels[vesselID];
    if (!slot) slot = new CompositeVessel(vesselID, name);
    return slot;
}

void CompositeStream::AddRecord(const CDaoRecordset& row, CompType type)
{
    // The one place where a row of unknown kind is told apart.
    switch (type) {
    case Inputs:
    case Outputs:
    case Inventory:
        if (const auto* rs = dynamic_cast<const CDaoCompositeStream*>(&row)) AddRow(*rs, type);
        return;
    case Utilities:
        if (const auto* rs = dynamic_cast<const DaoUtilityComposite*>(&row)) AddRow(*rs);
        return;
    case Labor:
        if (const auto* rs = dynamic_cast<const CDaoCompositeLabor*>(&row)) AddRow(*rs);
        return;
    case VaporEmissions:
        if (const auto* rs = dynamic_cast<const CDaoCompVapor*>(&row)) AddRow(*rs);
        return;
    case Contents:
        if (const auto* rs = dynamic_cast<const CDaoEquipmentContents*>(&row)) AddRow(*rs);
        return;
    case Properties:
        if (const auto* rs = dynamic_cast<const CDaoEquipmentProperties*>(&row)) AddRow(*rs);
        return;
    default:
        return;
    }
}

void CompositeStream::AddRow(const CDaoCompositeStream& row, CompType type)
{
    if (type != Inputs && type != Outputs && type != Inventory) return;
    long groupID;
    CString groupName;
    // A stream counts for the inventory location at its source, else at its
    // destination; a missing end is outside the plant.
    if ((type == Inputs || type == Inventory) &&
        (row.m_FromType.IsEmpty() || detail::ContainsInventory(row.m_FromType))) {
        groupID = row.m_FromEquipmentID;
        groupName = row.m_FromEqName;
    } else if ((type == Outputs || type == Inventory) &&
               (row.m_ToType.IsEmpty() || detail::ContainsInventory(row.m_ToType))) {
        groupID = row.m_ToEquipmentID;
        groupName = row.m_ToEqName;
    } else {
        return;
    }
    if (groupName.IsEmpty()) groupID = -1;
    FindOrAddVessel(groupID, groupName)->AddStreamRecord(row, type);
}

void CompositeStream::AddRow(const DaoUtilityComposite& row)
{
    if (row.m_UtilityName.IsEmpty()) return;
    FindOrAddVessel(UtilityGroupID(row.m_UtilityName), row.m_UtilityName)->AddUtilityRecord(row);
}

void CompositeStream::AddRow(const CDaoCompositeLabor& row)
{
    FindOrAddVessel(1, CString("Categories"))->AddLaborRecord(row);
}

void CompositeStream::AddRow(const CDaoCompVapor& row)
{
    // An emission without a source vessel is grouped under -1.
    const bool noSource = row.IsFieldNull(&row.m_FromEquipmentID) || row.m_FromEquipmentID == 0;
    FindOrAddVessel(noSource ? -1 : row.m_FromEquipmentID, row.m_FromEqName)->AddVaporRecord(row);
}

void CompositeStream::AddRow(const CDaoEquipmentContents& row)
{
    if (row.m_EquipmentName.IsEmpty()) return;
    FindOrAddVessel(row.m_EquipmentID, row.m_EquipmentName)->AddContentsRecord(row);
}

void CompositeStream::AddRow(const CDaoEquipmentProperties& row)
{
    static const char* const kNames[] = {"Temperature", "Pressure",       "Avg. Mol. Wt.",
                                         "Avg. Visc.",  "Avg. Heat Cap.", "Avg. Density"};
    for (long group = 0; group < 6; ++group)
        FindOrAddVessel(group, CString(kNames[group]))->AddPropertyRecord(row);
}

CompositeStream::TankIndex& CompositeStream::tankIndex(CDaoDatabase* db, CDaoEquipmentContents& contents)
{
    if (tanks) return *tanks;
    tanks = std::make_unique<TankIndex>();
    TankIndex& index = *tanks;

    CDaoEquipmentSet equipment(db);
    if (equipment.OpenOnDatabase(db) && !equipment.IsEOF()) {
        index.haveEquipment = true;
        for (; !equipment.IsEOF(); equipment.MoveNext()) {
            const CString& cls = equipment.m_Class;
            if (cls.CompareNoCase(CString("Inventory Location")) == 0 ||
                cls.CompareNoCase(CString("Inventory Location - Vapor")) == 0)
                continue;
            index.groups.try_emplace(equipment.m_EquipmentID,
                                     TankIndex::Group{equipment.m_EquipmentID, equipment.m_QLTag});
        }
    }
    equipment.CloseIfOpen();

    if (contents.IsOpen()) {
        for (contents.MoveFirst(); !contents.IsEOF(); contents.MoveNext()) {
            index.capacities.try_emplace(
                contents.m_EquipmentID,
                TankIndex::Capacity{contents.m_Capacity, contents.m_CapacityUOM, contents.m_MaxFillFactor});
            TankIndex::Material& m = index.materials[{contents.m_EquipmentID, contents.m_MaterialID}];
            if (m.spans.empty()) m.name = contents.m_MaterialName;
            const double per = index.secondsPer(contents.m_TimeUOM);
            m.spans.push_back({contents.m_StartTime * per, contents.m_EndTime * per, contents.m_BatchNumber});
        }
    }
    for (auto& [key, m] : index.materials) {
        std::stable_sort(m.spans.begin(), m.spans.end(),
                         [](const TankIndex::Span& a, const TankIndex::Span& b) { return a.start < b.start; });
        m.maxEnd.reserve(m.spans.size());
        for (const TankIndex::Span& s : m.spans)
            m.maxEnd.push_back(m.maxEnd.empty() ? s.end : std::max(m.maxEnd.back(), s.end));
    }
    return index;
}

void CompositeStream::AddBufferTankRecord(CDaoDatabase* db, const CDaoBufferTankContents& tankRow,
                                          CDaoThermodynamicPhase& phases, CDaoPhaseComponents& phaseComponents,
                                          CDaoEquipmentContents& contents, CompType type)
{
    addTankRow(db, tankRow, phases, phaseComponents, contents, type);
    phases.CloseIfOpen();
    phaseComponents.CloseIfOpen();
}

void CompositeStream::AddBufferTankRows(CDaoDatabase* db, CDaoBufferTankContents& tanks, CDaoThermodynamicPhase& phases,
                                        CDaoPhaseComponents& phaseComponents, CDaoEquipmentContents& contents)
{
    for (; !tanks.IsEOF(); tanks.MoveNext())
        addTankRow(db, tanks, phases, phaseComponents, contents, BufferTanks);
    phases.CloseIfOpen();
    phaseComponents.CloseIfOpen();
}

void CompositeStream::addTankRow(CDaoDatabase* db, const CDaoBufferTankContents& tankRow,
                                 CDaoThermodynamicPhase& phases, CDaoPhaseComponents& phaseComponents,
                                 CDaoEquipmentContents& contents, CompType type)
{
    const std::optional<double> before = previousTankTime;
    previousTankTime = tankRow.m_Time;
    if (type != BufferTanks) return;

    // The phase queries stay open between rows: opening one again re-runs
    // the prepared statement with the new key.
    if (!phases.OpenForComposite(db, tankRow.m_CompositeContentsID) || phases.IsEOF()) return;
    TankIndex& index = tankIndex(db, contents);
    const auto group = index.groups.find(tankRow.m_EquipmentID);
    if (!index.haveEquipment || group == index.groups.end()) return;
    CompositeVessel* vessel = FindOrAddVessel(group->second.id, group->second.name);

    CompTankRow tank;
    tank.time = tankRow.m_Time;
    tank.before = before;
    tank.timeUOM = tankRow.m_TimeUOM;
    tank.mass = tankRow.m_Mass;
    tank.volume = tankRow.m_Volume;
    tank.moles = tankRow.m_Moles;
    tank.massUOM = tankRow.m_MassUOM;
    tank.volumeUOM = tankRow.m_VolumeUOM;
    tank.molesUOM = tankRow.m_MolesUOM;
    if (const auto cap = index.capacities.find(tankRow.m_EquipmentID); cap != index.capacities.end()) {
        // In internal units, to be compared with the converted volume.
        const CString& unit = cap->second.unit;
        tank.capacity = unit.IsEmpty() ? cap->second.capacity : ToInternalUnits(unit, cap->second.capacity, 1.0, 1.0);
        tank.maxFillFactor = cap->second.maxFillFactor;
    }
    const double tankSeconds = tankRow.m_Time * index.secondsPer(tankRow.m_TimeUOM);

    for (; !phases.IsEOF(); phases.MoveNext()) {
        if (detail::IsGas(phases.m_Phase)) continue;
        if (!phaseComponents.OpenForPhase(db, phases.m_PhaseID) || phaseComponents.IsEOF()) break;
        for (; !phaseComponents.IsEOF(); phaseComponents.MoveNext()) {
            const long material = phaseComponents.m_ComponentID;
            CString name;
            long batch = 0;
            if (const auto m = index.materials.find({tankRow.m_EquipmentID, material}); m != index.materials.end()) {
                name = m->second.name;
                batch = index.batchAt(m->second, tankSeconds);
            }
            vessel->AddBufferTankRecord(tank, {.componentID = material,
                                               .materialName = name,
                                               .massPhaseFraction = phases.m_MassPhaseFraction,
                                               .volumePhaseFraction = phases.m_VolumePhaseFraction,
                                               .molarPhaseFraction = phases.m_MolarPhaseFraction,
                                               .massFraction = phaseComponents.m_MassFraction,
                                               .volumeFraction = phaseComponents.m_VolumeFraction,
                                               .moleFraction = phaseComponents.m_MoleFraction,
                                               .batch = batch});
        }
    }
}

} // namespace batchplant
