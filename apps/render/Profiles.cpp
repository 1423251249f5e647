#include "Profiles.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "Html.h"
#include "TimeAxis.h"
#include "TimeWindow.h"
#include "batchplant/foundation/Array.h"
#include "batchplant/foundation/Hash.h"
#include "batchplant/gantt/GanttFacility.h"

namespace batchplant::cli {
namespace {

struct Units {
    std::string time, value;
    double timeFactor = 1.0, valueFactor = 1.0, valueOffset = 0.0;
};

Units unitsOf(GanttFacility& facility, CompType type, long group, long component, CompositeSetting setting)
{
    CString timeUnit, valueUnit;
    Units u;
    facility.GetCompositeUnits(type, group, component, setting, timeUnit, u.timeFactor, valueUnit, u.valueFactor,
                               u.valueOffset);
    u.time = timeUnit.str().empty() ? "s" : timeUnit.str();
    u.value = valueUnit.str();
    // A zero or unusable factor would make every value infinite; show internal units instead.
    if (!std::isfinite(u.timeFactor) || u.timeFactor == 0.0) {
        u.timeFactor = 1.0;
        u.time = "s";
    }
    if (!std::isfinite(u.valueFactor) || u.valueFactor == 0.0) u.valueFactor = 1.0;
    if (!std::isfinite(u.valueOffset)) u.valueOffset = 0.0;
    return u;
}

std::vector<std::pair<double, double>> toPoints(const Hash<long, double>& list, const Units& u)
{
    std::vector<std::pair<double, double>> points;
    points.reserve(list.GetCount());
    for (int i = 0; i < list.GetCount(); ++i)
        points.emplace_back(static_cast<double>(list.GetKeyAt(i)) / u.timeFactor,
                            (list.GetAt(i) - u.valueOffset) / u.valueFactor);
    return points;
}

// Settings without the PerTime bit for the list: it only changes the units.
CompositeSetting listSetting(CompositeSetting s)
{
    return static_cast<CompositeSetting>(static_cast<int>(s) & ~static_cast<int>(PerTime));
}

// At most `limit` bytes of `text`, cut on a character boundary with an
// ellipsis when shortened, so a long UTF-8 name never ends in half a character.
std::string shorten(const std::string& text, size_t limit)
{
    if (text.size() <= limit) return text;
    size_t cut = limit - 3;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut) + "\u2026";
}

// Adds one component's profile to a sum. The library sums rates itself (as
// a sweep over intervals); a level holds until the component's own next
// entry, so levels of several components add as step functions.
void addProfile(Hash<long, double>& sum, GanttFacility& facility, long group, long component, CompType type,
                CompositeSetting setting)
{
    if (type != Contents && type != BufferTanks && type != Properties) {
        facility.GetCompositeList(sum, group, component, type, setting);
        return;
    }
    Hash<long, double> one;
    facility.GetCompositeList(one, group, component, type, setting);
    std::vector<std::pair<double, double>> a, b;
    for (int i = 0; i < sum.GetCount(); ++i)
        a.emplace_back(static_cast<double>(sum.GetKeyAt(i)), sum.GetAt(i));
    for (int i = 0; i < one.GetCount(); ++i)
        b.emplace_back(static_cast<double>(one.GetKeyAt(i)), one.GetAt(i));
    Hash<long, double> total;
    for (const auto& [t, v] : type == Properties ? HighestSteps(a, b) : AddSteps(a, b))
        total[static_cast<long>(t)] = v;
    sum = std::move(total);
}

} // namespace

ProfileChart BuildProfileChart(GanttFacility& facility, CompType type, CompositeSetting setting, SeriesBy by)
{
    ProfileChart chart;
    chart.title = CompTypeName(type);
    Array<long> groups;
    Array<CString> groupNames;
    facility.GetCompositeVessels(groups, groupNames, type);
    std::map<std::string, Hash<long, double>> lists; // by series name
    std::vector<std::string> order;
    bool haveUnits = false;
    Units units;
    for (int g = 0; g < groups.GetSize(); ++g) {
        Array<long> comps;
        Array<CString> compNames;
        facility.GetCompositeComponents(static_cast<int>(groups[g]), comps, compNames, type);
        for (int c = 0; c < comps.GetSize(); ++c) {
            std::string name;
            switch (by) {
            case SeriesBy::Group:
                name = groupNames[g].str();
                break;
            case SeriesBy::ComponentName:
                name = compNames[c].str();
                break;
            case SeriesBy::Component:
                name = compNames[c].str();
                if (groups.GetSize() > 1) name = groupNames[g].str() + " / " + name;
                break;
            }
            if (name.empty())
                name = (type == Inputs || type == Outputs || type == Inventory) ? "(outside the plant)" : "(unnamed)";
            if (!lists.count(name)) order.push_back(name);
            addProfile(lists[name], facility, groups[g], comps[c], type, listSetting(setting));
            if (!haveUnits) {
                units = unitsOf(facility, type, groups[g], comps[c], setting);
                haveUnits = true;
            }
        }
    }
    chart.timeUnit = units.time;
    chart.timeFactor = units.timeFactor;
    chart.valueUnit = units.value;
    for (const std::string& name : order)
        if (lists[name].GetCount() > 0) chart.series.push_back({name, toPoints(lists[name], units)});
    return chart;
}

