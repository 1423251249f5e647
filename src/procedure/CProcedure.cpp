#include "batchplant/procedure/CProcedure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "foundation/InwardConversion.h"
#include "ProcRowOf.h"
#include "StreamPositions.h"

namespace batchplant {

namespace {

// Simulated seconds of a row time: converted, truncated toward zero and held
// within the 32-bit range that process keys carry (a double outside the
// range of the integer type would otherwise make the conversion undefined).
long toSeconds(const InwardConversion& timeUnit, double value)
{
    const double seconds = timeUnit(value);
    if (std::isnan(seconds)) return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (seconds <= lo) return std::numeric_limits<std::int32_t>::min();
    if (seconds >= hi) return std::numeric_limits<std::int32_t>::max();
    return static_cast<long>(std::trunc(seconds));
}

} // namespace

// ---------------------------------------------------------------------------
// Time index
//
// Two kinds of question are asked at animation speed:
//  - which positions run at t (start < t <= end), in ascending position;
//  - the last position before a bound whose unit has started or finished by t.
// Positions are not sorted by start (CProcKey is only a partial order), so
// the first is answered over the units sorted by start: the units with
// start < t form a prefix, and a max-end segment tree over that order reports
// those with end >= t in O((k + 1) log n). The second is answered by min
// segment trees over positions, descending to the rightmost leaf <= t.

// The index's interface; its times are held in 32 bits when every unit's fit
// (they do for any table row, which loading clamps), halving its size.
struct CProcedure::TimeIndex {
    virtual ~TimeIndex() = default;
    // Positions running at t, ascending.
    virtual void running(long t, std::vector<int>& out) const = 0;
    // The level that a walk over positions 0 .. n-1 ends with (see GetVolume).
    virtual double volumeAt(long t) const = 0;

    mutable std::vector<int> scratch;
};

template <class T> struct CProcedure::TimeIndexOf final : CProcedure::TimeIndex {
    static constexpr T kMin = std::numeric_limits<T>::min();
    static constexpr T kMax = std::numeric_limits<T>::max();

    int n = 0;
    int leaves = 1; // power of two >= n
    std::vector<T> start;
    std::vector<T> end;
    std::vector<double> vol;

    std::vector<int> byStart;    // positions sorted by start (ties by position)
    std::vector<T> sortedStart;  // start of byStart[k]
    std::vector<T> maxEndTree;   // over byStart order
    std::vector<T> minReachTree; // over positions: min(start, end), the unit counts for the volume at t >= it
    std::vector<T> minEndTree;   // over positions: end

    explicit TimeIndexOf(const MultiHash<CProcKey, CProcUnit>& units)
    {
        n = units.GetCount();
        while (leaves < n)
            leaves *= 2;
        start.resize(static_cast<std::size_t>(n));
        end.resize(static_cast<std::size_t>(n));
        vol.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const CProcUnit& u = units.GetAt(i);
            start[static_cast<std::size_t>(i)] = static_cast<T>(u.GetStart());
            end[static_cast<std::size_t>(i)] = static_cast<T>(u.GetEnd());
            vol[static_cast<std::size_t>(i)] = u.GetVol();
        }

        byStart.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            byStart[static_cast<std::size_t>(i)] = i;
        std::stable_sort(byStart.begin(), byStart.end(), [this](int a, int b) { return startOf(a) < startOf(b); });
        sortedStart.resize(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k)
            sortedStart[static_cast<std::size_t>(k)] = static_cast<T>(startOf(byStart[static_cast<std::size_t>(k)]));

        maxEndTree.assign(2 * static_cast<std::size_t>(leaves), kMin);
        minReachTree.assign(2 * static_cast<std::size_t>(leaves), kMax);
        minEndTree.assign(2 * static_cast<std::size_t>(leaves), kMax);
        for (int k = 0; k < n; ++k) {
            const std::size_t leaf = static_cast<std::size_t>(leaves + k);
            maxEndTree[leaf] = end[static_cast<std::size_t>(byStart[static_cast<std::size_t>(k)])];
            minReachTree[leaf] = std::min(start[static_cast<std::size_t>(k)], end[static_cast<std::size_t>(k)]);
            minEndTree[leaf] = end[static_cast<std::size_t>(k)];
        }
        for (std::size_t node = static_cast<std::size_t>(leaves) - 1; node >= 1; --node) {
            maxEndTree[node] = std::max(maxEndTree[2 * node], maxEndTree[2 * node + 1]);
            minReachTree[node] = std::min(minReachTree[2 * node], minReachTree[2 * node + 1]);
            minEndTree[node] = std::min(minEndTree[2 * node], minEndTree[2 * node + 1]);
        }
    }

