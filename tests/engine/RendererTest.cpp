#include <gtest/gtest.h>

#include "swfcontrol/engine/draw/Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

using namespace swf;

namespace {

// A rectangle in twips filled with `fill`, drawn clockwise on screen.
Shape rectShape(int x0, int y0, int x1, int y1, const FillStyle& fill)
{
    Shape s;
    s.fills.push_back(fill);
    const int xs[5] = {x0, x1, x1, x0, x0}, ys[5] = {y0, y0, y1, y1, y0};
    for (int i = 0; i < 4; ++i) {
        ShapeEdge e;
        e.x0 = xs[i], e.y0 = ys[i], e.x1 = xs[i + 1], e.y1 = ys[i + 1];
        e.fill1 = 1;
        s.edges.push_back(e);
    }
    StyleGroup g;
    g.fillCount = 1;
    g.edgeCount = 4;
    s.groups.push_back(g);
    s.bounds = s.edgeBounds = Rect{x0, x1, y0, y1};
    return s;
}

FillStyle solid(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
{
    FillStyle f;
    f.color = Rgba{r, g, b, a};
    return f;
}

const Matrix kTwips{0.05, 0, 0, 0.05, 0, 0};

uint32_t argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) { return uint32_t(a) << 24 | r << 16 | g << 8 | b; }

// Channels within `tol` of each other.
::testing::AssertionResult near(uint32_t actual, uint32_t expected, int tol = 1)
{
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int((actual >> shift) & 0xff) - int((expected >> shift) & 0xff)) > tol)
        {
            char text[40];
            std::snprintf(text, sizeof text, "%08x != %08x", actual, expected);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

class Bitmaps : public BitmapSource {
public:
    Bitmap checker; // 2 x 2: red, green / blue, white
    Bitmaps()
    {
        checker.width = checker.height = 2;
        checker.pixels = {argb(255, 255, 0, 0), argb(255, 0, 255, 0), argb(255, 0, 0, 255), argb(255, 255, 255, 255)};
    }
    const Bitmap* bitmap(uint16_t id) override { return id == 1 ? &checker : nullptr; }
};

} // namespace

TEST(Renderer, BlendModesCompositeTheLayerOntoItsParent)
{
    struct Case {
        BlendMode mode;
        Rgba layer;
        uint32_t expected; // over an opaque (200, 100, 50) in a layer of its own, over black
    };
    const Case cases[] = {
        {BlendMode::Normal, {0, 0, 255, 128}, argb(255, 100, 50, 153)},
        {BlendMode::Layer, {0, 0, 255, 255}, argb(255, 0, 0, 255)},
        {BlendMode::Multiply, {128, 255, 0, 255}, argb(255, 100, 100, 0)},
        {BlendMode::Screen, {128, 0, 255, 255}, argb(255, 228, 100, 255)},
        {BlendMode::Lighten, {100, 200, 0, 255}, argb(255, 200, 200, 50)},
        {BlendMode::Darken, {100, 200, 0, 255}, argb(255, 100, 100, 0)},
        {BlendMode::Difference, {100, 200, 0, 255}, argb(255, 100, 100, 50)},
        {BlendMode::Add, {100, 200, 10, 255}, argb(255, 255, 255, 60)},
        {BlendMode::Subtract, {100, 200, 10, 255}, argb(255, 100, 0, 40)},
        {BlendMode::Invert, {9, 9, 9, 255}, argb(255, 55, 155, 205)},
        {BlendMode::Overlay, {255, 255, 255, 255}, argb(255, 255, 200, 100)},
        {BlendMode::HardLight, {0, 0, 0, 255}, argb(255, 0, 0, 0)},
        // These two change the parent layer's alpha, and black shows through.
        {BlendMode::Alpha, {0, 0, 0, 128}, argb(255, 100, 50, 25)},
        {BlendMode::Erase, {0, 0, 0, 128}, argb(255, 100, 50, 25)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.mode));
        Renderer r;
        ASSERT_TRUE(r.resize(4, 4));
        r.setQuality(Quality::Low);
        r.clear(Rgba{0, 0, 0, 255});
        r.beginLayer(BlendMode::Layer);
        r.drawShape(rectShape(0, 0, 80, 80, solid(200, 100, 50)), kTwips, ColorTransform(), nullptr);
        r.beginLayer(c.mode);
        r.drawShape(rectShape(0, 0, 40, 80, solid(c.layer.r, c.layer.g, c.layer.b, c.layer.a)), kTwips,
                    ColorTransform(), nullptr);
        r.endLayer(ColorTransform());
        r.endLayer(ColorTransform());
        EXPECT_TRUE(near(r.pixels()[4 + 1], c.expected));
        // Outside the layer's drawing the parent stays.
        EXPECT_TRUE(near(r.pixels()[4 + 3], argb(255, 200, 100, 50)));
        // Straight on the stage, alpha and erase change nothing.
        if (c.mode == BlendMode::Alpha || c.mode == BlendMode::Erase) {
            r.beginLayer(c.mode);
            r.drawShape(rectShape(0, 0, 80, 80, solid(0, 0, 0, 128)), kTwips, ColorTransform(), nullptr);
            r.endLayer(ColorTransform());
            EXPECT_TRUE(near(r.pixels()[4 + 1], c.expected));
        }
    }
}

