// Pixel work around pixman: colour transforms of premultiplied pixels, the
// bitmaps that fills paint through a colour transform, and the compositing
// of a finished layer onto its parent by blend mode.
#pragma once

#include "swfcontrol/engine/draw/Renderer.h"
#include "swfcontrol/engine/format/Bitmap.h"
#include "swfcontrol/engine/format/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

typedef union pixman_image pixman_image_t;

namespace swf {

// Applies the transform to premultiplied pixels: un-premultiply, transform,
// premultiply again.
void transformPixels(uint32_t* pixels, std::size_t count, const ColorTransform& cxform);

struct LayerImage {
    uint32_t* pixels;
    int width; // words a row
};

void transformPixels(LayerImage image, int x0, int y0, int x1, int y1, const ColorTransform& cxform);

// What a bitmap fill paints with: the bitmap's own pixels, or a transformed
// copy; coverageScale < 255 stands for a transform that only scales all four
// channels alike, which the coverage can carry instead.
struct BitmapPaint {
    const uint32_t* pixels = nullptr;
    uint8_t coverageScale = 255;
};

// Keeps the transformed copies of bitmaps from frame to frame, as long as
// the same bitmap is painted with the same transform, within a memory budget.
class BitmapCache {
public:
    BitmapPaint prepare(const Bitmap& bitmap, const ColorTransform& cxform);
    // Drops copies not used during the frame that just ended.
    void endFrame();

private:
    struct Entry {
        const Bitmap* bitmap = nullptr;
        int width = 0, height = 0;
        const uint32_t* source = nullptr;
        uint64_t fingerprint = 0;
        ColorTransform cxform;
        std::vector<uint32_t> pixels;
        bool used = false;
    };
    std::vector<std::unique_ptr<Entry>> entries_;
};

// Composites `layer` onto `parent` over [x0, x1) x [y0, y1) by `mode`, inside
// `clip` (frame-sized A8, or null for none).
void blendLayer(BlendMode mode, pixman_image_t* layer, pixman_image_t* parent, LayerImage src, LayerImage dst,
                const uint8_t* clip, int x0, int y0, int x1, int y1);

} // namespace swf
