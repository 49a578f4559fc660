#include "swfcontrol/engine/format/Filter.h"

#include "swfcontrol/engine/format/BitReader.h"

#include <cmath>

namespace swf {

Filter Filter::blur(double x, double y, int passes)
{
    Filter f;
    f.kind = FilterKind::Blur;
    f.blurX = x;
    f.blurY = y;
    f.passes = passes;
    return f;
}

Filter Filter::dropShadow()
{
    Filter f;
    f.kind = FilterKind::DropShadow;
    return f;
}

Filter Filter::glow()
{
    Filter f;
    f.kind = FilterKind::Glow;
    f.color = Rgba{255, 0, 0, 255};
    f.blurX = f.blurY = 6;
    f.strength = 2;
    f.distance = 0;
    return f;
}

Filter Filter::bevel()
{
    Filter f;
    f.kind = FilterKind::Bevel;
    f.color = Rgba{0, 0, 0, 255};
    f.placement = FilterPlacement::Inner;
    return f;
}

namespace {

Rgba readRgba(BitReader& r)
{
    Rgba c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    c.a = r.u8();
    return c;
}

// A float from the file that a filter can use: NaN and infinities count as 0.
float finite(float v) { return std::isfinite(v) ? v : 0.0f; }

// The blur sizes, angle, distance and strength that shadows, glows and
// bevels share, in the order their records hold them.
void readShape(BitReader& r, Filter& f, bool angled)
{
    f.blurX = r.fixed16();
    f.blurY = r.fixed16();
    if (angled) {
        f.angle = r.fixed16();
        f.distance = r.fixed16();
    } else {
        f.distance = 0;
    }
    f.strength = r.fixed8();
}

// The flag byte after them: inner, knockout, composite-source and, in the
// low bits, the passes (four bits when an on-top flag comes before them).
void readFlags(BitReader& r, Filter& f, bool onTopBit)
{
    const unsigned flags = r.u8();
    const bool inner = (flags & 0x80) != 0;
    f.knockout = (flags & 0x40) != 0;
    f.hideObject = (flags & 0x20) == 0;
    const bool onTop = onTopBit && (flags & 0x10) != 0;
    f.passes = static_cast<int>(flags & (onTopBit ? 0x0f : 0x1f));
    f.placement = onTop ? FilterPlacement::Full : inner ? FilterPlacement::Inner : FilterPlacement::Outer;
}

} // namespace

bool readFilters(BitReader& r, std::vector<Filter>* out)
{
    const unsigned count = r.u8();
    for (unsigned i = 0; i < count && !r.failed(); ++i) {
        Filter f;
        const unsigned id = r.u8();
        f.kind = static_cast<FilterKind>(id);
        switch (id) {
        case 0: // drop shadow
            f.color = readRgba(r);
            readShape(r, f, true);
            readFlags(r, f, false);
            break;
        case 1: { // blur
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.passes = static_cast<int>(r.u8() >> 3);
            break;
        }
        case 2: // glow
            f.color = readRgba(r);
            readShape(r, f, false);
            readFlags(r, f, false);
            // A glow hides nothing: its composite flag is always set.
            f.hideObject = false;
            break;
        case 3: // bevel: the highlight comes first in the record
            f.highlight = readRgba(r);
            f.color = readRgba(r);
            readShape(r, f, true);
            readFlags(r, f, true);
            f.hideObject = false;
            break;
        case 4:   // gradient glow
        case 7: { // gradient bevel
            const unsigned stops = r.u8();
            std::vector<FilterStop> read(stops);
            for (FilterStop& s : read)
                s.color = readRgba(r);
            for (FilterStop& s : read)
                s.ratio = r.u8();
            if (read.size() > 16)
                read.resize(16);
            f.stops = std::move(read);
            readShape(r, f, true);
            readFlags(r, f, true);
            f.hideObject = false;
            break;
        }
        case 5: { // convolution
            f.columns = r.u8();
            f.rows = r.u8();
            f.divisor = finite(r.f32());
            f.bias = finite(r.f32());
            f.kernel.resize(static_cast<std::size_t>(f.columns) * f.rows);
            for (float& k : f.kernel)
                k = finite(r.f32());
            f.substitute = readRgba(r);
            const unsigned flags = r.u8();
            f.clamp = (flags & 0x02) != 0;
            f.preserveAlpha = (flags & 0x01) != 0;
            break;
        }
        case 6: // colour matrix
            for (float& m : f.matrix)
                m = finite(r.f32());
            break;
        default:
            r.fail();
            return false;
        }
        if (!r.failed() && out && out->size() < kMaxFilters)
            out->push_back(std::move(f));
    }
    return !r.failed();
}

} // namespace swf
