// Loading equipment for the schedule view: the equipment and its own
// operations, no streams. Buffer tanks (class "Buffer Tank", exactly) are
// left to the last loader, which creates a tank only when it has operations
// of its own.

#include <unordered_map>
#include <vector>

#include "FacilityLoadingDetail.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/platform/MessageBox.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {

namespace {

const char* const kNoEquipment = "Failed to open database at equipmentSet !!!";
const char* const kNoOperations = "Failed to open database at equipmentConts";

// The columns of one operations row that a procedure reads, kept so that the
// operations query is walked once for all buffer tanks instead of once per
// tank.
struct OperationRow {
    long batch, equipment, step, unitProcedure, operation, opSeq, procSeq;
    CString stepName, stepVersion, opName, recipe, opType, unitProcedureName;
    double start, end, volume, temperature;
    CString endUOM, volumeUOM, temperatureUOM;

    explicit OperationRow(const CDaoEquipConts& r)
        : batch(r.m_BatchNumber), equipment(r.m_EquipmentID), step(r.m_StepID), unitProcedure(r.m_UnitProcedureID),
          operation(r.m_OperationID), opSeq(r.m_OpSeqNum), procSeq(r.m_ProcSeqNum), stepName(r.m_StepName),
          stepVersion(r.m_StepVersionName), opName(r.m_OpName), recipe(r.m_RecipeText), opType(r.m_OpType),
          unitProcedureName(r.m_UnitProcedureName), start(r.m_StartTime), end(r.m_EndTime), volume(r.m_Volume),
          temperature(r.m_Temperature), endUOM(r.m_EndTimeUOM), volumeUOM(r.m_VolumeUOM),
          temperatureUOM(r.m_TemperatureUOM)
    {
    }

    // Puts the row back into a (closed) recordset's members, the form in
    // which a procedure takes a row.
    void restoreInto(CDaoEquipConts& r) const
    {
        r.m_BatchNumber = batch;
        r.m_EquipmentID = equipment;
        r.m_StepID = step;
        r.m_UnitProcedureID = unitProcedure;
        r.m_OperationID = operation;
        r.m_OpSeqNum = opSeq;
        r.m_ProcSeqNum = procSeq;
        r.m_StepName = stepName;
        r.m_StepVersionName = stepVersion;
        r.m_OpName = opName;
        r.m_RecipeText = recipe;
        r.m_OpType = opType;
        r.m_UnitProcedureName = unitProcedureName;
        r.m_StartTime = start;
        r.m_EndTime = end;
        r.m_Volume = volume;
        r.m_Temperature = temperature;
        r.m_EndTimeUOM = endUOM;
        r.m_VolumeUOM = volumeUOM;
        r.m_TemperatureUOM = temperatureUOM;
    }
};

} // namespace

void Facility::loadEquipmentSetForGanttChart(CDaoDatabase* db)
{
    CDaoEquipmentSet equipment;
    if (!equipment.OpenOnDatabase(db) || equipment.IsEOF()) {
        AfxMessageBox(kNoEquipment, MB_OK);
        return;
    }
    for (; !equipment.IsEOF(); equipment.MoveNext())
        if (!detail::IsBufferTankClass(equipment.m_Class)) addVesselFromRow(equipment);
}

void Facility::loadBasicEquipContsForGanttChart(CDaoDatabase* db)
{
    CDaoEquipConts ops;
    if (!ops.OpenOnDatabase(db) || ops.IsEOF()) {
        AfxMessageBox(kNoOperations, MB_OK);
        return;
    }
    detail::GiveOperationsToVessels(m_vessels, ops, true);
}

void Facility::loadBufferTankEquipAndContents(CDaoDatabase* db)
{
    CDaoEquipmentSet equipment;
    if (!equipment.OpenOnDatabase(db) || equipment.IsEOF()) {
        AfxMessageBox(kNoEquipment, MB_OK);
        return;
    }
    CDaoEquipConts ops;
    if (!ops.OpenOnDatabase(db) || ops.IsEOF()) {
        AfxMessageBox(kNoOperations, MB_OK);
        return;
    }

    // The tanks' identifiers first, so that the operations walk keeps only
    // their rows.
    std::unordered_map<long, std::vector<OperationRow>> tankOps;
    for (; !equipment.IsEOF(); equipment.MoveNext())
        if (detail::IsBufferTankClass(equipment.m_Class)) tankOps.try_emplace(equipment.m_EquipmentID);
    if (tankOps.empty()) return;
    for (; !ops.IsEOF(); ops.MoveNext()) {
        const auto it = tankOps.find(ops.m_EquipmentID);
        if (it != tankOps.end()) it->second.emplace_back(ops);
    }
    ops.CloseIfOpen();

    // The first vessel with each identifier (the vessel an operations row
    // of that identifier goes to).
    std::unordered_map<long, Vessel*> firstVessel;
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (v) firstVessel.emplace(v->GetID(), v);
    }

    CDaoEquipConts row; // never opened: carries one kept row at a time
    for (equipment.MoveFirst(); !equipment.IsEOF(); equipment.MoveNext()) {
        if (!detail::IsBufferTankClass(equipment.m_Class)) continue;
        const long tank = equipment.m_EquipmentID;
        const std::vector<OperationRow>& rows = tankOps[tank];
        for (const OperationRow& op : rows) {
            Vessel*& vessel = firstVessel[tank];
            // A tank is created by its first operation row.
            if (!vessel) vessel = addVesselFromRow(equipment);
            if (!vessel || !vessel->GetProc()) break;
            op.restoreInto(row);
            vessel->GetProc()->AddNewProc(row);
        }
    }
}

} // namespace batchplant
