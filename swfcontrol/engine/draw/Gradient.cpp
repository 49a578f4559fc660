#include "swfcontrol/engine/draw/Gradient.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

double toLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double fromLinear(double c)
{
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

uint32_t premultiply(double r, double g, double b, double a)
{
    // Channels 0..1, straight.
    const auto byte = [](double v) { return static_cast<uint32_t>(std::min(255.0, std::max(0.0, v * 255 + 0.5))); };
    const uint32_t ab = byte(a);
    const auto pm = [ab](double v) {
        const uint32_t c = static_cast<uint32_t>(std::min(255.0, std::max(0.0, v * 255 + 0.5)));
        return (c * ab + 127) / 255;
    };
    return (ab << 24) | (pm(r) << 16) | (pm(g) << 8) | pm(b);
}

// Maps a gradient position to 0..1 by the spread mode.
inline double spreadT(double t, SpreadMode spread)
{
    switch (spread) {
    case SpreadMode::Repeat:
        return t - std::floor(t);
    case SpreadMode::Reflect: {
        const double u = t - 2 * std::floor(t * 0.5);
        return u > 1 ? 2 - u : u;
    }
    case SpreadMode::Pad:
        break;
    }
    return t < 0 ? 0 : t > 1 ? 1 : t;
}

inline uint32_t lookup(const uint32_t* ramp, double t, SpreadMode spread)
{
    if (!(t == t))
        t = 0;
    const int i = static_cast<int>(spreadT(t, spread) * GradientRamp::kSize);
    return ramp[i < 0 ? 0 : i >= GradientRamp::kSize ? GradientRamp::kSize - 1 : i];
}

} // namespace

bool invert(const Matrix& m, Matrix& inv)
{
    const double det = m.determinant();
    if (!std::isfinite(det) || std::fabs(det) < 1e-12 || !std::isfinite(m.tx) || !std::isfinite(m.ty))
        return false;
    inv.a = m.d / det;
    inv.b = -m.b / det;
    inv.c = -m.c / det;
    inv.d = m.a / det;
    inv.tx = -(inv.a * m.tx + inv.c * m.ty);
    inv.ty = -(inv.b * m.tx + inv.d * m.ty);
    return true;
}

bool GradientRamp::builtFrom(const Gradient& g, const ColorTransform& t) const
{
    if (g.interpolation != source_.interpolation || g.stops.size() != source_.stops.size())
        return false;
    for (std::size_t i = 0; i < g.stops.size(); ++i) {
        if (g.stops[i].ratio != source_.stops[i].ratio || g.stops[i].color != source_.stops[i].color)
            return false;
    }
    const ColorTransform& u = cxform_;
    return t.mulR == u.mulR && t.mulG == u.mulG && t.mulB == u.mulB && t.mulA == u.mulA && t.addR == u.addR &&
           t.addG == u.addG && t.addB == u.addB && t.addA == u.addA;
}

