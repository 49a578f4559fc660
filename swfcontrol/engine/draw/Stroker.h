// Turns a stroke path into polygons that a non-zero fill paints: one quad per
// segment, a wedge per join, a cap at each open end. All polygons wind the
// same way, so their overlaps add up instead of cancelling.
#pragma once

#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/format/Shape.h"

#include <cstddef>
#include <vector>

namespace swf {

class Rasterizer;

struct StrokeStyle {
    double halfWidth = 0.5; // in the units of the points given to Stroker::add
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3; // a miter reaches at most this many half widths from its vertex
    // Maps the stroke's outline to pixels: a stroke drawn in shape space
    // takes the shape's own stretch and skew.
    Matrix toPixels;
    // Pixels per unit along the thinnest side of toPixels: arcs are flattened
    // as finely as the stroke's curves, which are flattened in shape units.
    double pixelsPerUnit = 1;
};

class Stroker {
public:
    // `points` in pixel space; `closed` joins the last point back to the first
    // instead of capping both ends.
    // `curveInterior` (may be null) marks points inside a flattened curve:
    // their joins are miters, as a curve's outline has no corners to round.
    void add(const Point* points, std::size_t count, bool closed, const StrokeStyle& style, Rasterizer& out,
             const uint8_t* curveInterior = nullptr);

private:
    void polygon(Rasterizer& out);
    Matrix toPixels_;
    double pixelsPerUnit_ = 1;
    void arc(Point centre, Point from, double sweep);
    void join(Point p, Point u1, Point u2, const StrokeStyle& style, Rasterizer& out);
    void cap(Point p, Point u, CapStyle cap, double halfWidth, Rasterizer& out);

    std::vector<Point> path_;
    std::vector<uint8_t> interior_;
    std::vector<Point> poly_;
    std::vector<Point> arcPoints_;
};

} // namespace swf
