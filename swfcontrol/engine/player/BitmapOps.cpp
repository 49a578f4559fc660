#include "swfcontrol/engine/player/BitmapOps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace swf::player {

namespace {

uint32_t channelOf(uint32_t argb, int shift) { return (argb >> shift) & 0xff; }

// The part of `rect` of the source that lands inside the destination at
// (dx, dy): source and destination corners and the size.
struct Area {
    int sx = 0, sy = 0, dx = 0, dy = 0, width = 0, height = 0;
};

bool clipArea(const PixelBuffer& src, IntRect rect, const PixelBuffer& dst, int dx, int dy, Area& out)
{
    long long sx = rect.x, sy = rect.y, w = rect.width, h = rect.height, tx = dx, ty = dy;
    if (sx < 0) {
        tx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        ty -= sy;
        h += sy;
        sy = 0;
    }
    if (tx < 0) {
        sx -= tx;
        w += tx;
        tx = 0;
    }
    if (ty < 0) {
        sy -= ty;
        h += ty;
        ty = 0;
    }
    w = std::min({w, static_cast<long long>(src.width()) - sx, static_cast<long long>(dst.width()) - tx});
    h = std::min({h, static_cast<long long>(src.height()) - sy, static_cast<long long>(dst.height()) - ty});
    if (w <= 0 || h <= 0)
        return false;
    out = {static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(tx), static_cast<int>(ty), static_cast<int>(w),
           static_cast<int>(h)};
    return true;
}

// Calls f(destination pixel, stored source pixel, source x, source y) for
// each pair; a source that is the destination is read from a copy.
template <class F>
void eachPair(PixelBuffer& dst, const PixelBuffer& src, const Area& a, F f)
{
    std::vector<uint32_t> copy;
    if (&src == &dst) {
        copy.resize(static_cast<std::size_t>(a.width) * a.height);
        for (int y = 0; y < a.height; ++y)
            std::copy_n(src.row(a.sy + y) + a.sx, a.width, &copy[static_cast<std::size_t>(y) * a.width]);
    }
    for (int y = 0; y < a.height; ++y) {
        uint32_t* d = &dst.at(a.dx, a.dy + y);
        const uint32_t* s = copy.empty() ? src.row(a.sy + y) + a.sx : &copy[static_cast<std::size_t>(y) * a.width];
        for (int x = 0; x < a.width; ++x)
            f(d[x], s[x], a.sx + x, a.sy + y);
    }
    dst.touch();
}

// Premultiplied `src` over premultiplied `dst`.
uint32_t over(uint32_t src, uint32_t dst)
{
    uint32_t sa = src >> 24;
    if (sa == 0xff)
        return src;
    uint32_t keep = 255 - sa, out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t v = channelOf(src, shift) + channelOf(dst, shift) * keep / 255;
        out |= std::min(v, 255u) << shift;
    }
    return out;
}

// Scales every channel of a premultiplied pixel by an alpha.
uint32_t mask(uint32_t pixel, uint32_t alpha)
{
    if (alpha == 0xff)
        return pixel;
    uint32_t scale = alpha + (alpha >> 7), out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= ((channelOf(pixel, shift) * scale) >> 8) << shift;
    return out;
}

int shiftOf(int channel)
{
    switch (channel) {
    case kRed: return 16;
    case kGreen: return 8;
    case kBlue: return 0;
    case kAlpha: return 24;
    default: return -1;
    }
}

uint8_t clampChannel(long long v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Flash Player's generator for noise(): the Park and Miller minimal
// standard, 16807 * x mod (2^31 - 1).
class ParkMiller {
public:
    explicit ParkMiller(int32_t seed)
    {
        long long s = seed <= 0 ? 1 - static_cast<long long>(seed) : seed;
        state_ = static_cast<uint32_t>(s % kModulus);
        if (state_ == 0)
            state_ = 1;
    }
    uint32_t next()
    {
        state_ = static_cast<uint32_t>(static_cast<uint64_t>(state_) * 16807 % kModulus);
        return state_;
    }

private:
    static constexpr uint64_t kModulus = 2147483647;
    uint32_t state_;
};

} // namespace

void fillRect(PixelBuffer& dst, IntRect rect, uint32_t argb)
{
    Area a;
    if (!clipArea(dst, rect, dst, rect.x, rect.y, a))
        return;
    uint32_t v = dst.store(argb);
    for (int y = 0; y < a.height; ++y)
        std::fill_n(&dst.at(a.dx, a.dy + y), a.width, v);
    dst.touch();
}

