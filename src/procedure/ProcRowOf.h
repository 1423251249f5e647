#pragma once
// The ProcRow of the 25-argument forms of CProcedure::AddNewProc and
// CProcUnit::assign, in AddNewProc's argument order. Its text members refer
// to the arguments, so it lives no longer than the call that makes it.

#include "batchplant/procedure/CProcUnit.h"

namespace batchplant::detail {

inline ProcRow procRowOf(long batchNum, long opID, long procID, long stepID, double startTime, double endTime,
                         const CString& timeUOM, double vol, const CString& volUOM, double tempA, double tempB,
                         const CString& tempUOM, double pressA, double pressB, const CString& pressUOM,
                         const CString& primaryMaterial, const CString& stepName, const CString& stepVersion,
                         const CString& op, const CString& opType, const CString& recText, const CString& unitProcName,
                         long streamID, double flowRate, const CString& flowUOM)
{
    return {.batchNum = batchNum,
            .opID = opID,
            .procID = procID,
            .stepID = stepID,
            .startTime = startTime,
            .endTime = endTime,
            .timeUOM = timeUOM,
            .vol = vol,
            .volUOM = volUOM,
            .tempA = tempA,
            .tempB = tempB,
            .tempUOM = tempUOM,
            .pressA = pressA,
            .pressB = pressB,
            .pressUOM = pressUOM,
            .primaryMaterial = primaryMaterial,
            .stepName = stepName,
            .stepVersion = stepVersion,
            .op = op,
            .opType = opType,
            .recText = recText,
            .unitProcName = unitProcName,
            .streamID = streamID,
            .flowRate = flowRate,
            .flowUOM = flowUOM};
}

} // namespace batchplant::detail
