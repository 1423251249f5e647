#pragma once
// Recordsets behind the composite profiles of the schedule view: inventory
// streams, vapor emissions, labor and utilities.

#include "batchplant/db/Dao.h"
#include "batchplant/db/DaoRecordsetCommon.h"

namespace batchplant {

// Components of the streams that enter or leave an inventory location or have no
// equipment at one end; ordered by FromEquipmentID, ToEquipmentID, StreamID.
class CDaoCompositeStream : public DaoRecordsetCommon {
public:
    explicit CDaoCompositeStream(CDaoDatabase* pDatabase = nullptr);
    ~CDaoCompositeStream() override;

    long m_BatchNumber;
    double m_EndTime;
    CString m_EndTimeUOM;
    CString m_FromEqName;
    long m_FromEquipmentID;
    CString m_FromType;
    double m_Mass;
    CString m_MassUOM;
    long m_MaterialID;
    CString m_MaterialName;
    double m_Moles;
    CString m_MolesUOM;
    CString m_Phase;
    double m_StartTime;
    long m_StreamCategoryID;
    CString m_ToEqName;
    long m_ToEquipmentID;
    CString m_ToType;
    double m_Volume;
    CString m_VolumeUOM;
    double m_MassPhaseFraction;
    double m_MolarPhaseFraction;
    double m_VolumePhaseFraction;
    double m_MassFraction;
    double m_MoleFraction;
    double m_VolumeFraction;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
};

// Components of vapor emissions, except those "After Condenser"; ordered by
// FromEquipmentID, then EndTime.
class CDaoCompVapor : public DaoRecordsetCommon {
public:
    explicit CDaoCompVapor(CDaoDatabase* pDatabase = nullptr);
    ~CDaoCompVapor() override;

    long m_BatchNumber;
    long m_MaterialID;
    CString m_MaterialName;
    CString m_Phase;
    CString m_FromEqName;
    CString m_FromType;
    long m_FromEquipmentID;
    double m_StartTime;
    double m_EndTime;
    CString m_TimeUOM;
    double m_Mass;
    CString m_MassUOM;
    double m_Volume;
    CString m_VolumeUOM;
    double m_Moles;
    CString m_MolesUOM;
    double m_MassPhaseFraction;
    double m_MolarPhaseFraction;
    double m_VolumePhaseFraction;
    double m_MassFraction;
    double m_MoleFraction;
    double m_VolumeFraction;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
};

// One row per operator assignment, in the database's order.
class CDaoCompositeLabor : public DaoRecordsetCommon {
public:
    explicit CDaoCompositeLabor(CDaoDatabase* pDatabase = nullptr);
    ~CDaoCompositeLabor() override;

    long m_StepID;
    long m_LaborGradeID;
    long m_BatchNumber;
    long m_OperationID;
    double m_StartTime;
    double m_EndTime;
    CString m_TimeUOM;
    double m_NumberOfOperators;
    CString m_LaborGrade;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
};

// Components of each utility use with the served equipment's tag; ordered by
// the utility stream's identifier.
class DaoUtilityComposite : public DaoRecordsetCommon {
public:
    explicit DaoUtilityComposite(CDaoDatabase* pDatabase = nullptr);
    ~DaoUtilityComposite() override;

    long m_StepID;
    long m_BatchNumber;
    long m_UtilityID;
    CString m_UtilityName;
    long m_OperationID;
    long m_EquipmentID;
    CString m_EquipmentName;
    double m_StartTime;
    double m_EndTime;
    CString m_TimeUOM;
    double m_Volume;
    CString m_VolumeUOM;
    double m_Mass;
    CString m_MassUOM;
    double m_HeatDuty;
    CString m_HeatDutyUOM;

    CString GetDefaultDBName() override;
    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
};

} // namespace batchplant
