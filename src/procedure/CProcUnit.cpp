#include "batchplant/procedure/CProcUnit.h"

#include <cmath>

#include "batchplant/foundation/Units.h"

namespace batchplant {

namespace {

// step id -> unit-procedure id -> operation id -> text
using TextTable = Hash<long, Hash<long, Hash<long, CString>>>;

struct SharedTables {
    CString flowUOM;
    CString volUOM;
    CString tempUOM;
    CString pressUOM;
    CString timeUOM;
    TextTable opType;
    TextTable recText;
    TextTable opName;
    TextTable unitProcName; // operation key always 0
    Hash<long, CString> stepName;
    Hash<long, CString> stepVersion;
};

// Function-local, so the tables exist before any static initialiser of a
// host asks for them.
SharedTables& shared()
{
    static SharedTables tables;
    return tables;
}

// "%.3f %s" of an internal value in a user unit. A value that does not fit
// the display (an absurd row value converted out) shows as "N/A", never as
// inf or nan.
CString quantityText(double internalValue, const CString& uom)
{
    const double shown = ToUserUnits(uom, internalValue, 1.0, 1.0);
    if (!std::isfinite(shown)) return CString("N/A");
    return CString::Formatted("%.3f %s", shown, uom);
}

} // namespace

void CProcUnit::assign(long batchNum_, long opID_, long procID_, long stepID_, long start_, long end_,
                       const CString& timeUOM, double vol_, const CString& volUOM, double tempA_, double tempB_,
                       const CString& tempUOM, double pressA_, double pressB_, const CString& pressUOM,
                       const CString& stepName, const CString& stepVersion, const CString& op_,
                       const CString& primaryMaterial, const CString& opType, const CString& recText,
                       const CString& unitProcName, long streamID_, double flowRate_, const CString& flowUOM)
{
    batchNum = batchNum_;
    opID = opID_;
    procID = procID_;
    stepID = stepID_;
    start = start_;
    end = end_;
    vol = vol_;
    tempA = tempA_;
    tempB = tempB_;
    pressA = pressA_;
    pressB = pressB_;
    streamID = streamID_;
    flowRate = flowRate_;
    op = op_;
    primaryMaterialName = primaryMaterial;

    set_optype(opType);
    setStepName(stepName);
    setStepVersion(stepVersion);
    set_rectext(recText);
    set_time_uom(timeUOM);
    set_flow_uom(flowUOM);
    set_temp_uom(tempUOM);
    set_press_uom(pressUOM);
    set_vol_uom(volUOM);
    set_unit_proc_name(unitProcName);
}

CString CProcUnit::OpType() const { return shared().opType[stepID][procID][opID]; }
CString CProcUnit::GetRecText() const { return shared().recText[stepID][procID][opID]; }
CString CProcUnit::GetUnitProcName() const { return shared().unitProcName[stepID][procID][0]; }
CString CProcUnit::GetUnitProcName(int step, int unitProc) { return shared().unitProcName[step][unitProc][0]; }
CString CProcUnit::GetStepName() const { return shared().stepName[stepID]; }
CString CProcUnit::GetStepVersion() const { return shared().stepVersion[stepID]; }

CString CProcUnit::GetStartTimeStr() const { return quantityText(static_cast<double>(start), shared().timeUOM); }
CString CProcUnit::GetEndTimeStr() const { return quantityText(static_cast<double>(end), shared().timeUOM); }
CString CProcUnit::GetTempAStr() const { return quantityText(tempA, shared().tempUOM); }
CString CProcUnit::GetTempBStr() const { return quantityText(tempB, shared().tempUOM); }
CString CProcUnit::GetPressureAStr() const { return quantityText(pressA, shared().pressUOM); }
CString CProcUnit::GetPressureBStr() const { return quantityText(pressB, shared().pressUOM); }

CString CProcUnit::GetFlowRateStr() const { return quantityText(flowRate, shared().flowUOM); }

CString CProcUnit::GetFlowRateUOM() { return shared().flowUOM; }
CString CProcUnit::GetVolUOM() { return shared().volUOM; }
CString CProcUnit::GetTempUOM() { return shared().tempUOM; }
CString CProcUnit::GetPressUOM() { return shared().pressUOM; }
CString CProcUnit::GetTimeUOM() { return shared().timeUOM; }

void CProcUnit::set_opname(const CString& text)
{
    if (!text.IsEmpty()) shared().opName[stepID][procID][opID] = text;
}

void CProcUnit::set_optype(const CString& text)
{
    if (!text.IsEmpty()) shared().opType[stepID][procID][opID] = text;
}

void CProcUnit::set_rectext(const CString& text)
{
    if (!text.IsEmpty()) shared().recText[stepID][procID][opID] = text;
}

void CProcUnit::setStepName(const CString& text)
{
    if (!text.IsEmpty()) shared().stepName[stepID] = text;
}

void CProcUnit::setStepVersion(const CString& text)
{
    if (!text.IsEmpty()) shared().stepVersion[stepID] = text;
}

void CProcUnit::set_unit_proc_name(const CString& text) { shared().unitProcName[stepID][procID][0] = text; }

void CProcUnit::set_flow_uom(const CString& uom) { shared().flowUOM = uom; }
void CProcUnit::set_vol_uom(const CString& uom) { shared().volUOM = uom; }
void CProcUnit::set_temp_uom(const CString& uom) { shared().tempUOM = uom; }
void CProcUnit::set_press_uom(const CString& uom) { shared().pressUOM = uom; }
void CProcUnit::set_time_uom(const CString& uom) { shared().timeUOM = uom; }

void CProcUnit::ResetSharedTables()
{
    SharedTables& t = shared();
    t.flowUOM.Empty();
    t.volUOM.Empty();
    t.tempUOM.Empty();
    t.pressUOM.Empty();
    t.timeUOM.Empty();
    t.opType.RemoveAll();
    t.recText.RemoveAll();
    t.opName.RemoveAll();
    t.unitProcName.RemoveAll();
    t.stepName.RemoveAll();
    t.stepVersion.RemoveAll();
}

} // namespace batchplant
