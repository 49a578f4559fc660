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

} // namespace

void ContourLinker::link(const std::vector<DirectedEdge>& edges, std::vector<uint32_t>& order,
                         std::vector<uint32_t>& ends)
{
    order.clear();
    ends.clear();
    const uint32_t n = static_cast<uint32_t>(edges.size());
    byStart_.resize(n);
    for (uint32_t i = 0; i < n; ++i)
        byStart_[i] = {pointKey(edges[i].x0, edges[i].y0), i};
    std::sort(byStart_.begin(), byStart_.end());
    used_.assign(n, 0);

    // Finds an unused edge starting at `key`, earliest in file order.
    auto find = [&](uint64_t key) -> int64_t {
        auto it = std::lower_bound(byStart_.begin(), byStart_.end(), std::make_pair(key, uint32_t(0)));
        for (; it != byStart_.end() && it->first == key; ++it) {
            if (!used_[it->second])
                return it->second;
        }
        return -1;
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

void flattenQuad(Point p0, Point c, Point p1, std::vector<Point>& out)
{
    // A quadratic strays from its chord by at most |p0 - 2c + p1| / 4, and n
    // even steps cut that by n squared.
    const double dx = p0.x - 2 * c.x + p1.x, dy = p0.y - 2 * c.y + p1.y;
    const double deviation = 0.25 * std::sqrt(dx * dx + dy * dy);
    int n = 1;
    if (deviation > kFlatness) {
        const double steps = std::ceil(std::sqrt(deviation / kFlatness));
        n = steps < kMaxCurveSegments ? static_cast<int>(steps) : kMaxCurveSegments;
    }
    for (int i = 1; i < n; ++i) {
        const double t = static_cast<double>(i) / n, u = 1 - t;
        out.push_back({u * u * p0.x + 2 * u * t * c.x + t * t * p1.x, u * u * p0.y + 2 * u * t * c.y + t * t * p1.y});
    }
    out.push_back(p1);
}

void FillOutline::add(const std::vector<DirectedEdge>& edges, const Matrix& m, Rasterizer& out)
{
    linker_.link(edges, order_, ends_);
    std::size_t begin = 0;
    for (uint32_t end : ends_) {
        points_.clear();
        const DirectedEdge& first = edges[order_[begin]];
        points_.push_back(m.apply({static_cast<double>(first.x0), static_cast<double>(first.y0)}));
        for (std::size_t k = begin; k < end && points_.size() < Rasterizer::kMaxLines; ++k) {
            const DirectedEdge& e = edges[order_[k]];
            const Point p1 = m.apply({static_cast<double>(e.x1), static_cast<double>(e.y1)});
            if (!e.curved) {
                points_.push_back(p1);
                continue;
            }
            const Point p0 = points_.back();
            const Point c = m.apply({static_cast<double>(e.cx), static_cast<double>(e.cy)});
            if (out.outsideClip(std::min({p0.x, c.x, p1.x}), std::min({p0.y, c.y, p1.y}), std::max({p0.x, c.x, p1.x}),
                                std::max({p0.y, c.y, p1.y})))
                points_.push_back(p1);
            else
                flattenQuad(p0, c, p1, points_);
        }
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

void StrokePaths::addEdge(const ShapeEdge& e, const Matrix& m)
{
    // A stroke beyond this many points is cut short (see Rasterizer::kMaxLines).
    if (points.size() >= Rasterizer::kMaxLines)
        return;
    if (!open_ || e.x0 != lastX_ || e.y0 != lastY_) {
        endPath();
        StrokePath path;
        path.first = points.size();
        points.push_back(m.apply({static_cast<double>(e.x0), static_cast<double>(e.y0)}));
        paths.push_back(path);
        open_ = true;
        startX_ = e.x0;
        startY_ = e.y0;
    }
    const Point p1 = m.apply({static_cast<double>(e.x1), static_cast<double>(e.y1)});
    if (e.curved)
        flattenQuad(points.back(), m.apply({static_cast<double>(e.cx), static_cast<double>(e.cy)}), p1, points);
    else
        points.push_back(p1);
    lastX_ = e.x1;
    lastY_ = e.y1;
    paths.back().count = points.size() - paths.back().first;
}

void StrokePaths::finish()
{
    endPath();
}

} // namespace swf
