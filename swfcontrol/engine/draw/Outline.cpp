#include "swfcontrol/engine/draw/Outline.h"

#include "swfcontrol/engine/draw/Rasterizer.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

uint64_t pointKey(int32_t x, int32_t y)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) | static_cast<uint32_t>(y);
}

// Curves far larger than any frame still get a bounded number of segments.
constexpr int kMaxCurveSegments = 256;

std::size_t hashSlot(uint64_t key, std::size_t size)
{
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (size - 1);
}

// Up to this many edges, a contour's next edge is found by a plain scan.
constexpr uint32_t kScanLimit = 24;

} // namespace

void ContourLinker::link(const std::vector<DirectedEdge>& edges, std::vector<uint32_t>& order,
                         std::vector<uint32_t>& ends)
{
    order.clear();
    ends.clear();
    const uint32_t n = static_cast<uint32_t>(edges.size());
    used_.assign(n, 0);
    bool indexed = false;

    // Finds an unused edge starting at `key`, earliest in file order. Most
    // shapes list their edges in drawing order, so the index is built only
    // when a contour does not simply continue with the next edge.
    auto find = [&](uint64_t key) -> int64_t {
        // Most fills have a handful of edges: a scan costs less than sorting.
        if (n <= kScanLimit) {
            for (uint32_t i = 0; i < n; ++i) {
                if (!used_[i] && pointKey(edges[i].x0, edges[i].y0) == key)
                    return i;
            }
            return -1;
        }
        if (!indexed) {
            // Open addressing on the start point; edges sharing one are
            // chained in file order.
            std::size_t size = 16;
            while (size < 2 * static_cast<std::size_t>(n))
                size *= 2;
            slotKey_.resize(size);
            slotFirst_.assign(size, kNone);
            slotTaken_.assign(size, 0);
            next_.resize(n);
            for (uint32_t i = n; i-- > 0;) {
                const uint64_t k = pointKey(edges[i].x0, edges[i].y0);
                std::size_t slot = hashSlot(k, size);
                while (slotTaken_[slot] && slotKey_[slot] != k)
                    slot = (slot + 1) & (size - 1);
                slotTaken_[slot] = 1;
                slotKey_[slot] = k;
                next_[i] = slotFirst_[slot];
                slotFirst_[slot] = i;
            }
            indexed = true;
        }
        const std::size_t size = slotKey_.size();
        std::size_t slot = hashSlot(key, size);
        while (slotTaken_[slot] && slotKey_[slot] != key)
            slot = (slot + 1) & (size - 1);
        if (!slotTaken_[slot])
            return -1;
        // Edges already taken leave the chain, so none is passed twice.
        uint32_t* link = &slotFirst_[slot];
        while (*link != kNone && used_[*link])
            *link = next_[*link];
        return *link == kNone ? -1 : static_cast<int64_t>(*link);
    };

    for (uint32_t i = 0; i < n; ++i) {
        if (used_[i])
            continue;
        const uint64_t start = pointKey(edges[i].x0, edges[i].y0);
        uint32_t cur = i;
        for (;;) {
            used_[cur] = 1;
            order.push_back(cur);
            const uint64_t end = pointKey(edges[cur].x1, edges[cur].y1);
            if (end == start)
                break;
            const uint32_t next = cur + 1;
            if (next < n && !used_[next] && pointKey(edges[next].x0, edges[next].y0) == end) {
                cur = next;
                continue;
            }
            const int64_t found = find(end);
            if (found < 0)
                break;
            cur = static_cast<uint32_t>(found);
        }
        ends.push_back(static_cast<uint32_t>(order.size()));
    }
}

namespace {

// The parabola y = x^2 has an arc "flatness" measure whose integral these
// two functions approximate and invert; spacing points evenly in it spreads
// the error evenly along the curve.
double approxIntegral(double x)
{
    const double d = 0.67;
    return x / (1 - d + std::sqrt(std::sqrt(d * d * d * d + 0.25 * x * x)));
}

double approxInverseIntegral(double x)
{
    const double b = 0.39;
    return x * (1 - b + std::sqrt(b * b + 0.25 * x * x));
}

} // namespace