void copyPixels(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, const PixelBuffer* alpha,
                int ax, int ay, bool mergeAlpha)
{
    Area a;
    if (!clipArea(src, rect, dst, dx, dy, a))
        return;
    bool blend = mergeAlpha || !dst.transparent();
    if (alpha && (!alpha->valid() || !alpha->transparent()))
        alpha = nullptr;
    eachPair(dst, src, a, [&](uint32_t& d, uint32_t s, int sx, int sy) {
        if (alpha) {
            long long mx = static_cast<long long>(ax) + (sx - rect.x), my = static_cast<long long>(ay) + (sy - rect.y);
            bool inside = mx >= 0 && my >= 0 && mx < alpha->width() && my < alpha->height();
            s = mask(s, inside ? alpha->at(static_cast<int>(mx), static_cast<int>(my)) >> 24 : 0);
        }
        d = blend ? over(s, d) : s;
    });
}

void copyChannel(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, int srcChannel,
                 int dstChannel)
{
    int from = shiftOf(srcChannel), to = shiftOf(dstChannel);
    Area a;
    if (to < 0 || (to == 24 && !dst.transparent()) || !clipArea(src, rect, dst, dx, dy, a))
        return;
    eachPair(dst, src, a, [&](uint32_t& d, uint32_t s, int, int) {
        uint32_t v = from < 0 ? 0 : channelOf(unpremultiply(s), from);
        uint32_t straight = unpremultiply(d);
        d = dst.store((straight & ~(0xffu << to)) | v << to);
    });
}

void colorTransform(PixelBuffer& dst, IntRect rect, const ColorTransformValues& c)
{
    Area a;
    if (!clipArea(dst, rect, dst, rect.x, rect.y, a))
        return;
    // Multipliers as the 8.8 fixed point of the display's colour
    // transforms, offsets as whole numbers.
    auto fixed = [](double d) { return std::isnan(d) ? 0ll : static_cast<long long>(std::max(-1e9, std::min(1e9, d))); };
    const long long mul[4] = {fixed(c.blueMultiplier * 256), fixed(c.greenMultiplier * 256),
                              fixed(c.redMultiplier * 256), fixed(c.alphaMultiplier * 256)};
    const long long add[4] = {fixed(c.blueOffset), fixed(c.greenOffset), fixed(c.redOffset), fixed(c.alphaOffset)};
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            uint32_t straight = dst.straight(a.dx + x, a.dy + y), out = 0;
            for (int i = 0; i < 4; ++i)
                out |= static_cast<uint32_t>(clampChannel((channelOf(straight, i * 8) * mul[i] >> 8) + add[i])) << (i * 8);
            dst.setStraight(a.dx + x, a.dy + y, out);
        }
    }
    dst.touch();
}

void merge(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, const int multipliers[4])
{
    Area a;
    if (!clipArea(src, rect, dst, dx, dy, a))
        return;
    // Multipliers in red, green, blue, alpha order; shifts to match.
    static const int shifts[4] = {16, 8, 0, 24};
    eachPair(dst, src, a, [&](uint32_t& d, uint32_t s, int, int) {
        uint32_t ss = unpremultiply(s), ds = unpremultiply(d), out = 0;
        for (int i = 0; i < 4; ++i) {
            uint32_t m = static_cast<uint32_t>(std::max(0, std::min(256, multipliers[i])));
            uint32_t v = (channelOf(ss, shifts[i]) * m + channelOf(ds, shifts[i]) * (256 - m)) >> 8;
            out |= v << shifts[i];
        }
        d = dst.store(out);
    });
}

void noise(PixelBuffer& dst, int32_t seed, int low, int high, int channels, bool grayScale)
{
    ParkMiller random(seed);
    // An opaque bitmap draws no alpha, and takes no number for it.
    if (!dst.transparent())
        channels &= ~kAlpha;
    low = std::max(0, std::min(255, low));
    high = std::max(0, std::min(255, high));
    uint32_t range = high >= low ? static_cast<uint32_t>(high - low + 1) : 0;
    auto value = [&]() { return range ? static_cast<uint32_t>(low) + random.next() % range : static_cast<uint32_t>(low); };
    for (int y = 0; y < dst.height(); ++y) {
        for (int x = 0; x < dst.width(); ++x) {
            uint32_t argb;
            if (grayScale) {
                uint32_t v = value();
                argb = v << 16 | v << 8 | v;
            } else {
                argb = 0;
                if (channels & kRed)
                    argb |= value() << 16;
                if (channels & kGreen)
                    argb |= value() << 8;
                if (channels & kBlue)
                    argb |= value();
            }
            argb |= (channels & kAlpha ? value() : 0xffu) << 24;
            dst.setStraight(x, y, argb);
        }
    }
    dst.touch();
}

