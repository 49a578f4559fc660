#include "swfcontrol/engine/draw/Compositing.h"

#include <pixman.h>

#include <algorithm>

namespace swf {

namespace {

// Copies beyond this many pixels in all are dropped at the end of a frame.
constexpr std::size_t kCacheBudget = 8u * 1024u * 1024u;

inline uint32_t div255(uint32_t v)
{
    v += 128;
    return (v + (v >> 8)) >> 8;
}

struct ChannelTable {
    // Integer form of channel * mul + add with 8 fractional bits.
    int mul[4], add[4];
    explicit ChannelTable(const ColorTransform& t)
    {
        const float m[4] = {t.mulA, t.mulR, t.mulG, t.mulB};
        const float a[4] = {t.addA, t.addR, t.addG, t.addB};
        for (int i = 0; i < 4; ++i) {
            const float mc = std::max(-256.0f, std::min(256.0f, m[i]));
            const float ac = std::max(-512.0f, std::min(512.0f, a[i]));
            mul[i] = static_cast<int>(mc * 256);
            add[i] = static_cast<int>(ac * 256);
        }
    }
    static uint32_t clampByte(int v)
    {
        v >>= 8;
        return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    uint32_t apply(uint32_t p) const
    {
        const uint32_t a = p >> 24;
        uint32_t r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
        if (a != 0 && a != 255) {
            r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
            g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
            b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
        }
        const uint32_t na = clampByte(static_cast<int>(a) * mul[0] + add[0]);
        if (na == 0)
            return 0;
        const uint32_t nr = clampByte(static_cast<int>(r) * mul[1] + add[1]);
        const uint32_t ng = clampByte(static_cast<int>(g) * mul[2] + add[2]);
        const uint32_t nb = clampByte(static_cast<int>(b) * mul[3] + add[3]);
        return (na << 24) | (div255(nr * na) << 16) | (div255(ng * na) << 8) | div255(nb * na);
    }
};

uint64_t fingerprint(const Bitmap& b)
{
    // A few pixels tell a bitmap from another one that took its address.
    uint64_t h = 1469598103934665603ull;
    const std::size_t n = b.pixels.size();
    for (std::size_t i = 0; i < 64 && n; ++i) {
        h ^= b.pixels[(i * 2654435761u) % n];
        h *= 1099511628211ull;
    }
    return h;
}

bool sameTransform(const ColorTransform& x, const ColorTransform& y)
{
    return x.mulR == y.mulR && x.mulG == y.mulG && x.mulB == y.mulB && x.mulA == y.mulA && x.addR == y.addR &&
           x.addG == y.addG && x.addB == y.addB && x.addA == y.addA;
}

} // namespace

void transformPixels(uint32_t* pixels, std::size_t count, const ColorTransform& cxform)
{
    const ChannelTable t(cxform);
    for (std::size_t i = 0; i < count; ++i)
        pixels[i] = t.apply(pixels[i]);
}

void transformPixels(LayerImage image, int x0, int y0, int x1, int y1, const ColorTransform& cxform)
{
    const ChannelTable t(cxform);
    for (int y = y0; y < y1; ++y) {
        uint32_t* row = image.pixels + static_cast<std::ptrdiff_t>(y) * image.width;
        for (int x = x0; x < x1; ++x)
            row[x] = t.apply(row[x]);
    }
}

BitmapPaint BitmapCache::prepare(const Bitmap& bitmap, const ColorTransform& cxform)
{
    BitmapPaint paint;
    paint.pixels = bitmap.pixels.data();
    if (cxform.isIdentity())
        return paint;
    const float k = cxform.mulA;
    if (cxform.mulR == k && cxform.mulG == k && cxform.mulB == k && cxform.addR == 0 && cxform.addG == 0 &&
        cxform.addB == 0 && cxform.addA == 0 && k >= 0 && k <= 1) {
        paint.coverageScale = static_cast<uint8_t>(k * 255 + 0.5f);
        return paint;
    }
    const uint64_t print = fingerprint(bitmap);
    for (auto& e : entries_) {
        if (e->bitmap == &bitmap && e->source == bitmap.pixels.data() && e->width == bitmap.width &&
            e->height == bitmap.height && e->fingerprint == print && sameTransform(e->cxform, cxform)) {
            e->used = true;
            paint.pixels = e->pixels.data();
            return paint;
        }
    }
    auto e = std::make_unique<Entry>();
    e->bitmap = &bitmap;
    e->source = bitmap.pixels.data();
    e->width = bitmap.width;
    e->height = bitmap.height;
    e->fingerprint = print;
    e->cxform = cxform;
    e->pixels = bitmap.pixels;
    e->used = true;
    transformPixels(e->pixels.data(), e->pixels.size(), cxform);
    paint.pixels = e->pixels.data();
    entries_.push_back(std::move(e));
    return paint;
}

void BitmapCache::endFrame()
{
    std::size_t total = 0;
    auto keep = entries_.begin();
    for (auto& e : entries_) {
        if (e->used && total + e->pixels.size() <= kCacheBudget) {
            total += e->pixels.size();
            e->used = false;
            *keep++ = std::move(e);
        }
    }
    entries_.erase(keep, entries_.end());
}

namespace {

// One pass of a box blur of `size` along a line of `n` values `step` apart.
void boxBlur(float* line, int n, std::ptrdiff_t step, int size, std::vector<float>& scratch)
{
    if (size <= 1 || n <= 0)
        return;
    scratch.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        scratch[static_cast<std::size_t>(i)] = line[i * step];
    const int before = size / 2, after = size - before - 1;
    double sum = 0;
    for (int i = -before; i <= after; ++i)
        sum += i >= 0 && i < n ? scratch[static_cast<std::size_t>(i)] : 0;
    for (int i = 0; i < n; ++i) {
        line[i * step] = static_cast<float>(sum / size);
        const int out = i - before, in = i + after + 1;
        if (out >= 0)
            sum -= scratch[static_cast<std::size_t>(out)];
        if (in < n)
            sum += scratch[static_cast<std::size_t>(in)];
    }
}

} // namespace

void applyGlow(LayerImage image, int x0, int y0, int x1, int y1, const GlowFilter& glow)
{
    const int w = x1 - x0, h = y1 - y0;
    if (w <= 0 || h <= 0 || glow.color.a == 0)
        return;
    std::vector<float> alpha(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = image.pixels + static_cast<std::ptrdiff_t>(y0 + y) * image.width + x0;
        for (int x = 0; x < w; ++x)
            alpha[static_cast<std::size_t>(y) * w + x] = static_cast<float>(row[x] >> 24);
    }
    // Sizes and passes are capped: a movie cannot ask for unbounded work.
    const int bx = static_cast<int>(std::min(256.0, std::max(1.0, glow.blurX + 0.5)));
    const int by = static_cast<int>(std::min(256.0, std::max(1.0, glow.blurY + 0.5)));
    const int passes = std::max(1, std::min(3, glow.passes));
    std::vector<float> scratch;
    for (int p = 0; p < passes; ++p) {
        for (int y = 0; y < h; ++y)
            boxBlur(&alpha[static_cast<std::size_t>(y) * w], w, 1, bx, scratch);
        for (int x = 0; x < w; ++x)
            boxBlur(&alpha[static_cast<std::size_t>(x)], h, w, by, scratch);
    }
    const double strength = std::max(0.0, std::min(255.0, glow.strength));
    const uint32_t ca = glow.color.a;
    for (int y = 0; y < h; ++y) {
        uint32_t* row = image.pixels + static_cast<std::ptrdiff_t>(y0 + y) * image.width + x0;
        for (int x = 0; x < w; ++x) {
            const uint32_t p = row[x], sa = p >> 24;
            double level = alpha[static_cast<std::size_t>(y) * w + x];
            if (glow.inner)
                level = (255 - level) * sa / 255.0;
            const uint32_t g = div255(static_cast<uint32_t>(std::min(255.0, level * strength) + 0.5) * ca);
            const uint32_t gr = div255(glow.color.r * g), gg = div255(glow.color.g * g), gb = div255(glow.color.b * g);
            const uint32_t sr = (p >> 16) & 0xff, sg = (p >> 8) & 0xff, sb = p & 0xff;
            uint32_t a, r, gn, b;
            if (glow.inner) {
                // The glow over the object, inside it.
                const uint32_t keep = glow.knockout ? 0 : 255 - g;
                a = glow.knockout ? g : sa;
                r = gr + div255(sr * keep), gn = gg + div255(sg * keep), b = gb + div255(sb * keep);
            } else {
                // The glow beneath the object, outside it.
                const uint32_t room = 255 - sa;
                a = div255(g * room), r = div255(gr * room), gn = div255(gg * room), b = div255(gb * room);
                if (!glow.knockout)
                    a += sa, r += sr, gn += sg, b += sb;
            }
            const auto cap = [](uint32_t v, uint32_t m) { return v > m ? m : v; };
            a = cap(a, 255);
            row[x] = (a << 24) | (cap(r, a) << 16) | (cap(gn, a) << 8) | cap(b, a);
        }
    }
}

void blendLayer(BlendMode mode, pixman_image_t* layer, pixman_image_t* parent, LayerImage src, LayerImage dst,
                const uint8_t* clip, int x0, int y0, int x1, int y1)
{
    pixman_op_t op = PIXMAN_OP_OVER;
    switch (mode) {
    case BlendMode::Multiply: op = PIXMAN_OP_MULTIPLY; break;
    case BlendMode::Screen: op = PIXMAN_OP_SCREEN; break;
    case BlendMode::Lighten: op = PIXMAN_OP_LIGHTEN; break;
    case BlendMode::Darken: op = PIXMAN_OP_DARKEN; break;
    case BlendMode::Difference: op = PIXMAN_OP_DIFFERENCE; break;
    case BlendMode::Overlay: op = PIXMAN_OP_OVERLAY; break;
    case BlendMode::HardLight: op = PIXMAN_OP_HARD_LIGHT; break;
    case BlendMode::Add: op = PIXMAN_OP_ADD; break;
    case BlendMode::Subtract:
    case BlendMode::Invert:
    case BlendMode::Alpha:
    case BlendMode::Erase: {
        for (int y = y0; y < y1; ++y) {
            const uint32_t* s = src.pixels + static_cast<std::ptrdiff_t>(y) * src.width;
            uint32_t* d = dst.pixels + static_cast<std::ptrdiff_t>(y) * dst.width;
            const uint8_t* c = clip ? clip + static_cast<std::ptrdiff_t>(y) * src.width : nullptr;
            for (int x = x0; x < x1; ++x) {
                const uint32_t sp = s[x], dp = d[x];
                const uint32_t sa = sp >> 24;
                uint32_t out = dp;
                if (mode == BlendMode::Subtract) {
                    // The parent's colour less the layer's, its alpha kept.
                    uint32_t o = dp & 0xff000000u;
                    for (int shift = 0; shift < 24; shift += 8) {
                        const int v = static_cast<int>((dp >> shift) & 0xff) - static_cast<int>((sp >> shift) & 0xff);
                        o |= static_cast<uint32_t>(v < 0 ? 0 : v) << shift;
                    }
                    out = o;
                } else if (mode == BlendMode::Invert) {
                    // The parent's colour inverted where the layer covers it.
                    const uint32_t da = dp >> 24;
                    uint32_t o = dp & 0xff000000u;
                    for (int shift = 0; shift < 24; shift += 8) {
                        const uint32_t dc = (dp >> shift) & 0xff;
                        const uint32_t inv = da > dc ? da - dc : 0;
                        o |= div255(dc * (255 - sa) + inv * sa) << shift;
                    }
                    out = o;
                } else {
                    // The parent keeps its pixels in proportion to the
                    // layer's alpha (alpha) or to what it leaves (erase).
                    // Pixels the layer left fully transparent, even inside
                    // a shape (a gradient fading to nothing), leave the
                    // parent alone, as in the reference images.
                    uint32_t keep = sa == 0 ? 255 : mode == BlendMode::Alpha ? sa : 255 - sa;
                    if (c)
                        keep = 255 - div255((255 - keep) * c[x]);
                    if (keep != 255) {
                        out = (div255((dp >> 24) * keep) << 24) | (div255(((dp >> 16) & 0xff) * keep) << 16) |
                              (div255(((dp >> 8) & 0xff) * keep) << 8) | div255((dp & 0xff) * keep);
                    }
                }
                d[x] = out;
            }
        }
        return;
    }
    case BlendMode::Normal:
    case BlendMode::Layer:
        break;
    }
    pixman_image_composite32(op, layer, nullptr, parent, x0, y0, 0, 0, x0, y0, x1 - x0, y1 - y0);
}

} // namespace swf
