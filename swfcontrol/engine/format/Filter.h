// The bitmap filters of Flash 8 as values: what PlaceObject3 and button
// records carry (FILTERLIST), and what script will make through the filter
// classes and BitmapData.applyFilter. Sizes are in stage pixels, as a movie
// gives them; the drawing layer scales them with the stage. No Windows API.
#pragma once

#include "swfcontrol/engine/format/Bitmap.h"
#include "swfcontrol/engine/format/Geometry.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

class BitReader;

// The FILTERLIST ids, and one kind only script makes.
enum class FilterKind : uint8_t {
    DropShadow = 0,
    Blur = 1,
    Glow = 2,
    Bevel = 3,
    GradientGlow = 4,
    Convolution = 5,
    ColorMatrix = 6,
    GradientBevel = 7,
    DisplacementMap = 8,
};

// Where a shadow, glow or bevel shows against the object.
enum class FilterPlacement : uint8_t { Outer, Inner, Full };

enum class DisplacementMode : uint8_t { Wrap, Clamp, Ignore, Color };

struct FilterStop {
    Rgba color;
    uint8_t ratio = 0;
};

struct Filter {
    FilterKind kind = FilterKind::Blur;

    // Blur, shadows, glows and bevels: the box sizes of each blur pass and
    // how many passes (quality 1 to 15).
    double blurX = 4, blurY = 4;
    int passes = 1;

    // Shadows, glows and bevels. `color` is the shadow or glow colour; a
    // bevel lights its lit side with `highlight` and shades the other side
    // with `color`.
    Rgba color{0, 0, 0, 255};
    Rgba highlight{255, 255, 255, 255};
    double angle = 0.785398163397448; // radians, clockwise from the x axis
    double distance = 4;              // pixels, along `angle`
    double strength = 1;
    FilterPlacement placement = FilterPlacement::Outer;
    bool knockout = false;
    bool hideObject = false; // drop shadow: the shadow without the object
    // Gradient glows and bevels: the colours along the blurred edge, from
    // outside (ratio 0) to inside (255); up to 16 stops.
    std::vector<FilterStop> stops;

    // Colour matrix: rows for red, green, blue and alpha, each four factors
    // of the straight channels and an offset in channel units.
    float matrix[20] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};

    // Convolution: `columns` x `rows` factors, row by row.
    int columns = 0, rows = 0;
    std::vector<float> kernel;
    float divisor = 1, bias = 0;
    bool clamp = true, preserveAlpha = true;
    Rgba substitute{0, 0, 0, 0}; // convolution and displacement map, off the image

    // Displacement map: the map's channels (1 red, 2 green, 4 blue, 8
    // alpha) move pixels by (channel - 128) * scale / 256.
    std::shared_ptr<const Bitmap> map;
    Point mapPoint;
    unsigned componentX = 1, componentY = 1;
    double scaleX = 0, scaleY = 0;
    DisplacementMode mode = DisplacementMode::Wrap;

    // The Flash 8 constructors' defaults of each kind.
    static Filter blur(double x = 4, double y = 4, int passes = 1);
    static Filter dropShadow();
    static Filter glow();
    static Filter bevel();
};

// A FILTERLIST. At most kMaxFilters are kept (the rest are read past);
// false when the list is cut short or holds a kind no player knows, which
// leaves what follows it in the record unreadable.
constexpr std::size_t kMaxFilters = 16;
bool readFilters(BitReader& r, std::vector<Filter>* out);

} // namespace swf
