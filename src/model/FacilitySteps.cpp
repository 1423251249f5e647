// The plan and step summaries of the run, and the questions the hosts ask
// about the steps.

#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/platform/MessageBox.h"
#include "batchplant/procedure/CProcUnit.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {

void Facility::loadPlanSummary(CDaoDatabase* db)
{
    CDaoPlanSummary plan;
    if (!plan.OpenOnDatabase(db)) {
        // Not fatal: the run is then read as a step run.
        m_isPlan = 0;
    } else if (plan.IsEOF()) {
        AfxMessageBox("Failed to open database at PlanSummary", MB_OK);
        return;
    } else {
        for (; !plan.IsEOF(); plan.MoveNext()) {
            m_startTime = plan.m_StartDateTime;
            m_planName = plan.m_PlanName;
        }
        if (m_startTime.GetStatus() != COleDateTime::valid) {
            AfxMessageBox("Start time is invalid. Using Current time.", MB_OK);
            m_startTime = COleDateTime::GetCurrentTime();
        }
        m_isPlan = 1;
    }
    if (m_ganttControl) m_ganttControl->FireEvent(1, 1);
}

void Facility::loadStepSummary(CDaoDatabase* db)
{
    CDaoStepSummary steps;
    if (!steps.OpenOnDatabase(db) || steps.IsEOF()) {
        AfxMessageBox("There were no results found for this step", MB_OK);
        throw CFacilityAbort();
    }
    for (; !steps.IsEOF(); steps.MoveNext()) {
        m_steps.Add(StepInfo());
        m_steps.GetAt(m_steps.GetCount() - 1).CopyFields(steps);
        // A plan's start time comes from the plan query alone.
        if (!m_isPlan && !steps.IsFieldNull(&steps.m_StartDateTime)) m_startTime = steps.m_StartDateTime;
        if (!steps.IsFieldNull(&steps.m_SimulationDateTime)) m_simulationTime = steps.m_SimulationDateTime;
    }
}

CString Facility::GetStepName(int stepID) const
{
    for (int i = 0; i < m_steps.GetCount(); ++i)
        if (m_steps.GetAt(i).GetStepID() == stepID) return m_steps.GetAt(i).GetStepName();
    return CString();
}

CString Facility::GetStepKeyOutputName(int stepID) const
{
    for (int i = 0; i < m_steps.GetCount(); ++i)
        if (m_steps.GetAt(i).GetStepID() == stepID) return m_steps.GetAt(i).GetKeyOutput();
    return CString();
}

CString Facility::GetStepFacilityName(int stepID) const
{
    for (int i = 0; i < m_steps.GetCount(); ++i)
        if (m_steps.GetAt(i).GetStepID() == stepID) return m_steps.GetAt(i).GetPlantName();
    return CString();
}

int Facility::GetStepOrder(int stepID) const
{
    for (int i = 0; i < m_steps.GetCount(); ++i)
        if (m_steps.GetAt(i).GetStepID() == stepID) return i + 1;
    return 0;
}

StepInfo Facility::GetStepByIndex(int i) const
{
    if (i < 0 || i >= m_steps.GetCount()) return StepInfo();
    return m_steps.GetAt(i);
}

void Facility::GetStepProcList(Hash<long, Hash<long, long>>& list) const
{
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        const Vessel* v = m_vessels.GetAt(i);
        if (v && v->GetProc()) v->GetProc()->AddToStepProcList(list);
    }
}

CString Facility::GetProcedureName(int stepID, int unitProcID) const
{
    return CProcUnit::GetUnitProcName(stepID, unitProcID);
}

} // namespace batchplant