void GradientRamp::build(const Gradient& gradient, const ColorTransform& cxform)
{
    source_.interpolation = gradient.interpolation;
    source_.stops = gradient.stops;
    cxform_ = cxform;
    struct Stop {
        double ratio;
        double c[4];
        int bytes[4]; // the transformed colour, 0..255
    };
    Stop stops[16];
    int n = 0;
    const bool linear = gradient.interpolation == Interpolation::LinearRgb;
    int previousRatio = -1;
    for (const GradientStop& s : gradient.stops) {
        if (n == 16)
            break;
        const Rgba c = cxform.apply(s.color);
        Stop& stop = stops[n++];
        stop.ratio = s.ratio;
        // A stop at the same ratio as the one before it comes one ratio
        // after that one, so that each of a run of equal stops shows as a
        // thin band rather than all but the last vanishing.
        if (n > 1 && s.ratio == previousRatio)
            stop.ratio = std::min(255.0, stops[n - 2].ratio + 1);
        previousRatio = s.ratio;
        const double rgb[3] = {c.r / 255.0, c.g / 255.0, c.b / 255.0};
        for (int k = 0; k < 3; ++k)
            stop.c[k] = linear ? toLinear(rgb[k]) : rgb[k];
        stop.c[3] = c.a / 255.0;
        stop.bytes[0] = c.r, stop.bytes[1] = c.g, stop.bytes[2] = c.b, stop.bytes[3] = c.a;
    }
    empty_ = n == 0;
    if (empty_)
        return;
    // The stops give 256 colours, one per ratio, each rounded to 8 bits;
    // positions between them blend the two nearest, ratio r sitting at
    // t = (r + 0.5) / 256. That is how the expected images are drawn.
    double texels[256][4];
    // Stops are taken in file order: each ratio blends the stops of the
    // first pair, walking forward, that does not end below it. Ratios out of
    // order thus hide parts of the gradient rather than reorder it.
    int seg = 0;
    for (int r = 0; r < 256; ++r) {
        while (seg + 1 < n && r > stops[seg + 1].ratio)
            ++seg;
        double c[4];
        if (seg + 1 == n || r <= stops[seg].ratio) {
            std::copy(stops[seg].c, stops[seg].c + 4, c);
        } else if (!linear) {
            // Whole levels, rounded down: the reference ramps step where
            // exact integer interpolation does. Doubles would land a hair
            // under whole values and step one ratio early.
            const Stop& a = stops[seg];
            const Stop& b = stops[seg + 1];
            const int span = static_cast<int>(b.ratio - a.ratio), into = r - static_cast<int>(a.ratio);
            for (int k = 0; k < 4; ++k) {
                const int num = (b.bytes[k] - a.bytes[k]) * into;
                const int step = num >= 0 ? num / span : -((-num + span - 1) / span);
                texels[r][k] = (a.bytes[k] + step) / 255.0;
            }
            continue;
        } else {
            const Stop& a = stops[seg];
            const Stop& b = stops[seg + 1];
            const double span = b.ratio - a.ratio;
            const double f = span > 0 ? std::min(1.0, (r - a.ratio) / span) : 1.0;
            for (int k = 0; k < 4; ++k)
                c[k] = a.c[k] + (b.c[k] - a.c[k]) * f;
        }
        if (linear) {
            for (int k = 0; k < 3; ++k)
                c[k] = fromLinear(c[k]);
        }
        for (int k = 0; k < 4; ++k)
            texels[r][k] = std::floor(std::min(1.0, std::max(0.0, c[k])) * 255 + 0.5) / 255;
    }
    for (int i = 0; i < kSize; ++i) {
        // Linear-RGB ramps show their 256 colours as flat bands, each half
        // a ratio further out than an RGB ramp's blend points: so the
        // reference images draw them.
        const double shift = linear ? 0.5 : 0;
        const double r = std::min(255.0, std::max(0.0, (i + 0.5) * 256.0 / kSize - 0.5 - shift));
        const int r0 = std::min(254, static_cast<int>(r));
        const double f = linear ? (r - r0 < 0.5 ? 0 : 1) : r - r0;
        double c[4];
        for (int k = 0; k < 4; ++k)
            c[k] = texels[r0][k] + (texels[r0 + 1][k] - texels[r0][k]) * f;
        colors_[i] = premultiply(c[0], c[1], c[2], c[3]);
    }
}

void paintGradient(FillKind kind, SpreadMode spread, float focal, const Matrix& toPixels, const GradientRamp& ramp,
                   int x, int y, int width, int height, uint32_t* out, int stride)
{
    const uint32_t* colors = ramp.colors();
    Matrix inv;
    if (!invert(toPixels, inv)) {
        // A gradient squashed to nothing shows its outermost colour.
        for (int r = 0; r < height; ++r)
            std::fill(out + static_cast<std::ptrdiff_t>(r) * stride, out + static_cast<std::ptrdiff_t>(r) * stride + width,
                      colors[GradientRamp::kSize - 1]);
        return;
    }
    // Work in the unit gradient square.
    const double k = 1.0 / 16384;
    const double a = inv.a * k, b = inv.b * k, c = inv.c * k, d = inv.d * k, tx = inv.tx * k, ty = inv.ty * k;
    // Focal points closer to the rim than this are drawn as if at this distance.
    const double fx = std::max(-0.98, std::min(0.98, static_cast<double>(focal)));
    for (int r = 0; r < height; ++r) {
        uint32_t* row = out + static_cast<std::ptrdiff_t>(r) * stride;
        const double px = x + 0.5, py = y + r + 0.5;
        double gx = a * px + c * py + tx;
        double gy = b * px + d * py + ty;
        if (kind == FillKind::LinearGradient) {
            double t = (gx + 1) * 0.5;
            const double dt = a * 0.5;
            for (int i = 0; i < width; ++i, t += dt)
                row[i] = lookup(colors, t, spread);
        } else if (kind == FillKind::FocalGradient && fx != 0) {
            // t is how far the pixel lies from the focal point towards the
            // circle, along the ray from the focal point through it.
            const double denom = 1 - fx * fx;
            for (int i = 0; i < width; ++i, gx += a, gy += b) {
                const double dx = gx - fx, dy = gy;
                const double pf = dx * fx;
                const double dd = dx * dx + dy * dy;
                const double t = (pf + std::sqrt(std::max(0.0, pf * pf + denom * dd))) / denom;
                row[i] = lookup(colors, t, spread);
            }
        } else {
            for (int i = 0; i < width; ++i, gx += a, gy += b)
                row[i] = lookup(colors, std::sqrt(gx * gx + gy * gy), spread);
        }
    }
}

} // namespace swf
