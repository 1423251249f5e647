#include "batchplant/procedure/CProcComponent.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>

#include "StagedTables.h"
#include "batchplant/db/StreamRecordsets.h"

namespace batchplant {

namespace {

struct ComponentUnitNames {
    CString mass;
    CString volume;
    CString moles;
    CString duty;
    CString time;
    // Which names a load set, so that publishing a staged set leaves the
    // others as they were.
    bool massSet = false, volumeSet = false, molesSet = false, dutySet = false, timeSet = false;
};

// The names a load on this thread writes instead of the process's.
thread_local ComponentUnitNames* staged = nullptr;

// Function-local, so the names exist before any static initialiser of a host
// asks for them.
ComponentUnitNames& unitNames()
{
    if (staged) return *staged;
    static ComponentUnitNames names;
    return names;
}

// A number of the contents table; the table never shows inf or NaN.
CString formatAmount(double v)
{
    if (!std::isfinite(v)) return CString("N/A");
    return CString::Formatted("%.4f", v);
}

} // namespace

// ---------------------------------------------------------------------------
// CProcComponent

CProcComponent& CProcComponent::operator+=(const CProcComponent& other)
{
    mass += other.mass;
    volume += other.volume;
    moles += other.moles;
    duty += other.duty;
    startTime = other.startTime;
    endTime = other.endTime;
    name = other.name;
    materialID = other.materialID;
    streamID = other.streamID;
    // Phases add up only when they are different phases; the same material
    // seen again in a phase it already has keeps its set.
    if ((phase & other.phase) == 0) phase = static_cast<PhaseType>(phase | other.phase);
    return *this;
}

void CProcComponent::SetPhaseName(const CString& text)
{
    phaseName = TextPool::Share(text.str());
    phase = GetPhaseNum(text);
}

CProcComponent::PhaseType CProcComponent::GetPhaseNum(const CString& phaseName)
{
    static constexpr struct {
        std::string_view name;
        PhaseType bit;
    } kPhases[] = {
        {"gas", Gas}, {"liquid1", Liquid1}, {"liquid2", Liquid2}, {"solid", Solid}, {"cell1", Cell1}, {"cell2", Cell2},
    };
    // Every contents row names its phase, nearly always as spelled here: the
    // length and the exact spelling are tried before the case-blind compare.
    const std::string& name = phaseName.str();
    for (const auto& p : kPhases) {
        if (name.size() != p.name.size()) continue;
        if (name == p.name || phaseName.CompareNoCase(p.name.data()) == 0) return p.bit;
    }
    return NoPhase;
}

CString CProcComponent::GetAbbreviatedPhase() const
{
    static const struct {
        int bit;
        const char* letter;
    } kLetters[] = {{Gas, "g"}, {Liquid1, "l"}, {Liquid2, "l"}, {Solid, "s"}, {Cell1, "c"}, {Cell2, "c"}};
    CString text;
    for (const auto& l : kLetters) {
        if ((phase & l.bit) == 0) continue;
        if (!text.IsEmpty()) text += "+";
        text += l.letter;
    }
    return text;
}

void CProcComponent::TakeUnitNames(CDaoBaseContents& rs)
{
    // An amount's unit is kept when the row names none, the time unit always.
    if (!rs.m_MassUOM.IsEmpty()) SetMassUOM(rs.m_MassUOM);
    if (!rs.m_VolumeUOM.IsEmpty()) SetVolUOM(rs.m_VolumeUOM);
    if (!rs.m_MolesUOM.IsEmpty()) SetMolesUOM(rs.m_MolesUOM);
    if (!rs.m_HeatDutyUOM.IsEmpty()) SetDutyUOM(rs.m_HeatDutyUOM);
    SetTimeUOM(rs.m_TimeUOM);
}

CProcComponent CProcComponent::FromRow(CDaoBaseContents& rs, CTripleIntKey& outer)
{
    // An equipment end that is 0 or null is outside the plant.
    const auto equipment = [&rs](const long& id) { return (id == 0 || rs.IsFieldNull(&id)) ? -1L : id; };
    outer = CTripleIntKey(equipment(rs.m_FromEquipmentID), equipment(rs.m_ToEquipmentID), 0);

    CProcComponent c;
    c.mass = rs.m_MassPhaseFraction * rs.m_Mass * rs.m_MassFraction;
    c.volume = rs.m_Volume * rs.m_VolumePhaseFraction * rs.m_VolumeFraction;
    c.moles = rs.m_MolarPhaseFraction * rs.m_Moles * rs.m_MoleFraction;
    c.duty = rs.m_HeatDuty;
    c.materialID = static_cast<int>(rs.m_MaterialID);
    c.streamID = rs.m_StreamID;
    c.name = TextPool::Share(rs.m_MaterialName.str());
    c.phaseName = TextPool::Share(rs.m_Phase.str());
    c.phase = GetPhaseNum(rs.m_Phase);
    c.startTime = rs.m_StartTime;
    c.endTime = rs.m_EndTime;
    return c;
}

void CProcComponent::LoadFromDB(CDaoBaseContents& rs, Hash<CTripleIntKey, Hash<CTripleIntKey, CProcComponent>>& out)
{
    // The unit names come from the row the caller's open left current.
    TakeUnitNames(rs);
    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
        CTripleIntKey outer;
        CProcComponent c = FromRow(rs, outer);
        const CTripleIntKey inner(c.streamID, rs.m_MaterialID, c.phase);
        out[outer][inner] = std::move(c);
    }
}

