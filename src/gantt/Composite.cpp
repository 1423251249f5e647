// Composite profiles: grouping the rows of the composite queries into
// groups and components, and turning each row into profile entries.

#include "batchplant/gantt/Composite.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string>

#include "batchplant/db/CompositeRecordsets.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "gantt/CompositeRows.h"

namespace batchplant {

namespace {

// Whole number toward zero, kept inside the target's range (NaN gives 0), so
// that a wild database value cannot make the conversion undefined.
template <class Int> Int TruncateTo(double value)
{
    if (std::isnan(value)) return 0;
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<Int>::max());
    const double t = std::trunc(value);
    if (t <= lo) return std::numeric_limits<Int>::min();
    if (t >= hi) return std::numeric_limits<Int>::max();
    return static_cast<Int>(t);
}

// The low 16 bits of a batch number.
short Low16(long value) { return static_cast<short>(static_cast<std::uint16_t>(static_cast<unsigned long>(value))); }

bool ValidSlot(int slot) { return slot >= 0 && slot < CompositeComponent::kNumSlots; }

// The level-kind volume: the recorded volume, limited to the vessel's
// capacity when it goes beyond the usable share of it. Both are compared in
// internal units because the capacity and the volume may be given in
// different units. A capacity of 0 (unknown, or a blank row) sets no limit;
// a fill factor of 0 or less counts as 1.
double LevelVolume(double volumeInternal, double capacityInternal, double maxFillFactor)
{
    if (!(capacityInternal > 0.0)) return volumeInternal;
    const double fill = maxFillFactor > 0.0 ? maxFillFactor : 1.0;
    return capacityInternal * fill > volumeInternal ? volumeInternal : capacityInternal;
}

} // namespace

long UtilityGroupID(const CString& utilityName)
{
    std::uint32_t product = 1;
    for (char16_t unit : utilityName.ToUtf16())
        product *= static_cast<std::uint32_t>(unit);
    return static_cast<long>(static_cast<std::int32_t>(product));
}

// ---------------------------------------------------------------------------
// CompContentsRow

CompContentsRow CompContentsRow::From(const CDaoEquipmentContents& rs)
{
    CompContentsRow r;
    r.batch = rs.m_BatchNumber;
    r.startTime = rs.m_StartTime;
    r.endTime = rs.m_EndTime;
    r.timeUOM = rs.m_TimeUOM;
    r.phase = rs.m_Phase;
    r.mass = rs.m_Mass;
    r.volume = rs.m_Volume;
    r.moles = rs.m_Moles;
    r.massUOM = rs.m_MassUOM;
    r.volumeUOM = rs.m_VolumeUOM;
    r.molesUOM = rs.m_MolesUOM;
    r.massPhaseFraction = rs.m_MassPhaseFraction;
    r.volumePhaseFraction = rs.m_VolumePhaseFraction;
    r.molarPhaseFraction = rs.m_MolarPhaseFraction;
    r.massFraction = rs.m_MassFraction;
    r.volumeFraction = rs.m_VolumeFraction;
    r.moleFraction = rs.m_MoleFraction;
    r.capacity = rs.m_Capacity;
    r.capacityUOM = rs.m_CapacityUOM;
    r.maxFillFactor = rs.m_MaxFillFactor;
    return r;
}

CompContentsRow CompContentsRow::Blank(const CompContentsRow& row)
{
    CompContentsRow r;
    r.startTime = row.startTime;
    r.endTime = row.endTime;
    r.timeUOM = row.timeUOM;
    return r;
}

// ---------------------------------------------------------------------------
// CompositeComponent

CompositeComponent::CompositeComponent(long componentID, const CString& componentName)
    : name(componentName), id(componentID)
{
}

const Hash<long, CompVals>& CompositeComponent::GetValues() const
{
    settle();
    return values;
}

CString CompositeComponent::GetUnitName(int slot) const { return ValidSlot(slot) ? unitNames[slot] : CString(); }

double CompositeComponent::GetFactor(int slot) const { return ValidSlot(slot) ? factors[slot] : -1.0; }

double CompositeComponent::GetOffset(int slot) const { return ValidSlot(slot) ? offsets[slot] : 0.0; }

