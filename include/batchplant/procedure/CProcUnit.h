#pragma once
// One occurrence of one operation in one piece of equipment or stream: a
// batch, a process step, a unit procedure and an operation, running from a
// start to an end time, with the volume, temperatures, pressures and flow
// rate that the simulation reported for it, and its material components.
//
// Values are held in internal units (seconds, cubic metres, kelvin, pascal).
// The unit names in which they are shown, and the long texts of operations
// (operation type, recipe text, unit-procedure name, step name and version),
// are shared by all units: they live in class-wide tables that every load
// overwrites.

#include "batchplant/foundation/Hash.h"
#include "batchplant/platform/CString.h"
#include "batchplant/procedure/CProcComponent.h"

namespace batchplant {

// One operation occurrence in a vessel or stream, in internal units
// (described at the top of CProcUnit.h).
class CProcUnit {
public:
    CProcUnit() = default;
    CProcUnit(long start, long end) : start(start), end(end) {}
    // Copies every field; the copied components belong to the new unit.
    CProcUnit(const CProcUnit&) = default;
    // Copies every field; the components' showPhase flag stays as it was.
    CProcUnit& operator=(const CProcUnit&) = default;

    // Fills the unit from already converted values and stores the shared
    // texts and unit names (empty step name, step version, operation type and
    // recipe text leave earlier ones in place; the unit names and the
    // unit-procedure name are always overwritten).
    void assign(long batchNum, long opID, long procID, long stepID, long start, long end, const CString& timeUOM,
                double vol, const CString& volUOM, double tempA, double tempB, const CString& tempUOM, double pressA,
                double pressB, const CString& pressUOM, const CString& stepName, const CString& stepVersion,
                const CString& op, const CString& primaryMaterial, const CString& opType, const CString& recText,
                const CString& unitProcName, long streamID, double flowRate, const CString& flowUOM);

    long GetStart() const { return start; }
    long GetEnd() const { return end; }
    long GetProcID() const { return procID; }
    long GetOpID() const { return opID; }
    long GetStepID() const { return stepID; }
    long GetBatchNum() const { return batchNum; }
    // -1 for a unit of equipment.
    long GetStreamID() const { return streamID; }
    double GetVol() const { return vol; }
    double GetTempA() const { return tempA; }
    double GetTempB() const { return tempB; }
    double GetPressA() const { return pressA; }
    double GetPressB() const { return pressB; }
    double GetFlowRate() const { return flowRate; }
    CString GetOp() const { return op; }
    CString GetPrimaryMaterialName() const { return primaryMaterialName; }

    // Shared texts under this unit's step, unit procedure and operation. A
    // lookup of a missing key adds an empty entry and yields an empty text.
    CString OpType() const;
    CString GetRecText() const;
    CString GetUnitProcName() const;
    static CString GetUnitProcName(int step, int unitProc);
    CString GetStepName() const;
    CString GetStepVersion() const;

    // "%.3f %s" of the value in the shared unit of its quantity ("N/A" for a
    // value too large to show).
    CString GetStartTimeStr() const;
    CString GetEndTimeStr() const;
    CString GetTempAStr() const;
    CString GetTempBStr() const;
    CString GetPressureAStr() const;
    CString GetPressureBStr() const;
    CString GetFlowRateStr() const;

    static CString GetFlowRateUOM();
    static CString GetVolUOM();
    static CString GetTempUOM();
    static CString GetPressUOM();
    static CString GetTimeUOM();

    // Appends a copy of `c` that belongs to this unit's list.
    void AddComponent(const CProcComponent& c) { components += c; }
    int GetNumComponents() const { return components.Size(); }
    // Component i; a bad position yields a default component (see CProcComponents).
    CProcComponent& GetComponentAt(int i) { return components[i]; }
    const CProcComponent& GetComponentAt(int i) const { return components[i]; }
    CProcComponents& GetComponents() { return components; }
    const CProcComponents& GetComponents() const { return components; }

    // True when the unit holds no material (volume not above 0.0).
    bool IsEmpty() const { return !(vol > 0.0); }

    // Shared texts under this unit's keys; the first five store only a
    // non-empty text, the unit-procedure name is stored as given.
    void set_opname(const CString& text);
    void set_optype(const CString& text);
    void set_rectext(const CString& text);
    void setStepName(const CString& text);
    void setStepVersion(const CString& text);
    void set_unit_proc_name(const CString& text);

    // Shared unit names, stored as given (an empty name clears the unit).
    static void set_flow_uom(const CString& uom);
    static void set_vol_uom(const CString& uom);
    static void set_temp_uom(const CString& uom);
    static void set_press_uom(const CString& uom);
    static void set_time_uom(const CString& uom);

    // Empties every shared text table and unit name, as at process start.
    // For tests and for hosts that load several databases in one process.
    static void ResetSharedTables();

private:
    long start = 0;
    long end = 0;
    long procID = 0;
    long opID = 0;
    long stepID = 0;
    long batchNum = 0;
    long streamID = 0;
    double vol = 0.0;
    double tempA = 0.0;
    double tempB = 0.0;
    double pressA = 0.0;
    double pressB = 0.0;
    double flowRate = 0.0;
    CString op;
    CString primaryMaterialName;
    CProcComponents components;
};

} // namespace batchplant
