#include "batchplant/procedure/CProcUnit.h"
#include "batchplant/foundation/Keys.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "batchplant/foundation/Units.h"
#include "ProcRowOf.h"
#include "StagedTables.h"

namespace batchplant {

namespace {

// step id -> unit-procedure id -> operation id -> text
using TextTable = Hash<long, Hash<long, Hash<long, CString>>>;

// Which of the unit names a load set, so that publishing a staged set
// leaves the others as they were.
enum UomBit : unsigned { kFlowSet = 1, kVolSet = 2, kTempSet = 4, kPressSet = 8, kTimeSet = 16 };

struct SharedTables {
    CString flowUOM;
    CString volUOM;
    CString tempUOM;
    CString pressUOM;
    CString timeUOM;
    unsigned uomsSet = 0;
    TextTable opType;
    TextTable recText;
    TextTable opName;
    TextTable unitProcName; // operation key always 0
    Hash<long, CString> stepName;
    Hash<long, CString> stepVersion;
};

// The set a load on this thread writes into instead of the process's.
thread_local SharedTables* staged = nullptr;

// Function-local, so the tables exist before any static initialiser of a
// host asks for them.
SharedTables& shared()
{
    if (staged) return *staged;
    static SharedTables tables;
    return tables;
}

// Each unit name with the bit that says a load set it.
const std::pair<unsigned, CString SharedTables::*> kUoms[] = {{kFlowSet, &SharedTables::flowUOM},
                                                              {kVolSet, &SharedTables::volUOM},
                                                              {kTempSet, &SharedTables::tempUOM},
                                                              {kPressSet, &SharedTables::pressUOM},
                                                              {kTimeSet, &SharedTables::timeUOM}};

void setUom(SharedTables& t, CString SharedTables::*member, unsigned bit, const CString& uom)
{
    if (t.*member != uom) t.*member = uom;
    t.uomsSet |= bit;
}

// A lookup that adds nothing: reading must not write, so that a staged set
// holds only what its load wrote.
const CString* textIn(const TextTable& table, long step, long proc, long op)
{
    if (const auto* procs = table.Lookup(step))
        if (const auto* ops = procs->Lookup(proc)) return ops->Lookup(op);
    return nullptr;
}

CString textAt(const TextTable& table, long step, long proc, long op)
{
    const CString* text = textIn(table, step, proc, op);
    return text ? *text : CString();
}

CString textAt(const Hash<long, CString>& table, long step)
{
    const CString* text = table.Lookup(step);
    return text ? *text : CString();
}

// Every batch repeats the texts of the first under the same keys: a plain
// descent that finds the text already there is cheaper than the insert's.
void putText(TextTable& table, long step, long proc, long op, const CString& text)
{
    const CString* held = textIn(table, step, proc, op);
    if (!held || *held != text) table[step][proc][op] = text;
}

void putText(Hash<long, CString>& table, long step, const CString& text)
{
    const CString* held = table.Lookup(step);
    if (!held || *held != text) table[step] = text;
}

// The rule of the text setters but the unit procedure's name: an empty text
// leaves what the table holds.
void putNonEmpty(TextTable& table, long step, long proc, long op, const CString& text)
{
    if (!text.IsEmpty()) putText(table, step, proc, op, text);
}

void putNonEmpty(Hash<long, CString>& table, long step, const CString& text)
{
    if (!text.IsEmpty()) putText(table, step, text);
}

void publishTexts(const TextTable& from, TextTable& into)
{
    for (int i = 0; i < from.GetCount(); ++i) {
        const auto& procs = from.GetAt(i);
        auto& intoProcs = into[from.GetKeyAt(i)];
        for (int j = 0; j < procs.GetCount(); ++j) {
            const auto& ops = procs.GetAt(j);
            auto& intoOps = intoProcs[procs.GetKeyAt(j)];
            for (int k = 0; k < ops.GetCount(); ++k)
                intoOps[ops.GetKeyAt(k)] = ops.GetAt(k);
        }
    }
}

void publishTexts(const Hash<long, CString>& from, Hash<long, CString>& into)
{
    for (int i = 0; i < from.GetCount(); ++i)
        into[from.GetKeyAt(i)] = from.GetAt(i);
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

CProcUnit::CProcUnit(const CProcUnit& other)
    : narrowIDs(other.narrowIDs), wide(other.wide), vol(other.vol), tempA(other.tempA), tempB(other.tempB), op(other.op)
{
    if (!other.extra) return;
    *this = other;
    // Assignment keeps the target's showPhase; a copy takes the source's.
    extra->components.SetShowPhase(other.extra->components.GetShowPhase());
}

CProcUnit& CProcUnit::operator=(const CProcUnit& other)
{
    if (this == &other) return *this;
    narrowIDs = other.narrowIDs;
    wide = other.wide;
    vol = other.vol;
    tempA = other.tempA;
    tempB = other.tempB;
    op = other.op;
    if (!other.extra && !extra) return *this;
    Extra& x = withExtra();
    static const Extra none;
    const Extra& from = other.extra ? *other.extra : none;
    x.pressA = from.pressA;
    x.pressB = from.pressB;
    x.flowRate = from.flowRate;
    x.primaryMaterialName = from.primaryMaterialName;
    x.components = from.components; // keeps this list's showPhase
    x.wideIDs = from.wideIDs ? std::make_unique<std::array<long, 7>>(*from.wideIDs) : nullptr;
    return *this;
}

CProcUnit::CProcUnit(long start, long end)
{
    std::array<long, 7> ids{};
    ids[kStart] = start;
    ids[kEnd] = end;
    setIDs(ids);
}

CProcUnit::~CProcUnit() = default;

CProcUnit::Extra& CProcUnit::withExtra()
{
    if (!extra) extra = std::make_unique<Extra>();
    return *extra;
}

const CProcComponents& CProcUnit::noComponents()
{
    static const CProcComponents none;
    return none;
}

void CProcUnit::setIDs(const std::array<long, 7>& ids)
{
    const bool fit = std::all_of(ids.begin(), ids.end(), detail::fitsInt32);
    if (fit) {
        for (std::size_t i = 0; i < ids.size(); ++i)
            narrowIDs[i] = static_cast<std::int32_t>(ids[i]);
        if (extra) extra->wideIDs.reset();
    } else {
        narrowIDs = {};
        withExtra().wideIDs = std::make_unique<std::array<long, 7>>(ids);
    }
    wide = !fit;
}

void CProcUnit::assign(long batchNum, long opID, long procID, long stepID, long start, long end, const CString& timeUOM,
                       double vol, const CString& volUOM, double tempA, double tempB, const CString& tempUOM,
                       double pressA, double pressB, const CString& pressUOM, const CString& stepName,
                       const CString& stepVersion, const CString& op, const CString& primaryMaterial,
                       const CString& opType, const CString& recText, const CString& unitProcName, long streamID,
                       double flowRate, const CString& flowUOM)
{
    assign(detail::procRowOf(batchNum, opID, procID, stepID, 0.0, 0.0, timeUOM, vol, volUOM, tempA, tempB, tempUOM,
                             pressA, pressB, pressUOM, primaryMaterial, stepName, stepVersion, op, opType, recText,
                             unitProcName, streamID, flowRate, flowUOM),
           start, end);
}

void CProcUnit::assign(const ProcRow& r, long start, long end)
{
    std::array<long, 7> ids{};
    ids[kStart] = start;
    ids[kEnd] = end;
    ids[kBatch] = r.batchNum;
    ids[kOp] = r.opID;
    ids[kProc] = r.procID;
    ids[kStep] = r.stepID;
    ids[kStream] = r.streamID;
    setIDs(ids);
    vol = r.vol;
    tempA = r.tempA;
    tempB = r.tempB;
    op = TextPool::Share(r.op.str());
    // Bits, not values: a -0.0 read must show as it was read.
    const auto held = [](double v) { return std::bit_cast<std::uint64_t>(v) != 0; };
    if (extra || held(r.pressA) || held(r.pressB) || held(r.flowRate) || !r.primaryMaterial.IsEmpty()) {
        Extra& x = withExtra();
        x.pressA = r.pressA;
        x.pressB = r.pressB;
        x.flowRate = r.flowRate;
        x.primaryMaterialName = TextPool::Share(r.primaryMaterial.str());
    }

    // What the setters below write, with the tables looked up once a row.
    SharedTables& t = shared();
    const long step = GetStepID();
    const long proc = GetProcID();
    putNonEmpty(t.opType, step, proc, GetOpID(), r.opType);
    putNonEmpty(t.stepName, step, r.stepName);
    putNonEmpty(t.stepVersion, step, r.stepVersion);
    putNonEmpty(t.recText, step, proc, GetOpID(), r.recText);
    setUom(t, &SharedTables::timeUOM, kTimeSet, r.timeUOM);
    setUom(t, &SharedTables::flowUOM, kFlowSet, r.flowUOM);
    setUom(t, &SharedTables::tempUOM, kTempSet, r.tempUOM);
    setUom(t, &SharedTables::pressUOM, kPressSet, r.pressUOM);
    setUom(t, &SharedTables::volUOM, kVolSet, r.volUOM);
    putText(t.unitProcName, step, proc, 0, r.unitProcName);
}

CString CProcUnit::OpType() const { return textAt(shared().opType, GetStepID(), GetProcID(), GetOpID()); }
CString CProcUnit::GetRecText() const { return textAt(shared().recText, GetStepID(), GetProcID(), GetOpID()); }
CString CProcUnit::GetUnitProcName() const { return textAt(shared().unitProcName, GetStepID(), GetProcID(), 0); }
CString CProcUnit::GetUnitProcName(int step, int unitProc) { return textAt(shared().unitProcName, step, unitProc, 0); }
CString CProcUnit::GetStepName() const { return textAt(shared().stepName, GetStepID()); }
CString CProcUnit::GetStepVersion() const { return textAt(shared().stepVersion, GetStepID()); }

CString CProcUnit::GetStartTimeStr() const { return quantityText(static_cast<double>(GetStart()), shared().timeUOM); }
CString CProcUnit::GetEndTimeStr() const { return quantityText(static_cast<double>(GetEnd()), shared().timeUOM); }
CString CProcUnit::GetTempAStr() const { return quantityText(tempA, shared().tempUOM); }
CString CProcUnit::GetTempBStr() const { return quantityText(tempB, shared().tempUOM); }
CString CProcUnit::GetPressureAStr() const { return quantityText(GetPressA(), shared().pressUOM); }
CString CProcUnit::GetPressureBStr() const { return quantityText(GetPressB(), shared().pressUOM); }

CString CProcUnit::GetFlowRateStr() const { return quantityText(GetFlowRate(), shared().flowUOM); }

CString CProcUnit::GetFlowRateUOM() { return shared().flowUOM; }
CString CProcUnit::GetVolUOM() { return shared().volUOM; }
CString CProcUnit::GetTempUOM() { return shared().tempUOM; }
CString CProcUnit::GetPressUOM() { return shared().pressUOM; }
CString CProcUnit::GetTimeUOM() { return shared().timeUOM; }

void CProcUnit::set_opname(const CString& text)
{
    putNonEmpty(shared().opName, GetStepID(), GetProcID(), GetOpID(), text);
}

void CProcUnit::set_optype(const CString& text)
{
    putNonEmpty(shared().opType, GetStepID(), GetProcID(), GetOpID(), text);
}

void CProcUnit::set_rectext(const CString& text)
{
    putNonEmpty(shared().recText, GetStepID(), GetProcID(), GetOpID(), text);
}

void CProcUnit::setStepName(const CString& text) { putNonEmpty(shared().stepName, GetStepID(), text); }

void CProcUnit::setStepVersion(const CString& text) { putNonEmpty(shared().stepVersion, GetStepID(), text); }

void CProcUnit::set_unit_proc_name(const CString& text)
{
    putText(shared().unitProcName, GetStepID(), GetProcID(), 0, text);
}

void CProcUnit::set_flow_uom(const CString& uom) { setUom(shared(), &SharedTables::flowUOM, kFlowSet, uom); }
void CProcUnit::set_vol_uom(const CString& uom) { setUom(shared(), &SharedTables::volUOM, kVolSet, uom); }
void CProcUnit::set_temp_uom(const CString& uom) { setUom(shared(), &SharedTables::tempUOM, kTempSet, uom); }
void CProcUnit::set_press_uom(const CString& uom) { setUom(shared(), &SharedTables::pressUOM, kPressSet, uom); }
void CProcUnit::set_time_uom(const CString& uom) { setUom(shared(), &SharedTables::timeUOM, kTimeSet, uom); }

void CProcUnit::ResetSharedTables()
{
    SharedTables& t = shared();
    t.flowUOM.Empty();
    t.volUOM.Empty();
    t.tempUOM.Empty();
    t.pressUOM.Empty();
    t.timeUOM.Empty();
    t.uomsSet = 0;
    t.opType.RemoveAll();
    t.recText.RemoveAll();
    t.opName.RemoveAll();
    t.unitProcName.RemoveAll();
    t.stepName.RemoveAll();
    t.stepVersion.RemoveAll();
}

struct StagedTables::Units : SharedTables {};

void StagedTables::UnitsDeleter::operator()(Units* u) const { delete u; }

void StagedTables::PublishUnits(const Units& from)
{
    SharedTables& into = shared();
    publishTexts(from.opType, into.opType);
    publishTexts(from.recText, into.recText);
    publishTexts(from.opName, into.opName);
    publishTexts(from.unitProcName, into.unitProcName);
    publishTexts(from.stepName, into.stepName);
    publishTexts(from.stepVersion, into.stepVersion);
    for (const auto& [bit, member] : kUoms)
        if (from.uomsSet & bit) into.*member = from.*member;
    into.uomsSet |= from.uomsSet;
}

void StagedTables::UseUnits(Units* u) { staged = u; }

StagedTables::StagedTables() : units(new Units), components(NewComponents()) {}

StagedTables::~StagedTables() = default;

StagedTables::Scope::Scope(StagedTables& tables)
{
    UseUnits(tables.units.get());
    UseComponents(tables.components.get());
}

StagedTables::Scope::~Scope()
{
    UseUnits(nullptr);
    UseComponents(nullptr);
}

void StagedTables::Publish() const
{
    PublishUnits(*units);
    PublishComponents(*components);
}

} // namespace batchplant
