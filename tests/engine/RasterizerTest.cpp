#include <gtest/gtest.h>

#include "swfcontrol/engine/draw/Outline.h"
#include "swfcontrol/engine/draw/Rasterizer.h"
#include "swfcontrol/engine/draw/Stroker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

using namespace swf;

namespace {

using Polygon = std::vector<Point>;

void addPolygon(Rasterizer& r, const Polygon& p)
{
    for (std::size_t i = 0; i < p.size(); ++i)
        r.addLine(p[i].x, p[i].y, p[(i + 1) % p.size()].x, p[(i + 1) % p.size()].y);
}

Polygon rect(double x0, double y0, double x1, double y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

// Coverage in a 16 x 16 frame, as 0..255 per pixel (0 outside the mask).
struct Frame {
    std::vector<int> px = std::vector<int>(16 * 16, 0);
    int at(int x, int y) const { return px[y * 16 + x]; }
    double total() const
    {
        double sum = 0;
        for (int v : px)
            sum += v / 255.0;
        return sum;
    }
};

Frame render(Rasterizer& r, FillRule rule, Sampling sampling)
{
    Frame f;
    const Coverage c = r.render(rule, sampling);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            f.px[(c.y + y) * 16 + c.x + x] = c.data[y * c.stride + x];
    return f;
}

struct AreaCase {
    std::string name;
    std::vector<Polygon> polygons;
    FillRule rule;
    Sampling sampling;
    double area;                    // total coverage, in pixels
    std::vector<std::array<int, 3>> pixels; // x, y, expected 0..255 (+-1)
};

} // namespace

TEST(Rasterizer, CoverageMatchesTheOutline)
{
    const double tri = 0.5 * 10 * 6;
    const std::vector<AreaCase> cases = {
        {"pixel-aligned square", {rect(2, 3, 6, 5)}, FillRule::EvenOdd, Sampling::Area, 8, {{2, 3, 255}, {1, 3, 0}, {6, 3, 0}}},
        {"fractional edges", {rect(1.25, 1.5, 3.75, 2)}, FillRule::NonZero, Sampling::Area, 1.25,
         {{1, 1, 96}, {2, 1, 128}, {3, 1, 96}}},
        {"sliver inside one pixel", {rect(4.2, 4.2, 4.4, 4.7)}, FillRule::NonZero, Sampling::Area, 0.1, {{4, 4, 26}}},
        {"triangle across many columns", {{{1, 1}, {11, 1}, {1, 7}}}, FillRule::EvenOdd, Sampling::Area, tri, {}},
        {"reversed winding counts the same", {{{1, 7}, {11, 1}, {1, 1}}}, FillRule::NonZero, Sampling::Area, tri, {}},
        {"non-zero fills an overlap once", {rect(1, 1, 5, 5), rect(3, 3, 7, 7)}, FillRule::NonZero, Sampling::Area, 28,
         {{3, 3, 255}}},
        {"even-odd leaves a hole in it", {rect(1, 1, 5, 5), rect(3, 3, 7, 7)}, FillRule::EvenOdd, Sampling::Area, 24,
         {{3, 3, 0}, {4, 4, 0}, {2, 2, 255}}},
        {"opposite windings cancel under non-zero", {rect(1, 1, 5, 5), {{3, 3}, {3, 7}, {7, 7}, {7, 3}}},
         FillRule::NonZero, Sampling::Area, 24, {{3, 3, 0}}},
        {"clipped at every side of the frame", {rect(-5, -3, 30, 2)}, FillRule::NonZero, Sampling::Area, 32,
         {{0, 0, 255}, {15, 1, 255}}},
        {"edges all outside cover the whole frame", {rect(-1, -1, 17, 17)}, FillRule::EvenOdd, Sampling::Area, 256,
         {{15, 15, 255}}},
        {"entirely left of the frame", {rect(-9, 2, -1, 9)}, FillRule::NonZero, Sampling::Area, 0, {}},
        // Aliased: a pixel is in when its centre is, left and top edges inclusive.
        {"aliased centres on the edges", {rect(0.5, 0.5, 2.5, 2.5)}, FillRule::NonZero, Sampling::Centre, 4,
         {{0, 0, 255}, {1, 1, 255}, {2, 2, 0}}},
        {"aliased thin sliver between centres", {rect(3.6, 1, 4.4, 5)}, FillRule::NonZero, Sampling::Centre, 0, {}},
        // Four samples: (0.375, 0.125), (0.875, 0.375), (0.125, 0.625), (0.625, 0.875).
        {"four samples, left half", {rect(2, 2, 2.5, 3)}, FillRule::NonZero, Sampling::FourSamples, 0.5,
         {{2, 2, 128}}},
        {"four samples, top quarter", {rect(2, 2, 3, 2.25)}, FillRule::NonZero, Sampling::FourSamples, 0.25,
         {{2, 2, 64}}},
        {"four samples, even-odd overlap", {rect(1, 1, 3.5, 3), rect(3, 1, 5, 3)}, FillRule::EvenOdd,
         Sampling::FourSamples, 7, {{3, 1, 128}, {1, 1, 255}}},
        {"aliased even-odd hole", {rect(1, 1, 5, 5), rect(3, 3, 7, 7)}, FillRule::EvenOdd, Sampling::Centre, 24, {{3, 3, 0}}},
    };
    for (const AreaCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rasterizer r;
        r.reset(0, 0, 16, 16);
        for (const Polygon& p : c.polygons)
            addPolygon(r, p);
        const Frame f = render(r, c.rule, c.sampling);
        EXPECT_NEAR(f.total(), c.area, 0.02 + c.area * 0.004);
        for (const auto& p : c.pixels)
            EXPECT_NEAR(f.at(p[0], p[1]), p[2], 1) << "pixel " << p[0] << "," << p[1];
    }
}

TEST(Rasterizer, AbsurdInputStaysBounded)
{
    Rasterizer r;
    r.reset(0, 0, 16, 16);
    const double nan = std::nan("");
    r.addLine(nan, 0, 5, 5);
    r.addLine(1e300, -1e300, -1e300, 1e300);
    r.addLine(-1e300, 1e300, 1e300, -1e300);
    addPolygon(r, rect(-1e9, -1e9, 1e9, 1e9));
    const Coverage c = r.render(FillRule::NonZero, Sampling::FourSamples);
    EXPECT_LE(c.width, 16);
    EXPECT_LE(c.height, 16);
}

// A curve within the flatness of its chord is drawn as the chord; one a
// little beyond gets more points, all on the curve and each chord within the
// flatness; a curve that comes back to its start keeps its loop.
TEST(Outline, CurvesFlattenWithinTheFlatness)
{
    struct Case {
        Point p0, c, p1;
        std::size_t minPoints, maxPoints;
    } cases[] = {
        {{746.85, 149.5}, {744.95, 149.7}, {742.6, 149.5}, 1, 1}, // bulges exactly kFlatness
        {{0, 0}, {5, 0.4}, {10, 0}, 2, 3},
        {{0, 0}, {50, 100}, {100, 0}, 10, 60},
        {{0, 0}, {20, 20}, {0, 0}, 2, 2},
        {{0, 0}, {20, 0}, {10, 0}, 2, 2},
    };
    for (const Case& k : cases) {
        std::vector<Point> out;
        SCOPED_TRACE(k.c.x);
        flattenQuad(k.p0, k.c, k.p1, out);
        EXPECT_GE(out.size(), k.minPoints);
        EXPECT_LE(out.size(), k.maxPoints);
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.back().x, k.p1.x);
        EXPECT_EQ(out.back().y, k.p1.y);
        // Each chord's midpoint lies within the flatness of the curve.
        Point prev = k.p0;
        for (const Point& p : out) {
            const Point mid{(prev.x + p.x) / 2, (prev.y + p.y) / 2};
            double nearest = 1e9;
            for (int i = 0; i <= 2000; ++i) {
                const double t = i / 2000.0, u = 1 - t;
                const double x = u * u * k.p0.x + 2 * u * t * k.c.x + t * t * k.p1.x;
                const double y = u * u * k.p0.y + 2 * u * t * k.c.y + t * t * k.p1.y;
                nearest = std::min(nearest, std::hypot(x - mid.x, y - mid.y));
            }
            EXPECT_LE(nearest, kFlatness + 0.01);
            prev = p;
        }
    }
}

