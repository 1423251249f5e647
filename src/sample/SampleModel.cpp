#include "sample/SampleModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace batchplant::sample {

namespace {

// Molecular weights are chosen so that every reaction of the sample keeps its
// mass exactly (sum over reactants = sum over products).
const MaterialDef kMaterialDefs[kMaterials] = {
    {"Water", 18.015, 998.0, 917.0, 1.00, 4.18, 2257.0},
    {"Nitrogen", 28.013, 808.0, 1026.0, 0.018, 1.04, 0.0},
    {"Toluene", 92.14, 867.0, 867.0, 0.59, 1.70, 351.0},
    {"n-Heptane", 100.20, 684.0, 684.0, 0.39, 2.24, 317.0},
    {"Isopropanol", 60.10, 786.0, 786.0, 2.04, 2.60, 663.0},
    {"Benzylamine", 107.15, 981.0, 981.0, 1.62, 2.00, 0.0},
    {"Acetic anhydride", 102.09, 1082.0, 1082.0, 0.91, 1.80, 0.0},
    {"Acetic acid", 60.05, 1049.0, 1049.0, 1.22, 2.05, 395.0},
    {"Int-1 (N-benzylacetamide)", 149.19, 1150.0, 1200.0, 2.50, 1.50, 0.0},
    {"4-Bromoanisole", 187.04, 1494.0, 1494.0, 1.50, 1.20, 0.0},
    {"Palladium catalyst", 1155.60, 1300.0, 1300.0, 1.00, 0.90, 0.0},
    {"Int-2 (coupled amide)", 255.32, 1180.0, 1240.0, 3.00, 1.50, 0.0},
    {"Hydrogen bromide", 80.91, 1490.0, 1490.0, 1.00, 1.00, 0.0},
    {"Sodium hydroxide", 40.00, 2130.0, 2130.0, 1.00, 1.50, 0.0},
    {"Sodium bromide", 102.895, 3210.0, 3210.0, 1.00, 0.50, 0.0},
    {"Hydrogen chloride", 36.46, 1190.0, 1190.0, 1.00, 0.80, 443.0},
    {"API hydrochloride", 291.78, 1300.0, 1350.0, 4.00, 1.30, 0.0},
    {"Microcrystalline cellulose", 162.14, 1560.0, 1560.0, 1.00, 1.20, 0.0},
    {"Ethylene glycol", 62.07, 1113.0, 1113.0, 16.1, 2.40, 0.0},
};

const char* const kPhaseNames[kPhases] = {"gas", "liquid1", "liquid2", "solid"};

constexpr double kGal = 3.785411;

const EquipmentDef kEquipmentDefs[kEquipment] = {
    {R101, "R-101", "Reactor", 1, "Batch", 4000.0, "liter", 4000.0, 0.85, 1, 1, Process},
    {R102, "R-102", "Reactor", 1, "Batch", 6300.0, "liter", 6300.0, 0.85, 1, 1, Process},
    {R103, "R-103", "Reactor", 1, "Batch", 1000.0, "gal", 1000.0 * kGal, 0.9, 1, 1, Process},
    {CR101, "CR-101", "Crystallizer", 2, "Batch", 5.0, "Cubic m", 5000.0, 0.8, 1, 1, Process},
    {NF101, "NF-101", "Nutsche Filter", 3, "Batch", 2500.0, "liter", 2500.0, 0.9, 1, 2, Process},
    {V101, "V-101", "Storage Tank", 6, "Batch", 8.0, "Cubic m", 8000.0, 0.9, 1, 0, Process},
    {BT101, "BT-101", "Buffer Tank", 9, "Batch", 12.0, "Cubic m", 12000.0, 0.9, 1, 0, Buffer},
    {V102, "V-102", "Blending Tank", 7, "Batch", 2000.0, "gal", 2000.0 * kGal, 0.85, 1, 2, Process},
    {CD101, "CD-101", "Condenser", 10, "Continuous", 150.0, "liter", 150.0, 1.0, 1, 0, ContinuousUnit},
    {INV101, "Raw Material Warehouse", "Inventory Location", 20, "Inventory", 200.0, "Cubic m", 200000.0, 1.0, 1, 0,
     Inventory},
    {INV102, "Solvent Tank Farm", "Inventory Location", 20, "Inventory", 500.0, "Cubic m", 500000.0, 1.0, 1, 0,
     Inventory},
    {INV103, "Vent Header", "Inventory Location - Vapor", 21, "Inventory", 20.0, "Cubic m", 20000.0, 1.0, 1, 0,
     Inventory},
    {BT102, "BT-102", "Buffer Tank", 9, "Batch", 10.0, "Cubic m", 10000.0, 0.9, 2, 0, Buffer},
    {R201, "R-201", "Reactor", 1, "Batch", 4000.0, "liter", 4000.0, 0.85, 2, 3, Process},
    {RCV201, "RCV-201", "Receiver", 8, "Batch", 5.0, "Cubic m", 5000.0, 0.9, 2, 0, Process},
    {CR201, "CR-201", "Crystallizer", 2, "Batch", 1800.0, "gal", 1800.0 * kGal, 0.8, 2, 3, Process},
    {CF201, "CF-201", "Centrifuge", 4, "Batch", 1500.0, "liter", 1500.0, 0.85, 2, 3, Process},
    {DR201, "DR-201", "Tray Dryer", 5, "Batch", 1500.0, "liter", 1500.0, 0.8, 2, 3, Process},
    {BL201, "BL-201", "Blending Tank", 7, "Batch", 2500.0, "liter", 2500.0, 0.7, 2, 2, Process},
    {V201, "V-201", "Storage Tank", 6, "Batch", 6.0, "Cubic m", 6000.0, 0.9, 2, 0, Process},
    {INV201, "Waste Treatment", "Inventory Location", 20, "Inventory", 400.0, "Cubic m", 400000.0, 1.0, 2, 0,
     Inventory},
    {INV202, "Finished Goods Store", "Inventory Location", 20, "Inventory", 100.0, "Cubic m", 100000.0, 1.0, 2, 0,
     Inventory},
    {INV203, "Raw Material Store B", "Inventory Location", 20, "Inventory", 100.0, "Cubic m", 100000.0, 1.0, 2, 0,
     Inventory},
    {INV204, "Drum Store", "Inventory Location", 20, "Inventory", 50.0, "Cubic m", 50000.0, 1.0, 2, 0, Inventory},
};

constexpr int h(int hours, int minutes = 0) { return hours * 3600 + minutes * 60; }

std::vector<CalendarDef> makeCalendars()
{
    std::vector<CalendarDef> out;
    {
        CalendarDef c{1, "Production 24/7", {}, {}};
        for (auto& day : c.week)
            day = {{h(6), h(18)}, {h(18), h(6)}};
        c.exceptions = {{14, {}}, {35, {{h(6), h(14)}}}};
        out.push_back(c);
    }
    {
        CalendarDef c{2, "Day shifts Mon-Fri", {}, {}};
        for (int d = 1; d <= 5; ++d)
            c.week[d] = {{h(6), h(14)}, {h(14), h(22)}};
        c.exceptions = {{10, {}}, {22, {{h(8), h(12)}}}, {30, {}}};
        out.push_back(c);
    }
    {
        CalendarDef c{3, "Three shifts Mon-Fri", {}, {}};
        for (int d = 1; d <= 5; ++d)
            c.week[d] = {{h(6), h(14)}, {h(14), h(22)}, {h(22), h(6)}};
        c.exceptions = {{17, {{h(6), h(14)}}}, {45, {}}};
        out.push_back(c);
    }
    return out;
}

const std::vector<ShiftDef>& shiftsOfDay(const CalendarDef& c, int firstWeekday, long day)
{
    for (const auto& [offset, shifts] : c.exceptions)
        if (offset == day) return shifts;
    const long weekday = ((firstWeekday + day) % 7 + 7) % 7;
    return c.week[static_cast<std::size_t>(weekday)];
}

long floorDiv(long a, long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

} // namespace

const MaterialDef& materialDef(int id)
{
    if (id < 1 || id > kMaterials) throw std::out_of_range("sample: no material " + std::to_string(id));
    return kMaterialDefs[id - 1];
}

const char* phaseName(int phase) { return (phase >= 0 && phase < kPhases) ? kPhaseNames[phase] : ""; }

const EquipmentDef& equipmentDef(int id)
{
    if (id < 1 || id > kEquipment) throw std::out_of_range("sample: no equipment " + std::to_string(id));
    return kEquipmentDefs[id - 1];
}

const std::vector<CalendarDef>& calendarDefs()
{
    static const std::vector<CalendarDef> defs = makeCalendars();
    return defs;
}

// ---- mixtures --------------------------------------------------------------

double Mixture::mass() const
{
    double s = 0.0;
    for (double v : kg_)
        s += v;
    return s;
}

double Mixture::phaseMass(int phase) const
{
    double s = 0.0;
    for (int m = 1; m <= kMaterials; ++m)
        s += at(m, phase);
    return s;
}

double Mixture::materialMass(int material) const
{
    double s = 0.0;
    for (int p = 0; p < kPhases; ++p)
        s += at(material, p);
    return s;
}

double Mixture::phaseMoles(int phase) const
{
    double s = 0.0;
    for (int m = 1; m <= kMaterials; ++m)
        s += at(m, phase) / materialDef(m).molecularWeight;
    return s;
}

double Mixture::moles() const
{
    double s = 0.0;
    for (int p = 0; p < kPhases; ++p)
        s += phaseMoles(p);
    return s;
}

double Mixture::phaseVolume(int phase) const
{
    if (phase == Gas) return 0.0;
    double s = 0.0;
    for (int m = 1; m <= kMaterials; ++m) {
        const MaterialDef& d = materialDef(m);
        s += at(m, phase) / (phase == Solid ? d.solidDensity : d.liquidDensity);
    }
    return s;
}

double Mixture::condensedVolume() const { return phaseVolume(Liquid1) + phaseVolume(Liquid2) + phaseVolume(Solid); }

double Mixture::gasVolume(double tempC, double pressureBar) const
{
    return phaseMoles(Gas) * kGasConstant * (tempC + 273.15) / (pressureBar * 100.0);
}

Mixture& Mixture::operator+=(const Mixture& other)
{
    for (std::size_t i = 0; i < kg_.size(); ++i)
        kg_[i] += other.kg_[i];
    return *this;
}

Mixture& Mixture::operator-=(const Mixture& other)
{
    for (std::size_t i = 0; i < kg_.size(); ++i)
        kg_[i] = std::max(0.0, kg_[i] - other.kg_[i]);
    return *this;
}

Mixture Mixture::scaled(double factor) const
{
    Mixture m = *this;
    for (double& v : m.kg_)
        v *= factor;
    return m;
}

Mixture Mixture::condensed() const
{
    Mixture m = *this;
    for (int mat = 1; mat <= kMaterials; ++mat)
        m.at(mat, Gas) = 0.0;
    return m;
}

Mixture Mixture::onlyPhase(int phase) const
{
    Mixture m;
    for (int mat = 1; mat <= kMaterials; ++mat)
        m.at(mat, phase) = at(mat, phase);
    return m;
}

void Mixture::movePhase(int material, int from, int to, double share)
{
    const double moved = at(material, from) * share;
    at(material, from) -= moved;
    at(material, to) += moved;
}

void Mixture::clean()
{
    for (double& v : kg_)
        if (v < 1e-9) v = 0.0;
}

double react(Mixture& m, const Reaction& r, double conversion)
{
    double extent = -1.0;
    for (const auto& [material, coef] : r.reactants) {
        const double available = m.materialMass(material) / materialDef(material).molecularWeight / coef;
        extent = extent < 0.0 ? available : std::min(extent, available);
    }
    if (extent <= 0.0) return 0.0;
    extent *= conversion;
    for (const auto& [material, coef] : r.reactants) {
        const double total = m.materialMass(material);
        const double used = std::min(total, extent * coef * materialDef(material).molecularWeight);
        for (int p = 0; p < kPhases; ++p)
            m.at(material, p) -= used * (m.at(material, p) / total);
    }
    for (const auto& [material, coef] : r.products)
        m.at(material, r.productPhase) += extent * coef * materialDef(material).molecularWeight;
    m.clean();
    return extent;
}

// ---- calendars -------------------------------------------------------------

bool calendarWorks(const CalendarDef& c, int firstWeekday, long t)
{
    const long day = floorDiv(t, 86400);
    const long sec = t - day * 86400;
    for (const ShiftDef& s : shiftsOfDay(c, firstWeekday, day)) {
        if (s.end > s.start ? (sec >= s.start && sec < s.end) : sec >= s.start) return true;
    }
    for (const ShiftDef& s : shiftsOfDay(c, firstWeekday, day - 1)) {
        if (s.end <= s.start && sec < s.end) return true;
    }
    return false;
}

long calendarNextWorking(const CalendarDef& c, int firstWeekday, long t)
{
    if (calendarWorks(c, firstWeekday, t)) return t;
    const long first = floorDiv(t, 86400);
    for (long day = first; day <= first + 60; ++day) {
        long best = -1;
        for (const ShiftDef& s : shiftsOfDay(c, firstWeekday, day)) {
            const long start = day * 86400 + s.start;
            if (start >= t && (best < 0 || start < best)) best = start;
        }
        if (best >= 0) return best;
    }
    return t;
}

// ---- dates (proleptic Gregorian calendar) ---------------------------------

long daysFromCivil(int y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

std::string isoDate(long days)
{
    int y = 0, m = 0, d = 0;
    civilFromDays(days, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string isoDateTime(long long seconds)
{
    const long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const long long rest = seconds - days * 86400;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%sT%02lld:%02lld:%02lld", isoDate(static_cast<long>(days)).c_str(), rest / 3600,
                  (rest / 60) % 60, rest % 60);
    return buf;
}

} // namespace batchplant::sample
