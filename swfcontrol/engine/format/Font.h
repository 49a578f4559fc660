// Embedded fonts: DefineFont (with DefineFontInfo/2 for its code table),
// DefineFont2 and DefineFont3. Glyphs are shapes with one solid fill, painted
// in the text's colour, of straight edges only, at 20480 units to the EM
// whichever tag defined them. No Windows API.
#pragma once

#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/format/Shape.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace swf {

struct KerningPair {
    uint16_t left = 0, right = 0; // character codes
    int16_t adjust = 0;           // EM units
};

struct Font {
    int version = 1;  // 1, 2 or 3: which DefineFont tag defined it
    std::string name; // UTF-8 as stored (from DefineFont2/3 or DefineFontInfo)
    bool bold = false;
    bool italic = false;
    std::vector<Shape> glyphs;
    // The character code of each glyph, same length as glyphs once known
    // (DefineFont 1 gets it from DefineFontInfo).
    std::vector<uint16_t> codes;

    // Layout (DefineFont2/3 with HasLayout), in the tag's EM units (emSquare).
    bool hasLayout = false;
    int ascent = 0;
    int descent = 0;
    int leading = 0;
    std::vector<int16_t> advances; // one per glyph when hasLayout
    std::vector<KerningPair> kerning;

    // The EM of the layout values: 1024 units, 20 times that for DefineFont3.
    double emSquare() const { return version == 3 ? 1024.0 * 20 : 1024.0; }
    // The EM of the glyph shapes.
    static double glyphEm() { return 1024.0 * 20; }
    // The glyph index that draws `code`, or -1.
    int glyphForCode(uint32_t code) const;
    // The kerning adjustment between two character codes, EM units.
    int kerningAdjust(uint32_t left, uint32_t right) const;
    // Rebuilds the code -> glyph lookup after codes changed.
    void indexCodes();

private:
    std::vector<std::pair<uint16_t, uint16_t>> byCode_; // (code, glyph), sorted by code
};

enum class FontTag { DefineFont, DefineFont2, DefineFont3 };

// Reads a font definition from its tag body after the font id. A glyph whose
// records are unreadable stays an empty shape. On failure returns false with
// a short plain reason.
bool readFont(FontTag tag, const uint8_t* body, std::size_t size, Font& out, std::string& reason);

// Turns a glyph's curves, in 20480 units to the EM, into lines finely enough
// for any text size, as the glyphs of font tags are; `budget` (edges) bounds
// the work: past it, curves are kept for the drawing layer.
void flattenGlyph(Shape& glyph, std::size_t& budget);

// Applies DefineFontInfo (version2 false) or DefineFontInfo2, its body after
// the font id, to the font it names: name, style and the code of each glyph.
bool readFontInfo(bool version2, const uint8_t* body, std::size_t size, Font& font, std::string& reason);

} // namespace swf
