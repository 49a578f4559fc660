#include "swfcontrol/engine/draw/Renderer.h"

#include "swfcontrol/engine/draw/Compositing.h"
#include "swfcontrol/engine/draw/Filters.h"
#include "swfcontrol/engine/draw/Gradient.h"
#include "swfcontrol/engine/draw/Outline.h"
#include "swfcontrol/engine/draw/Rasterizer.h"
#include "swfcontrol/engine/draw/Stroker.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace swf {

namespace {

// Frames larger than this are refused: 16384 x 16384 is the largest stage
// the format's 16-bit twip sizes can give once scaled.
constexpr int kMaxSide = 16384;
constexpr std::size_t kMaxPixels = 64u * 1024u * 1024u;

struct Box {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
    void unite(int ax0, int ay0, int ax1, int ay1)
    {
        if (ax1 <= ax0 || ay1 <= ay0)
            return;
        if (empty()) {
            *this = {ax0, ay0, ax1, ay1};
            return;
        }
        x0 = std::min(x0, ax0), y0 = std::min(y0, ay0), x1 = std::max(x1, ax1), y1 = std::max(y1, ay1);
    }
    Box intersect(const Box& o) const
    {
        Box r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
        if (r.empty())
            r = Box{};
        return r;
    }
};

struct Surface {
    std::vector<uint32_t> pixels;
    pixman_image_t* image = nullptr;
    BlendMode mode = BlendMode::Normal;
    Box dirty;

    ~Surface()
    {
        if (image)
            pixman_image_unref(image);
    }
};

struct MaskLayer {
    std::vector<uint8_t> coverage; // frame-sized A8, zero outside `box`
    Box box;
    bool building = true;
    // What the mask clips is drawn into a layer of its own (layers[layer])
    // and goes through the mask when it is popped: where shapes overlap on a
    // partly covered edge, the mask then dims what they show together, not
    // each shape by itself.
    bool layered = false;
    std::size_t layer = 0;
};

inline uint8_t mul255(unsigned a, unsigned b)
{
    const unsigned t = a * b + 128;
    return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

pixman_image_t* a8Image(const Coverage& cov)
{
    return pixman_image_create_bits(PIXMAN_a8, cov.width, cov.height, reinterpret_cast<uint32_t*>(cov.data),
                                    cov.stride);
}

double strokeScale(const LineStyle& line, const Matrix& m)
{
    // No-scale lines keep their width in stage pixels.
    if (line.noHScale && line.noVScale)
        return 1.0 / 20;
    if (line.noHScale)
        return std::sqrt(m.c * m.c + m.d * m.d);
    if (line.noVScale)
        return std::sqrt(m.a * m.a + m.b * m.b);
    return std::sqrt(std::fabs(m.determinant()));
}

// How far a matrix stretches lengths, at most and at least (its singular
// values), and its inverse.
struct Stretch {
    double largest = 0, smallest = 0;
    Matrix inverse;
    bool invertible = false;
    explicit Stretch(const Matrix& m)
    {
        const double e = (m.a * m.a + m.b * m.b + m.c * m.c + m.d * m.d) / 2;
        const double h = (m.a * m.a + m.b * m.b - m.c * m.c - m.d * m.d) / 2, k = m.a * m.c + m.b * m.d;
        const double f = std::sqrt(h * h + k * k);
        largest = std::sqrt(e + f);
        smallest = std::sqrt(std::max(0.0, e - f));
        invertible = invert(m, inverse);
    }
};

// A fill style (1-based, numbered across the shape) as an index into the
// group's fills, or fillCount for none: styles outside the group's range
// are ignored.
uint32_t groupFill(uint32_t style, const StyleGroup& g, uint32_t fillCount)
{
    const uint32_t i = style - 1 - g.firstFill;
    return style != 0 && style - 1 >= g.firstFill && i < fillCount ? i : fillCount;
}

} // namespace

struct Renderer::State {
    int width = 0, height = 0;
    Quality quality = Quality::High;
    Surface frame;
    // Where the fills of one shape gather before they go onto the target
    // together (see drawShape); kept clear outside its dirty box.
    Surface shapeFills;
    bool gathering = false;
    // Layers in use are layers[0 .. layerDepth); the rest wait for reuse.
    std::vector<std::unique_ptr<Surface>> layers;
    std::size_t layerDepth = 0;
    std::vector<std::unique_ptr<MaskLayer>> masks;
    std::size_t maskDepth = 0;

    Rasterizer raster;
    FillOutline fillOutline;
    Stroker stroker;
    StrokePaths strokePaths;
    std::vector<std::vector<DirectedEdge>> fillEdges;
    std::vector<std::vector<uint32_t>> lineEdges;
    std::vector<uint32_t> paintScratch;
    // Per fill of a style group: its edges and whether they close up, and
    // whether sweepSolidFills draws it; the sweep's colours by style index.
    struct FillUse {
        uint32_t edges = 0;
        uint64_t balance = 0;
    };
    std::vector<FillUse> fillUse;
    std::vector<uint8_t> swept;
    std::vector<uint32_t> styleColors;
    std::vector<Point> edgePoints;
    std::vector<uint8_t> coverageCopy;
    // Sweeps of big groups kept for drawing them again (sweepWithCache).
    struct KeptSweep {
        uint64_t key = 0;
        std::vector<uint32_t> colors;
        Box box;
        std::vector<uint32_t> pixels;
        uint64_t lastUse = 0;
    };
    std::vector<KeptSweep> keptSweeps;
    // Layers kept as cached bitmaps (keepLayer).
    struct KeptLayer {
        uint64_t key = 0;
        int x0 = 0, y0 = 0, width = 0, height = 0; // from the origin it was kept at
        std::vector<uint32_t> pixels;
        bool used = false;
    };
    std::vector<KeptLayer> keptLayers;
    std::size_t keptLayerPixels = 0;
    uint64_t sweepClock = 0;
    // Recently built ramps: the same gradients come back frame after frame.
    std::vector<std::unique_ptr<GradientRamp>> ramps;
    std::size_t nextRamp = 0;
    BitmapCache bitmapCache;
    FilterScratch filterScratch;

