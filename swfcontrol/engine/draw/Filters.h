// Draws the Flash 8 bitmap filters onto premultiplied pixels: blurs,
// shadows, glows, bevels and their gradient forms, colour matrices,
// convolutions and displacement maps. A layer of the renderer and a
// script's bitmap go through the same call. No Windows API.
#pragma once

#include "swfcontrol/engine/format/Filter.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace swf {

// A premultiplied 0xAARRGGBB image, `stride` words a row.
struct FilterImage {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0, stride = 0;
};

// [x0, x1) x [y0, y1) in image pixels.
struct FilterBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

// Memory the filters reuse from call to call, and a count of the work the
// blurs did (one step per value a pass writes), which tests read.
struct FilterScratch {
    std::vector<uint8_t> planes[4];
    std::vector<uint8_t> effect;
    std::vector<int32_t> sums;
    std::vector<uint16_t> sums16;
    std::vector<uint8_t> line;
    std::vector<uint32_t> copy;
    uint64_t blurSteps = 0;
};

// The box that what lies in `content` covers once the filters are applied
// at `scale` pixels to a stage pixel: each filter grows it as Flash Player
// grows an object's drawn bounds.
FilterBox filteredBounds(const std::vector<Filter>& filters, double scale, FilterBox content);

// Applies the filters in order to what `image` holds in `content` (it is
// transparent elsewhere) and returns the box the result covers, within the
// image. Sizes and counts are capped: a movie cannot ask for unbounded work.
FilterBox applyFilters(FilterImage image, FilterBox content, const std::vector<Filter>& filters, double scale,
                       FilterScratch& scratch);

// One box blur of an 8-bit plane in place: `passes` times across by boxes
// `sizeX` pixels wide, then down by boxes `sizeY` high, in time linear in
// the plane whatever the sizes.
void blurPlane(uint8_t* plane, int width, int height, double sizeX, double sizeY, int passes,
               FilterScratch& scratch);

} // namespace swf
