#include "UnitQuantity.h"

#include <cctype>
#include <map>
#include <vector>

namespace batchplant::cli {
namespace {

// Mass, length, time, amount, temperature, money, angle.
constexpr Dimension M{1, 0, 0, 0, 0, 0, 0}, L{0, 1, 0, 0, 0, 0, 0}, T{0, 0, 1, 0, 0, 0, 0}, N{0, 0, 0, 1, 0, 0, 0},
    K{0, 0, 0, 0, 1, 0, 0}, C{0, 0, 0, 0, 0, 1, 0}, A{0, 0, 0, 0, 0, 0, 1}, One{};

Dimension operator+(Dimension a, const Dimension& b)
{
    for (std::size_t i = 0; i < a.size(); ++i)
        a[i] += b[i];
    return a;
}
Dimension operator*(int k, Dimension a)
{
    for (int& e : a)
        e *= k;
    return a;
}

const Dimension kEnergy = M + 2 * L + -2 * T;
const Dimension kForce = M + L + -2 * T;
const Dimension kPressure = M + -1 * L + -2 * T;

std::string lower(const std::string& s)
{
    std::string out;
    for (char c : s)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Every word the table's names are made of, in lower case.
const std::map<std::string, Dimension>& atoms()
{
    static const std::map<std::string, Dimension> table = [] {
        std::map<std::string, Dimension> t;
        auto add = [&](const Dimension& d, std::initializer_list<const char*> names) {
            for (const char* n : names)
                t[n] = d;
        };
        add(M, {"lb", "kg", "g", "mg", "gr", "metric tonne"});
        add(3 * L, {"liter", "gal", "cc", "ml", "imp gal", "us gal", "cubic m", "cubic ft", "bed volume"});
        add(2 * L, {"sqm", "sqft", "sqcm", "square m", "square cm", "square inch", "square ft"});
        add(L, {"cm", "ft", "in", "m", "mm", "micron", "microinch"});
        add(T, {"s", "min", "h", "day", "week", "month", "year"});
        add(N, {"gmole", "lbmole", "kmole", "mole", "mol", "lbmol"});
        add(K, {"c", "f", "k", "r"});
        add(kEnergy, {"j", "kj", "gj", "mega j", "cal", "kcal", "btu", "kwh", "ft-lb", "pcu"});
        add(kEnergy + -1 * T, {"kw", "watt", "hp"});
        add(kForce, {"n", "kn", "kgf", "lbf"});
        add(kPressure, {"atm", "bar", "pa", "psi", "psia", "psig", "kpa", "kpa(g)", "torr", "mbar(a)", "mbar(g)",
                        "bar(g)", "in-water", "mm-water", "in-water(g)", "mm-hg", "in-hg", "kg/sqcm", "kg/sqcm(g)"});
        add(M + -1 * L + -1 * T, {"cp", "poise"});
        add(3 * L + -1 * T, {"scmh", "acfm", "scfm"});
        add(L + -2 * T, {"g-force"});
        add(One, {"percent", "1", ""});
        add(A, {"rev", "rad", "radian", "degree"});
        add(C, {"usd", "gbp", "dm", "bfr", "sfr", "ffr", "sek", "yen", "kyen", "euro", "inr", "yuan", "rub", "brl"});
        return t;
    }();
    return table;
}

// One side of a name: a word of the table, or words joined by '-' (a
// product, as in "kg-K").
std::optional<Dimension> side(const std::string& text)
{
    const auto& table = atoms();
    if (const auto it = table.find(text); it != table.end()) return it->second;
    Dimension d{};
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t dash = text.find('-', from);
        const std::string word = text.substr(from, dash == std::string::npos ? std::string::npos : dash - from);
        const auto it = table.find(word);
        if (word.empty() || it == table.end()) return std::nullopt;
        d = d + it->second;
        if (dash == std::string::npos) break;
        from = dash + 1;
    }
    return d;
}

} // namespace

std::optional<Dimension> UnitDimension(const std::string& name)
{
    const std::string n = lower(name);
    if (const auto whole = side(n)) return whole;
    const std::size_t slash = n.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const auto top = side(n.substr(0, slash));
    const auto bottom = side(n.substr(slash + 1));
    if (!top || !bottom) return std::nullopt;
    return *top + -1 * *bottom;
}

std::string QuantityName(const Dimension& d)
{
    static const std::vector<std::pair<Dimension, const char*>> names = {
        {M, "mass"},
        {3 * L, "volume"},
        {2 * L, "area"},
        {L, "length"},
        {T, "time"},
        {N, "amount of substance"},
        {K, "temperature"},
        {kEnergy, "energy"},
        {kEnergy + -1 * T, "power"},
        {kForce, "force"},
        {kPressure, "pressure"},
        {M + -1 * L + -1 * T, "viscosity"},
        {M + -3 * L, "density"},
        {N + -3 * L, "concentration"},
        {M + -1 * T, "mass flow"},
        {3 * L + -1 * T, "volume flow"},
        {N + -1 * T, "molar flow"},
        {kEnergy + -1 * M, "energy per mass"},
        {kEnergy + -1 * N, "energy per amount"},
        {kEnergy + -1 * M + -1 * K, "heat capacity per mass"},
        {kEnergy + -1 * N + -1 * K, "heat capacity per amount"},
        {L + -1 * T, "speed"},
        {C, "money"},
        {A + -1 * T, "rotation speed"},
        {A, "angle"},
        {One, "a pure number"},
    };
    for (const auto& [dimension, name] : names)
        if (dimension == d) return name;
    static const char* const symbols[] = {"M", "L", "T", "N", "Θ", "money", "angle"};
    std::string out;
    for (std::size_t i = 0; i < d.size(); ++i)
        if (d[i] != 0)
            out += (out.empty() ? "" : "·") + std::string(symbols[i]) + (d[i] == 1 ? "" : "^" + std::to_string(d[i]));
    return out;
}

} // namespace batchplant::cli