void paletteMap(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, const uint32_t* const tables[4])
{
    Area a;
    if (!clipArea(src, rect, dst, dx, dy, a))
        return;
    static const int shifts[4] = {16, 8, 0, 24};
    eachPair(dst, src, a, [&](uint32_t& d, uint32_t s, int, int) {
        uint32_t straight = unpremultiply(s), out = 0;
        for (int i = 0; i < 4; ++i) {
            uint32_t c = channelOf(straight, shifts[i]);
            out += tables[i] ? tables[i][c] : c << shifts[i];
        }
        d = dst.store(out);
    });
}

void scroll(PixelBuffer& dst, int dx, int dy)
{
    Area a;
    if (!clipArea(dst, {0, 0, dst.width(), dst.height()}, dst, dx, dy, a))
        return;
    eachPair(dst, dst, a, [](uint32_t& d, uint32_t s, int, int) { d = s; });
}

uint32_t threshold(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, ThresholdOp op,
                   uint32_t value, uint32_t color, uint32_t mask, bool copySource)
{
    Area a;
    if (!clipArea(src, rect, dst, dx, dy, a))
        return 0;
    uint32_t target = value & mask, count = 0, stored = dst.store(color);
    eachPair(dst, src, a, [&](uint32_t& d, uint32_t s, int, int) {
        uint32_t v = unpremultiply(s) & mask;
        bool pass = false;
        switch (op) {
        case ThresholdOp::Less: pass = v < target; break;
        case ThresholdOp::LessEqual: pass = v <= target; break;
        case ThresholdOp::Greater: pass = v > target; break;
        case ThresholdOp::GreaterEqual: pass = v >= target; break;
        case ThresholdOp::Equal: pass = v == target; break;
        case ThresholdOp::NotEqual: pass = v != target; break;
        }
        if (pass) {
            d = stored;
            ++count;
        } else if (copySource) {
            d = dst.store(unpremultiply(s));
        }
    });
    return count;
}

bool floodFill(PixelBuffer& dst, int x, int y, uint32_t argb)
{
    if (!dst.contains(x, y))
        return false;
    uint32_t from = dst.at(x, y), to = dst.store(argb);
    if (from == to)
        return false;
    std::vector<std::pair<int, int>> pending{{x, y}};
    while (!pending.empty()) {
        auto [px, py] = pending.back();
        pending.pop_back();
        if (!dst.contains(px, py) || dst.at(px, py) != from)
            continue;
        // The run along the row, then the rows above and below it.
        int left = px, right = px;
        while (left > 0 && dst.at(left - 1, py) == from)
            --left;
        while (right + 1 < dst.width() && dst.at(right + 1, py) == from)
            ++right;
        for (int i = left; i <= right; ++i) {
            dst.at(i, py) = to;
            if (py > 0 && dst.at(i, py - 1) == from)
                pending.emplace_back(i, py - 1);
            if (py + 1 < dst.height() && dst.at(i, py + 1) == from)
                pending.emplace_back(i, py + 1);
        }
    }
    dst.touch();
    return true;
}

