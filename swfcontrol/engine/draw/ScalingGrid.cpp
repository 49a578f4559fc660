#include "swfcontrol/engine/draw/ScalingGrid.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

// One axis: below `lo` and above `hi` distances to the edges keep their
// size, the middle takes what is left. When the sprite is too small for its
// corners, the whole axis scales alike, as Flash Player does.
double mapAxis(double v, double b0, double b1, double lo, double hi, double scale)
{
    if (!(std::fabs(scale) > 1e-9) || b1 <= b0)
        return v;
    lo = std::max(b0, std::min(lo, b1));
    hi = std::max(lo, std::min(hi, b1));
    const double left = (lo - b0) / scale, right = (b1 - hi) / scale;
    const double middle = (b1 - b0) - left - right; // what the centre spans, in unscaled units
    if (middle < 0 || hi <= lo)
        return v;
    if (v <= lo)
        return b0 + (v - b0) / scale;
    if (v >= hi)
        return b1 - (b1 - v) / scale;
    return b0 + left + (v - lo) * middle / (hi - lo);
}

int32_t twips(double v) { return static_cast<int32_t>(std::lround(std::max(-1e9, std::min(1e9, v)))); }

} // namespace

Point ScalingGrid::map(Point p) const
{
    return {mapAxis(p.x, bounds.xMin, bounds.xMax, grid.xMin, grid.xMax, scaleX),
            mapAxis(p.y, bounds.yMin, bounds.yMax, grid.yMin, grid.yMax, scaleY)};
}

Shape scaleNine(const Shape& shape, const Matrix& toSprite, const ScalingGrid& grid)
{
    Shape out = shape;
    const auto at = [&](int32_t x, int32_t y, int32_t& ox, int32_t& oy) {
        const Point p = grid.map(toSprite.apply({static_cast<double>(x), static_cast<double>(y)}));
        ox = twips(p.x);
        oy = twips(p.y);
    };
    for (ShapeEdge& e : out.edges) {
        at(e.x0, e.y0, e.x0, e.y0);
        at(e.x1, e.y1, e.x1, e.y1);
        if (e.curved)
            at(e.cx, e.cy, e.cx, e.cy);
    }
    // Fills keep their place in the shape: only their matrices move along.
    for (FillStyle& f : out.fills)
        f.matrix = toSprite * f.matrix;
    for (LineStyle& l : out.lines)
        l.fill.matrix = toSprite * l.fill.matrix;
    Point lo = grid.map(toSprite.apply({static_cast<double>(shape.bounds.xMin), static_cast<double>(shape.bounds.yMin)}));
    Point hi = grid.map(toSprite.apply({static_cast<double>(shape.bounds.xMax), static_cast<double>(shape.bounds.yMax)}));
    out.bounds = out.edgeBounds = Rect{twips(std::min(lo.x, hi.x)), twips(std::max(lo.x, hi.x)), twips(std::min(lo.y, hi.y)),
                                       twips(std::max(lo.y, hi.y))};
    return out;
}

} // namespace swf
