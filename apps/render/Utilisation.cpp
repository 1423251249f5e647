#include "Utilisation.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include "GanttSvg.h"
#include "Html.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/StepInfo.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::cli {
namespace {

using Spans = std::vector<std::pair<long, long>>;

// The stretches clipped to [from, to], sorted and merged where they meet.
Spans unite(const Spans& all, long from, long to)
{
    // Clipped to the window first: a window of a day in a year's run sorts
    // a day's spans, not the year's.
    Spans spans, out;
    for (auto [a, b] : all) {
        a = std::max(a, from);
        b = std::min(b, to);
        if (b > a) spans.emplace_back(a, b);
    }
    std::sort(spans.begin(), spans.end());
    for (const auto& [a, b] : spans) {
        if (!out.empty() && a <= out.back().second)
            out.back().second = std::max(out.back().second, b);
        else
            out.emplace_back(a, b);
    }
    return out;
}

Spans both(const Spans& x, const Spans& y)
{
    Spans out;
    for (std::size_t i = 0, j = 0; i < x.size() && j < y.size();) {
        const long a = std::max(x[i].first, y[j].first), b = std::min(x[i].second, y[j].second);
        if (a < b) out.emplace_back(a, b);
        (x[i].second < y[j].second ? i : j) += 1;
    }
    return out;
}

double length(const Spans& s)
{
    double n = 0;
    for (const auto& [a, b] : s)
        n += static_cast<double>(b - a);
    return n;
}

// Per step: its batches' first start and last end, and each vessel's
// running time, from the operations that meet the span.
void measureSteps(const GanttFacility& g, Utilisation& u)
{
    struct Seen {
        std::map<short, std::pair<long, long>> batches;
        std::map<int, long> running; // by row
    };
    std::map<long, Seen> seen;
    for (int v = 0; v < g.GetNumSchedVessels(); ++v)
        for (int b = 0; b < g.GetNumTimeBlocks(v); ++b) {
            const std::optional<ScheduleBlock> block = g.GetScheduleBlock(v, b);
            if (!block) continue;
            const long start = block->start, end = block->end;
            if (end <= u.from || start >= u.to) continue;
            Seen& s = seen[block->stepID];
            auto [it, fresh] = s.batches.try_emplace(block->batch, start, end);
            if (!fresh) it->second = {std::min(it->second.first, start), std::max(it->second.second, end)};
            s.running[v] += std::min(end, u.to) - std::max(start, u.from);
        }
    auto tagOf = [&](long id) {
        for (int v = 0; v < g.GetNumSchedVessels(); ++v)
            if (const Vessel* vessel = g.GetVesselByIndex(v); vessel && vessel->GetID() == id)
                return vessel->GetName().str();
        return id > 0 ? "equipment " + std::to_string(id) : std::string();
    };
    for (int i = 0; i < g.GetNumSteps(); ++i) {
        const StepInfo info = g.GetStepByIndex(i);
        StepUse s;
        s.name = info.GetStepName().str();
        s.unit = info.GetAverageBatchTimeUnit().str();
        s.batches = info.GetNumberOfBatches();
        s.batchTime = info.GetAverageBatchTime();
        s.cycleTime = info.GetAverageCycleTime();
        s.limiting = tagOf(info.GetTimeLimitingEquipment());
        const Seen& m = seen[info.GetStepID()];
        s.measuredBatches = static_cast<long>(m.batches.size());
        std::vector<long> starts;
        double total = 0;
        for (const auto& [batch, span] : m.batches) {
            total += static_cast<double>(span.second - span.first);
            starts.push_back(span.first);
        }
        std::sort(starts.begin(), starts.end());
        const CString unit(s.unit.empty() ? std::string("s") : s.unit);
        if (!starts.empty()) s.measuredBatchTime = ToUserUnits(unit, total / static_cast<double>(starts.size()));
        if (starts.size() > 1)
            s.measuredCycleTime = ToUserUnits(unit, static_cast<double>(starts.back() - starts.front()) /
                                                        static_cast<double>(starts.size() - 1));
        long longest = 0;
        for (const auto& [row, t] : m.running)
            if (t > longest) {
                longest = t;
                const Vessel* vessel = g.GetVesselByIndex(row);
                s.busiest = vessel ? vessel->GetName().str() : std::string();
            }
        u.steps.push_back(std::move(s));
    }
}

} // namespace