IntRect colorBounds(const PixelBuffer& src, uint32_t mask, uint32_t color, bool find)
{
    int left = src.width(), top = src.height(), right = -1, bottom = -1;
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            if (((src.straight(x, y) & mask) == (color & mask)) != find)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

namespace {

bool opaqueEnough(const PixelBuffer& a, int x, int y, int threshold)
{
    return static_cast<int>(a.at(x, y) >> 24) >= threshold;
}

} // namespace

bool hitTestPoint(const PixelBuffer& a, int x, int y, int threshold, int px, int py)
{
    long long lx = static_cast<long long>(px) - x, ly = static_cast<long long>(py) - y;
    if (lx < 0 || ly < 0 || lx >= a.width() || ly >= a.height())
        return false;
    // A single point never hits a pixel of no alpha, whatever the threshold.
    return (a.at(static_cast<int>(lx), static_cast<int>(ly)) >> 24) != 0 &&
           opaqueEnough(a, static_cast<int>(lx), static_cast<int>(ly), threshold);
}

bool hitTestRect(const PixelBuffer& a, int x, int y, int threshold, IntRect rect)
{
    Area area;
    if (!clipArea(a, {rect.x - x, rect.y - y, rect.width, rect.height}, a, rect.x - x, rect.y - y, area))
        return false;
    for (int j = 0; j < area.height; ++j)
        for (int i = 0; i < area.width; ++i)
            if (opaqueEnough(a, area.sx + i, area.sy + j, threshold))
                return true;
    return false;
}

bool hitTestBitmap(const PixelBuffer& a, int ax, int ay, int thresholdA, const PixelBuffer& b, int bx, int by,
                   int thresholdB)
{
    // b's pixels in a's coordinates.
    Area area;
    if (!clipArea(b, {0, 0, b.width(), b.height()}, a, bx - ax, by - ay, area))
        return false;
    for (int j = 0; j < area.height; ++j)
        for (int i = 0; i < area.width; ++i)
            if (opaqueEnough(a, area.dx + i, area.dy + j, thresholdA) &&
                opaqueEnough(b, area.sx + i, area.sy + j, thresholdB))
                return true;
    return false;
}

bool compareBuffers(const PixelBuffer& a, const PixelBuffer& b, PixelBuffer& out)
{
    bool differ = false;
    for (int y = 0; y < a.height() && !differ; ++y)
        for (int x = 0; x < a.width() && !differ; ++x)
            differ = a.straight(x, y) != b.straight(x, y);
    if (!differ || !out.allocate(a.width(), a.height(), true, 0))
        return differ;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            uint32_t p = a.straight(x, y), q = b.straight(x, y);
            if (p == q)
                continue;
            uint32_t d;
            if ((p & 0xffffff) != (q & 0xffffff)) {
                d = 0xff000000u;
                for (int shift = 0; shift < 24; shift += 8)
                    d |= ((channelOf(p, shift) - channelOf(q, shift)) & 0xff) << shift;
            } else {
                d = ((channelOf(p, 24) - channelOf(q, 24)) & 0xff) << 24 | 0xffffff;
            }
            out.setStraight(x, y, d);
        }
    }
    out.touch();
    return true;
}

namespace {

// Feedback of a maximal-length left-shifting LFSR of each width: the
// polynomial's terms below the top one.
const uint32_t kDissolveFeedback[25] = {0,    0,    0x3,  0x3,    0x3, 0x5,  0x3, 0x3,  0x1d, 0x11, 0x9,  0x5, 0x53,
                                        0x1b, 0x2b, 0x3, 0x100b, 0x9, 0x81, 0x27, 0x9, 0x5,  0x3,  0x21, 0x87};

int bitWidth(uint32_t n)
{
    int bits = 0;
    for (; n; n >>= 1)
        ++bits;
    return bits;
}

} // namespace

// Flash Player visits the pixels in the order of an LFSR as wide as the
// pixel count: state s stands for the pixel count - s, so pixel 0 (which no
// state reaches) is always dissolved besides the others. The state starts
// at the seed's size modulo the LFSR's period; what comes back is the
// position the next pixel would have had.
int32_t pixelDissolve(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, int32_t seed,
                      int32_t numPixels, uint32_t fill)
{
    Area a;
    if (!clipArea(src, rect, dst, dx, dy, a))
        return seed;
    const bool filling = &src == &dst;
    const uint32_t stored = dst.store(fill);
    const uint32_t area = static_cast<uint32_t>(a.width) * static_cast<uint32_t>(a.height);
    auto dissolve = [&](uint32_t index) {
        int x = static_cast<int>(index % a.width), y = static_cast<int>(index / a.width);
        dst.at(a.dx + x, a.dy + y) = filling ? stored : src.at(a.sx + x, a.sy + y);
    };
    dissolve(0);
    dst.touch();
    uint32_t count = static_cast<uint32_t>(numPixels);
    if (count == 0 || area < 2)
        return seed;
    const int bits = std::max(2, bitWidth(area));
    const uint32_t period = (1u << bits) - 1, feedback = kDissolveFeedback[bits];
    auto next = [&](uint32_t s) { return ((s << 1) ^ (s >> (bits - 1) ? feedback : 0)) & period; };
    auto valid = [&](uint32_t s) { return s >= 1 && s < area; };
    auto advance = [&](uint32_t s) {
        do
            s = next(s);
        while (!valid(s));
        return s;
    };
    uint32_t s = static_cast<uint32_t>(std::llabs(static_cast<long long>(seed)) % period);
    if (s == 0)
        s = 1;
    if (!valid(s))
        s = advance(s);
    // The pixels other than 0 form one cycle; past it, only where it ends
    // goes on moving.
    const uint32_t cycle = area - 1;
    for (uint32_t i = 0; i < std::min(count, cycle); ++i) {
        dissolve(area - s);
        s = advance(s);
    }
    if (count > cycle)
        for (uint32_t i = 0; i < count % cycle; ++i)
            s = advance(s);
    return static_cast<int32_t>(area - s);
}

} // namespace swf::player
