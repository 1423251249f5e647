#include "Comparison.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "GanttSvg.h"
#include "Html.h"
#include "Profiles.h"
#include "batchplant/gantt/GanttFacility.h"

namespace batchplant::cli {
namespace {

struct Profile {
    const char* label;
    CompType type;
    CompositeSetting setting;
    SeriesBy by;
};
constexpr Profile kProfiles[] = {{"Labor", Labor, Operators, SeriesBy::Component},
                                 {"Utilities", Utilities, Duty | PerTime, SeriesBy::Group},
                                 {"Vapor emissions", VaporEmissions, Mass | PerTime, SeriesBy::Group}};

template <class Map, class Values> std::vector<Row> rowsOf(const Map& a, const Map& b, Values values)
{
    std::map<std::string, Row> rows;
    for (const auto& [name, v] : a)
        rows[name].a = values(v);
    for (const auto& [name, v] : b)
        rows[name].b = values(v);
    std::vector<Row> out;
    for (auto& [name, row] : rows) {
        row.name = name;
        out.push_back(std::move(row));
    }
    return out;
}

} // namespace

Run MeasureRun(GanttFacility& g)
{
    Run r;
    r.plan = g.GetPlanName().str();
    r.span = RunEndSeconds(g);
    for (int i = 0; i < g.GetNumSteps(); ++i) {
        const StepInfo s = g.GetStepByIndex(i);
        r.steps[s.GetStepName().str() + " (" + s.GetCampaignTimeUnit().str() + ")"] = {
            static_cast<double>(s.GetNumberOfBatches()), s.GetCampaignTime(), s.GetAverageCycleTime()};
    }
    r.utilisation = MeasureUtilisation(g, 0, std::max(r.span, 1L));
    for (const VesselUse& v : r.utilisation.vessels)
        r.vessels[v.tag] = v.shares;
    for (const Profile& p : kProfiles) {
        const ProfileChart chart = BuildProfileChart(g, p.type, p.setting, p.by);
        for (const ProfileSeries& s : chart.series) {
            double peak = 0, total = 0;
            for (std::size_t i = 0; i < s.points.size(); ++i) {
                const double v = std::isfinite(s.points[i].second) ? s.points[i].second : 0.0;
                peak = std::max(peak, v);
                if (i + 1 < s.points.size()) total += v * (s.points[i + 1].first - s.points[i].first);
            }
            r.peaks[std::string(p.label) + " (" + chart.valueUnit + "): " + s.name] = {peak, total};
        }
    }
    return r;
}

std::vector<Table> CompareRuns(const Run& a, const Run& b)
{
    return {
        {"Steps (campaign and cycle times in the step's unit)",
         "steps",
         {"batches", "campaign", "cycle"},
         rowsOf(a.steps, b.steps, [](const std::vector<double>& v) { return v; })},
        {"Equipment, shares of the run",
         "equipment",
         {"running", "holding"},
         rowsOf(a.vessels, b.vessels,
                [](const Shares& s) {
                    return std::vector<double>{s.running, s.holding};
                })},
        {"Labor, utilities and vapor emissions: peak and total over the run",
         "profiles",
         {"peak", "total"},
         rowsOf(a.peaks, b.peaks,
                [](const std::pair<double, double>& p) {
                    return std::vector<double>{p.first, p.second};
                })},
    };
}

std::string ShortNumber(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

std::string ComparisonHtml(const Run& a, const Run& b, const std::string& nameA, const std::string& nameB)
{
    std::ostringstream out;
    out << "<section id=\"compare\"><h2>Compared with " << XmlEscape(nameB)
        << "</h2>\n<p class=\"caption\">A: " << XmlEscape(a.plan) << " (" << XmlEscape(nameA) << "), "
        << ShortNumber(a.span / 86400.0) << " days. B: " << XmlEscape(b.plan) << " (" << XmlEscape(nameB) << "), "
        << ShortNumber(b.span / 86400.0) << " days. Each value reads A, B and the difference B \u2212 A.</p>\n";
    for (const Table& t : CompareRuns(a, b)) {
        out << "<h3>" << XmlEscape(t.title) << "</h3>\n<table><tr><th></th>";
        for (const std::string& c : t.columns)
            out << "<th class=\"num\">" << XmlEscape(c)
                << " A</th><th class=\"num\">B</th><th class=\"num\">B \u2212 A</th>";
        out << "</tr>\n";
        for (const Row& row : t.rows) {
            out << "<tr><td>" << XmlEscape(row.name) << "</td>";
            for (std::size_t c = 0; c < t.columns.size(); ++c) {
                const std::string x = row.a ? ShortNumber((*row.a)[c]) : "\u2013";
                const std::string y = row.b ? ShortNumber((*row.b)[c]) : "\u2013";
                const std::string d = row.a && row.b ? ShortNumber((*row.b)[c] - (*row.a)[c])
                                      : row.a        ? "only in A"
                                                     : "only in B";
                out << "<td class=\"num\">" << x << "</td><td class=\"num\">" << y << "</td><td class=\"num\">" << d
                    << "</td>";
            }
            out << "</tr>\n";
        }
        out << "</table>\n";
    }
    out << "<h3>Utilisation, A</h3>\n<div class=\"chart\">" << RenderUtilisationSvg(a.utilisation)
        << "</div>\n<h3>Utilisation, B</h3>\n<div class=\"chart\">" << RenderUtilisationSvg(b.utilisation)
        << "</div>\n</section>\n";
    return out.str();
}

} // namespace batchplant::cli