    Surface& layerTarget() { return layerDepth ? *layers[layerDepth - 1] : frame; }
    Surface& target() { return gathering ? shapeFills : layerTarget(); }
    // Makes the surface a frame-sized image unless it is one already: Fresh
    // (made anew, transparent), Kept (its pixels as they were left) or Failed.
    enum class Sized { Fresh, Kept, Failed };
    Sized frameSized(Surface& surface);
    bool beginGathering();
    void endGathering();
    Surface* parentOfTop() { return layerDepth >= 2 ? layers[layerDepth - 2].get() : &frame; }
    // High quality measures coverage as 4x multisampling does: that is how
    // the movies' reference images were drawn, and it costs less than exact
    // areas.
    Sampling sampling() const
    {
        if (quality != Quality::High)
            return Sampling::Centre;
        // What goes into a blend-mode layer was drawn with finer
        // anti-aliasing in the reference images: exact areas match it.
        for (std::size_t i = 0; i < layerDepth; ++i) {
            if (layers[i]->mode != BlendMode::Normal && layers[i]->mode != BlendMode::Layer)
                return Sampling::Area;
        }
        return Sampling::FourSamples;
    }

    MaskLayer* topMask() { return maskDepth ? masks[maskDepth - 1].get() : nullptr; }
    MaskLayer* buildingMask()
    {
        for (std::size_t i = maskDepth; i-- > 0;) {
            if (masks[i]->building)
                return masks[i].get();
        }
        return nullptr;
    }

    Box clipBox()
    {
        Box box{0, 0, width, height};
        MaskLayer* top = topMask();
        if (top && !top->building)
            box = box.intersect(top->box);
        return box;
    }

    void paint(Coverage cov, const FillStyle* fill, Rgba solid, const ColorTransform& cxform, BitmapSource* bitmaps,
               const Matrix& toPixels);
    void compositeSolid(const Coverage& cov, Rgba color);
    void classifyFills(const Shape& shape, const StyleGroup& g, std::size_t firstEdge, std::size_t lastEdge,
                       uint32_t fillCount, const Rgba* solidFill, uint32_t& used, uint32_t& sweepable);
    void drawStroke(const Shape& shape, const LineStyle& line, const std::vector<uint32_t>& edges,
                    const Matrix& toPixels, const Stretch& stretch, const Box& clip, Sampling aa,
                    const ColorTransform& cxform, BitmapSource* bitmaps);
    bool sweepSolidFills(const Shape& shape, const StyleGroup& g, std::size_t firstEdge, std::size_t lastEdge,
                         uint32_t fillCount, const Matrix& toPixels, const ColorTransform& cxform,
                         const Rgba* solidFill, const Box& clip, FillRule rule, Sampling sampling);
    void sweepColors(const Shape& shape, const StyleGroup& g, uint32_t fillCount, const ColorTransform& cxform,
                     const Rgba* solidFill);
    bool sweepWithCache(const Shape& shape, const StyleGroup& g, std::size_t firstEdge, std::size_t lastEdge,
                        uint32_t fillCount, const Matrix& toPixels, const ColorTransform& cxform,
                        const Rgba* solidFill, const Box& clip, FillRule rule, Sampling sampling);
    uint64_t sweepKey(const Shape& shape, std::size_t firstEdge, std::size_t lastEdge, const Matrix& toPixels,
                      const Box& clip, FillRule rule, Sampling sampling) const;
    const GradientRamp& rampFor(const Gradient& gradient, const ColorTransform& cxform);
    void compositeImage(const Coverage& cov, pixman_image_t* src, int srcX, int srcY);
};

const GradientRamp& Renderer::State::rampFor(const Gradient& gradient, const ColorTransform& cxform)
{
    constexpr std::size_t kKept = 8;
    for (const auto& r : ramps) {
        if (r->builtFrom(gradient, cxform))
            return *r;
    }
    if (ramps.size() < kKept)
        ramps.push_back(std::make_unique<GradientRamp>());
    nextRamp = ramps.size() < kKept ? ramps.size() - 1 : (nextRamp + 1) % kKept;
    GradientRamp& r = *ramps[nextRamp];
    r.build(gradient, cxform);
    return r;
}

void Renderer::State::compositeImage(const Coverage& cov, pixman_image_t* src, int srcX, int srcY)
{
    Surface& dst = target();
    pixman_image_t* mask = a8Image(cov);
    if (mask) {
        pixman_image_composite32(gathering ? PIXMAN_OP_ADD : PIXMAN_OP_OVER, src, mask, dst.image, srcX, srcY, 0, 0,
                                 cov.x, cov.y, cov.width, cov.height);
        pixman_image_unref(mask);
    }
    dst.dirty.unite(cov.x, cov.y, cov.x + cov.width, cov.y + cov.height);
}

void Renderer::State::compositeSolid(const Coverage& cov, Rgba c)
{
    if (c.a == 0)
        return;
    // pixman colours are premultiplied, 16 bits a channel.
    const auto pm = [&](uint8_t v) { return static_cast<uint16_t>(mul255(v, c.a) * 257); };
    const pixman_color_t color{pm(c.r), pm(c.g), pm(c.b), static_cast<uint16_t>(c.a * 257)};
    pixman_image_t* src = pixman_image_create_solid_fill(&color);
    if (src) {
        compositeImage(cov, src, 0, 0);
        pixman_image_unref(src);
    }
}

void Renderer::State::paint(Coverage cov, const FillStyle* fill, Rgba solid, const ColorTransform& cxform,
                            BitmapSource* bitmaps, const Matrix& toPixels)
{
    if (cov.empty())
        return;
    MaskLayer* top = topMask();
    MaskLayer* building = buildingMask();
    // A finished mask above the one being built clips what goes into it too.
    if (top && !top->building && (building || !top->layered)) {
        for (int r = 0; r < cov.height; ++r) {
            uint8_t* row = cov.data + static_cast<std::ptrdiff_t>(r) * cov.stride;
            const uint8_t* clip = &top->coverage[static_cast<std::size_t>(cov.y + r) * width + cov.x];
            for (int i = 0; i < cov.width; ++i)
                row[i] = mul255(row[i], clip[i]);
        }
    }
    if (building) {
        // Masks take coverage only: the union of everything drawn into them.
        // The first shape's coverage is the mask so far.
        if (building->box.empty()) {
            for (int r = 0; r < cov.height; ++r)
                std::memcpy(&building->coverage[static_cast<std::size_t>(cov.y + r) * width + cov.x],
                            cov.data + static_cast<std::ptrdiff_t>(r) * cov.stride, static_cast<std::size_t>(cov.width));
            building->box.unite(cov.x, cov.y, cov.x + cov.width, cov.y + cov.height);
            return;
        }
        for (int r = 0; r < cov.height; ++r) {
            const uint8_t* row = cov.data + static_cast<std::ptrdiff_t>(r) * cov.stride;
            uint8_t* m = &building->coverage[static_cast<std::size_t>(cov.y + r) * width + cov.x];
            for (int i = 0; i < cov.width; ++i)
                m[i] = static_cast<uint8_t>(m[i] + row[i] - mul255(m[i], row[i]));
        }
        building->box.unite(cov.x, cov.y, cov.x + cov.width, cov.y + cov.height);
        return;
    }
    if (!fill || fill->kind == FillKind::Solid) {
        compositeSolid(cov, cxform.apply(fill ? fill->color : solid));
        return;
    }
    if (fill->kind == FillKind::Bitmap) {
        const Bitmap* bitmap = bitmaps ? bitmaps->bitmap(fill->bitmapId) : nullptr;
        if (!bitmap || bitmap->width <= 0 || bitmap->height <= 0 ||
            bitmap->pixels.size() != static_cast<std::size_t>(bitmap->width) * bitmap->height)
            return;
        const BitmapPaint paint = bitmapCache.prepare(*bitmap, cxform);
        if (paint.coverageScale == 0)
            return;
        if (paint.coverageScale != 255) {
            for (int r = 0; r < cov.height; ++r) {
                uint8_t* row = cov.data + static_cast<std::ptrdiff_t>(r) * cov.stride;
                for (int i = 0; i < cov.width; ++i)
                    row[i] = mul255(row[i], paint.coverageScale);
            }
        }
        pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, bitmap->width, bitmap->height,
                                                       const_cast<uint32_t*>(paint.pixels), bitmap->width * 4);
        if (!src)
            return;
        Matrix inv;
        pixman_f_transform ft;
        pixman_transform t;
        bool ok = invert(toPixels * fill->matrix, inv);
        if (ok) {
            pixman_f_transform_init_identity(&ft);
            ft.m[0][0] = inv.a, ft.m[0][1] = inv.c, ft.m[0][2] = inv.tx;
            ft.m[1][0] = inv.b, ft.m[1][1] = inv.d, ft.m[1][2] = inv.ty;
            ok = pixman_transform_from_pixman_f_transform(&t, &ft);
        }
        if (ok) {
            pixman_image_set_transform(src, &t);
            // Smoothed bitmaps are smoothed at low quality too: the
            // reference images of low-quality movies show them filtered.
            const bool smooth = fill->bitmapSmooth;
            pixman_image_set_filter(src, smooth ? PIXMAN_FILTER_BILINEAR : PIXMAN_FILTER_NEAREST, nullptr, 0);
            // Clipped bitmaps stretch their edge pixels beyond the image.
            pixman_image_set_repeat(src, fill->bitmapRepeat ? PIXMAN_REPEAT_NORMAL : PIXMAN_REPEAT_PAD);
            compositeImage(cov, src, cov.x, cov.y);
        }
        pixman_image_unref(src);
        return;
    }
    // Gradients.
    const GradientRamp& ramp = rampFor(fill->gradient, cxform);
    if (ramp.empty())
        return;
    const std::size_t count = static_cast<std::size_t>(cov.width) * cov.height;
    if (paintScratch.size() < count)
        paintScratch.resize(count);
    paintGradient(fill->kind, fill->gradient.spread, fill->gradient.focal, toPixels * fill->matrix, ramp, cov.x,
                  cov.y, cov.width, cov.height, paintScratch.data(), cov.width);
    pixman_image_t* src =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, cov.width, cov.height, paintScratch.data(), cov.width * 4);
    if (src) {
        compositeImage(cov, src, 0, 0);
        pixman_image_unref(src);
    }
}

