// BitmapData.perlinNoise: the classic lattice gradient noise, summed over
// octaves as fractal noise or turbulence, with the gradient tables and the
// lattice permutation drawn from the same Park and Miller generator that
// noise() uses (one table of gradients per colour channel), and tiles that
// stitch by wrapping the lattice at the bitmap's edges.
#include "swfcontrol/engine/player/BitmapOps.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf::player {

namespace {

constexpr int kLattice = 0x100;
constexpr int kLatticeMask = 0xff;
// Added to coordinates so that negative ones truncate like positive ones.
constexpr int kBias = 0x1000;

class Generator {
public:
    explicit Generator(int32_t seed)
    {
        long long s = seed;
        if (s <= 0)
            s = -(s % (kModulus - 1)) + 1;
        if (s > kModulus - 1)
            s = kModulus - 1;
        state_ = s;
    }
    long long next()
    {
        // 16807 * x mod (2^31 - 1) without overflowing 32 bits.
        long long r = 16807 * (state_ % 127773) - 2836 * (state_ / 127773);
        if (r <= 0)
            r += kModulus;
        state_ = r;
        return r;
    }

private:
    static constexpr long long kModulus = 2147483647;
    long long state_;
};

struct Tables {
    int selector[kLattice + kLattice + 2];
    double gradient[4][kLattice + kLattice + 2][2];

    explicit Tables(int32_t seed)
    {
        Generator random(seed);
        for (int k = 0; k < 4; ++k) {
            for (int i = 0; i < kLattice; ++i) {
                selector[i] = i;
                double* g = gradient[k][i];
                for (int j = 0; j < 2; ++j)
                    g[j] = static_cast<double>(random.next() % (kLattice + kLattice) - kLattice) / kLattice;
                double length = std::sqrt(g[0] * g[0] + g[1] * g[1]);
                if (length > 0) {
                    g[0] /= length;
                    g[1] /= length;
                }
            }
        }
        for (int i = kLattice - 1; i > 0; --i) {
            int j = static_cast<int>(random.next() % kLattice);
            std::swap(selector[i], selector[j]);
        }
        for (int i = 0; i < kLattice + 2; ++i) {
            selector[kLattice + i] = selector[i];
            for (int k = 0; k < 4; ++k) {
                gradient[k][kLattice + i][0] = gradient[k][i][0];
                gradient[k][kLattice + i][1] = gradient[k][i][1];
            }
        }
    }
};

// Where the lattice wraps so that the tile's edges meet. Whole numbers,
// kept as doubles so that no size a movie asks for overflows them.
struct Stitch {
    double width, height, wrapX, wrapY;
};

double curve(double t) { return t * t * (3 - 2 * t); }
double mix(double t, double a, double b) { return a + t * (b - a); }

// A lattice coordinate's cell, as a 32-bit truncation would give it for
// the coordinates that fit one.
int cell(double whole)
{
    long long v = std::fabs(whole) < 9e15 ? static_cast<long long>(whole) : 0;
    return static_cast<int>(v & kLatticeMask);
}

double noise2(const Tables& t, int channel, double x, double y, const Stitch* stitch)
{
    double fx = x + kBias, fy = y + kBias;
    double wx0 = std::trunc(fx), wy0 = std::trunc(fy);
    double rx0 = fx - wx0, ry0 = fy - wy0;
    double rx1 = rx0 - 1, ry1 = ry0 - 1;
    double wx1 = wx0 + 1, wy1 = wy0 + 1;
    if (stitch) {
        if (wx0 >= stitch->wrapX)
            wx0 -= stitch->width;
        if (wx1 >= stitch->wrapX)
            wx1 -= stitch->width;
        if (wy0 >= stitch->wrapY)
            wy0 -= stitch->height;
        if (wy1 >= stitch->wrapY)
            wy1 -= stitch->height;
    }
    int bx0 = cell(wx0), bx1 = cell(wx1), by0 = cell(wy0), by1 = cell(wy1);
    int i = t.selector[bx0], j = t.selector[bx1];
    const double* q00 = t.gradient[channel][t.selector[i + by0]];
    const double* q10 = t.gradient[channel][t.selector[j + by0]];
    const double* q01 = t.gradient[channel][t.selector[i + by1]];
    const double* q11 = t.gradient[channel][t.selector[j + by1]];
    double sx = curve(rx0), sy = curve(ry0);
    double a = mix(sx, rx0 * q00[0] + ry0 * q00[1], rx1 * q10[0] + ry0 * q10[1]);
    double b = mix(sx, rx0 * q01[0] + ry1 * q01[1], rx1 * q11[0] + ry1 * q11[1]);
    return mix(sy, a, b);
}

} // namespace

