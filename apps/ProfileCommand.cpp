// `batchplant profile DB --type TYPE [--group ID] [--component ID]
// [--setting mass|volume|moles|duty|operators] [--per-time] --format csv|svg
// [-o FILE]` writes one composite profile of a run (the selected components
// summed) as CSV or as an SVG step chart.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "Command.h"
#include "render/Html.h"
#include "render/GanttSvg.h"
#include "render/Load.h"
#include "render/Profiles.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/platform/CString.h"

namespace batchplant::cli {
namespace {

struct ProfileOptions {
    std::string db;
    std::string type;
    std::string setting;
    std::string format = "csv";
    std::string output;
    long group = 0;
    long component = 0;
    bool hasGroup = false;
    bool hasComponent = false;
    bool perTime = false;
};

bool parseType(const std::string& text, CompType& type)
{
    static const std::pair<const char*, CompType> names[] = {{"Inputs", Inputs},
                                                             {"Outputs", Outputs},
                                                             {"Inventory", Inventory},
                                                             {"BufferTanks", BufferTanks},
                                                             {"Utilities", Utilities},
                                                             {"Labor", Labor},
                                                             {"VaporEmissions", VaporEmissions},
                                                             {"Contents", Contents},
                                                             {"Properties", Properties}};
    for (const auto& [name, value] : names)
        if (CString(text).CompareNoCase(name) == 0) {
            type = value;
            return true;
        }
    return false;
}

bool parseSetting(const std::string& text, CompositeSetting& setting)
{
    static const std::pair<const char*, CompositeSetting> names[] = {
        {"mass", Mass}, {"volume", Volume}, {"moles", Moles}, {"duty", Duty}, {"operators", Operators}};
    for (const auto& [name, value] : names)
        if (CString(text).CompareNoCase(name) == 0) {
            setting = value;
            return true;
        }
    return false;
}

bool isRateKind(CompType type)
{
    return type == Inputs || type == Outputs || type == Inventory || type == Utilities || type == VaporEmissions;
}

// The quantity a type shows unless told otherwise.
CompositeSetting defaultSetting(CompType type)
{
    switch (type) {
    case Labor:
        return Operators;
    case Utilities:
        return Duty;
    default:
        return Mass;
    }
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string renderCsv(const ProfileChart& chart)
{
    std::ostringstream out;
    out << csvField("time (" + chart.timeUnit + ")") << ',' << csvField("value (" + chart.valueUnit + ")") << "\n";
    if (!chart.series.empty())
        for (const auto& [t, v] : chart.series.front().points)
            out << FormatNumber(t, 12) << ',' << FormatNumber(v, 12) << "\n";
    return out.str();
}

int runProfile(const ProfileOptions& o)
{
    CompType type = Inputs;
    if (!parseType(o.type, type)) {
        std::fprintf(stderr,
                     "batchplant profile: unknown type \"%s\": give Labor, Utilities, Inventory, Inputs, Outputs, "
                     "BufferTanks, VaporEmissions, Contents or Properties\n",
                     o.type.c_str());
        return kBadInput;
    }
    CompositeSetting setting = defaultSetting(type);
    if (!o.setting.empty() && !parseSetting(o.setting, setting)) {
        std::fprintf(stderr,
                     "batchplant profile: unknown setting \"%s\": give mass, volume, moles, duty or operators\n",
                     o.setting.c_str());
        return kBadInput;
    }
    // Rate kinds hold an amount per second of the run; shown without the time
    // unit their values would carry a plain mass unit and read as amounts.
    if (o.perTime || isRateKind(type)) setting = setting | PerTime;
    if (o.format != "csv" && o.format != "svg") {
        std::fprintf(stderr, "batchplant profile: unknown format \"%s\": give csv or svg\n", o.format.c_str());
        return kBadInput;
    }

    LoadedRun run;
    if (const int rc = LoadRun("profile", o.db, false, true, run); rc != kOk) return rc;
    ProfileChart chart;
    std::string error;
    if (!BuildProfileSum(*run.schedule, type, setting, o.hasGroup ? std::optional<long>(o.group) : std::nullopt,
                         o.hasComponent ? std::optional<long>(o.component) : std::nullopt, chart, error)) {
        std::fprintf(stderr, "batchplant profile: %s in %s\n", error.c_str(), o.db.c_str());
        return kBadInput;
    }
    ChartFrame frame;
    frame.start = run.schedule->GetStartTime();
    frame.to = std::max(RunEndSeconds(*run.schedule), 1L);
    const std::string text = o.format == "csv" ? renderCsv(chart) : RenderProfileSvg(chart, frame, true);
    if (o.output.empty()) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "batchplant profile: cannot write to standard output\n");
            return kFailure;
        }
        return kOk;
    }
    std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
    if (out) out << text;
    if (out) out.close();
    if (!out) {
        std::fprintf(stderr, "batchplant profile: cannot write %s\n", o.output.c_str());
        return kFailure;
    }
    return kOk;
}

const bool registered =
    registerCommand("profile", "Write a composite resource profile of a run as CSV or SVG", [](CLI::App& sub) {
        auto o = std::make_shared<ProfileOptions>();
        sub.add_option("db", o->db, "The results database")->required();
        sub.add_option("--type", o->type,
                       "Labor, Utilities, Inventory, Inputs, Outputs, BufferTanks, VaporEmissions, Contents or "
                       "Properties")
            ->required();
        CLI::Option* group =
            sub.add_option("--group", o->group,
                           "Only the group with this id (default: all groups; for Properties the first, temperature)");
        CLI::Option* component =
            sub.add_option("--component", o->component, "Only the component with this id (default: all)");
        sub.add_option("--setting", o->setting, "Mass, volume, moles, duty or operators (default by type)");
        sub.add_flag("--per-time", o->perTime,
                     "Show the value per time unit (always so for the rate kinds: Inputs, Outputs, Inventory, "
                     "Utilities, VaporEmissions)");
        sub.add_option("--format", o->format, "Csv (default) or svg");
        sub.add_option("-o,--output", o->output, "The file to write (default: standard output)");
        return Runner([o, group, component] {
            o->hasGroup = group->count() > 0;
            o->hasComponent = component->count() > 0;
            return runProfile(*o);
        });
    });

} // namespace
} // namespace batchplant::cli
