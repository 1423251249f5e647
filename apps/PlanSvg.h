#pragma once
// Top views of a facility's floors as SVG, the still picture of what the
// 3-D host animates: each floor a rectangle, each shown vessel a circle of
// its radius filled from the bottom to its volume fraction in its contents
// colour, its shell in its current colour (heating orange, cooling blue,
// selected red) with a dashed ring while a reaction runs, connecting pipes
// as lines with an arrow towards the vessel fed (flowing ones thick and
// blue), and the vessels' tags.
//
// Kept out of the library: the hosts draw for themselves. Used by the plan
// and report commands.

#include <string>

namespace batchplant {
class Facility;
class Plane;
} // namespace batchplant

namespace batchplant::cli {

struct PlanSvgOptions {
    // Pixels per unit of length; reduced for floors too wide for maxWidth.
    double scale = 40.0;
    double maxWidth = 1600.0;
    // And for floors too deep for maxHeight (0: no limit).
    double maxHeight = 0.0;
    // Prefix of the ids inside the drawing; by default from the floor's id.
    // A page that holds one floor several times gives each its own.
    std::string idPrefix;
    // A caption under the floor titles (e.g. the simulated time); none if
    // empty.
    std::string caption;
};

// The style rules of the drawings, each selector under `scope`: a page that
// holds floors drawn without `standalone` puts them in its own style sheet.
std::string PlanSvgStyle(const std::string& scope);

// One floor as an <svg> element with its width and height set; with
// `standalone`, as a whole document (XML declaration and namespace).
std::string RenderFloorSvg(const Facility& facility, const Plane& floor, const PlanSvgOptions& options,
                           bool standalone = true);

// Every floor of the facility, one below the other, with a legend, as one
// document. A facility without floors gives a document saying so.
std::string RenderPlanSvg(const Facility& facility, const PlanSvgOptions& options = {});

} // namespace batchplant::cli