// The sweep's colours by style index (0 for none): the fills marked in
// `swept`, premultiplied, as pixman takes a solid colour.
void Renderer::State::sweepColors(const Shape& shape, const StyleGroup& g, uint32_t fillCount,
                                  const ColorTransform& cxform, const Rgba* solidFill)
{
    styleColors.assign(fillCount + 1, 0);
    for (uint32_t i = 0; i < fillCount; ++i) {
        if (!swept[i])
            continue;
        const Rgba c = cxform.apply(solidFill ? *solidFill : shape.fills[g.firstFill + i].color);
        styleColors[i + 1] = (uint32_t(c.a) << 24) | (uint32_t(mul255(c.r, c.a)) << 16) |
                             (uint32_t(mul255(c.g, c.a)) << 8) | mul255(c.b, c.a);
    }
}

// The fills marked in `swept` are rasterized together in one sweep over the
// shape's edges: a shape of thousands of small fills then costs about what
// one large fill does. Four samples a pixel go straight into the gathering
// surface; pixel centres paint the target. False if the sweep refused.
bool Renderer::State::sweepSolidFills(const Shape& shape, const StyleGroup& g, std::size_t firstEdge,
                                      std::size_t lastEdge, uint32_t fillCount, const Matrix& toPixels,
                                      const ColorTransform& cxform, const Rgba* solidFill, const Box& clip,
                                      FillRule rule, Sampling sampling)
{
    sweepColors(shape, g, fillCount, cxform, solidFill);
    // The sweep's style index of a fill: 0 for none or one not swept.
    const auto style = [&](uint32_t fill) -> uint32_t {
        const uint32_t i = groupFill(fill, g, fillCount);
        return i < fillCount && swept[i] ? i + 1 : 0;
    };
    raster.reset(clip.x0, clip.y0, clip.x1, clip.y1);
    for (std::size_t k = firstEdge; k < lastEdge; ++k) {
        const ShapeEdge& e = shape.edges[k];
        const uint32_t left = style(e.fill0), right = style(e.fill1);
        if (left == right)
            continue;
        raster.setStyles(left, right);
        edgePoints.clear();
        edgePoints.push_back(toPixels.apply({static_cast<double>(e.x0), static_cast<double>(e.y0)}));
        appendEdge(directed(e, false), toPixels, raster, edgePoints);
        for (std::size_t j = 0; j + 1 < edgePoints.size(); ++j)
            raster.addLine(edgePoints[j].x, edgePoints[j].y, edgePoints[j + 1].x, edgePoints[j + 1].y);
    }
    Surface& dst = target();
    PixelBox box;
    if (!raster.renderStyles(rule, sampling, styleColors.data(), styleColors.size(), dst.pixels.data(),
                             static_cast<std::size_t>(width), box))
        return false;
    dst.dirty.unite(box.x0, box.y0, box.x1, box.y1);
    return true;
}

