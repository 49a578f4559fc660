// Decodes DefineShape 1-4, DefineMorphShape 1/2 and font glyphs into Shape.
#pragma once

#include "swfcontrol/engine/format/BitReader.h"
#include "swfcontrol/engine/format/Shape.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace swf {

struct ShapeLimits {
    // Edges beyond this many in one shape are dropped (the shape still draws).
    std::size_t maxEdges = 4u * 1024u * 1024u;
};

// `body`: the tag body after the character id; `shapeVersion` 1-4. False when
// the records are cut short; `out` then holds what was sound.
bool readDefineShape(BitReader& body, int shapeVersion, Shape& out, const ShapeLimits& limits = ShapeLimits());

// A glyph of DefineFont 1-3: shape records with no style arrays, in which fill
// style 1 is the glyph's fill. `out` gets one solid fill and no lines.
bool readGlyphShape(BitReader& body, Shape& out, const ShapeLimits& limits = ShapeLimits());

// Both ends of a morph shape, read once; `at` gives the shape at a ratio.
class MorphShape {
public:
    // `body`: DefineMorphShape(2) after the character id; `version` 1 or 2.
    bool read(BitReader& body, int version, const ShapeLimits& limits = ShapeLimits());
    // ratio 0 -> start shape, 65535 -> end shape.
    Shape at(uint16_t ratio) const;

    struct Fill {
        FillStyle start, end;
    };
    struct Line {
        LineStyle start, end;
    };
    struct Segment {
        bool move = false; // a pen move (with style changes); else an edge
        bool curved = false;
        bool hasFill0 = false, hasFill1 = false, hasLine = false;
        uint32_t fill0 = 0, fill1 = 0, line = 0;
        // Absolute positions at both ends: the move target, or control/anchor.
        Point startCtrl, startTo, endCtrl, endTo;
    };

private:
    Rect startBounds_, endBounds_;
    std::vector<Fill> fills_;
    std::vector<Line> lines_;
    std::vector<Segment> segments_;
};

} // namespace swf
