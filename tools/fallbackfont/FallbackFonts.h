// Device fonts for the native tools and tests: TrueType or OpenType files
// read with FreeType into the engine's glyph outlines, so that text in fonts
// a movie does not carry is drawn as its embedded text is, the same on every
// machine. The stand-in control uses the system's fonts through GDI instead.
#pragma once

#include "swfcontrol/engine/format/Font.h"
#include "swfcontrol/engine/format/Text.h"

#include <memory>
#include <string>

namespace swf {

// Reads the font file at `path` (its first face) into `out`: every glyph a
// character code up to U+FFFF maps to, in DefineFont3's units, with its
// layout. False with a plain reason when it cannot be read.
bool loadFontFile(const std::string& path, Font& out, std::string& reason);

// One family in up to four styles; any face name a movie gives draws with it.
class FallbackFonts : public DeviceFonts {
public:
    // `regular` is required; the other styles may be empty or missing, and
    // the nearest loaded style stands in for them.
    bool load(const std::string& regular, const std::string& bold, const std::string& italic,
              const std::string& boldItalic, std::string& reason);
    // The font shipped for tests: Noto Sans in its four styles.
    bool loadShipped(std::string& reason);
    const Font* font(const std::string& face, bool bold, bool italic) const override;

private:
    std::unique_ptr<Font> styles_[4]; // regular, bold, italic, bold italic
};

} // namespace swf