// What a sweep's pixels depend on besides the colours: the group's edges
// and which fills it took, where it was drawn and how.
uint64_t Renderer::State::sweepKey(const Shape& shape, std::size_t firstEdge, std::size_t lastEdge,
                                   const Matrix& toPixels, const Box& clip, FillRule rule, Sampling sampling) const
{
    uint64_t h = 0x9e3779b97f4a7c15ull;
    const auto mix = [&h](uint64_t v) {
        h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
        h *= 0xff51afd7ed558ccdull;
    };
    const auto bits = [](double v) {
        uint64_t u;
        std::memcpy(&u, &v, sizeof u);
        return u;
    };
    for (std::size_t k = firstEdge; k < lastEdge; ++k) {
        const ShapeEdge& e = shape.edges[k];
        mix((uint64_t(uint32_t(e.x0)) << 32) | uint32_t(e.y0));
        mix((uint64_t(uint32_t(e.x1)) << 32) | uint32_t(e.y1));
        if (e.curved)
            mix((uint64_t(uint32_t(e.cx)) << 32) | uint32_t(e.cy));
        mix((uint64_t(e.fill0) << 32) | e.fill1);
    }
    for (uint8_t taken : swept)
        mix(taken);
    for (double v : {toPixels.a, toPixels.b, toPixels.c, toPixels.d, toPixels.tx, toPixels.ty})
        mix(bits(v));
    mix((uint64_t(uint32_t(clip.x0)) << 32) | uint32_t(clip.y0));
    mix((uint64_t(uint32_t(clip.x1)) << 32) | uint32_t(clip.y1));
    mix((uint64_t(rule == FillRule::NonZero) << 8) | static_cast<uint64_t>(sampling));
    return h;
}

// A big group's sweep, summed into the gathering surface, is kept: drawn
// again unchanged (a detailed background, frame after frame), its pixels
// are copied back instead. At most kKeptSweeps, a frame's pixels in all.
bool Renderer::State::sweepWithCache(const Shape& shape, const StyleGroup& g, std::size_t firstEdge,
                                     std::size_t lastEdge, uint32_t fillCount, const Matrix& toPixels,
                                     const ColorTransform& cxform, const Rgba* solidFill, const Box& clip,
                                     FillRule rule, Sampling sampling)
{
    constexpr std::size_t kBigGroup = 2048; // edges
    constexpr std::size_t kKeptSweeps = 2;
    if (!gathering || lastEdge - firstEdge < kBigGroup)
        return sweepSolidFills(shape, g, firstEdge, lastEdge, fillCount, toPixels, cxform, solidFill, clip, rule,
                               sampling);
    const uint64_t key = sweepKey(shape, firstEdge, lastEdge, toPixels, clip, rule, sampling);
    ++sweepClock;
    for (KeptSweep& kept : keptSweeps) {
        if (kept.key != key || kept.colors.size() != fillCount + 1)
            continue;
        sweepColors(shape, g, fillCount, cxform, solidFill);
        if (kept.colors != styleColors)
            continue;
        const Box& b = kept.box;
        const int w = b.x1 - b.x0;
        for (int y = b.y0; y < b.y1; ++y)
            std::copy_n(&kept.pixels[static_cast<std::size_t>(y - b.y0) * w], w,
                        &shapeFills.pixels[static_cast<std::size_t>(y) * width + b.x0]);
        shapeFills.dirty.unite(b.x0, b.y0, b.x1, b.y1);
        kept.lastUse = sweepClock;
        return true;
    }
    const Box before = shapeFills.dirty;
    if (!sweepSolidFills(shape, g, firstEdge, lastEdge, fillCount, toPixels, cxform, solidFill, clip, rule,
                         sampling))
        return false;
    // Nothing else is in the gathering surface yet: what it holds is the sweep's.
    const Box b = shapeFills.dirty.intersect(Box{0, 0, width, height});
    const std::size_t area = b.empty() ? 0 : static_cast<std::size_t>(b.x1 - b.x0) * (b.y1 - b.y0);
    const std::size_t budget = static_cast<std::size_t>(width) * height;
    if (!before.empty() || area == 0 || area > budget)
        return true;
    if (keptSweeps.size() < kKeptSweeps)
        keptSweeps.emplace_back();
    KeptSweep* slot = &keptSweeps[0];
    for (KeptSweep& kept : keptSweeps)
        slot = kept.lastUse < slot->lastUse ? &kept : slot;
    // The others give way, least used first, until all fit the budget.
    std::size_t held = area;
    for (KeptSweep& kept : keptSweeps)
        held += &kept == slot ? 0 : kept.pixels.size();
    while (held > budget) {
        KeptSweep* oldest = nullptr;
        for (KeptSweep& kept : keptSweeps) {
            if (&kept != slot && !kept.pixels.empty() && (!oldest || kept.lastUse < oldest->lastUse))
                oldest = &kept;
        }
        held -= oldest->pixels.size();
        oldest->pixels = std::vector<uint32_t>();
        oldest->key = 0;
        oldest->colors.clear();
    }
    slot->key = key;
    slot->colors = styleColors;
    slot->box = b;
    slot->lastUse = sweepClock;
    const int w = b.x1 - b.x0;
    slot->pixels.resize(area);
    for (int y = b.y0; y < b.y1; ++y)
        std::copy_n(&shapeFills.pixels[static_cast<std::size_t>(y) * width + b.x0], w,
                    &slot->pixels[static_cast<std::size_t>(y - b.y0) * w]);
    return true;
}

