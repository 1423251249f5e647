#include "GanttSvg.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

#include "Html.h"
#include "TimeAxis.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::cli {
namespace {

constexpr int kLabelWidth = 210;
constexpr int kRowHeight = 22;
constexpr int kTop = 46;
constexpr int kLegendHeight = 52;
// Spans of several batches: one neutral colour, never a batch's.
constexpr int kMixedColour = 0x8C8C8C;

// "batches 3–5" or "batches 3, 7, 9" for a span's tooltip.
std::string batchList(const std::vector<short>& batches)
{
    if (batches.empty()) return "";
    const bool consecutive = batches.back() - batches.front() + 1 == static_cast<int>(batches.size());
    if (batches.size() == 1) return "batch " + std::to_string(batches.front());
    if (consecutive) return "batches " + std::to_string(batches.front()) + "\u2013" + std::to_string(batches.back());
    std::string out = "batches ";
    for (std::size_t i = 0; i < batches.size() && i < 12; ++i)
        out += (i ? ", " : "") + std::to_string(batches[i]);
    return batches.size() > 12 ? out + " \u2026" : out;
}

} // namespace

long RunEndSeconds(const GanttFacility& facility)
{
    long end = 0;
    for (int v = 0; v < facility.GetNumSchedVessels(); ++v) {
        for (int b = 0; b < facility.GetNumTimeBlocks(v); ++b) {
            if (const auto block = facility.GetScheduleBlock(v, b)) end = std::max({end, block->start, block->end});
        }
        const Array<long> inUse = facility.GetInUseBlocks(v);
        for (int i = 0; i < inUse.GetSize(); ++i)
            end = std::max(end, inUse[i]);
    }
    return end;
}

RowBlocks ReadRowBlocks(const GanttFacility& facility, int row)
{
    std::vector<std::pair<LodBlock, int>> read;
    for (int b = 0; b < facility.GetNumTimeBlocks(row); ++b) {
        if (const auto block = facility.GetScheduleBlock(row, b))
            read.push_back({{block->start, block->end, block->batch, block->empty}, b});
    }
    std::stable_sort(read.begin(), read.end(),
                     [](const auto& x, const auto& y) { return x.first.start < y.first.start; });
    RowBlocks out;
    for (const auto& [block, index] : read) {
        out.blocks.push_back(block);
        out.index.push_back(index);
    }
    const Array<long> held = facility.GetInUseBlocks(row);
    for (int i = 0; i + 1 < held.GetSize(); i += 2)
        out.inUse.push_back({held[i], held[i + 1], 1});
    std::stable_sort(out.inUse.begin(), out.inUse.end(),
                     [](const LodStretch& x, const LodStretch& y) { return x.start < y.start; });
    return out;
}

std::vector<LodStretch> NonWorkingStretches(const GanttFacility& facility, int row, long from, long to, long span)
{
    std::vector<LodStretch> out;
    const COleDateTime start = facility.GetStartTime();
    const long lo = std::min(from, span), hi = std::min(to, span);
    if (!facility.GetVesselByIndex(row) || start.GetStatus() != COleDateTime::valid || !facility.GetCalendar() ||
        hi <= lo)
        return out;
    COleDateTime a = start, b = start;
    a.m_dt = start.m_dt + static_cast<double>(lo) / 86400.0;
    b.m_dt = start.m_dt + static_cast<double>(hi) / 86400.0;
    List<COleDateTime> working;
    facility.GetCalendarBlocks(row, a, b, working);
    if (working.GetCount() < 2) return out;
    long cursor = lo;
    auto add = [&](long x, long y) {
        if (y > x) out.push_back({x, y, 1});
    };
    for (int i = 0; i + 1 < working.GetCount(); i += 2) {
        const long x = std::lround((working.GetAt(i).m_dt - start.m_dt) * 86400.0);
        const long y = std::lround((working.GetAt(i + 1).m_dt - start.m_dt) * 86400.0);
        add(cursor, std::min(x, hi));
        cursor = std::max(cursor, y);
    }
    add(cursor, hi);
    return out;
}