    long startOf(int i) const { return start[static_cast<std::size_t>(i)]; }
    long endOf(int i) const { return end[static_cast<std::size_t>(i)]; }
    double volOf(int i) const { return vol[static_cast<std::size_t>(i)]; }

    // Positions running at t, ascending.
    void running(long t, std::vector<int>& out) const override
    {
        out.clear();
        const int k =
            static_cast<int>(std::lower_bound(sortedStart.begin(), sortedStart.end(), t) - sortedStart.begin());
        if (k > 0) collect(1, 0, leaves, k, t, out);
        std::sort(out.begin(), out.end());
    }

    void collect(std::size_t node, int lo, int hi, int limit, long t, std::vector<int>& out) const
    {
        if (lo >= limit || maxEndTree[node] < t) return;
        if (hi - lo == 1) {
            out.push_back(byStart[static_cast<std::size_t>(lo)]);
            return;
        }
        const int mid = lo + (hi - lo) / 2;
        collect(2 * node, lo, mid, limit, t, out);
        collect(2 * node + 1, mid, hi, limit, t, out);
    }

    // The highest position below `bound` whose leaf in `tree` is <= t, or -1.
    int rightmostAtMost(const std::vector<T>& tree, int bound, long t) const
    {
        return rightmost(tree, 1, 0, leaves, bound, t);
    }

    int rightmost(const std::vector<T>& tree, std::size_t node, int lo, int hi, int bound, long t) const
    {
        if (lo >= bound || tree[node] > t) return -1;
        if (hi - lo == 1) return lo;
        const int mid = lo + (hi - lo) / 2;
        const int right = rightmost(tree, 2 * node + 1, mid, hi, bound, t);
        if (right >= 0) return right;
        return rightmost(tree, 2 * node, lo, mid, bound, t);
    }

    // The level that a walk over positions 0 .. n-1 ends with (see GetVolume).
    double volumeAt(long t) const override
    {
        // Walk back over the units that count at t (started or finished) as
        // long as they are still running; the first finished one fixes the
        // level, from which the running ones are then replayed forward.
        std::vector<int>& chain = scratch;
        chain.clear();
        double level = 0.0;
        int bound = n;
        for (;;) {
            const int j = rightmostAtMost(minReachTree, bound, t);
            if (j < 0) break;
            if (t >= endOf(j)) {
                level = volOf(j);
                break;
            }
            chain.push_back(j);
            bound = j;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const int j = *it;
            // The base is the volume of the last unit before j that finished by t.
            const int finished = rightmostAtMost(minEndTree, j, t);
            const double base = finished >= 0 ? volOf(finished) : 0.0;
            // start <= t < end here, so the span is positive.
            level = level + (volOf(j) - base) * static_cast<double>(t - startOf(j)) /
                                static_cast<double>(endOf(j) - startOf(j));
        }
        return level;
    }
};

// ---------------------------------------------------------------------------

CProcedure::CProcedure() = default;

CProcedure::CProcedure(const CProcedure& other)
    : upToDate(other.upToDate), stepProcList(other.stepProcList), units(other.units)
{
}

CProcedure& CProcedure::operator=(const CProcedure& other)
{
    if (this == &other) return *this;
    upToDate = other.upToDate;
    stepProcList = other.stepProcList;
    units = other.units;
    index.reset();
    firstOfStream.reset();
    return *this;
}

CProcedure::~CProcedure() = default;

const CProcedure::TimeIndex& CProcedure::timeIndex() const
{
    if (!index) {
        bool narrow = true;
        for (int i = 0; i < units.GetCount() && narrow; ++i) {
            const CProcUnit& u = units.GetAt(i);
            narrow = detail::fitsInt32(u.GetStart()) && detail::fitsInt32(u.GetEnd());
        }
        if (narrow)
            index = std::make_unique<TimeIndexOf<std::int32_t>>(units);
        else
            index = std::make_unique<TimeIndexOf<long>>(units);
    }
    return *index;
}