Renderer::State::Sized Renderer::State::frameSized(Surface& surface)
{
    const std::size_t count = static_cast<std::size_t>(width) * height;
    if (surface.pixels.size() == count && surface.image)
        return Sized::Kept;
    if (surface.image)
        pixman_image_unref(surface.image);
    surface.pixels.assign(count, 0);
    surface.image = pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, surface.pixels.data(), width * 4);
    return surface.image ? Sized::Fresh : Sized::Failed;
}

bool Renderer::State::beginGathering()
{
    if (frameSized(shapeFills) == Sized::Failed)
        return false;
    shapeFills.dirty = Box{};
    gathering = true;
    return true;
}

void Renderer::State::endGathering()
{
    gathering = false;
    const Box box = shapeFills.dirty.intersect(Box{0, 0, width, height});
    if (box.empty())
        return;
    Surface& dst = layerTarget();
    pixman_image_composite32(PIXMAN_OP_OVER, shapeFills.image, nullptr, dst.image, box.x0, box.y0, 0, 0, box.x0,
                             box.y0, box.x1 - box.x0, box.y1 - box.y0);
    dst.dirty.unite(box.x0, box.y0, box.x1, box.y1);
    for (int y = box.y0; y < box.y1; ++y) {
        uint32_t* row = &shapeFills.pixels[static_cast<std::size_t>(y) * width];
        std::fill(row + box.x0, row + box.x1, 0u);
    }
}

Renderer::Renderer() : state_(new State) {}

Renderer::~Renderer() = default;

bool Renderer::resize(int width, int height)
{
    State& s = *state_;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        static_cast<std::size_t>(width) * height > kMaxPixels)
        return false;
    if (width == s.width && height == s.height)
        return true;
    s.layers.clear();
    s.layerDepth = 0;
    s.masks.clear();
    s.maskDepth = 0;
    s.keptSweeps.clear();
    s.keptLayers.clear();
    s.keptLayerPixels = 0;
    // Sized anew on first use: the same pixel count may come with another width.
    if (s.shapeFills.image)
        pixman_image_unref(s.shapeFills.image);
    s.shapeFills.image = nullptr;
    s.shapeFills.pixels.clear();
    if (s.frame.image)
        pixman_image_unref(s.frame.image);
    s.frame.image = nullptr;
    s.frame.pixels.assign(static_cast<std::size_t>(width) * height, 0);
    s.frame.image = pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, s.frame.pixels.data(), width * 4);
    if (!s.frame.image) {
        s.frame.pixels.clear();
        s.width = s.height = 0;
        return false;
    }
    s.width = width;
    s.height = height;
    return true;
}

int Renderer::width() const { return state_->width; }
int Renderer::height() const { return state_->height; }
const uint32_t* Renderer::pixels() const { return state_->frame.pixels.data(); }
void Renderer::setQuality(Quality quality) { state_->quality = quality; }
Quality Renderer::quality() const { return state_->quality; }

void Renderer::clear(Rgba background)
{
    State& s = *state_;
    s.layerDepth = 0;
    s.maskDepth = 0;
    const uint32_t c = 0xff000000u | (uint32_t(background.r) << 16) | (uint32_t(background.g) << 8) | background.b;
    std::fill(s.frame.pixels.begin(), s.frame.pixels.end(), c);
    s.bitmapCache.endFrame();
    // Cached bitmaps the last frame did not draw are gone.
    auto keep = s.keptLayers.begin();
    for (auto& k : s.keptLayers) {
        if (k.used) {
            k.used = false;
            if (&*keep != &k)
                *keep = std::move(k);
            ++keep;
        } else {
            s.keptLayerPixels -= k.pixels.size();
        }
    }
    s.keptLayers.erase(keep, s.keptLayers.end());
}

// Marks in `swept` the group's solid fills whose edges close up (each
// point is left as often as it is reached; a hash of the points stands in
// for counting them one by one), and counts the fills with edges.
void Renderer::State::classifyFills(const Shape& shape, const StyleGroup& g, std::size_t firstEdge,
                                    std::size_t lastEdge, uint32_t fillCount, const Rgba* solidFill, uint32_t& used,
                                    uint32_t& sweepable)
{
    fillUse.assign(fillCount, FillUse{});
    const auto hash = [](int32_t x, int32_t y) {
        uint64_t h = (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) | static_cast<uint32_t>(y);
        h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ull;
        h = (h ^ (h >> 27)) * 0x94d049bb133111ebull;
        return h ^ (h >> 31);
    };
    for (std::size_t k = firstEdge; k < lastEdge; ++k) {
        const ShapeEdge& e = shape.edges[k];
        const uint32_t f0 = groupFill(e.fill0, g, fillCount), f1 = groupFill(e.fill1, g, fillCount);
        if (f0 == f1)
            continue; // both sides alike: it cancels out
        const uint64_t way = hash(e.x0, e.y0) - hash(e.x1, e.y1);
        if (f0 < fillCount) {
            ++fillUse[f0].edges;
            fillUse[f0].balance -= way;
        }
        if (f1 < fillCount) {
            ++fillUse[f1].edges;
            fillUse[f1].balance += way;
        }
    }
    used = sweepable = 0;
    swept.assign(fillCount, 0);
    for (uint32_t i = 0; i < fillCount; ++i) {
        if (!fillUse[i].edges)
            continue;
        ++used;
        if (fillUse[i].balance == 0 && (solidFill || shape.fills[g.firstFill + i].kind == FillKind::Solid)) {
            swept[i] = 1;
            ++sweepable;
        }
    }
}