void CompositeComponent::SetUnit(const CString& unitName, int slot)
{
    if (!ValidSlot(slot) || unitName.IsEmpty() || factors[slot] > -1.0) return;
    offsets[slot] = ToInternalUnits(unitName, 0.0, 1.0, 1.0);
    factors[slot] = ToInternalUnits(unitName, 1.0, 1.0, 1.0) - offsets[slot];
    unitNames[slot] = unitName;
}

double CompositeComponent::amountFactor(int slot) const { return factors[slot] > -1.0 ? factors[slot] : 1.0; }

long CompositeComponent::toSeconds(double value) const { return TruncateTo<long>(value * amountFactor(TimeSlot)); }

ProfileBuilder<CompVals>& CompositeComponent::builder()
{
    // Further operations after a read start again from the written entries.
    if (!building) {
        pending.Load(values);
        building = true;
    }
    return pending;
}

void CompositeComponent::settle() const
{
    if (!building) return;
    pending.StoreAndClear(values);
    building = false;
}

void CompositeComponent::AddInterval(long t0, long t1, const CompVals& v) { builder().AddInterval(t0, t1, v); }

void CompositeComponent::AddLevel(long t0, long t1, const CompVals& v) { builder().AddLevel(t0, t1, v); }

void CompositeComponent::SetPoint(long t0, long t1, const CompVals& v) { builder().SetPoint(t0, t1, v); }

void CompositeComponent::setAmountUnits(const CString& timeUOM, const CString& massUOM, const CString& volumeUOM,
                                        const CString& molesUOM)
{
    SetUnit(timeUOM, TimeSlot);
    SetUnit(massUOM, MassSlot);
    SetUnit(volumeUOM, VolumeSlot);
    SetUnit(molesUOM, MolesSlot);
}

template <class FlowRow> bool CompositeComponent::flowRates(const FlowRow& row, long& t0, long& t1, CompVals& v) const
{
    t0 = toSeconds(row.m_StartTime);
    t1 = toSeconds(row.m_EndTime);
    if (!(t0 < t1)) return false;
    const double dt = static_cast<double>(t1) - static_cast<double>(t0);
    v.batch = Low16(row.m_BatchNumber);
    v.mass = row.m_Mass * row.m_MassPhaseFraction * row.m_MassFraction * amountFactor(MassSlot) / dt;
    v.volume = row.m_Volume * row.m_VolumePhaseFraction * row.m_VolumeFraction * amountFactor(VolumeSlot) / dt;
    v.moles = row.m_Moles * row.m_MolarPhaseFraction * row.m_MoleFraction * amountFactor(MolesSlot) / dt;
    return true;
}

void CompositeComponent::AddStreamRecord(const CDaoCompositeStream& row, CompType rowType)
{
    setAmountUnits(row.m_EndTimeUOM, row.m_MassUOM, row.m_VolumeUOM, row.m_MolesUOM);
    type = rowType;
    long t0, t1;
    CompVals v;
    if (!flowRates(row, t0, t1, v)) return;
    // In the inventory profile what leaves a location for the process counts
    // positive, what goes into a location (or out of the plant) negative.
    if (rowType == Inventory && (row.m_ToType.IsEmpty() || detail::ContainsInventory(row.m_ToType))) {
        v.mass = -v.mass;
        v.volume = -v.volume;
        v.moles = -v.moles;
        v.duty = -v.duty;
    }
    AddInterval(t0, t1, v);
}

void CompositeComponent::AddVaporRecord(const CDaoCompVapor& row)
{
    setAmountUnits(row.m_TimeUOM, row.m_MassUOM, row.m_VolumeUOM, row.m_MolesUOM);
    type = VaporEmissions;
    long t0, t1;
    CompVals v;
    if (flowRates(row, t0, t1, v)) AddInterval(t0, t1, v);
}

