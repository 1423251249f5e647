#include "batchplant/db/StreamRecordsets.h"

#include "db/RecordsetColumns.h"

namespace batchplant {

CDaoStreamSet::CDaoStreamSet(CDaoDatabase* pDatabase)
    : CDaoRecordset(pDatabase), m_StreamID(0), m_BatchNumber(0), m_UnitProcedureID(0), m_StepID(0), m_OperationID(0),
      m_StartTime(0.0), m_EndTime(0.0), m_FromEquipmentID(0), m_ToEquipmentID(0), m_Temperature(0.0), m_Pressure(0.0),
      m_VolumetricFlowRate(0.0), m_Mass(0.0), m_Volume(0.0), m_Moles(0.0), m_StreamCategoryID(0)
{
    m_nFields = 30;
}

CDaoStreamSet::~CDaoStreamSet() = default;

CString CDaoStreamSet::GetDefaultDBName() { return CString("batchplant/CDaoStreamSet.db"); }

CString CDaoStreamSet::GetDefaultSQL()
{
    return R"sql(SELECT ss.StreamID, ss.BatchNumber, ss.StepID, ss.UnitProcedureID, ss.UnitProcedureName, ss.OperationID, ss.OperationName AS OpName, ss.UserLabel,tr.OperationName AS OpType, ss.MaterialName AS PrimaryMaterial, ss.StartTime, ss.StartTimeUOM,ss.EndTime, ss.EndTimeUOM,ss.FromEquipmentID, ss.ToEquipmentID,  ss.Temperature, ss.TemperatureUOM,ss.Pressure, ss.PressureUOM, ss.VolumetricFlowRate, ss.VolumetricFlowRateUOM,ss.Mass, ss.MassUOM,ss.Volume, ss.VolumeUOM, ss.Moles, ss.MolesUOM, ss.StreamCategoryID,tr.RecipeText FROM StreamSummary AS ss INNER JOIN TextRecipe AS tr ON tr.OperationID = ss.OperationID ORDER BY FromEquipmentID, ToEquipmentID,  StreamID, IconLocation )sql";
}

void CDaoStreamSet::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(StreamID, BatchNumber, OpName, UserLabel, UnitProcedureName, UnitProcedureID, StepID,
                       OperationID, OpType, PrimaryMaterial, StartTime, StartTimeUOM, EndTime, EndTimeUOM,
                       FromEquipmentID, ToEquipmentID, Temperature, TemperatureUOM, Pressure, PressureUOM,
                       VolumetricFlowRate, VolumetricFlowRateUOM, Mass, MassUOM, Volume, VolumeUOM, Moles, MolesUOM,
                       RecipeText, StreamCategoryID);
}

bool CDaoStreamSet::OpenOnDatabase(CDaoDatabase* db) { return detail::OpenRecordsetOnDatabase(*this, db, true); }

void CDaoStreamSet::CloseIfOpen() { detail::CloseRecordsetIfOpen(*this); }

CDaoUtilitySummary::CDaoUtilitySummary(CDaoDatabase* pDatabase)
    : CDaoRecordset(pDatabase), m_StreamID(0), m_BatchNumber(0), m_StepID(0), m_UnitProcedureID(0), m_OperationID(0),
      m_StartTime(0.0), m_EndTime(0.0), m_ToEquipmentID(0), m_InletTemperature(0.0), m_OutletTemperature(0.0),
      m_InletPressure(0.0), m_OutletPressure(0.0), m_Moles(0.0), m_Volume(0.0), m_VolumetricFlowRate(0.0), m_Mass(0.0),
      m_HeatDuty(0.0), m_StreamCategoryID(0)
{
    m_nFields = 33;
}

CDaoUtilitySummary::~CDaoUtilitySummary() = default;

CString CDaoUtilitySummary::GetDefaultDBName() { return CString("batchplant/CDaoUtilitySummary.db"); }

CString CDaoUtilitySummary::GetDefaultSQL()
{
    return R"sql(SELECT us.UtilityID AS StreamID, us.UtilityName, us.BatchNumber, us.StepID, us.UnitProcedureID, us.UnitProcedureName, us.OperationID, us.OperationName AS OpName, us.UserLabel, tr.OperationName AS OpType, us.StartTime, us.StartTimeUOM, us.EndTime, us.EndTimeUOM, us.EquipmentID AS ToEquipmentID, us.InletTemperature, us.InletTemperatureUOM AS TemperatureUOM, us.OutletTemperature, us.InletPressure, us.InletPressureUOM AS PressureUOM, us.OutletPressure, us.Moles, us.MolesUOM, us.Volume, us.VolumeUOM, us.VolumetricFlowRate, us.VolumetricFlowRateUOM, us.Mass, us.MassUOM, us.HeatDuty, us.HeatDutyUOM, us.StreamCategoryID, us.UtilityName AS PrimaryMaterial FROM UtilitySummary AS us INNER JOIN TextRecipe AS tr ON tr.OperationID = us.OperationID;)sql";
}