TEST(Renderer, NestedMasksClipToTheirIntersection)
{
    Renderer r;
    ASSERT_TRUE(r.resize(8, 1));
    r.setQuality(Quality::Low);
    r.clear(Rgba{0, 0, 0, 255});
    r.beginMask();
    // Colour and alpha of a mask do not matter, only its coverage.
    r.drawShape(rectShape(0, 0, 100, 20, solid(0, 0, 0, 0)), kTwips, ColorTransform(), nullptr);
    r.endMask();
    r.beginMask();
    r.drawShape(rectShape(60, 0, 160, 20, solid(1, 2, 3)), kTwips, ColorTransform(), nullptr);
    r.endMask();
    r.drawShape(rectShape(0, 0, 160, 20, solid(255, 255, 255)), kTwips, ColorTransform(), nullptr);
    r.popMask();
    r.drawShape(rectShape(140, 0, 160, 20, solid(255, 0, 0)), kTwips, ColorTransform(), nullptr);
    r.popMask();
    r.drawShape(rectShape(0, 0, 20, 20, solid(0, 255, 0)), kTwips, ColorTransform(), nullptr);
    const uint32_t black = argb(255, 0, 0, 0), white = argb(255, 255, 255, 255);
    const uint32_t expected[8] = {argb(255, 0, 255, 0), black, black, white, white, black, black, black};
    for (int x = 0; x < 8; ++x)
        EXPECT_TRUE(near(r.pixels()[x], expected[x], 0)) << "pixel " << x;

    // Where a mask's edge half covers a pixel, what it clips is dimmed once,
    // as a whole: red over white shows as half red, with no white mixed in.
    r.setQuality(Quality::High);
    r.clear(Rgba{0, 0, 0, 255});
    r.beginMask();
    r.drawShape(rectShape(0, 0, 50, 20, solid(0, 0, 0)), kTwips, ColorTransform(), nullptr);
    r.endMask();
    r.drawShape(rectShape(0, 0, 80, 20, solid(255, 255, 255)), kTwips, ColorTransform(), nullptr);
    r.drawShape(rectShape(0, 0, 80, 20, solid(255, 0, 0)), kTwips, ColorTransform(), nullptr);
    r.popMask();
    EXPECT_TRUE(near(r.pixels()[1], argb(255, 255, 0, 0), 0));
    EXPECT_TRUE(near(r.pixels()[2], argb(255, 128, 0, 0), 1));
    EXPECT_TRUE(near(r.pixels()[3], black, 0));
}