long BusiestWindow(const GanttFacility& facility, long length)
{
    std::vector<long> starts;
    for (int v = 0; v < facility.GetNumSchedVessels(); ++v)
        for (const LodBlock& b : ReadRowBlocks(facility, v).blocks)
            starts.push_back(b.start);
    std::sort(starts.begin(), starts.end());
    std::size_t best = 0, bestCount = 0;
    for (std::size_t i = 0, j = 0; i < starts.size(); ++i) {
        while (j < starts.size() && starts[j] < starts[i] + length)
            ++j;
        if (j - i > bestCount) {
            bestCount = j - i;
            best = i;
        }
    }
    return starts.empty() ? 0 : starts[best];
}

std::string RenderGanttSvg(const GanttFacility& facility, const GanttSvgOptions& options)
{
    const int rows = facility.GetNumSchedVessels();
    const long end = RunEndSeconds(facility);
    const long span = end > 0 ? end : 3600;
    ChartFrame frame;
    frame.start = facility.GetStartTime();
    frame.width = std::max(options.width, kLabelWidth + 200);
    frame.left = kLabelWidth;
    frame.from = std::clamp(options.from, 0L, span);
    frame.to = options.to < 0 ? span : std::max(options.to, frame.from + 1);
    const int width = frame.width;
    const int plotWidth = frame.PlotWidth();
    const int height = kTop + std::max(rows, 1) * kRowHeight + 30 + kLegendHeight;
    const TimeWindow window = frame.Window();
    auto x = [&](long t) { return frame.X(static_cast<double>(t)); };
    // Every mark at least a visible sliver wide.
    auto widthOf = [&](long a, long b, double least) { return FormatNumber(std::max(x(b) - x(a), least)); };
    const COleDateTime& start = frame.start;

    std::ostringstream out;
    if (options.standalone) out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"gantt\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << ' ' << height << "\" font-family=\"Helvetica, Arial, sans-serif\">\n";
    out << "<rect x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height << "\" fill=\"#FFFFFF\"/>\n";
    out << "<text x=\"" << kLabelWidth
        << "\" y=\"16\" font-size=\"13\" font-weight=\"bold\" fill=\"#222\">Schedule from "
        << XmlEscape(FormatRunTime(start, frame.from)) << " to " << XmlEscape(FormatRunTime(start, frame.to))
        << "</text>\n";
    const int plotBottom = kTop + std::max(rows, 1) * kRowHeight;
    out << DateAxisSvg(frame, kTop - 4, plotBottom, true);

    for (int v = 0; v < rows; ++v) {
        const int y = kTop + v * kRowHeight;
        const Vessel* vessel = facility.GetVesselByIndex(v);
        const std::string name = vessel ? vessel->GetName().str() : std::string();
        out << "<g class=\"row\">\n";
        if (v % 2 == 1)
            out << "<rect x=\"" << kLabelWidth << "\" y=\"" << y << "\" width=\"" << plotWidth << "\" height=\""
                << kRowHeight << "\" fill=\"#F6F7F9\"/>\n";
        out << "<text x=\"" << kLabelWidth - 6 << "\" y=\"" << y + 15
            << "\" font-size=\"11\" text-anchor=\"end\" fill=\"#222\">" << XmlEscape(name) << "</text>\n";

        for (const LodStretch& s : MergeStretches(NonWorkingStretches(facility, v, frame.from, frame.to, span), window))
            out << "<rect class=\"offshift\" x=\"" << FormatNumber(x(s.start)) << "\" y=\"" << y << "\" width=\""
                << widthOf(s.start, s.end, 0.5) << "\" height=\"" << kRowHeight
                << "\" fill=\"#C8CCD4\" fill-opacity=\"0.55\"><title>Non-working time</title></rect>\n";

        const RowBlocks row = ReadRowBlocks(facility, v);
        for (const LodStretch& s : MergeStretches(row.inUse, window))
            out << "<rect class=\"inuse\" x=\"" << FormatNumber(x(s.start)) << "\" y=\"" << y + 6 << "\" width=\""
                << widthOf(s.start, s.end, 1.0) << "\" height=\"" << kRowHeight - 12 << "\" fill=\"#B9C3D6\"><title>"
                << XmlEscape(name) << " holds material " << XmlEscape(FormatRunTime(start, s.start)) << " to "
                << XmlEscape(FormatRunTime(start, s.end)) << "</title></rect>\n";

        for (const LodEntry& e : MergeBlocks(row.blocks, window)) {
            const double x0 = x(e.start), x1 = x(e.end);
            if (e.count > 1) {
                const int colour = e.batches.size() == 1 ? BatchColour(e.batches.front()) : kMixedColour;
                out << "<rect class=\"span\" x=\"" << FormatNumber(x0) << "\" y=\"" << y + 3 << "\" width=\""
                    << widthOf(e.start, e.end, 1.0) << "\" height=\"" << kRowHeight - 6 << "\" fill=\""
                    << HexColour(e.empty ? Lighten(colour, 0.55) : colour) << "\"><title>" << XmlEscape(name) << "\n"
                    << e.count << " operations, " << batchList(e.batches)
                    << "\nFrom: " << XmlEscape(FormatRunTime(start, e.start))
                    << "\nTo: " << XmlEscape(FormatRunTime(start, e.end)) << "</title></rect>\n";
                continue;
            }
            const ScheduleBlock block = facility.GetScheduleBlock(v, row.index[e.first]).value_or(ScheduleBlock{});
            const bool empty = block.empty;
            const int colour = BatchColour(block.batch);
            std::string stepText = block.stepName.str();
            if (!block.stepVersion.str().empty()) stepText += " (" + block.stepVersion.str() + ")";
            out << "<rect class=\"bar\" x=\"" << FormatNumber(x0) << "\" y=\"" << y + 3 << "\" width=\""
                << widthOf(e.start, e.end, 1.0) << "\" height=\"" << kRowHeight - 6 << "\" fill=\""
                << HexColour(empty ? Lighten(colour, 0.55) : colour) << '"';
            // Outlines only where the bar is wide enough to keep its colour.
            if (x1 - x0 >= 4.0) out << " stroke=\"#333333\" stroke-width=\"0.5\"";
            out << "><title>" << XmlEscape(name) << "\nStep: " << XmlEscape(stepText)
                << "\nOperation: " << XmlEscape(block.op.str()) << "\nBatch: " << block.batch
                << "\nStart: " << XmlEscape(FormatRunTime(start, block.start))
                << "\nEnd: " << XmlEscape(FormatRunTime(start, block.end)) << (empty ? "\n(empty vessel)" : "")
                << "</title></rect>\n";
        }
        out << "</g>\n";
    }
    out << "<line x1=\"" << kLabelWidth << "\" y1=\"" << plotBottom << "\" x2=\"" << kLabelWidth + plotWidth
        << "\" y2=\"" << plotBottom << "\" stroke=\"#888\"/>\n";

    // Legend: the nine batch colours, which repeat, spans of several
    // batches, in-use and non-working time.
    const int ly = plotBottom + 22;
    out << "<g class=\"legend\" font-size=\"11\" fill=\"#333\">\n";
    int lx = kLabelWidth;
    out << "<text x=\"" << lx << "\" y=\"" << ly << "\">Batch</text>\n";
    lx += 38;
    for (int batch = 1; batch <= 9; ++batch) {
        out << "<rect x=\"" << lx << "\" y=\"" << ly - 10 << "\" width=\"12\" height=\"12\" fill=\""
            << HexColour(BatchColour(batch)) << "\"/><text x=\"" << lx + 15 << "\" y=\"" << ly << "\">" << batch
            << "</text>\n";
        lx += 30;
    }
    out << "<text x=\"" << lx + 4 << "\" y=\"" << ly
        << "\">colours repeat every nine batches: batch 10 has batch 1\u2019s</text>\n";
    auto swatch = [&](int sx, const char* fill, const char* text) {
        out << "<rect x=\"" << sx << "\" y=\"" << ly + 8 << "\" width=\"12\" height=\"12\" fill=\"" << fill
            << "\"/><text x=\"" << sx + 16 << "\" y=\"" << ly + 18 << "\">" << text << "</text>\n";
    };
    swatch(kLabelWidth, HexColour(kMixedColour).c_str(), "Several batches within a pixel");
    swatch(kLabelWidth + 210, "#B9C3D6", "In use, idle");
    swatch(kLabelWidth + 320, "#C8CCD4", "Non-working time");
    out << "</g>\n</svg>\n";
    return out.str();
}

} // namespace batchplant::cli