Shares ShareOfSpan(const std::vector<LodBlock>& blocks, const std::vector<LodStretch>& inUse,
                   const std::vector<LodStretch>& nonWorking, long from, long to)
{
    Shares s;
    if (to <= from) return s;
    Spans r, h, n;
    for (const LodBlock& b : blocks)
        r.emplace_back(b.start, b.end);
    for (const LodStretch& x : inUse)
        h.emplace_back(x.start, x.end);
    for (const LodStretch& x : nonWorking)
        n.emplace_back(x.start, x.end);
    const Spans running = unite(r, from, to);
    const Spans held = unite(h, from, to);
    Spans busy = running;
    busy.insert(busy.end(), held.begin(), held.end());
    busy = unite(busy, from, to);
    const Spans off = unite(n, from, to);
    const double span = static_cast<double>(to - from);
    s.running = length(running) / span;
    s.holding = (length(busy) - length(running)) / span;
    s.nonWorking = (length(off) - length(both(off, busy))) / span;
    s.idle = std::max(0.0, 1.0 - s.running - s.holding - s.nonWorking);
    return s;
}

Utilisation MeasureUtilisation(const GanttFacility& facility, long from, long to)
{
    std::vector<RowBlocks> rows;
    for (int v = 0; v < facility.GetNumSchedVessels(); ++v)
        rows.push_back(ReadRowBlocks(facility, v));
    Utilisation u = MeasureVesselUse(facility, rows, RunEndSeconds(facility), from, to);
    measureSteps(facility, u);
    return u;
}

Utilisation MeasureVesselUse(const GanttFacility& facility, const std::vector<RowBlocks>& rows, long span, long from,
                             long to)
{
    Utilisation u;
    u.from = from;
    u.to = to;
    double busiest = 0;
    for (int v = 0; v < facility.GetNumSchedVessels() && v < static_cast<int>(rows.size()); ++v) {
        const RowBlocks& row = rows[v];
        VesselUse use;
        const Vessel* vessel = facility.GetVesselByIndex(v);
        use.tag = vessel ? vessel->GetName().str() : std::string();
        use.shares = ShareOfSpan(row.blocks, row.inUse, NonWorkingStretches(facility, v, from, to, span), from, to);
        std::set<short> batches;
        for (const LodBlock& b : row.blocks)
            if (b.end > from && b.start < to) {
                ++use.operations;
                batches.insert(b.batch);
            }
        use.batches = static_cast<int>(batches.size());
        // Holding material is waiting, not work: a buffer tank that holds
        // all the time limits nothing.
        const double busy = use.shares.running;
        if (busy > busiest) {
            busiest = busy;
            u.bottleneck = v;
        }
        u.vessels.push_back(std::move(use));
    }
    return u;
}

std::string RenderUtilisationSvg(const Utilisation& u, int width)
{
    constexpr int left = 210, right = 180, row = 18, top = 30;
    const int plot = std::max(width - left - right, 100);
    const int height = top + static_cast<int>(u.vessels.size()) * row + 34;
    static const std::pair<const char*, const char*> parts[] = {
        {"Running", "#2D6CB0"}, {"Holding material", "#B9C3D6"}, {"Idle", "#EEF1F5"}, {"Non-working", "#A9AFBA"}};
    std::ostringstream out;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"utilisation\" width=\"" << width << "\" height=\""
        << height << "\" viewBox=\"0 0 " << width << ' ' << height
        << "\" font-family=\"Helvetica, Arial, sans-serif\" font-size=\"11\">\n";
    int lx = left;
    for (const auto& [name, colour] : parts) {
        out << "<rect x=\"" << lx << "\" y=\"8\" width=\"12\" height=\"12\" fill=\"" << colour
            << "\" stroke=\"#999\" stroke-width=\"0.5\"/><text x=\"" << lx + 16 << "\" y=\"18\">" << name
            << "</text>\n";
        lx += 140;
    }
    for (std::size_t i = 0; i < u.vessels.size(); ++i) {
        const VesselUse& v = u.vessels[i];
        const int y = top + static_cast<int>(i) * row;
        const bool worst = static_cast<int>(i) == u.bottleneck;
        out << "<g class=\"share\"><text x=\"" << left - 6 << "\" y=\"" << y + 12 << "\" text-anchor=\"end\""
            << (worst ? " font-weight=\"bold\"" : "") << ">" << XmlEscape(v.tag) << "</text>\n";
        const double shares[] = {v.shares.running, v.shares.holding, v.shares.idle, v.shares.nonWorking};
        double x = left;
        for (int k = 0; k < 4; ++k) {
            const double w = shares[k] * plot;
            if (w > 0)
                out << "<rect x=\"" << FormatNumber(x) << "\" y=\"" << y + 2 << "\" width=\"" << FormatNumber(w)
                    << "\" height=\"" << row - 4 << "\" fill=\"" << parts[k].second << "\"><title>" << XmlEscape(v.tag)
                    << ": " << parts[k].first << ' ' << FormatNumber(100 * shares[k], 3) << " %</title></rect>";
            x += w;
        }
        out << "<text x=\"" << left + plot + 6 << "\" y=\"" << y + 12 << "\">"
            << FormatNumber(100 * v.shares.running, 3) << " % running" << (worst ? " \u2190 bottleneck" : "")
            << "</text></g>\n";
    }
    out << "</svg>\n";
    return out.str();
}

} // namespace batchplant::cli