// One line style's stroke along its edges.
void Renderer::State::drawStroke(const Shape& shape, const LineStyle& line, const std::vector<uint32_t>& edges,
                                 const Matrix& toPixels, const Stretch& stretch, const Box& clip, Sampling aa,
                                 const ColorTransform& cxform, BitmapSource* bitmaps)
{
    StrokeStyle style;
    style.startCap = line.startCap;
    style.endCap = line.endCap;
    style.join = line.join;
    style.miterLimit = line.miterLimit;
    // A stroke is drawn in shape space, so a stretched shape stretches its
    // strokes too; no-scale lines get the width whose thinnest side is their
    // width in stage pixels. A line that scales one way only keeps one width
    // all round: its width scaled as that direction is, in stage pixels.
    // Where a stroke would be under a pixel wide, it is drawn one pixel wide
    // instead.
    const bool oneWay = line.noHScale != line.noVScale;
    double width = line.width;
    if (line.noHScale && line.noVScale)
        width = line.width / 20.0 / std::max(stretch.smallest, 1e-9);
    // A stroke drawn in shape space has its curves flattened there too,
    // finely enough for the shape's thinnest side in pixels: the aliased
    // reference images show stretched curves' strokes with the chords of the
    // unstretched curve.
    const bool inShape = !oneWay && width * stretch.smallest >= 1 && stretch.invertible;
    strokePaths.clear();
    for (uint32_t k : edges) {
        if (inShape)
            strokePaths.addEdge(shape.edges[k], Matrix{}, kFlatness / stretch.smallest);
        else
            strokePaths.addEdge(shape.edges[k], toPixels);
    }
    strokePaths.finish();
    if (inShape) {
        style.halfWidth = std::min(width, 1e9) / 2;
        style.toPixels = toPixels;
        style.pixelsPerUnit = stretch.smallest;
    } else if (oneWay) {
        style.halfWidth = std::min(std::max(1.0, line.width * strokeScale(line, toPixels)), 1e9) / 2;
    } else {
        style.halfWidth = 0.5;
    }
    raster.reset(clip.x0, clip.y0, clip.x1, clip.y1);
    for (const StrokePath& path : strokePaths.paths)
        stroker.add(&strokePaths.points[path.first], path.count, path.closed && !line.noClose, style, raster,
                    &strokePaths.curveInterior[path.first]);
    paint(raster.render(FillRule::NonZero, aa), line.hasFill ? &line.fill : nullptr, line.color, cxform, bitmaps,
          toPixels);
}

void Renderer::drawShape(const Shape& shape, const Matrix& matrix, const ColorTransform& cxform,
                         BitmapSource* bitmaps, const Rgba* solidFill)
{
    State& s = *state_;
    // Display objects sit on whole twips, however their matrices combine.
    Matrix toPixels = matrix;
    toPixels.tx = std::floor(toPixels.tx * 20 + 0.5) / 20;
    toPixels.ty = std::floor(toPixels.ty * 20 + 0.5) / 20;
    if (s.width == 0 || !std::isfinite(toPixels.determinant()) || !std::isfinite(toPixels.tx) ||
        !std::isfinite(toPixels.ty))
        return;
    // Nothing shows through a fully transparent transform, except in a mask,
    // where colour does not count.
    if (!s.buildingMask() && cxform.mulA <= 0 && cxform.addA <= 0)
        return;
    const Box clip = s.clipBox();
    if (clip.empty())
        return;
    const Sampling aa = s.sampling();
    const FillRule rule = shape.nonZeroWinding ? FillRule::NonZero : FillRule::EvenOdd;
    const std::size_t edgeTotal = shape.edges.size();
    const Stretch stretch(toPixels);

    for (const StyleGroup& g : shape.groups) {
        const std::size_t firstEdge = std::min(g.firstEdge, edgeTotal);
        const std::size_t lastEdge = firstEdge + std::min(g.edgeCount, edgeTotal - firstEdge);
        const uint32_t fillCount = g.firstFill < shape.fills.size()
                                       ? std::min<uint32_t>(g.fillCount, uint32_t(shape.fills.size() - g.firstFill))
                                       : 0;
        const uint32_t lineCount = g.firstLine < shape.lines.size()
                                       ? std::min<uint32_t>(g.lineCount, uint32_t(shape.lines.size() - g.firstLine))
                                       : 0;
        if (s.fillEdges.size() < fillCount)
            s.fillEdges.resize(fillCount);
        if (s.lineEdges.size() < lineCount)
            s.lineEdges.resize(lineCount);
        for (uint32_t i = 0; i < lineCount; ++i)
            s.lineEdges[i].clear();
        uint32_t used = 0, sweepable = 0;
        s.classifyFills(shape, g, firstEdge, lastEdge, fillCount, solidFill, used, sweepable);

        // Anti-aliased fills of one shape that meet along an edge share its
        // pixels: each covers part, and together they cover it all. Drawn
        // one over the other they would leave the background showing
        // through a seam, so they are summed first and drawn as one.
        const bool gather = aa != Sampling::Centre && !s.buildingMask() && used > 1 && s.beginGathering();
        // Solid fills go in one sweep when they are summed; aliased, when
        // all fills are solid, since the sweep paints them in their order.
        // Where a mask is being built, or a finished one clips each fill's
        // coverage, fills go one by one.
        const MaskLayer* top = s.topMask();
        const bool sweep = used > 1 && !s.buildingMask() && !(top && !top->building && !top->layered) &&
                           ((gather && aa == Sampling::FourSamples) || (aa == Sampling::Centre && sweepable == used));
        if (!sweep || !s.sweepWithCache(shape, g, firstEdge, lastEdge, fillCount, toPixels, cxform, solidFill,
                                        clip, rule, aa))
            s.swept.assign(fillCount, 0);

        for (uint32_t i = 0; i < fillCount; ++i)
            s.fillEdges[i].clear();
        for (std::size_t k = firstEdge; k < lastEdge; ++k) {
            const ShapeEdge& e = shape.edges[k];
            const uint32_t f0 = groupFill(e.fill0, g, fillCount), f1 = groupFill(e.fill1, g, fillCount);
            if (f0 < fillCount && !s.swept[f0])
                s.fillEdges[f0].push_back(directed(e, true));
            if (f1 < fillCount && !s.swept[f1])
                s.fillEdges[f1].push_back(directed(e, false));
            const uint32_t l = e.line - 1 - g.firstLine;
            if (e.line != 0 && e.line - 1 >= g.firstLine && l < lineCount)
                s.lineEdges[l].push_back(static_cast<uint32_t>(k));
        }
        for (uint32_t i = 0; i < fillCount; ++i) {
            if (s.fillEdges[i].empty())
                continue;
            s.raster.reset(clip.x0, clip.y0, clip.x1, clip.y1);
            s.fillOutline.add(s.fillEdges[i], toPixels, s.raster);
            const FillStyle& fill = shape.fills[g.firstFill + i];
            s.paint(s.raster.render(rule, aa), solidFill ? nullptr : &fill, solidFill ? *solidFill : Rgba{}, cxform,
                    bitmaps, toPixels);
        }
        if (gather)
            s.endGathering();

        // Strokes take no part in a clip mask's shape.
        for (uint32_t i = 0; i < lineCount && !s.buildingMask(); ++i) {
            if (s.lineEdges[i].empty())
                continue;
            s.drawStroke(shape, shape.lines[g.firstLine + i], s.lineEdges[i], toPixels, stretch, clip, aa, cxform,
                         bitmaps);
        }
    }
}

