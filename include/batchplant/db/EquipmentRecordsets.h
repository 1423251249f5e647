#pragma once
// Recordsets of equipment, plans, steps, equipment contents and phases.

#include "batchplant/db/Dao.h"
#include "batchplant/db/DaoRecordsetCommon.h"

namespace batchplant {

// One row per piece of equipment with its plant and calendar.
class CDaoEquipmentSet : public CDaoRecordset {
public:
    explicit CDaoEquipmentSet(CDaoDatabase* pDatabase = nullptr);
    ~CDaoEquipmentSet() override;

    long m_EquipmentID;
    long m_CalendarID;
    long m_PlantID;
    CString m_PlantName;
    CString m_Class;
    long m_EquipmentClassID;
    CString m_QLTag;
    double m_Capacity;
    CString m_CapacityUOM;
    double m_MaxFillFactor;
    CString m_EquipmentType;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
    void Open(int nOpenType = AFX_DAO_USE_DEFAULT_TYPE, const char* lpszSQL = nullptr, int nOptions = 0) override;

    // As DaoRecordsetCommon::OpenOnDatabase.
    bool OpenOnDatabase(CDaoDatabase* db);
    void CloseIfOpen();
};

// One row per step requirement of a production plan.
class CDaoPlanSummary : public CDaoRecordset {
public:
    explicit CDaoPlanSummary(CDaoDatabase* pDatabase = nullptr);
    ~CDaoPlanSummary() override;

    long m_PlanID;
    long m_RequirementID;
    long m_StepID;
    short m_NumberOfBatches;
    CString m_PlanName;
    COleDateTime m_StartDateTime;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;

    // As DaoRecordsetCommon::OpenOnDatabase.
    bool OpenOnDatabase(CDaoDatabase* db);
    void CloseIfOpen();
};

// One row per process step with its key materials, timing statistics and plant.
class CDaoStepSummary : public CDaoRecordset {
public:
    explicit CDaoStepSummary(CDaoDatabase* pDatabase = nullptr);
    ~CDaoStepSummary() override;

    long m_StepID;
    CString m_StepName;
    CString m_KeyOutputName;
    CString m_StepVersionName;
    long m_KeyInputIntermediateID;
    long m_KeyOutputIntermediateID;
    long m_InputIntermediate2ID;
    long m_InputIntermediate3ID;
    long m_OutputIntermediate2ID;
    long m_OutputIntermediate3ID;
    long m_NumberOfBatches;
    long m_TimeLimitingEquipmentID;
    double m_AverageBatchTime;
    CString m_AverageBatchTimeUOM;
    double m_AverageCycleTime;
    CString m_AverageCycleTimeUOM;
    double m_CampaignTime;
    CString m_CampaignTimeUOM;
    double m_AverageBatchSize;
    CString m_AverageBatchSizeUOM;
    double m_PotentialBatchSize;
    CString m_PotentialBatchSizeUOM;
    double m_AverageStepYield;
    CString m_ReactionText;
    COleDateTime m_SimulationDateTime;
    double m_MinimumBatchSize;
    CString m_MinimumBatchSizeUOM;
    long m_PlantID;
    CString m_PlantName;
    COleDateTime m_StartDateTime;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;

    // As DaoRecordsetCommon::OpenOnDatabase, except that a database error is
    // not shown: the result is simply false.
    bool OpenOnDatabase(CDaoDatabase* db);
    void CloseIfOpen();
};

// The equipment schedule: one row per equipment and operation occurrence, with the
// recipe text and the contents volume and temperature at its end; ordered by
// EquipmentID, then EndTime.
class CDaoEquipConts : public CDaoRecordset {
public:
    explicit CDaoEquipConts(CDaoDatabase* pDatabase = nullptr);
    ~CDaoEquipConts() override;