void CProcedure::AddNewProc(long batchNum, long opID, long procID, long stepID, double startTime, double endTime,
                            const CString& timeUOM, double vol, const CString& volUOM, double tempA, double tempB,
                            const CString& tempUOM, double pressA, double pressB, const CString& pressUOM,
                            const CString& primaryMaterial, const CString& stepName, const CString& stepVersion,
                            const CString& op, const CString& opType, const CString& recText,
                            const CString& unitProcName, long streamID, double flowRate, const CString& flowUOM)
{
    AddNewProc(detail::procRowOf(batchNum, opID, procID, stepID, startTime, endTime, timeUOM, vol, volUOM, tempA, tempB,
                                 tempUOM, pressA, pressB, pressUOM, primaryMaterial, stepName, stepVersion, op, opType,
                                 recText, unitProcName, streamID, flowRate, flowUOM));
}

void CProcedure::AddNewProc(const ProcRow& row)
{
    upToDate = false;
    index.reset();
    firstOfStream.reset();

    const InwardConversion time(row.timeUOM);
    const long start = toSeconds(time, row.startTime);
    const long end = toSeconds(time, row.endTime);
    ProcRow values = row;
    values.flowRate = InwardConversion(row.flowUOM)(row.flowRate);
    const InwardConversion press(row.pressUOM);
    values.pressB = press(row.pressB);
    values.pressA = press(row.pressA);
    const InwardConversion temp(row.tempUOM);
    values.tempB = temp(row.tempB);
    values.tempA = temp(row.tempA);
    values.vol = InwardConversion(row.volUOM)(row.vol);

    // The multi-map adds a new entry for every key, equal keys included.
    units[CProcKey(start, end)].assign(values, start, end);
}

namespace {

// Temperatures and pressures of a stream row: a utility has inlet and outlet
// values, other streams one of each.
struct Conditions {
    double tempA, tempB, pressA, pressB;
};

// The stream forms: the operation's name is the user's label, else `name`.
template <class Row>
void addStreamRow(CProcedure& proc, const Row& row, Conditions c, const CString& name, const CString& primaryMaterial,
                  const CString& recText)
{
    proc.AddNewProc({.batchNum = row.m_BatchNumber,
                     .opID = row.m_OperationID,
                     .procID = row.m_UnitProcedureID,
                     .stepID = row.m_StepID,
                     .startTime = row.m_StartTime,
                     .endTime = row.m_EndTime,
                     .timeUOM = row.m_EndTimeUOM,
                     .vol = row.m_Volume,
                     .volUOM = row.m_VolumeUOM,
                     .tempA = c.tempA,
                     .tempB = c.tempB,
                     .tempUOM = row.m_TemperatureUOM,
                     .pressA = c.pressA,
                     .pressB = c.pressB,
                     .pressUOM = row.m_PressureUOM,
                     .primaryMaterial = primaryMaterial,
                     .op = row.m_UserLabel.IsEmpty() ? name : row.m_UserLabel,
                     .opType = row.m_OpType,
                     .recText = recText,
                     .unitProcName = row.m_UnitProcedureName,
                     .streamID = row.m_StreamID,
                     .flowRate = row.m_VolumetricFlowRate,
                     .flowUOM = row.m_VolumetricFlowRateUOM});
}

// A unit's text at a position; empty for a bad position.
template <class Get> CString textAt(const CProcedure& proc, int i, Get get)
{
    return i >= 0 && i < proc.GetNumProcs() ? CString(std::invoke(get, proc.GetProcUnit(i))) : CString();
}

} // namespace

// The row forms. A null column reads as 0 or the empty text (the data-access
// layer leaves those in the members), which is what every argument wants.

void CProcedure::AddNewProc(CDaoEquipConts& row)
{
    // "procedure.operation name", as %ld.%ld %s would write it (the name up to
    // a NUL it may hold), without a printf per row.
    std::string label = std::to_string(row.m_ProcSeqNum);
    label += '.';
    label += std::to_string(row.m_OpSeqNum);
    label += ' ';
    label += row.m_OpName.c_str();
    const CString op(std::move(label));
    AddNewProc({.batchNum = row.m_BatchNumber,
                .opID = row.m_OperationID,
                .procID = row.m_UnitProcedureID,
                .stepID = row.m_StepID,
                .startTime = row.m_StartTime,
                .endTime = row.m_EndTime,
                .timeUOM = row.m_EndTimeUOM,
                .vol = row.m_Volume,
                .volUOM = row.m_VolumeUOM,
                .tempA = row.m_Temperature,
                .tempUOM = row.m_TemperatureUOM,
                .stepName = row.m_StepName,
                .stepVersion = row.m_StepVersionName,
                .op = op,
                .opType = row.m_OpType,
                .recText = row.m_RecipeText,
                .unitProcName = row.m_UnitProcedureName,
                .streamID = -1});
}

