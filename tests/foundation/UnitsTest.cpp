// The unit table, the conversions, the quantity display and the GUID-based identifiers.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "TestSupport.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/platform/AmbientPressure.h"
#include "batchplant/platform/Guid.h"

using namespace batchplant;

TEST(UnitTable, EveryRowIsUsableRoundTripsIsFoundByItsNameInAnyCaseAndHasItsEstablishedFactor)
{
    test::MessageRecorder boxes;
    ASSERT_EQ(GetUnitCount(), 582);
    // Callers store positions: the blocks per kind and their order must not change. {first row, kind, its name}
    const std::tuple<int, int, const char*> blocks[] = {{0, 1, "lb"},        {36, 3, "liter"}, {76, 4, "J/g"},
                                                        {133, 5, "USD/gal"}, {161, 2, "C"},    {582, 0, ""}};
    std::map<std::string, int> firstOfName; // by the upper-cased name
    std::map<std::string, double> offsets;
    std::set<std::string> duplicates;
    const double samples[][3] = {{-3.5, 1.0, 1.0}, {1234.5678, 18.015, 55.3}, {0.0, 0.0, 0.0}}; // value, both bases
    for (int i = 0, block = 0; i < GetUnitCount(); ++i) {
        const UnitRow& r = GetUnitRow(i);
        ASSERT_TRUE(r.name && *r.name) << "row " << i;
        if (i == std::get<0>(blocks[block + 1])) ++block;
        EXPECT_TRUE(i != std::get<0>(blocks[block]) || std::string(r.name) == std::get<2>(blocks[block])) << r.name;
        EXPECT_EQ(r.kind, std::get<1>(blocks[block])) << r.name;
        EXPECT_GT(r.factor, 0) << r.name; // and finite, with a finite offset, or the values would not round-trip
        EXPECT_EQ(IsGaugeUnit(i), r.offset == kStandardAtmosphere) << r.name; // gauges follow the ambient pressure
        if (r.offset != 0.0) offsets[r.name] = r.offset;
        const auto [first, fresh] = firstOfName.emplace(CString(r.name).MakeUpper().str(), i);
        if (!fresh) duplicates.insert(GetUnitRow(first->second).name);
        for (const CString& asked : {CString(r.name), CString(r.name).MakeLower(), CString(first->first)})
            EXPECT_EQ(FindUnit(asked), first->second) << asked.str();
        for (const auto& [v, mw, md] : samples)
            EXPECT_NEAR(ToUserUnits(r.name, ToInternalUnits(r.name, v, mw, md), mw, md), v, 1e-9 * (1 + std::fabs(v)))
                << r.name << " " << v;
    }
    EXPECT_EQ(duplicates, (std::set<std::string>{"1/m", "1/cm", "1/in", "1/ft"}));
    // Only the shifted-zero temperatures and the gauges have an offset.
    std::map<std::string, double> expected{{"C", 273.15}, {"F", 255.37222222222223}};
    for (const char* gauge : {"psig", "mbar(g)", "bar(g)", "kg/sqcm(g)", "in-water(g)", "kPa(g)"})
        expected[gauge] = 101325.0;
    EXPECT_EQ(offsets, expected);
    for (int bad : {-1, 582, INT_MIN})
        EXPECT_TRUE(!*GetUnitRow(bad).name && GetUnitRow(bad).factor == 0.0 && !IsGaugeUnit(bad)) << bad;
    for (const char* missing : {" C", "C ", "", "% max", "Vessel-Volume", "Cubic\u00A0ft", "BRL"}) // BRL: prices only
        EXPECT_EQ(FindUnit(missing), -1) << missing;
    EXPECT_EQ(boxes.count(), 0u);
    // Established factors keep their values to the last digit; the others match the definitions.
    const double inch = 0.0254, foot = 12 * inch, ft3 = foot * foot * foot, gal = 231 * inch * inch * inch;
    const double lb = 0.45359237, impGal = 4.54609e-3, lbf = 4.4482216152605, week = 7 * 86400.0;
    const double btu = 2.326e3 * lb; // 1 BTU/lb = 2.326 kJ/kg
    const auto kmolVolume = [](double kelvin) { return 8.314462618 * kelvin / 101325.0 * 1000.0; }; // m³ at 1 atm
    // clang-format off
    const std::pair<const char*, double> established[] = {
        {"F", 0.5555555555555556}, {"psig", 6894.7573}, {"torr", 133.32237}, {"gal", 0.003785411},
        {"US gal", 0.003785411}, {"Imp gal", 0.004546087}, {"Cubic ft", 0.02831684}, {"lb", 0.4535924},
        {"BTU", 1055.056}, {"kg/h", 0.0002777777778}, {"1/ft", 3.2808399}, {"USD/liter", 1000.0},
        // every currency alone, and the internal units themselves
        {"USD", 1}, {"RUB", 1}, {"K", 1}, {"pa", 1}, {"s", 1}, {"Cubic m", 1}, {"kg", 1}, {"kmole", 1}, {"J", 1}};
    const std::pair<const char*, double> derived[] = {
        {"lb/gal", lb / gal}, {"lb/Imp gal", lb / impGal}, {"kg/week", 1.0 / week}, {"gal/min", gal / 60},
        {"lb/sqft-h", lb / (foot * foot) / 3600}, {"SCMH", 1.0 / (kmolVolume(288.15) * 3600)}, {"Cubic ft/s", ft3},
        {"liter/sqcm-s", 10.0}, {"BTU/lb-R", 4186.8}, {"PCU/h", 1.8 * btu / 3600}, {"RUB/gal", 1 / gal},
        {"scfm", ft3 / kmolVolume(519.67 / 1.8) / 60}, {"in-water", 249.08891}, {"in-Hg", 3386.38864}, {"USD/BTU", 1 / btu},
        {"Rev/min", 2 * std::acos(-1.0) / 60}, {"F/min", 1.0 / 108}, {"USD/month", 1 / 2629800.0},
        {"HP", 745.69987158227022}, {"kgf/cm", 980.665}, {"BRL/ft-lb", 1 / (foot * lbf)},
        {"INR/year", 1 / (365.25 * 86400)}, {"GJ/kmole", 1e9}};
    // clang-format on
    for (const auto& [name, factor] : established) // a name not found reads the empty row's factor 0
        EXPECT_EQ(GetUnitRow(FindUnit(name)).factor, factor) << name;
    for (const auto& [name, factor] : derived)
        EXPECT_NEAR(GetUnitRow(FindUnit(name)).factor, factor, 2e-8 * factor) << name;
}

