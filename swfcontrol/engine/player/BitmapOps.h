// What BitmapData's methods do to pixels, apart from scripts: each takes
// buffers and integer areas already read from the arguments, clips them to
// the buffers, and never reads or writes outside. A source may be the
// destination itself.
//
// Colours come in and go out straight (0xAARRGGBB, as getPixel32 gives
// them); the buffers store them premultiplied.
#pragma once

#include "swfcontrol/engine/player/Geom.h"
#include "swfcontrol/engine/player/PixelBuffer.h"

#include <cstdint>

namespace swf::player {

struct IntRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// Channels as BitmapData names them.
enum Channel : int { kRed = 1, kGreen = 2, kBlue = 4, kAlpha = 8 };

void fillRect(PixelBuffer& dst, IntRect rect, uint32_t argb);

// Copies `rect` of `src` to (dx, dy). With `alpha` (a transparent buffer),
// its alpha from (ax, ay) on masks the source. The result replaces the
// destination, or is laid over it when `mergeAlpha` or the destination is
// opaque.
void copyPixels(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, const PixelBuffer* alpha,
                int ax, int ay, bool mergeAlpha);

// One channel of the source into one of the destination; a source channel
// that names no single channel reads as 0, a destination one that names no
// single channel leaves the pixels alone.
void copyChannel(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, int srcChannel,
                 int dstChannel);

void colorTransform(PixelBuffer& dst, IntRect rect, const ColorTransformValues& c);

// Each channel mixed from source and destination by its multiplier out of
// 256.
void merge(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, const int multipliers[4]);

// Flash Player's noise: its generator from `seed`, each pixel's channels in
// turn (red, green, blue, alpha), or one value for all three in grey.
void noise(PixelBuffer& dst, int32_t seed, int low, int high, int channels, bool grayScale);

// Each pixel becomes the sum of four lookups, one per channel of the
// source (red, green, blue, alpha); a null table stands for the channel
// kept where it was.
void paletteMap(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, const uint32_t* const tables[4]);

// Moves the pixels; what they leave keeps its old pixels.
void scroll(PixelBuffer& dst, int dx, int dy);

enum class ThresholdOp { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
// The source pixels that pass become `color`; the others are copied from
// the source when `copySource`. Returns how many passed.
uint32_t threshold(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, ThresholdOp op,
                   uint32_t value, uint32_t color, uint32_t mask, bool copySource);

// Fills the 4-connected area of the pixel's colour; false when the point
// is outside or the area has that colour already.
bool floodFill(PixelBuffer& dst, int x, int y, uint32_t argb);

// The smallest rectangle holding every pixel whose colour, masked, is (or
// with !find, is not) `color`; empty when there is none.
IntRect colorBounds(const PixelBuffer& src, uint32_t mask, uint32_t color, bool find);

// Hit tests of a buffer placed at (x, y): a pixel counts when its alpha is
// at least the threshold (and, for a point, not 0).
bool hitTestPoint(const PixelBuffer& a, int x, int y, int threshold, int px, int py);
bool hitTestRect(const PixelBuffer& a, int x, int y, int threshold, IntRect rect);
bool hitTestBitmap(const PixelBuffer& a, int ax, int ay, int thresholdA, const PixelBuffer& b, int bx, int by,
                   int thresholdB);

// compare(): false when every pixel is the same. Otherwise `out` (a
// transparent buffer of the same size) holds each pixel's difference: the
// colours' differences at full alpha, or white with the alpha difference
// where only alpha differs, and 0 where they are equal.
bool compareBuffers(const PixelBuffer& a, const PixelBuffer& b, PixelBuffer& out);

// Dissolves `numPixels` pixels of `rect` (at (dx, dy) in the destination)
// in the order Flash Player visits them from `seed`: from the source, or
// `fill` when the source is the destination. Returns the seed that goes on
// from there.
int32_t pixelDissolve(PixelBuffer& dst, const PixelBuffer& src, IntRect rect, int dx, int dy, int32_t seed,
                      int32_t numPixels, uint32_t fill);

// perlinNoise, as Flash Player makes it.
struct PerlinOptions {
    double baseX = 0, baseY = 0;
    int octaves = 0;
    int32_t seed = 0;
    bool stitch = false, fractal = false;
    int channels = 7;
    bool grayScale = false;
    // One offset per octave (x, y); missing ones are 0.
    const double* offsets = nullptr;
    int offsetCount = 0;
};
void perlinNoise(PixelBuffer& dst, const PerlinOptions& options);

} // namespace swf::player
