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

#include <array>
#include <cstdint>
#include <memory>

#include "batchplant/foundation/Hash.h"
#include "batchplant/foundation/SharedText.h"
#include "batchplant/platform/CString.h"
#include "batchplant/procedure/CProcComponent.h"

namespace batchplant {

namespace detail {
// What a text of an ProcRow refers to when it is not given.
inline const CString kNoText;
} // namespace detail

// One operation occurrence as a results row gives it, for
// CProcedure::AddNewProc (times in timeUOM, each value in its named unit)
// and, once converted, CProcUnit::assign. Built with designated
// initialisers, a member left out being 0 or empty. The texts are
// references: the row outlives the call that takes it.
struct ProcRow {
    long batchNum = 0;
    long opID = 0;
    long procID = 0;
    long stepID = 0;
    double startTime = 0.0;
    double endTime = 0.0;
    const CString& timeUOM = detail::kNoText;
    double vol = 0.0;
    const CString& volUOM = detail::kNoText;
    double tempA = 0.0;
    double tempB = 0.0;
    const CString& tempUOM = detail::kNoText;
    double pressA = 0.0;
    double pressB = 0.0;
    const CString& pressUOM = detail::kNoText;
    const CString& primaryMaterial = detail::kNoText;
    const CString& stepName = detail::kNoText;
    const CString& stepVersion = detail::kNoText;
    const CString& op = detail::kNoText;
    const CString& opType = detail::kNoText;
    const CString& recText = detail::kNoText;
    const CString& unitProcName = detail::kNoText;
    long streamID = 0;
    double flowRate = 0.0;
    const CString& flowUOM = detail::kNoText;
};

// One operation occurrence in a vessel or stream, in internal units
// (described at the top of CProcUnit.h).
class CProcUnit {
public:
    CProcUnit() = default;
    CProcUnit(long start, long end);
    // Copies every field; the copied components belong to the new unit.
    CProcUnit(const CProcUnit& other);
    // Copies every field; the components' showPhase flag stays as it was.
    CProcUnit& operator=(const CProcUnit& other);
    CProcUnit(CProcUnit&&) noexcept = default;
    CProcUnit& operator=(CProcUnit&&) noexcept = default;
    ~CProcUnit();

    // Fills the unit from already converted values and stores the shared
    // texts and unit names (empty step name, step version, operation type and
    // recipe text leave earlier ones in place; the unit names and the
    // unit-procedure name are always overwritten).
    void assign(long batchNum, long opID, long procID, long stepID, long start, long end, const CString& timeUOM,
                double vol, const CString& volUOM, double tempA, double tempB, const CString& tempUOM, double pressA,
                double pressB, const CString& pressUOM, const CString& stepName, const CString& stepVersion,
                const CString& op, const CString& primaryMaterial, const CString& opType, const CString& recText,
                const CString& unitProcName, long streamID, double flowRate, const CString& flowUOM);
    // The same from a row whose values are already converted; its start and
    // end times are not used, `start` and `end` (seconds) are.
    void assign(const ProcRow& values, long start, long end);

    long GetStart() const { return id(kStart); }
    long GetEnd() const { return id(kEnd); }
    long GetProcID() const { return id(kProc); }
    long GetOpID() const { return id(kOp); }
    long GetStepID() const { return id(kStep); }
    long GetBatchNum() const { return id(kBatch); }
    // -1 for a unit of equipment.
    long GetStreamID() const { return id(kStream); }
    double GetVol() const { return vol; }
    double GetTempA() const { return tempA; }
    double GetTempB() const { return tempB; }
    double GetPressA() const { return extra ? extra->pressA : 0.0; }
    double GetPressB() const { return extra ? extra->pressB : 0.0; }
    double GetFlowRate() const { return extra ? extra->flowRate : 0.0; }
    CString GetOp() const { return CString(op.view()); }
    CString GetPrimaryMaterialName() const { return extra ? CString(extra->primaryMaterialName.view()) : CString(); }

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
    void AddComponent(const CProcComponent& c) { GetComponents() += c; }
    int GetNumComponents() const { return extra ? extra->components.Size() : 0; }
    // Component i; a bad position yields a default component (see CProcComponents).
    CProcComponent& GetComponentAt(int i) { return GetComponents()[i]; }
    const CProcComponent& GetComponentAt(int i) const { return GetComponents()[i]; }
    CProcComponents& GetComponents() { return withExtra().components; }
    const CProcComponents& GetComponents() const { return extra ? extra->components : noComponents(); }

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
    // What most units lack: equipment rows carry no pressure, flow, primary material or components, and identifiers
    // rarely need more than 32 bits. Held apart, so that a unit of equipment
    // costs its times, identifiers, volume, temperatures and label only.
    struct Extra {
        double pressA = 0.0;
        double pressB = 0.0;
        double flowRate = 0.0;
        SharedText primaryMaterialName;
        CProcComponents components;
        std::unique_ptr<std::array<long, 7>> wideIDs;
    };
    // Times and identifiers, held in 32 bits unless one of them needs more.
    enum IdSlot { kStart, kEnd, kBatch, kOp, kProc, kStep, kStream };

    long id(IdSlot slot) const { return wide ? (*extra->wideIDs)[slot] : narrowIDs[slot]; }
    void setIDs(const std::array<long, 7>& ids);
    Extra& withExtra();
    static const CProcComponents& noComponents();

    std::array<std::int32_t, 7> narrowIDs{};
    bool wide = false; // the times and identifiers are in extra->wideIDs
    double vol = 0.0;
    double tempA = 0.0;
    double tempB = 0.0;
    SharedText op;
    std::unique_ptr<Extra> extra;
};

} // namespace batchplant