void CDaoUtilitySummary::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(StreamID, UtilityName, BatchNumber, StepID, UnitProcedureID, UnitProcedureName, OperationID,
                       OpName, UserLabel, OpType, StartTime, StartTimeUOM, EndTime, EndTimeUOM, ToEquipmentID,
                       InletTemperature, TemperatureUOM, OutletTemperature, InletPressure, PressureUOM, OutletPressure,
                       Moles, MolesUOM, Volume, VolumeUOM, VolumetricFlowRate, VolumetricFlowRateUOM, Mass, MassUOM,
                       HeatDuty, HeatDutyUOM, StreamCategoryID, PrimaryMaterial);
}

bool CDaoUtilitySummary::OpenOnDatabase(CDaoDatabase* db) { return detail::OpenRecordsetOnDatabase(*this, db, true); }

void CDaoUtilitySummary::CloseIfOpen() { detail::CloseRecordsetIfOpen(*this); }

CDaoVaporSummary::CDaoVaporSummary(CDaoDatabase* pDatabase)
    : CDaoRecordset(pDatabase), m_BatchNumber(0), m_EndTime(0.0), m_FromEquipmentID(0), m_ToEquipmentID(0), m_Mass(0.0),
      m_Moles(0.0), m_OperationID(0), m_Pressure(0.0), m_StartTime(0.0), m_StepID(0), m_StreamCategoryID(0),
      m_StreamID(0), m_Temperature(0.0), m_UnitProcedureID(0), m_Volume(0.0), m_VolumetricFlowRate(0.0)
{
    m_nFields = 28;
}

CDaoVaporSummary::~CDaoVaporSummary() = default;

CString CDaoVaporSummary::GetDefaultDBName() { return CString("batchplant/CDaoVaporSummary.db"); }

CString CDaoVaporSummary::GetDefaultSQL()
{
    return R"sql(SELECT aes.AirEmissionID AS StreamID, aes.BatchNumber, aes.StepID, aes.UnitProcedureID, aes.UnitProcedureName, aes.OperationID, aes.OperationName AS OpName, aes.UserLabel, tr.OperationName AS OpType, aes.StartTime, aes.StartTimeUOM, aes.EndTime, aes.EndTimeUOM, aes.FromEquipmentID, aes.ToEquipmentID, aes.Temperature, aes.TemperatureUOM,  aes.Pressure, aes.PressureUOM,  aes.Moles, aes.MolesUOM, aes.Volume, aes.VolumeUOM, aes.VolumetricFlowRate, aes.VolumetricFlowRateUOM, aes.Mass, aes.MassUOM,  aes.StreamCategoryID FROM AirEmissionSummary AS aes INNER JOIN TextRecipe AS tr ON tr.OperationID = aes.OperationID WHERE aes.Mass>0;)sql";
}

void CDaoVaporSummary::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(BatchNumber, EndTime, EndTimeUOM, FromEquipmentID, ToEquipmentID, Mass, MassUOM, Moles, MolesUOM,
                       OperationID, OpName, OpType, Pressure, PressureUOM, StartTime, StartTimeUOM, StepID,
                       StreamCategoryID, StreamID, Temperature, TemperatureUOM, UnitProcedureID, UnitProcedureName,
                       UserLabel, Volume, VolumetricFlowRate, VolumetricFlowRateUOM, VolumeUOM);
}

bool CDaoVaporSummary::OpenOnDatabase(CDaoDatabase* db) { return detail::OpenRecordsetOnDatabase(*this, db, true); }

void CDaoVaporSummary::CloseIfOpen() { detail::CloseRecordsetIfOpen(*this); }

CDaoBaseContents::CDaoBaseContents(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_ToEquipmentID(0), m_FromEquipmentID(0), m_MaterialID(0), m_BatchNumber(0),
      m_EndTime(0.0), m_Mass(0.0), m_MassFraction(0.0), m_MassPhaseFraction(0.0), m_MolarPhaseFraction(0.0),
      m_MoleFraction(0.0), m_Moles(0.0), m_OperationID(0), m_StartTime(0.0), m_StreamID(0), m_UnitProcedureID(0),
      m_Volume(0.0), m_VolumeFraction(0.0), m_VolumePhaseFraction(0.0), m_HeatDuty(0.0)
{
    m_nFields = 26;
}

CDaoBaseContents::~CDaoBaseContents() = default;

CString CDaoBaseContents::GetDefaultDBName() { return CString("batchplant/CDaoBaseContents.db"); }

CString CDaoBaseContents::GetDefaultSQL() { return GetContentsSQL(); }

void CDaoBaseContents::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(ToEquipmentID, FromEquipmentID, MaterialID, BatchNumber, EndTime, Mass, MassFraction,
                       MassPhaseFraction, MassUOM, MaterialName, MolarPhaseFraction, MoleFraction, Moles, MolesUOM,
                       OperationID, Phase, StartTime, StreamID, TimeUOM, UnitProcedureID, Volume, VolumeFraction,
                       VolumePhaseFraction, VolumeUOM, HeatDuty, HeatDutyUOM);
}

