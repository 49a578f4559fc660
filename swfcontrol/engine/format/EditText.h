// DefineEditText: the field's definition, the simple HTML its text may carry,
// and laying the text out into lines of glyphs. No Windows API.
#pragma once

#include "swfcontrol/engine/format/Font.h"
#include "swfcontrol/engine/format/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace swf {

enum class TextAlign : uint8_t { Left, Right, Center, Justify };

struct EditText {
    Rect bounds;
    bool wordWrap = false;
    bool multiline = false;
    bool password = false;
    bool border = false;
    bool html = false;
    bool useOutlines = false;
    bool autoSize = false;
    bool hasFont = false;
    uint16_t fontId = 0;
    std::string fontClass;
    uint16_t height = 240; // twips
    Rgba color;
    uint16_t maxLength = 0; // 0: none
    TextAlign align = TextAlign::Left;
    uint16_t leftMargin = 0, rightMargin = 0, indent = 0; // twips
    int16_t leading = 0;                                  // twips
    std::string variableName;
    std::string initialText; // as stored: UTF-8, or ANSI in old movies
};

// `body`: DefineEditText after the character id.
bool readEditText(const uint8_t* body, std::size_t size, EditText& out, std::string& reason);

// The format of a run of characters, as the field's defaults and the HTML
// tags around the run give it.
struct TextFormat {
    std::string face;       // font name; empty: the field's font
    uint16_t height = 240;  // twips
    Rgba color;
    bool bold = false;
    bool italic = false;
    bool kerning = false;
    int32_t letterSpacing = 0; // twips
    TextAlign align = TextAlign::Left;
    int32_t leftMargin = 0, rightMargin = 0, indent = 0, leading = 0; // twips
};

// Characters with the index of their format; '\n' ends a paragraph.
struct StyledText {
    std::u32string text;
    std::vector<uint16_t> formatOf; // one per character
    std::vector<TextFormat> formats;
};

// Decodes stored text: UTF-8 where it is valid, else one byte per character
// (the ANSI of movies before version 6).
std::u32string decodeText(const std::string& bytes);

// Plain text: every character in `base`; CR, LF and CRLF end paragraphs.
StyledText plainText(const std::u32string& text, const TextFormat& base);

// The HTML subset Flash's text fields take: <p align>, <font face size color
// letterSpacing kerning>, <b>, <i>, <br>, <textformat> margins and leading;
// other tags are dropped, their text kept. Entities &amp; &lt; &gt; &quot;
// &apos; and numeric ones; any other stays as written.
StyledText parseHtml(const std::u32string& html, const TextFormat& base);

// One glyph placed in the field's twips: glyph units map with
// translate(x, y) * scale(scale).
struct PlacedGlyph {
    const Font* font = nullptr;
    uint32_t glyph = 0;
    double x = 0, y = 0, scale = 0;
    Rgba color;
};

// Picks the font a format draws with: the field's own font unless the face
// names another one.
class FontChooser {
public:
    virtual ~FontChooser() = default;
    virtual const Font* choose(const TextFormat& format) const = 0;
};

// Lays out the text inside the field's bounds: the 2-pixel gutter, margins
// and indent, ascent of the first line, descent and leading between lines,
// word wrap, alignment, advances with kerning and letter spacing.
void layoutEditText(const EditText& field, const StyledText& text, const FontChooser& fonts,
                    std::vector<PlacedGlyph>& out);

} // namespace swf
