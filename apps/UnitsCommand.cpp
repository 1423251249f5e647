// `batchplant units VALUE FROM TO` converts a value between two units of
// measure through the internal unit; `batchplant units --list` prints the
// unit table.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "Command.h"
#include "render/UnitQuantity.h"
#include "batchplant/foundation/Units.h"

namespace batchplant::cli {
namespace {

struct UnitsOptions {
    bool list = false;
    double value = 0.0;
    std::string from;
    std::string to;
    int digits = 3;
};

int listUnits()
{
    // %.17g so that every factor and offset reads back exactly.
    for (int i = 0; i < GetUnitCount(); ++i) {
        const UnitRow& r = GetUnitRow(i);
        std::printf("%d\t%s\t%d\t%.17g\t%.17g\n", i, r.name, r.kind, r.factor, r.offset);
    }
    return kOk;
}

// The library would show its message box for an unknown unit and go on with
// the value; the command checks first so that it can stop with one clear
// message instead.
bool checkUnit(const char* role, const std::string& name)
{
    if (FindUnit(CString(name)) >= 0) return true;
    std::fprintf(stderr, "batchplant units: unknown %s unit \"%s\" (batchplant units --list shows the known units)\n",
                 role, name.c_str());
    return false;
}

int convert(const UnitsOptions& o)
{
    if (!checkUnit("source", o.from) || !checkUnit("target", o.to)) return kBadInput;
    // Both units go through the internal unit of their kind, so a mass would
    // "convert" to a temperature without a word: refused here.
    const std::optional<Dimension> from = UnitDimension(o.from), to = UnitDimension(o.to);
    if (from && to && *from != *to) {
        std::fprintf(stderr, "batchplant units: cannot convert %s (%s) to %s (%s): they measure different quantities\n",
                     o.from.c_str(), QuantityName(*from).c_str(), o.to.c_str(), QuantityName(*to).c_str());
        return kBadInput;
    }
    const double internal = ToInternalUnits(CString(o.from), o.value);
    if (o.digits == 3)
        std::printf("%s\n", FormatQuantity(internal, CString(o.to)).c_str());
    else
        std::printf("%.*f %s\n", o.digits, ToUserUnits(CString(o.to), internal),
                    GetUnitRow(FindUnit(CString(o.to))).name);
    return kOk;
}

const bool registered =
    registerCommand("units", "Convert a value between units of measure, or list the unit table", [](CLI::App& sub) {
        auto o = std::make_shared<UnitsOptions>();
        CLI::Option* list =
            sub.add_flag("-l,--list", o->list, "Print the unit table: position, name, kind, factor, offset");
        CLI::Option* value = sub.add_option("value", o->value, "The value to convert");
        CLI::Option* from = sub.add_option("from", o->from, "Its unit, e.g. F or \"Cubic ft\" (any case)");
        CLI::Option* to = sub.add_option("to", o->to, "The unit to convert it to, of the same quantity");
        sub.add_option("--digits", o->digits, "Decimals shown")->capture_default_str()->check(CLI::Range(0, 15));
        list->excludes(value)->excludes(from)->excludes(to);
        return Runner([o, value, from, to] {
            if (o->list) return listUnits();
            if (value->count() == 0 || from->count() == 0 || to->count() == 0) {
                std::fprintf(stderr, "batchplant units: give VALUE FROM TO, e.g. \"batchplant units 100 F C\", "
                                     "or --list\n");
                return int(kBadInput);
            }
            return convert(*o);
        });
    });

} // namespace
} // namespace batchplant::cli
