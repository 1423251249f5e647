#include "GanttSvg.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

#include "Html.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::cli {
namespace {

constexpr int kLabelWidth = 210;
constexpr int kRowHeight = 22;
constexpr int kTop = 46;
constexpr int kLegendHeight = 34;

// A tick spacing giving at most about twelve ticks over `span` seconds.
long tickStep(long span)
{
    static const long steps[] = {60,       300,       900,   1800,      3600,      2 * 3600,   3 * 3600,
                                 6 * 3600, 12 * 3600, 86400, 2 * 86400, 7 * 86400, 14 * 86400, 28 * 86400};
    for (long s : steps)
        if (span / s <= 12) return s;
    const long weeks = span / (12 * 7 * 86400) + 1;
    return weeks * 7 * 86400;
}

} // namespace

long RunEndSeconds(const GanttFacility& facility)
{
    long end = 0;
    for (int v = 0; v < facility.GetNumSchedVessels(); ++v) {
        for (int b = 0; b < facility.GetNumTimeBlocks(v); ++b) {
            CString step, version, op, rec;
            long stepID = 0, opID = 0, s = 0, e = 0;
            short batch = 0;
            bool empty = false;
            if (facility.GetScheduleInfo(v, b, step, version, op, stepID, opID, rec, s, e, batch, empty))
                end = std::max({end, s, e});
        }
        const Array<long> inUse = facility.GetInUseBlocks(v);
        for (int i = 0; i < inUse.GetSize(); ++i)
            end = std::max(end, inUse[i]);
    }
    return end;
}