CString CProcComponent::GetMassUOM() { return unitNames().mass; }
void CProcComponent::SetMassUOM(const CString& uom)
{
    unitNames().mass = uom;
    unitNames().massSet = true;
}
CString CProcComponent::GetVolUOM() { return unitNames().volume; }
void CProcComponent::SetVolUOM(const CString& uom)
{
    unitNames().volume = uom;
    unitNames().volumeSet = true;
}
CString CProcComponent::GetMolesUOM() { return unitNames().moles; }
void CProcComponent::SetMolesUOM(const CString& uom)
{
    unitNames().moles = uom;
    unitNames().molesSet = true;
}
CString CProcComponent::GetDutyUOM() { return unitNames().duty; }
void CProcComponent::SetDutyUOM(const CString& uom)
{
    unitNames().duty = uom;
    unitNames().dutySet = true;
}
CString CProcComponent::GetTimeUOM() { return unitNames().time; }
void CProcComponent::SetTimeUOM(const CString& uom)
{
    unitNames().time = uom;
    unitNames().timeSet = true;
}

void CProcComponent::ResetSharedTables() { unitNames() = ComponentUnitNames{}; }

// ---------------------------------------------------------------------------
// CProcComponents

CProcComponents::CProcComponents(const CProcComponents& other) : items(other.items), showPhase(other.showPhase)
{
    for (CProcComponent& c : items)
        c.SetOwner(this);
}

CProcComponents& CProcComponents::operator=(const CProcComponents& other)
{
    if (this == &other) return *this;
    // Copied before ours are dropped: `other` may be reached through one of
    // our own elements' owner.
    std::vector<CProcComponent> copy(other.items);
    items = std::move(copy);
    for (CProcComponent& c : items)
        c.SetOwner(this);
    return *this;
}

CProcComponents& CProcComponents::operator+=(const CProcComponent& c)
{
    items.push_back(c);
    // The owner is the list that holds the copy, never the list the
    // original came from.
    items.back().SetOwner(this);
    return *this;
}

void CProcComponents::Merge(const CProcComponent& c)
{
    // Grown one at a time: a unit's list is built once and then kept, so it
    // holds no spare room.
    if (items.size() == items.capacity()) items.reserve(items.size() + 1);
    mergeOne(CProcComponent(c));
}

void CProcComponents::Merge(std::vector<CProcComponent>&& run)
{
    items.reserve(items.size() + run.size());
    for (CProcComponent& c : run)
        mergeOne(std::move(c));
    // A row that replaced an earlier one left room unused.
    if (items.capacity() > items.size()) items.shrink_to_fit();
}

void CProcComponents::mergeOne(CProcComponent&& c)
{
    const auto before = [](const CProcComponent& a, const CProcComponent& b) {
        if (a.GetMaterialID() != b.GetMaterialID()) return a.GetMaterialID() < b.GetMaterialID();
        return a.GetPhaseNum() < b.GetPhaseNum();
    };
    auto at = std::lower_bound(items.begin(), items.end(), c, before);
    if (at != items.end() && !before(c, *at))
        *at = std::move(c);
    else
        at = items.insert(at, std::move(c));
    at->SetOwner(this);
}

CProcComponent& CProcComponents::operator[](int i)
{
    if (i >= 0 && i < Size()) return items[static_cast<std::size_t>(i)];
    // One scratch entry per thread rather than per collection: a unit's
    // collection costs no pointer for a position nobody should pass. It is
    // cleared on every such access, so a stray write never reads back.
    thread_local CProcComponent placeholder;
    placeholder = CProcComponent();
    return placeholder;
}

const CProcComponent& CProcComponents::operator[](int i) const
{
    static const CProcComponent none;
    return i >= 0 && i < Size() ? items[static_cast<std::size_t>(i)] : none;
}