void Renderer::drawCoverage(int x, int y, int width, int height, const uint8_t* coverage, Rgba color,
                            const ColorTransform& cxform)
{
    State& s = *state_;
    if (s.width == 0 || width <= 0 || height <= 0 || !coverage)
        return;
    if (!s.buildingMask() && cxform.mulA <= 0 && cxform.addA <= 0)
        return;
    const Box box = Box{x, y, x + width, y + height}.intersect(s.clipBox());
    if (box.empty())
        return;
    // A copy: painting may dim it by the masks in force.
    Coverage cov;
    cov.x = box.x0;
    cov.y = box.y0;
    cov.width = box.x1 - box.x0;
    cov.height = box.y1 - box.y0;
    cov.stride = (cov.width + 3) & ~3;
    s.coverageCopy.resize(static_cast<std::size_t>(cov.stride) * cov.height);
    for (int r = 0; r < cov.height; ++r) {
        const uint8_t* from = coverage + static_cast<std::size_t>(box.y0 - y + r) * width + (box.x0 - x);
        std::copy(from, from + cov.width, &s.coverageCopy[static_cast<std::size_t>(r) * cov.stride]);
    }
    cov.data = s.coverageCopy.data();
    s.paint(cov, nullptr, color, cxform, nullptr, Matrix{});
}

void Renderer::beginMask()
{
    State& s = *state_;
    if (s.width == 0)
        return;
    if (s.maskDepth == s.masks.size())
        s.masks.push_back(std::make_unique<MaskLayer>());
    MaskLayer& m = *s.masks[s.maskDepth++];
    m.coverage.assign(static_cast<std::size_t>(s.width) * s.height, 0);
    m.box = Box{};
    m.building = true;
}

void Renderer::endMask()
{
    State& s = *state_;
    MaskLayer* m = s.topMask();
    if (!m || !m->building)
        return;
    m->building = false;
    // Nested masks show only where all of them do.
    for (std::size_t i = s.maskDepth - 1; i-- > 0;) {
        const MaskLayer& below = *s.masks[i];
        if (below.building)
            continue;
        const Box box = m->box;
        m->box = box.intersect(below.box);
        for (int y = box.y0; y < box.y1; ++y) {
            uint8_t* row = &m->coverage[static_cast<std::size_t>(y) * s.width];
            const uint8_t* other = &below.coverage[static_cast<std::size_t>(y) * s.width];
            for (int x = box.x0; x < box.x1; ++x)
                row[x] = mul255(row[x], other[x]);
        }
        break;
    }
    if (s.layerDepth == s.layers.size())
        s.layers.push_back(std::make_unique<Surface>());
    Surface& content = *s.layers[s.layerDepth];
    const State::Sized sized = s.frameSized(content);
    if (sized == State::Sized::Failed)
        return; // the mask then clips each shape as it is drawn
    if (sized == State::Sized::Kept) {
        // A layer is transparent outside what it last drew.
        const Box box = content.dirty.intersect(Box{0, 0, s.width, s.height});
        for (int y = box.y0; y < box.y1; ++y) {
            uint32_t* row = &content.pixels[static_cast<std::size_t>(y) * s.width];
            std::fill(row + box.x0, row + box.x1, 0u);
        }
    }
    content.mode = BlendMode::Normal;
    content.dirty = Box{};
    m->layered = true;
    m->layer = s.layerDepth++;
}

void Renderer::popMask()
{
    State& s = *state_;
    if (!s.maskDepth)
        return;
    MaskLayer& m = *s.masks[--s.maskDepth];
    if (!m.layered)
        return;
    m.layered = false;
    // Layers begun inside the mask's content and left open end with it.
    if (s.layerDepth <= m.layer)
        return;
    s.layerDepth = m.layer;
    const Surface& content = *s.layers[m.layer];
    Surface& dst = s.layerTarget();
    const Box box = content.dirty.intersect(m.box).intersect(Box{0, 0, s.width, s.height});
    for (int y = box.y0; y < box.y1; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * s.width;
        const uint32_t* src = &content.pixels[at];
        const uint8_t* cov = &m.coverage[at];
        uint32_t* d = &dst.pixels[at];
        for (int x = box.x0; x < box.x1; ++x) {
            const unsigned c = cov[x];
            if (c == 0 || src[x] == 0)
                continue;
            // Opaque content fully inside the mask covers what is below.
            if (c == 255 && src[x] >= 0xff000000u) {
                d[x] = src[x];
                continue;
            }
            // Premultiplied source dimmed by the mask, then over.
            uint32_t p = src[x];
            if (c != 255)
                p = (uint32_t(mul255(p >> 24, c)) << 24) | (uint32_t(mul255((p >> 16) & 255, c)) << 16) |
                    (uint32_t(mul255((p >> 8) & 255, c)) << 8) | mul255(p & 255, c);
            const unsigned keep = 255 - (p >> 24);
            const uint32_t q = d[x];
            const auto ch = [&](int shift) {
                const unsigned v = ((p >> shift) & 255) + mul255((q >> shift) & 255, keep);
                return uint32_t(v > 255 ? 255 : v) << shift;
            };
            d[x] = ch(24) | ch(16) | ch(8) | ch(0);
        }
    }
    dst.dirty.unite(box.x0, box.y0, box.x1, box.y1);
}