void flattenQuad(Point p0, Point c, Point p1, std::vector<Point>& out, double tol)
{
    // Points spaced evenly in that measure over the curve's stretch of the
    // parabola it is part of; their count keeps every chord within kFlatness.
    const double ddx = 2 * c.x - p0.x - p1.x, ddy = 2 * c.y - p0.y - p1.y;
    const double u0 = (c.x - p0.x) * ddx + (c.y - p0.y) * ddy;
    const double u2 = (p1.x - c.x) * ddx + (p1.y - c.y) * ddy;
    const double cross = (p1.x - p0.x) * ddy - (p1.y - p0.y) * ddx;
    const double dd = std::sqrt(ddx * ddx + ddy * ddy);
    if (!(std::fabs(cross) > 1e-9) || !(dd > 1e-12)) {
        // A straight curve may still run past an end and turn back (one
        // that returns to its start is the extreme case): its stroke
        // reaches the turning point.
        if (dd > 1e-12) {
            const double t = u0 / (dd * dd), u = 1 - t;
            if (t > 0 && t < 1)
                out.push_back({u * u * p0.x + 2 * u * t * c.x + t * t * p1.x, u * u * p0.y + 2 * u * t * c.y + t * t * p1.y});
        }
        out.push_back(p1);
        return;
    }
    // A curve that strays no further than kFlatness from its chord is its chord,
    // even where the measure below would ask for two segments: the aliased
    // reference images fill by the chord there. The margin takes in curves
    // whose twips put them exactly at the limit.
    const double chord = std::hypot(p1.x - p0.x, p1.y - p0.y);
    const double bulge = std::fabs((p1.x - p0.x) * (c.y - p0.y) - (p1.y - p0.y) * (c.x - p0.x));
    if (chord > 0 && !(bulge > 2 * chord * (tol + 1e-6))) {
        out.push_back(p1);
        return;
    }
    const double x0 = u0 / cross, x2 = u2 / cross;
    if (!(std::fabs(x2 - x0) > 1e-12)) {
        out.push_back(p1);
        return;
    }
    const double scale = std::fabs(cross) / (dd * std::fabs(x2 - x0));
    const double a0 = approxIntegral(x0), a2 = approxIntegral(x2);
    const double count = 0.5 * std::fabs(a2 - a0) * std::sqrt(scale / tol);
    int n = 1;
    if (count > 1)
        n = count < kMaxCurveSegments ? static_cast<int>(std::ceil(count)) : kMaxCurveSegments;
    const double v0 = approxInverseIntegral(a0), v2 = approxInverseIntegral(a2);
    for (int i = 1; i < n; ++i) {
        const double v = approxInverseIntegral(a0 + (a2 - a0) * i / n);
        const double t = (v - v0) / (v2 - v0), u = 1 - t;
        out.push_back({u * u * p0.x + 2 * u * t * c.x + t * t * p1.x, u * u * p0.y + 2 * u * t * c.y + t * t * p1.y});
    }
    out.push_back(p1);
}

void appendEdge(const DirectedEdge& e, const Matrix& m, const Rasterizer& clip, std::vector<Point>& out)
{
    const Point p1 = m.apply({static_cast<double>(e.x1), static_cast<double>(e.y1)});
    if (!e.curved) {
        out.push_back(p1);
        return;
    }
    const Point p0 = out.back();
    const Point c = m.apply({static_cast<double>(e.cx), static_cast<double>(e.cy)});
    if (clip.outsideClip(std::min({p0.x, c.x, p1.x}), std::min({p0.y, c.y, p1.y}), std::max({p0.x, c.x, p1.x}),
                         std::max({p0.y, c.y, p1.y})))
        out.push_back(p1);
    else
        flattenQuad(p0, c, p1, out);
}

void FillOutline::add(const std::vector<DirectedEdge>& edges, const Matrix& m, Rasterizer& out)
{
    linker_.link(edges, order_, ends_);
    std::size_t begin = 0;
    for (uint32_t end : ends_) {
        points_.clear();
        const DirectedEdge& first = edges[order_[begin]];
        points_.push_back(m.apply({static_cast<double>(first.x0), static_cast<double>(first.y0)}));
        for (std::size_t k = begin; k < end && points_.size() < Rasterizer::kMaxLines; ++k)
            appendEdge(edges[order_[k]], m, out, points_);
        // An open contour is closed by a straight line back to its start.
        for (std::size_t k = 0; k < points_.size(); ++k) {
            const Point a = points_[k], b = points_[(k + 1) % points_.size()];
            out.addLine(a.x, a.y, b.x, b.y);
        }
        begin = end;
    }
}

void StrokePaths::endPath()
{
    if (!open_)
        return;
    StrokePath& path = paths.back();
    path.closed = lastX_ == startX_ && lastY_ == startY_ && path.count > 1;
    open_ = false;
}

void StrokePaths::addEdge(const ShapeEdge& e, const Matrix& m, double tol)
{
    // A stroke beyond this many points is cut short (see Rasterizer::kMaxLines).
    if (points.size() >= Rasterizer::kMaxLines)
        return;
    if (!open_ || e.x0 != lastX_ || e.y0 != lastY_) {
        endPath();
        StrokePath path;
        path.first = points.size();
        points.push_back(m.apply({static_cast<double>(e.x0), static_cast<double>(e.y0)}));
        curveInterior.push_back(0);
        paths.push_back(path);
        open_ = true;
        startX_ = e.x0;
        startY_ = e.y0;
    }
    const Point p1 = m.apply({static_cast<double>(e.x1), static_cast<double>(e.y1)});
    if (e.curved)
        flattenQuad(points.back(), m.apply({static_cast<double>(e.cx), static_cast<double>(e.cy)}), p1, points, tol);
    else
        points.push_back(p1);
    curveInterior.resize(points.size(), 1);
    curveInterior.back() = 0;
    lastX_ = e.x1;
    lastY_ = e.y1;
    paths.back().count = points.size() - paths.back().first;
}

void StrokePaths::finish()
{
    endPath();
}

} // namespace swf
