// Conversions between user units and internal units, the display of a
// quantity, and identifiers made from GUIDs.

#include "batchplant/foundation/Units.h"
#include "foundation/InwardConversion.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "batchplant/platform/AmbientPressure.h"
#include "batchplant/platform/Guid.h"
#include "batchplant/platform/MessageBox.h"

namespace batchplant {

namespace {

// Upper-cased name → row position. Rows go in in table order and an insert
// of a name already present is ignored, so the first of two equal names
// wins. Built on the first lookup (a function-local static, so a first
// lookup from two threads at once is safe too) and kept for the life of the
// process.
const std::map<std::string, int>& unitIndex()
{
    static const std::map<std::string, int> index = [] {
        std::map<std::string, int> m;
        for (int i = 0; i < GetUnitCount(); ++i) {
            CString key(GetUnitRow(i).name);
            key.MakeUpper();
            m.emplace(key.str(), i);
        }
        return m;
    }();
    return index;
}

// The offset of a row at the time of the call: gauge rows are measured from
// the ambient pressure the host has set.
double offsetOf(int row) { return IsGaugeUnit(row) ? GetAmbientPressure() : GetUnitRow(row).offset; }

} // namespace

int FindUnit(const CString& name)
{
    // A row converts values in a handful of units (time, volume, temperature,
    // pressure, flow), the same ones row after row: the last few names looked
    // up on this thread are answered without building a key.
    struct Remembered {
        std::string name;
        int row = -1;
    };
    constexpr std::size_t kRemembered = 8;
    thread_local Remembered remembered[kRemembered];
    thread_local std::size_t used = 0;
    thread_local std::size_t next = 0;
    for (std::size_t i = 0; i < used; ++i)
        if (remembered[i].name == name.str()) return remembered[i].row;

    CString key(name);
    key.MakeUpper();
    const auto& index = unitIndex();
    const auto it = index.find(key.str());
    const int row = it == index.end() ? -1 : it->second;
    remembered[next] = {name.str(), row};
    next = (next + 1) % kRemembered;
    used = std::max(used, next == 0 ? kRemembered : next);
    return row;
}

namespace {

// What the inward conversion needs of a unit name, resolved once: the
// loaders convert several values of every row, in the same dozen units. The
// name is held inline so that the per-thread table needs no destructor (and
// so no guard on every access); longer names are resolved every time.
struct InwardUnit {
    static constexpr std::size_t kLongest = 22;
    unsigned char size = 0; // 0: an empty slot
    char name[kLongest] = {};
    bool passThrough = false; // a relative amount: the value is kept as it is
    bool gauge = false;
    int row = -1; // -1: no row (unknown, or a relative amount)
    const UnitRow* unit = nullptr;

