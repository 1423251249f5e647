#pragma once
// The kinds of composite profile the schedule view draws and the quantities
// a host can ask of them.

namespace batchplant {

// One composite profile type; the value indexes GanttFacility's profile
// cache, so the numbering is fixed.
enum CompType : int {
    Inputs = 0,
    Outputs = 1,
    Inventory = 2,
    BufferTanks = 3,
    Utilities = 4,
    Labor = 5,
    VaporEmissions = 6,
    Contents = 7,
    Properties = 8
};

// Number of composite types (the size of the profile cache).
inline constexpr int kNumCompTypes = 9;

// The type's display text; empty for a value outside 0 to 8.
constexpr const char* CompTypeName(int type)
{
    switch (type) {
    case Inputs:
        return "Inputs";
    case Outputs:
        return "Outputs";
    case Inventory:
        return "Inventory";
    case BufferTanks:
        return "Buffer Tanks";
    case Utilities:
        return "Utilities";
    case Labor:
        return "Labor";
    case VaporEmissions:
        return "Vapor Emissions";
    case Contents:
        return "Contents";
    case Properties:
        return "Properties";
    default:
        return "";
    }
}

// Bit set chosen by the host: which quantity of a profile to read, and
// whether its unit is shown per time unit.
enum CompositeSetting : int { Mass = 1, Volume = 2, Moles = 4, Operators = 8, Duty = 16, PerTime = 32 };

constexpr CompositeSetting operator|(CompositeSetting a, CompositeSetting b)
{
    return static_cast<CompositeSetting>(static_cast<int>(a) | static_cast<int>(b));
}

} // namespace batchplant
