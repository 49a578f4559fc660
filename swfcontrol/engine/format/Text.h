// Static text (DefineText 1/2) and edit text (DefineEditText) as the timeline
// keeps them, and the one call that draws them. The timeline stores the tag
// bodies as they are and finds fonts through FontLookup; each is decoded once,
// on first use. Drawing hands each glyph outline to a callback, so this layer
// needs no renderer.
#pragma once

#include "swfcontrol/engine/format/EditText.h"
#include "swfcontrol/engine/format/Font.h"
#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/format/Shape.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace swf {

struct TextState;

// A text character's tag (DefineText, DefineText2 or DefineEditText), its
// body after the character id.
struct TextCharacter {
    uint16_t code = 0;
    std::vector<uint8_t> body;

    // Decoded on first use (shared by copies).
    mutable std::shared_ptr<TextState> state;
};

// A DefineFontInfo (13) or DefineFontInfo2 (62) tag, its body after the font id.
struct FontInfoTag {
    uint16_t code = 0;
    std::vector<uint8_t> body;
};

// A font's tag (DefineFont 1-3; DefineFont4 draws nothing), its body after the
// font id; the DefineFontInfo/2 tags for it follow in `info`, in file order.
struct FontCharacter {
    uint16_t code = 0;
    std::vector<uint8_t> body;
    std::vector<FontInfoTag> info;

    // The decoded font (an empty one when the tag is unreadable). Decoded on
    // first use; adding info afterwards is not seen.
    const Font& font() const;
    mutable std::shared_ptr<const Font> decoded;
};

// Outlines for fonts a movie names but carries none for (device fonts): the
// platform's, or a font shipped with the tests. Glyphs and layout are in
// DefineFont3's units; codes are Unicode.
class DeviceFonts {
public:
    virtual ~DeviceFonts() = default;
    // Null when there is nothing to draw `face` with.
    virtual const Font* font(const std::string& face, bool bold, bool italic) const = 0;
};

class FontLookup {
public:
    virtual ~FontLookup() = default;
    // Null when the id names no font.
    virtual const FontCharacter* font(uint16_t id) const = 0;
    // The movie's fonts in definition order, null past the last: HTML text
    // picks fonts by name.
    virtual const FontCharacter* fontAt(std::size_t index) const
    {
        (void)index;
        return nullptr;
    }
    // Outlines for a device font, when there are any.
    virtual const DeviceFonts* deviceFonts() const { return nullptr; }
};

// Receives one outline to fill with `color` (before the colour transform):
// glyphs, and the background and border of an edit text box. `toPixels` maps
// the shape's own units to frame pixels.
using GlyphSink = std::function<void(const Shape& glyph, const Matrix& toPixels, Rgba color)>;

// Text in a font the movie carries no outlines for (a device font): the
// platform draws it with a font of its own, in frame pixels. Flash Player
// neither turns nor skews such text, so it only comes placed upright.
struct DeviceText {
    std::u32string text;
    std::string face; // as the movie names it: "_sans", "_serif", "_typewriter" or a font's name
    double size = 0;  // the em, pixels
    bool bold = false, italic = false;
    Rgba color;
    // An edit text's lines are laid out within a box (its bounds less the
    // gutter and margins), wrapped at its right when `wrap` is set; '\n'
    // ends a line where `multiline` is set.
    bool box = false;
    double left = 0, top = 0, right = 0, bottom = 0;
    TextAlign align = TextAlign::Left;
    bool wrap = false, multiline = false;
    // Static text: one line from (left, baseline), each character at its
    // own offset from `left`.
    double baseline = 0;
    std::vector<double> offsets;
};
using DeviceTextSink = std::function<void(const DeviceText& text)>;

// Draws a text character placed with `toPixels` (character twips to pixels):
// glyphs through `sink`; text in device fonts with the outlines of
// `fonts.deviceFonts()` where it has them, else through `device` when there
// is one (it is not drawn otherwise).
void drawText(const TextCharacter& text, const FontLookup& fonts, const Matrix& toPixels, const GlyphSink& sink,
              const DeviceTextSink* device = nullptr);

// The character's bounds in its own twips (TextBounds / the edit text's Bounds).
Rect textBounds(const TextCharacter& text);

// Static text, decoded. Each record is resolved: the font, colour, position
// and height it draws with, carried over from earlier records as the format
// says.
struct TextGlyph {
    uint32_t index = 0;
    int32_t advance = 0;
};

struct TextRecord {
    uint16_t fontId = 0;
    Rgba color;
    int32_t x = 0, y = 0;
    uint16_t height = 0;
    std::vector<TextGlyph> glyphs;
};

struct StaticText {
    Rect bounds;
    Matrix matrix;
    std::vector<TextRecord> records;
};

// `version` 1 (DefineText, RGB colours) or 2 (RGBA). False when the records
// are cut short; `out` then holds the complete ones.
bool readStaticText(const uint8_t* body, std::size_t size, int version, StaticText& out, std::string& reason);

} // namespace swf
