// Tests of the unit table, the conversions, the quantity display and the
// GUID-based identifiers.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/platform/AmbientPressure.h"
#include "batchplant/platform/Guid.h"

namespace batchplant {
namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Sets the ambient pressure for one test and puts the old one back.
class AmbientPressureScope {
public:
    explicit AmbientPressureScope(double pa) : old_(GetAmbientPressure()) { SetAmbientPressure(pa); }
    ~AmbientPressureScope() { SetAmbientPressure(old_); }

private:
    double old_;
};

// Installs a GUID generator for one test and puts the system one back.
class GuidScope {
public:
    explicit GuidScope(GuidGenerator g) : old_(SetGuidGenerator(std::move(g))) {}
    ~GuidScope() { SetGuidGenerator(std::move(old_)); }

private:
    GuidGenerator old_;
};

GUID guidOf(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::array<std::uint8_t, 8> tail)
{
    GUID g;
    g.Data1 = d1;
    g.Data2 = d2;
    g.Data3 = d3;
    std::copy(tail.begin(), tail.end(), g.Data4);
    return g;
}

GuidGenerator fixedGuid(GUID g, long result = 0)
{
    return [g, result](GUID* out) {
        *out = g;
        return result;
    };
}

// ---------------------------------------------------------------- table ---

TEST(UnitTable, HasTheRowsOfEachKindInOneBlockPerKind)
{
    ASSERT_EQ(GetUnitCount(), 582);
    // Mass based, volume based, per mass, per volume, plain: one block each.
    const int expectedKind[] = {1, 3, 4, 5, 2};
    const int expectedCount[] = {36, 40, 57, 28, 421};
    int row = 0;
    for (int block = 0; block < 5; ++block) {
        for (int n = 0; n < expectedCount[block]; ++n, ++row)
            ASSERT_EQ(GetUnitRow(row).kind, expectedKind[block]) << "row " << row << " " << GetUnitRow(row).name;
    }
    EXPECT_EQ(row, 582);
    // The first and last name of each block, and a few rows between; the
    // positions are stored by callers, so the order must not change.
    const std::pair<int, const char*> names[] = {
        {0, "lb"},   {35, "kg/kg"},   {36, "liter"},      {75, "Cubic m/sqcm-s"},
        {76, "J/g"}, {132, "BRL/lb"}, {133, "USD/gal"},   {160, "BRL/liter"},
        {161, "C"},  {164, "R"},      {581, "BRL/ft-lb"}, {161 + 26, "atm"}};
    for (const auto& [at, name] : names)
        EXPECT_STREQ(GetUnitRow(at).name, name) << "row " << at;
}

TEST(UnitTable, EveryRowIsUsable)
{
    for (int i = 0; i < GetUnitCount(); ++i) {
        const UnitRow& r = GetUnitRow(i);
        ASSERT_NE(r.name, nullptr);
        EXPECT_NE(std::string(r.name), "") << "row " << i;
        EXPECT_TRUE(std::isfinite(r.factor) && r.factor > 0) << r.name;
        EXPECT_TRUE(std::isfinite(r.offset)) << r.name;
    }
    // Only the two temperature scales with a shifted zero and the gauge
    // pressures have an offset; rates and differences ("C/h", "F/min") do not.
    // The gauge ones follow the ambient pressure.
    std::set<std::string> withOffset, gauges;
    for (int i = 0; i < GetUnitCount(); ++i) {
        if (GetUnitRow(i).offset != 0.0) withOffset.insert(GetUnitRow(i).name);
        if (IsGaugeUnit(i)) gauges.insert(GetUnitRow(i).name);
    }
    const std::set<std::string> gauge{"psig", "mbar(g)", "bar(g)", "kg/sqcm(g)", "in-water(g)", "kPa(g)"};
    EXPECT_EQ(gauges, gauge);
    std::set<std::string> expected = gauge;
    expected.insert({"C", "F"});
    EXPECT_EQ(withOffset, expected);
}

TEST(UnitTable, OutOfRangePositionsGiveAnEmptyRow)
{
    for (int bad : {-1, 582, 100000, -2147483647 - 1}) {
        EXPECT_STREQ(GetUnitRow(bad).name, "");
        EXPECT_EQ(GetUnitRow(bad).kind, 0);
        EXPECT_EQ(GetUnitRow(bad).factor, 0.0);
        EXPECT_FALSE(IsGaugeUnit(bad));
    }
}

struct Telling {
    const char* name;
    int kind;
    double factor;
    double offset;
};

TEST(UnitTable, EstablishedRowsKeepTheirExactValues)
{
    const Telling rows[] = {
        {"C", 2, 1.0, 273.15},
        {"F", 2, 0.5555555555555556, 255.37222222222223},
        {"K", 2, 1.0, 0.0},
        {"R", 2, 0.5555555555555556, 0.0},
        {"psig", 2, 6894.7573, 101325.0},
        {"mbar(g)", 2, 100.0, 101325.0},
        {"bar(g)", 2, 100000.0, 101325.0},
        {"kg/sqcm(g)", 2, 98066.5, 101325.0},
        {"in-water(g)", 2, 249.0889, 101325.0},
        {"kPa(g)", 2, 1000.0, 101325.0},
        {"psi", 2, 6894.7573, 0.0},
        {"psia", 2, 6894.7573, 0.0},
        {"atm", 2, 101325.0, 0.0},
        {"bar", 2, 100000.0, 0.0},
        {"torr", 2, 133.32237, 0.0},
        {"mm-Hg", 2, 133.3223684, 0.0},
        {"min", 2, 60.0, 0.0},
        {"h", 2, 3600.0, 0.0},
        {"day", 2, 86400.0, 0.0},
        {"week", 2, 604800.0, 0.0},
        {"month", 2, 2629800.0, 0.0},
        {"year", 2, 31557600.0, 0.0},
        {"liter", 3, 0.001, 0.0},
        {"cc", 3, 1e-06, 0.0},
        {"ml", 3, 1e-06, 0.0},
        {"gal", 3, 0.003785411, 0.0},
        {"US gal", 3, 0.003785411, 0.0},
        {"Imp gal", 3, 0.004546087, 0.0},
        {"Cubic ft", 3, 0.02831684, 0.0},
        {"lb", 1, 0.4535924, 0.0},
        {"g", 1, 0.001, 0.0},
        {"mg", 1, 1e-06, 0.0},
        {"metric tonne", 1, 1000.0, 0.0},
        {"gmole", 2, 0.001, 0.0},
        {"lbmole", 2, 0.4535924, 0.0},
        {"KJ", 2, 1000.0, 0.0},
        {"cal", 2, 4.1868, 0.0},
        {"kcal", 2, 4186.8, 0.0},
        {"BTU", 2, 1055.056, 0.0},
        {"kwh", 2, 3600000.0, 0.0},
        {"kw", 2, 1000.0, 0.0},
        {"BTU/h", 2, 0.29307107, 0.0},
        {"kg/h", 1, 0.0002777777778, 0.0},
        {"Cubic m/h", 3, 0.0002777777778, 0.0},
        {"Degree", 2, 0.017453292519944444, 0.0},
        {"USD/liter", 5, 1000.0, 0.0},
        {"percent", 2, 1.0, 0.0},
        {"g/mol", 2, 1.0, 0.0},
        {"bed volume", 2, 1.0, 0.0},
    };
    for (const Telling& t : rows) {
        const int row = FindUnit(t.name);
        ASSERT_GE(row, 0) << t.name;
        const UnitRow& r = GetUnitRow(row);
        EXPECT_STREQ(r.name, t.name);
        EXPECT_EQ(r.kind, t.kind) << t.name;
        EXPECT_EQ(r.factor, t.factor) << t.name;
        EXPECT_EQ(r.offset, t.offset) << t.name;
    }
    // Every currency alone counts 1.
    for (const char* c :
         {"USD", "euro", "GBP", "DM", "BFr", "SFr", "FFr", "SEK", "yen", "kyen", "INR", "Yuan", "RUB"}) {
        const int row = FindUnit(c);
        ASSERT_GE(row, 0) << c;
        EXPECT_EQ(GetUnitRow(row).kind, 2) << c;
        EXPECT_EQ(GetUnitRow(row).factor, 1.0) << c;
    }
    EXPECT_EQ(FindUnit("BRL"), -1); // the real only comes as a price
}

// One unit in internal units, from reference values and physical
// definitions worked out here independently of the table.
struct Reference {
    const char* name;
    double internal;
};

TEST(UnitTable, DerivedFactorsMatchPhysicalDefinitions)
{
    // Definitions, reached on other paths than the table's where possible.
    const double inch = 0.0254, foot = 12 * inch, lb = 0.45359237, gallon = 231 * inch * inch * inch;
    const double impGallon = 4.54609e-3, grav = 9.80665, lbf = 4.4482216152605; // N, exact
    const double btu = 2.326e3 * lb; // the IT BTU is defined by 1 BTU/lb = 2.326 kJ/kg
    const double pcu = 1.8 * btu;    // pound-centigrade unit
    const double twoPi = 2 * std::acos(-1.0);
    const double gasR = 8.314462618;                                               // J/(mol K)
    const double stdM3PerKmol = gasR * 288.15 / 101325.0 * 1000.0;                 // 15 °C, 1 atm
    const double stdFt3PerKmol = gasR * (459.67 + 60.0) / 1.8 / 101325.0 * 1000.0; // 60 °F, 1 atm

    const Reference refs[] = {
        // mass based
        {"g/cc", 1000.0},
        {"g/liter", 1.0},
        {"lb/Cubic ft", 16.018463373960138},
        {"lb/gal", 119.82642731689663},
        {"lb/US gal", 119.82642731689663},
        {"lb/Imp gal", 99.776372663101},
        {"lb/h", 1.2599788055555556e-4},
        {"lb/min", 7.5598728333333e-3},
        {"kg/week", 1.0 / (7 * 24 * 3600)},
        {"g/ml", 1000.0},
        {"kg/liter", 1000.0},
        {"lb/sqft-s", 4.8824276363864},
        {"lb/sqft-h", 4.8824276363864 / 3600},
        {"kg/sqm-min", 1.0 / 60},
        {"g/min", 1e-3 / 60},
        {"SCMH", 1.0 / (stdM3PerKmol * 3600)},
        // volume based
        {"Cubic ft/s", 0.028316846592},
        {"Cubic ft/min", 4.719474432e-4},
        {"gal/min", 6.30901964e-5},
        {"gal/h", 1.05150327333e-6},
        {"liter/h", 2.77777777778e-7},
        {"gal/week", gallon / (7 * 86400)},
        {"Cubic ft/sqft-h", foot / 3600},
        {"gal/sqft-min", 231.0 / 144.0 * inch / 60},
        {"liter/sqcm-s", 10.0},
        {"Cubic m/sqcm-h", 1e4 / 3600},
        // per mass
        {"J/g", 1000.0},
        {"cal/g", 4186.8},
        {"BTU/lb", 2326.0},
        {"BTU/lb-R", 4186.8},
        {"PCU/lb-K", 4186.8},
        {"PCU/lb", 4186.8},
        {"kcal/g-K", 4186800.0},
        {"Mega J/kg", 1e6},
        {"USD/lb", 2.2046226218487757},
        {"euro/g", 1000.0},
        {"kyen/lb", 1 / lb},
        // per volume
        {"USD/gal", 264.17205235814845},
        {"RUB/gal", 1 / gallon},
        {"kyen/liter", 1000.0},
        // plain
        {"ft-lb", 1.3558179483314004},
        {"Square Inch", 6.4516e-4},
        {"Square Ft", 0.09290304},
        {"lbmole/Cubic ft", 16.018463373960138},
        {"lb/ft-h", 4.1337887369e-4},
        {"cp", 1e-3},
        {"BTU/lbmol", 2326.0},
        {"cal/mole", 4186.8},
        {"BTU/lbmole-R", 4186.8},
        {"PCU/lbmole-K", 4186.8},
        {"acfm", 4.719474432e-4},
        {"scfm", foot * foot * foot / stdFt3PerKmol / 60},
        {"in-water", 249.08891},
        {"mm-water", grav},
        {"kg/sqcm", 98066.5},
        {"in-Hg", 3386.38864},
        {"kcal/h", 1.163},
        {"PCU/h", pcu / 3600},
        {"Cubic ft/lbmole", 0.062427960576145},
        {"Cc/gmole", 1e-3},
        {"BTU-ft/h-sqft-R", 1.730734666},
        {"BTU-in/h-sqft-R", 0.1442278888},
        {"cal-cm/s-sqcm-K", 418.68},
        {"USD/BTU", 1 / btu},
        {"USD/kwh", 1 / 3.6e6},
        {"USD/ft-lb", 0.7375621492772654},
        {"BTU/sqft-h-R", 5.678263337},
        {"BTU/sqft-s-F", 5.678263337 * 3600},
        {"KJ/sqm-h-K", 1 / 3.6},
        {"Rev/min", twoPi / 60},
        {"cal/sqcm-s-K", 41868.0},
        {"PCU/sqft-h-K", 5.678263337},
        {"g-force", grav},
        {"1/in", 39.37007874015748},
        {"1/mm", 1000.0},
        {"DM/lbmole", 2.2046226218487757},
        {"SEK/kcal", 1 / 4186.8},
        {"C/h", 1.0 / 3600},
        {"F/min", 1.0 / 108},
        {"kcal/kmole", 4186.8},
        {"USD/month", 1 / 2629800.0},
        {"yen/week", 1 / 604800.0},
        {"kPa", 1000.0},
        {"PCU", 1899.100534716},
        {"HP", 745.69987158227022},
        {"gmole/cc", 1000.0},
        {"lbmole/Imp gal", lb / impGallon},
        {"micron", 1e-6},
        {"/min", 1.0 / 60},
        {"in/h", inch / 3600},
        {"lbmole/gal", 119.82642731689663},
        {"lbf", lbf},
        {"kgf/cm", 980.665},
        {"lbf/ft", 14.593902937206364},
        {"lbf/in", 175.12683524647636},
        {"microinch", 2.54e-8},
        {"in/lb", inch / lb},
        {"cm/gr", 10.0},
        {"Yuan/kwh", 1 / 3.6e6},
        {"BRL/ft-lb", 1 / (foot * lbf)},
        {"INR/year", 1 / (365.25 * 86400)},
        {"GJ/kmole", 1e9},
    };
    for (const Reference& ref : refs) {
        ASSERT_GE(FindUnit(ref.name), 0) << ref.name;
        const double got = ToInternalUnits(ref.name, 1.0);
        EXPECT_NEAR(got, ref.internal, 2e-8 * std::fabs(ref.internal)) << ref.name;
    }
    // The internal units themselves.
    for (const char* name : {"K", "pa", "s", "Cubic m", "kg", "kmole", "J", "J/s", "watt", "Cubic m/s", "kg/s",
                             "kmole/s", "m", "Square m", "kg/Cubic m", "kmole/Cubic m", "J/kmole"})
        EXPECT_EQ(ToInternalUnits(name, 2.0), 2.0) << name;
}

// --------------------------------------------------------------- lookup ---

TEST(FindUnit, IgnoresCaseButNotBlanks)
{
    EXPECT_EQ(FindUnit("c"), FindUnit("C"));
    EXPECT_EQ(FindUnit("CUBIC FT"), FindUnit("Cubic ft"));
    EXPECT_STREQ(GetUnitRow(FindUnit("kJ")).name, "KJ");
    EXPECT_EQ(FindUnit(" C"), -1);
    EXPECT_EQ(FindUnit("C "), -1);
    EXPECT_EQ(FindUnit(""), -1);
    EXPECT_EQ(FindUnit("% max"), -1);
    EXPECT_EQ(FindUnit("Vessel-Volume"), -1);
    EXPECT_EQ(FindUnit("Cubic\xC2\xA0"
                       "ft"),
              -1); // a no-break space is not a blank
}

TEST(FindUnit, FindsTheFirstOfEqualNames)
{
    // Brute force against the index: every row's name leads to the first row
    // whose name is the same without regard to case.
    std::set<int> duplicates;
    for (int i = 0; i < GetUnitCount(); ++i) {
        const std::string key = upper(GetUnitRow(i).name);
        int first = i;
        for (int j = 0; j < i; ++j)
            if (upper(GetUnitRow(j).name) == key) {
                first = j;
                break;
            }
        EXPECT_EQ(FindUnit(GetUnitRow(i).name), first) << GetUnitRow(i).name;
        EXPECT_EQ(FindUnit(CString(GetUnitRow(i).name).MakeLower()), first) << GetUnitRow(i).name;
        if (first != i) duplicates.insert(first);
    }
    // Only the four reciprocal lengths stand twice.
    std::set<std::string> names;
    for (int d : duplicates)
        names.insert(GetUnitRow(d).name);
    EXPECT_EQ(names, (std::set<std::string>{"1/m", "1/cm", "1/in", "1/ft"}));

    // "1/ft" takes the established factor of its first row.
    EXPECT_EQ(ToInternalUnits("1/ft", 1.0), 3.2808399);
    EXPECT_NEAR(ToUserUnits("1/ft", 3.2808399), 1.0, 1e-15);
}

// ---------------------------------------------------------- conversions ---

// Both directions, where a value in user units and one in internal units
// stand for each other; names outside the table pass through unchanged.
TEST(Conversion, ReferencePairsConvertBothWays)
{
    test::MessageRecorder boxes;
    const struct {
        const char* unit;
        double user, internal;
    } pairs[] = {{"c", 25.0, 298.15},         {"F", 100.0, 310.92777777777775},
                 {"F", -40.0, 233.15},        {"R", 491.67, 273.15},
                 {"F", -459.67, 0.0},         {"", 12.5, 12.5},
                 {"vessel-volume", 0.4, 0.4}, {"VESSEL-VOLUME", 0.4, 0.4},
                 {"Bed Volume", 7.0, 7.0},    {"BED VOLUME", 7.0, 7.0}};
    for (const auto& p : pairs) {
        EXPECT_NEAR(ToInternalUnits(p.unit, p.user), p.internal, 1e-9) << p.unit << " " << p.user;
        EXPECT_NEAR(ToUserUnits(p.unit, p.internal), p.user, 1e-9) << p.unit << " " << p.internal;
    }
    EXPECT_EQ(ToInternalUnits("% max", 55.0), 55.0); // inward only
    for (const char* unit : {"C", "psig", "kg", "nonsense", ""}) {
        EXPECT_EQ(ToInternalUnits(unit, kNoValue), kNoValue) << unit;
        EXPECT_EQ(ToUserUnits(unit, kNoValue), 0.0) << unit;
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(Conversion, GaugeUnitsFollowTheAmbientPressureAtEachCall)
{
    test::MessageRecorder boxes;
    {
        AmbientPressureScope standard(101325.0);
        EXPECT_DOUBLE_EQ(ToInternalUnits("psig", 0.0), 101325.0);
        EXPECT_DOUBLE_EQ(ToUserUnits("bar(g)", 101325.0), 0.0);
        EXPECT_NEAR(ToInternalUnits("bar(g)", 1.0), 201325.0, 1e-9);
    }
    {
        AmbientPressureScope highland(90000.0);
        EXPECT_DOUBLE_EQ(ToInternalUnits("psig", 0.0), 90000.0);
        EXPECT_NEAR(ToUserUnits("kPa(g)", 100000.0), 10.0, 1e-9);
        EXPECT_NEAR(ToInternalUnits("mbar(g)", 50.0), 95000.0, 1e-9);
        EXPECT_NEAR(ToInternalUnits("kg/sqcm(g)", 1.0), 90000.0 + 98066.5, 1e-9);
        EXPECT_NEAR(ToInternalUnits("in-water(g)", 2.0), 90000.0 + 2 * 249.0889, 1e-9);
        // Absolute units do not move with it.
        EXPECT_DOUBLE_EQ(ToInternalUnits("psia", 0.0), 0.0);
        EXPECT_DOUBLE_EQ(ToInternalUnits("bar", 1.0), 100000.0);
        SetAmbientPressure(80000.0); // changed by the host between two calls
        EXPECT_DOUBLE_EQ(ToInternalUnits("PSIG", 0.0), 80000.0);
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(Conversion, EveryRowRoundTrips)
{
    test::MessageRecorder boxes;
    AmbientPressureScope ambient(97000.0);
    const double values[] = {0.0, 1.0, -3.5, 1234.5678};
    const double bases[][2] = {{1.0, 1.0}, {18.015, 55.3}, {0.0, 0.0}, {-2.0, -4.0}};
    for (int i = 0; i < GetUnitCount(); ++i) {
        const CString name(GetUnitRow(i).name);
        for (double v : values)
            for (const auto& b : bases) {
                const double back = ToUserUnits(name, ToInternalUnits(name, v, b[0], b[1]), b[0], b[1]);
                // Negative bases are used outward only, so they do not round trip.
                if (b[0] < 0) continue;
                EXPECT_NEAR(back, v, 1e-9 * (1 + std::fabs(v))) << name.str() << " " << v;
            }
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(Conversion, BasisStepsFollowTheKind)
{
    const double mw = 18.0, md = 50.0;
    // mass based: kg → kmole
    EXPECT_DOUBLE_EQ(ToInternalUnits("kg", 36.0, mw, md), 2.0);
    EXPECT_DOUBLE_EQ(ToUserUnits("kg", 2.0, mw, md), 36.0);
    // volume based: m³ → kmole
    EXPECT_DOUBLE_EQ(ToInternalUnits("Cubic m", 2.0, mw, md), 100.0);
    EXPECT_DOUBLE_EQ(ToUserUnits("liter", 100.0, mw, md), 2000.0);
    // per mass: J/kg → J/kmole
    EXPECT_DOUBLE_EQ(ToInternalUnits("J/kg", 10.0, mw, md), 180.0);
    EXPECT_DOUBLE_EQ(ToUserUnits("KJ/kg", 180000.0, mw, md), 10.0);
    // per volume: USD/m³ → USD/kmole
    EXPECT_DOUBLE_EQ(ToInternalUnits("USD/liter", 1.0, mw, md), 20.0);
    EXPECT_DOUBLE_EQ(ToUserUnits("euro/liter", 20.0, mw, md), 1.0);
    // plain: no basis step
    EXPECT_DOUBLE_EQ(ToInternalUnits("kmole", 3.0, mw, md), 3.0);

    // Inward the guards are "greater than 0", outward "not 0".
    EXPECT_DOUBLE_EQ(ToInternalUnits("kg", 36.0, 0.0, 0.0), 36.0);
    EXPECT_DOUBLE_EQ(ToInternalUnits("kg", 36.0, -2.0, 0.0), 36.0);
    EXPECT_DOUBLE_EQ(ToInternalUnits("Cubic m", 2.0, 0.0, -1.0), 2.0);
    EXPECT_DOUBLE_EQ(ToUserUnits("kg", 36.0, 0.0, 0.0), 36.0);
    EXPECT_DOUBLE_EQ(ToUserUnits("kg", 36.0, -2.0, 0.0), -72.0);
    EXPECT_DOUBLE_EQ(ToUserUnits("Cubic m", 2.0, 0.0, -4.0), -0.5);
}

TEST(Conversion, UnknownUnitsShowTheirMessage)
{
    const std::string inward = "Could not convert user units to internal units.  Unit String = ";
    const std::string outward = "Could not convert internal units to user units.  Unit String = ";
    // {unit, inward: the value comes back unchanged, else outward: 0}
    const std::pair<const char*, bool> cases[] = {{"furlong", true}, {"% max", false}, {" C ", true}, {" C ", false}};
    for (const auto& [unit, in] : cases) {
        test::MessageRecorder boxes;
        EXPECT_EQ(in ? ToInternalUnits(unit, 3.0) : ToUserUnits(unit, 3.0), in ? 3.0 : 0.0) << unit;
        ASSERT_EQ(boxes.count(), 1u) << unit;
        EXPECT_EQ(boxes.texts()[0], (in ? inward : outward) + "\"" + unit + "\"");
        EXPECT_EQ(boxes.types()[0], MB_OK);
    }
}

TEST(Conversion, FormatQuantityShowsThreeDecimalsAndTheNameAsGiven)
{
    test::MessageRecorder boxes;
    EXPECT_EQ(FormatQuantity(ToInternalUnits("F", 100.0), "C").str(), "37.778 C");
    EXPECT_EQ(FormatQuantity(298.15, "c").str(), "25.000 c");
    EXPECT_EQ(FormatQuantity(0.5, "liter").str(), "500.000 liter");
    EXPECT_EQ(FormatQuantity(kNoValue, "kg").str(), "0.000 kg");
    EXPECT_EQ(FormatQuantity(-1.0, "").str(), "-1.000 ");
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_EQ(FormatQuantity(2.0, "parsec").str(), "0.000 parsec");
    EXPECT_EQ(boxes.count(), 1u);
}

// ---------------------------------------------------------- identifiers ---

// MFC's HashKey over the text, worked out here from its definition.
std::int32_t expectedId(const std::string& ascii)
{
    std::uint32_t h = 0;
    for (unsigned char c : ascii)
        h = h * 33u + c;
    return static_cast<std::int32_t>(h);
}

TEST(Identifiers, GuidStringHasTheFixedFormat)
{
    test::MessageRecorder boxes;
    const std::regex form("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}\r\n$");
    const std::string a = CreateGuidString().str();
    const std::string b = CreateGuidString().str();
    EXPECT_TRUE(std::regex_match(a, form)) << a;
    EXPECT_TRUE(std::regex_match(b, form)) << b;
    EXPECT_NE(a, b);
    EXPECT_EQ(boxes.count(), 0u);

    GuidScope fixed(fixedGuid(guidOf(0x0A1B2C3D, 0xBEEF, 0xCAFE, {0x00, 0x01, 0xAB, 0xCD, 0xEF, 0x10, 0x9F, 0xFF})));
    EXPECT_EQ(CreateGuidString().str(), "{0A1B2C3D-BEEF-cafe-0001-ABCDEF109FFF}\r\n");
}

TEST(Identifiers, UniqueIdIsTheHashOfTheGuidText)
{
    test::MessageRecorder boxes;
    GUID g = guidOf(0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8});
    {
        GuidScope fixed(fixedGuid(g));
        EXPECT_EQ(CreateUniqueID(), expectedId("{12345678-9ABC-def0-0102-030405060708}\r\n"));
    }

    // Hashes with the top bit set come out negative, within 32 bits.
    bool sawNegative = false;
    for (std::uint32_t d1 = 0; d1 < 64 && !sawNegative; ++d1) {
        g.Data1 = d1;
        GuidScope fixed(fixedGuid(g));
        const std::string text = CreateGuidString().str();
        const long id = CreateUniqueID();
        EXPECT_EQ(id, expectedId(text));
        EXPECT_GE(id, INT32_MIN);
        EXPECT_LE(id, INT32_MAX);
        sawNegative = id < 0;
    }
    EXPECT_TRUE(sawNegative);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(Identifiers, FailedGuidGivesMessageEmptyTextAndZero)
{
    test::MessageRecorder boxes;
    {
        GuidScope zero(fixedGuid(GUID{}));
        EXPECT_EQ(CreateGuidString().str(), "");
        EXPECT_EQ(CreateUniqueID(), 0);
    }
    ASSERT_EQ(boxes.count(), 2u);
    EXPECT_EQ(boxes.texts()[0], "System Error creating Globally Unique ID");
    EXPECT_EQ(boxes.texts()[1], "System Error creating Globally Unique ID");

    // A generator that reports failure is not used even when it wrote bytes.
    boxes.clear();
    GuidScope failing(fixedGuid(guidOf(0x1234, 0, 0, {}), -1));
    EXPECT_EQ(CreateGuidString().str(), "");
    EXPECT_EQ(boxes.count(), 1u);
}

} // namespace
} // namespace batchplant