void CompositeComponent::AddUtilityRecord(const DaoUtilityComposite& row)
{
    SetUnit(row.m_TimeUOM, TimeSlot);
    SetUnit(row.m_MassUOM, MassSlot);
    SetUnit(row.m_VolumeUOM, VolumeSlot);
    SetUnit(row.m_HeatDutyUOM, DutySlot);
    type = Utilities;
    const long t0 = toSeconds(row.m_StartTime);
    const long t1 = toSeconds(row.m_EndTime);
    if (!(t0 < t1)) return;
    const double dt = static_cast<double>(t1) - static_cast<double>(t0);
    CompVals v;
    v.batch = Low16(row.m_BatchNumber);
    v.mass = row.m_Mass * amountFactor(MassSlot) / dt;
    v.volume = row.m_Volume * amountFactor(VolumeSlot) / dt;
    // Heating and cooling both load the utility.
    v.duty = std::fabs(row.m_HeatDuty * amountFactor(DutySlot) / dt);
    AddInterval(t0, t1, v);
}

void CompositeComponent::AddLaborRecord(const CDaoCompositeLabor& row)
{
    SetUnit(row.m_TimeUOM, TimeSlot);
    factors[OperatorsSlot] = factors[TimeSlot];
    unitNames[OperatorsSlot] = "operators";
    type = Labor;
    const long t0 = toSeconds(row.m_StartTime);
    const long t1 = toSeconds(row.m_EndTime);
    if (!(t0 < t1)) return;
    CompVals v;
    v.batch = Low16(row.m_BatchNumber);
    // Only whole operators count: 2.7 is 2.
    v.operators = TruncateTo<short>(row.m_NumberOfOperators);
    AddInterval(t0, t1, v);
}

void CompositeComponent::AddContentsRecord(const CompContentsRow& row)
{
    if (detail::IsGas(row.phase)) return;
    setAmountUnits(row.timeUOM, row.massUOM, row.volumeUOM, row.molesUOM);
    type = Contents;
    if (!row.capacityUOM.IsEmpty() && capacityFactor <= -1.0) {
        capacityOffset = ToInternalUnits(row.capacityUOM, 0.0, 1.0, 1.0);
        capacityFactor = ToInternalUnits(row.capacityUOM, 1.0, 1.0, 1.0) - capacityOffset;
        capacityUnit = row.capacityUOM;
    }
    const double capacity = row.capacityUOM.IsEmpty()
                                ? row.capacity
                                : row.capacity * (capacityFactor > -1.0 ? capacityFactor : 1.0) + capacityOffset;
    const long t0 = toSeconds(row.startTime);
    const long t1 = toSeconds(row.endTime);
    CompVals v;
    v.batch = Low16(row.batch);
    v.mass = row.mass * row.massPhaseFraction * row.massFraction * amountFactor(MassSlot);
    v.volume = LevelVolume(row.volume * amountFactor(VolumeSlot), capacity, row.maxFillFactor) *
               row.volumePhaseFraction * row.volumeFraction;
    v.moles = row.moles * row.molarPhaseFraction * row.moleFraction * amountFactor(MolesSlot);
    AddLevel(t0, t1, v);
}

void CompositeComponent::AddPropertyRecord(const CDaoEquipmentProperties& row, long groupID)
{
    isProperty = 1;
    type = Properties;
    const double* value = nullptr;
    CString unit;
    switch (groupID) {
    case 0:
        value = &row.m_Temperature;
        unit = row.m_TemperatureUOM;
        break;
    case 1:
        value = &row.m_Pressure;
        unit = row.m_PressureUOM;
        break;
    case 2:
        value = &row.m_AverageMolecularWeight;
        unit = "g/mol";
        break;
    case 3:
        value = &row.m_AverageViscosity;
        unit = row.m_AverageViscosityUOM;
        break;
    case 4:
        value = &row.m_AverageHeatCapacity;
        unit = row.m_AverageHeatCapacityUOM;
        break;
    case 5:
        value = &row.m_AverageDensity;
        unit = row.m_AverageDensityUOM;
        break;
    default:
        return; // not a property group
    }
    if (row.IsFieldNull(&row.m_EndTime) || row.IsFieldNull(value)) return;
    SetUnit(unit, MassSlot);
    if (!row.IsFieldNull(&row.m_EndTimeUOM)) SetUnit(row.m_EndTimeUOM, TimeSlot);
    const long t1 = toSeconds(row.m_EndTime);
    const long t0 = row.IsFieldNull(&row.m_StartTime)
                        ? t1
                        : TruncateTo<long>(ToInternalUnits(row.m_StartTimeUOM, row.m_StartTime, 1.0, 1.0));
    CompVals v;
    v.mass = amountFactor(MassSlot) * *value + offsets[MassSlot];
    SetPoint(t0, t1, v);
}