std::string RenderGanttSvg(const GanttFacility& facility, const GanttSvgOptions& options)
{
    const int rows = facility.GetNumSchedVessels();
    const int width = std::max(options.width, kLabelWidth + 200);
    const int plotWidth = width - kLabelWidth - 20;
    const int height = kTop + std::max(rows, 1) * kRowHeight + 30 + kLegendHeight;
    const long end = RunEndSeconds(facility);
    const long span = end > 0 ? end : 3600;
    const double scale = static_cast<double>(plotWidth) / static_cast<double>(span);
    auto xOf = [&](long t) { return kLabelWidth + static_cast<double>(std::clamp(t, 0L, span)) * scale; };
    const COleDateTime start = facility.GetStartTime();

    std::ostringstream out;
    if (options.standalone) out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"gantt\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << ' ' << height << "\" font-family=\"Helvetica, Arial, sans-serif\">\n";
    out << "<rect x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height << "\" fill=\"#FFFFFF\"/>\n";
    out << "<text x=\"" << kLabelWidth
        << "\" y=\"16\" font-size=\"13\" font-weight=\"bold\" fill=\"#222\">Schedule from "
        << XmlEscape(FormatRunTime(start, 0)) << " to " << XmlEscape(FormatRunTime(start, end)) << "</text>\n";

    // Time axis with grid lines.
    const long step = tickStep(span);
    const int plotBottom = kTop + std::max(rows, 1) * kRowHeight;
    out << "<g class=\"axis\" font-size=\"10\" fill=\"#444\">\n";
    for (long t = 0; t <= span; t += step) {
        const double x = xOf(t);
        out << "<line x1=\"" << FormatNumber(x) << "\" y1=\"" << kTop - 4 << "\" x2=\"" << FormatNumber(x) << "\" y2=\""
            << plotBottom << "\" stroke=\"#DDD\"/>";
        out << "<text x=\"" << FormatNumber(x) << "\" y=\"" << kTop - 8 << "\" text-anchor=\"middle\">"
            << XmlEscape(FormatRunTime(start, t)) << "</text>\n";
    }
    out << "</g>\n";

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

        // Non-working time: the complement of the calendar's working blocks.
        if (vessel && start.GetStatus() == COleDateTime::valid && facility.GetCalendar()) {
            COleDateTime to = start;
            to.m_dt = start.m_dt + static_cast<double>(span) / 86400.0;
            List<COleDateTime> blocks;
            facility.GetCalendarBlocks(v, start, to, blocks);
            long cursor = 0;
            auto shade = [&](long from, long until) {
                if (until <= from) return;
                out << "<rect class=\"offshift\" x=\"" << FormatNumber(xOf(from)) << "\" y=\"" << y << "\" width=\""
                    << FormatNumber(xOf(until) - xOf(from)) << "\" height=\"" << kRowHeight
                    << "\" fill=\"#C8CCD4\" fill-opacity=\"0.55\"><title>Non-working time</title></rect>\n";
            };
            if (blocks.GetCount() >= 2) {
                for (int i = 0; i + 1 < blocks.GetCount(); i += 2) {
                    const long a = std::lround((blocks.GetAt(i).m_dt - start.m_dt) * 86400.0);
                    const long b = std::lround((blocks.GetAt(i + 1).m_dt - start.m_dt) * 86400.0);
                    shade(cursor, a);
                    cursor = std::max(cursor, b);
                }
                shade(cursor, span);
            }
        }

        const Array<long> inUse = facility.GetInUseBlocks(v);
        for (int i = 0; i + 1 < inUse.GetSize(); i += 2) {
            const double x0 = xOf(inUse[i]), x1 = xOf(inUse[i + 1]);
            out << "<rect class=\"inuse\" x=\"" << FormatNumber(x0) << "\" y=\"" << y + 6 << "\" width=\""
                << FormatNumber(std::max(x1 - x0, 0.5)) << "\" height=\"" << kRowHeight - 12
                << "\" fill=\"#B9C3D6\"><title>" << XmlEscape(name) << " holds material "
                << XmlEscape(FormatRunTime(start, inUse[i])) << " to " << XmlEscape(FormatRunTime(start, inUse[i + 1]))
                << "</title></rect>\n";
        }

        for (int b = 0; b < facility.GetNumTimeBlocks(v); ++b) {
            CString step, version, op, rec;
            long stepID = 0, opID = 0, s = 0, e = 0;
            short batch = 0;
            bool empty = false;
            if (!facility.GetScheduleInfo(v, b, step, version, op, stepID, opID, rec, s, e, batch, empty)) continue;
            const int colour = BatchColour(batch);
            const double x0 = xOf(s), x1 = xOf(e);
            std::string stepText = step.str();
            if (!version.str().empty()) stepText += " (" + version.str() + ")";
            out << "<rect class=\"bar\" x=\"" << FormatNumber(x0) << "\" y=\"" << y + 3 << "\" width=\""
                << FormatNumber(std::max(x1 - x0, 0.8)) << "\" height=\"" << kRowHeight - 6 << "\" fill=\""
                << HexColour(empty ? Lighten(colour, 0.55) : colour) << "\" stroke=\""
                << "#333333"
                << "\" stroke-width=\"0.5\"><title>" << XmlEscape(name) << "\nStep: " << XmlEscape(stepText)
                << "\nOperation: " << XmlEscape(op.str()) << "\nBatch: " << batch
                << "\nStart: " << XmlEscape(FormatRunTime(start, s)) << "\nEnd: " << XmlEscape(FormatRunTime(start, e))
                << (empty ? "\n(empty vessel)" : "") << "</title></rect>\n";
        }
        out << "</g>\n";
    }
    out << "<line x1=\"" << kLabelWidth << "\" y1=\"" << plotBottom << "\" x2=\"" << kLabelWidth + plotWidth
        << "\" y2=\"" << plotBottom << "\" stroke=\"#888\"/>\n";

    // Legend: the batch palette, in-use and non-working time.
    const int ly = plotBottom + 22;
    out << "<g class=\"legend\" font-size=\"11\" fill=\"#333\">\n";
    int x = kLabelWidth;
    for (int batch = 1; batch <= 9; ++batch) {
        out << "<rect x=\"" << x << "\" y=\"" << ly - 10 << "\" width=\"12\" height=\"12\" fill=\""
            << HexColour(BatchColour(batch)) << "\"/><text x=\"" << x + 16 << "\" y=\"" << ly << "\">Batch " << batch
            << "</text>\n";
        x += 70;
    }
    out << "<rect x=\"" << x << "\" y=\"" << ly - 10 << "\" width=\"12\" height=\"12\" fill=\"#B9C3D6\"/><text x=\""
        << x + 16 << "\" y=\"" << ly << "\">In use, idle</text>\n";
    x += 100;
    out << "<rect x=\"" << x << "\" y=\"" << ly - 10 << "\" width=\"12\" height=\"12\" fill=\"#C8CCD4\"/><text x=\""
        << x + 16 << "\" y=\"" << ly << "\">Non-working time</text>\n";
    out << "</g>\n</svg>\n";
    return out.str();
}

} // namespace batchplant::cli
