// From a shape's edges to outlines in pixel space: one fill's edges linked
// into closed contours, a line style's edges into stroke paths, and
// quadratic curves flattened to the scale they are drawn at.
#pragma once

#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/format/Shape.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace swf {

class Rasterizer;

// An edge of one fill, turned so that the fill lies on its right (fill1's
// side): edges naming the fill as fill0 run reversed.
struct DirectedEdge {
    int32_t x0 = 0, y0 = 0, cx = 0, cy = 0, x1 = 0, y1 = 0;
    bool curved = false;
};

inline DirectedEdge directed(const ShapeEdge& e, bool reversed)
{
    DirectedEdge d;
    if (reversed) {
        d.x0 = e.x1, d.y0 = e.y1, d.x1 = e.x0, d.y1 = e.y0;
    } else {
        d.x0 = e.x0, d.y0 = e.y0, d.x1 = e.x1, d.y1 = e.y1;
    }
    d.cx = e.cx, d.cy = e.cy, d.curved = e.curved;
    return d;
}

// Orders edges into contours: each contour follows edges whose start meets
// the previous end, preferring the next edge in file order, and ends where
// it comes back to its start or no edge continues it.
class ContourLinker {
public:
    // `order` gets edge indices contour by contour; `ends` gets the index in
    // `order` one past each contour.
    void link(const std::vector<DirectedEdge>& edges, std::vector<uint32_t>& order, std::vector<uint32_t>& ends);

private:
    static constexpr uint32_t kNone = 0xffffffffu;
    // A hash of start points, built for fills whose edges do not simply
    // follow one another: per slot its point and first unused edge, per
    // edge the next one starting at the same point.
    std::vector<uint64_t> slotKey_;
    std::vector<uint32_t> slotFirst_, next_;
    std::vector<uint8_t> slotTaken_;
    std::vector<uint8_t> used_;
};

// Maximum distance, in pixels, between a curve and its flattened polyline.
constexpr double kFlatness = 0.1;

// Appends the points of a flattened quadratic after `p0` (up to and including
// p1), its chords within `tol` (in the units of its points).
void flattenQuad(Point p0, Point c, Point p1, std::vector<Point>& out, double tol = kFlatness);

// Appends an edge's points after its start, the last of `out`: its end, and
// for a curve the points flattened between, unless the rasterizer's clip
// makes its chord enough.
void appendEdge(const DirectedEdge& e, const Matrix& m, const Rasterizer& clip, std::vector<Point>& out);

// Adds one fill's outline to the rasterizer: contours linked, flattened, and
// closed with a straight line where the shape left them open.
class FillOutline {
public:
    void add(const std::vector<DirectedEdge>& edges, const Matrix& toPixels, Rasterizer& out);

private:
    ContourLinker linker_;
    std::vector<uint32_t> order_, ends_;
    std::vector<Point> points_;
};

// The polylines that a line style strokes: consecutive edges that meet are
// one path, so their joins are drawn.
struct StrokePath {
    std::size_t first = 0, count = 0; // points in StrokePaths::points
    bool closed = false;              // ends where it started
};

struct StrokePaths {
    std::vector<Point> points;
    // Per point: 1 where a curve's flattening put it, inside that curve.
    std::vector<uint8_t> curveInterior;
    std::vector<StrokePath> paths;

    void clear()
    {
        points.clear();
        curveInterior.clear();
        paths.clear();
        open_ = false;
    }
    // Appends the edge to the current path or starts a new one; curves are
    // flattened to within `tol` in the units `m` maps to.
    void addEdge(const ShapeEdge& e, const Matrix& m, double tol = kFlatness);
    // Marks paths that end where they began; call once all edges are in.
    void finish();

private:
    void endPath();

    bool open_ = false;
    int32_t lastX_ = 0, lastY_ = 0;
    int32_t startX_ = 0, startY_ = 0;
};

} // namespace swf
