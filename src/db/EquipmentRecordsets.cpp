#include "batchplant/db/EquipmentRecordsets.h"

#include <string>

#include "db/TankRecordsets.h"

namespace batchplant {

CDaoEquipmentSet::CDaoEquipmentSet(CDaoDatabase* pDatabase)
    : CDaoRecordset(pDatabase), m_EquipmentID(0), m_CalendarID(0), m_PlantID(0), m_EquipmentClassID(0), m_Capacity(0.0),
      m_MaxFillFactor(1.0)
{
    m_nFields = 11;
}

CDaoEquipmentSet::~CDaoEquipmentSet() = default;

CString CDaoEquipmentSet::GetDefaultDBName() { return CString("batchplant/CDaoEquipmentSet.db"); }

CString CDaoEquipmentSet::GetDefaultSQL()
{
    return R"sql(SELECT DISTINCT EquipmentID, Category AS Class, EquipmentClassID, QLTag, Capacity, CapacityUOM, MaxFillFactor, EquipmentType, es.PlantID,  PlantName, CalendarID FROM EquipmentSummary AS es LEFT JOIN FacilitySummary AS fs ON fs.PlantID = es.PlantID ;)sql";
}

void CDaoEquipmentSet::DoFieldExchange(CDaoFieldExchange* pFX)
{
    if (!pFX) return;
    pFX->SetFieldType(CDaoFieldExchange::outputColumn);
    DFX_Long(pFX, "[EquipmentID]", m_EquipmentID);
    DFX_Long(pFX, "[CalendarID]", m_CalendarID);
    DFX_Long(pFX, "[PlantID]", m_PlantID);
    DFX_Text(pFX, "[PlantName]", m_PlantName);
    DFX_Text(pFX, "[Class]", m_Class);
    DFX_Long(pFX, "[EquipmentClassID]", m_EquipmentClassID);
    DFX_Text(pFX, "[QLTag]", m_QLTag);
    DFX_Double(pFX, "[Capacity]", m_Capacity);
    DFX_Text(pFX, "[CapacityUOM]", m_CapacityUOM);
    DFX_Double(pFX, "[MaxFillFactor]", m_MaxFillFactor);
    DFX_Text(pFX, "[EquipmentType]", m_EquipmentType);
}

void CDaoEquipmentSet::Open(int nOpenType, const char* lpszSQL, int nOptions)
{
    CDaoRecordset::Open(nOpenType, lpszSQL, nOptions);
}

bool CDaoEquipmentSet::OpenOnDatabase(CDaoDatabase* db) { return detail::OpenRecordsetOnDatabase(*this, db, true); }

void CDaoEquipmentSet::CloseIfOpen() { detail::CloseRecordsetIfOpen(*this); }

CDaoPlanSummary::CDaoPlanSummary(CDaoDatabase* pDatabase)
    : CDaoRecordset(pDatabase), m_PlanID(0), m_RequirementID(0), m_StepID(0), m_NumberOfBatches(0)
{
    m_nFields = 6;
}

CDaoPlanSummary::~CDaoPlanSummary() = default;

CString CDaoPlanSummary::GetDefaultDBName() { return CString("batchplant/CDaoPlanSummary.db"); }

CString CDaoPlanSummary::GetDefaultSQL()
{
    return R"sql(SELECT pps.*, pp.PlanName, pp.StartDateTime FROM PPlan AS pp INNER JOIN ProductionPlanSummary AS pps ON pp.PlanID = pps.PlanID;)sql";
}

void CDaoPlanSummary::DoFieldExchange(CDaoFieldExchange* pFX)
{
    if (!pFX) return;
    pFX->SetFieldType(CDaoFieldExchange::outputColumn);
    DFX_Long(pFX, "[PlanID]", m_PlanID);
    DFX_Long(pFX, "[RequirementID]", m_RequirementID);
    DFX_Long(pFX, "[StepID]", m_StepID);
    DFX_Short(pFX, "[NumberOfBatches]", m_NumberOfBatches);
    DFX_Text(pFX, "[PlanName]", m_PlanName);
    DFX_DateTime(pFX, "[StartDateTime]", m_StartDateTime);
}

bool CDaoPlanSummary::OpenOnDatabase(CDaoDatabase* db) { return detail::OpenRecordsetOnDatabase(*this, db, true); }

void CDaoPlanSummary::CloseIfOpen() { detail::CloseRecordsetIfOpen(*this); }

CDaoStepSummary::CDaoStepSummary(CDaoDatabase* pDatabase)
    : CDaoRecordset(pDatabase), m_StepID(0), m_KeyInputIntermediateID(0), m_KeyOutputIntermediateID(0),
      m_InputIntermediate2ID(0), m_InputIntermediate3ID(0), m_OutputIntermediate2ID(0), m_OutputIntermediate3ID(0),
      m_NumberOfBatches(0), m_TimeLimitingEquipmentID(0), m_AverageBatchTime(0.0), m_AverageCycleTime(0.0),
      m_CampaignTime(0.0), m_AverageBatchSize(0.0), m_PotentialBatchSize(0.0), m_AverageStepYield(0.0),
      m_MinimumBatchSize(0.0), m_PlantID(0)
{
    m_nFields = 30;
}

CDaoStepSummary::~CDaoStepSummary() = default;

CString CDaoStepSummary::GetDefaultDBName() { return CString("batchplant/CDaoStepSummary.db"); }

CString CDaoStepSummary::GetDefaultSQL()
{
    return R"sql(SELECT  pc.MaterialName AS KeyOutputName, ss.*,  fs.PlantName FROM ((StepSummary AS ss INNER JOIN FacilitySummary AS fs  ON ss.PlantID = fs.PlantID) LEFT JOIN PureComponents as pc ON ss.KeyOutputIntermediateID = pc.MaterialID); )sql";
}

void CDaoStepSummary::DoFieldExchange(CDaoFieldExchange* pFX)
{
    if (!pFX) return;
    pFX->SetFieldType(CDaoFieldExchange::outputColumn);
    DFX_Long(pFX, "[StepID]", m_StepID);
    DFX_Text(pFX, "[StepName]", m_StepName);
    DFX_Text(pFX, "[KeyOutputName]", m_KeyOutputName);
    DFX_Text(pFX, "[StepVersionName]", m_StepVersionName);
    DFX_Long(pFX, "[KeyInputIntermediateID]", m_KeyInputIntermediateID);
    DFX_Long(pFX, "[KeyOutputIntermediateID]", m_KeyOutputIntermediateID);
    DFX_Long(pFX, "[InputIntermediate2ID]", m_InputIntermediate2ID);
    DFX_Long(pFX, "[InputIntermediate3ID]", m_InputIntermediate3ID);
    DFX_Long(pFX, "[OutputIntermediate2ID]", m_OutputIntermediate2ID);
    DFX_Long(pFX, "[OutputIntermediate3ID]", m_OutputIntermediate3ID);
    DFX_Long(pFX, "[NumberOfBatches]", m_NumberOfBatches);
    DFX_Long(pFX, "[TimeLimitingEquipmentID]", m_TimeLimitingEquipmentID);
    DFX_Double(pFX, "[AverageBatchTime]", m_AverageBatchTime);
    DFX_Text(pFX, "[AverageBatchTimeUOM]", m_AverageBatchTimeUOM);
    DFX_Double(pFX, "[AverageCycleTime]", m_AverageCycleTime);
    DFX_Text(pFX, "[AverageCycleTimeUOM]", m_AverageCycleTimeUOM);
    DFX_Double(pFX, "[CampaignTime]", m_CampaignTime);
    DFX_Text(pFX, "[CampaignTimeUOM]", m_CampaignTimeUOM);
    DFX_Double(pFX, "[AverageBatchSize]", m_AverageBatchSize);
    DFX_Text(pFX, "[AverageBatchSizeUOM]", m_AverageBatchSizeUOM);
    DFX_Double(pFX, "[PotentialBatchSize]", m_PotentialBatchSize);
    DFX_Text(pFX, "[PotentialBatchSizeUOM]", m_PotentialBatchSizeUOM);
    DFX_Double(pFX, "[AverageStepYield]", m_AverageStepYield);
    DFX_Text(pFX, "[ReactionText]", m_ReactionText);
    DFX_DateTime(pFX, "[SimulationDateTime]", m_SimulationDateTime);
    DFX_Double(pFX, "[MinimumBatchSize]", m_MinimumBatchSize);
    DFX_Text(pFX, "[MinimumBatchSizeUOM]", m_MinimumBatchSizeUOM);
    DFX_Long(pFX, "[PlantID]", m_PlantID);
    DFX_Text(pFX, "[PlantName]", m_PlantName);
    DFX_DateTime(pFX, "[StartDateTime]", m_StartDateTime);
}

bool CDaoStepSummary::OpenOnDatabase(CDaoDatabase* db) { return detail::OpenRecordsetOnDatabase(*this, db, false); }

void CDaoStepSummary::CloseIfOpen() { detail::CloseRecordsetIfOpen(*this); }

CDaoEquipConts::CDaoEquipConts(CDaoDatabase* pDatabase)
    : CDaoRecordset(pDatabase), m_BatchNumber(0), m_EquipmentID(0), m_StepID(0), m_UnitProcedureID(0), m_OperationID(0),
      m_OpSeqNum(0), m_ProcSeqNum(0), m_StartTime(0.0), m_EndTime(0.0), m_Volume(0.0), m_Temperature(0.0)
{
    m_nFields = 20;
}

CDaoEquipConts::~CDaoEquipConts() = default;

CString CDaoEquipConts::GetDefaultDBName() { return CString("batchplant/CDaoEquipConts.db"); }

CString CDaoEquipConts::GetDefaultSQL()
{
    return R"sql(SELECT es.BatchNumber, es.EquipmentID, es.StepID, es.UnitProcedureID, ss.StepName, ss.StepVersionName, ec.UnitProcedureName, es.OperationID, tr.OperationName AS OpName, tr.RecipeText, tr.UnitProcedureSequenceNumber AS ProcSeqNum, tr.OperationSequenceNumber AS OpSeqNum,  tr.OperationName AS OpType, es.StartTime, es.EndTime, es.TimeUOM AS EndTimeUOM, ec.Volume, ec.VolumeUOM, ec.Temperature, ec.TemperatureUOM   FROM ((EquipmentSchedule AS es INNER JOIN TextRecipe AS tr ON (tr.OperationID = es.OperationID AND tr.StepID = es.StepID)) INNER JOIN StepSummary AS ss ON ss.StepID = es.StepID) LEFT JOIN EquipmentContents AS ec ON ((es.EquipmentID = ec.EquipmentID) AND (es.BatchNumber = ec.BatchNumber) AND (es.OperationID = ec.OperationID) AND (es.UnitProcedureID = ec.UnitProcedureID) AND (es.StepID = ec.StepID)) ORDER BY es.EquipmentID, es.EndTime;)sql";
}

void CDaoEquipConts::DoFieldExchange(CDaoFieldExchange* pFX)
{
    if (!pFX) return;
    pFX->SetFieldType(CDaoFieldExchange::outputColumn);
    DFX_Long(pFX, "[BatchNumber]", m_BatchNumber);
    DFX_Long(pFX, "[EquipmentID]", m_EquipmentID);
    DFX_Long(pFX, "[StepID]", m_StepID);
    DFX_Text(pFX, "[StepName]", m_StepName);
    DFX_Text(pFX, "[StepVersionName]", m_StepVersionName);
    DFX_Long(pFX, "[UnitProcedureID]", m_UnitProcedureID);
    DFX_Long(pFX, "[OperationID]", m_OperationID);
    DFX_Long(pFX, "[OpSeqNum]", m_OpSeqNum);
    DFX_Long(pFX, "[ProcSeqNum]", m_ProcSeqNum);
    DFX_Text(pFX, "[OpName]", m_OpName);
    DFX_Text(pFX, "[RecipeText]", m_RecipeText);
    DFX_Text(pFX, "[OpType]", m_OpType);
    DFX_Text(pFX, "[UnitProcedureName]", m_UnitProcedureName);
    DFX_Double(pFX, "[StartTime]", m_StartTime);
    DFX_Double(pFX, "[EndTime]", m_EndTime);
    DFX_Text(pFX, "[EndTimeUOM]", m_EndTimeUOM);
    DFX_Double(pFX, "[Volume]", m_Volume);
    DFX_Text(pFX, "[VolumeUOM]", m_VolumeUOM);
    DFX_Double(pFX, "[Temperature]", m_Temperature);
    DFX_Text(pFX, "[TemperatureUOM]", m_TemperatureUOM);
}

bool CDaoEquipConts::OpenOnDatabase(CDaoDatabase* db) { return detail::OpenRecordsetOnDatabase(*this, db, true); }

void CDaoEquipConts::CloseIfOpen() { detail::CloseRecordsetIfOpen(*this); }

CDaoEquipmentContents::CDaoEquipmentContents(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_BatchNumber(0), m_MaterialID(0), m_EquipmentID(0), m_UnitProcedureID(0),
      m_OperationID(0), m_StartTime(0.0), m_EndTime(0.0), m_Mass(0.0), m_Volume(0.0), m_Moles(0.0), m_MassFraction(0.0),
      m_MoleFraction(0.0), m_VolumeFraction(0.0), m_MassPhaseFraction(0.0), m_VolumePhaseFraction(0.0),
      m_MolarPhaseFraction(0.0), m_Capacity(0.0), m_MaxFillFactor(0.0)
{
    m_nFields = 26;
}

CDaoEquipmentContents::~CDaoEquipmentContents() = default;

CString CDaoEquipmentContents::GetDefaultDBName() { return CString("batchplant/CDaoEquipmentContents.db"); }

CString CDaoEquipmentContents::GetDefaultSQL()
{
    return R"sql(SELECT DISTINCTROW es.BatchNumber, puc.MaterialID, puc.MaterialName, esum.QLTag AS EquipmentName, esum.Capacity, esum.CapacityUOM, esum.MaxFillFactor, es.EquipmentID, es.UnitProcedureID, es.OperationID, es.StartTime, es.EndTime, es.TimeUOM, ec.Mass, ec.MassUOM, ec.Moles, ec.MolesUOM, ec.Volume, ec.VolumeUOM, tp.Phase, tp.MolarPhaseFraction, tp.MassPhaseFraction, tp.VolumePhaseFraction, pc.MassFraction, pc.MoleFraction, pc.VolumeFraction FROM ((( (EquipmentSchedule AS es INNER JOIN EquipmentSummary AS esum ON (es.EquipmentID = esum.EquipmentID)) LEFT JOIN EquipmentContents AS ec ON (es.EquipmentID = ec.EquipmentID)  AND (es.BatchNumber = ec.BatchNumber) AND (es.OperationID = ec.OperationID) AND (es.UnitProcedureID = ec.UnitProcedureID) AND (es.StepID = ec.StepID)) LEFT JOIN ThermodynamicPhase AS tp ON tp.ContentsID = ec.ContentsID) LEFT JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) LEFT JOIN PureComponents AS puc ON puc.MaterialID = pc.ComponentID WHERE esum.EquipmentType<>'Continuous' ORDER BY es.EquipmentID, es.StartTime; )sql";
}

CString TankEquipmentContents::GetDefaultSQL()
{
    // The full query's text with one condition more, so that the two cannot
    // drift apart.
    const std::string full = CDaoEquipmentContents::GetDefaultSQL().str();
    const std::size_t order = full.rfind(" ORDER BY ");
    const std::string tanks = " AND es.EquipmentID IN (SELECT EquipmentID FROM CompositeContents)";
    return CString((full.substr(0, order) + tanks + full.substr(order)).c_str());
}

void CDaoEquipmentContents::DoFieldExchange(CDaoFieldExchange* pFX)
{
    if (!pFX) return;
    pFX->SetFieldType(CDaoFieldExchange::outputColumn);
    DFX_Long(pFX, "[BatchNumber]", m_BatchNumber);
    DFX_Long(pFX, "[MaterialID]", m_MaterialID);
    DFX_Text(pFX, "[MaterialName]", m_MaterialName);
    DFX_Text(pFX, "[Phase]", m_Phase);
    DFX_Text(pFX, "[EquipmentName]", m_EquipmentName);
    DFX_Long(pFX, "[EquipmentID]", m_EquipmentID);
    DFX_Long(pFX, "[UnitProcedureID]", m_UnitProcedureID);
    DFX_Long(pFX, "[OperationID]", m_OperationID);
    DFX_Double(pFX, "[StartTime]", m_StartTime);
    DFX_Double(pFX, "[EndTime]", m_EndTime);
    DFX_Text(pFX, "[TimeUOM]", m_TimeUOM);
    DFX_Double(pFX, "[Mass]", m_Mass);
    DFX_Text(pFX, "[MassUOM]", m_MassUOM);
    DFX_Double(pFX, "[Volume]", m_Volume);
    DFX_Text(pFX, "[VolumeUOM]", m_VolumeUOM);
    DFX_Double(pFX, "[Moles]", m_Moles);
    DFX_Text(pFX, "[MolesUOM]", m_MolesUOM);
    DFX_Double(pFX, "[MassFraction]", m_MassFraction);
    DFX_Double(pFX, "[MoleFraction]", m_MoleFraction);
    DFX_Double(pFX, "[VolumeFraction]", m_VolumeFraction);
    DFX_Double(pFX, "[MassPhaseFraction]", m_MassPhaseFraction);
    DFX_Double(pFX, "[VolumePhaseFraction]", m_VolumePhaseFraction);
    DFX_Double(pFX, "[MolarPhaseFraction]", m_MolarPhaseFraction);
    DFX_Double(pFX, "[Capacity]", m_Capacity);
    DFX_Text(pFX, "[CapacityUOM]", m_CapacityUOM);
    DFX_Double(pFX, "[MaxFillFactor]", m_MaxFillFactor);
}

CDaoEquipmentProperties::CDaoEquipmentProperties(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_EquipmentID(0), m_StartTime(0.0), m_EndTime(0.0), m_Temperature(0.0),
      m_Pressure(0.0), m_AverageMolecularWeight(0.0), m_AverageViscosity(0.0), m_AverageHeatCapacity(0.0),
      m_AverageDensity(0.0)
{
    m_nFields = 17;
}

CDaoEquipmentProperties::~CDaoEquipmentProperties() = default;

CString CDaoEquipmentProperties::GetDefaultDBName() { return CString("batchplant/CDaoEquipmentProperties.db"); }

CString CDaoEquipmentProperties::GetDefaultSQL()
{
    return R"sql(SELECT   esum.QLTag AS EquipmentName, ec.EquipmentID,  es.StartTime, es.TimeUOM AS StartTimeUOM, ec.Time AS EndTime, ec.TimeUOM AS EndTimeUOM, ec.Temperature, ec.TemperatureUOM, ec.Pressure, ec.PressureUOM, ec.AverageMolecularWeight, ec.AverageViscosity, ec.AverageViscosityUOM, ec.AverageHeatCapacity, ec.AverageHeatCapacityUOM, ec.AverageDensity, ec.AverageDensityUOM FROM (EquipmentContents AS ec LEFT JOIN EquipmentSummary AS esum ON ec.EquipmentID = esum.EquipmentID) LEFT JOIN EquipmentSchedule AS es ON (es.EquipmentID = ec.EquipmentID)  AND (es.BatchNumber = ec.BatchNumber) AND (es.OperationID = ec.OperationID) AND (es.UnitProcedureID = ec.UnitProcedureID) AND (es.StepID = ec.StepID) ORDER BY ec.EquipmentID, ec.Time; )sql";
}

void CDaoEquipmentProperties::DoFieldExchange(CDaoFieldExchange* pFX)
{
    if (!pFX) return;
    pFX->SetFieldType(CDaoFieldExchange::outputColumn);
    DFX_Text(pFX, "[EquipmentName]", m_EquipmentName);
    DFX_Long(pFX, "[EquipmentID]", m_EquipmentID);
    DFX_Double(pFX, "[StartTime]", m_StartTime);
    DFX_Text(pFX, "[StartTimeUOM]", m_StartTimeUOM);
    DFX_Double(pFX, "[EndTime]", m_EndTime);
    DFX_Text(pFX, "[EndTimeUOM]", m_EndTimeUOM);
    DFX_Double(pFX, "[Temperature]", m_Temperature);
    DFX_Text(pFX, "[TemperatureUOM]", m_TemperatureUOM);
    DFX_Double(pFX, "[Pressure]", m_Pressure);
    DFX_Text(pFX, "[PressureUOM]", m_PressureUOM);
    DFX_Double(pFX, "[AverageMolecularWeight]", m_AverageMolecularWeight);
    DFX_Double(pFX, "[AverageViscosity]", m_AverageViscosity);
    DFX_Text(pFX, "[AverageViscosityUOM]", m_AverageViscosityUOM);
    DFX_Double(pFX, "[AverageHeatCapacity]", m_AverageHeatCapacity);
    DFX_Text(pFX, "[AverageHeatCapacityUOM]", m_AverageHeatCapacityUOM);
    DFX_Double(pFX, "[AverageDensity]", m_AverageDensity);
    DFX_Text(pFX, "[AverageDensityUOM]", m_AverageDensityUOM);
}

CDaoPhaseComponents::CDaoPhaseComponents(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_PhaseID(0), m_ComponentID(0), m_MassFraction(0.0), m_MoleFraction(0.0),
      m_VolumeFraction(0.0), m_pid(0)
{
    m_nFields = 5;
    m_nParams = 1;
}

CDaoPhaseComponents::~CDaoPhaseComponents() = default;

CString CDaoPhaseComponents::GetDefaultDBName() { return CString("batchplant/CDaoPhaseComponents.db"); }

CString CDaoPhaseComponents::GetDefaultSQL() { return R"sql([QryPhaseComponents])sql"; }

void CDaoPhaseComponents::DoFieldExchange(CDaoFieldExchange* pFX)
{
    if (!pFX) return;
    pFX->SetFieldType(CDaoFieldExchange::outputColumn);
    DFX_Long(pFX, "[PhaseID]", m_PhaseID);
    DFX_Long(pFX, "[ComponentID]", m_ComponentID);
    DFX_Double(pFX, "[MassFraction]", m_MassFraction);
    DFX_Double(pFX, "[MoleFraction]", m_MoleFraction);
    DFX_Double(pFX, "[VolumeFraction]", m_VolumeFraction);
    pFX->SetFieldType(CDaoFieldExchange::param);
    DFX_Long(pFX, "pid", m_pid);
}

bool CDaoPhaseComponents::OpenForPhase(CDaoDatabase* db, long phaseID)
{
    m_pid = phaseID;
    return OpenOnDatabase(db);
}

CDaoThermodynamicPhase::CDaoThermodynamicPhase(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_PhaseID(0), m_CompositeContentsID(0), m_MassPhaseFraction(0.0),
      m_MolarPhaseFraction(0.0), m_VolumePhaseFraction(0.0), m_sid(0), m_CompositeID(0), m_aid(0)
{
    m_nFields = 6;
    m_nParams = 3;
}

CDaoThermodynamicPhase::~CDaoThermodynamicPhase() = default;

CString CDaoThermodynamicPhase::GetDefaultDBName() { return CString("batchplant/CDaoThermodynamicPhase.db"); }

CString CDaoThermodynamicPhase::GetDefaultSQL() { return R"sql([QryThermodynamicPhase1])sql"; }

void CDaoThermodynamicPhase::DoFieldExchange(CDaoFieldExchange* pFX)
{
    if (!pFX) return;
    pFX->SetFieldType(CDaoFieldExchange::outputColumn);
    DFX_Long(pFX, "[PhaseID]", m_PhaseID);
    DFX_Long(pFX, "[CompositeContentsID]", m_CompositeContentsID);
    DFX_Text(pFX, "[Phase]", m_Phase);
    DFX_Double(pFX, "[MassPhaseFraction]", m_MassPhaseFraction);
    DFX_Double(pFX, "[MolarPhaseFraction]", m_MolarPhaseFraction);
    DFX_Double(pFX, "[VolumePhaseFraction]", m_VolumePhaseFraction);
    pFX->SetFieldType(CDaoFieldExchange::param);
    DFX_Long(pFX, "sid", m_sid);
    DFX_Long(pFX, "CompositeID", m_CompositeID);
    DFX_Long(pFX, "aid", m_aid);
}

bool CDaoThermodynamicPhase::OpenForComposite(CDaoDatabase* db, long compositeID)
{
    m_sid = 0;
    m_CompositeID = compositeID;
    m_aid = 0;
    return OpenOnDatabase(db);
}

} // namespace batchplant