TEST(Conversion, ReferencePairsConvertBothWaysTheBasisFollowsTheKindAndUnknownUnitsShowAMessage)
{
    test::MessageRecorder boxes;
    SetAmbientPressure(90000.0); // gauges follow it, absolute units do not
    // Back: the user value read from `internal` (NaN: `user`). The basis guards: inward "> 0", outward "!= 0". Unknown
    // units keep the value inward and read 0 outward ("% max" passes inward only); no value reads 0, silently.
    const struct {
        const char* unit;
        double user, internal, mw = 1, md = 1, back = std::nan("");
    } pairs[] = {
        // clang-format off
        {"c", 25.0, 298.15}, {"F", 100.0, 310.92777777777775}, {"R", 491.67, 273.15}, {"F", -459.67, 0.0},
        {"", 12.5, 12.5}, {"VESSEL-VOLUME", 0.4, 0.4}, {"BED VOLUME", 7.0, 7.0}, {"psig", 0.0, 90000.0},
        {"kPa(g)", 10.0, 100000.0}, {"in-water(g)", 2.0, 90000.0 + 2 * 249.0889}, {"psia", 0.0, 0.0},
        {"kg", 36, 2, 18, 50}, {"Cubic m", 2, 100, 18, 50}, {"liter", 100, 5, 18, 50}, {"J/kg", 10, 180, 18, 50},
        {"KJ/kg", 10, 180000, 18, 50}, {"USD/liter", 1, 20, 18, 50}, {"kmole", 3, 3, 18, 50}, {"kg", 36, 36, 0, 0},
        {"kg", 36, 36, -2, 0, -72}, {"Cubic m", 2, 2, 0, -4, -0.5}, {"J/kg", 10, 10, -2, -4, -5},
        {"USD/liter", 1, 1000, -2, -4, -4}, {"furlong", 3, 3, 1, 1, 0}, {"% max", 55, 55, 1, 1, 0},
        {" C ", 3, 3, 1, 1, 0}, {"C", kNoValue, kNoValue, 1, 1, 0}, {"psig", kNoValue, kNoValue, 1, 1, 0},
        {"nonsense", kNoValue, kNoValue, 1, 1, 0}, {"", kNoValue, kNoValue, 1, 1, 0},
        // clang-format on
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(testing::Message() << p.unit << " " << p.user << " " << p.mw << " " << p.md);
        EXPECT_NEAR(ToInternalUnits(p.unit, p.user, p.mw, p.md), p.internal, 1e-9);
        EXPECT_NEAR(ToUserUnits(p.unit, p.internal, p.mw, p.md), std::isnan(p.back) ? p.user : p.back, 1e-9);
    }
    SetAmbientPressure(80000.0); // changed by the host between two calls
    SetAmbientPressure(std::nan(""));
    EXPECT_DOUBLE_EQ(ToInternalUnits("PSIG", 0.0), 80000.0) << "a pressure that is not a number is ignored";
    SetAmbientPressure(kStandardAtmosphere);
    EXPECT_EQ(FormatQuantity(ToInternalUnits("F", 100.0), "C"), "37.778 C");
    EXPECT_EQ(FormatQuantity(2.0, "parsec"), "0.000 parsec");
    // Each unknown unit shows its message once per value.
    const std::string in = "Could not convert user units to internal units.  Unit String = \"";
    const std::string out = "Could not convert internal units to user units.  Unit String = \"";
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{in + "furlong\"", out + "furlong\"", out + "% max\"",
                                                       in + " C \"", out + " C \"", out + "parsec\""}));
}

TEST(Identifiers, GuidTextAndUniqueId)
{
    test::MessageRecorder boxes;
    GUID next{0x0A1B2C3E, 0xBEEF, 0xCAFE, {0x00, 0x01, 0xAB, 0xCD, 0xEF, 0x10, 0x9F, 0xFF}};
    long result = 0;
    const GuidGenerator previous = SetGuidGenerator([&](GUID* out) {
        *out = next;
        return result;
    });
    EXPECT_EQ(CreateGuidString().str(), "{0A1B2C3E-BEEF-cafe-0001-ABCDEF109FFF}\r\n");
    EXPECT_EQ(CreateUniqueID(), -1158366665L) << "the text's HashKey read as signed 32 bits";
    // A null GUID, or a generator that reports failure even if it wrote bytes, gives the only messages.
    for (const auto& [guid, reported] : {std::pair{GUID{}, 0L}, {GUID{0x1234u, 0, 0, {}}, -1L}}) {
        next = guid;
        result = reported;
        EXPECT_TRUE(CreateGuidString().IsEmpty() && CreateUniqueID() == 0);
    }
    SetGuidGenerator(previous);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>(4, "System Error creating Globally Unique ID"));
}
