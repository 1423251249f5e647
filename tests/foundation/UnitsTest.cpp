// The unit table, the conversions, the quantity display and the GUID-based
// identifiers.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <regex>
#include <set>
#include <string>

#include "TestSupport.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/platform/AmbientPressure.h"
#include "batchplant/platform/Guid.h"

namespace batchplant {
namespace {

std::string upper(const char* s) { return CString(s).MakeUpper().str(); }

struct AmbientPressureScope {
    explicit AmbientPressureScope(double pa) : old(GetAmbientPressure()) { SetAmbientPressure(pa); }
    ~AmbientPressureScope() { SetAmbientPressure(old); }
    double old;
};

struct GuidScope {
    explicit GuidScope(GUID g, long result = 0)
        : old(SetGuidGenerator([g, result](GUID* out) {
              *out = g;
              return result;
          }))
    {
    }
    ~GuidScope() { SetGuidGenerator(std::move(old)); }
    GuidGenerator old;
};

TEST(UnitTable, LayoutAndRowsAreUsable)
{
    // Callers store positions: the blocks per kind and their order must not change.
    ASSERT_EQ(GetUnitCount(), 582);
    const std::pair<int, int> blocks[] = {{1, 36}, {3, 40}, {4, 57}, {5, 28}, {2, 421}};
    int row = 0;
    for (const auto& [kind, count] : blocks)
        for (int n = 0; n < count; ++n, ++row)
            ASSERT_EQ(GetUnitRow(row).kind, kind) << "row " << row;
    const std::pair<int, const char*> names[] = {
        {0, "lb"},        {35, "kg/kg"},      {36, "liter"}, {75, "Cubic m/sqcm-s"}, {76, "J/g"},       {132, "BRL/lb"},
        {133, "USD/gal"}, {160, "BRL/liter"}, {161, "C"},    {187, "atm"},           {581, "BRL/ft-lb"}};
    for (const auto& [at, name] : names)
        EXPECT_STREQ(GetUnitRow(at).name, name) << "row " << at;

    // Only the shifted-zero temperatures and the gauges (which follow the ambient pressure) have an offset.
    std::set<std::string> withOffset, gauges;
    for (int i = 0; i < GetUnitCount(); ++i) {
        const UnitRow& r = GetUnitRow(i);
        ASSERT_TRUE(r.name && *r.name) << "row " << i;
        EXPECT_TRUE(std::isfinite(r.factor) && r.factor > 0 && std::isfinite(r.offset)) << r.name;
        if (r.offset != 0.0) withOffset.insert(r.name);
        if (IsGaugeUnit(i)) gauges.insert(r.name);
    }
    std::set<std::string> expected{"psig", "mbar(g)", "bar(g)", "kg/sqcm(g)", "in-water(g)", "kPa(g)"};
    EXPECT_EQ(gauges, expected);
    expected.insert({"C", "F"});
    EXPECT_EQ(withOffset, expected);

    for (int bad : {-1, 582, -2147483647 - 1}) {
        EXPECT_STREQ(GetUnitRow(bad).name, "");
        EXPECT_EQ(GetUnitRow(bad).kind, 0);
        EXPECT_EQ(GetUnitRow(bad).factor, 0.0);
        EXPECT_FALSE(IsGaugeUnit(bad));
    }
}

TEST(UnitTable, EstablishedRowsKeepTheirExactValues)
{
    const struct {
        const char* name;
        int kind;
        double factor, offset;
    } rows[] = {
        // clang-format off
        {"C", 2, 1.0, 273.15}, {"F", 2, 0.5555555555555556, 255.37222222222223}, {"K", 2, 1.0, 0.0},
        {"R", 2, 0.5555555555555556, 0.0}, {"psig", 2, 6894.7573, 101325.0}, {"mbar(g)", 2, 100.0, 101325.0},
        {"bar(g)", 2, 100000.0, 101325.0}, {"kg/sqcm(g)", 2, 98066.5, 101325.0}, {"in-water(g)", 2, 249.0889, 101325.0},
        {"kPa(g)", 2, 1000.0, 101325.0}, {"psi", 2, 6894.7573, 0.0}, {"psia", 2, 6894.7573, 0.0},
        {"atm", 2, 101325.0, 0.0}, {"bar", 2, 100000.0, 0.0}, {"torr", 2, 133.32237, 0.0},
        {"mm-Hg", 2, 133.3223684, 0.0}, {"min", 2, 60.0, 0.0}, {"h", 2, 3600.0, 0.0}, {"day", 2, 86400.0, 0.0},
        {"week", 2, 604800.0, 0.0}, {"month", 2, 2629800.0, 0.0}, {"year", 2, 31557600.0, 0.0},
        {"liter", 3, 0.001, 0.0}, {"cc", 3, 1e-06, 0.0}, {"ml", 3, 1e-06, 0.0}, {"gal", 3, 0.003785411, 0.0},
        {"US gal", 3, 0.003785411, 0.0}, {"Imp gal", 3, 0.004546087, 0.0}, {"Cubic ft", 3, 0.02831684, 0.0},
        {"lb", 1, 0.4535924, 0.0}, {"g", 1, 0.001, 0.0}, {"mg", 1, 1e-06, 0.0}, {"metric tonne", 1, 1000.0, 0.0},
        {"gmole", 2, 0.001, 0.0}, {"lbmole", 2, 0.4535924, 0.0}, {"KJ", 2, 1000.0, 0.0}, {"cal", 2, 4.1868, 0.0},
        {"kcal", 2, 4186.8, 0.0}, {"BTU", 2, 1055.056, 0.0}, {"kwh", 2, 3600000.0, 0.0}, {"kw", 2, 1000.0, 0.0},
        {"BTU/h", 2, 0.29307107, 0.0}, {"kg/h", 1, 0.0002777777778, 0.0}, {"Cubic m/h", 3, 0.0002777777778, 0.0},
        {"Degree", 2, 0.017453292519944444, 0.0}, {"USD/liter", 5, 1000.0, 0.0}, {"percent", 2, 1.0, 0.0},
        {"g/mol", 2, 1.0, 0.0}, {"bed volume", 2, 1.0, 0.0}, {"1/ft", 2, 3.2808399, 0.0},
        // Every currency alone counts 1.
        {"USD", 2, 1, 0}, {"euro", 2, 1, 0}, {"GBP", 2, 1, 0}, {"DM", 2, 1, 0}, {"BFr", 2, 1, 0}, {"SFr", 2, 1, 0},
        {"FFr", 2, 1, 0}, {"SEK", 2, 1, 0}, {"yen", 2, 1, 0}, {"kyen", 2, 1, 0}, {"INR", 2, 1, 0}, {"Yuan", 2, 1, 0},
        {"RUB", 2, 1, 0},
        // clang-format on
    };
    for (const auto& t : rows) {
        const int row = FindUnit(t.name);
        ASSERT_GE(row, 0) << t.name;
        const UnitRow& r = GetUnitRow(row);
        EXPECT_STREQ(r.name, t.name);
        EXPECT_EQ(r.kind, t.kind) << t.name;
        EXPECT_EQ(r.factor, t.factor) << t.name;
        EXPECT_EQ(r.offset, t.offset) << t.name;
    }
    EXPECT_EQ(FindUnit("BRL"), -1); // the real only comes as a price
}

TEST(UnitTable, DerivedFactorsMatchPhysicalDefinitions)
{
    // Definitions, reached on other paths than the table's where possible.
    const double inch = 0.0254, foot = 12 * inch, lb = 0.45359237, gallon = 231 * inch * inch * inch;
    const double impGallon = 4.54609e-3, grav = 9.80665, lbf = 4.4482216152605;
    const double btu = 2.326e3 * lb; // the IT BTU: 1 BTU/lb = 2.326 kJ/kg
    const double gasR = 8.314462618;
    const double stdM3PerKmol = gasR * 288.15 / 101325.0 * 1000.0;                 // 15 °C, 1 atm
    const double stdFt3PerKmol = gasR * (459.67 + 60.0) / 1.8 / 101325.0 * 1000.0; // 60 °F, 1 atm
    const std::pair<const char*, double> refs[] = {
        // clang-format off
        // mass based
        {"g/cc", 1000.0}, {"lb/Cubic ft", lb / (foot * foot * foot)}, {"lb/gal", lb / gallon},
        {"lb/Imp gal", lb / impGallon}, {"lb/min", lb / 60}, {"kg/week", 1.0 / (7 * 86400)},
        {"lb/sqft-h", lb / (foot * foot) / 3600}, {"g/min", 1e-3 / 60}, {"SCMH", 1.0 / (stdM3PerKmol * 3600)},
        // volume based
        {"Cubic ft/s", foot * foot * foot}, {"gal/min", gallon / 60}, {"liter/h", 1e-3 / 3600},
        {"gal/week", gallon / (7 * 86400)}, {"Cubic ft/sqft-h", foot / 3600}, {"gal/sqft-min", 231.0 / 144.0 * inch / 60},
        {"liter/sqcm-s", 10.0}, {"Cubic m/sqcm-h", 1e4 / 3600},
        // per mass and per volume
        {"J/g", 1000.0}, {"cal/g", 4186.8}, {"BTU/lb", 2326.0}, {"BTU/lb-R", 4186.8}, {"PCU/lb-K", 4186.8},
        {"Mega J/kg", 1e6}, {"USD/lb", 1 / lb}, {"euro/g", 1000.0}, {"USD/gal", 1 / gallon}, {"RUB/gal", 1 / gallon},
        {"kyen/liter", 1000.0},
        // plain
        {"ft-lb", foot * lbf}, {"Square Inch", inch * inch}, {"lbmole/Cubic ft", lb / (foot * foot * foot)},
        {"lb/ft-h", lb / foot / 3600}, {"cp", 1e-3}, {"BTU/lbmole-R", 4186.8}, {"acfm", foot * foot * foot / 60},
        {"scfm", foot * foot * foot / stdFt3PerKmol / 60}, {"in-water", 249.08891}, {"mm-water", grav},
        {"in-Hg", 3386.38864}, {"kcal/h", 1.163}, {"PCU/h", 1.8 * btu / 3600}, {"Cubic ft/lbmole", foot * foot * foot / lb},
        {"BTU-ft/h-sqft-R", 1.730734666}, {"cal-cm/s-sqcm-K", 418.68}, {"USD/BTU", 1 / btu}, {"USD/kwh", 1 / 3.6e6},
        {"BTU/sqft-s-F", 5.678263337 * 3600}, {"KJ/sqm-h-K", 1 / 3.6}, {"Rev/min", 2 * std::acos(-1.0) / 60},
        {"g-force", grav}, {"1/in", 1 / inch}, {"1/mm", 1000.0}, {"SEK/kcal", 1 / 4186.8}, {"C/h", 1.0 / 3600},
        {"F/min", 1.0 / 108}, {"USD/month", 1 / 2629800.0}, {"kPa", 1000.0}, {"HP", 745.69987158227022},
        {"lbmole/Imp gal", lb / impGallon}, {"/min", 1.0 / 60}, {"lbf", lbf}, {"kgf/cm", 980.665},
        {"lbf/in", lbf / inch}, {"microinch", 2.54e-8}, {"in/lb", inch / lb}, {"cm/gr", 10.0},
        {"BRL/ft-lb", 1 / (foot * lbf)}, {"INR/year", 1 / (365.25 * 86400)}, {"GJ/kmole", 1e9},
        // the internal units themselves
        {"K", 1}, {"pa", 1}, {"s", 1}, {"Cubic m", 1}, {"kg", 1}, {"kmole", 1}, {"J", 1}, {"watt", 1},
        {"kg/Cubic m", 1}, {"J/kmole", 1},
        // clang-format on
    };
    for (const auto& [name, internal] : refs) {
        ASSERT_GE(FindUnit(name), 0) << name;
        EXPECT_NEAR(ToInternalUnits(name, 1.0), internal, 2e-8 * internal) << name;
    }
}

TEST(FindUnit, IgnoresCaseButNotBlanksAndFindsTheFirstOfEqualNames)
{
    for (const char* missing : {" C", "C ", "", "% max", "Vessel-Volume",
                                "Cubic\xC2\xA0"
                                "ft"})
        EXPECT_EQ(FindUnit(missing), -1) << missing;
    // Brute force: every name, in any case, leads to the first row of that name.
    std::set<std::string> duplicates;
    for (int i = 0; i < GetUnitCount(); ++i) {
        const std::string key = upper(GetUnitRow(i).name);
        int first = 0;
        while (upper(GetUnitRow(first).name) != key)
            ++first;
        EXPECT_EQ(FindUnit(GetUnitRow(i).name), first) << key;
        EXPECT_EQ(FindUnit(CString(GetUnitRow(i).name).MakeLower()), first) << key;
        EXPECT_EQ(FindUnit(key.c_str()), first) << key;
        if (first != i) duplicates.insert(GetUnitRow(first).name);
    }
    EXPECT_EQ(duplicates, (std::set<std::string>{"1/m", "1/cm", "1/in", "1/ft"}));
}

TEST(Conversion, ReferencePairsConvertBothWaysAndEveryRowRoundTrips)
{
    test::MessageRecorder boxes;
    AmbientPressureScope ambient(90000.0); // gauges follow it, absolute units do not
    const struct {
        const char* unit;
        double user, internal;
    } pairs[] = {
        // clang-format off
        {"c", 25.0, 298.15}, {"F", 100.0, 310.92777777777775}, {"F", -40.0, 233.15}, {"R", 491.67, 273.15},
        {"F", -459.67, 0.0}, {"", 12.5, 12.5}, {"VESSEL-VOLUME", 0.4, 0.4}, {"Bed Volume", 7.0, 7.0},
        {"BED VOLUME", 7.0, 7.0}, {"psig", 0.0, 90000.0}, {"kPa(g)", 10.0, 100000.0}, {"mbar(g)", 50.0, 95000.0},
        {"in-water(g)", 2.0, 90000.0 + 2 * 249.0889}, {"psia", 0.0, 0.0}, {"bar", 1.0, 100000.0},
        // clang-format on
    };
    for (const auto& p : pairs) {
        EXPECT_NEAR(ToInternalUnits(p.unit, p.user), p.internal, 1e-9) << p.unit << " " << p.user;
        EXPECT_NEAR(ToUserUnits(p.unit, p.internal), p.user, 1e-9) << p.unit << " " << p.internal;
    }
    SetAmbientPressure(80000.0); // changed by the host between two calls
    EXPECT_DOUBLE_EQ(ToInternalUnits("PSIG", 0.0), 80000.0);
    EXPECT_EQ(ToInternalUnits("% max", 55.0), 55.0); // inward only
    for (const char* unit : {"C", "psig", "nonsense", ""}) {
        EXPECT_EQ(ToInternalUnits(unit, kNoValue), kNoValue) << unit;
        EXPECT_EQ(ToUserUnits(unit, kNoValue), 0.0) << unit;
    }

    const double bases[][2] = {{1.0, 1.0}, {18.015, 55.3}, {0.0, 0.0}};
    for (int i = 0; i < GetUnitCount(); ++i) {
        const CString name(GetUnitRow(i).name);
        for (double v : {0.0, -3.5, 1234.5678})
            for (const auto& b : bases)
                EXPECT_NEAR(ToUserUnits(name, ToInternalUnits(name, v, b[0], b[1]), b[0], b[1]), v,
                            1e-9 * (1 + std::fabs(v)))
                    << name.str() << " " << v;
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(Conversion, BasisStepsFollowTheKind)
{
    // Inward the guards are "greater than 0", outward "not 0".
    const struct {
        const char* unit;
        double value, mw, md, inward, outward;
    } cases[] = {
        {"kg", 36.0, 18, 50, 2.0, 648.0},
        {"Cubic m", 2.0, 18, 50, 100.0, 0.04},
        {"liter", 100.0, 18, 50, 5.0, 2000.0},
        {"J/kg", 10.0, 18, 50, 180.0, 10.0 / 18},
        {"KJ/kg", 10.0, 18, 50, 180000.0, 1.0 / 1800},
        {"USD/liter", 1.0, 18, 50, 20.0, 0.05},
        {"kmole", 3.0, 18, 50, 3.0, 3.0},
        {"kg", 36.0, 0, 0, 36.0, 36.0},
        {"kg", 36.0, -2, 0, 36.0, -72.0},
        {"Cubic m", 2.0, 0, -4, 2.0, -0.5},
        {"J/kg", 10.0, -2, -4, 10.0, -5.0},
        {"USD/liter", 1.0, -2, -4, 1000.0, -0.004},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.unit << " " << c.mw << " " << c.md);
        EXPECT_DOUBLE_EQ(ToInternalUnits(c.unit, c.value, c.mw, c.md), c.inward);
        EXPECT_DOUBLE_EQ(ToUserUnits(c.unit, c.value, c.mw, c.md), c.outward);
    }
}

TEST(Conversion, UnknownUnitsShowTheirMessageAndFormatQuantityShowsThreeDecimals)
{
    const std::pair<const char*, bool> cases[] = {{"furlong", true}, {"% max", false}, {" C ", true}, {" C ", false}};
    for (const auto& [unit, in] : cases) {
        test::MessageRecorder boxes;
        EXPECT_EQ(in ? ToInternalUnits(unit, 3.0) : ToUserUnits(unit, 3.0), in ? 3.0 : 0.0) << unit;
        ASSERT_EQ(boxes.count(), 1u) << unit;
        EXPECT_EQ(boxes.texts()[0], std::string("Could not convert ") +
                                        (in ? "user units to internal units" : "internal units to user units") +
                                        ".  Unit String = \"" + unit + "\"");
        EXPECT_EQ(boxes.types()[0], MB_OK);
    }
    test::MessageRecorder boxes;
    EXPECT_EQ(FormatQuantity(ToInternalUnits("F", 100.0), "C").str(), "37.778 C");
    EXPECT_EQ(FormatQuantity(298.15, "c").str(), "25.000 c");
    EXPECT_EQ(FormatQuantity(kNoValue, "kg").str(), "0.000 kg");
    EXPECT_EQ(FormatQuantity(-1.0, "").str(), "-1.000 ");
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_EQ(FormatQuantity(2.0, "parsec").str(), "0.000 parsec");
    EXPECT_EQ(boxes.count(), 1u);
}

// MFC's HashKey over the text, worked out here from its definition.
std::int32_t expectedId(const std::string& ascii)
{
    std::uint32_t h = 0;
    for (unsigned char c : ascii)
        h = h * 33u + c;
    return static_cast<std::int32_t>(h);
}

TEST(Identifiers, GuidTextAndUniqueId)
{
    test::MessageRecorder boxes;
    const std::regex form("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}\r\n$");
    const std::string a = CreateGuidString().str(), b = CreateGuidString().str();
    EXPECT_TRUE(std::regex_match(a, form)) << a;
    EXPECT_NE(a, b);
    {
        GuidScope fixed(GUID{0x0A1B2C3D, 0xBEEF, 0xCAFE, {0x00, 0x01, 0xAB, 0xCD, 0xEF, 0x10, 0x9F, 0xFF}});
        EXPECT_EQ(CreateGuidString().str(), "{0A1B2C3D-BEEF-cafe-0001-ABCDEF109FFF}\r\n");
        EXPECT_EQ(CreateUniqueID(), expectedId("{0A1B2C3D-BEEF-cafe-0001-ABCDEF109FFF}\r\n"));
    }
    // Hashes with the top bit set come out negative, within 32 bits.
    bool sawNegative = false;
    for (std::uint32_t d1 = 0; d1 < 64 && !sawNegative; ++d1) {
        GuidScope fixed(GUID{d1, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}});
        const long id = CreateUniqueID();
        EXPECT_EQ(id, expectedId(CreateGuidString().str()));
        sawNegative = id < 0;
    }
    EXPECT_TRUE(sawNegative);
    EXPECT_EQ(boxes.count(), 0u);

    // A null GUID, or a generator that reports failure even when it wrote bytes, gives a message each.
    {
        GuidScope zero(GUID{});
        EXPECT_EQ(CreateGuidString().str(), "");
        EXPECT_EQ(CreateUniqueID(), 0);
    }
    GuidScope failing(GUID{0x1234, 0, 0, {}}, -1);
    EXPECT_EQ(CreateGuidString().str(), "");
    EXPECT_EQ(boxes.texts(), std::vector<std::string>(3, "System Error creating Globally Unique ID"));
}

} // namespace
} // namespace batchplant