CDaoStreamContents::~CDaoStreamContents() = default;

CString CDaoStreamContents::GetContentsSQL()
{
    return R"sql(SELECT DISTINCTROW ss.FromEquipmentID, ss.ToEquipmentID, ss.BatchNumber, puc.MaterialID, puc.MaterialName,  ss.StreamID, ss.UnitProcedureID, ss.OperationID, ss.StartTime, ss.EndTime, ss.EndTimeUOM AS TimeUOM, ss.Mass, ss.MassUOM, ss.Moles, ss.MolesUOM, ss.Volume, ss.VolumeUOM, 0.0 AS HeatDuty, "" AS HeatDutyUOM, tp.Phase, tp.MolarPhaseFraction, tp.MassPhaseFraction, tp.VolumePhaseFraction, pc.MassFraction, pc.MoleFraction, pc.VolumeFraction FROM (((StreamSummary AS ss )  LEFT JOIN ThermodynamicPhase AS tp ON tp.StreamID = ss.StreamID) LEFT JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) LEFT JOIN PureComponents AS puc ON puc.MaterialID = pc.ComponentID ORDER BY ss.StreamID, ss.EndTime;)sql";
}

CDaoUtilityContents::~CDaoUtilityContents() = default;

CString CDaoUtilityContents::GetContentsSQL()
{
    return R"sql(SELECT DISTINCTROW us.EquipmentID AS ToEquipmentID, 0 AS FromEquipmentID, us.BatchNumber, pc.ComponentID AS MaterialID, us.UtilityName AS MaterialName,  us.UtilityID AS StreamID, us.UnitProcedureID, us.OperationID, us.StartTime, us.EndTime, us.EndTimeUOM AS TimeUOM,  us.Mass, us.MassUOM, us.Moles, us.MolesUOM, us.Volume, us.VolumeUOM, us.HeatDuty, us.HeatDutyUOM, tp.Phase, tp.MolarPhaseFraction, tp.MassPhaseFraction, tp.VolumePhaseFraction, pc.MassFraction, pc.MoleFraction, pc.VolumeFraction FROM (((UtilitySummary AS us )  LEFT JOIN ThermodynamicPhase AS tp ON tp.UtilityID = us.UtilityID) LEFT JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID)  LEFT JOIN PureComponents AS puc ON puc.MaterialID = pc.ComponentID ORDER BY us.UtilityID, us.EndTime;)sql";
}

CDaoVaporContents::~CDaoVaporContents() = default;

CString CDaoVaporContents::GetContentsSQL()
{
    return R"sql(SELECT DISTINCTROW aes.FromEquipmentID, aes.ToEquipmentID, aes.BatchNumber, puc.MaterialID, puc.MaterialName,  aes.AirEmissionID AS StreamID, aes.UnitProcedureID, aes.OperationID, aes.StartTime, aes.EndTime, aes.EndTimeUOM AS TimeUOM, aes.Mass, aes.MassUOM, aes.Moles, aes.MolesUOM, aes.Volume, aes.VolumeUOM,0.0 AS HeatDuty, "" AS HeatDutyUOM, tp.Phase, tp.MolarPhaseFraction, tp.MassPhaseFraction, tp.VolumePhaseFraction, pc.MassFraction, pc.MoleFraction, pc.VolumeFraction FROM (((AirEmissionSummary AS aes )  LEFT JOIN ThermodynamicPhase AS tp ON tp.AirEmissionID = aes.AirEmissionID) LEFT JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) LEFT JOIN PureComponents AS puc ON puc.MaterialID = pc.ComponentID WHERE aes.Mass>0 ORDER BY aes.AirEmissionID, aes.EndTime;)sql";
}

CDaoBufferTankContents::CDaoBufferTankContents(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_CompositeContentsID(0), m_EquipmentID(0), m_Time(0.0), m_Moles(0.0),
      m_Volume(0.0), m_Mass(0.0)
{
    m_nFields = 10;
}

CDaoBufferTankContents::~CDaoBufferTankContents() = default;

CString CDaoBufferTankContents::GetDefaultDBName() { return CString("batchplant/CDaoBufferTankContents.db"); }

CString CDaoBufferTankContents::GetDefaultSQL() { return R"sql([CompositeContents])sql"; }

void CDaoBufferTankContents::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(CompositeContentsID, EquipmentID, Time, TimeUOM, Moles, MolesUOM, Volume, VolumeUOM, Mass,
                       MassUOM);
}

} // namespace batchplant