    long m_BatchNumber;
    long m_EquipmentID;
    long m_StepID;
    CString m_StepName;
    CString m_StepVersionName;
    long m_UnitProcedureID;
    long m_OperationID;
    long m_OpSeqNum;
    long m_ProcSeqNum;
    CString m_OpName;
    CString m_RecipeText;
    CString m_OpType;
    CString m_UnitProcedureName;
    double m_StartTime;
    double m_EndTime;
    CString m_EndTimeUOM;
    double m_Volume;
    CString m_VolumeUOM;
    double m_Temperature;
    CString m_TemperatureUOM;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;

    // As DaoRecordsetCommon::OpenOnDatabase.
    bool OpenOnDatabase(CDaoDatabase* db);
    void CloseIfOpen();
};

// Contents of batch equipment per operation, one row per equipment, operation and
// component of each phase, with the capacity; continuous equipment excluded;
// ordered by EquipmentID, then StartTime.
class CDaoEquipmentContents : public DaoRecordsetCommon {
public:
    explicit CDaoEquipmentContents(CDaoDatabase* pDatabase = nullptr);
    ~CDaoEquipmentContents() override;

    long m_BatchNumber;
    long m_MaterialID;
    CString m_MaterialName;
    CString m_Phase;
    CString m_EquipmentName;
    long m_EquipmentID;
    long m_UnitProcedureID;
    long m_OperationID;
    double m_StartTime;
    double m_EndTime;
    CString m_TimeUOM;
    double m_Mass;
    CString m_MassUOM;
    double m_Volume;
    CString m_VolumeUOM;
    double m_Moles;
    CString m_MolesUOM;
    double m_MassFraction;
    double m_MoleFraction;
    double m_VolumeFraction;
    double m_MassPhaseFraction;
    double m_VolumePhaseFraction;
    double m_MolarPhaseFraction;
    double m_Capacity;
    CString m_CapacityUOM;
    double m_MaxFillFactor;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
};

// Physical properties of equipment contents over time, ordered by EquipmentID,
// then the contents time.
class CDaoEquipmentProperties : public DaoRecordsetCommon {
public:
    explicit CDaoEquipmentProperties(CDaoDatabase* pDatabase = nullptr);
    ~CDaoEquipmentProperties() override;

    CString m_EquipmentName;
    long m_EquipmentID;
    double m_StartTime;
    CString m_StartTimeUOM;
    double m_EndTime;
    CString m_EndTimeUOM;
    double m_Temperature;
    CString m_TemperatureUOM;
    double m_Pressure;
    CString m_PressureUOM;
    double m_AverageMolecularWeight;
    double m_AverageViscosity;
    CString m_AverageViscosityUOM;
    double m_AverageHeatCapacity;
    CString m_AverageHeatCapacityUOM;
    double m_AverageDensity;
    CString m_AverageDensityUOM;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
};

// The component fractions of one phase (saved query QryPhaseComponents, parameter pid).
class CDaoPhaseComponents : public DaoRecordsetCommon {
public:
    explicit CDaoPhaseComponents(CDaoDatabase* pDatabase = nullptr);
    ~CDaoPhaseComponents() override;

    long m_PhaseID;
    long m_ComponentID;
    double m_MassFraction;
    double m_MoleFraction;
    double m_VolumeFraction;

    // parameters
    long m_pid;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;

    // Sets pid to phaseID, then OpenOnDatabase(db).
    bool OpenForPhase(CDaoDatabase* db, long phaseID);
};

// The phases of one composite contents record (saved query QryThermodynamicPhase1,
// parameters sid, CompositeID, aid).
class CDaoThermodynamicPhase : public DaoRecordsetCommon {
public:
    explicit CDaoThermodynamicPhase(CDaoDatabase* pDatabase = nullptr);
    ~CDaoThermodynamicPhase() override;

    long m_PhaseID;
    long m_CompositeContentsID;
    CString m_Phase;
    double m_MassPhaseFraction;
    double m_MolarPhaseFraction;
    double m_VolumePhaseFraction;

    // parameters
    long m_sid;
    long m_CompositeID;
    long m_aid;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;

    // Sets sid and aid to 0 and CompositeID to compositeID, then OpenOnDatabase(db).
    bool OpenForComposite(CDaoDatabase* db, long compositeID);
};

} // namespace batchplant
