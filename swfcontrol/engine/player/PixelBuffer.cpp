#include "swfcontrol/engine/player/PixelBuffer.h"

#include <new>
#include <vector>

namespace swf::player {

uint32_t premultiply(uint32_t argb)
{
    uint32_t a = argb >> 24;
    if (a == 0xff)
        return argb;
    if (a == 0)
        return 0;
    auto channel = [a](uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | channel((argb >> 16) & 0xff) << 16 | channel((argb >> 8) & 0xff) << 8 | channel(argb & 0xff);
}

uint32_t unpremultiply(uint32_t pixel)
{
    uint32_t a = pixel >> 24;
    if (a == 0xff)
        return pixel;
    if (a == 0)
        return 0;
    // By a reciprocal in 8.8 fixed point, rounded a little below the half.
    uint32_t reciprocal = 0xff00 / a;
    auto channel = [reciprocal](uint32_t c) {
        uint32_t v = (c * reciprocal + 0x7f) >> 8;
        return v > 255 ? 255u : v;
    };
    return a << 24 | channel((pixel >> 16) & 0xff) << 16 | channel((pixel >> 8) & 0xff) << 8 |
           channel(pixel & 0xff);
}

bool PixelBuffer::allocate(int width, int height, bool transparent, uint32_t fill)
{
    release();
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > kMaxPixels)
        return false;
    transparent_ = transparent;
    try {
        bitmap_.pixels.assign(static_cast<std::size_t>(width) * height, store(fill));
    } catch (const std::bad_alloc&) {
        return false;
    }
    bitmap_.width = width;
    bitmap_.height = height;
    touch();
    return true;
}

void PixelBuffer::release()
{
    std::vector<uint32_t>().swap(bitmap_.pixels);
    bitmap_.width = bitmap_.height = 0;
    touch();
}

} // namespace swf::player