    bool holds(std::string_view s) const noexcept
    {
        return size == s.size() && std::memcmp(name, s.data(), s.size()) == 0;
    }
};

InwardUnit resolveInward(const CString& name)
{
    InwardUnit u;
    u.passThrough = name.CompareNoCase("Vessel-Volume") == 0 || name.CompareNoCase("Bed Volume") == 0 ||
                    name.CompareNoCase("% max") == 0;
    u.row = u.passThrough ? -1 : FindUnit(name);
    u.gauge = IsGaugeUnit(u.row);
    u.unit = &GetUnitRow(u.row);
    return u;
}

// Two ways per set, the newer first: a row's units ("s" and "C", say) can
// share a set without pushing each other out on every row.
const InwardUnit& inwardUnit(const CString& name)
{
    constexpr std::size_t kSets = 32;
    thread_local InwardUnit slots[kSets][2];
    thread_local InwardUnit uncached;
    const std::string& s = name.str();
    if (s.size() > InwardUnit::kLongest) return uncached = resolveInward(name);
    const std::size_t set =
        (s.size() * 7 + static_cast<unsigned char>(s.front()) * 3 + static_cast<unsigned char>(s.back())) % kSets;
    InwardUnit* ways = slots[set];
    if (ways[0].holds(s)) return ways[0];
    if (!ways[1].holds(s)) {
        ways[1] = resolveInward(name);
        ways[1].size = static_cast<unsigned char>(s.size());
        std::memcpy(ways[1].name, s.data(), s.size());
    }
    std::swap(ways[0], ways[1]);
    return ways[0];
}

} // namespace

InwardConversion::InwardConversion(const CString& unit) : unit(unit)
{
    // Relative amounts that have no row of their own pass through.
    if (unit.IsEmpty()) return;
    const InwardUnit& u = inwardUnit(unit);
    if (u.passThrough) return;
    known = u.row >= 0;
    gauge = u.gauge;
    if (known) row = u.unit;
}

double InwardConversion::operator()(double value) const
{
    if (value == kNoValue) return value;
    if (!known) {
        AfxMessageBox(CString("Could not convert user units to internal units.  Unit String = \"") + unit + "\"",
                      MB_OK);
        return value;
    }
    if (!row) return value;
    return row->factor * value + (gauge ? GetAmbientPressure() : row->offset);
}

double ToInternalUnits(const CString& unit, double value, double molecularWeight, double molarDensity)
{
    if (value == kNoValue || unit.IsEmpty()) return value;
    const InwardConversion in(unit);
    double v = in(value);
    if (!in.Row()) return v;
    switch (in.Row()->kind) {
    case kUnitMassBased:
        if (molecularWeight > 0) v /= molecularWeight;
        break;
    case kUnitVolumeBased:
        if (molarDensity > 0) v *= molarDensity;
        break;
    case kUnitPerMass:
        if (molecularWeight > 0) v *= molecularWeight;
        break;
    case kUnitPerVolume:
        if (molarDensity > 0) v /= molarDensity;
        break;
    default:
        break;
    }
    return v;
}

double ToUserUnits(const CString& unit, double value, double molecularWeight, double molarDensity)
{
    if (value == kNoValue) return 0.0;
    if (unit.IsEmpty() || unit.CompareNoCase("Vessel-Volume") == 0) return value;

    const int row = FindUnit(unit);
    if (row < 0) {
        AfxMessageBox(CString("Could not convert internal units to user units.  Unit String = \"") + unit + "\"",
                      MB_OK);
        return 0.0;
    }

    const UnitRow& r = GetUnitRow(row);
    double v = value;
    switch (r.kind) {
    case kUnitMassBased:
        if (molecularWeight != 0) v *= molecularWeight;
        break;
    case kUnitVolumeBased:
        if (molarDensity != 0) v /= molarDensity;
        break;
    case kUnitPerMass:
        if (molecularWeight != 0) v /= molecularWeight;
        break;
    case kUnitPerVolume:
        if (molarDensity != 0) v *= molarDensity;
        break;
    default:
        break;
    }
    // Every row's factor is non-zero.
    return (v - offsetOf(row)) / r.factor;
}

CString FormatQuantity(double internalValue, const CString& unit)
{
    return CString::Formatted("%.3f %s", ToUserUnits(unit, internalValue), unit);
}

CString CreateGuidString()
{
    GUID guid{};
    const long failed = CoCreateGuid(&guid);

    bool allZero = guid.Data1 == 0 && guid.Data2 == 0 && guid.Data3 == 0;
    for (std::uint8_t b : guid.Data4)
        allZero = allZero && b == 0;
    // A generator that reports failure is not trusted even if it filled in
    // some bytes: an identifier from it could repeat.
    if (failed != 0 || allZero) {
        AfxMessageBox(CString("System Error creating Globally Unique ID"), MB_OK);
        return CString();
    }

    const std::uint8_t* d = guid.Data4;
    return CString::Formatted("{%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}\r\n",
                              static_cast<unsigned long>(guid.Data1), static_cast<unsigned>(guid.Data2),
                              static_cast<unsigned>(guid.Data3), static_cast<unsigned>(d[0]),
                              static_cast<unsigned>(d[1]), static_cast<unsigned>(d[2]), static_cast<unsigned>(d[3]),
                              static_cast<unsigned>(d[4]), static_cast<unsigned>(d[5]), static_cast<unsigned>(d[6]),
                              static_cast<unsigned>(d[7]));
}

long CreateUniqueID()
{
    // The 32-bit hash read as a signed 32-bit value (two's complement).
    return static_cast<long>(static_cast<std::int32_t>(HashKey(CreateGuidString())));
}

} // namespace batchplant
