#include "batchplant/db/CompositeRecordsets.h"

#include "db/RecordsetColumns.h"

namespace batchplant {

CDaoCompositeStream::CDaoCompositeStream(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_BatchNumber(0), m_EndTime(0.0), m_FromEquipmentID(0), m_Mass(0.0),
      m_MaterialID(0), m_Moles(0.0), m_StartTime(0.0), m_StreamCategoryID(0), m_ToEquipmentID(0), m_Volume(0.0),
      m_MassPhaseFraction(0.0), m_MolarPhaseFraction(0.0), m_VolumePhaseFraction(0.0), m_MassFraction(0.0),
      m_MoleFraction(0.0), m_VolumeFraction(0.0)
{
    m_nFields = 26;
}

CDaoCompositeStream::~CDaoCompositeStream() = default;

CString CDaoCompositeStream::GetDefaultDBName() { return CString("batchplant/CDaoCompositeStream.db"); }

CString CDaoCompositeStream::GetDefaultSQL()
{
    return R"sql(SELECT ss.StreamCategoryID, ss.BatchNumber, puc.MaterialID, puc.MaterialName, tp.Phase,  esfrom.QLTag AS FromEqName, esfrom.Category AS FromType, ss.FromEquipmentID, esto.QLTag AS ToEqName, esto.Category AS ToType, ss.ToEquipmentID,   ss.StartTime, ss.EndTime, ss.EndTimeUOM,  ss.Mass, ss.MassUOM, ss.Volume, ss.VolumeUOM, ss.Moles, ss.MolesUOM,  tp.MassPhaseFraction, tp.MolarPhaseFraction, tp.VolumePhaseFraction,  pc.MassFraction, pc.MoleFraction, pc.VolumeFraction FROM ((((StreamSummary AS ss LEFT JOIN EquipmentSummary AS esfrom ON esfrom.EquipmentID = ss.FromEquipmentID) LEFT JOIN EquipmentSummary AS esto ON esto.EquipmentID = ss.ToEquipmentID) INNER JOIN ThermodynamicPhase AS tp ON tp.StreamID = ss.StreamID) INNER JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) INNER JOIN PureComponents AS puc ON puc.MaterialID = pc.ComponentID WHERE (esto.Category ="Inventory Location" OR esfrom.Category="Inventory Location" OR esto.Category ="Inventory Location - Vapor" OR esfrom.Category="Inventory Location - Vapor" OR ss.ToEquipmentID IS NULL OR ss.FromEquipmentID IS NULL) ORDER BY FromEquipmentID, ToEquipmentID, ss.StreamID; )sql";
}

void CDaoCompositeStream::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(BatchNumber, EndTime, EndTimeUOM, FromEqName, FromEquipmentID, FromType, Mass, MassUOM,
                       MaterialID, MaterialName, Moles, MolesUOM, Phase, StartTime, StreamCategoryID, ToEqName,
                       ToEquipmentID, ToType, Volume, VolumeUOM, MassPhaseFraction, MolarPhaseFraction,
                       VolumePhaseFraction, MassFraction, MoleFraction, VolumeFraction);
}

CDaoCompVapor::CDaoCompVapor(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_BatchNumber(0), m_MaterialID(0), m_FromEquipmentID(0), m_StartTime(0.0),
      m_EndTime(0.0), m_Mass(0.0), m_Volume(0.0), m_Moles(0.0), m_MassPhaseFraction(0.0), m_MolarPhaseFraction(0.0),
      m_VolumePhaseFraction(0.0), m_MassFraction(0.0), m_MoleFraction(0.0), m_VolumeFraction(0.0)
{
    m_nFields = 22;
}

CDaoCompVapor::~CDaoCompVapor() = default;

CString CDaoCompVapor::GetDefaultDBName() { return CString("batchplant/CDaoCompVapor.db"); }

CString CDaoCompVapor::GetDefaultSQL()
{
    return R"sql(SELECT aes.BatchNumber, puc.MaterialID, puc.MaterialName, tp.Phase,esfrom.QLTag AS FromEqName, esfrom.Category AS FromType, aes.FromEquipmentID, aes.StartTime, aes.EndTime, aes.EndTimeUOM AS TimeUOM, aes.Mass, aes.MassUOM, aes.Volume, aes.VolumeUOM, aes.Moles, aes.MolesUOM,pc.MassFraction, pc.MoleFraction, pc.VolumeFraction, tp.MassPhaseFraction, tp.MolarPhaseFraction, tp.VolumePhaseFraction FROM (((AirEmissionSummary AS aes LEFT JOIN EquipmentSummary AS esfrom ON esfrom.EquipmentID = aes.FromEquipmentID) INNER JOIN ThermodynamicPhase AS tp ON tp.AirEmissionID = aes.AirEmissionID) INNER JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) INNER JOIN PureComponents AS puc ON puc.MaterialID = pc.ComponentID WHERE aes.AirEmissionControl <> "After Condenser" ORDER BY FromEquipmentID, aes.EndTime;)sql";
}

void CDaoCompVapor::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(BatchNumber, MaterialID, MaterialName, Phase, FromEqName, FromType, FromEquipmentID, StartTime,
                       EndTime, TimeUOM, Mass, MassUOM, Volume, VolumeUOM, Moles, MolesUOM, MassPhaseFraction,
                       MolarPhaseFraction, VolumePhaseFraction, MassFraction, MoleFraction, VolumeFraction);
}

CDaoCompositeLabor::CDaoCompositeLabor(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_StepID(0), m_LaborGradeID(0), m_BatchNumber(0), m_OperationID(0),
      m_StartTime(0.0), m_EndTime(0.0), m_NumberOfOperators(0.0)
{
    m_nFields = 9;
}

CDaoCompositeLabor::~CDaoCompositeLabor() = default;

CString CDaoCompositeLabor::GetDefaultDBName() { return CString("batchplant/CDaoCompositeLabor.db"); }

CString CDaoCompositeLabor::GetDefaultSQL()
{
    return R"sql(SELECT ls.StepID, ls.BatchNumber, ls.OperationID, ls.StartTime, ls.EndTime, ls.EndTimeUOM AS TimeUOM, ls.NumberOfOperators, ls.LaborGradeID, lc.LaborGrade FROM LaborSummary AS ls LEFT JOIN LaborCategory AS lc ON lc.LaborGradeID = ls.LaborGradeID;)sql";
}

void CDaoCompositeLabor::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(StepID, LaborGradeID, BatchNumber, OperationID, StartTime, EndTime, TimeUOM, NumberOfOperators,
                       LaborGrade);
}

DaoUtilityComposite::DaoUtilityComposite(CDaoDatabase* pDatabase)
    : DaoRecordsetCommon(pDatabase), m_StepID(0), m_BatchNumber(0), m_UtilityID(0), m_OperationID(0), m_EquipmentID(0),
      m_StartTime(0.0), m_EndTime(0.0), m_Volume(0.0), m_Mass(0.0), m_HeatDuty(0.0)
{
    m_nFields = 16;
}

DaoUtilityComposite::~DaoUtilityComposite() = default;

CString DaoUtilityComposite::GetDefaultDBName() { return CString("batchplant/DaoUtilityComposite.db"); }

CString DaoUtilityComposite::GetDefaultSQL()
{
    return R"sql(SELECT us.StepID, us.BatchNumber, pc.ComponentID AS UtilityID, us.UtilityName, us.OperationID, us.EquipmentID, es.QLTAg AS EquipmentName, us.StartTime, us.EndTime, us.EndTimeUOM AS TimeUOM, us.Volume, us.VolumeUOM, us.Mass, us.MassUOM, us.HeatDuty, us.HeatDutyUOM  FROM ((UtilitySummary AS us  LEFT JOIN EquipmentSummary AS es ON us.EquipmentID = es.EquipmentID) INNER JOIN ThermodynamicPhase AS tp ON tp.UtilityID = us.UtilityID) INNER JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID ORDER BY us.UtilityID;)sql";
}

void DaoUtilityComposite::DoFieldExchange(CDaoFieldExchange* pFX)
{
    BATCHPLANT_COLUMNS(StepID, BatchNumber, UtilityID, UtilityName, OperationID, EquipmentID, EquipmentName, StartTime,
                       EndTime, TimeUOM, Volume, VolumeUOM, Mass, MassUOM, HeatDuty, HeatDutyUOM);
}

} // namespace batchplant