bool BuildProfileSum(GanttFacility& facility, CompType type, CompositeSetting setting, std::optional<long> group,
                     std::optional<long> component, ProfileChart& chart, std::string& error)
{
    chart = ProfileChart{};
    chart.title = CompTypeName(type);
    Array<long> groups;
    Array<CString> groupNames;
    facility.GetCompositeVessels(groups, groupNames, type);
    // Properties of different kinds never add up: one group at a time, the
    // first (temperature) unless one is named.
    if (type == Properties && !group && groups.GetSize() > 0) group = groups[0];
    Hash<long, double> sum;
    bool groupFound = !group, componentFound = !component, haveUnits = false;
    Units units;
    std::string label;
    for (int g = 0; g < groups.GetSize(); ++g) {
        if (group && groups[g] != *group) continue;
        groupFound = true;
        Array<long> comps;
        Array<CString> compNames;
        facility.GetCompositeComponents(static_cast<int>(groups[g]), comps, compNames, type);
        for (int c = 0; c < comps.GetSize(); ++c) {
            if (component && comps[c] != *component) continue;
            componentFound = true;
            addProfile(sum, facility, groups[g], comps[c], type, listSetting(setting));
            if (!haveUnits) {
                units = unitsOf(facility, type, groups[g], comps[c], setting);
                haveUnits = true;
            }
            if (group) label = groupNames[g].str();
            if (component) label += (label.empty() ? "" : " / ") + compNames[c].str();
        }
    }
    if (!groupFound) {
        error = "no " + std::string(CompTypeName(type)) + " group with id " + std::to_string(*group);
        return false;
    }
    if (!componentFound) {
        error = "no " + std::string(CompTypeName(type)) + " component with id " + std::to_string(*component) +
                (group ? " in group " + std::to_string(*group) : std::string());
        return false;
    }
    chart.timeUnit = units.time;
    chart.timeFactor = units.timeFactor;
    chart.valueUnit = units.value;
    if (sum.GetCount() > 0) chart.series.push_back({label.empty() ? "Total" : label, toPoints(sum, units)});
    return true;
}

void KeepLargestSeries(ProfileChart& chart, std::size_t most)
{
    if (chart.series.size() <= most || most < 2) return;
    auto peak = [](const ProfileSeries& s) {
        double p = 0.0;
        for (const auto& point : s.points)
            if (std::isfinite(point.second)) p = std::max(p, std::abs(point.second));
        return p;
    };
    std::stable_sort(chart.series.begin(), chart.series.end(),
                     [&](const ProfileSeries& x, const ProfileSeries& y) { return peak(x) > peak(y); });
    ProfileSeries others{std::to_string(chart.series.size() - most + 1) + " others", {}};
    for (std::size_t i = most - 1; i < chart.series.size(); ++i)
        others.points = AddSteps(others.points, chart.series[i].points);
    chart.series.resize(most - 1);
    chart.series.push_back(std::move(others));
}

