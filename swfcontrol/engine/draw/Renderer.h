// Paints shapes into a premultiplied 32-bit frame buffer: our own scanline
// rasterizer turns edges into coverage, pixman composites each fill through
// it. The timeline walks its display list and calls this; nothing here knows
// about tags or characters. No Windows API.
#pragma once

#include "swfcontrol/engine/format/Bitmap.h"
#include "swfcontrol/engine/format/Filter.h"
#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/format/Shape.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

// Low: no anti-aliasing, coverage sampled at pixel centres. High: exact area
// coverage.
enum class Quality { Low, High };

// PlaceObject3's BlendMode values (0 and 1 are both normal).
enum class BlendMode : uint8_t {
    Normal = 1,
    Layer = 2,
    Multiply = 3,
    Screen = 4,
    Lighten = 5,
    Darken = 6,
    Difference = 7,
    Add = 8,
    Subtract = 9,
    Invert = 10,
    Alpha = 11,
    Erase = 12,
    Overlay = 13,
    HardLight = 14,
};

class Renderer {
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Sizes the frame buffer (pixels); false if it cannot be had.
    bool resize(int width, int height);
    int width() const;
    int height() const;
    // Premultiplied 0xAARRGGBB words, rows top to bottom, width() words a row.
    const uint32_t* pixels() const;

    void setQuality(Quality quality);
    Quality quality() const;

    // Fills the frame with an opaque colour and drops any masks and layers.
    void clear(Rgba background);

    // Paints the shape's fills and strokes, group by group. `toPixels` maps
    // shape twips to frame pixels (the /20 included); pixel (x, y) covers
    // [x, x+1) x [y, y+1). `bitmaps` may be null. `solidFill`, when given,
    // replaces every fill (glyphs take their text's colour this way).
    void drawShape(const Shape& shape, const Matrix& toPixels, const ColorTransform& cxform,
                   BitmapSource* bitmaps, const Rgba* solidFill = nullptr);

    // Paints `color` through a coverage mask given in frame pixels: `width`
    // x `height` bytes, rows top to bottom, its pixel (0, 0) at (x, y).
    // Device text comes this way.
    void drawCoverage(int x, int y, int width, int height, const uint8_t* coverage, Rgba color,
                      const ColorTransform& cxform);

    // Clip-depth masks. Between beginMask and endMask, drawShape adds the
    // shapes' coverage to a new mask instead of painting (colours and alpha
    // do not matter). After endMask everything painted is clipped to it,
    // intersected with any mask already in force, until popMask.
    void beginMask();
    void endMask();
    void popMask();

    // Layers for blend modes: drawing goes to a transparent layer until
    // endLayer, which applies `cxform` to the layer and composites it onto
    // what lies below with the mode given to beginLayer.
    void beginLayer(BlendMode mode);
    void endLayer(const ColorTransform& cxform);
    // Applies the filters in order to what the current layer holds, before
    // endLayer; their sizes are stage pixels, `scale` frame pixels each.
    void filterLayer(const std::vector<Filter>& filters, double scale);

    // Cached bitmaps (cacheAsBitmap, and the bitmaps filters draw through):
    // keepLayer stores what the current layer holds, before endLayer, under
    // `key`, its pixels counted from frame pixel (x, y); drawKeptLayer,
    // right after beginLayer, fills the layer with what was kept under the
    // key, placed from (x, y) this time, and says whether there was any.
    // The caller's key names everything the pixels depend on. What a frame
    // does not draw again is dropped when the next begins (clear), and at
    // most a few frames' pixels are kept.
    void keepLayer(uint64_t key, int x, int y);
    bool drawKeptLayer(uint64_t key, int x, int y);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace swf
