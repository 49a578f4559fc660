#include "swfcontrol/engine/draw/Filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace swf {

namespace {

// Flash Player takes blurs up to 255 stage pixels and 15 passes.
constexpr double kMaxBlur = 255;
constexpr int kMaxPasses = 15;
// Beyond this many device pixels a side a blur box gains nothing visible.
constexpr double kMaxBox = 2048;

inline uint32_t div255(uint32_t v)
{
    v += 128;
    return (v + (v >> 8)) >> 8;
}

inline uint32_t pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

FilterBox intersect(FilterBox a, FilterBox b)
{
    FilterBox r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
    return r.empty() ? FilterBox{} : r;
}

FilterBox unite(FilterBox a, FilterBox b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

FilterBox grow(FilterBox b, int dx, int dy)
{
    if (b.empty())
        return b;
    return {b.x0 - dx, b.y0 - dy, b.x1 + dx, b.y1 + dy};
}

FilterBox shift(FilterBox b, int dx, int dy)
{
    if (b.empty())
        return b;
    return {b.x0 + dx, b.y0 + dy, b.x1 + dx, b.y1 + dy};
}

// A box of `size` pixels centred on each pixel: 2k+1 whole taps and a share
// of the pixel beyond each end, in 256ths of a pixel (`ends` is both ends'
// shares together).
struct Taps {
    int k = 0;
    int ends = 0;  // 0 .. 511
    int width = 0; // the box in 256ths; 0: no blur
    explicit Taps(double size)
    {
        if (!(size > 1))
            return;
        width = static_cast<int>(std::min(size, kMaxBox) * 256 + 0.5);
        k = (width - 256) / 512;
        ends = width - 256 * (2 * k + 1);
        inverse = 1.0 / (2.0 * width);
    }
    double inverse = 0;
    // How far one pass spreads a pixel each way.
    int reach() const { return width == 0 ? 0 : k + (ends > 0 ? 1 : 0); }
};

int passesOf(const Filter& f) { return std::max(0, std::min(kMaxPasses, f.passes)); }

// A blur of `size` stage pixels spreads each pixel over (size - 1) / 2 stage
// pixels each way; the stage's scale stretches that spread, not the pixel.
double blurSize(double size, double scale)
{
    const double s = std::max(0.0, std::min(kMaxBlur, std::isfinite(size) ? size : 0.0));
    return s <= 1 ? s : (s - 1) * scale + 1;
}

int blurReach(double size, int passes, double scale) { return Taps(blurSize(size, scale)).reach() * passes; }

// The whole-pixel offset of a shadow or bevel.
void offsetOf(const Filter& f, double scale, int& dx, int& dy)
{
    const double d = std::max(-32768.0, std::min(32768.0, std::isfinite(f.distance) ? f.distance : 0.0)) * scale;
    const double a = std::isfinite(f.angle) ? f.angle : 0.0;
    dx = static_cast<int>(std::lround(std::cos(a) * d));
    dy = static_cast<int>(std::lround(std::sin(a) * d));
}

bool hasBlur(const Filter& f)
{
    switch (f.kind) {
    case FilterKind::Blur:
    case FilterKind::DropShadow:
    case FilterKind::Glow:
    case FilterKind::Bevel:
    case FilterKind::GradientGlow:
    case FilterKind::GradientBevel:
        return true;
    default:
        return false;
    }
}

FilterBox boundsOf(const Filter& f, double scale, FilterBox in)
{
    if (in.empty())
        return in;
    const int passes = hasBlur(f) ? passesOf(f) : 0;
    const int rx = blurReach(f.blurX, passes, scale), ry = blurReach(f.blurY, passes, scale);
    int dx = 0, dy = 0;
    switch (f.kind) {
    case FilterKind::Blur:
        return grow(in, rx, ry);
    case FilterKind::Glow:
    case FilterKind::GradientGlow:
        return f.placement == FilterPlacement::Inner ? in : grow(in, rx, ry);
    case FilterKind::DropShadow:
        if (f.placement == FilterPlacement::Inner)
            return in;
        offsetOf(f, scale, dx, dy);
        return unite(f.hideObject || f.knockout ? FilterBox{} : in, shift(grow(in, rx, ry), dx, dy));
    case FilterKind::Bevel:
    case FilterKind::GradientBevel:
        if (f.placement == FilterPlacement::Inner)
            return in;
        offsetOf(f, scale, dx, dy);
        return unite(shift(grow(in, rx, ry), dx, dy), shift(grow(in, rx, ry), -dx, -dy));
    case FilterKind::Convolution:
        return grow(in, std::max(0, f.columns / 2), std::max(0, f.rows / 2));
    case FilterKind::DisplacementMap: {
        const auto half = [](double s) {
            return static_cast<int>(std::ceil(std::min(65536.0, std::fabs(std::isfinite(s) ? s : 0.0)) / 2));
        };
        return grow(in, half(f.scaleX * scale), half(f.scaleY * scale));
    }
    case FilterKind::ColorMatrix:
        return in;
    }
    return in;
}

// One pass down the columns of a plane `width` bytes wide, all columns at
// once so that rows are read in order and the work vectorizes. The shares
// are fixed point, 22 fraction bits: an average lands a hair above its
// exact value, so whole values stay whole.
void blurColumnsWide(uint8_t* plane, int width, int height, const Taps& t, FilterScratch& s);

// Boxes up to 257 pixels keep their sums in 16 bits, eight to a vector
// register; the shares then have 16 fraction bits.
void blurColumns(uint8_t* plane, int width, int height, const Taps& t, FilterScratch& s)
{
    if (t.k > 127) {
        blurColumnsWide(plane, width, height, t, s);
        return;
    }
    const std::size_t w = static_cast<std::size_t>(width);
    s.sums16.assign(w, 0);
    s.line.resize(w * height);
    uint8_t* out = s.line.data();
    uint16_t* sum = s.sums16.data();
    const auto row = [&](int y) -> const uint8_t* { return y >= 0 && y < height ? plane + y * w : nullptr; };
    for (int y = 0; y <= t.k && y < height; ++y) {
        const uint8_t* r = plane + y * w;
        for (std::size_t x = 0; x < w; ++x)
            sum[x] = static_cast<uint16_t>(sum[x] + r[x]);
    }
    const uint16_t whole = static_cast<uint16_t>(std::min(65535.0, std::ceil(512 * t.inverse * 65536)));
    const uint16_t end = static_cast<uint16_t>(std::min(65535.0, std::ceil(t.ends * t.inverse * 65536)));
    for (int y = 0; y < height; ++y) {
        const uint8_t* above = row(y - t.k - 1);
        const uint8_t* below = row(y + t.k + 1);
        uint8_t* o = out + y * w;
        if (t.ends && above && below) {
            for (std::size_t x = 0; x < w; ++x) {
                const uint16_t edge = static_cast<uint16_t>(above[x] + below[x]);
                const uint32_t v = (uint32_t(sum[x]) * whole + uint32_t(edge) * end) >> 16;
                o[x] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
        } else if (t.ends && (above || below)) {
            const uint8_t* edge = above ? above : below;
            for (std::size_t x = 0; x < w; ++x) {
                const uint32_t v = (uint32_t(sum[x]) * whole + uint32_t(edge[x]) * end) >> 16;
                o[x] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
        } else {
            for (std::size_t x = 0; x < w; ++x) {
                const uint32_t v = (uint32_t(sum[x]) * whole) >> 16;
                o[x] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
        }
        const uint8_t* leaving = row(y - t.k);
        if (below)
            for (std::size_t x = 0; x < w; ++x)
                sum[x] = static_cast<uint16_t>(sum[x] + below[x]);
        if (leaving)
            for (std::size_t x = 0; x < w; ++x)
                sum[x] = static_cast<uint16_t>(sum[x] - leaving[x]);
    }
    std::memcpy(plane, out, w * height);
    s.blurSteps += static_cast<uint64_t>(width) * height;
}

void blurColumnsWide(uint8_t* plane, int width, int height, const Taps& t, FilterScratch& s)
{
    const std::size_t w = static_cast<std::size_t>(width);
    s.sums.assign(w, 0);
    s.line.resize(w * height);
    uint8_t* out = s.line.data();
    int32_t* sum = s.sums.data();
    const auto row = [&](int y) -> const uint8_t* { return y >= 0 && y < height ? plane + y * w : nullptr; };
    for (int y = 0; y <= t.k && y < height; ++y) {
        const uint8_t* r = plane + y * w;
        for (std::size_t x = 0; x < w; ++x)
            sum[x] += r[x];
    }
    const uint32_t whole = static_cast<uint32_t>(std::lround(512 * t.inverse * (1 << 22)));
    const uint32_t end = static_cast<uint32_t>(std::lround(t.ends * t.inverse * (1 << 22)));
    const uint32_t nudge = 1u << 12;
    for (int y = 0; y < height; ++y) {
        const uint8_t* above = row(y - t.k - 1);
        const uint8_t* below = row(y + t.k + 1);
        uint8_t* o = out + y * w;
        if (t.ends && above && below) {
            for (std::size_t x = 0; x < w; ++x)
                o[x] = static_cast<uint8_t>((uint32_t(sum[x]) * whole + uint32_t(above[x] + below[x]) * end + nudge) >> 22);
        } else if (t.ends && (above || below)) {
            const uint8_t* edge = above ? above : below;
            for (std::size_t x = 0; x < w; ++x)
                o[x] = static_cast<uint8_t>((uint32_t(sum[x]) * whole + uint32_t(edge[x]) * end + nudge) >> 22);
        } else {
            for (std::size_t x = 0; x < w; ++x)
                o[x] = static_cast<uint8_t>((uint32_t(sum[x]) * whole + nudge) >> 22);
        }
        const uint8_t* leaving = row(y - t.k);
        if (below)
            for (std::size_t x = 0; x < w; ++x)
                sum[x] += below[x];
        if (leaving)
            for (std::size_t x = 0; x < w; ++x)
                sum[x] -= leaving[x];
    }
    std::memcpy(plane, out, w * height);
    s.blurSteps += static_cast<uint64_t>(width) * height;
}

// Rows become columns: `elements` x `rows` elements into `rows` x
// `elements`, in tiles that stay in the cache.
template <typename T>
void transposeTiles(const T* from, T* to, int elements, int rows)
{
    constexpr int kTile = 16;
    for (int y0 = 0; y0 < rows; y0 += kTile) {
        for (int x0 = 0; x0 < elements; x0 += kTile) {
            const int y1 = std::min(rows, y0 + kTile), x1 = std::min(elements, x0 + kTile);
            for (int y = y0; y < y1; ++y) {
                const T* src = from + static_cast<std::size_t>(y) * elements;
                for (int x = x0; x < x1; ++x)
                    to[static_cast<std::size_t>(x) * rows + y] = src[x];
            }
        }
    }
}

// Elements of one byte or of four (packed pixels, copied whole).
void transpose(const uint8_t* from, uint8_t* to, int elements, int rows, int size)
{
    if (size == 1) {
        transposeTiles(from, to, elements, rows);
        return;
    }
    std::vector<uint32_t> a(static_cast<std::size_t>(elements) * rows), b(a.size());
    std::memcpy(a.data(), from, a.size() * 4);
    transposeTiles(a.data(), b.data(), elements, rows);
    std::memcpy(to, b.data(), b.size() * 4);
}

// Box blurs of an image of `width` x `height` elements of `size` bytes
// (one channel, or four packed), each byte blurred by itself: down the
// columns, then across the rows by way of a transposed copy.
void blurElements(uint8_t* plane, int width, int height, int size, const Taps& tx, const Taps& ty, int passes,
                  FilterScratch& s)
{
    for (int p = 0; p < passes && ty.width; ++p)
        blurColumns(plane, width * size, height, ty, s);
    if (!tx.width || passes == 0)
        return;
    const std::size_t bytes = static_cast<std::size_t>(width) * height * size;
    s.effect.resize(bytes);
    transpose(plane, s.effect.data(), width, height, size);
    for (int p = 0; p < passes; ++p)
        blurColumns(s.effect.data(), height * size, width, tx, s);
    transpose(s.effect.data(), plane, height, width, size);
}

// Premultiplied colours by level 0..255 of what a shadow, glow or bevel
// shows at a pixel.
struct Ramp {
    uint32_t at[256];
};

Ramp solidRamp(Rgba c)
{
    Ramp r;
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t a = div255(i * c.a);
        r.at[i] = pack(a, div255(c.r * a), div255(c.g * a), div255(c.b * a));
    }
    return r;
}

// Stops interpolated in straight colour, as gradient fills are; ratios out
// of order are taken in the order given.
Ramp gradientRamp(const std::vector<FilterStop>& stops)
{
    Ramp r;
    if (stops.empty()) {
        std::fill(r.at, r.at + 256, 0u);
        return r;
    }
    std::size_t next = 0;
    for (int i = 0; i < 256; ++i) {
        while (next < stops.size() && stops[next].ratio < i)
            ++next;
        Rgba c;
        if (next == 0) {
            c = stops.front().color;
        } else if (next >= stops.size()) {
            c = stops.back().color;
        } else {
            const FilterStop& a = stops[next - 1];
            const FilterStop& b = stops[next];
            const int span = b.ratio - a.ratio;
            const int t = span > 0 ? (i - a.ratio) * 256 / span : 256;
            const auto mix = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>((x * (256 - t) + y * t) >> 8); };
            c = Rgba{mix(a.color.r, b.color.r), mix(a.color.g, b.color.g), mix(a.color.b, b.color.b),
                     mix(a.color.a, b.color.a)};
        }
        r.at[i] = pack(c.a, div255(c.r * c.a), div255(c.g * c.a), div255(c.b * c.a));
    }
    return r;
}

// A bevel's two colours: the highlight at 0, nothing at 128, the shadow at 255.
Ramp bevelRamp(Rgba highlight, Rgba shadow)
{
    Ramp r;
    const Ramp hi = solidRamp(highlight), sh = solidRamp(shadow);
    for (int i = 0; i < 256; ++i)
        r.at[i] = i < 128 ? hi.at[std::min(255, (128 - i) * 2)] : i == 128 ? 0u : sh.at[std::min(255, (i - 128) * 2)];
    return r;
}

uint32_t scalePixel(uint32_t p, uint32_t k)
{
    return pack(div255((p >> 24) * k), div255(((p >> 16) & 255) * k), div255(((p >> 8) & 255) * k),
                div255((p & 255) * k));
}

uint32_t over(uint32_t top, uint32_t below)
{
    const uint32_t keep = 255 - (top >> 24);
    const auto ch = [&](int shift) {
        const uint32_t v = ((top >> shift) & 255) + div255(((below >> shift) & 255) * keep);
        return (v > 255 ? 255 : v) << shift;
    };
    return ch(24) | ch(16) | ch(8) | ch(0);
}

uint32_t add(uint32_t x, uint32_t y)
{
    const auto ch = [&](int shift) {
        const uint32_t v = ((x >> shift) & 255) + ((y >> shift) & 255);
        return (v > 255 ? 255 : v) << shift;
    };
    return ch(24) | ch(16) | ch(8) | ch(0);
}

// `within` (the effect masked by the object) over the object, the object's
// colour dimmed by the effect's own alpha and its alpha kept.
uint32_t atop(uint32_t effect, uint32_t within, uint32_t src)
{
    const uint32_t keep = 255 - (effect >> 24);
    const auto ch = [&](int shift) {
        const uint32_t v = ((within >> shift) & 255) + div255(((src >> shift) & 255) * keep);
        return v > (src >> 24) ? src >> 24 : v;
    };
    return (src & 0xff000000u) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

// The strength as a factor in 256ths.
uint32_t strength256(const Filter& f)
{
    const double s = std::isfinite(f.strength) ? f.strength : 0.0;
    return static_cast<uint32_t>(std::max(0.0, std::min(255.0, s)) * 256 + 0.5);
}

// Shadows, glows and bevels: the object's alpha blurred, turned into an
// effect level per pixel, coloured through a ramp and put with the object.
void applyEdgeEffect(FilterImage image, FilterBox region, const Filter& f, double scale, FilterScratch& s)
{
    const int w = region.x1 - region.x0, h = region.y1 - region.y0;
    const std::size_t n = static_cast<std::size_t>(w) * h;
    std::vector<uint8_t>& alpha = s.planes[0];
    alpha.resize(n);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = image.pixels + static_cast<std::ptrdiff_t>(region.y0 + y) * image.stride + region.x0;
        uint8_t* a = &alpha[static_cast<std::size_t>(y) * w];
        for (int x = 0; x < w; ++x)
            a[x] = static_cast<uint8_t>(row[x] >> 24);
    }
    std::vector<uint8_t>& blurred = s.planes[1];
    blurred = alpha;
    blurPlane(blurred.data(), w, h, blurSize(f.blurX, scale), blurSize(f.blurY, scale), passesOf(f), s);

    const bool bevel = f.kind == FilterKind::Bevel || f.kind == FilterKind::GradientBevel;
    const bool gradient = f.kind == FilterKind::GradientBevel || f.kind == FilterKind::GradientGlow;
    int dx = 0, dy = 0;
    if (f.kind != FilterKind::Glow && f.kind != FilterKind::GradientGlow)
        offsetOf(f, scale, dx, dy);
    const Ramp ramp = gradient ? gradientRamp(f.stops) : bevel ? bevelRamp(f.highlight, f.color) : solidRamp(f.color);
    const uint32_t k = strength256(f);
    const bool inner = f.placement == FilterPlacement::Inner;
    // The blurred plane's row y, or null beyond it; a sample at x beyond its
    // ends is 0.
    const auto rowOf = [&](int y) -> const uint8_t* {
        return y >= 0 && y < h ? &blurred[static_cast<std::size_t>(y) * w] : nullptr;
    };
    const auto at = [w](const uint8_t* r, int x) -> int { return r && x >= 0 && x < w ? r[x] : 0; };
    const auto level = [&](uint32_t v) { return std::min<uint32_t>(255, (v * k) >> 8); };
    const uint32_t none = ramp.at[0];
    for (int y = 0; y < h; ++y) {
        uint32_t* row = image.pixels + static_cast<std::ptrdiff_t>(region.y0 + y) * image.stride + region.x0;
        const uint8_t* a = &alpha[static_cast<std::size_t>(y) * w];
        const uint8_t* lit = rowOf(y + dy);
        const uint8_t* shaded = rowOf(y - dy);
        for (int x = 0; x < w; ++x) {
            uint32_t index;
            if (bevel) {
                // Lit where the object lies towards the light, shaded where
                // it lies away from it.
                const int v = at(lit, x + dx) - at(shaded, x - dx);
                const int amount = static_cast<int>(level(static_cast<uint32_t>(std::abs(v))));
                index = static_cast<uint32_t>(v >= 0 ? 128 - amount / 2 : 128 + (amount + 1) / 2);
                index = std::min<uint32_t>(255, index);
            } else {
                const int b = at(shaded, x - dx);
                index = level(static_cast<uint32_t>(inner ? 255 - b : b));
            }
            const uint32_t effect = ramp.at[index];
            const uint32_t src = row[x], sa = a[x];
            // Most pixels see no effect, or an object that hides it.
            if (!f.knockout && !f.hideObject &&
                ((effect == 0 && none == 0) || (f.placement == FilterPlacement::Outer && sa == 255)))
                continue;
            uint32_t out;
            switch (f.placement) {
            case FilterPlacement::Outer: {
                // What shows beneath the object is the effect where the
                // object leaves room for it.
                const uint32_t beneath = f.hideObject ? effect : scalePixel(effect, 255 - sa);
                out = f.knockout || f.hideObject ? beneath : add(src, beneath);
                break;
            }
            case FilterPlacement::Inner: {
                // Atop the object: it keeps its own alpha.
                const uint32_t within = scalePixel(effect, sa);
                out = f.knockout || f.hideObject ? within : atop(effect, within, src);
                break;
            }
            default:
                out = f.knockout ? effect : over(effect, src);
                break;
            }
            row[x] = out;
        }
    }
}

void applyBlur(FilterImage image, FilterBox region, const Filter& f, double scale, FilterScratch& s)
{
    // Premultiplied channels blur each by itself, so the pixels blur as
    // they are packed.
    const int w = region.x1 - region.x0, h = region.y1 - region.y0;
    std::vector<uint8_t>& packed = s.planes[0];
    packed.resize(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        std::memcpy(&packed[static_cast<std::size_t>(y) * w * 4],
                    image.pixels + static_cast<std::ptrdiff_t>(region.y0 + y) * image.stride + region.x0,
                    static_cast<std::size_t>(w) * 4);
    blurElements(packed.data(), w, h, 4, Taps(blurSize(f.blurX, scale)), Taps(blurSize(f.blurY, scale)),
                 passesOf(f), s);
    for (int y = 0; y < h; ++y)
        std::memcpy(image.pixels + static_cast<std::ptrdiff_t>(region.y0 + y) * image.stride + region.x0,
                    &packed[static_cast<std::size_t>(y) * w * 4], static_cast<std::size_t>(w) * 4);
}

// Straight channels of a premultiplied pixel, as 0..255 values.
void unpremultiply(uint32_t p, int c[4])
{
    const uint32_t a = p >> 24;
    c[3] = static_cast<int>(a);
    for (int i = 0; i < 3; ++i) {
        const uint32_t v = (p >> (16 - 8 * i)) & 255;
        c[i] = a == 0 ? 0 : a == 255 ? static_cast<int>(v) : static_cast<int>(std::min<uint32_t>(255, (v * 255 + a / 2) / a));
    }
}

uint32_t premultiply(const int c[4])
{
    const auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    const uint32_t a = clamp(c[3]);
    return pack(a, div255(clamp(c[0]) * a), div255(clamp(c[1]) * a), div255(clamp(c[2]) * a));
}

void applyColorMatrix(FilterImage image, FilterBox region, const Filter& f)
{
    for (int y = region.y0; y < region.y1; ++y) {
        uint32_t* row = image.pixels + static_cast<std::ptrdiff_t>(y) * image.stride;
        for (int x = region.x0; x < region.x1; ++x) {
            int c[4];
            unpremultiply(row[x], c);
            int out[4];
            for (int i = 0; i < 4; ++i) {
                const float* m = f.matrix + 5 * i;
                const float v = m[0] * c[0] + m[1] * c[1] + m[2] * c[2] + m[3] * c[3] + m[4];
                out[i] = static_cast<int>(std::floor(std::max(-1.0f, std::min(256.0f, v)) + 0.5f));
            }
            row[x] = premultiply(out);
        }
    }
}

// The source pixel at (x, y) of the region's copy, or what stands in for
// pixels beyond it.
struct Source {
    const uint32_t* pixels;
    int width, height;
    bool clamp;
    uint32_t substitute;
    uint32_t at(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            if (!clamp)
                return substitute;
            x = std::max(0, std::min(width - 1, x));
            y = std::max(0, std::min(height - 1, y));
        }
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
};

uint32_t premultiplied(Rgba c) { return pack(c.a, div255(c.r * c.a), div255(c.g * c.a), div255(c.b * c.a)); }

Source copyRegion(FilterImage image, FilterBox region, FilterScratch& s, bool clamp, uint32_t substitute)
{
    const int w = region.x1 - region.x0, h = region.y1 - region.y0;
    s.copy.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        std::memcpy(&s.copy[static_cast<std::size_t>(y) * w],
                    image.pixels + static_cast<std::ptrdiff_t>(region.y0 + y) * image.stride + region.x0,
                    static_cast<std::size_t>(w) * 4);
    return Source{s.copy.data(), w, h, clamp, substitute};
}

void applyConvolution(FilterImage image, FilterBox region, const Filter& f, FilterScratch& s)
{
    const int cols = f.columns, rows = f.rows;
    if (cols <= 0 || rows <= 0 || f.kernel.size() != static_cast<std::size_t>(cols) * rows)
        return;
    const Source src = copyRegion(image, region, s, f.clamp, premultiplied(f.substitute));
    const float divisor = f.divisor != 0 ? f.divisor : 1;
    for (int y = 0; y < src.height; ++y) {
        uint32_t* row = image.pixels + static_cast<std::ptrdiff_t>(region.y0 + y) * image.stride + region.x0;
        for (int x = 0; x < src.width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < rows; ++j) {
                for (int i = 0; i < cols; ++i) {
                    const float k = f.kernel[static_cast<std::size_t>(j) * cols + i];
                    if (k == 0)
                        continue;
                    int c[4];
                    unpremultiply(src.at(x + i - cols / 2, y + j - rows / 2), c);
                    for (int ch = 0; ch < 4; ++ch)
                        sum[ch] += k * c[ch];
                }
            }
            int out[4];
            for (int ch = 0; ch < 4; ++ch)
                out[ch] = static_cast<int>(std::max(-1.0f, std::min(256.0f, sum[ch] / divisor + f.bias)));
            if (f.preserveAlpha)
                out[3] = static_cast<int>(src.at(x, y) >> 24);
            row[x] = premultiply(out);
        }
    }
}

int channelOf(uint32_t p, unsigned component)
{
    switch (component) {
    case 1: return (p >> 16) & 255;
    case 2: return (p >> 8) & 255;
    case 4: return p & 255;
    case 8: return p >> 24;
    default: return 128;
    }
}

void applyDisplacement(FilterImage image, FilterBox region, const Filter& f, double scale, FilterScratch& s)
{
    const Bitmap* map = f.map.get();
    if (!map || map->width <= 0 || map->height <= 0 ||
        map->pixels.size() != static_cast<std::size_t>(map->width) * map->height)
        return;
    const bool clampEdges = f.mode == DisplacementMode::Clamp;
    const Source src = copyRegion(image, region, s, clampEdges, 0);
    const double sx = (std::isfinite(f.scaleX) ? f.scaleX : 0) * scale / 256;
    const double sy = (std::isfinite(f.scaleY) ? f.scaleY : 0) * scale / 256;
    const int mx = static_cast<int>(std::lround(f.mapPoint.x * scale)), my = static_cast<int>(std::lround(f.mapPoint.y * scale));
    const uint32_t substitute = premultiplied(f.substitute);
    for (int y = 0; y < src.height; ++y) {
        uint32_t* row = image.pixels + static_cast<std::ptrdiff_t>(region.y0 + y) * image.stride + region.x0;
        for (int x = 0; x < src.width; ++x) {
            const int u = static_cast<int>(std::floor((x - mx) / scale)), v = static_cast<int>(std::floor((y - my) / scale));
            if (u < 0 || v < 0 || u >= map->width || v >= map->height) {
                row[x] = src.at(x, y);
                continue;
            }
            // The map's colours count straight.
            int c[4];
            unpremultiply(map->pixels[static_cast<std::size_t>(v) * map->width + u], c);
            const uint32_t straight = pack(static_cast<uint32_t>(c[3]), static_cast<uint32_t>(c[0]),
                                           static_cast<uint32_t>(c[1]), static_cast<uint32_t>(c[2]));
            int tx = x + static_cast<int>(std::floor((channelOf(straight, f.componentX) - 128) * sx));
            int ty = y + static_cast<int>(std::floor((channelOf(straight, f.componentY) - 128) * sy));
            const bool outside = tx < 0 || ty < 0 || tx >= src.width || ty >= src.height;
            if (outside && f.mode == DisplacementMode::Wrap) {
                tx = ((tx % src.width) + src.width) % src.width;
                ty = ((ty % src.height) + src.height) % src.height;
            }
            if (outside && f.mode == DisplacementMode::Ignore)
                row[x] = src.at(x, y);
            else if (outside && f.mode == DisplacementMode::Color)
                row[x] = substitute;
            else
                row[x] = src.at(tx, ty);
        }
    }
}

} // namespace

void blurPlane(uint8_t* plane, int width, int height, double sizeX, double sizeY, int passes, FilterScratch& scratch)
{
    if (width <= 0 || height <= 0)
        return;
    blurElements(plane, width, height, 1, Taps(sizeX), Taps(sizeY), std::max(0, std::min(kMaxPasses, passes)),
                 scratch);
}

FilterBox filteredBounds(const std::vector<Filter>& filters, double scale, FilterBox content)
{
    for (const Filter& f : filters)
        content = boundsOf(f, scale, content);
    return content;
}

FilterBox applyFilters(FilterImage image, FilterBox content, const std::vector<Filter>& filters, double scale,
                       FilterScratch& scratch)
{
    const FilterBox whole{0, 0, image.width, image.height};
    if (!image.pixels || !(scale > 0) || !std::isfinite(scale))
        return intersect(content, whole);
    FilterBox current = intersect(content, whole);
    for (const Filter& f : filters) {
        if (current.empty())
            break;
        // The region the filter reads and writes: where its result can
        // show, and what it filters with the blur's reach around it, since
        // a shadow blurs what lies beyond the side it is cast from.
        const int passes = hasBlur(f) ? passesOf(f) : 0;
        const FilterBox blurred = grow(current, blurReach(f.blurX, passes, scale), blurReach(f.blurY, passes, scale));
        const FilterBox region = intersect(unite(boundsOf(f, scale, current), blurred), whole);
        if (region.empty())
            continue;
        switch (f.kind) {
        case FilterKind::Blur:
            applyBlur(image, region, f, scale, scratch);
            break;
        case FilterKind::DropShadow:
        case FilterKind::Glow:
        case FilterKind::Bevel:
        case FilterKind::GradientGlow:
        case FilterKind::GradientBevel:
            applyEdgeEffect(image, region, f, scale, scratch);
            break;
        case FilterKind::ColorMatrix:
            applyColorMatrix(image, region, f);
            break;
        case FilterKind::Convolution:
            applyConvolution(image, region, f, scratch);
            break;
        case FilterKind::DisplacementMap:
            applyDisplacement(image, region, f, scale, scratch);
            break;
        }
        current = region;
    }
    return current;
}

} // namespace swf