TEST(Renderer, GradientAndBitmapPaints)
{
    Bitmaps bitmaps;
    struct Case {
        std::string name;
        FillStyle fill;
        ColorTransform cxform;
        std::vector<std::pair<int, uint32_t>> pixels; // x in a 16 x 1 frame
    };
    FillStyle linear;
    linear.kind = FillKind::LinearGradient;
    linear.gradient.stops = {{0, Rgba{0, 0, 0, 255}}, {255, Rgba{255, 0, 0, 255}}};
    // The gradient square (32768 wide) over pixels 4..8: 80 twips. Position
    // t of pixel x is (x + 0.5 - 4) / 4, shown by red 256 t - 0.5.
    linear.matrix = Matrix{80.0 / 32768, 0, 0, 80.0 / 32768, 120, 0};
    FillStyle reflect = linear, repeat = linear;
    reflect.gradient.spread = SpreadMode::Reflect;
    repeat.gradient.spread = SpreadMode::Repeat;
    FillStyle radial = linear;
    radial.kind = FillKind::RadialGradient;
    radial.matrix.tx = 160;

    FillStyle tiles;
    tiles.kind = FillKind::Bitmap;
    tiles.bitmapId = 1;
    tiles.bitmapSmooth = false;
    tiles.matrix = Matrix{20, 0, 0, 20, 0, 0}; // one bitmap pixel per frame pixel
    FillStyle clipped = tiles;
    clipped.bitmapRepeat = false;
    FillStyle missing = tiles;
    missing.bitmapId = 7;
    ColorTransform half;
    half.mulR = half.mulG = half.mulB = half.mulA = 0.5f;
    ColorTransform blueToRed;
    blueToRed.mulB = 0;
    blueToRed.addR = 255;

    const uint32_t red = argb(255, 255, 0, 0), green = argb(255, 0, 255, 0), grey = argb(255, 50, 50, 50);
    const std::vector<Case> cases = {
        {"linear pads beyond its ends", linear, {}, {{0, argb(255, 0, 0, 0)}, {15, red}, {6, argb(255, 160, 0, 0)}}},
        {"reflect mirrors past the end", reflect, {}, {{9, argb(255, 160, 0, 0)}, {10, argb(255, 96, 0, 0)}}},
        {"repeat starts over past the end", repeat, {}, {{9, argb(255, 96, 0, 0)}, {10, argb(255, 160, 0, 0)}}},
        {"radial from its centre", radial, {}, {{8, argb(255, 90, 0, 0)}, {0, red}}},
        {"colour transform on the stops", linear, blueToRed, {{0, red}}},
        {"bitmap repeats", tiles, {}, {{0, red}, {1, green}, {2, red}, {3, green}}},
        {"clipped bitmap stretches its edge", clipped, {}, {{1, green}, {5, green}, {15, green}}},
        {"alpha-only transform on a bitmap", tiles, half, {{0, argb(255, 152, 25, 25)}}},
        {"missing bitmap paints nothing", missing, {}, {{0, grey}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Renderer r;
        ASSERT_TRUE(r.resize(16, 1));
        r.setQuality(Quality::High);
        r.clear(Rgba{50, 50, 50, 255});
        r.drawShape(rectShape(0, 0, 320, 20, c.fill), kTwips, c.cxform, &bitmaps);
        for (const auto& p : c.pixels)
            EXPECT_TRUE(near(r.pixels()[p.first], p.second, 2)) << "pixel " << p.first;
    }
}

TEST(Renderer, DamagedShapesDrawWhatIsSound)
{
    Renderer r;
    ASSERT_TRUE(r.resize(16, 16));
    EXPECT_FALSE(r.resize(100000, 100000));
    EXPECT_EQ(r.width(), 16);
    r.clear(Rgba{0, 0, 0, 255});
    Shape s = rectShape(0, 0, 200, 200, solid(255, 255, 255));
    // Styles and edges out of range, an open contour, a far-off curve.
    s.groups[0].fillCount = 9;
    s.groups[0].lineCount = 3;
    s.groups[0].edgeCount = 1000;
    s.edges[2].line = 7;
    s.edges[1].fill0 = 40;
    ShapeEdge far;
    far.curved = true;
    far.cx = std::numeric_limits<int32_t>::max();
    far.x1 = std::numeric_limits<int32_t>::min();
    far.fill1 = 1;
    s.edges.push_back(far);
    StyleGroup stray;
    stray.firstFill = 50;
    stray.fillCount = 2;
    stray.firstEdge = 70;
    stray.edgeCount = 5;
    s.groups.push_back(stray);
    r.drawShape(s, kTwips, ColorTransform(), nullptr);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    r.drawShape(s, Matrix{nan, 0, 0, 1, 0, 0}, ColorTransform(), nullptr);
    r.drawShape(s, Matrix{1e300, 0, 0, 1e300, -1e300, 0}, ColorTransform(), nullptr);
    // Unbalanced mask and layer calls are ignored.
    r.popMask();
    r.endMask();
    r.endLayer(ColorTransform());
    EXPECT_TRUE(near(r.pixels()[5 * 16 + 5], argb(255, 255, 255, 255), 0));
}

TEST(Renderer, FillEdgesBecomeClosedContours)
{
    struct E {
        int x0, y0, x1, y1;
        uint32_t fill0, fill1;
    };
    struct Case {
        std::string name;
        std::vector<E> edges;
        bool nonZero;
        const char* row; // the middle row of an 8 x 8 frame: '.' background, 'a' fill 1, 'b' fill 2
    };
    // A square's sides cut into `parts` edges each, listed last to first, so
    // that every edge must be looked up by its start point (a fill with
    // many edges takes another way to find them than one with few).
    const auto backwards = [](int lo, int hi, int parts, std::vector<E>& out) {
        const int corner[5][2] = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}, {lo, lo}};
        std::vector<E> edges;
        for (int side = 0; side < 4; ++side) {
            for (int k = 0; k < parts; ++k) {
                const int* a = corner[side];
                const int* b = corner[side + 1];
                const auto at = [&](int i, int j) { return a[i] + (b[i] - a[i]) * j / parts; };
                edges.push_back({at(0, k), at(1, k), at(0, k + 1), at(1, k + 1), 0, 1});
            }
        }
        out.insert(out.end(), edges.rbegin(), edges.rend());
    };
    std::vector<E> squareAndHole;
    backwards(40, 120, 8, squareAndHole);
    backwards(60, 100, 2, squareAndHole);
    const std::vector<Case> cases = {
        {"forty edges listed backwards, around a hole", squareAndHole, false, "..a..a.."},
        {"edges out of order, some naming the fill on their left",
         {{40, 40, 40, 120, 1, 0}, {120, 40, 120, 120, 0, 1}, {120, 120, 40, 120, 0, 1}, {120, 40, 40, 40, 1, 0}},
         true, "..aaaa.."},
        {"an open contour closes with a straight line",
         {{40, 40, 120, 40, 0, 1}, {120, 40, 120, 120, 0, 1}, {120, 120, 40, 120, 0, 1}}, false, "..aaaa.."},
        {"an edge with the same fill on both sides leaves no seam",
         {{40, 40, 120, 40, 0, 1}, {120, 40, 120, 120, 0, 1}, {120, 120, 40, 120, 0, 1}, {40, 120, 40, 40, 0, 1},
          {80, 40, 80, 120, 1, 1}},
         false, "..aaaa.."},
        {"two fills share an edge",
         {{20, 40, 80, 40, 0, 1}, {80, 40, 80, 120, 2, 1}, {80, 120, 20, 120, 0, 1}, {20, 120, 20, 40, 0, 1},
          {80, 40, 140, 40, 0, 2}, {140, 40, 140, 120, 0, 2}, {140, 120, 80, 120, 0, 2}},
         false, ".aaabbb."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Shape s;
        s.fills = {solid(255, 0, 0), solid(0, 0, 255)};
        for (const E& e : c.edges) {
            ShapeEdge edge;
            edge.x0 = e.x0, edge.y0 = e.y0, edge.x1 = e.x1, edge.y1 = e.y1;
            edge.fill0 = e.fill0, edge.fill1 = e.fill1;
            s.edges.push_back(edge);
        }
        s.groups.push_back(StyleGroup{0, 2, 0, 0, 0, s.edges.size()});
        s.nonZeroWinding = c.nonZero;
        Renderer r;
        ASSERT_TRUE(r.resize(8, 8));
        r.setQuality(Quality::Low);
        r.clear(Rgba{0, 0, 0, 255});
        r.drawShape(s, kTwips, ColorTransform(), nullptr);
        std::string row;
        for (int x = 0; x < 8; ++x) {
            const uint32_t p = r.pixels()[4 * 8 + x];
            row += p == argb(255, 255, 0, 0) ? 'a' : p == argb(255, 0, 0, 255) ? 'b' : p == argb(255, 0, 0, 0) ? '.' : '?';
        }
        EXPECT_EQ(row, c.row);
    }
}

TEST(Renderer, FillsOfOneShapeMeetWithoutASeam)
{
    // A 10 x 3 pixel rectangle split by a slanted edge into two fills: at
    // high quality the pixels along the split are partly covered by each,
    // and must come out fully covered, not showing the black beneath.
    Shape s;
    s.fills = {solid(255, 255, 255), solid(255, 255, 255)};
    const int pts[6][2] = {{0, 0}, {70, 0}, {200, 0}, {200, 60}, {130, 60}, {0, 60}};
    const uint32_t fillOf[6] = {1, 2, 2, 2, 1, 1};
    for (int i = 0; i < 6; ++i) {
        ShapeEdge e;
        e.x0 = pts[i][0], e.y0 = pts[i][1], e.x1 = pts[(i + 1) % 6][0], e.y1 = pts[(i + 1) % 6][1];
        e.fill1 = fillOf[i];
        s.edges.push_back(e);
    }
    ShapeEdge split;
    split.x0 = 70, split.y0 = 0, split.x1 = 130, split.y1 = 60;
    split.fill0 = 2;
    split.fill1 = 1;
    s.edges.push_back(split);
    StyleGroup g;
    g.fillCount = 2;
    g.edgeCount = static_cast<uint32_t>(s.edges.size());
    s.groups.push_back(g);
    s.bounds = s.edgeBounds = Rect{0, 200, 0, 60};
    Renderer r;
    ASSERT_TRUE(r.resize(10, 3));
    r.setQuality(Quality::High);
    r.clear(Rgba{0, 0, 0, 255});
    r.drawShape(s, kTwips, ColorTransform(), nullptr);
    for (int i = 0; i < 30; ++i)
        EXPECT_TRUE(near(r.pixels()[i], argb(255, 255, 255, 255))) << i;
}

TEST(Renderer, KeptSweepsNeverShowStalePixels)
{
    // A big shape (a 24 x 24 board of squares in two fills) is kept once
    // swept; drawn again it must come out as a fresh renderer draws it,
    // whatever changed in between.
    Shape board;
    board.fills = {solid(200, 30, 30), solid(30, 30, 200, 160)};
    for (int i = 0; i < 24; ++i) {
        for (int j = 0; j < 24; ++j) {
            const int x0 = i * 25, y0 = j * 25, x1 = x0 + 25, y1 = y0 + 25;
            const int xs[5] = {x0, x1, x1, x0, x0}, ys[5] = {y0, y0, y1, y1, y0};
            for (int k = 0; k < 4; ++k) {
                ShapeEdge e;
                e.x0 = xs[k], e.y0 = ys[k], e.x1 = xs[k + 1], e.y1 = ys[k + 1];
                e.fill1 = 1 + (i + j) % 2;
                board.edges.push_back(e);
            }
        }
    }
    board.groups.push_back(StyleGroup{0, 2, 0, 0, 0, board.edges.size()});
    ColorTransform reddish;
    reddish.mulG = 0.5f;
    const Matrix at{0.05, 0, 0, 0.05, 0.35, 0.6}, moved{0.05, 0, 0, 0.05, 0.4, 0.6};
    struct Step {
        const char* what;
        Matrix m;
        ColorTransform cx;
        int changeEdge; // an edge of the shape itself moved, or -1
    };
    const Step steps[] = {
        {"first", at, ColorTransform(), -1},         {"again", at, ColorTransform(), -1},
        {"another colour", at, reddish, -1},          {"moved a twip", moved, ColorTransform(), -1},
        {"an edge of the shape moved", at, ColorTransform(), 5}, {"as at first", at, ColorTransform(), -1},
    };
    Renderer kept;
    ASSERT_TRUE(kept.resize(32, 32));
    kept.setQuality(Quality::High);
    Shape shape = board;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        shape = board;
        if (step.changeEdge >= 0) {
            shape.edges[step.changeEdge].x1 += 7;
            shape.edges[step.changeEdge + 1].x0 += 7;
        }
        Renderer fresh;
        ASSERT_TRUE(fresh.resize(32, 32));
        fresh.setQuality(Quality::High);
        for (Renderer* r : {&kept, &fresh}) {
            r->clear(Rgba{255, 255, 255, 255});
            r->drawShape(shape, step.m, step.cx, nullptr);
        }
        int differing = 0, drawn = 0;
        for (int i = 0; i < 32 * 32; ++i) {
            differing += kept.pixels()[i] != fresh.pixels()[i];
            drawn += kept.pixels()[i] != argb(255, 255, 255, 255);
        }
        EXPECT_EQ(differing, 0);
        EXPECT_GT(drawn, 500) << "the board was not drawn";
    }
}

