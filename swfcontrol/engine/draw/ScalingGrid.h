// Nine-slice scaling (DefineScalingGrid, and scale9Grid from script): a
// scaled sprite keeps the corners of its shapes at their size, stretches the
// edges one way only and the centre both ways. No Windows API.
#pragma once

#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/format/Shape.h"

namespace swf {

struct ScalingGrid {
    Rect bounds;           // the sprite's content, its own twips
    Rect grid;             // the centre slice, its own twips
    double scaleX = 1, scaleY = 1; // the sprite's own scale

    // Where a point of the sprite's twips goes so that, drawn with the
    // sprite's scale, it lies where the nine slices put it.
    Point map(Point p) const;
};

// `shape` (placed in the sprite with `toSprite`) with every point mapped
// through the grid, in the sprite's twips.
Shape scaleNine(const Shape& shape, const Matrix& toSprite, const ScalingGrid& grid);

} // namespace swf