void CompositeComponent::AddBufferTankRecord(const CompTankRow& tank, const CompTankShare& share)
{
    setAmountUnits(tank.timeUOM, tank.massUOM, tank.volumeUOM, tank.molesUOM);
    type = BufferTanks;
    const long t1 = toSeconds(tank.time);
    // The first row of the query has no row before it: its interval is empty.
    const long t0 = tank.before ? toSeconds(*tank.before) : t1;
    CompVals v;
    v.batch = Low16(share.batch);
    v.mass = tank.mass * share.massPhaseFraction * share.massFraction * amountFactor(MassSlot);
    v.volume = LevelVolume(tank.volume * amountFactor(VolumeSlot), tank.capacity, tank.maxFillFactor) *
               share.volumePhaseFraction * share.volumeFraction;
    v.moles = tank.moles * share.molarPhaseFraction * share.moleFraction * amountFactor(MolesSlot);
    AddLevel(t0, t1, v);
}

void CompositeComponent::GetList(Hash<long, double>& list, CompositeSetting setting) const
{
    const Hash<long, CompVals>& profile = GetValues();
    const int bits = static_cast<int>(setting);
    const int n = profile.GetCount();

    if (type == Contents || type == BufferTanks) {
        double CompVals::*field = nullptr;
        if (bits & Mass)
            field = &CompVals::mass;
        else if (bits & Volume)
            field = &CompVals::volume;
        else if (bits & Moles)
            field = &CompVals::moles;
        if (!field) return;
        for (int i = 0; i < n; ++i)
            list[profile.GetKeyAt(i)] += profile.GetAt(i).*field;
        return;
    }
    if (isProperty) {
        for (int i = 0; i < n; ++i)
            list[profile.GetKeyAt(i)] = profile.GetAt(i).mass;
        return;
    }

    auto pick = [bits](const CompVals& v, double& out) {
        if (bits & Mass)
            out = v.mass;
        else if (bits & Volume)
            out = v.volume;
        else if (bits & Moles)
            out = v.moles;
        else if (bits & Duty)
            out = v.duty;
        else if (bits & Operators)
            out = static_cast<double>(v.operators);
        else
            return false;
        return true;
    };
    double probe = 0.0;
    if (n < 2 || !pick(CompVals{}, probe)) return;
    // Entry i's rate applies from its time to the next entry's; summed into
    // what the list already holds in one sweep.
    ProfileBuilder<double> sum;
    sum.Load(list);
    for (int i = 0; i + 1 < n; ++i) {
        double rate = 0.0;
        pick(profile.GetAt(i), rate);
        sum.AddInterval(profile.GetKeyAt(i), profile.GetKeyAt(i + 1), rate);
    }
    sum.Store(list);
}

void CompositeComponent::GetUnits(CompositeSetting setting, CString& timeUnit, double& timeFactor, CString& valueUnit,
                                  double& valueFactor, double& valueOffset) const
{
    const int bits = static_cast<int>(setting);
    timeUnit = unitNames[TimeSlot];
    timeFactor = factors[TimeSlot];
    int slot;
    if (isProperty || (bits & Mass))
        slot = MassSlot;
    else if (bits & Moles)
        slot = MolesSlot;
    else if (bits & Volume)
        slot = VolumeSlot;
    else if (bits & Duty)
        slot = DutySlot;
    else if (bits & Operators) {
        valueFactor = 1.0;
        valueUnit = "operators";
        return;
    } else {
        return;
    }
    valueUnit = unitNames[slot];
    valueFactor = factors[slot];
    valueOffset = offsets[slot];
    if (bits & PerTime) {
        valueFactor = valueFactor / timeFactor;
        valueUnit = valueUnit + "/" + timeUnit;
    }
}

// ---------------------------------------------------------------------------
// CompositeVessel

CompositeVessel::CompositeVessel(long vesselID, const CString& vesselName) : name(vesselName), id(vesselID) {}

CompositeVessel::~CompositeVessel()
{
    for (int i = 0; i < components.GetCount(); ++i)
        delete components.GetAt(i);
    components.RemoveAll();
}

