#include "swfcontrol/engine/draw/Stroker.h"

#include "swfcontrol/engine/draw/Outline.h"
#include "swfcontrol/engine/draw/Rasterizer.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr double kPi = 3.14159265358979323846;

Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
Point operator*(Point a, double k) { return {a.x * k, a.y * k}; }
double dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }
double cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
Point perp(Point u) { return {-u.y, u.x}; }

Point unit(Point from, Point to)
{
    const Point d = to - from;
    const double len = std::sqrt(dot(d, d));
    return d * (1 / len);
}

} // namespace

void Stroker::polygon(Rasterizer& out)
{
    const std::size_t n = poly_.size();
    if (n < 3) {
        poly_.clear();
        return;
    }
    for (Point& p : poly_)
        p = toPixels_.apply(p);
    double area = 0;
    for (std::size_t i = 0; i < n; ++i)
        area += cross(poly_[i], poly_[(i + 1) % n]);
    for (std::size_t i = 0; i < n; ++i) {
        const Point a = poly_[i], b = poly_[(i + 1) % n];
        if (area >= 0)
            out.addLine(a.x, a.y, b.x, b.y);
        else
            out.addLine(b.x, b.y, a.x, a.y);
    }
    poly_.clear();
}

void Stroker::arc(Point centre, Point from, double sweep)
{
    // Round caps and joins are quadratic curves of at most 22.5 degrees each,
    // flattened as any curve is: the aliased reference images show their
    // chords, and the tips of stretched round joins match only at that step.
    const int n = std::min(64, std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (kPi / 8) - 1e-9))));
    const double step = sweep / n;
    const Point r = from - centre;
    const auto rotated = [&](double a, double k) {
        const double c = std::cos(a), s = std::sin(a);
        return centre + Point{(r.x * c - r.y * s) * k, (r.x * s + r.y * c) * k};
    };
    const double tolerance = kFlatness / pixelsPerUnit_;
    arcPoints_.clear();
    for (int i = 0; i < n; ++i)
        flattenQuad(rotated(step * i, 1), rotated(step * (i + 0.5), 1 / std::cos(step / 2)), rotated(step * (i + 1), 1),
                    arcPoints_, tolerance);
    // The caller adds the arc's last point itself.
    poly_.insert(poly_.end(), arcPoints_.begin(), arcPoints_.end() - 1);
}

void Stroker::cap(Point p, Point u, CapStyle style, double hw, Rasterizer& out)
{
    // `u` points out of the path. Square caps are drawn by stretching the end
    // segment, so only round ones need a polygon of their own.
    if (style != CapStyle::Round)
        return;
    const Point n = perp(u) * hw;
    poly_.push_back(p + n);
    arc(p, p + n, -kPi);
    poly_.push_back(p - n);
    polygon(out);
}

void Stroker::join(Point p, Point u1, Point u2, const StrokeStyle& style, Rasterizer& out)
{
    const double c = cross(u1, u2), d = dot(u1, u2);
    if (std::fabs(c) < 1e-9 && d > 0)
        return;
    const double hw = style.halfWidth;
    // The outer side of the turn is where the two segments' quads leave a gap.
    const double side = c > 0 ? -1 : 1;
    const Point n1 = perp(u1) * side, n2 = perp(u2) * side;
    const Point o1 = p + n1 * hw, o2 = p + n2 * hw;
    poly_.push_back(p);
    poly_.push_back(o1);
    switch (style.join) {
    case JoinStyle::Round:
        arc(p, o1, std::atan2(c, d));
        break;
    case JoinStyle::Miter: {
        const double cosHalf = std::sqrt(std::max(0.0, (1 + d) / 2));
        const double sinHalf = std::sqrt(std::max(0.0, (1 - d) / 2));
        const double limit = std::max(1.0, style.miterLimit) * hw;
        if (cosHalf * limit >= hw) {
            Point m = n1 + n2;
            m = m * (1 / std::sqrt(dot(m, m)));
            poly_.push_back(p + m * (hw / cosHalf));
        } else if (limit > hw * cosHalf && sinHalf > 0) {
            // Too sharp: the miter is cut square to its bisector at the limit.
            const double along = (limit - hw * cosHalf) / sinHalf;
            poly_.push_back(o1 + u1 * along);
            poly_.push_back(o2 - u2 * along);
        }
        break;
    }
    case JoinStyle::Bevel:
        break;
    }
    poly_.push_back(o2);
    polygon(out);
}

