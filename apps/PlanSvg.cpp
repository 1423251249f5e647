#include "PlanSvg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"
#include "render/Html.h"

namespace batchplant::cli {
namespace {

constexpr double kPad = 12.0;         // pixels around a floor's rectangle
constexpr double kTitleHeight = 22.0; // floor title line
constexpr double kCaptionHeight = 16.0;
constexpr double kMargin = 1.0;    // units around the vessels, as the floor's own rectangle
constexpr double kLabelRoom = 0.6; // units under the lowest vessel for its tag
constexpr double kTagRoom = 40.0;  // pixels each side of the floor, for the tags of vessels at its edge
constexpr double kTitleCharWidth = 8.5;

// Every number written is finite: a position or size that is not (from a
// damaged database) is drawn as 0.
double finite(double v) { return std::isfinite(v) ? v : 0.0; }

std::string num(double v)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", finite(v));
    return buffer;
}

std::string colour(double r, double g, double b)
{
    auto channel = [](double c) {
        const double v = std::clamp(finite(c), 0.0, 1.0);
        return static_cast<int>(v * 255.0);
    };
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", channel(r), channel(g), channel(b));
    return buffer;
}

std::string packedColour(int packed)
{
    return colour(((packed >> 16) & 0xFF) / 255.0, ((packed >> 8) & 0xFF) / 255.0, (packed & 0xFF) / 255.0);
}

// What is drawn of a floor: its shown vessels and the extent they need.
struct FloorExtent {
    std::vector<const Vessel*> vessels;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
};

FloorExtent extentOf(const Plane& floor)
{
    FloorExtent e;
    // A floor without shown vessels is a small square around its centre.
    e.minX = e.maxX = finite(floor.GetCenterX());
    e.minY = e.maxY = finite(floor.GetCenterY());
    bool first = true;
    for (int i = 0; i < floor.GetNumVessels(); ++i) {
        const Vessel* v = floor.GetVesselByIndex(i);
        if (!v || !v->IsVisible()) continue;
        e.vessels.push_back(v);
        const double r = std::max(0.0, finite(v->GetRadius()));
        const double x = finite(v->GetX());
        const double y = finite(v->GetY());
        if (first) {
            e.minX = e.maxX = x;
            e.minY = e.maxY = y;
            first = false;
        }
        e.minX = std::min(e.minX, x - r);
        e.maxX = std::max(e.maxX, x + r);
        e.minY = std::min(e.minY, y - r - kLabelRoom);
        e.maxY = std::max(e.maxY, y + r);
    }
    e.minX -= kMargin;
    e.maxX += kMargin;
    e.minY -= kMargin;
    e.maxY += kMargin;
    return e;
}

double scaleFor(const FloorExtent& e, const PlanSvgOptions& o)
{
    const double width = e.maxX - e.minX;
    double scale = o.scale > 0.0 && std::isfinite(o.scale) ? o.scale : 40.0;
    if (o.maxWidth > 0.0 && width * scale > o.maxWidth) scale = std::max(1.0, o.maxWidth / width);
    const double height = e.maxY - e.minY;
    if (o.maxHeight > 0.0 && height * scale > o.maxHeight) scale = std::max(0.05, o.maxHeight / height);
    return scale;
}

struct FloorSize {
    double width;
    double height;
};

std::string floorTitle(const Plane& floor, const FloorExtent& e)
{
    std::string title = floor.GetName().str();
    if (!e.vessels.empty() && !e.vessels.front()->GetPlantName().IsEmpty())
        title += " \xE2\x80\x94 " + e.vessels.front()->GetPlantName().str();
    return title;
}

std::size_t characters(const std::string& utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The floor's rectangle sits centred in a drawing wide enough for the tags
// beside it and for its title.
FloorSize sizeOf(const Plane& floor, const FloorExtent& e, double scale, const PlanSvgOptions& o)
{
    const double top = kTitleHeight + (o.caption.empty() ? 0.0 : kCaptionHeight);
    const double title = 2 * kPad + kTitleCharWidth * static_cast<double>(characters(floorTitle(floor, e)));
    return {std::max((e.maxX - e.minX) * scale + 2 * (kPad + kTagRoom), title),
            (e.maxY - e.minY) * scale + 2 * kPad + top};
}

bool onFloor(const Vessel* v, const Plane& floor) { return v && v->GetFloor() == &floor; }

std::string floorBody(const Facility& facility, const Plane& floor, const FloorExtent& e, double scale,
                      const PlanSvgOptions& o, const std::string& idPrefix)
{
    const double top = kPad + kTitleHeight + (o.caption.empty() ? 0.0 : kCaptionHeight);
    const double left = (sizeOf(floor, e, scale, o).width - (e.maxX - e.minX) * scale) / 2;
    auto sx = [&](double x) { return left + (finite(x) - e.minX) * scale; };
    auto sy = [&](double y) { return top + (e.maxY - finite(y)) * scale; };

    std::string out;
    out += "<text class=\"floor-title\" x=\"" + num(kPad) + "\" y=\"" + num(kPad + 14) + "\">" +
           XmlEscape(floorTitle(floor, e)) + "</text>\n";
    if (!o.caption.empty())
        out += "<text class=\"caption\" x=\"" + num(kPad) + "\" y=\"" + num(kPad + kTitleHeight + 12) + "\">" +
               XmlEscape(o.caption) + "</text>\n";

    out += "<rect class=\"floor\" x=\"" + num(sx(e.minX)) + "\" y=\"" + num(sy(e.maxY)) + "\" width=\"" +
           num((e.maxX - e.minX) * scale) + "\" height=\"" + num((e.maxY - e.minY) * scale) + "\" fill=\"" +
           packedColour(floor.GetColor()) + "\" fill-opacity=\"0.18\" stroke=\"" + packedColour(floor.GetColor()) +
           "\" stroke-width=\"2\"" + (floor.IsSelected() ? " stroke-dasharray=\"6 3\"" : "") + "/>\n";

    // Pipes first, so that the vessels cover their ends.
    for (int i = 0; i < facility.GetNumConnectingStreams(); ++i) {
        const Stream* s = facility.GetStreamByIndex(i);
        if (!s || !s->IsConnectingAndDrawable()) continue;
        const Vessel* from = s->GetInputVessel();
        const Vessel* to = s->GetOutputVessel();
        if (!onFloor(from, floor) || !onFloor(to, floor) || from == to) continue;
        const double x1 = sx(from->GetX()), y1 = sy(from->GetY());
        const double x2 = sx(to->GetX()), y2 = sy(to->GetY());
        const bool flowing = s->IsInUse() != 0;
        out += "<polyline class=\"pipe";
        out += flowing ? " flowing\"" : "\"";
        out += " points=\"" + num(x1) + "," + num(y1) + " " + num((x1 + x2) / 2) + "," + num((y1 + y2) / 2) + " " +
               num(x2) + "," + num(y2) + "\"";
        if (s->IsSelected()) out += " stroke=\"#ff0000\"";
        out += " marker-mid=\"url(#" + idPrefix + (flowing ? "arrow-flowing" : "arrow") + ")\"><title>" +
               XmlEscape(s->GetName().str()) + (flowing ? " (flowing)" : "") + "</title></polyline>\n";
    }

    int k = 0;
    for (const Vessel* v : e.vessels) {
        const double r = std::max(0.0, finite(v->GetRadius())) * scale;
        const double cx = sx(v->GetX()), cy = sy(v->GetY());
        const double fill = std::clamp(finite(v->GetVolume()), 0.0, 1.0);
        double cr, cg, cb, ca, sr, sg, sb, sa;
        v->GetContentsColor(cr, cg, cb, ca);
        v->GetCurrentColor(sr, sg, sb, sa);
        const bool reacting = v->GetProc() && v->GetProc()->Reacting(v->GetCurrentTime());
        const std::string clip = idPrefix + "v" + std::to_string(k++);

        std::string cls = "vessel";
        if (v->IsHeating()) cls += " heating";
        if (v->IsCooling()) cls += " cooling";
        if (reacting) cls += " reacting";
        if (v->IsActive()) cls += " active";
        out += "<g class=\"" + cls + "\"><title>" + XmlEscape(v->GetFullName().str());
        if (fill > 0.0) out += " \xE2\x80\x94 " + std::to_string(static_cast<int>(std::lround(fill * 100))) + "% full";
        out += "</title>\n";
        out += "<clipPath id=\"" + clip + "\"><circle cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num(r) +
               "\"/></clipPath>\n";
        out += "<circle cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num(r) + "\" fill=\"#ffffff\"/>\n";
        if (fill > 0.0)
            out += "<rect class=\"contents\" x=\"" + num(cx - r) + "\" y=\"" + num(cy + r - 2 * r * fill) +
                   "\" width=\"" + num(2 * r) + "\" height=\"" + num(2 * r * fill) + "\" fill=\"" + colour(cr, cg, cb) +
                   "\" clip-path=\"url(#" + clip + ")\"/>\n";
        const bool marked = v->IsHeating() || v->IsCooling() || v->IsSelected();
        out += "<circle class=\"shell\" cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num(r) +
               "\" fill=\"none\" stroke=\"" + colour(sr, sg, sb) + "\" stroke-width=\"" + (marked ? "4" : "2") +
               "\"/>\n";
        if (reacting)
            out += "<circle class=\"reaction\" cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num(r + 4) +
                   "\" fill=\"none\" stroke=\"#a000e0\" stroke-width=\"2\" stroke-dasharray=\"4 3\"/>\n";
        if (v->GetShowLabel()) {
            const int label = v->GetLabelColor();
            // The hosts' default yellow label is unreadable on a light
            // background; it is drawn dark instead.
            const std::string ink = label == 0xFFFF00 ? std::string("#333333") : packedColour(label);
            out += "<text class=\"label\" x=\"" + num(cx) + "\" y=\"" + num(cy + r + 12) + "\" fill=\"" + ink + "\">" +
                   XmlEscape(v->GetName().str()) + "</text>\n";
        }
        out += "</g>\n";
    }
    return out;
}

std::string defs(const std::string& idPrefix)
{
    return "<defs>\n"
           "<marker id=\"" +
           idPrefix +
           "arrow\" viewBox=\"0 0 10 10\" refX=\"5\" refY=\"5\" markerWidth=\"6\" markerHeight=\"6\" "
           "orient=\"auto\"><path d=\"M0,0 L10,5 L0,10 z\" fill=\"#888888\"/></marker>\n"
           "<marker id=\"" +
           idPrefix +
           "arrow-flowing\" viewBox=\"0 0 10 10\" refX=\"5\" refY=\"5\" markerWidth=\"5\" markerHeight=\"5\" "
           "orient=\"auto\"><path d=\"M0,0 L10,5 L0,10 z\" fill=\"#0070ff\"/></marker>\n"
           "</defs>\n";
}

// The drawing's rules, each selector under `scope` (empty for a document
// of its own).
std::string styleRules(const std::string& scope)
{
    static const char* const rules[][2] = {
        {"text", "font-family: sans-serif;"},
        {".floor-title", "font-size: 15px; font-weight: bold; fill: #222222;"},
        {".caption", "font-size: 12px; fill: #444444;"},
        {".label", "font-size: 11px; text-anchor: middle;"},
        {".active .label", "font-weight: bold;"},
        {".pipe", "fill: none; stroke: #888888; stroke-width: 1.5;"},
        {".pipe.flowing", "stroke: #0070ff; stroke-width: 4;"},
        {".legend", "font-size: 11px; fill: #333333;"},
    };
    std::string out;
    for (const auto& rule : rules)
        out += scope + rule[0] + " { " + rule[1] + " }\n";
    return out;
}

const std::string kStyle = "<style>\n" + styleRules("") + "</style>\n";

const char* const kXmlHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::string svgOpen(double width, double height, bool standalone, double x = 0.0, double y = 0.0)
{
    std::string out = "<svg";
    if (standalone) out += " xmlns=\"http://www.w3.org/2000/svg\"";
    if (x != 0.0 || y != 0.0) out += " x=\"" + num(x) + "\" y=\"" + num(y) + "\"";
    out += " width=\"" + num(width) + "\" height=\"" + num(height) + "\" viewBox=\"0 0 " + num(width) + " " +
           num(height) + "\">\n";
    return out;
}

std::string legend(double y)
{
    struct Item {
        const char* text;
        const char* shape;
    };
    const Item items[] = {
        {"heating", "<circle cx=\"8\" cy=\"0\" r=\"7\" fill=\"#ffffff\" stroke=\"#ff7f00\" stroke-width=\"4\"/>"},
        {"cooling", "<circle cx=\"8\" cy=\"0\" r=\"7\" fill=\"#ffffff\" stroke=\"#7f7fff\" stroke-width=\"4\"/>"},
        {"reacting", "<circle cx=\"8\" cy=\"0\" r=\"8\" fill=\"none\" stroke=\"#a000e0\" stroke-width=\"2\" "
                     "stroke-dasharray=\"4 3\"/>"},
        {"contents (batch colour)", "<rect x=\"1\" y=\"-7\" width=\"14\" height=\"14\" fill=\"#ff0000\"/>"},
        {"flowing pipe", "<line x1=\"0\" y1=\"0\" x2=\"16\" y2=\"0\" stroke=\"#0070ff\" stroke-width=\"4\"/>"},
    };
    std::string out = "<g class=\"legend\" transform=\"translate(" + num(kPad) + "," + num(y + 12) + ")\">\n";
    double x = 0.0;
    for (const Item& item : items) {
        out += "<g transform=\"translate(" + num(x) + ",0)\">" + item.shape + "<text x=\"22\" y=\"4\">" + item.text +
               "</text></g>\n";
        x += 40.0 + 6.5 * static_cast<double>(std::string(item.text).size());
    }
    out += "</g>\n";
    return out;
}

constexpr double kLegendHeight = 28.0;

} // namespace

std::string PlanSvgStyle(const std::string& scope) { return styleRules(scope); }

std::string RenderFloorSvg(const Facility& facility, const Plane& floor, const PlanSvgOptions& options, bool standalone)
{
    const FloorExtent e = extentOf(floor);
    const double scale = scaleFor(e, options);
    const FloorSize size = sizeOf(floor, e, scale, options);
    const std::string prefix = options.idPrefix.empty() ? "f" + std::to_string(floor.GetID()) + "-" : options.idPrefix;
    std::string out = standalone ? kXmlHeader : "";
    out += svgOpen(size.width, size.height, standalone);
    if (standalone) out += kStyle;
    out += defs(prefix);
    out += floorBody(facility, floor, e, scale, options, prefix);
    out += "</svg>\n";
    return out;
}

std::string RenderPlanSvg(const Facility& facility, const PlanSvgOptions& options)
{
    struct Placed {
        const Plane* floor;
        FloorExtent extent;
        double scale;
        FloorSize size;
    };
    std::vector<Placed> floors;
    double width = 320.0;
    double height = 0.0;
    for (int i = 0; i < facility.GetNumFloors(); ++i) {
        const Plane* p = facility.GetFloorByIndex(i);
        if (!p) continue;
        Placed placed{p, extentOf(*p), 0.0, {}};
        placed.scale = scaleFor(placed.extent, options);
        placed.size = sizeOf(*p, placed.extent, placed.scale, options);
        width = std::max(width, placed.size.width);
        height += placed.size.height;
        floors.push_back(std::move(placed));
    }
    if (floors.empty()) height = 40.0;
    height += kLegendHeight;

    std::string out = kXmlHeader;
    out += svgOpen(width, height, true);
    out += kStyle;
    out += "<rect x=\"0\" y=\"0\" width=\"" + num(width) + "\" height=\"" + num(height) + "\" fill=\"#fafafa\"/>\n";
    if (floors.empty())
        out += "<text class=\"floor-title\" x=\"" + num(kPad) + "\" y=\"" + num(kPad + 14) + "\">No floors</text>\n";
    double y = 0.0;
    int n = 0;
    for (const Placed& placed : floors) {
        // Floors may share an identifier; the position keeps ids unique.
        const std::string prefix = "f" + std::to_string(n++) + "-";
        out += svgOpen(placed.size.width, placed.size.height, false, 0.0, y);
        out += defs(prefix);
        out += floorBody(facility, *placed.floor, placed.extent, placed.scale, options, prefix);
        out += "</svg>\n";
        y += placed.size.height;
    }
    out += legend(floors.empty() ? 40.0 : y);
    out += "</svg>\n";
    return out;
}

} // namespace batchplant::cli
