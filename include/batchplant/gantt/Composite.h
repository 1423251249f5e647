#pragma once
// Composite resource profiles of the schedule view: how much material flows
// into or out of the inventory locations, buffer tank contents, utility use,
// operators at work, vapor emissions, vessel contents and contents
// properties, each as a function of simulated time.
//
// A CompositeStream holds one profile type. It has groups (CompositeVessel:
// an inventory location, a tank, a utility, the labor categories, a
// property), each with components (CompositeComponent: a material, a piece of
// equipment, a labor grade), and each component has one profile.

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "batchplant/foundation/Hash.h"
#include "batchplant/gantt/CompositeProfile.h"
#include "batchplant/gantt/CompositeTypes.h"
#include "batchplant/platform/CString.h"

namespace batchplant {

class CDaoDatabase;
class CDaoRecordset;
class CDaoCompositeStream;
class CDaoCompVapor;
class CDaoCompositeLabor;
class DaoUtilityComposite;
class CDaoEquipmentContents;
class CDaoEquipmentProperties;
class CDaoBufferTankContents;
class CDaoThermodynamicPhase;
class CDaoPhaseComponents;
class CompositeVessel;

// One contents row (or the blank row the other materials of a vessel get):
// amounts, fractions and the vessel's capacity.
struct CompContentsRow {
    long batch = 0;
    double startTime = 0.0;
    double endTime = 0.0;
    CString timeUOM;
    CString phase;
    double mass = 0.0, volume = 0.0, moles = 0.0;
    CString massUOM, volumeUOM, molesUOM;
    double massPhaseFraction = 0.0, volumePhaseFraction = 0.0, molarPhaseFraction = 0.0;
    double massFraction = 0.0, volumeFraction = 0.0, moleFraction = 0.0;
    double capacity = 0.0;
    CString capacityUOM;
    double maxFillFactor = 0.0;

    static CompContentsRow From(const CDaoEquipmentContents& rs);
    // Only the times of `row`, every amount 0.
    static CompContentsRow Blank(const CompContentsRow& row);
};

// The tank-level facts of one buffer tank row that its components share.
struct CompTankRow {
    double time = 0.0;            // as stored
    std::optional<double> before; // Time of the previous row of the tank query
    CString timeUOM;
    double mass = 0.0, volume = 0.0, moles = 0.0;
    CString massUOM, volumeUOM, molesUOM;
    double capacity = 0.0; // of the tank's equipment, 0 when unknown
    CString capacityUOM;
    double maxFillFactor = 0.0;
};

// One component of one phase of a buffer tank row: the material, its shares
// of the tank's amounts and the batch that holds it.
struct CompTankShare {
    long componentID = 0;
    CString materialName; // names the component when it is new
    double massPhaseFraction = 0.0, volumePhaseFraction = 0.0, molarPhaseFraction = 0.0;
    double massFraction = 0.0, volumeFraction = 0.0, moleFraction = 0.0;
    long batch = 0;
};

// One component of a profile group (a material, a piece of equipment, a
// labor grade): its profile over time and the units it is shown in.
class CompositeComponent {
public:
    // Unit slots.
    enum Slot { TimeSlot = 0, MassSlot = 1, MolesSlot = 2, VolumeSlot = 3, DutySlot = 4, OperatorsSlot = 5 };
    static constexpr int kNumSlots = 6;

    explicit CompositeComponent(long id = -1, const CString& name = CString());
    CompositeComponent(const CompositeComponent&) = delete;
    CompositeComponent& operator=(const CompositeComponent&) = delete;

    long GetID() const { return id; }
    const CString& GetName() const { return name; }
    void SetName(const CString& text) { name = text; }
    long GetCategory() const { return category; }
    void SetCategory(long c) { category = c; }
    // CompType of the last row added, -1 before any.
    long GetType() const { return type; }
    bool IsProperty() const { return isProperty != 0; }
    CompositeVessel* GetPropertyGroup() const { return propertyGroup; }
    void SetPropertyGroup(CompositeVessel* group) { propertyGroup = group; }

