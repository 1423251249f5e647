#pragma once
// One process step of the simulated run, as the step summary query gives it.
// Amounts keep the database's own units.

#include "batchplant/platform/COleDateTime.h"
#include "batchplant/platform/CString.h"

namespace batchplant {

class CDaoStepSummary;

// One process step of the run with its statistics, as the step summary
// query gives them.
class StepInfo {
public:
    StepInfo() = default;
    explicit StepInfo(CDaoStepSummary& row) { CopyFields(row); }

    // Copies the step's columns from the row's current values. The row's
    // SimulationDateTime is the facility's business, not the step's: the
    // step's simulation time stays 0.0.
    void CopyFields(CDaoStepSummary& row);

    long GetStepID() const { return m_stepID; }
    CString GetStepName() const { return m_stepName; }
    CString GetKeyOutput() const { return m_keyOutputName; }
    CString GetVersionName() const { return m_versionName; }
    CString GetPlantName() const { return m_plantName; }
    COleDateTime GetSimulationTime() const { return m_simulationTime; }
    // "<step name> (<version>)", or the step name alone without a version.
    CString GetFullName() const;

    long GetKeyInputIntermediate() const { return m_keyInputIntermediate; }
    long GetKeyOutputIntermediate() const { return m_keyOutputIntermediate; }
    long GetNumberOfBatches() const { return m_numberOfBatches; }
    long GetTimeLimitingEquipment() const { return m_timeLimitingEquipment; }
    double GetAverageBatchTime() const { return m_averageBatchTime; }
    CString GetAverageBatchTimeUnit() const { return m_averageBatchTimeUnit; }
    double GetAverageCycleTime() const { return m_averageCycleTime; }
    CString GetAverageCycleTimeUnit() const { return m_averageCycleTimeUnit; }
    double GetCampaignTime() const { return m_campaignTime; }
    CString GetCampaignTimeUnit() const { return m_campaignTimeUnit; }
    double GetAverageBatchSize() const { return m_averageBatchSize; }
    CString GetAverageBatchSizeUnit() const { return m_averageBatchSizeUnit; }
    double GetPotentialBatchSize() const { return m_potentialBatchSize; }
    CString GetPotentialBatchSizeUnit() const { return m_potentialBatchSizeUnit; }
    double GetAverageStepYield() const { return m_averageStepYield; }
    CString GetReactionText() const { return m_reactionText; }

private:
    long m_stepID = 0;
    CString m_stepName;
    CString m_keyOutputName;
    CString m_versionName;
    long m_keyInputIntermediate = 0;
    long m_keyOutputIntermediate = 0;
    long m_inputIntermediate2 = 0;
    long m_inputIntermediate3 = 0;
    long m_outputIntermediate2 = 0;
    long m_outputIntermediate3 = 0;
    long m_numberOfBatches = 0;
    long m_timeLimitingEquipment = 0;
    double m_averageBatchTime = 0.0;
    CString m_averageBatchTimeUnit;
    double m_averageCycleTime = 0.0;
    CString m_averageCycleTimeUnit;
    double m_campaignTime = 0.0;
    CString m_campaignTimeUnit;
    double m_averageBatchSize = 0.0;
    CString m_averageBatchSizeUnit;
    double m_potentialBatchSize = 0.0;
    CString m_potentialBatchSizeUnit;
    double m_averageStepYield = 0.0;
    CString m_reactionText;
    CString m_plantName;
    COleDateTime m_simulationTime;
};

} // namespace batchplant
