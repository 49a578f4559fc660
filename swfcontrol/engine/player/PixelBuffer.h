// A BitmapData's pixels: premultiplied 0xAARRGGBB words, rows top to
// bottom, the layout of the drawing layer's bitmaps (pixman's
// PIXMAN_a8r8g8b8), so that the renderer paints them (attachBitmap,
// beginBitmapFill) straight from here, without a copy.
//
// Scripts read and write straight colours; the buffer stores them
// premultiplied and gives them back rounded as Flash Player rounds them, so
// a value round-trips exactly as it does there. An opaque buffer keeps its
// alpha at 0xFF whatever is written.
//
// The buffer is shared: a BitmapData object and every display object that
// shows it hold it, so it lives while either does. generation() changes
// with every write, for caches of what was drawn from it.
#pragma once

#include "swfcontrol/engine/format/Bitmap.h"

#include <cstddef>
#include <cstdint>

namespace swf::player {

// Straight 0xAARRGGBB to premultiplied, each colour rounded to nearest.
uint32_t premultiply(uint32_t argb);
// Premultiplied to straight, rounded as Flash Player rounds it.
uint32_t unpremultiply(uint32_t pixel);

class PixelBuffer {
public:
    // Largest side and pixel count any version allows (SWF 10's limits).
    static constexpr int kMaxSide = 8191;
    static constexpr std::size_t kMaxPixels = 16777215;

    // Pixels of `fill` (straight ARGB); false, and empty, when the size is
    // out of range or there is no memory for it.
    bool allocate(int width, int height, bool transparent, uint32_t fill);
    // dispose(): the pixels go; width and height become 0.
    void release();

    bool valid() const { return !bitmap_.pixels.empty(); }
    int width() const { return bitmap_.width; }
    int height() const { return bitmap_.height; }
    bool transparent() const { return transparent_; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < bitmap_.width && y < bitmap_.height; }

    // Stored (premultiplied) pixels; callers keep opaque buffers opaque.
    uint32_t* pixels() { return bitmap_.pixels.data(); }
    const uint32_t* pixels() const { return bitmap_.pixels.data(); }
    uint32_t& at(int x, int y) { return bitmap_.pixels[static_cast<std::size_t>(y) * bitmap_.width + x]; }
    uint32_t at(int x, int y) const { return bitmap_.pixels[static_cast<std::size_t>(y) * bitmap_.width + x]; }
    const uint32_t* row(int y) const { return bitmap_.pixels.data() + static_cast<std::size_t>(y) * bitmap_.width; }

    // Straight colours, inside the buffer only. An opaque buffer gives its
    // words as they are (pixelDissolve can leave alpha in them, as Flash
    // Player's does).
    uint32_t straight(int x, int y) const { return transparent_ ? unpremultiply(at(x, y)) : at(x, y); }
    void setStraight(int x, int y, uint32_t argb) { at(x, y) = store(argb); }
    // What storing a straight colour keeps: premultiplied, and opaque in an
    // opaque buffer.
    uint32_t store(uint32_t argb) const { return premultiply(transparent_ ? argb : argb | 0xff000000u); }

    // What the renderer draws.
    const swf::Bitmap& bitmap() const { return bitmap_; }
    uint64_t generation() const { return generation_; }
    void touch() { ++generation_; }

    std::size_t bytes() const { return bitmap_.pixels.capacity() * sizeof(uint32_t); }

private:
    swf::Bitmap bitmap_;
    bool transparent_ = true;
    uint64_t generation_ = 0;
};

} // namespace swf::player