void CProcedure::AddNewProc(CDaoStreamSet& row)
{
    addStreamRow(*this, row, {row.m_Temperature, 0.0, row.m_Pressure, 0.0}, row.m_OpName, row.m_PrimaryMaterial,
                 row.m_RecipeText);
}

void CProcedure::AddNewProc(CDaoUtilitySummary& row)
{
    addStreamRow(*this, row,
                 {row.m_InletTemperature, row.m_OutletTemperature, row.m_InletPressure, row.m_OutletPressure},
                 row.m_UtilityName, detail::kNoText, detail::kNoText);
}

void CProcedure::AddNewProc(CDaoVaporSummary& row)
{
    addStreamRow(*this, row, {row.m_Temperature, 0.0, row.m_Pressure, 0.0}, row.m_OpName, detail::kNoText,
                 detail::kNoText);
}

void CProcedure::AddComponent(const CProcComponent& c)
{
    if (!firstOfStream) firstOfStream = std::make_unique<detail::StreamPositions>(*this);
    const int at = firstOfStream->Find(c.GetStreamID());
    if (at >= 0) units.GetAt(at).AddComponent(c);
}

// ---------------------------------------------------------------------------
// Queries by position

long CProcedure::GetStepIdAt(int i) const { return validPosition(i) ? units.GetAt(i).GetStepID() : 0; }
long CProcedure::GetUnitProcIdAt(int i) const { return validPosition(i) ? units.GetAt(i).GetProcID() : 0; }
CString CProcedure::GetOpNameAt(int i) const { return textAt(*this, i, &CProcUnit::GetOp); }
CString CProcedure::GetContentsAt(int i) const { return textAt(*this, i, &CProcUnit::GetPrimaryMaterialName); }

CString CProcedure::GetOpNumberAt(int i) const
{
    return validPosition(i) ? CString::Formatted("%ld", units.GetAt(i).GetStreamID()) : CString();
}

CString CProcedure::GetStartTimeStrAt(int i) const { return textAt(*this, i, &CProcUnit::GetStartTimeStr); }
CString CProcedure::GetEndTimeStrAt(int i) const { return textAt(*this, i, &CProcUnit::GetEndTimeStr); }
CString CProcedure::GetTemperatureAStrAt(int i) const { return textAt(*this, i, &CProcUnit::GetTempAStr); }
CString CProcedure::GetTemperatureBStrAt(int i) const { return textAt(*this, i, &CProcUnit::GetTempBStr); }
CString CProcedure::GetPressureAStrAt(int i) const { return textAt(*this, i, &CProcUnit::GetPressureAStr); }
CString CProcedure::GetPressureBStrAt(int i) const { return textAt(*this, i, &CProcUnit::GetPressureBStr); }

CString CProcedure::GetFlowRateAt(int i, FlowRateType /*type*/) const
{
    return textAt(*this, i, &CProcUnit::GetFlowRateStr);
}

// ---------------------------------------------------------------------------
// Queries by time

void CProcedure::runningAt(long t, std::vector<int>& out) const { timeIndex().running(t, out); }

void CProcedure::getProcUnitsForTime(long t, Array<int>& out) const
{
    std::vector<int> positions;
    runningAt(t, positions);
    for (int p : positions)
        out.Add(p);
}

int CProcedure::firstRunningAt(long t) const
{
    const TimeIndex& ix = timeIndex();
    ix.running(t, ix.scratch);
    return ix.scratch.empty() ? -1 : ix.scratch.front();
}

CString CProcedure::GetCurrentOp(long t) const
{
    const int first = firstRunningAt(t);
    return first < 0 ? CString() : units.GetAt(first).GetOp();
}

CString CProcedure::GetCurrentOpType(long t) const
{
    const int first = firstRunningAt(t);
    return first < 0 ? CString() : units.GetAt(first).OpType();
}

long CProcedure::GetCurrentBatchNum(long t) const
{
    const int first = firstRunningAt(t);
    return first < 0 ? 0 : units.GetAt(first).GetBatchNum();
}

