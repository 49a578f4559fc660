// Filters where the corpus does not reach: every kind of a FILTERLIST read
// back, the bounds each grows, the blur's work against its size (counted,
// not timed), and cached layers drawn again elsewhere.
#include "swfcontrol/engine/draw/Filters.h"
#include "swfcontrol/engine/draw/Renderer.h"
#include "swfcontrol/engine/format/BitReader.h"
#include "swfcontrol/engine/format/Filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace swf {
namespace {

std::vector<uint8_t> fixed16(double v)
{
    const int32_t x = static_cast<int32_t>(v * 65536);
    return {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24)};
}

std::vector<uint8_t> float32(float v)
{
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    return {b[0], b[1], b[2], b[3]};
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FilterList, ReadsEveryKind)
{
    const std::vector<uint8_t> shadowParts = fixed16(5) + fixed16(6) + fixed16(0.5) + fixed16(-21) +
                                             std::vector<uint8_t>{0x80, 0x01}; // strength 1.5
    struct Case {
        const char* what;
        std::vector<uint8_t> record; // after the filter id
        uint8_t id;
        void (*check)(const Filter&);
    };
    const Case cases[] = {
        {"drop shadow, inner, knockout, hiding the object, 3 passes", std::vector<uint8_t>{1, 2, 3, 200} + shadowParts + std::vector<uint8_t>{0xc3}, 0,
         [](const Filter& f) {
             EXPECT_EQ(FilterKind::DropShadow, f.kind);
             EXPECT_EQ(200, f.color.a);
             EXPECT_DOUBLE_EQ(5, f.blurX);
             EXPECT_DOUBLE_EQ(6, f.blurY);
             EXPECT_DOUBLE_EQ(0.5, f.angle);
             EXPECT_DOUBLE_EQ(-21, f.distance);
             EXPECT_DOUBLE_EQ(1.5, f.strength);
             EXPECT_EQ(FilterPlacement::Inner, f.placement);
             EXPECT_TRUE(f.knockout && f.hideObject);
             EXPECT_EQ(3, f.passes);
         }},
        {"blur, 2 passes", fixed16(30) + fixed16(4) + std::vector<uint8_t>{2 << 3}, 1,
         [](const Filter& f) {
             EXPECT_EQ(FilterKind::Blur, f.kind);
             EXPECT_DOUBLE_EQ(30, f.blurX);
             EXPECT_DOUBLE_EQ(4, f.blurY);
             EXPECT_EQ(2, f.passes);
         }},
        {"glow", std::vector<uint8_t>{255, 0, 0, 255} + fixed16(5) + fixed16(5) + std::vector<uint8_t>{0, 2, 0x21}, 2,
         [](const Filter& f) {
             EXPECT_EQ(FilterKind::Glow, f.kind);
             EXPECT_DOUBLE_EQ(2, f.strength);
             EXPECT_EQ(FilterPlacement::Outer, f.placement);
             EXPECT_FALSE(f.hideObject);
             EXPECT_EQ(1, f.passes);
         }},
        {"bevel on top: the highlight comes first", std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255} + shadowParts + std::vector<uint8_t>{0x32}, 3,
         [](const Filter& f) {
             EXPECT_EQ(FilterKind::Bevel, f.kind);
             EXPECT_EQ(255, f.highlight.r);
             EXPECT_EQ(255, f.color.b);
             EXPECT_EQ(FilterPlacement::Full, f.placement);
             EXPECT_EQ(2, f.passes);
         }},
        {"gradient glow", std::vector<uint8_t>{2, 0, 0, 0, 0, 9, 9, 9, 255, 0, 255} + shadowParts + std::vector<uint8_t>{0x21}, 4,
         [](const Filter& f) {
             EXPECT_EQ(FilterKind::GradientGlow, f.kind);
             ASSERT_EQ(2u, f.stops.size());
             EXPECT_EQ(9, f.stops[1].color.r);
             EXPECT_EQ(255, f.stops[1].ratio);
         }},
        {"convolution 3 x 1, clamped", std::vector<uint8_t>{3, 1} + float32(2) + float32(1) + float32(1) + float32(0) + float32(-1) +
                                           std::vector<uint8_t>{0, 0, 0, 0, 0x02},
         5,
         [](const Filter& f) {
             EXPECT_EQ(FilterKind::Convolution, f.kind);
             EXPECT_EQ(3, f.columns);
             EXPECT_EQ(1, f.rows);
             ASSERT_EQ(3u, f.kernel.size());
             EXPECT_FLOAT_EQ(-1, f.kernel[2]);
             EXPECT_FLOAT_EQ(2, f.divisor);
             EXPECT_TRUE(f.clamp);
             EXPECT_FALSE(f.preserveAlpha);
         }},
        {"colour matrix", [] {
             std::vector<uint8_t> m;
             for (int i = 0; i < 20; ++i)
                 m = m + float32(i == 4 ? 100.0f : 0.5f);
             return m;
         }(),
         6,
         [](const Filter& f) {
             EXPECT_EQ(FilterKind::ColorMatrix, f.kind);
             EXPECT_FLOAT_EQ(100, f.matrix[4]);
             EXPECT_FLOAT_EQ(0.5, f.matrix[19]);
         }},
        {"gradient bevel", std::vector<uint8_t>{1, 1, 2, 3, 4, 128} + shadowParts + std::vector<uint8_t>{0x91}, 7,
         [](const Filter& f) {
             EXPECT_EQ(FilterKind::GradientBevel, f.kind);
             EXPECT_EQ(FilterPlacement::Full, f.placement);
             EXPECT_EQ(128, f.stops[0].ratio);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> list{1, c.id};
        list = list + c.record;
        BitReader r(list.data(), list.size());
        std::vector<Filter> filters;
        ASSERT_TRUE(readFilters(r, &filters));
        EXPECT_TRUE(r.atEnd());
        ASSERT_EQ(1u, filters.size());
        c.check(filters[0]);
        // Cut short anywhere, the list fails and keeps nothing half read.
        for (std::size_t n = 1; n < list.size(); ++n) {
            BitReader cut(list.data(), n);
            std::vector<Filter> partial;
            EXPECT_FALSE(readFilters(cut, &partial)) << n;
            EXPECT_TRUE(partial.empty()) << n;
        }
    }
    const uint8_t unknown[] = {1, 9, 0, 0};
    BitReader r(unknown, sizeof unknown);
    EXPECT_FALSE(readFilters(r, nullptr));
}

TEST(FilteredBounds, GrowAsEachFilterReaches)
{
    const FilterBox content{100, 100, 150, 140};
    Filter blur = Filter::blur(10, 4, 3);
    Filter shadow = Filter::dropShadow();
    shadow.angle = 0;
    Filter inner = Filter::glow();
    inner.placement = FilterPlacement::Inner;
    Filter bevel = Filter::bevel();
    bevel.placement = FilterPlacement::Outer;
    bevel.blurX = bevel.blurY = 2;
    bevel.angle = 0;
    bevel.distance = 3;
    struct Case {
        const char* what;
        std::vector<Filter> filters;
        double scale;
        FilterBox grown;
    };
    const Case cases[] = {
        // A box of 10 spreads 5 pixels a pass, one of 4 spreads 2.
        {"blur, 3 passes", {blur}, 1, {85, 94, 165, 146}},
        // The stage's scale stretches the spread: 9 pixels for a box of 10.
        {"blur at twice the size", {Filter::blur(10, 10, 1)}, 2, {91, 91, 159, 149}},
        {"shadow cast 4 to the right", {shadow}, 1, {100, 98, 156, 142}},
        {"inner glow stays inside", {inner}, 1, content},
        {"bevel lit from both sides", {bevel}, 1, {96, 99, 154, 141}},
        {"colour matrix", {Filter{}}, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Filter> filters = c.filters;
        if (std::string(c.what) == "colour matrix") {
            filters[0].kind = FilterKind::ColorMatrix;
            const FilterBox same = filteredBounds(filters, 1, content);
            EXPECT_EQ(content.x0, same.x0);
            EXPECT_EQ(content.y1, same.y1);
            continue;
        }
        const FilterBox b = filteredBounds(filters, c.scale, content);
        EXPECT_EQ(c.grown.x0, b.x0);
        EXPECT_EQ(c.grown.y0, b.y0);
        EXPECT_EQ(c.grown.x1, b.x1);
        EXPECT_EQ(c.grown.y1, b.y1);
    }
}

TEST(Blur, WorkGrowsWithThePixelsNotTheSize)
{
    const int w = 96, h = 64;
    uint64_t steps[3] = {};
    const double sizes[3] = {3, 40, 255};
    for (int i = 0; i < 3; ++i) {
        std::vector<uint8_t> plane(static_cast<std::size_t>(w) * h, 0);
        for (int y = h / 2 - 10; y < h / 2 + 10; ++y)
            for (int x = w / 2 - 10; x < w / 2 + 10; ++x)
                plane[static_cast<std::size_t>(y) * w + x] = 255;
        FilterScratch scratch;
        blurPlane(plane.data(), w, h, sizes[i], sizes[i], 1, scratch);
        steps[i] = scratch.blurSteps;
        // Really blurred: the block has dimmed and spread beyond itself.
        EXPECT_LT(plane[static_cast<std::size_t>(h / 2) * w + w / 2 + 9], 255) << sizes[i];
        EXPECT_GT(plane[static_cast<std::size_t>(h / 2) * w + w / 2 + 10], 0) << sizes[i];
    }
    EXPECT_EQ(uint64_t(w) * h * 2, steps[0]);
    EXPECT_EQ(steps[0], steps[1]);
    EXPECT_EQ(steps[0], steps[2]);
}

TEST(Blur, KeepsAnEvenFieldEven)
{
    // Averages of equal values are those values, whatever the box.
    for (double size : {2.0, 4.0, 5.0, 7.5, 50.0}) {
        std::vector<uint8_t> plane(200 * 200, 173);
        FilterScratch scratch;
        blurPlane(plane.data(), 200, 200, size, size, 2, scratch);
        EXPECT_EQ(173, plane[100 * 200 + 100]) << size;
    }
}

Shape squareShape()
{
    Shape s;
    s.fills.resize(1);
    s.fills[0].color = Rgba{255, 255, 255, 255};
    const int32_t pts[4][2] = {{0, 0}, {200, 0}, {200, 200}, {0, 200}};
    for (int i = 0; i < 4; ++i) {
        ShapeEdge e;
        e.x0 = pts[i][0], e.y0 = pts[i][1], e.x1 = pts[(i + 1) % 4][0], e.y1 = pts[(i + 1) % 4][1];
        e.fill1 = 1;
        s.edges.push_back(e);
    }
    StyleGroup g;
    g.fillCount = 1;
    g.edgeCount = 4;
    s.groups.push_back(g);
    s.bounds = s.edgeBounds = Rect{0, 200, 0, 200};
    return s;
}

TEST(KeptLayers, DrawAgainWhereTheyArePlacedUntilAFrameSkipsThem)
{
    Renderer r;
    ASSERT_TRUE(r.resize(40, 40));
    r.setQuality(Quality::Low);
    r.clear(Rgba{0, 0, 0, 255});
    r.beginLayer(BlendMode::Layer);
    EXPECT_FALSE(r.drawKeptLayer(7, 2, 2));
    r.drawShape(squareShape(), Matrix{0.05, 0, 0, 0.05, 2, 2}, ColorTransform(), nullptr);
    r.filterLayer({Filter::blur(3, 3, 1)}, 1);
    r.keepLayer(7, 2, 2);
    r.endLayer(ColorTransform());
    std::vector<uint32_t> first(r.pixels(), r.pixels() + 40 * 40);

    // The next frame draws it 20 pixels right and down from the kept pixels.
    r.clear(Rgba{0, 0, 0, 255});
    r.beginLayer(BlendMode::Layer);
    ASSERT_TRUE(r.drawKeptLayer(7, 22, 22));
    r.endLayer(ColorTransform());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(first[static_cast<std::size_t>(y) * 40 + x], r.pixels()[static_cast<std::size_t>(y + 20) * 40 + x + 20]);
    EXPECT_NE(0xff000000u, r.pixels()[(22 + 5) * 40 + 22 + 5]); // really drawn

    // A frame that does not draw it drops it.
    r.clear(Rgba{0, 0, 0, 255});
    r.clear(Rgba{0, 0, 0, 255});
    r.beginLayer(BlendMode::Layer);
    EXPECT_FALSE(r.drawKeptLayer(7, 2, 2));
    r.endLayer(ColorTransform());
}

} // namespace
} // namespace swf