void perlinNoise(PixelBuffer& dst, const PerlinOptions& o)
{
    if (!dst.valid())
        return;
    Tables tables(o.seed);
    const int width = dst.width(), height = dst.height();
    // A base of 0 (or not a number) gives no noise at all: every channel
    // made is 0.
    double freqX = 1 / std::fabs(o.baseX), freqY = 1 / std::fabs(o.baseY);
    const bool none = !std::isfinite(freqX) || !std::isfinite(freqY);
    Stitch stitch{};
    if (o.stitch) {
        // Frequencies that fit a whole number of lattice cells in the tile.
        auto fit = [](double freq, int size) {
            if (freq == 0)
                return freq;
            double low = std::floor(size * freq) / size, high = std::ceil(size * freq) / size;
            return low > 0 && freq / low < high / freq ? low : high;
        };
        freqX = fit(freqX, width);
        freqY = fit(freqY, height);
        stitch.width = std::floor(width * freqX + 0.5);
        stitch.height = std::floor(height * freqY + 0.5);
        stitch.wrapX = kBias + stitch.width;
        stitch.wrapY = kBias + stitch.height;
    }
    // Past 32 octaves what is added is below any channel's resolution.
    const int octaves = std::max(0, std::min(o.octaves, 32));
    const bool alpha = (o.channels & kAlpha) && dst.transparent();
    // The channels to make, in the tables' order: red, green, blue, alpha.
    bool wanted[4] = {o.grayScale || (o.channels & kRed) != 0, !o.grayScale && (o.channels & kGreen) != 0,
                      !o.grayScale && (o.channels & kBlue) != 0, alpha};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int value[4] = {0, 0, 0, 255};
            // Each channel made takes the next table of gradients.
            int table = 0;
            for (int channel = 0; channel < 4; ++channel) {
                if (!wanted[channel])
                    continue;
                if (none) {
                    value[channel] = 0;
                    ++table;
                    continue;
                }
                Stitch s = stitch;
                double sum = 0, scale = 1;
                for (int octave = 0; octave < octaves; ++octave) {
                    double ox = octave < o.offsetCount ? o.offsets[2 * octave] : 0;
                    double oy = octave < o.offsetCount ? o.offsets[2 * octave + 1] : 0;
                    if (!std::isfinite(ox))
                        ox = 0;
                    if (!std::isfinite(oy))
                        oy = 0;
                    double n = noise2(tables, table, (x + ox) * freqX * scale, (y + oy) * freqY * scale,
                                      o.stitch ? &s : nullptr);
                    sum += (o.fractal ? n : std::fabs(n)) / scale;
                    scale *= 2;
                    if (o.stitch) {
                        s.width *= 2;
                        s.wrapX = 2 * s.wrapX - kBias;
                        s.height *= 2;
                        s.wrapY = 2 * s.wrapY - kBias;
                    }
                }
                // Rounded to a whole number first; fractal noise is then
                // halved, dropping what is left over.
                double v = std::floor(sum * 255 + (o.fractal ? 255 : 0) + 0.5);
                if (o.fractal)
                    v = std::floor(v / 2);
                value[channel] = static_cast<int>(std::max(0.0, std::min(255.0, v)));
                ++table;
            }
            if (o.grayScale)
                value[1] = value[2] = value[0];
            // The channels go in as they are, taken for premultiplied ones.
            dst.at(x, y) = static_cast<uint32_t>(value[3]) << 24 | static_cast<uint32_t>(value[0]) << 16 |
                           static_cast<uint32_t>(value[1]) << 8 | static_cast<uint32_t>(value[2]);
        }
    }
    dst.touch();
}

} // namespace swf::player