std::string RenderProfileSvg(const ProfileChart& chart, const ChartFrame& frame, bool standalone)
{
    constexpr int top = 30, plotHeight = 200, axisHeight = 22, legendRow = 16, legendColumn = 260;
    const int plotWidth = frame.PlotWidth();
    const int perRow = std::max(1, plotWidth / legendColumn);
    const int legendRows = static_cast<int>((chart.series.size() + perRow - 1) / perRow);
    const int height = top + plotHeight + axisHeight + 8 + legendRows * legendRow + 8;
    const double factor = chart.timeFactor > 0.0 && std::isfinite(chart.timeFactor) ? chart.timeFactor : 1.0;
    // Values over the window only, so a close look is scaled to what it shows.
    double vMin = 0.0, vMax = 0.0;
    for (const auto& s : chart.series)
        for (std::size_t i = 0; i < s.points.size(); ++i) {
            const double t0 = s.points[i].first * factor;
            const double t1 = i + 1 < s.points.size() ? s.points[i + 1].first * factor : t0;
            const double v = s.points[i].second;
            if (!std::isfinite(v) || t1 < frame.from || t0 > frame.to) continue;
            vMin = std::min(vMin, v);
            vMax = std::max(vMax, v);
        }
    if (vMax - vMin <= 0.0) vMax = vMin + 1.0;
    const std::vector<double> ticks = NiceTicks(vMin, vMax, 5);
    if (!ticks.empty()) {
        vMin = std::min(vMin, ticks.front());
        vMax = std::max(vMax, ticks.back());
    }
    auto xOf = [&](double t) { return frame.X(t * factor); };
    auto yOf = [&](double v) {
        if (!std::isfinite(v)) v = 0.0;
        return top + (vMax - v) / (vMax - vMin) * plotHeight;
    };
    const int left = frame.left;

    std::ostringstream out;
    if (standalone) out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"profile\" width=\"" << frame.width << "\" height=\""
        << height << "\" viewBox=\"0 0 " << frame.width << ' ' << height
        << "\" font-family=\"Helvetica, Arial, sans-serif\" font-size=\"11\">\n";
    out << "<rect x=\"0\" y=\"0\" width=\"" << frame.width << "\" height=\"" << height << "\" fill=\"#FFFFFF\"/>\n";
    out << "<text x=\"" << left << "\" y=\"18\" font-size=\"13\" font-weight=\"bold\" fill=\"#222\">"
        << XmlEscape(chart.title) << (chart.valueUnit.empty() ? "" : " (" + XmlEscape(chart.valueUnit) + ")")
        << "</text>\n";
    for (double v : ticks) {
        const double y = yOf(v);
        out << "<line x1=\"" << left << "\" y1=\"" << FormatNumber(y) << "\" x2=\"" << left + plotWidth << "\" y2=\""
            << FormatNumber(y) << "\" stroke=\"#E4E4E4\"/><text x=\"" << left - 6 << "\" y=\"" << FormatNumber(y + 4)
            << "\" text-anchor=\"end\" fill=\"#444\">" << FormatNumber(v, 6) << "</text>\n";
    }
    out << DateAxisSvg(frame, top, top + plotHeight, false);
    out << "<rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << plotWidth << "\" height=\"" << plotHeight
        << "\" fill=\"none\" stroke=\"#999\"/>\n";
    if (vMin < 0.0)
        out << "<line x1=\"" << left << "\" y1=\"" << FormatNumber(yOf(0)) << "\" x2=\"" << left + plotWidth
            << "\" y2=\"" << FormatNumber(yOf(0)) << "\" stroke=\"#777\"/>\n";

    static const char* const colours[] = {"#1F77B4", "#D62728", "#2CA02C", "#FF7F0E", "#9467BD",
                                          "#8C564B", "#E377C2", "#17BECF", "#7F7F7F", "#BCBD22"};
    const TimeWindow window = frame.Window();
    const int legendTop = top + plotHeight + axisHeight + 8;
    for (size_t i = 0; i < chart.series.size(); ++i) {
        const ProfileSeries& s = chart.series[i];
        const char* colour = colours[i % 10];
        // One point per pixel column at most, keeping each column's extremes.
        std::vector<std::pair<double, double>> seconds;
        seconds.reserve(s.points.size());
        for (const auto& [t, v] : s.points)
            seconds.emplace_back(t * factor, v);
        std::ostringstream d, band;
        bool started = false;
        for (const ColumnPoint& p : DownsampleSteps(seconds, window)) {
            const double px = xOf(p.t / factor);
            if (!started) {
                d << "M" << FormatNumber(px) << ' ' << FormatNumber(yOf(p.value));
                started = true;
            } else {
                d << " H" << FormatNumber(px) << " V" << FormatNumber(yOf(p.value));
            }
            if (p.min != p.max)
                band << "M" << FormatNumber(px) << ' ' << FormatNumber(yOf(p.min)) << " V" << FormatNumber(yOf(p.max));
        }
        if (started) d << " H" << FormatNumber(left + plotWidth);
        out << "<path class=\"series\" d=\"" << d.str() << "\" fill=\"none\" stroke=\"" << colour
            << "\" stroke-width=\"1.5\"><title>" << XmlEscape(s.name) << "</title></path>\n";
        if (!band.str().empty())
            out << "<path class=\"range\" d=\"" << band.str() << "\" stroke=\"" << colour
                << "\" stroke-opacity=\"0.5\"/>\n";
        const int lx = left + static_cast<int>(i % perRow) * legendColumn;
        const int ly = legendTop + static_cast<int>(i / perRow) * legendRow;
        out << "<rect x=\"" << lx << "\" y=\"" << ly << "\" width=\"10\" height=\"10\" fill=\"" << colour
            << "\"/><text x=\"" << lx + 14 << "\" y=\"" << ly + 9 << "\">" << XmlEscape(shorten(s.name, 38))
            << "</text>\n";
    }
    if (chart.series.empty())
        out << "<text x=\"" << left + plotWidth / 2 << "\" y=\"" << top + plotHeight / 2
            << "\" text-anchor=\"middle\" fill=\"#888\">No data</text>\n";
    out << "</svg>\n";
    return out.str();
}

} // namespace batchplant::cli
