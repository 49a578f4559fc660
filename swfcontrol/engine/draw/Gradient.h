// Gradient paint: the colours along a gradient as a fine premultiplied
// ramp, and the pixels of a linear, radial or focal gradient read from it.
#pragma once

#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/format/Shape.h"

#include <cstdint>

namespace swf {

class GradientRamp {
public:
    // Fine enough that a full swing of a channel between two close stops
    // still moves by well under a level from one entry to the next.
    static constexpr int kSize = 4096;

    // Stops take the colour transform before they are interpolated.
    void build(const Gradient& gradient, const ColorTransform& cxform);
    const uint32_t* colors() const { return colors_; }
    bool empty() const { return empty_; }
    // Whether build() would give this ramp again.
    bool builtFrom(const Gradient& gradient, const ColorTransform& cxform) const;

private:
    Gradient source_;
    ColorTransform cxform_;
    uint32_t colors_[kSize] = {};
    bool empty_ = true;
};

// Writes the premultiplied gradient colours for frame pixels [x, x+width) x
// [y, y+height), sampled at pixel centres, into `out` (`stride` words a
// row). `toPixels` maps the gradient square (-16384..16384) to frame pixels.
void paintGradient(FillKind kind, SpreadMode spread, float focal, const Matrix& toPixels, const GradientRamp& ramp,
                   int x, int y, int width, int height, uint32_t* out, int stride);

// Inverse of an affine matrix; false when it has none (or is not finite).
bool invert(const Matrix& m, Matrix& inverse);

} // namespace swf
