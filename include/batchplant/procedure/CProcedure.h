#pragma once
// The time-ordered set of process units that ran in one vessel or stream
// during the simulated plan. Loaders add one unit per row of the equipment,
// stream, utility and vapor queries and attach the components; the views
// then ask what runs at a simulated time, how full the vessel is, where the
// Gantt bars and idle-but-holding stretches are, and which steps and unit
// procedures occur.
//
// Times are whole simulated seconds from the plan's start. Positions run
// over the units in ascending CProcKey order (by start and end time; units
// with equal start and end come newest first).
//
// A unit runs at t when start < t <= end. The time queries are answered from
// an index over the units' times that is rebuilt on the first time query
// after units were added, so a query costs O(log n + k) for k running units
// instead of a walk over all n units; the answers are exactly those of a walk
// in position order.

#include <memory>
#include <vector>

#include "batchplant/foundation/Array.h"
#include "batchplant/foundation/Hash.h"
#include "batchplant/foundation/Keys.h"
#include "batchplant/platform/CString.h"
#include "batchplant/procedure/CProcUnit.h"

namespace batchplant {

namespace detail {
class StreamPositions;
}

class CDaoEquipConts;
class CDaoStreamSet;
class CDaoUtilitySummary;
class CDaoVaporSummary;

// What ran in one vessel or stream, as process units in time order
// (described at the top of CProcedure.h).
class CProcedure {
public:
    // Accepted by GetFlowRateAt for the hosts' sake; the result is always
    // the volumetric flow rate.
    enum FlowRateType : int {
        VolumetricFlowRate = 0,
        MassFlowRate = 1,
        MolarFlowRate = 2,
    };

    CProcedure();
    CProcedure(const CProcedure& other);
    CProcedure& operator=(const CProcedure& other);
    ~CProcedure();

    // Adding units ---------------------------------------------------------

    // Adds one unit. Times are converted with timeUOM to seconds and
    // truncated toward zero (a time beyond the 32-bit range of seconds is
    // held at that range's limit, a NaN as 0); the other values are converted
    // to internal units with their unit names. Also stores the shared texts
    // and unit names (see CProcUnit::assign). A unit with the same start and
    // end as an existing one is added beside it, never in its place.
    void AddNewProc(long batchNum, long opID, long procID, long stepID, double startTime, double endTime,
                    const CString& timeUOM, double vol, const CString& volUOM, double tempA, double tempB,
                    const CString& tempUOM, double pressA, double pressB, const CString& pressUOM,
                    const CString& primaryMaterial, const CString& stepName, const CString& stepVersion,
                    const CString& op, const CString& opType, const CString& recText, const CString& unitProcName,
                    long streamID, double flowRate, const CString& flowUOM);
    // The same from a row built by name.
    void AddNewProc(const ProcRow& row);
    // Adds the current row of a recordset. Equipment rows are labelled
    // "<unit procedure seq>.<operation seq> <operation name>" and carry no
    // pressure, flow or stream; stream rows show their user label, or the
    // operation (utility: the utility) name when the label is empty. A null
    // column counts as 0 or the empty text.
    void AddNewProc(CDaoEquipConts& row);
    void AddNewProc(CDaoStreamSet& row);
    void AddNewProc(CDaoUtilitySummary& row);
    void AddNewProc(CDaoVaporSummary& row);

    // Gives a copy of `c` to the first unit (by position) of c's stream;
    // nothing happens when no unit has that stream.
    void AddComponent(const CProcComponent& c);

    // Queries by position (0 .. GetNumProcs() - 1) --------------------------
    // A bad position gives the empty text or 0; GetProcUnit and
    // GetProcComponentsAt then give a default unit or list kept for that
    // purpose (changes to it are lost).