void Renderer::beginLayer(BlendMode mode)
{
    State& s = *state_;
    if (s.width == 0)
        return;
    if (s.layerDepth == s.layers.size())
        s.layers.push_back(std::make_unique<Surface>());
    Surface& layer = *s.layers[s.layerDepth++];
    // A layer is transparent outside what it last drew: only that is cleared.
    if (s.frameSized(layer) == State::Sized::Kept) {
        const Box used = layer.dirty.intersect(Box{0, 0, s.width, s.height});
        for (int y = used.y0; y < used.y1; ++y) {
            uint32_t* row = &layer.pixels[static_cast<std::size_t>(y) * s.width];
            std::fill(row + used.x0, row + used.x1, 0u);
        }
    }
    layer.mode = mode;
    layer.dirty = Box{};
}

void Renderer::endLayer(const ColorTransform& cxform)
{
    State& s = *state_;
    if (!s.layerDepth)
        return;
    Surface& layer = *s.layers[s.layerDepth - 1];
    Surface& parent = *s.parentOfTop();
    --s.layerDepth;
    const Box dirty = layer.dirty.intersect(Box{0, 0, s.width, s.height});
    const MaskLayer* top = s.topMask();
    const uint8_t* clip = top && !top->building && !top->layered ? top->coverage.data() : nullptr;
    // Alpha and erase too act only within the bounds of what the layer drew,
    // and only on a layer: the stage itself stays opaque.
    const Box area = dirty;
    const bool onStage = &parent == &s.frame;
    if (area.empty() || (onStage && (layer.mode == BlendMode::Alpha || layer.mode == BlendMode::Erase)))
        return;
    LayerImage src{layer.pixels.data(), s.width};
    LayerImage dst{parent.pixels.data(), s.width};
    if (!cxform.isIdentity())
        transformPixels(src, dirty.x0, dirty.y0, dirty.x1, dirty.y1, cxform);
    blendLayer(layer.mode, layer.image, parent.image, src, dst, clip, area.x0, area.y0, area.x1, area.y1);
    parent.dirty.unite(area.x0, area.y0, area.x1, area.y1);
}

void Renderer::keepLayer(uint64_t key, int x, int y)
{
    State& s = *state_;
    if (!s.layerDepth)
        return;
    const Surface& layer = *s.layers[s.layerDepth - 1];
    const Box d = layer.dirty.intersect(Box{0, 0, s.width, s.height});
    const std::size_t area = d.empty() ? 0 : static_cast<std::size_t>(d.x1 - d.x0) * (d.y1 - d.y0);
    // Four frames' pixels in all.
    const std::size_t budget = static_cast<std::size_t>(s.width) * s.height * 4;
    for (auto it = s.keptLayers.begin(); it != s.keptLayers.end(); ++it) {
        if (it->key == key) {
            s.keptLayerPixels -= it->pixels.size();
            s.keptLayers.erase(it);
            break;
        }
    }
    if (s.keptLayerPixels + area > budget)
        return;
    State::KeptLayer k;
    k.key = key;
    k.used = true;
    if (area) {
        k.x0 = d.x0 - x;
        k.y0 = d.y0 - y;
        k.width = d.x1 - d.x0;
        k.height = d.y1 - d.y0;
        // Without the memory it is drawn afresh next time.
        try {
            k.pixels.resize(area);
        } catch (const std::bad_alloc&) {
            return;
        }
        for (int row = d.y0; row < d.y1; ++row)
            std::copy_n(&layer.pixels[static_cast<std::size_t>(row) * s.width + d.x0], k.width,
                        &k.pixels[static_cast<std::size_t>(row - d.y0) * k.width]);
    }
    try {
        s.keptLayers.push_back(std::move(k));
    } catch (const std::bad_alloc&) {
        return;
    }
    s.keptLayerPixels += area;
}

bool Renderer::drawKeptLayer(uint64_t key, int x, int y)
{
    State& s = *state_;
    if (!s.layerDepth)
        return false;
    for (State::KeptLayer& k : s.keptLayers) {
        if (k.key != key)
            continue;
        k.used = true;
        Surface& layer = *s.layers[s.layerDepth - 1];
        const Box to = Box{x + k.x0, y + k.y0, x + k.x0 + k.width, y + k.y0 + k.height}.intersect(
            Box{0, 0, s.width, s.height});
        for (int row = to.y0; row < to.y1; ++row)
            std::copy_n(&k.pixels[static_cast<std::size_t>(row - y - k.y0) * k.width + (to.x0 - x - k.x0)],
                        to.x1 - to.x0, &layer.pixels[static_cast<std::size_t>(row) * s.width + to.x0]);
        layer.dirty.unite(to.x0, to.y0, to.x1, to.y1);
        return true;
    }
    return false;
}

void Renderer::filterLayer(const std::vector<Filter>& filters, double scale)
{
    State& s = *state_;
    if (!s.layerDepth || filters.empty())
        return;
    Surface& layer = *s.layers[s.layerDepth - 1];
    const Box d = layer.dirty.intersect(Box{0, 0, s.width, s.height});
    if (d.empty())
        return;
    const FilterImage image{layer.pixels.data(), s.width, s.height, s.width};
    // Without the memory for a filter's planes the object shows as the
    // filters before it left it.
    try {
        const FilterBox out = applyFilters(image, FilterBox{d.x0, d.y0, d.x1, d.y1}, filters, scale, s.filterScratch);
        layer.dirty.unite(out.x0, out.y0, out.x1, out.y1);
    } catch (const std::bad_alloc&) {
        s.filterScratch = FilterScratch();
        layer.dirty = Box{0, 0, s.width, s.height};
    }
}

} // namespace swf