void CProcComponents::GetTotal(CProcComponent& total) const
{
    for (const CProcComponent& c : items)
        total += c;
}

void CProcComponents::SortBy(Type /*type*/) { quickSort(0, Size() - 1); }

void CProcComponents::quickSort(int lo, int hi)
{
    // The last element of the range is the pivot: heavier elements go to its
    // left, lighter ones to its right. The smaller side is sorted by
    // recursion and the larger one by the loop, so the depth stays
    // logarithmic even for a list that comes in ascending order.
    while (lo < hi) {
        const double pivot = items[static_cast<std::size_t>(hi)].GetMass();
        int left = lo;
        int right = hi - 1;
        for (;;) {
            while (left < hi && items[static_cast<std::size_t>(left)].GetMass() > pivot)
                ++left;
            while (right > lo && items[static_cast<std::size_t>(right)].GetMass() < pivot)
                --right;
            if (left >= right) break;
            swap(left, right);
            ++left;
            --right;
        }
        swap(left, hi);
        if (left - lo < hi - left) {
            quickSort(lo, left - 1);
            lo = left + 1;
        } else {
            quickSort(left + 1, hi);
            hi = left - 1;
        }
    }
}

CString CProcComponents::GetStringAt(int index, Type type, bool asRate) const
{
    if (index == -1) {
        switch (type) {
        case Mass:
            return "Mass (" + CProcComponent::GetMassUOM() + ")";
        case Volume:
            return "Volume (" + CProcComponent::GetVolUOM() + ")";
        case Moles:
            return "Moles (" + CProcComponent::GetMolesUOM() + ")";
        case Duty:
            return "Duty (" + CProcComponent::GetDutyUOM() + ")";
        case ComponentName:
            return "Component";
        }
        return CString();
    }
    if (index == -2) {
        const CString perTime = "/" + CProcComponent::GetTimeUOM() + ")";
        switch (type) {
        case Mass:
            return "(" + CProcComponent::GetMassUOM() + perTime;
        case Volume:
            return "(" + CProcComponent::GetVolUOM() + perTime;
        case Moles:
            return "(" + CProcComponent::GetMolesUOM() + perTime;
        case Duty:
            return "(" + CProcComponent::GetDutyUOM() + perTime;
        case ComponentName:
            return "Flow rates";
        }
        return CString();
    }
    if (index < 0 || index >= Size()) return CString();

    const CProcComponent& c = items[static_cast<std::size_t>(index)];
    if (type == ComponentName) {
        CString text = c.GetName();
        if (showPhase) {
            const CString abbreviation = c.GetAbbreviatedPhase();
            if (!abbreviation.IsEmpty()) text += " (" + abbreviation + ")";
        }
        return text;
    }

    double value = 0.0;
    switch (type) {
    case Mass:
        value = c.GetMass();
        break;
    case Volume:
        value = c.GetVolume();
        break;
    case Moles:
        value = c.GetMoles();
        break;
    case Duty:
        value = c.GetDuty();
        break;
    default:
        break;
    }
    if (asRate) {
        const double span = c.GetEndTime() - c.GetStartTime();
        // Written so that a NaN span also gives "N/A".
        if (!(span > 0.0)) return CString("N/A");
        value /= span;
    }
    return formatAmount(value);
}

CString CProcComponents::GetLongestString(Type type) const
{
    CString best = GetStringAt(-1, type, false);
    int bestLength = best.GetLength();
    for (int i = 0; i < Size(); ++i) {
        CString text = GetStringAt(i, type, false);
        const int length = text.GetLength();
        if (length > bestLength) {
            best = std::move(text);
            bestLength = length;
        }
    }
    return best;
}

struct StagedTables::Components : ComponentUnitNames {};

void StagedTables::ComponentsDeleter::operator()(Components* c) const { delete c; }

StagedTables::Components* StagedTables::NewComponents() { return new Components; }

void StagedTables::UseComponents(Components* c) { staged = c; }

void StagedTables::PublishComponents(const Components& from)
{
    ComponentUnitNames& into = unitNames();
    const std::pair<bool ComponentUnitNames::*, CString ComponentUnitNames::*> names[] = {
        {&ComponentUnitNames::massSet, &ComponentUnitNames::mass},
        {&ComponentUnitNames::volumeSet, &ComponentUnitNames::volume},
        {&ComponentUnitNames::molesSet, &ComponentUnitNames::moles},
        {&ComponentUnitNames::dutySet, &ComponentUnitNames::duty},
        {&ComponentUnitNames::timeSet, &ComponentUnitNames::time}};
    for (const auto& [set, name] : names)
        if (from.*set) {
            into.*name = from.*name;
            into.*set = true;
        }
}

} // namespace batchplant