CompositeComponent* CompositeVessel::FindComponent(long componentID) const
{
    CompositeComponent* const* found = components.Lookup(componentID);
    return found ? *found : nullptr;
}

CompositeComponent* CompositeVessel::NewComponent(long componentID)
{
    CompositeComponent*& slot = components[componentID];
    if (!slot) slot = new CompositeComponent(componentID);
    return slot;
}

void CompositeVessel::AddStreamRecord(const CDaoCompositeStream& row, CompType rowType)
{
    // Cleaning streams are not material movements of the campaign.
    if (row.m_StreamCategoryID == -5) return;
    CompositeComponent* component = FindComponent(row.m_MaterialID);
    if (!component) {
        component = NewComponent(row.m_MaterialID);
        component->SetName(row.m_MaterialName);
        component->SetCategory(row.m_StreamCategoryID);
    }
    component->AddStreamRecord(row, rowType);
}

void CompositeVessel::AddVaporRecord(const CDaoCompVapor& row)
{
    CompositeComponent* component = FindComponent(row.m_MaterialID);
    if (!component) {
        component = NewComponent(row.m_MaterialID);
        component->SetName(row.m_MaterialName);
    }
    component->AddVaporRecord(row);
}

void CompositeVessel::AddUtilityRecord(const DaoUtilityComposite& row)
{
    const bool unspecified = row.m_EquipmentName.IsEmpty();
    const long componentID = unspecified ? -1 : row.m_EquipmentID;
    CompositeComponent* component = FindComponent(componentID);
    if (!component) {
        component = NewComponent(componentID);
        component->SetName(unspecified ? CString("Unspecified Equipment") : row.m_EquipmentName);
    }
    component->AddUtilityRecord(row);
}

void CompositeVessel::AddLaborRecord(const CDaoCompositeLabor& row)
{
    const long componentID = row.m_LaborGradeID == 0 ? -1 : row.m_LaborGradeID;
    CompositeComponent* component = FindComponent(componentID);
    if (!component) {
        component = NewComponent(componentID);
        component->SetName(row.m_LaborGrade);
    }
    component->AddLaborRecord(row);
}

void CompositeVessel::AddContentsRecord(const CDaoEquipmentContents& row)
{
    // An operation without contents comes as a row without a material: it
    // still sets the vessel's other materials to 0, but names no material.
    if (row.IsFieldNull(&row.m_MaterialID)) {
        const CompContentsRow blank = CompContentsRow::Blank(CompContentsRow::From(row));
        for (int i = 0; i < components.GetCount(); ++i)
            components.GetAt(i)->AddContentsRecord(blank);
        return;
    }
    AddContentsRecord(CompContentsRow::From(row), row.m_MaterialID, row.m_MaterialName);
}

void CompositeVessel::AddContentsRecord(const CompContentsRow& row, long materialID, const CString& materialName)
{
    // A material the vessel's contents lack at this operation's end is at 0.
    const CompContentsRow blank = CompContentsRow::Blank(row);
    for (int i = 0; i < components.GetCount(); ++i)
        components.GetAt(i)->AddContentsRecord(blank);
    CompositeComponent* component = FindComponent(materialID);
    if (!component) {
        if (detail::IsGas(row.phase)) return;
        component = NewComponent(materialID);
        component->SetName(materialName);
    }
    component->AddContentsRecord(row);
}

void CompositeVessel::AddPropertyRecord(const CDaoEquipmentProperties& row)
{
    if (row.IsFieldNull(&row.m_EndTime)) return;
    CompositeComponent* component = FindComponent(row.m_EquipmentID);
    if (!component) {
        component = NewComponent(row.m_EquipmentID);
        component->SetName(row.m_EquipmentName);
        component->SetPropertyGroup(this);
    }
    component->AddPropertyRecord(row, id);
}

void CompositeVessel::AddBufferTankRecord(const CompTankRow& tank, const CompTankShare& share)
{
    CompositeComponent* component = FindComponent(share.componentID);
    if (!component) {
        component = NewComponent(share.componentID);
        component->SetName(share.materialName);
    }
    component->AddBufferTankRecord(tank, share);
}

} // namespace batchplant