CProcedure::Frame CProcedure::FrameAt(long t, bool withVolume) const
{
    Frame frame;
    if (units.GetCount() == 0) return frame;
    const TimeIndex& ix = timeIndex();
    ix.running(t, ix.scratch);
    if (!ix.scratch.empty()) frame.running = &units.GetAt(ix.scratch.front());
    if (withVolume) frame.volume = ix.volumeAt(t);
    return frame;
}

int CProcedure::Reacting(long t) const
{
    const TimeIndex& ix = timeIndex();
    ix.running(t, ix.scratch);
    for (int p : ix.scratch) {
        if (units.GetAt(p).OpType() == "React") return 1;
    }
    return 0;
}

CString CProcedure::PrintOps(long t) const
{
    const TimeIndex& ix = timeIndex();
    ix.running(t, ix.scratch);
    CString text;
    for (int p : ix.scratch) {
        const CProcUnit& u = units.GetAt(p);
        text += u.GetOp();
        text += "\r\n";
        text += u.GetRecText();
        text += "\r\n";
    }
    return text;
}

double CProcedure::GetVolume(long t) const
{
    if (units.GetCount() == 0) return 0.0;
    return timeIndex().volumeAt(t);
}

// ---------------------------------------------------------------------------
// Whole timeline

Array<long> CProcedure::GetTimeList() const
{
    const int n = units.GetCount();
    Array<long> times(2 * n);
    for (int i = 0; i < n; ++i) {
        const CProcUnit& u = units.GetAt(i);
        times.Add(u.GetStart());
        times.Add(u.GetEnd());
    }
    return times;
}

Array<long> CProcedure::CalcInUseBlocks() const
{
    const int n = units.GetCount();
    Array<long> blocks(2 * n);
    for (int i = 1; i < n; ++i) {
        const CProcUnit& before = units.GetAt(i - 1);
        const CProcUnit& unit = units.GetAt(i);
        if (unit.GetStart() > before.GetEnd() && before.GetVol() > 0.0) {
            blocks.Add(before.GetEnd());
            blocks.Add(unit.GetStart());
        }
    }
    return blocks;
}

CString CProcedure::PrintProcs() const
{
    CString text;
    for (int i = 0; i < units.GetCount(); ++i) {
        const CProcUnit& u = units.GetAt(i);
        text.AppendFormat("(%s) - (%s)   %s (%s) \r\n", FormatTime(u.GetStart()), FormatTime(u.GetEnd()), u.GetOp(),
                          u.OpType());
    }
    return text;
}

CString CProcedure::FormatTime(long seconds)
{
    const long ss = seconds % 60;
    const long totalMinutes = seconds / 60;
    const long mm = totalMinutes % 60;
    const long totalHours = totalMinutes / 60;
    const long dd = totalHours / 24;
    const long hh = totalHours % 24;
    const CString minutes = CString::Formatted(mm < 10 ? "0%ld" : "%2ld", mm);
    const CString secs = CString::Formatted(ss < 10 ? "0%ld" : "%2ld", ss);
    return CString::Formatted("%ldd %2ld:%s:%s", dd, hh, minutes, secs);
}

// ---------------------------------------------------------------------------
// Steps and unit procedures

void CProcedure::update_sp_list()
{
    if (upToDate) return;
    // Rebuilt from scratch, so the counters stay one per unit however often
    // units are added between queries.
    stepProcList.RemoveAll();
    for (int i = 0; i < units.GetCount(); ++i) {
        const CProcUnit& u = units.GetAt(i);
        ++stepProcList[u.GetStepID()][u.GetProcID()];
    }
    upToDate = true;
}

bool CProcedure::ContainsStep(int step)
{
    update_sp_list();
    return stepProcList.Contains(step);
}

bool CProcedure::ContainsStepAndProcedure(int step, int procedure)
{
    update_sp_list();
    const Hash<long, long>* procedures = stepProcList.Lookup(step);
    return procedures && procedures->Contains(procedure);
}

void CProcedure::AddToStepProcList(Hash<long, Hash<long, long>>& out)
{
    update_sp_list();
    for (int s = 0; s < stepProcList.GetCount(); ++s) {
        const long step = stepProcList.GetKeyAt(s);
        const Hash<long, long>& procedures = stepProcList.GetAt(s);
        for (int p = 0; p < procedures.GetCount(); ++p)
            out[step][procedures.GetKeyAt(p)] += 1;
    }
}

} // namespace batchplant