    int GetNumProcs() const { return units.GetCount(); }
    // The unit at a position. Its times must not be changed through assign:
    // the time index would not see it.
    CProcUnit& GetProcUnit(int i) { return units.GetAt(i); }
    const CProcUnit& GetProcUnit(int i) const { return units.GetAt(i); }
    long GetStepIdAt(int i) const;
    long GetUnitProcIdAt(int i) const;
    CString GetOpNameAt(int i) const;
    CString GetContentsAt(int i) const;
    // The unit's stream id as decimal text ("-1" for equipment).
    CString GetOpNumberAt(int i) const;
    CProcComponents& GetProcComponentsAt(int i) { return units.GetAt(i).GetComponents(); }
    const CProcComponents& GetProcComponentsAt(int i) const { return units.GetAt(i).GetComponents(); }
    CString GetStartTimeStrAt(int i) const;
    CString GetEndTimeStrAt(int i) const;
    CString GetTemperatureAStrAt(int i) const;
    CString GetTemperatureBStrAt(int i) const;
    CString GetPressureAStrAt(int i) const;
    CString GetPressureBStrAt(int i) const;
    CString GetFlowRateAt(int i, FlowRateType type) const;

    // Queries by time ------------------------------------------------------

    // The label of the first unit running at t; empty when none runs.
    CString GetCurrentOp(long t) const;
    // The operation type of the first unit running at t; empty when none runs.
    CString GetCurrentOpType(long t) const;
    // 1 when a unit running at t has the operation type "React" (exactly), else 0.
    int Reacting(long t) const;
    // Label and recipe text of every unit running at t, each followed by "\r\n".
    CString PrintOps(long t) const;
    // The contents volume at t (internal unit): the volume of the last
    // finished unit, moving linearly toward the running unit's volume while
    // it runs; 0.0 before anything started.
    double GetVolume(long t) const;
    // The batch number of the first unit running at t; 0 when none runs.
    long GetCurrentBatchNum(long t) const;
    // What one animation frame needs at t, from one look-up: the first unit
    // running (null when none runs; what GetCurrentOp, GetCurrentOpType and
    // GetCurrentBatchNum answer from) and, when asked, GetVolume(t).
    struct Frame {
        const CProcUnit* running = nullptr;
        double volume = 0.0;
    };
    Frame FrameAt(long t, bool withVolume) const;

    // Whole timeline -------------------------------------------------------

    // Start and end of every unit in position order.
    Array<long> GetTimeList() const;
    // Pairs (end of unit i - 1, start of unit i) for every gap between
    // consecutive units after a unit that holds material.
    Array<long> CalcInUseBlocks() const;
    // One line per unit: "(start) - (end)   label (op type) \r\n".
    CString PrintProcs() const;
    // "<d>d <hh>:<mm>:<ss>" with hours right-aligned to two places and
    // minutes and seconds with two digits; e.g. 93784 gives "1d  2:03:04".
    static CString FormatTime(long seconds);

    // Steps and unit procedures --------------------------------------------

    bool ContainsStep(int step);
    bool ContainsStepAndProcedure(int step, int procedure);
    // Adds 1 to out[step][unit procedure] for every pair that occurs here.
    void AddToStepProcList(Hash<long, Hash<long, long>>& out);

private:
    struct TimeIndex;
    template <class T> struct TimeIndexOf;

    // Appends, in ascending position, every position whose unit runs at t.
    void getProcUnitsForTime(long t, Array<int>& out) const;
    // The same into a vector (cleared first).
    void runningAt(long t, std::vector<int>& out) const;
    // The lowest running position, or -1.
    int firstRunningAt(long t) const;
    const TimeIndex& timeIndex() const;
    void update_sp_list();
    bool validPosition(int i) const { return i >= 0 && i < units.GetCount(); }

    bool upToDate = false;
    Hash<long, Hash<long, long>> stepProcList;
    MultiHash<CProcKey, CProcUnit> units;

    // Built from `units` on demand; dropped by every AddNewProc.
    mutable std::unique_ptr<TimeIndex> index;
    // Stream id -> lowest position, for AddComponent only; built on its first call.
    std::unique_ptr<detail::StreamPositions> firstOfStream;
};

} // namespace batchplant
