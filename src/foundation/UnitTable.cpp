// The constant table of units of measure.
//
// Order: the mass-based rows, then the volume-based, per-mass, per-volume
// and plain rows, each group in its established order. Only the plain group
// holds names that stand twice ("1/m", "1/cm", "1/in", "1/ft"), and no name
// is shared between groups, so this grouping keeps the first of each
// duplicate in front, where lookup finds it.
//
// Values written as plain literals are the table's established values and
// are kept as they are even where they differ in the last digits from the
// exact definitions (e.g. "lb" 0.4535924, "BTU" 1055.056, "Imp gal"
// 0.004546087, "1/ft" 3.2808399). Every other factor is derived below from
// exact definitions, so that it is right to full double precision.

#include <array>
#include <string_view>

#include "batchplant/foundation/Units.h"
#include "foundation/ForEach.h"

namespace batchplant {

namespace {

// Exact definitions (SI, internal units).
constexpr double kPi = 3.14159265358979323846;
constexpr double kFt = 0.3048;                   // m (international foot)
constexpr double kIn = 0.0254;                   // m
constexpr double kCm = 0.01;                     // m
constexpr double kMm = 0.001;                    // m
constexpr double kFt2 = kFt * kFt;               // m²
constexpr double kFt3 = kFt * kFt * kFt;         // m³
constexpr double kSqcm = kCm * kCm;              // m²
constexpr double kLiter = 0.001;                 // m³
constexpr double kMl = 1e-6;                     // m³
constexpr double kUsGal = 3.785411784e-3;        // m³ (231 cubic inches)
constexpr double kImpGal = 4.54609e-3;           // m³
constexpr double kGram = 0.001;                  // kg
constexpr double kLb = 0.45359237;               // kg (international avoirdupois pound)
constexpr double kGmole = 0.001;                 // kmole
constexpr double kLbmole = kLb;                  // kmole (a pound-mole is kLb kmole)
constexpr double kGravity = 9.80665;             // m/s² (standard gravity)
constexpr double kLbf = kLb * kGravity;          // N
constexpr double kKgf = kGravity;                // N
constexpr double kFtLbf = kFt * kLbf;            // J
constexpr double kKJ = 1000.0;                   // J
constexpr double kCal = 4.1868;                  // J (international table calorie)
constexpr double kKcal = 1000.0 * kCal;          // J
constexpr double kBtu = 1055.05585262;           // J (international table BTU)
constexpr double kPcu = kLb * kKcal;             // J (pound-centigrade unit: 1 lb of water by 1 K, = 1.8 BTU)
constexpr double kKwh = 3.6e6;                   // J
constexpr double kHp = 550.0 * kFtLbf;           // W (mechanical horsepower, 550 ft·lbf/s)
constexpr double kMinute = 60.0;                 // s
constexpr double kHour = 3600.0;                 // s
constexpr double kDay = 86400.0;                 // s
constexpr double kWeek = 7.0 * kDay;             // s
constexpr double kMonth = 2629800.0;             // s (a twelfth of the Julian year, as the "month" row)
constexpr double kYear = 31557600.0;             // s (Julian year, 365.25 days, as the "year" row)
constexpr double kRankine = 5.0 / 9.0;           // K per degree Rankine or Fahrenheit (temperature difference)
constexpr double kWaterHead = 1000.0 * kGravity; // Pa per metre of water (conventional, 1000 kg/m³)
constexpr double kMmHg = 133.322387415;          // Pa (conventional millimetre of mercury)
constexpr double kGasConstant = 8314.462618;     // J/(kmole·K)
constexpr double kAtm = 101325.0;                // Pa
// Molar volume of an ideal gas at the reference conditions of the standard
// volume units: 15 °C for the standard cubic metre, 60 °F for the standard
// cubic foot, both at one atmosphere.
constexpr double kStdM3Volume = kGasConstant * 288.15 / kAtm;                               // m³/kmole
constexpr double kStdFt3Volume = kGasConstant * (273.15 + (60.0 - 32.0) * kRankine) / kAtm; // m³/kmole

// Kinds, short for the table.
constexpr int kMass = kUnitMassBased;
constexpr int kPlain = kUnitPlain;
constexpr int kVol = kUnitVolumeBased;
constexpr int kPerMass = kUnitPerMass;
constexpr int kPerVol = kUnitPerVolume;

// A price converts only its per-quantity part; every currency counts 1.
// Currency per mass (kind 4): per g, kg, lb.
#define BATCHPLANT_PER_MASS(cur)                                                                                       \
    {cur "/g", kPerMass, 1.0 / kGram, 0.0}, {cur "/kg", kPerMass, 1.0, 0.0}, { cur "/lb", kPerMass, 1.0 / kLb, 0.0 }
// Currency per volume (kind 5): per US gallon and per litre.
#define BATCHPLANT_PER_VOLUME(cur)                                                                                     \
    {cur "/gal", kPerVol, 1.0 / kUsGal, 0.0}, { cur "/liter", kPerVol, 1.0 / kLiter, 0.0 }
// Currency per amount and per energy (plain).
#define BATCHPLANT_PER_AMOUNT_ENERGY(cur)                                                                              \
    {cur "/gmole", kPlain, 1.0 / kGmole, 0.0}, {cur "/kmole", kPlain, 1.0, 0.0},                                       \
        {cur "/lbmole", kPlain, 1.0 / kLbmole, 0.0}, {cur "/BTU", kPlain, 1.0 / kBtu, 0.0},                            \
        {cur "/cal", kPlain, 1.0 / kCal, 0.0}, {cur "/J", kPlain, 1.0, 0.0}, {cur "/kcal", kPlain, 1.0 / kKcal, 0.0},  \
        {cur "/KJ", kPlain, 1.0 / kKJ, 0.0}, {cur "/kwh", kPlain, 1.0 / kKwh, 0.0},                                    \
    {                                                                                                                  \
        cur "/ft-lb", kPlain, 1.0 / kFtLbf, 0.0                                                                        \
    }
// Currency per time (plain).
#define BATCHPLANT_PER_TIME(cur)                                                                                       \
    {cur "/day", kPlain, 1.0 / kDay, 0.0}, {cur "/h", kPlain, 1.0 / kHour, 0.0},                                       \
        {cur "/min", kPlain, 1.0 / kMinute, 0.0}, {cur "/month", kPlain, 1.0 / kMonth, 0.0},                           \
        {cur "/s", kPlain, 1.0, 0.0}, {cur "/week", kPlain, 1.0 / kWeek, 0.0},                                         \
    {                                                                                                                  \
        cur "/year", kPlain, 1.0 / kYear, 0.0                                                                          \
    }
// The plain rows of a currency: per amount and energy, alone, per time.
#define BATCHPLANT_ALL_PLAIN(cur) BATCHPLANT_PER_AMOUNT_ENERGY(cur), BATCHPLANT_CURRENCY(cur), BATCHPLANT_PER_TIME(cur)
// The same, as elements of BATCHPLANT_FOR_EACH.
#define BATCHPLANT_ALL_PLAIN_ROWS(cur) BATCHPLANT_ALL_PLAIN(cur),
#define BATCHPLANT_CURRENCY_ROWS(cur) BATCHPLANT_CURRENCY(cur),
#define BATCHPLANT_PER_AMOUNT_ENERGY_ROWS(cur) BATCHPLANT_PER_AMOUNT_ENERGY(cur),
#define BATCHPLANT_PER_MASS_ROWS(cur) BATCHPLANT_PER_MASS(cur),
#define BATCHPLANT_PER_TIME_ROWS(cur) BATCHPLANT_PER_TIME(cur),
#define BATCHPLANT_PER_VOLUME_ROWS(cur) BATCHPLANT_PER_VOLUME(cur),
// A currency alone.
#define BATCHPLANT_CURRENCY(cur)                                                                                       \
    {                                                                                                                  \
        cur, kPlain, 1.0, 0.0                                                                                          \
    }

// clang-format off
constexpr UnitRow kRows[] = {
    // Mass based (kind 1): internal kg, kg/s, kg/m³, kg/(m²·s), then per kmole through the molecular weight.
    {"lb", kMass, 0.4535924, 0.0},
    {"kg", kMass, 1.0, 0.0},
    {"g", kMass, 0.001, 0.0},
    {"mg", kMass, 1e-06, 0.0},
    {"kg/Cubic m", kMass, 1.0, 0.0},
    {"g/cc", kMass, kGram / kMl, 0.0},
    {"g/liter", kMass, kGram / kLiter, 0.0},
    {"lb/Cubic ft", kMass, kLb / kFt3, 0.0},
    {"lb/gal", kMass, kLb / kUsGal, 0.0},
    {"kg/h", kMass, 0.0002777777778, 0.0},
    {"kg/s", kMass, 1.0, 0.0},
    {"lb/h", kMass, kLb / kHour, 0.0},
    {"lb/s", kMass, kLb, 0.0},
    {"metric tonne", kMass, 1000.0, 0.0},
    {"kg/min", kMass, 1.0 / kMinute, 0.0},
    {"lb/min", kMass, kLb / kMinute, 0.0},
    {"kg/week", kMass, 1.0 / kWeek, 0.0},
    {"lb/week", kMass, kLb / kWeek, 0.0},
    {"g/Cubic m", kMass, kGram, 0.0},
    {"g/ml", kMass, kGram / kMl, 0.0},
    {"kg/liter", kMass, 1.0 / kLiter, 0.0},
    {"lb/Imp gal", kMass, kLb / kImpGal, 0.0},
    {"lb/US gal", kMass, kLb / kUsGal, 0.0},
    {"kg/sqm-h", kMass, 1.0 / kHour, 0.0},
    {"kg/sqm-min", kMass, 1.0 / kMinute, 0.0},
    {"kg/sqm-s", kMass, 1.0, 0.0},
    {"kg/sqm-week", kMass, 1.0 / kWeek, 0.0},
    {"lb/sqft-h", kMass, kLb / kFt2 / kHour, 0.0},
    {"lb/sqft-min", kMass, kLb / kFt2 / kMinute, 0.0},
    {"lb/sqft-s", kMass, kLb / kFt2, 0.0},
    {"lb/sqft-week", kMass, kLb / kFt2 / kWeek, 0.0},
    // Standard cubic metres per hour of gas: the amount flow in kmole/s. The
    // row is mass based, so this holds for the molecular weight of 1.0 that
    // every caller passes.
    {"SCMH", kMass, 1.0 / kStdM3Volume / kHour, 0.0},
    {"g/h", kMass, kGram / kHour, 0.0},
    {"g/min", kMass, kGram / kMinute, 0.0},
    {"g/s", kMass, kGram, 0.0},
    {"kg/kg", kMass, 1.0, 0.0},

    // Volume based (kind 3): internal m³, m³/s, m³/(m²·s), then kmole through the molar density.
    {"liter", kVol, 0.001, 0.0},
    {"gal", kVol, 0.003785411, 0.0},
    {"cc", kVol, 1e-06, 0.0},
    {"Cubic ft", kVol, 0.02831684, 0.0},
    {"Cubic m", kVol, 1.0, 0.0},
    {"Cubic m/s", kVol, 1.0, 0.0},
    {"Cubic ft/s", kVol, kFt3, 0.0},
    {"Cubic m/h", kVol, 0.0002777777778, 0.0},
    {"liter/h", kVol, kLiter / kHour, 0.0},
    {"liter/s", kVol, kLiter, 0.0},
    {"gal/s", kVol, kUsGal, 0.0},
    {"gal/min", kVol, kUsGal / kMinute, 0.0},
    {"gal/h", kVol, kUsGal / kHour, 0.0},
    {"Imp gal", kVol, 0.004546087, 0.0},
    {"US gal", kVol, 0.003785411, 0.0},
    {"ml", kVol, 1e-06, 0.0},
    {"liter/min", kVol, kLiter / kMinute, 0.0},
    {"Cubic ft/min", kVol, kFt3 / kMinute, 0.0},
    {"Cubic m/min", kVol, 1.0 / kMinute, 0.0},
    {"Cubic ft/h", kVol, kFt3 / kHour, 0.0},
    {"gal/week", kVol, kUsGal / kWeek, 0.0},
    {"liter/week", kVol, kLiter / kWeek, 0.0},
    {"Cubic ft/sqft-h", kVol, kFt3 / kFt2 / kHour, 0.0},
    {"Cubic ft/sqft-min", kVol, kFt3 / kFt2 / kMinute, 0.0},
    {"Cubic ft/sqft-s", kVol, kFt3 / kFt2, 0.0},
    {"Cubic m/sqm-h", kVol, 1.0 / kHour, 0.0},
    {"Cubic m/sqm-min", kVol, 1.0 / kMinute, 0.0},
    {"Cubic m/sqm-s", kVol, 1.0, 0.0},
    {"gal/sqft-h", kVol, kUsGal / kFt2 / kHour, 0.0},
    {"gal/sqft-min", kVol, kUsGal / kFt2 / kMinute, 0.0},
    {"gal/sqft-s", kVol, kUsGal / kFt2, 0.0},
    {"liter/sqcm-h", kVol, kLiter / kSqcm / kHour, 0.0},
    {"liter/sqcm-min", kVol, kLiter / kSqcm / kMinute, 0.0},
    {"liter/sqcm-s", kVol, kLiter / kSqcm, 0.0},
    {"liter/sqm-h", kVol, kLiter / kHour, 0.0},
    {"liter/sqm-min", kVol, kLiter / kMinute, 0.0},
    {"liter/sqm-s", kVol, kLiter, 0.0},
    {"Cubic m/sqcm-h", kVol, 1.0 / kSqcm / kHour, 0.0},
    {"Cubic m/sqcm-min", kVol, 1.0 / kSqcm / kMinute, 0.0},
    {"Cubic m/sqcm-s", kVol, 1.0 / kSqcm, 0.0},

    // Per unit of mass (kind 4): internal J/kg, J/(kg·K), currency/kg, then per kmole.
    {"J/g", kPerMass, 1.0 / kGram, 0.0},
    {"J/kg", kPerMass, 1.0, 0.0},
    {"KJ/kg", kPerMass, kKJ, 0.0},
    {"Mega J/kg", kPerMass, 1e6, 0.0},
    {"cal/g", kPerMass, kCal / kGram, 0.0},
    {"kcal/Kg", kPerMass, kKcal, 0.0},
    {"BTU/lb", kPerMass, kBtu / kLb, 0.0},
    {"USD/g", kPerMass, 1.0 / kGram, 0.0},
    {"USD/kg", kPerMass, 1.0, 0.0},
    {"USD/lb", kPerMass, 1.0 / kLb, 0.0},
    {"J/kg-K", kPerMass, 1.0, 0.0},
    {"BTU/lb-R", kPerMass, kBtu / (kLb * kRankine), 0.0},
    {"cal/g-K", kPerMass, kCal / kGram, 0.0},
    {"kcal/g-K", kPerMass, kKcal / kGram, 0.0},
    {"PCU/lb-K", kPerMass, kPcu / kLb, 0.0},
    {"KJ/kg-K", kPerMass, kKJ, 0.0},
    {"kcal/kg-K", kPerMass, kKcal, 0.0},
    BATCHPLANT_FOR_EACH(BATCHPLANT_PER_MASS_ROWS, "BFr", "DM", "FFr", "SFr", "GBP", "yen", "SEK")
    {"PCU/lb", kPerMass, kPcu / kLb, 0.0},
    BATCHPLANT_FOR_EACH(BATCHPLANT_PER_MASS_ROWS, "euro", "kyen", "INR", "Yuan", "RUB", "BRL")

    // Per unit of volume (kind 5): internal currency/m³, then per kmole.
    BATCHPLANT_FOR_EACH(BATCHPLANT_PER_VOLUME_ROWS, "USD", "BFr", "DM", "FFr", "SFr", "GBP", "yen", "SEK", "euro",
                        "kyen", "INR", "Yuan", "RUB", "BRL")

    // Plain (kind 2).
    {"C", kPlain, 1.0, 273.15},
    {"F", kPlain, 0.5555555555555556, 255.37222222222223},
    {"K", kPlain, 1.0, 0.0},
    {"R", kPlain, 0.5555555555555556, 0.0},
    {"gmole", kPlain, 0.001, 0.0},
    {"lbmole", kPlain, 0.4535924, 0.0},
    {"kmole", kPlain, 1.0, 0.0},
    {"percent", kPlain, 1.0, 0.0},
    {"J", kPlain, 1.0, 0.0},
    {"KJ", kPlain, 1000.0, 0.0},
    {"GJ", kPlain, 1e9, 0.0},
    {"cal", kPlain, 4.1868, 0.0},
    {"BTU", kPlain, 1055.056, 0.0},
    {"kwh", kPlain, 3600000.0, 0.0},
    {"ft-lb", kPlain, kFtLbf, 0.0},
    {"Square m", kPlain, 1.0, 0.0},
    {"Square cm", kPlain, kSqcm, 0.0},
    {"Square Inch", kPlain, kIn * kIn, 0.0},
    {"Square Ft", kPlain, kFt2, 0.0},
    {"kmole/Cubic m", kPlain, 1.0, 0.0},
    {"lbmole/Cubic ft", kPlain, kLbmole / kFt3, 0.0},
    {"gmole/Liter", kPlain, kGmole / kLiter, 0.0},
    {"cm", kPlain, kCm, 0.0},
    {"ft", kPlain, kFt, 0.0},
    {"in", kPlain, kIn, 0.0},
    {"m", kPlain, 1.0, 0.0},
    {"atm", kPlain, 101325.0, 0.0},
    {"bar", kPlain, 100000.0, 0.0},
    {"pa", kPlain, 1.0, 0.0},
    {"psi", kPlain, 6894.7573, 0.0},
    {"day", kPlain, 86400.0, 0.0},
    {"h", kPlain, 3600.0, 0.0},
    {"s", kPlain, 1.0, 0.0},
    {"min", kPlain, 60.0, 0.0},
    {"cp", kPlain, 0.001, 0.0},                       // Pa·s
    {"lb/ft-h", kPlain, kLb / (kFt * kHour), 0.0},    // Pa·s
    {"poise", kPlain, 0.1, 0.0},                      // Pa·s
    {"BTU/lbmol", kPlain, kBtu / kLbmole, 0.0},       // J/kmole
    {"cal/mole", kPlain, kCal / kGmole, 0.0},
    {"kcal/mole", kPlain, kKcal / kGmole, 0.0},
    {"J/kmole", kPlain, 1.0, 0.0},
    {"J/mole", kPlain, 1.0 / kGmole, 0.0},
    {"kj/kmole", kPlain, kKJ, 0.0},
    {"GJ/kmole", kPlain, 1e9, 0.0},
    {"Bed Volume/h", kPlain, 1.0 / kHour, 0.0},       // bed volumes per second
    {"Bed Volume/s", kPlain, 1.0, 0.0},
    {"gmole/s", kPlain, kGmole, 0.0},
    {"lbmole/s", kPlain, kLbmole, 0.0},
    {"kmole/s", kPlain, 1.0, 0.0},
    {"gmole/h", kPlain, kGmole / kHour, 0.0},
    {"kmole/h", kPlain, 1.0 / kHour, 0.0},
    {"psia", kPlain, 6894.7573, 0.0},
    {"psig", kPlain, 6894.7573, 101325.0},
    {"J/kmole-K", kPlain, 1.0, 0.0},
    {"BTU/lbmole-R", kPlain, kBtu / (kLbmole * kRankine), 0.0},
    {"cal/mole-K", kPlain, kCal / kGmole, 0.0},
    {"kcal/mole-K", kPlain, kKcal / kGmole, 0.0},
    {"PCU/lbmole-K", kPlain, kPcu / kLbmole, 0.0},
    {"KJ/kmole-K", kPlain, kKJ, 0.0},
    {"bed volume", kPlain, 1.0, 0.0},
    {"acfm", kPlain, kFt3 / kMinute, 0.0},                  // actual volume flow, m³/s
    {"scfm", kPlain, kFt3 / kStdFt3Volume / kMinute, 0.0}, // standard volume flow as amount flow, kmole/s
    {"in-water", kPlain, kIn * kWaterHead, 0.0},
    {"mm-water", kPlain, kMm * kWaterHead, 0.0},
    {"kg/sqcm", kPlain, kKgf / kSqcm, 0.0},
    {"torr", kPlain, 133.32237, 0.0},
    {"mbar(a)", kPlain, 100.0, 0.0},
    {"mbar(g)", kPlain, 100.0, 101325.0},
    {"month", kPlain, 2629800.0, 0.0},
    {"year", kPlain, 31557600.0, 0.0},
    {"mm-Hg", kPlain, 133.3223684, 0.0},
    {"in-Hg", kPlain, (kIn / kMm) * kMmHg, 0.0},
    {"BTU/h", kPlain, 0.29307107, 0.0},
    {"J/h", kPlain, 1.0 / kHour, 0.0},
    {"J/min", kPlain, 1.0 / kMinute, 0.0},
    {"J/s", kPlain, 1.0, 0.0},
    {"kcal/h", kPlain, kKcal / kHour, 0.0},
    {"kcal/min", kPlain, kKcal / kMinute, 0.0},
    {"kcal/s", kPlain, kKcal, 0.0},
    {"KJ/h", kPlain, kKJ / kHour, 0.0},
    {"KJ/min", kPlain, kKJ / kMinute, 0.0},
    {"KJ/s", kPlain, kKJ, 0.0},
    {"kw", kPlain, 1000.0, 0.0},
    {"PCU/h", kPlain, kPcu / kHour, 0.0},
    {"watt", kPlain, 1.0, 0.0},
    {"Cubic m/kmole", kPlain, 1.0, 0.0},
    {"Cubic ft/lbmole", kPlain, kFt3 / kLbmole, 0.0},
    {"Cc/gmole", kPlain, kMl / kGmole, 0.0},
    {"N-s/sqm", kPlain, 1.0, 0.0},                                       // Pa·s
    {"watt/m-K", kPlain, 1.0, 0.0},                                      // thermal conductivity
    {"BTU-ft/h-sqft-R", kPlain, kBtu * kFt / (kHour * kFt2 * kRankine), 0.0},
    {"kcal-m/h-sqm-K", kPlain, kKcal / kHour, 0.0},
    {"BTU-in/h-sqft-R", kPlain, kBtu * kIn / (kHour * kFt2 * kRankine), 0.0},
    {"cal-cm/s-sqcm-K", kPlain, kCal * kCm / kSqcm, 0.0},
    {"kw/m-K", kPlain, 1000.0, 0.0},
    {"USD/gmole", kPlain, 1.0 / kGmole, 0.0},
    {"USD/kmole", kPlain, 1.0, 0.0},
    {"USD/lbmole", kPlain, 1.0 / kLbmole, 0.0},
    {"USD/BTU", kPlain, 1.0 / kBtu, 0.0},
    {"USD/cal", kPlain, 1.0 / kCal, 0.0},
    {"USD/J", kPlain, 1.0, 0.0},
    {"USD/kcal", kPlain, 1.0 / kKcal, 0.0},
    {"USD/KJ", kPlain, 1.0 / kKJ, 0.0},
    {"USD/kwh", kPlain, 1.0 / kKwh, 0.0},
    {"USD/ft-lb", kPlain, 1.0 / kFtLbf, 0.0},
    {"J/sqm-s-K", kPlain, 1.0, 0.0},                                     // heat transfer coefficient
    {"KJ/sqm-s-K", kPlain, kKJ, 0.0},
    {"J/sqm-h-K", kPlain, 1.0 / kHour, 0.0},
    {"KJ/sqm-h-K", kPlain, kKJ / kHour, 0.0},
    {"BTU/sqft-s-R", kPlain, kBtu / (kFt2 * kRankine), 0.0},
    {"BTU/sqft-h-R", kPlain, kBtu / (kFt2 * kHour * kRankine), 0.0},
    {"Rev/s", kPlain, 2.0 * kPi, 0.0},                                   // rad/s
    {"Rev/min", kPlain, 2.0 * kPi / kMinute, 0.0},
    {"Rev/h", kPlain, 2.0 * kPi / kHour, 0.0},
    {"mm", kPlain, kMm, 0.0},
    {"Rad/s", kPlain, 1.0, 0.0},
    {"Rad/min", kPlain, 1.0 / kMinute, 0.0},
    {"Rad/h", kPlain, 1.0 / kHour, 0.0},
    {"cal/sqcm-s-K", kPlain, kCal / kSqcm, 0.0},
    {"kcal/sqm-s-K", kPlain, kKcal, 0.0},
    {"kcal/sqm-h-K", kPlain, kKcal / kHour, 0.0},
    {"PCU/sqft-h-K", kPlain, kPcu / (kFt2 * kHour), 0.0},
    {"week", kPlain, 604800.0, 0.0},
    {"g-force", kPlain, kGravity, 0.0},                                  // m/s²
    {"bar(g)", kPlain, 100000.0, 101325.0},
    {"Radian", kPlain, 1.0, 0.0},
    {"Degree", kPlain, 0.017453292519944444, 0.0},
    {"kcal", kPlain, 4186.8, 0.0},
    {"1/cm", kPlain, 1.0 / kCm, 0.0},
    {"1/ft", kPlain, 3.2808399, 0.0},
    {"1/in", kPlain, 1.0 / kIn, 0.0},
    {"1/m", kPlain, 1.0, 0.0},
    {"1/mm", kPlain, 1.0 / kMm, 0.0},
    BATCHPLANT_FOR_EACH(BATCHPLANT_PER_AMOUNT_ENERGY_ROWS, "BFr", "DM", "FFr", "SFr", "GBP", "yen", "SEK")
    BATCHPLANT_FOR_EACH(BATCHPLANT_CURRENCY_ROWS, "USD", "GBP", "DM", "BFr", "SFr", "FFr", "SEK", "yen")
    {"BTU/sqft-s-F", kPlain, kBtu / (kFt2 * kRankine), 0.0},
    {"BTU/sqft-h-F", kPlain, kBtu / (kFt2 * kHour * kRankine), 0.0},
    // Rates of temperature change: temperature differences per time, so no offset.
    {"C/h", kPlain, 1.0 / kHour, 0.0},
    {"C/min", kPlain, 1.0 / kMinute, 0.0},
    {"F/h", kPlain, kRankine / kHour, 0.0},
    {"F/min", kPlain, kRankine / kMinute, 0.0},
    {"kcal/kmole", kPlain, kKcal, 0.0},
    {"kcal/kmole-K", kPlain, kKcal, 0.0},
    BATCHPLANT_FOR_EACH(BATCHPLANT_PER_TIME_ROWS, "USD", "BFr", "DM", "FFr", "SEK", "SFr", "GBP", "yen")
    {"kg/sqcm(g)", kPlain, 98066.5, 101325.0},
    {"kPa", kPlain, 1000.0, 0.0},
    {"PCU", kPlain, kPcu, 0.0},
    BATCHPLANT_ALL_PLAIN("euro"),
    // Filter medium resistance (1/m) and specific cake resistance (m/kg). The
    // first four repeat names from above; lookup finds the earlier rows.
    {"1/m", kPlain, 1.0, 0.0},
    {"1/cm", kPlain, 1.0 / kCm, 0.0},
    {"1/in", kPlain, 1.0 / kIn, 0.0},
    {"1/ft", kPlain, 1.0 / kFt, 0.0},
    {"m/kg", kPlain, 1.0, 0.0},
    {"cm/gr", kPlain, kCm / kGram, 0.0},
    {"in/lb", kPlain, kIn / kLb, 0.0},
    {"ft/lb", kPlain, kFt / kLb, 0.0},
    {"HP", kPlain, kHp, 0.0},
    {"in-water(g)", kPlain, 249.0889, 101325.0},
    {"gmole/cc", kPlain, kGmole / kMl, 0.0},
    {"gmole/Cubic m", kPlain, kGmole, 0.0},
    {"gmole/ml", kPlain, kGmole / kMl, 0.0},
    {"kmole/liter", kPlain, 1.0 / kLiter, 0.0},
    {"lbmole/Imp gal", kPlain, kLbmole / kImpGal, 0.0},
    {"lbmole/US gal", kPlain, kLbmole / kUsGal, 0.0},
    {"micron", kPlain, 1e-6, 0.0},
    {"/h", kPlain, 1.0 / kHour, 0.0},                                    // per time, 1/s
    {"/min", kPlain, 1.0 / kMinute, 0.0},
    {"/s", kPlain, 1.0, 0.0},
    {"kPa(g)", kPlain, 1000.0, 101325.0},
    BATCHPLANT_ALL_PLAIN("kyen"),
    {"m/s", kPlain, 1.0, 0.0},
    {"m/h", kPlain, 1.0 / kHour, 0.0},
    {"cm/s", kPlain, kCm, 0.0},
    {"cm/h", kPlain, kCm / kHour, 0.0},
    {"in/s", kPlain, kIn, 0.0},
    {"in/h", kPlain, kIn / kHour, 0.0},
    {"ft/s", kPlain, kFt, 0.0},
    {"ft/h", kPlain, kFt / kHour, 0.0},
    {"g/mol", kPlain, 1.0, 0.0},
    {"lbmole/gal", kPlain, kLbmole / kUsGal, 0.0},
    {"N", kPlain, 1.0, 0.0},
    {"kN", kPlain, 1000.0, 0.0},
    {"kgf", kPlain, kKgf, 0.0},
    {"lbf", kPlain, kLbf, 0.0},
    {"microinch", kPlain, kIn * 1e-6, 0.0},
    {"kgf/cm", kPlain, kKgf / kCm, 0.0},                                 // force per length, N/m
    {"kgf/m", kPlain, kKgf, 0.0},
    {"kN/m", kPlain, 1000.0, 0.0},
    {"lbf/ft", kPlain, kLbf / kFt, 0.0},
    {"lbf/in", kPlain, kLbf / kIn, 0.0},
    {"N/cm", kPlain, 1.0 / kCm, 0.0},
    {"N/m", kPlain, 1.0, 0.0},
    BATCHPLANT_FOR_EACH(BATCHPLANT_ALL_PLAIN_ROWS, "INR", "Yuan", "RUB")
    BATCHPLANT_PER_AMOUNT_ENERGY("BRL"),
};
// clang-format on

#undef BATCHPLANT_PER_MASS
#undef BATCHPLANT_PER_VOLUME
#undef BATCHPLANT_PER_AMOUNT_ENERGY
#undef BATCHPLANT_PER_TIME
#undef BATCHPLANT_CURRENCY

static_assert(std::size(kRows) == kUnitTableSize, "the unit table has 582 rows");

constexpr int countKind(int kind)
{
    int n = 0;
    for (const UnitRow& r : kRows)
        if (r.kind == kind) ++n;
    return n;
}
static_assert(countKind(kUnitMassBased) == 36 && countKind(kUnitVolumeBased) == 40 && countKind(kUnitPerMass) == 57 &&
                  countKind(kUnitPerVolume) == 28 && countKind(kUnitPlain) == 421,
              "rows per kind");

// The gauge-pressure rows, whose offset is the ambient pressure.
constexpr std::string_view kGaugeNames[] = {"psig", "mbar(g)", "bar(g)", "kg/sqcm(g)", "in-water(g)", "kPa(g)"};

constexpr std::array<bool, kUnitTableSize> kGauge = [] {
    std::array<bool, kUnitTableSize> g{};
    for (std::size_t i = 0; i < g.size(); ++i)
        for (std::string_view name : kGaugeNames)
            if (name == kRows[i].name) g[i] = true;
    return g;
}();

// What GetUnitRow gives for a position outside the table.
constexpr UnitRow kNoRow{"", 0, 0.0, 0.0};

} // namespace

int GetUnitCount() { return kUnitTableSize; }

const UnitRow& GetUnitRow(int row)
{
    if (row < 0 || row >= kUnitTableSize) return kNoRow;
    return kRows[row];
}

bool IsGaugeUnit(int row) { return row >= 0 && row < kUnitTableSize && kGauge[static_cast<std::size_t>(row)]; }

} // namespace batchplant
