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