TEST(Stroker, OutlineAreaFollowsCapsAndJoins)
{
    struct Case {
        std::string name;
        std::vector<Point> path;
        bool closed;
        CapStyle cap;
        JoinStyle join;
        double miterLimit;
        double area;
        std::vector<uint8_t> curveInterior = {};
    };
    // A round end of half width 1 is made of 22.5-degree curves within the
    // flatness of their chords, so a whole circle is drawn as a 16-gon.
    const double circle = 8 * std::sin(3.14159265358979323846 / 8);
    // Width 2 (half width 1) throughout.
    const std::vector<Case> cases = {
        {"butt ends", {{3, 8}, {11, 8}}, false, CapStyle::None, JoinStyle::Round, 3, 16},
        {"square ends reach out half the width", {{3, 8}, {11, 8}}, false, CapStyle::Square, JoinStyle::Round, 3, 20},
        {"round ends", {{3, 8}, {11, 8}}, false, CapStyle::Round, JoinStyle::Round, 3, 16 + circle},
        {"a dot from a zero-length round stroke", {{8, 8}, {8, 8}}, false, CapStyle::Round, JoinStyle::Round, 3, circle},
        // Two 6 x 2 quads overlapping in one square pixel at the corner.
        {"right-angle miter", {{2, 8}, {8, 8}, {8, 2}}, false, CapStyle::None, JoinStyle::Miter, 3, 23 + 1},
        {"right-angle bevel", {{2, 8}, {8, 8}, {8, 2}}, false, CapStyle::None, JoinStyle::Bevel, 3, 23 + 0.5},
        {"right-angle round", {{2, 8}, {8, 8}, {8, 2}}, false, CapStyle::None, JoinStyle::Round, 3, 23 + circle / 4},
        // The miter reaches sqrt(2) half widths at a right angle: a limit of
        // 1.2 cuts a small right triangle off its tip.
        {"miter cut at its limit", {{2, 8}, {8, 8}, {8, 2}}, false, CapStyle::None, JoinStyle::Miter, 1.2,
         24 - std::pow(std::sqrt(2.0) - 1.2, 2)},
        {"inside a curve, segments meet as a miter whatever the join",
         {{2, 8}, {8, 8}, {8, 2}},
         false,
         CapStyle::None,
         JoinStyle::Round,
         3,
         23 + 1,
         {0, 1, 0}},
        {"closed square joins at its start too", {{4, 4}, {12, 4}, {12, 12}, {4, 12}, {4, 4}}, true, CapStyle::Round,
         JoinStyle::Miter, 3, 100 - 36},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StrokeStyle style;
        style.halfWidth = 1;
        style.startCap = style.endCap = c.cap;
        style.join = c.join;
        style.miterLimit = c.miterLimit;
        Rasterizer r;
        r.reset(0, 0, 16, 16);
        Stroker s;
        s.add(c.path.data(), c.path.size(), c.closed, style, r,
              c.curveInterior.empty() ? nullptr : c.curveInterior.data());
        const Frame f = render(r, FillRule::NonZero, Sampling::Area);
        EXPECT_NEAR(f.total(), c.area, 0.05 + c.area * 0.005);
    }
}