    // The profile, keyed by simulated time in seconds.
    const Hash<long, CompVals>& GetValues() const;

    // Units per slot; a slot outside 0 to 5 reads as empty, -1.0 and 0.0.
    CString GetUnitName(int slot) const;
    double GetFactor(int slot) const;
    double GetOffset(int slot) const;
    // Records the unit of a slot: the first non-empty name seen stays, later
    // rows are taken to be in it. Nothing for a slot outside 0 to 5.
    void SetUnit(const CString& unitName, int slot);

    // Per-type adds (see the .cpp for the value rules).
    void AddStreamRecord(const CDaoCompositeStream& row, CompType rowType);
    void AddVaporRecord(const CDaoCompVapor& row);
    void AddUtilityRecord(const DaoUtilityComposite& row);
    void AddLaborRecord(const CDaoCompositeLabor& row);
    void AddContentsRecord(const CompContentsRow& row);
    // `groupID` selects the property (0 Temperature … 5 Avg. Density).
    void AddPropertyRecord(const CDaoEquipmentProperties& row, long groupID);
    // One phase component of a buffer tank row.
    void AddBufferTankRecord(const CompTankRow& tank, const CompTankShare& share);

    // The three profile operations on this component's profile.
    void AddInterval(long t0, long t1, const CompVals& v);
    void AddLevel(long t0, long t1, const CompVals& v);
    void SetPoint(long t0, long t1, const CompVals& v);

    // Adds the chosen quantity of the profile into `list` (never cleared).
    void GetList(Hash<long, double>& list, CompositeSetting setting) const;
    // The units in which to show the profile and the factors that turn
    // internal values into them; outputs a setting does not reach are left
    // as the caller gave them.
    void GetUnits(CompositeSetting setting, CString& timeUnit, double& timeFactor, CString& valueUnit,
                  double& valueFactor, double& valueOffset) const;

private:
    // Seconds of a row's time value, by the time slot's factor.
    long toSeconds(double value) const;
    // The slot's factor for converting amounts; 1.0 while no unit is known
    // (an empty unit column), so that amounts keep their sign.
    double amountFactor(int slot) const;
    ProfileBuilder<CompVals>& builder();
    void settle() const;
    // Records the units of a row that carries material amounts.
    void setAmountUnits(const CString& timeUOM, const CString& massUOM, const CString& volumeUOM,
                        const CString& molesUOM);
    // A stream or vapor row (the two share their column names) as the rate
    // of one component's mass, volume and moles over its interval; false
    // when the interval is empty.
    template <class FlowRow> bool flowRates(const FlowRow& row, long& t0, long& t1, CompVals& v) const;

    CString name;
    long category = 0;
    long type = -1;
    unsigned char isProperty = 0;
    long id = -1;
    mutable Hash<long, CompVals> values;
    CString unitNames[kNumSlots];
    double factors[kNumSlots] = {-1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
    double offsets[kNumSlots] = {};
    CompositeVessel* propertyGroup = nullptr;

    // Operations not yet written into `values` (written on the next read).
    mutable ProfileBuilder<CompVals> pending;
    mutable bool building = false;
    // The capacity unit of the contents rows, converted once.
    CString capacityUnit;
    double capacityFactor = -1.0;
    double capacityOffset = 0.0;
};

// One group of a profile type (an inventory location, a tank, a utility,
// the labor categories, a property) with its components.
class CompositeVessel {
public:
    CompositeVessel(long id = -1, const CString& name = CString());
    ~CompositeVessel();
    CompositeVessel(const CompositeVessel&) = delete;
    CompositeVessel& operator=(const CompositeVessel&) = delete;

    long GetID() const { return id; }
    const CString& GetName() const { return name; }
    // Components by id, in ascending id order; owned.
    const Hash<long, CompositeComponent*>& GetComponents() const { return components; }
    int GetNumComponents() const { return components.GetCount(); }