void Stroker::add(const Point* points, std::size_t count, bool closed, const StrokeStyle& style, Rasterizer& out,
                  const uint8_t* curveInterior)
{
    const double hw = style.halfWidth;
    if (!(hw > 0) || !std::isfinite(hw))
        return;
    toPixels_ = style.toPixels;
    pixelsPerUnit_ = style.pixelsPerUnit > 0 ? style.pixelsPerUnit : 1;
    path_.clear();
    interior_.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const Point p = points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return;
        if (path_.empty() || std::fabs(p.x - path_.back().x) > 1e-9 || std::fabs(p.y - path_.back().y) > 1e-9) {
            path_.push_back(p);
            interior_.push_back(curveInterior ? curveInterior[i] : 0);
        }
    }
    if (closed && path_.size() > 2 && std::fabs(path_.back().x - path_[0].x) <= 1e-9 &&
        std::fabs(path_.back().y - path_[0].y) <= 1e-9) {
        path_.pop_back();
        interior_.pop_back();
    }
    const std::size_t n = path_.size();
    if (n == 0)
        return;
    if (n == 1) {
        // A zero-length stroke shows as a dot shaped by its cap.
        const Point p = path_[0];
        if (style.startCap == CapStyle::Round) {
            poly_.push_back({p.x + hw, p.y});
            arc(p, {p.x + hw, p.y}, 2 * kPi);
            polygon(out);
        } else if (style.startCap == CapStyle::Square) {
            poly_ = {{p.x - hw, p.y - hw}, {p.x + hw, p.y - hw}, {p.x + hw, p.y + hw}, {p.x - hw, p.y + hw}};
            polygon(out);
        }
        return;
    }
    closed = closed && n > 2;
    const std::size_t segments = closed ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i) {
        Point a = path_[i], b = path_[(i + 1) % n];
        const Point u = unit(a, b);
        if (!closed && i == 0 && style.startCap == CapStyle::Square)
            a = a - u * hw;
        if (!closed && i + 1 == segments && style.endCap == CapStyle::Square)
            b = b + u * hw;
        const Point nrm = perp(u) * hw;
        poly_ = {a + nrm, b + nrm, b - nrm, a - nrm};
        polygon(out);
    }
    for (std::size_t i = closed ? 0 : 1; i < (closed ? n : n - 1); ++i) {
        const Point prev = path_[(i + n - 1) % n], p = path_[i], next = path_[(i + 1) % n];
        const Point u1 = unit(prev, p), u2 = unit(p, next);
        // Inside a curve the segments meet at their offset edges' crossing,
        // which puts the outline a hair outside the true offset, as the
        // aliased reference images have it. A curve that turns back on itself
        // (a straight one running past its end) keeps the line's own join
        // rather than a spike.
        if (interior_[i] && dot(u1, u2) > -1e-9) {
            StrokeStyle miter = style;
            miter.join = JoinStyle::Miter;
            miter.miterLimit = 2;
            join(p, u1, u2, miter, out);
        } else {
            join(p, u1, u2, style, out);
        }
    }
    if (!closed) {
        cap(path_[0], unit(path_[1], path_[0]), style.startCap, hw, out);
        cap(path_[n - 1], unit(path_[n - 2], path_[n - 1]), style.endCap, hw, out);
    }
}

} // namespace swf
