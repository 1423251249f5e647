#include "batchplant/model/StepInfo.h"

#include "batchplant/db/EquipmentRecordsets.h"

namespace batchplant {

void StepInfo::CopyFields(CDaoStepSummary& row)
{
    m_stepID = row.m_StepID;
    m_stepName = row.m_StepName;
    m_keyOutputName = row.m_KeyOutputName;
    m_versionName = row.m_StepVersionName;
    m_keyInputIntermediate = row.m_KeyInputIntermediateID;
    m_keyOutputIntermediate = row.m_KeyOutputIntermediateID;
    m_inputIntermediate2 = row.m_InputIntermediate2ID;
    m_inputIntermediate3 = row.m_InputIntermediate3ID;
    m_outputIntermediate2 = row.m_OutputIntermediate2ID;
    m_outputIntermediate3 = row.m_OutputIntermediate3ID;
    m_numberOfBatches = row.m_NumberOfBatches;
    m_timeLimitingEquipment = row.m_TimeLimitingEquipmentID;
    m_averageBatchTime = row.m_AverageBatchTime;
    m_averageBatchTimeUnit = row.m_AverageBatchTimeUOM;
    m_averageCycleTime = row.m_AverageCycleTime;
    m_averageCycleTimeUnit = row.m_AverageCycleTimeUOM;
    m_campaignTime = row.m_CampaignTime;
    m_campaignTimeUnit = row.m_CampaignTimeUOM;
    m_averageBatchSize = row.m_AverageBatchSize;
    m_averageBatchSizeUnit = row.m_AverageBatchSizeUOM;
    m_potentialBatchSize = row.m_PotentialBatchSize;
    m_potentialBatchSizeUnit = row.m_PotentialBatchSizeUOM;
    m_averageStepYield = row.m_AverageStepYield;
    m_reactionText = row.m_ReactionText;
    m_plantName = row.m_PlantName;
}

CString StepInfo::GetFullName() const
{
    if (m_versionName.IsEmpty()) return m_stepName;
    return m_stepName + " (" + m_versionName + ")";
}

} // namespace batchplant
