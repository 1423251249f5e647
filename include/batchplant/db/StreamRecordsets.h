#pragma once
// Recordsets of material, utility and vapor streams, their contents, and the
// composite contents of buffer tanks.

#include "batchplant/db/Dao.h"
#include "batchplant/db/DaoRecordsetCommon.h"

namespace batchplant {

// One row per material stream occurrence, ordered by FromEquipmentID,
// ToEquipmentID, StreamID and icon location.
class CDaoStreamSet : public CDaoRecordset {
public:
    explicit CDaoStreamSet(CDaoDatabase* pDatabase = nullptr);
    ~CDaoStreamSet() override;

    long m_StreamID;
    long m_BatchNumber;
    CString m_OpName;
    CString m_UserLabel;
    CString m_UnitProcedureName;
    long m_UnitProcedureID;
    long m_StepID;
    long m_OperationID;
    CString m_OpType;
    CString m_PrimaryMaterial;
    double m_StartTime;
    CString m_StartTimeUOM;
    double m_EndTime;
    CString m_EndTimeUOM;
    long m_FromEquipmentID;
    long m_ToEquipmentID;
    double m_Temperature;
    CString m_TemperatureUOM;
    double m_Pressure;
    CString m_PressureUOM;
    double m_VolumetricFlowRate;
    CString m_VolumetricFlowRateUOM;
    double m_Mass;
    CString m_MassUOM;
    double m_Volume;
    CString m_VolumeUOM;
    double m_Moles;
    CString m_MolesUOM;
    CString m_RecipeText;
    long m_StreamCategoryID;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;

    // As DaoRecordsetCommon::OpenOnDatabase.
    bool OpenOnDatabase(CDaoDatabase* db);
    void CloseIfOpen();
};

// One row per utility stream occurrence; the served equipment is ToEquipmentID.
class CDaoUtilitySummary : public CDaoRecordset {
public:
    explicit CDaoUtilitySummary(CDaoDatabase* pDatabase = nullptr);
    ~CDaoUtilitySummary() override;

    long m_StreamID;
    CString m_UtilityName;
    long m_BatchNumber;
    long m_StepID;
    long m_UnitProcedureID;
    CString m_UnitProcedureName;
    long m_OperationID;
    CString m_OpName;
    CString m_UserLabel;
    CString m_OpType;
    double m_StartTime;
    CString m_StartTimeUOM;
    double m_EndTime;
    CString m_EndTimeUOM;
    long m_ToEquipmentID;
    double m_InletTemperature;
    CString m_TemperatureUOM;
    double m_OutletTemperature;
    double m_InletPressure;
    CString m_PressureUOM;
    double m_OutletPressure;
    double m_Moles;
    CString m_MolesUOM;
    double m_Volume;
    CString m_VolumeUOM;
    double m_VolumetricFlowRate;
    CString m_VolumetricFlowRateUOM;
    double m_Mass;
    CString m_MassUOM;
    double m_HeatDuty;
    CString m_HeatDutyUOM;
    long m_StreamCategoryID;
    CString m_PrimaryMaterial;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;

    // As DaoRecordsetCommon::OpenOnDatabase.
    bool OpenOnDatabase(CDaoDatabase* db);
    void CloseIfOpen();
};

// One row per vapor emission occurrence with a positive mass.
class CDaoVaporSummary : public CDaoRecordset {
public:
    explicit CDaoVaporSummary(CDaoDatabase* pDatabase = nullptr);
    ~CDaoVaporSummary() override;

    long m_BatchNumber;
    double m_EndTime;
    CString m_EndTimeUOM;
    long m_FromEquipmentID;
    long m_ToEquipmentID;
    double m_Mass;
    CString m_MassUOM;
    double m_Moles;
    CString m_MolesUOM;
    long m_OperationID;
    CString m_OpName;
    CString m_OpType;
    double m_Pressure;
    CString m_PressureUOM;
    double m_StartTime;
    CString m_StartTimeUOM;
    long m_StepID;
    long m_StreamCategoryID;
    long m_StreamID;
    double m_Temperature;
    CString m_TemperatureUOM;
    long m_UnitProcedureID;
    CString m_UnitProcedureName;
    CString m_UserLabel;
    double m_Volume;
    double m_VolumetricFlowRate;
    CString m_VolumetricFlowRateUOM;
    CString m_VolumeUOM;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;

    // As DaoRecordsetCommon::OpenOnDatabase.
    bool OpenOnDatabase(CDaoDatabase* db);
    void CloseIfOpen();
};

// The contents row shared by stream, utility and vapor contents: one row per
// stream occurrence, phase and component. Subclasses supply the query text.
class CDaoBaseContents : public DaoRecordsetCommon {
public:
    explicit CDaoBaseContents(CDaoDatabase* pDatabase = nullptr);
    ~CDaoBaseContents() override;

    long m_ToEquipmentID;
    long m_FromEquipmentID;
    long m_MaterialID;
    long m_BatchNumber;
    double m_EndTime;
    double m_Mass;
    double m_MassFraction;
    double m_MassPhaseFraction;
    CString m_MassUOM;
    CString m_MaterialName;
    double m_MolarPhaseFraction;
    double m_MoleFraction;
    double m_Moles;
    CString m_MolesUOM;
    long m_OperationID;
    CString m_Phase;
    double m_StartTime;
    long m_StreamID;
    CString m_TimeUOM;
    long m_UnitProcedureID;
    double m_Volume;
    double m_VolumeFraction;
    double m_VolumePhaseFraction;
    CString m_VolumeUOM;
    double m_HeatDuty;
    CString m_HeatDutyUOM;

    CString GetDefaultDBName() override;
    // Returns GetContentsSQL().
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
    virtual CString GetContentsSQL() = 0;
};

// Material stream contents, ordered by StreamID, then EndTime.
class CDaoStreamContents : public CDaoBaseContents {
public:
    explicit CDaoStreamContents(CDaoDatabase* pDatabase = nullptr) : CDaoBaseContents(pDatabase) {}
    ~CDaoStreamContents() override;
    CString GetContentsSQL() override;
};

// Utility stream contents (FromEquipmentID always 0), ordered by UtilityID, then EndTime.
class CDaoUtilityContents : public CDaoBaseContents {
public:
    explicit CDaoUtilityContents(CDaoDatabase* pDatabase = nullptr) : CDaoBaseContents(pDatabase) {}
    ~CDaoUtilityContents() override;
    CString GetContentsSQL() override;
};

// Vapor emission contents with a positive mass, ordered by AirEmissionID, then EndTime.
class CDaoVaporContents : public CDaoBaseContents {
public:
    explicit CDaoVaporContents(CDaoDatabase* pDatabase = nullptr) : CDaoBaseContents(pDatabase) {}
    ~CDaoVaporContents() override;
    CString GetContentsSQL() override;
};

// Composite contents of buffer tanks over time: the CompositeContents table.
class CDaoBufferTankContents : public DaoRecordsetCommon {
public:
    explicit CDaoBufferTankContents(CDaoDatabase* pDatabase = nullptr);
    ~CDaoBufferTankContents() override;

    long m_CompositeContentsID;
    long m_EquipmentID;
    double m_Time;
    CString m_TimeUOM;
    double m_Moles;
    CString m_MolesUOM;
    double m_Volume;
    CString m_VolumeUOM;
    double m_Mass;
    CString m_MassUOM;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
};

} // namespace batchplant
