#pragma once
// Internal to the sample generator: the plant, its materials and the
// material bookkeeping (mixtures by component and phase) that the simulated
// campaign moves between vessels.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace batchplant::sample {

// splitmix64: small, fast, and the same sequence on every platform, unlike
// the standard distributions.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi).
    double uniform(double lo, double hi) { return lo + (hi - lo) * (static_cast<double>(next() >> 11) * 0x1.0p-53); }
    // A whole number of minutes in [lo, hi], returned in seconds.
    long minutes(int lo, int hi)
    {
        const std::uint64_t span = static_cast<std::uint64_t>(hi - lo + 1);
        return 60L * (lo + static_cast<long>(next() % span));
    }

private:
    std::uint64_t state_;
};

// ---- materials -------------------------------------------------------------

enum Material : int {
    Water = 1,
    Nitrogen,
    Toluene,
    Heptane,
    Isopropanol,
    Benzylamine,
    AceticAnhydride,
    AceticAcid,
    Int1,
    Bromoanisole,
    PdCatalyst,
    Int2,
    HydrogenBromide,
    SodiumHydroxide,
    SodiumBromide,
    HydrogenChloride,
    ApiHcl,
    Cellulose,
    Glycol,
};
constexpr int kMaterials = Glycol;

struct MaterialDef {
    const char* name;
    double molecularWeight; // kg/kmole
    double liquidDensity;   // kg/m3, also the partial density when dissolved
    double solidDensity;    // kg/m3
    double viscosity;       // cp, as a pure liquid
    double heatCapacity;    // kJ/kg-K
    double latentHeat;      // kJ/kg; 0 for materials that do not evaporate
};

const MaterialDef& materialDef(int id);

enum Phase : int { Gas = 0, Liquid1, Liquid2, Solid };
constexpr int kPhases = 4;
const char* phaseName(int phase);

constexpr double kGasConstant = 8.314462618; // kJ/kmole-K

// Masses in kg by material and phase.
class Mixture {
public:
    static Mixture pure(int material, int phase, double kg)
    {
        Mixture m;
        m.at(material, phase) = kg;
        return m;
    }
    double& at(int material, int phase) { return kg_[index(material, phase)]; }
    double at(int material, int phase) const { return kg_[index(material, phase)]; }

    double mass() const;
    double phaseMass(int phase) const;
    double materialMass(int material) const;
    double moles() const;
    double phaseMoles(int phase) const;
    // Volume of the condensed phases in m3 (the gas phase fills no volume of a vessel).
    double condensedVolume() const;
    double phaseVolume(int phase) const; // m3; 0 for the gas phase
    // Ideal-gas volume of the gas phase in m3 at temperature C and pressure bar.
    double gasVolume(double tempC, double pressureBar) const;
    bool empty() const { return mass() <= 0.0; }

    Mixture& operator+=(const Mixture& other);
    // Removes `part` (clamped so that nothing goes below zero).
    Mixture& operator-=(const Mixture& other);
    Mixture scaled(double factor) const;
    // The condensed phases only, or one phase only.
    Mixture condensed() const;
    Mixture onlyPhase(int phase) const;
    // Moves a share of a material's mass from one phase to another.
    void movePhase(int material, int from, int to, double share);
    // Drops amounts too small to matter (rounding left-overs of transfers).
    void clean();

private:
    static int index(int material, int phase) { return (material - 1) * kPhases + phase; }
    std::array<double, kMaterials * kPhases> kg_{};
};

// A reaction on kmole amounts; consumes the reactants from whatever phase
// holds them and puts the products in one phase.
struct Reaction {
    std::vector<std::pair<int, double>> reactants; // material, stoichiometric coefficient
    std::vector<std::pair<int, double>> products;
    int productPhase = Liquid1;
    double heatOfReaction = 0.0; // kJ/kmole of extent, negative when heat is released
};

// Runs the reaction to `conversion` of the limiting reactant; returns the extent in kmole.
double react(Mixture& m, const Reaction& r, double conversion);

// ---- equipment -------------------------------------------------------------

enum EquipmentKind { Process, Buffer, ContinuousUnit, Inventory };

struct EquipmentDef {
    int id;
    const char* tag;
    const char* category;
    int classId;
    const char* type;
    double capacity;
    const char* capacityUom;
    double capacityLiters;
    double maxFillFactor;
    int plant;
    int calendar; // 0: none
    EquipmentKind kind;
};

enum EquipmentId : int {
    R101 = 1,
    R102,
    R103,
    CR101,
    NF101,
    V101,
    BT101,
    V102,
    CD101,
    INV101,
    INV102,
    INV103,
    BT102,
    R201,
    RCV201,
    CR201,
    CF201,
    DR201,
    BL201,
    V201,
    INV201,
    INV202,
    INV203,
    INV204,
};
constexpr int kEquipment = INV204;

const EquipmentDef& equipmentDef(int id);

// ---- calendars -------------------------------------------------------------

struct ShiftDef {
    int start; // seconds since midnight
    int end;   // not after start: the shift runs past midnight
};

struct CalendarDef {
    int id;
    const char* name;
    std::array<std::vector<ShiftDef>, 7> week; // 0 = Sunday
    // Day offsets from the plan's first day, with the shifts worked that day.
    std::vector<std::pair<int, std::vector<ShiftDef>>> exceptions;
};

const std::vector<CalendarDef>& calendarDefs();

// Whether the calendar works at `t` seconds after midnight of the plan's first
// day, and the first working moment at or after `t` (t itself when the
// calendar does not work within the next sixty days).
bool calendarWorks(const CalendarDef& c, int firstWeekday, long t);
long calendarNextWorking(const CalendarDef& c, int firstWeekday, long t);

// ---- dates -----------------------------------------------------------------

// Days since 1970-01-01 of a civil date, and back.
long daysFromCivil(int y, int m, int d);
void civilFromDays(long z, int& y, int& m, int& d);
// 'YYYY-MM-DDTHH:MM:SS' of `seconds` after 1970-01-01T00:00:00.
std::string isoDateTime(long long seconds);
std::string isoDate(long days);

} // namespace batchplant::sample
