// A decoded bitmap character, ready for the drawing layer.
#pragma once

#include <cstdint>
#include <vector>

namespace swf {

// Premultiplied 32-bit pixels, 0xAARRGGBB in native-endian words (pixman's
// PIXMAN_a8r8g8b8), rows top to bottom, no padding: pixels.size() == width * height.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Where the drawing layer finds the bitmaps that fills name by character id.
class BitmapSource {
public:
    virtual ~BitmapSource() = default;
    // The bitmap for `id`, or null when the id names no (decodable) bitmap.
    virtual const Bitmap* bitmap(uint16_t id) = 0;
};

} // namespace swf
