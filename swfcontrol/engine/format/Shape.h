// A shape as the format layer decodes it from DefineShape 1-4, a morph shape
// at a ratio, or a font glyph, and as the drawing layer paints it. Edges keep
// SWF's model: each edge names the fill on its left (fill0) and right (fill1)
// side and the line style that strokes it; the drawing layer builds closed
// contours per fill from both sides.
#pragma once

#include "swfcontrol/engine/format/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace swf {

enum class FillKind : uint8_t { Solid, LinearGradient, RadialGradient, FocalGradient, Bitmap };
enum class SpreadMode : uint8_t { Pad, Reflect, Repeat };
enum class Interpolation : uint8_t { Rgb, LinearRgb };

struct GradientStop {
    uint8_t ratio = 0;
    Rgba color;
};

struct Gradient {
    SpreadMode spread = SpreadMode::Pad;
    Interpolation interpolation = Interpolation::Rgb;
    std::vector<GradientStop> stops; // as stored: up to 15, ratios not necessarily ascending
    float focal = 0;                 // FocalGradient: -1..1 along the x axis of the gradient square
};

struct FillStyle {
    FillKind kind = FillKind::Solid;
    Rgba color; // Solid
    // Gradients: maps the gradient square (-16384..16384 on both axes) to shape
    // twips. Bitmaps: maps bitmap pixels to shape twips.
    Matrix matrix;
    Gradient gradient;
    uint16_t bitmapId = 0; // a character id; one that names no bitmap paints nothing
    bool bitmapRepeat = true;
    bool bitmapSmooth = true;
};

enum class CapStyle : uint8_t { Round, None, Square };
enum class JoinStyle : uint8_t { Round, Bevel, Miter };

struct LineStyle {
    uint16_t width = 0; // twips; drawn at least one pixel wide
    Rgba color;
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    float miterLimit = 3; // LINESTYLE2's 8.8 factor
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    bool hasFill = false; // LINESTYLE2 with a fill: the stroke is painted with `fill`
    FillStyle fill;
};

// One straight or quadratic edge, in shape twips. Style indices are 1-based
// into Shape::fills / Shape::lines (0: none) and already global: a style
// array that appears mid-shape is appended to the shape's arrays.
struct ShapeEdge {
    int32_t x0 = 0, y0 = 0; // start
    int32_t cx = 0, cy = 0; // control point when curved
    int32_t x1 = 0, y1 = 0; // end
    bool curved = false;
    uint32_t fill0 = 0, fill1 = 0, line = 0;
};

// The styles and edges of one style array (DefineShape's own, then each
// StateNewStyles). Groups are painted in order; within a group all fills
// first, then all strokes.
struct StyleGroup {
    uint32_t firstFill = 0, fillCount = 0; // 0-based range in Shape::fills
    uint32_t firstLine = 0, lineCount = 0; // 0-based range in Shape::lines
    std::size_t firstEdge = 0, edgeCount = 0;
};

struct Shape {
    Rect bounds;      // ShapeBounds: the painted area including strokes
    Rect edgeBounds;  // DefineShape4's EdgeBounds; equal to bounds otherwise
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<ShapeEdge> edges;
    std::vector<StyleGroup> groups;
    bool nonZeroWinding = false; // DefineShape4 UsesFillWindingRule; even-odd otherwise
};

} // namespace swf
