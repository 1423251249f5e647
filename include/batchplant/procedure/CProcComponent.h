#pragma once
// Material components of a process unit, and the list of them that a unit
// owns. A component holds the amounts of one material in one phase of one
// stream occurrence; the list formats them as the columns of a contents
// table (name, mass, volume, moles, heat duty, or the same as rates).
//
// The unit names in which the amounts are shown are class-wide: the last
// contents query read (LoadFromDB) sets them for every component.

#include "batchplant/foundation/Hash.h"
#include "batchplant/foundation/Keys.h"
#include "batchplant/foundation/SharedText.h"
#include "batchplant/platform/CString.h"

#include <memory>
#include <vector>

namespace batchplant {

class CProcComponents;
class CDaoBaseContents;

// The amounts of one material in one or more phases of one stream
// occurrence.
class CProcComponent {
public:
    // A set of phase bits; a component may be in several phases at once.
    enum PhaseType : int {
        NoPhase = 0,
        Gas = 1,
        Liquid1 = 2,
        Liquid2 = 4,
        Solid = 8,
        Cell1 = 16,
        Cell2 = 32,
    };

    CProcComponent() = default;
    CProcComponent(const CProcComponent&) = default;
    CProcComponent(CProcComponent&&) = default;
    CProcComponent& operator=(const CProcComponent&) = default;
    CProcComponent& operator=(CProcComponent&&) = default;

    // Ordered by mass: a < b when b is heavier.
    bool operator<(const CProcComponent& other) const { return other.mass > mass; }
    bool operator>(const CProcComponent& other) const { return mass > other.mass; }

    // Adds the amounts of `other`, takes its times, name and identifiers, and
    // joins the phase sets only when they have no phase in common.
    CProcComponent& operator+=(const CProcComponent& other);

    CProcComponents* GetOwner() const { return owner; }
    void SetOwner(CProcComponents* list) { owner = list; }

    int GetMaterialID() const { return materialID; }
    void SetMaterialID(int id) { materialID = id; }
    long GetStreamID() const { return streamID; }
    void SetStreamID(long id) { streamID = id; }
    CString GetName() const { return CString(name.view()); }
    void SetName(const CString& text) { name = TextPool::Share(text.str()); }
    CString GetPhaseName() const { return CString(phaseName.view()); }
    // Sets the phase name as read and the phase bits it stands for.
    void SetPhaseName(const CString& text);

    double GetMass() const { return mass; }
    void SetMass(double v) { mass = v; }
    double GetVolume() const { return volume; }
    void SetVolume(double v) { volume = v; }
    double GetMoles() const { return moles; }
    void SetMoles(double v) { moles = v; }
    double GetDuty() const { return duty; }
    void SetDuty(double v) { duty = v; }
    double GetStartTime() const { return startTime; }
    void SetStartTime(double v) { startTime = v; }
    double GetEndTime() const { return endTime; }
    void SetEndTime(double v) { endTime = v; }

    PhaseType GetPhaseNum() const { return phase; }
    void SetPhase(int bits) { phase = static_cast<PhaseType>(bits & 63); }
    // The phase bit of a phase name ("gas", "liquid1", "liquid2", "solid",
    // "cell1", "cell2", case ignored); 0 for anything else.
    static PhaseType GetPhaseNum(const CString& phaseName);
    // "g", "l", "l", "s", "c", "c" for the bits 1 to 32 that are set, joined
    // with "+"; empty when no bit is set.
    CString GetAbbreviatedPhase() const;

    // Reads every row of an open contents query into `out`: outer key
    // (from equipment, to equipment, 0) with 0 or null read as -1, inner key
    // (stream, material, phase bits). A later row with the same keys replaces
    // an earlier one. Amounts are stored as read (no unit conversion); the
    // unit names are taken from the row current before the walk starts.
    static void LoadFromDB(CDaoBaseContents& rs, Hash<CTripleIntKey, Hash<CTripleIntKey, CProcComponent>>& out);
    // The two halves of LoadFromDB, for loaders that place rows as they read
    // them: the unit names from the current row, and the component and outer
    // key of the current row.
    static void TakeUnitNames(CDaoBaseContents& rs);
    static CProcComponent FromRow(CDaoBaseContents& rs, CTripleIntKey& outer);

    // Class-wide unit names of the amounts (set by LoadFromDB).
    static CString GetMassUOM();
    static void SetMassUOM(const CString& uom);
    static CString GetVolUOM();
    static void SetVolUOM(const CString& uom);
    static CString GetMolesUOM();
    static void SetMolesUOM(const CString& uom);
    static CString GetDutyUOM();
    static void SetDutyUOM(const CString& uom);
    static CString GetTimeUOM();
    static void SetTimeUOM(const CString& uom);

    // Empties the class-wide unit names, as at process start. For tests and
    // hosts that load several databases one after another.
    static void ResetSharedTables();

private:
    CProcComponents* owner = nullptr;
    int materialID = 0;
    PhaseType phase = NoPhase;
    long streamID = 0;
    SharedText name;
    SharedText phaseName;
    double mass = 0.0;
    double volume = 0.0;
    double moles = 0.0;
    double duty = 0.0;
    double startTime = 0.0;
    double endTime = 0.0;
};

// The components of one process unit, in the order they were added.
class CProcComponents {
public:
    // The column that GetStringAt and GetLongestString format.
    enum Type : int {
        Mass = 0,
        Volume = 1,
        Moles = 2,
        Duty = 3,
        ComponentName = 4,
    };

    CProcComponents() = default;
    // Copies the elements and the showPhase flag; the copies belong to the new list.
    CProcComponents(const CProcComponents& other);
    // Copies the elements only (showPhase stays as it was); the copies belong to this list.
    CProcComponents& operator=(const CProcComponents& other);

    // Appends a copy of `c` that belongs to this list.
    CProcComponents& operator+=(const CProcComponent& c);
    // Puts a copy of `c` in the list kept in order of material and phase
    // bits, replacing the element with the same two (loading builds each
    // unit's list this way, as the rows are read).
    void Merge(const CProcComponent& c);
    // Merges the elements of `run` in their order, taking them over and
    // growing the list once (loading passes one stream's rows at a time).
    void Merge(std::vector<CProcComponent>&& run);

    // Element i (0 .. Size() - 1). A bad position yields a default component
    // kept per thread for that purpose (reset on every such call); nothing
    // outside the list is read.
    CProcComponent& operator[](int i);
    const CProcComponent& operator[](int i) const;
    int Size() const { return static_cast<int>(items.size()); }

    // total += element, for every element in order.
    void GetTotal(CProcComponent& total) const;

    // Sorts by mass, largest first. The column argument is not used: the
    // contents table is always shown heaviest first.
    void SortBy(Type type);

    bool GetShowPhase() const { return showPhase; }
    void SetShowPhase(bool show) { showPhase = show; }

    // Index -1: the column heading; -2: the rate heading; 0 .. Size() - 1:
    // the element's value ("%.4f", as a rate over the transfer's duration
    // when asRate, "N/A" when that duration is not positive) or name. Any
    // other index gives the empty text.
    CString GetStringAt(int index, Type type, bool asRate) const;
    // The longest text of the column (heading included); the earlier wins a tie.
    CString GetLongestString(Type type) const;

private:
    void mergeOne(CProcComponent&& c);
    void quickSort(int lo, int hi);
    void swap(int a, int b) { std::swap(items[static_cast<std::size_t>(a)], items[static_cast<std::size_t>(b)]); }

    // Contiguous: a unit's few components cost their own size and no links.
    std::vector<CProcComponent> items;
    bool showPhase = false;
};

} // namespace batchplant
