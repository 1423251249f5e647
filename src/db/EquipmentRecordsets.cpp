#include "batchplant/db/EquipmentRecordsets.h"

#include <string>

#include "db/RecordsetColumns.h"
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
    BATCHPLANT_COLUMNS(EquipmentID, CalendarID, PlantID, PlantName, Class, EquipmentClassID, QLTag, Capacity,
                       CapacityUOM, MaxFillFactor, EquipmentType);
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
    BATCHPLANT_COLUMNS(PlanID, RequirementID, StepID, NumberOfBatches, PlanName, StartDateTime);
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
    BATCHPLANT_COLUMNS(StepID, StepName, KeyOutputName, StepVersionName, KeyInputIntermediateID,
                       KeyOutputIntermediateID, InputIntermediate2ID, InputIntermediate3ID, OutputIntermediate2ID,
                       OutputIntermediate3ID, NumberOfBatches, TimeLimitingEquipmentID, AverageBatchTime,
                       AverageBatchTimeUOM, AverageCycleTime, AverageCycleTimeUOM, CampaignTime, CampaignTimeUOM,
                       AverageBatchSize, AverageBatchSizeUOM, PotentialBatchSize, PotentialBatchSizeUOM,
                       AverageStepYield, ReactionText, SimulationDateTime, MinimumBatchSize, MinimumBatchSizeUOM,
                       PlantID, PlantName, StartDateTime);
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
    BATCHPLANT_COLUMNS(BatchNumber, EquipmentID, StepID, StepName, StepVersionName, UnitProcedureID, OperationID,
                       OpSeqNum, ProcSeqNum, OpName, RecipeText, OpType, UnitProcedureName, StartTime, EndTime,
                       EndTimeUOM, Volume, VolumeUOM, Temperature, TemperatureUOM);
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

TankEquipmentContents::TankEquipmentContents(CDaoDatabase* pDatabase) : CDaoEquipmentContents(pDatabase)
{
    m_nFields = 10;
}

CString TankEquipmentContents::GetDefaultSQL()
{
    // The full query's joins and order, so that the two cannot drift apart,
    // with one condition more and only the columns a tank's profile reads:
    // the rows per phase and component collapse into one per material and
    // operation, and the sort carries ten columns, not 26.
    const std::string full = CDaoEquipmentContents::GetDefaultSQL().str();
    const std::size_t from = full.find(" FROM "), order = full.rfind(" ORDER BY ");
    const std::string columns = "SELECT DISTINCTROW es.BatchNumber, puc.MaterialID, puc.MaterialName, esum.Capacity, "
                                "esum.CapacityUOM, esum.MaxFillFactor, es.EquipmentID, es.StartTime, es.EndTime, "
                                "es.TimeUOM";
    const std::string tanks = " AND es.EquipmentID IN (SELECT EquipmentID FROM CompositeContents)";
    return CString((columns + full.substr(from, order - from) + tanks + full.substr(order)).c_str());
}

void TankEquipmentContents::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(BatchNumber, MaterialID, MaterialName, EquipmentID, StartTime, EndTime, TimeUOM, Capacity,
                       CapacityUOM, MaxFillFactor);
}

void CDaoEquipmentContents::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(BatchNumber, MaterialID, MaterialName, Phase, EquipmentName, EquipmentID, UnitProcedureID,
                       OperationID, StartTime, EndTime, TimeUOM, Mass, MassUOM, Volume, VolumeUOM, Moles, MolesUOM,
                       MassFraction, MoleFraction, VolumeFraction, MassPhaseFraction, VolumePhaseFraction,
                       MolarPhaseFraction, Capacity, CapacityUOM, MaxFillFactor);
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
    BATCHPLANT_COLUMNS(EquipmentName, EquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Temperature,
                       TemperatureUOM, Pressure, PressureUOM, AverageMolecularWeight, AverageViscosity,
                       AverageViscosityUOM, AverageHeatCapacity, AverageHeatCapacityUOM, AverageDensity,
                       AverageDensityUOM);
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
    BATCHPLANT_COLUMNS(PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction);
    BATCHPLANT_PARAMS(pid);
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
    BATCHPLANT_COLUMNS(PhaseID, CompositeContentsID, Phase, MassPhaseFraction, MolarPhaseFraction, VolumePhaseFraction);
    BATCHPLANT_PARAMS(sid, CompositeID, aid);
}

bool CDaoThermodynamicPhase::OpenForComposite(CDaoDatabase* db, long compositeID)
{
    m_sid = 0;
    m_CompositeID = compositeID;
    m_aid = 0;
    return OpenOnDatabase(db);
}

} // namespace batchplant