    // Null when there is none.
    CompositeComponent* FindComponent(long componentID) const;
    // A new component with that id (the existing one when there is one).
    CompositeComponent* NewComponent(long componentID);

    void AddStreamRecord(const CDaoCompositeStream& row, CompType rowType);
    void AddVaporRecord(const CDaoCompVapor& row);
    void AddUtilityRecord(const DaoUtilityComposite& row);
    void AddLaborRecord(const CDaoCompositeLabor& row);
    void AddContentsRecord(const CDaoEquipmentContents& row);
    void AddContentsRecord(const CompContentsRow& row, long materialID, const CString& materialName);
    void AddPropertyRecord(const CDaoEquipmentProperties& row);
    // One phase component of a buffer tank row.
    void AddBufferTankRecord(const CompTankRow& tank, const CompTankShare& share);

private:
    CString name;
    long id = -1;
    Hash<long, CompositeComponent*> components;
};

// The profiles of one composite type: its groups by id.
class CompositeStream {
public:
    CompositeStream();
    ~CompositeStream();
    CompositeStream(const CompositeStream&) = delete;
    CompositeStream& operator=(const CompositeStream&) = delete;

    // Groups by id, in ascending id order; owned.
    const Hash<long, CompositeVessel*>& GetVessels() const { return vessels; }
    int GetNumVessels() const { return vessels.GetCount(); }
    // Null when there is none.
    CompositeVessel* FindVessel(long vesselID) const;
    // The group with that id, created with `name` when absent.
    CompositeVessel* FindOrAddVessel(long vesselID, const CString& name);

    // Adds the current row of the type's recordset to the groups it belongs
    // to. A recordset that is not the type's own (or BufferTanks, which has
    // its own operation) is ignored.
    void AddRecord(const CDaoRecordset& row, CompType type);
    // The same for a row of known kind, one path each: the stream rows read
    // as Inputs, Outputs or Inventory, then the rows of the Utilities, Labor,
    // VaporEmissions, Contents and Properties queries.
    void AddRow(const CDaoCompositeStream& row, CompType type);
    void AddRow(const DaoUtilityComposite& row);
    void AddRow(const CDaoCompositeLabor& row);
    void AddRow(const CDaoCompVapor& row);
    void AddRow(const CDaoEquipmentContents& row);
    void AddRow(const CDaoEquipmentProperties& row);

    // Adds the current row of the buffer tank query: its phases (but the gas
    // phase) and their components, under the tank's group. The equipment
    // and equipment contents are read once, on the first call, and kept.
    void AddBufferTankRecord(CDaoDatabase* db, const CDaoBufferTankContents& tankRow, CDaoThermodynamicPhase& phases,
                             CDaoPhaseComponents& phaseComponents, CDaoEquipmentContents& contents, CompType type);
    // The same for every row of the tank query from the current one on; the
    // phase queries are re-run between rows rather than opened afresh, and
    // closed at the end.
    void AddBufferTankRows(CDaoDatabase* db, CDaoBufferTankContents& tanks, CDaoThermodynamicPhase& phases,
                           CDaoPhaseComponents& phaseComponents, CDaoEquipmentContents& contents);

private:
    struct TankIndex;
    // One tank row, leaving the phase queries open.
    void addTankRow(CDaoDatabase* db, const CDaoBufferTankContents& tankRow, CDaoThermodynamicPhase& phases,
                    CDaoPhaseComponents& phaseComponents, CDaoEquipmentContents& contents, CompType type);
    TankIndex& tankIndex(CDaoDatabase* db, CDaoEquipmentContents& contents);

    Hash<long, CompositeVessel*> vessels;
    std::unique_ptr<TankIndex> tanks;
    std::optional<double> previousTankTime;
};

// The id of a utility group: the product of the UTF-16 code units of its
// name, from 1, modulo 2^32, as a signed 32-bit value.
long UtilityGroupID(const CString& utilityName);

} // namespace batchplant
