#include "swfcontrol/engine/format/Text.h"

#include "swfcontrol/engine/format/BitReader.h"
#include "swfcontrol/engine/format/EditText.h"

#include <cctype>
#include <unordered_map>

namespace swf {

namespace {

const uint16_t kTagDefineFont = 10;
const uint16_t kTagDefineText = 11;
const uint16_t kTagDefineFontInfo = 13;
const uint16_t kTagDefineText2 = 33;
const uint16_t kTagDefineEditText = 37;
const uint16_t kTagDefineFont2 = 48;
const uint16_t kTagDefineFontInfo2 = 62;
const uint16_t kTagDefineFont3 = 75;

// Glyph entries of one text character beyond this are not drawn.
const std::size_t kMaxGlyphs = 64 * 1024;

Matrix translateScale(double x, double y, double scale)
{
    Matrix m;
    m.a = m.d = scale;
    m.tx = x;
    m.ty = y;
    return m;
}

// A closed polygon as edges of fill 1.
void addPolygon(Shape& s, const int32_t (*pts)[2], int count)
{
    for (int i = 0; i < count; ++i) {
        ShapeEdge e;
        e.x0 = pts[i][0];
        e.y0 = pts[i][1];
        e.x1 = pts[(i + 1) % count][0];
        e.y1 = pts[(i + 1) % count][1];
        e.fill1 = 1;
        s.edges.push_back(e);
    }
}

void addRect(Shape& s, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    const int32_t pts[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    addPolygon(s, pts, 4);
}

Shape fillShape(const Rect& bounds)
{
    Shape s;
    s.bounds = s.edgeBounds = bounds;
    s.fills.resize(1);
    StyleGroup g;
    g.fillCount = 1;
    s.groups.push_back(g);
    return s;
}

Shape boxBackground(const Rect& r)
{
    Shape s = fillShape(r);
    addRect(s, r.xMin, r.yMin, r.xMax, r.yMax);
    s.groups[0].edgeCount = s.edges.size();
    return s;
}

// Flash's border is a one-pixel hairline whose pixels start at each edge of
// the bounds: the right and bottom lines lie just outside them, and meet
// without the corner pixel between them.
Shape boxBorder(const Rect& r)
{
    const int32_t px = 20;
    Rect outer = r;
    outer.xMax += px;
    outer.yMax += px;
    Shape s = fillShape(outer);
    if (r.xMax - r.xMin > px && r.yMax - r.yMin > px) {
        const int32_t outline[6][2] = {{r.xMin, r.yMin}, {r.xMax + px, r.yMin}, {r.xMax + px, r.yMax},
                                       {r.xMax, r.yMax}, {r.xMax, r.yMax + px}, {r.xMin, r.yMax + px}};
        addPolygon(s, outline, 6);
        addRect(s, r.xMin + px, r.yMin + px, r.xMax, r.yMax);
    } else {
        addRect(s, r.xMin, r.yMin, r.xMax + px, r.yMax + px);
    }
    s.groups[0].edgeCount = s.edges.size();
    return s;
}

std::string lowerAscii(const std::string& s)
{
    std::string out = s;
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

class MovieFonts : public FontChooser {
public:
    MovieFonts(const FontLookup& lookup, const FontCharacter* field)
        : lookup_(lookup), fieldFont_(field ? &field->font() : nullptr)
    {
        if (field)
            used.push_back(field->decoded);
    }

    // A face names a font of the movie, first defined first, preferring the
    // one with the asked style; no match keeps the field's font.
    const Font* choose(const TextFormat& f) const override
    {
        if (f.face.empty())
            return fieldFont_;
        indexNames();
        auto it = byName_.find(lowerAscii(f.face));
        if (it == byName_.end())
            return fieldFont_;
        const FontCharacter* pick = it->second.front();
        for (const FontCharacter* c : it->second) {
            if (c->font().bold == f.bold && c->font().italic == f.italic) {
                pick = c;
                break;
            }
        }
        used.push_back(pick->decoded);
        return &pick->font();
    }

    // The fonts a layout may point into, kept alive with it.
    mutable std::vector<std::shared_ptr<const Font>> used;

private:
    // Fonts with outlines by lower-case name, in definition order; built on
    // the first lookup by name.
    void indexNames() const
    {
        if (indexed_)
            return;
        indexed_ = true;
        for (std::size_t i = 0; i < kMaxFonts; ++i) {
            const FontCharacter* c = lookup_.fontAt(i);
            if (!c)
                break;
            if (!c->font().glyphs.empty())
                byName_[lowerAscii(c->font().name)].push_back(c);
        }
    }

    static const std::size_t kMaxFonts = 65536;
    const FontLookup& lookup_;
    const Font* fieldFont_;
    mutable bool indexed_ = false;
    mutable std::unordered_map<std::string, std::vector<const FontCharacter*>> byName_;
};

// Device text drawn with outlines: every format takes the device font its
// face and style name; a field without a font shows in the serif face.
class DeviceChooser : public FontChooser {
public:
    explicit DeviceChooser(const DeviceFonts& fonts) : fonts_(fonts) {}
    const Font* choose(const TextFormat& f) const override
    {
        return fonts_.font(f.face.empty() ? "_serif" : f.face, f.bold, f.italic);
    }

private:
    const DeviceFonts& fonts_;
};

} // namespace

struct TextState {
    bool edit = false;
    StaticText text;
    EditText field;
    bool laidOut = false;
    std::vector<PlacedGlyph> glyphs;
    std::vector<std::shared_ptr<const Font>> fonts; // what `glyphs` point into
    bool hasBox = false;
    Shape background, frame;
    DeviceText device; // an edit text without outlines, in its own twips
};

namespace {

TextState& stateOf(const TextCharacter& t)
{
    if (t.state)
        return *t.state;
    auto s = std::make_shared<TextState>();
    std::string reason;
    const uint8_t* body = t.body.empty() ? nullptr : t.body.data();
    if (t.code == kTagDefineEditText) {
        s->edit = true;
        readEditText(body, t.body.size(), s->field, reason);
        if (s->field.border) {
            s->hasBox = true;
            s->background = boxBackground(s->field.bounds);
            s->frame = boxBorder(s->field.bounds);
        }
    } else if (t.code == kTagDefineText || t.code == kTagDefineText2) {
        readStaticText(body, t.body.size(), t.code == kTagDefineText2 ? 2 : 1, s->text, reason);
    }
    t.state = s;
    return *s;
}

// The text of an edit text as its HTML or plain text gives it, with the
// field's font for the base format.
StyledText styledText(const TextState& s, const Font* fieldFont)
{
    TextFormat base;
    base.height = s.field.height;
    base.color = s.field.color;
    base.align = s.field.align;
    base.leftMargin = s.field.leftMargin;
    base.rightMargin = s.field.rightMargin;
    base.indent = s.field.indent;
    base.leading = s.field.leading;
    // The field's font is named like any other, so <b> and <i> find the
    // bold and italic fonts of its family.
    if (fieldFont) {
        base.face = fieldFont->name;
        base.bold = fieldFont->bold;
        base.italic = fieldFont->italic;
    }
    std::u32string decoded = decodeText(s.field.initialText);
    return s.field.html ? parseHtml(decoded, base) : plainText(decoded, base);
}

void layOut(TextState& s, const FontLookup& fonts)
{
    s.laidOut = true;
    const FontCharacter* fc = s.field.hasFont ? fonts.font(s.field.fontId) : nullptr;
    const Font* fieldFont = fc ? &fc->font() : nullptr;
    StyledText styled = styledText(s, fieldFont);
    if (s.field.useOutlines) {
        MovieFonts chooser(fonts, fc);
        layoutEditText(s.field, styled, chooser, s.glyphs);
        s.fonts.swap(chooser.used);
        return;
    }
    if (const DeviceFonts* device = fonts.deviceFonts()) {
        DeviceChooser chooser(*device);
        layoutEditText(s.field, styled, chooser, s.glyphs);
        return;
    }
    // Device text takes the format its first character has throughout.
    const std::size_t first = styled.formatOf.empty() ? 0 : styled.formatOf[0];
    if (styled.text.empty() || first >= styled.formats.size())
        return;
    const TextFormat& f = styled.formats[first];
    DeviceText& d = s.device;
    d.text = styled.text.substr(0, kMaxGlyphs);
    if (s.field.password) {
        for (char32_t& c : d.text)
            c = c == U'\n' ? c : U'*';
    }
    // A field without a font shows in the default serif face.
    d.face = !f.face.empty() ? f.face : "_serif";
    d.size = f.height;
    d.bold = f.bold;
    d.italic = f.italic;
    d.color = f.color;
    d.align = f.align;
    d.box = true;
    // Lines start inside the 2-pixel gutter and the margins.
    const Rect& b = s.field.bounds;
    d.left = b.xMin + 40 + f.leftMargin;
    d.right = b.xMax - 40 - f.rightMargin;
    d.top = b.yMin + 40;
    d.bottom = b.yMax;
    d.wrap = s.field.wordWrap;
    d.multiline = s.field.multiline;
}

// Flash Player draws device text only placed upright and unmirrored.
bool upright(const Matrix& m)
{
    return m.b == 0 && m.c == 0 && m.a > 0 && m.d > 0;
}

bool hasOutlines(const Font& font)
{
    for (const Shape& glyph : font.glyphs) {
        if (!glyph.edges.empty())
            return true;
    }
    return false;
}

} // namespace

const Font& FontCharacter::font() const
{
    if (decoded)
        return *decoded;
    auto f = std::make_shared<Font>();
    std::string reason;
    const uint8_t* data = body.empty() ? nullptr : body.data();
    bool ok = false;
    if (code == kTagDefineFont)
        ok = readFont(FontTag::DefineFont, data, body.size(), *f, reason);
    else if (code == kTagDefineFont2)
        ok = readFont(FontTag::DefineFont2, data, body.size(), *f, reason);
    else if (code == kTagDefineFont3)
        ok = readFont(FontTag::DefineFont3, data, body.size(), *f, reason);
    if (!ok)
        *f = Font();
    if (f->version == 1) {
        for (const FontInfoTag& tag : info) {
            if (tag.code != kTagDefineFontInfo && tag.code != kTagDefineFontInfo2)
                continue;
            readFontInfo(tag.code == kTagDefineFontInfo2, tag.body.empty() ? nullptr : tag.body.data(),
                         tag.body.size(), *f, reason);
        }
    }
    decoded = f;
    return *f;
}

bool readStaticText(const uint8_t* body, std::size_t size, int version, StaticText& out, std::string& reason)
{
    out = StaticText();
    BitReader r(body, size);
    out.bounds = r.rect();
    out.matrix = r.matrix();
    unsigned glyphBits = r.u8();
    unsigned advanceBits = r.u8();
    if (r.failed() || glyphBits > 32 || advanceBits > 32) {
        reason = "DefineText header is truncated";
        return false;
    }
    TextRecord current;
    std::size_t total = 0;
    int32_t x = 0;
    for (;;) {
        r.align();
        uint8_t flags = r.u8();
        if (r.failed()) {
            reason = "DefineText records are cut short";
            return false;
        }
        if ((flags & 0x80) == 0)
            return true; // EndOfRecordsFlag
        TextRecord rec = current;
        rec.glyphs.clear();
        if (flags & 0x08)
            rec.fontId = r.u16();
        if (flags & 0x04)
            rec.color = version == 2 ? r.rgba() : r.rgb();
        rec.x = (flags & 0x01) ? r.s16() : x;
        if (flags & 0x02)
            rec.y = r.s16();
        if (flags & 0x08)
            rec.height = r.u16();
        unsigned count = r.u8();
        if (r.failed()) {
            reason = "DefineText records are cut short";
            return false;
        }
        rec.glyphs.resize(count);
        x = rec.x;
        for (TextGlyph& g : rec.glyphs) {
            g.index = r.ubits(glyphBits);
            g.advance = r.sbits(advanceBits);
            x += g.advance;
        }
        if (r.failed()) {
            reason = "DefineText glyph entries are cut short";
            return false;
        }
        total += count;
        if (total > kMaxGlyphs) {
            reason = "DefineText has too many glyphs";
            return false;
        }
        current = rec;
        out.records.push_back(std::move(rec));
    }
}

Rect textBounds(const TextCharacter& text)
{
    const TextState& s = stateOf(text);
    return s.edit ? s.field.bounds : s.text.bounds;
}

void drawText(const TextCharacter& text, const FontLookup& fonts, const Matrix& toPixels, const GlyphSink& sink,
              const DeviceTextSink* device)
{
    TextState& s = stateOf(text);
    if (!s.edit) {
        Matrix outer = toPixels * s.text.matrix;
        for (const TextRecord& rec : s.text.records) {
            const FontCharacter* fc = fonts.font(rec.fontId);
            if (!fc)
                continue;
            const Font& font = fc->font();
            const DeviceFonts* outlines = hasOutlines(font) ? nullptr : fonts.deviceFonts();
            const Font* stand = outlines ? outlines->font(font.name, font.bold, font.italic) : nullptr;
            if (stand) {
                // A device font drawn with outlines: each glyph entry names a
                // character by the font's code table.
                const double scale = rec.height / Font::glyphEm();
                double x = rec.x;
                for (const TextGlyph& g : rec.glyphs) {
                    const int glyph = g.index < font.codes.size() ? stand->glyphForCode(font.codes[g.index]) : -1;
                    if (glyph >= 0 && static_cast<std::size_t>(glyph) < stand->glyphs.size())
                        sink(stand->glyphs[glyph], outer * translateScale(x, rec.y, scale), rec.color);
                    x += g.advance;
                }
                continue;
            }
            if (!hasOutlines(font)) {
                // A device font: its glyphs stand for the characters of its codes.
                if (!device || !upright(outer) || rec.glyphs.empty())
                    continue;
                DeviceText d;
                d.face = font.name;
                d.bold = font.bold;
                d.italic = font.italic;
                d.color = rec.color;
                d.size = rec.height * outer.d;
                const Point start = outer.apply({static_cast<double>(rec.x), static_cast<double>(rec.y)});
                d.left = start.x;
                d.baseline = start.y;
                double x = 0;
                for (const TextGlyph& g : rec.glyphs) {
                    if (g.index < font.codes.size()) {
                        d.text.push_back(font.codes[g.index]);
                        d.offsets.push_back(x * outer.a);
                    }
                    x += g.advance;
                }
                if (!d.text.empty())
                    (*device)(d);
                continue;
            }
            double scale = rec.height / Font::glyphEm();
            double x = rec.x;
            for (const TextGlyph& g : rec.glyphs) {
                if (g.index < font.glyphs.size())
                    sink(font.glyphs[g.index], outer * translateScale(x, rec.y, scale), rec.color);
                x += g.advance;
            }
        }
        return;
    }
    if (s.hasBox) {
        sink(s.background, toPixels, Rgba{255, 255, 255, 255});
        sink(s.frame, toPixels, Rgba{0, 0, 0, 255});
    }
    if (!s.laidOut)
        layOut(s, fonts);
    for (const PlacedGlyph& g : s.glyphs)
        sink(g.font->glyphs[g.glyph], toPixels * translateScale(g.x, g.y, g.scale), g.color);
    if (device && !s.device.text.empty() && upright(toPixels)) {
        DeviceText d = s.device;
        d.left = toPixels.a * d.left + toPixels.tx;
        d.right = toPixels.a * d.right + toPixels.tx;
        d.top = toPixels.d * d.top + toPixels.ty;
        d.bottom = toPixels.d * d.bottom + toPixels.ty;
        d.size *= toPixels.d;
        (*device)(d);
    }
}

} // namespace swf