TEST(Renderer, StrokesScaleAsTheirLineFlagsSay)
{
    // A 1-pixel line around a 10-pixel square stretched 4 times across and
    // twice down: how thick its left and top sides come out.
    struct Case {
        const char* what;
        bool noH, noV;
        int left, top;
    };
    const Case cases[] = {
        {"scaled with the shape", false, false, 4, 2},
        {"scaled as the shape is vertically", true, false, 2, 2},
        {"scaled as the shape is horizontally", false, true, 4, 4},
        {"not scaled: its thinnest side a pixel", true, true, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Shape s = rectShape(0, 0, 200, 200, solid(0, 0, 0));
        s.fills.clear();
        s.groups[0].fillCount = 0;
        s.groups[0].lineCount = 1;
        LineStyle line;
        line.width = 20;
        line.color = Rgba{0, 0, 0, 255};
        line.noHScale = c.noH;
        line.noVScale = c.noV;
        s.lines.push_back(line);
        for (ShapeEdge& e : s.edges) {
            e.fill1 = 0;
            e.line = 1;
        }
        Renderer r;
        ASSERT_TRUE(r.resize(50, 30));
        r.setQuality(Quality::Low);
        r.clear(Rgba{255, 255, 255, 255});
        r.drawShape(s, Matrix{0.2, 0, 0, 0.1, 5, 5}, ColorTransform(), nullptr);
        int left = 0, top = 0;
        for (int x = 0; x < 25; ++x)
            left += r.pixels()[15 * 50 + x] == argb(255, 0, 0, 0);
        for (int y = 0; y < 15; ++y)
            top += r.pixels()[y * 50 + 25] == argb(255, 0, 0, 0);
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(top, c.top);
    }
}

TEST(Renderer, ManyFillsInOneSweepDrawAsOneByOne)
{
    // Solid fills whose contours close are drawn together in one sweep; a
    // fill left open (its last straight edge missing, closed again by the
    // outline) is drawn by itself. Both ways must give the same pixels,
    // overlaps and translucency included.
    struct Contour {
        uint32_t fill;
        std::vector<std::pair<int, int>> points;
        int bulge; // sides but the last are curves bowed out this far
    };
    struct Case {
        std::string name;
        std::vector<Contour> contours;
        bool nonZero;
    };
    const std::vector<Case> cases = {
        {"overlapping translucent fills",
         {{1, {{23, 17}, {213, 29}, {181, 203}}, 0}, {2, {{61, 41}, {301, 77}, {277, 291}, {41, 263}}, 25},
          {3, {{121, 97}, {171, 211}, {91, 187}}, -9}},
         false},
        {"a self-crossing star", {{1, {{160, 10}, {250, 300}, {10, 110}, {310, 110}, {70, 300}}, 0}}, false},
        {"a self-crossing star, non-zero", {{2, {{160, 10}, {250, 300}, {10, 110}, {310, 110}, {70, 300}}, 0}}, true},
        {"fills running off every side of the frame",
         {{1, {{-200, -30}, {150, -50}, {120, 400}, {-90, 350}}, 40}, {3, {{150, -50}, {520, 20}, {480, 380}, {120, 400}}, 0}},
         false},
    };
    const FillStyle fills[3] = {solid(250, 40, 10, 160), solid(20, 200, 90), solid(30, 60, 250, 90)};
    for (const Case& c : cases) {
        for (Quality quality : {Quality::Low, Quality::High}) {
            SCOPED_TRACE(c.name + (quality == Quality::Low ? ", low" : ", high"));
            uint32_t frames[2][16 * 16];
            for (int open = 0; open < 2; ++open) {
                Shape s;
                s.fills.assign(fills, fills + 3);
                for (const Contour& contour : c.contours) {
                    const std::size_t n = contour.points.size();
                    for (std::size_t i = 0; i + (open ? 1 : 0) < n; ++i) {
                        const auto a = contour.points[i], b = contour.points[(i + 1) % n];
                        ShapeEdge e;
                        e.x0 = a.first, e.y0 = a.second, e.x1 = b.first, e.y1 = b.second;
                        e.fill1 = contour.fill;
                        if (contour.bulge && i + 1 < n) {
                            e.curved = true;
                            e.cx = (a.first + b.first) / 2 + (b.second - a.second) * contour.bulge / 100;
                            e.cy = (a.second + b.second) / 2 - (b.first - a.first) * contour.bulge / 100;
                        }
                        s.edges.push_back(e);
                    }
                }
                s.groups.push_back(StyleGroup{0, 3, 0, 0, 0, s.edges.size()});
                s.nonZeroWinding = c.nonZero;
                Renderer r;
                ASSERT_TRUE(r.resize(16, 16));
                r.setQuality(quality);
                r.clear(Rgba{40, 40, 40, 255});
                r.drawShape(s, Matrix{0.05, 0.004, -0.003, 0.047, 0.3, 0.45}, ColorTransform(), nullptr);
                std::copy(r.pixels(), r.pixels() + 16 * 16, frames[open]);
            }
            int differing = 0;
            for (int i = 0; i < 16 * 16; ++i)
                differing += frames[0][i] != frames[1][i];
            EXPECT_EQ(differing, 0);
            // The shapes really drew: the frame is not all background.
            EXPECT_NE(std::count(frames[0], frames[0] + 256, argb(255, 40, 40, 40)), 256);
        }
    }
}

TEST(Renderer, GlowsSpreadAroundOrInsideWhatALayerDrew)
{
    // A white 4 x 4 pixel square in the middle of 12 x 12, on black, with a
    // red glow blurred over 3 pixels: pixel 3 lies outside the square, 4 on
    // its edge, 6 inside.
    struct Case {
        bool inner, knockout;
        uint32_t outside, edge, inside; // row 5: pixels 3, 4 and 6
    };
    const Case cases[] = {
        // Outer: red spreads outside; the square stays white on top.
        {false, false, argb(255, 85, 0, 0), argb(255, 255, 255, 255), argb(255, 255, 255, 255)},
        // Knockout: only the glow outside, black where the square was.
        {false, true, argb(255, 85, 0, 0), argb(255, 0, 0, 0), argb(255, 0, 0, 0)},
        // Inner: red tints the square along its edge, nothing outside.
        {true, false, argb(255, 0, 0, 0), argb(255, 255, 170, 170), argb(255, 255, 255, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inner * 2 + c.knockout);
        Renderer r;
        ASSERT_TRUE(r.resize(12, 12));
        r.setQuality(Quality::Low);
        r.clear(Rgba{0, 0, 0, 255});
        r.beginLayer(BlendMode::Layer);
        r.drawShape(rectShape(80, 80, 160, 160, solid(255, 255, 255)), kTwips, ColorTransform(), nullptr);
        Filter g = Filter::glow();
        g.color = Rgba{255, 0, 0, 255};
        g.blurX = g.blurY = 3;
        g.strength = 1;
        g.placement = c.inner ? FilterPlacement::Inner : FilterPlacement::Outer;
        g.knockout = c.knockout;
        r.filterLayer({g}, 1);
        r.endLayer(ColorTransform());
        const uint32_t* row = r.pixels() + 12 * 5;
        EXPECT_TRUE(near(row[3], c.outside, 2)) << "outside";
        EXPECT_TRUE(near(row[4], c.edge, 2)) << "edge";
        EXPECT_TRUE(near(row[6], c.inside, 2)) << "inside";
    }
}
