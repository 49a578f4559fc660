// Fonts, static text and edit text where the corpus does not reach: the HTML
// subset, damaged font tables and records, and line layout.
#include "swfcontrol/engine/format/EditText.h"
#include "swfcontrol/engine/format/Font.h"
#include "swfcontrol/engine/format/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class BitWriter {
public:
    void bits(uint32_t value, unsigned count)
    {
        for (unsigned i = count; i-- > 0;) {
            if (used_ == 0)
                out.push_back(0);
            out.back() |= ((value >> i) & 1) << (7 - used_);
            used_ = (used_ + 1) % 8;
        }
    }
    void u8(uint8_t v) { used_ = 0, out.push_back(v); }
    void u16(uint16_t v) { u8(v & 0xff), u8(v >> 8); }
    Bytes out;

private:
    unsigned used_ = 0;
};

// Glyph records: move to (0,0) with fill 1, one curve to (dx, 0) through
// (dx/2, -dx/2) and a line back.
Bytes glyphRecords(int dx)
{
    BitWriter w;
    w.bits(1, 4), w.bits(0, 4);       // fill and line index bits
    w.bits(0b000101, 6), w.bits(0, 5); // style change: fill1 + move to, 0-bit coordinates
    w.bits(1, 1);                      // fill1 = 1
    w.bits(0b10, 2), w.bits(14, 4);    // curved edge, 16-bit deltas
    w.bits(dx / 2, 16), w.bits(static_cast<uint16_t>(-dx / 2), 16), w.bits(dx / 2, 16), w.bits(dx / 2, 16);
    w.bits(0b11, 2), w.bits(14, 4), w.bits(0, 1), w.bits(0, 1); // straight, horizontal
    w.bits(static_cast<uint16_t>(-dx), 16);
    w.bits(0, 6); // end
    return w.out;
}

// A DefineFont2 body (after the font id) with one glyph per code, advance
// 512 of 1024 each, ascent 800, descent 200.
Bytes font2(const std::vector<uint16_t>& codes, const std::string& name = "Sq", bool layout = true, bool bold = false,
            bool outlines = true)
{
    BitWriter w;
    w.u8((layout ? 0x80 : 0) | 0x04 | (bold ? 0x01 : 0)); // layout, wide codes, bold
    w.u8(0);
    w.u8(static_cast<uint8_t>(name.size()));
    for (char c : name)
        w.u8(static_cast<uint8_t>(c));
    w.u16(static_cast<uint16_t>(codes.size()));
    // A device font's glyphs are empty: one fill bit, then the end.
    Bytes glyph = outlines ? glyphRecords(400) : Bytes{0x10, 0x00};
    std::size_t tableSize = (codes.size() + 1) * 2;
    for (std::size_t i = 0; i <= codes.size(); ++i)
        w.u16(static_cast<uint16_t>(tableSize + i * glyph.size()));
    for (std::size_t i = 0; i < codes.size(); ++i)
        for (uint8_t b : glyph)
            w.u8(b);
    for (uint16_t c : codes)
        w.u16(c);
    if (layout) {
        w.u16(800), w.u16(200), w.u16(0);
        for (std::size_t i = 0; i < codes.size(); ++i)
            w.u16(512);
        for (std::size_t i = 0; i < codes.size(); ++i)
            w.u8(0); // empty RECT
        w.u16(1);
        w.u16('A'), w.u16('V'), w.u16(static_cast<uint16_t>(-100));
    }
    return w.out;
}

swf::Font readFont2(const Bytes& body)
{
    swf::Font f;
    std::string reason;
    EXPECT_TRUE(swf::readFont(swf::FontTag::DefineFont2, body.data(), body.size(), f, reason)) << reason;
    return f;
}

TEST(Font, GlyphsCodesLayoutAndKerning)
{
    swf::Font f = readFont2(font2({'A', 'V', 'A'}));
    EXPECT_EQ(f.name, "Sq");
    ASSERT_EQ(f.glyphs.size(), 3u);
    EXPECT_EQ(f.glyphForCode('A'), 0); // the first glyph for a code wins
    EXPECT_EQ(f.glyphForCode('V'), 1);
    EXPECT_EQ(f.glyphForCode('Z'), -1);
    EXPECT_EQ(f.kerningAdjust('A', 'V'), -100);
    EXPECT_EQ(f.kerningAdjust('V', 'A'), 0);
    EXPECT_EQ(f.ascent, 800);
    // DefineFont2 glyphs come at 20480 to the EM, curves as lines that keep
    // both ends and reach the curve's middle.
    const swf::Shape& g = f.glyphs[0];
    ASSERT_GT(g.edges.size(), 2u);
    int32_t top = 0;
    for (const swf::ShapeEdge& e : g.edges) {
        EXPECT_FALSE(e.curved);
        EXPECT_EQ(e.fill1, 1u);
        top = std::min(top, e.y1);
    }
    EXPECT_EQ(g.edges.front().x0, 0);
    EXPECT_EQ(g.edges.back().x1, 0);
    EXPECT_NEAR(top, -400 * 20 / 2 / 2, 2);
}

TEST(Font, DefineFontTakesCodesFromFontInfo)
{
    Bytes glyph = glyphRecords(400);
    BitWriter w;
    w.u16(4), w.u16(static_cast<uint16_t>(4 + glyph.size()));
    for (int i = 0; i < 2; ++i)
        for (uint8_t b : glyph)
            w.u8(b);
    swf::Font f;
    std::string reason;
    ASSERT_TRUE(swf::readFont(swf::FontTag::DefineFont, w.out.data(), w.out.size(), f, reason)) << reason;
    ASSERT_EQ(f.glyphs.size(), 2u);
    EXPECT_EQ(f.glyphs[1].edges.back().x0, 400 * 20); // the straight edge back, at 20480 to the EM
    const Bytes info = {1, 'F', 0x02 /* bold */, 'x', 'y'};
    ASSERT_TRUE(swf::readFontInfo(false, info.data(), info.size(), f, reason)) << reason;
    EXPECT_EQ(f.name, "F");
    EXPECT_TRUE(f.bold);
    EXPECT_EQ(f.glyphForCode('y'), 1);
}

// Damaged tables: the reader refuses or keeps what is sound, and never reads
// past the tag.
TEST(Font, DamagedTables)
{
    Bytes good = font2({'A', 'B'});
    const std::size_t offsetTable = 5 + 2; // flags, language, name length + "Sq", count
    struct Case {
        const char* what;
        Bytes body;
        bool ok;
        std::size_t glyphs;
    };
    std::vector<Case> cases;
    {
        Bytes b = good;
        b[offsetTable - 2] = 0xff, b[offsetTable - 1] = 0x7f; // glyph count beyond the tag
        cases.push_back({"count larger than the tag", b, false, 0});
    }
    {
        Bytes b = good;
        b[offsetTable + 4] = 0xff, b[offsetTable + 5] = 0x00; // code table offset beyond the tag
        cases.push_back({"code table out of range", b, false, 0});
    }
    {
        Bytes b = good;
        b[offsetTable + 2] = 0xf0, b[offsetTable + 3] = 0x00; // second glyph starts past the code table
        cases.push_back({"glyph offset out of range", b, true, 2});
    }
    cases.push_back({"cut inside the layout", Bytes(good.begin(), good.end() - 8), true, 2});
    cases.push_back({"cut inside the header", Bytes(good.begin(), good.begin() + 3), false, 0});
    cases.push_back({"device font without tables", font2({}, "Arial", false), true, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        swf::Font f;
        std::string reason;
        EXPECT_EQ(swf::readFont(swf::FontTag::DefineFont2, c.body.data(), c.body.size(), f, reason), c.ok) << reason;
        EXPECT_EQ(f.glyphs.size(), c.glyphs);
    }

    // DefineFont 1: the first offset gives the count; odd or huge ones are refused.
    const Bytes font1[] = {{0x00, 0x00}, {0xff, 0xff, 0x00}, {0x03}};
    for (const Bytes& b : font1) {
        swf::Font f;
        std::string reason;
        EXPECT_FALSE(swf::readFont(swf::FontTag::DefineFont, b.data(), b.size(), f, reason));
    }
    // DefineFontInfo shorter than the font's glyphs leaves the font as it was.
    swf::Font f = readFont2(font2({'A', 'B'}));
    const Bytes info = {1, 'X', 0x01, 'a', 0};
    std::string reason;
    EXPECT_FALSE(swf::readFontInfo(false, info.data(), info.size(), f, reason));
    EXPECT_EQ(f.name, "Sq");
}

TEST(StaticText, RecordsCarryStyleAndCutShortOnesAreDropped)
{
    BitWriter w;
    w.u8(0);                       // empty bounds
    w.u8(0);                       // identity matrix
    w.u8(8), w.u8(8);              // glyph and advance bits
    w.u8(0x8f);                    // font, colour, x, y
    w.u16(7), w.u8(1), w.u8(2), w.u8(3), w.u16(100), w.u16(200), w.u16(240);
    w.u8(2), w.bits(0, 8), w.bits(50, 8), w.bits(1, 8), w.bits(30, 8);
    w.u8(0x80);                    // nothing new: continues after the last glyph
    w.u8(1), w.bits(2, 8), w.bits(10, 8);
    Bytes complete = w.out;
    complete.push_back(0);
    swf::StaticText t;
    std::string reason;
    ASSERT_TRUE(swf::readStaticText(complete.data(), complete.size(), 1, t, reason)) << reason;
    ASSERT_EQ(t.records.size(), 2u);
    EXPECT_EQ(t.records[1].fontId, 7);
    EXPECT_EQ(t.records[1].color.b, 3);
    EXPECT_EQ(t.records[1].x, 180);
    EXPECT_EQ(t.records[1].y, 200);
    EXPECT_EQ(t.records[1].height, 240);

    Bytes cut(complete.begin(), complete.end() - 3);
    EXPECT_FALSE(swf::readStaticText(cut.data(), cut.size(), 1, t, reason));
    EXPECT_EQ(t.records.size(), 1u);
}

TEST(EditTextHtml, MarkupAndEntities)
{
    swf::TextFormat base;
    struct Row {
        const char* html;
        std::u32string text;
    };
    const Row rows[] = {
        {"<p align=\"left\"><font face=\"A\"><b>&amp;bg;</b></font></p>", U"&bg;"},
        {"&amp;&quot; &apos; &gt;&lt;", U"&\" ' ><"},
        {"&#310;&#x4b;&#X4C;", U"\u0136KL"},
        {"&bogus; & &#xZZ; &#; &", U"&bogus; & &#xZZ; &#; &"},
        {"<p>Hello</p><p>World</p>", U"Hello\nWorld"},
        {"a<br>b<BR/>c\r\nd", U"a\nb\nc\nd"},
        {"<unknown x=1>kept</unknown><!-- c -->", U"kept"},
        {"cut <font size=", U"cut "},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.html);
        swf::StyledText t = swf::parseHtml(swf::decodeText(r.html), base);
        EXPECT_EQ(t.text, r.text);
        EXPECT_EQ(t.formatOf.size(), t.text.size());
    }

    swf::StyledText t = swf::parseHtml(
        U"<p align='center'><font face=\"Impact\" size=\"30\" color=\"#ff8000\" kerning=\"1\" letterSpacing=\"1.5\">"
        U"x<font size=\"+2\"><b>y</b></font>z</font></p>",
        base);
    ASSERT_EQ(t.text, U"xyz");
    const swf::TextFormat& x = t.formats[t.formatOf[0]];
    const swf::TextFormat& y = t.formats[t.formatOf[1]];
    const swf::TextFormat& z = t.formats[t.formatOf[2]];
    EXPECT_EQ(x.face, "Impact");
    EXPECT_EQ(x.height, 600);
    EXPECT_EQ(x.color.r, 0xff);
    EXPECT_EQ(x.color.g, 0x80);
    EXPECT_TRUE(x.kerning);
    EXPECT_EQ(x.letterSpacing, 30);
    EXPECT_EQ(x.align, swf::TextAlign::Center);
    EXPECT_EQ(y.height, 640);
    EXPECT_TRUE(y.bold);
    EXPECT_FALSE(z.bold);
    EXPECT_EQ(z.height, 600);

    // Stored text is UTF-8 where valid, else one byte a character.
    EXPECT_EQ(swf::decodeText("\xc3\xa9t\xe9\xc0"), U"\u00e9t\u00e9\u00c0");
}

class Fonts : public swf::FontLookup {
public:
    std::vector<swf::FontCharacter> list; // font id = index + 1
    const swf::FontCharacter* font(uint16_t id) const override
    {
        return id >= 1 && id <= list.size() ? &list[id - 1] : nullptr;
    }
    const swf::FontCharacter* fontAt(std::size_t i) const override { return i < list.size() ? &list[i] : nullptr; }
};

// <b> and <font face> pick fonts by name and style, the field's own included;
// an unknown face keeps the field's font.
TEST(EditText, HtmlPicksFontsByNameAndStyle)
{
    Fonts fonts;
    const Bytes bodies[] = {font2({'a'}, "Other"), font2({'a'}, "Sq"), font2({'a'}, "Sq", true, true)};
    for (const Bytes& b : bodies) {
        swf::FontCharacter c;
        c.code = 48;
        c.body = b;
        fonts.list.push_back(c);
    }
    const std::string html = "a<b>a</b><font face='Other'>a</font><font face='None'>a</font>";
    BitWriter w;
    w.bits(13, 5), w.bits(0, 13), w.bits(4000, 13), w.bits(0, 13), w.bits(1000, 13);
    w.u8(0x85), w.u8(0x03); // text, colour, font; HTML, outlines
    w.u16(2), w.u16(200), w.u8(0), w.u8(0), w.u8(0), w.u8(255);
    w.u8(0);
    for (char c : html)
        w.u8(static_cast<uint8_t>(c));
    w.u8(0);
    swf::TextCharacter text;
    text.code = 37;
    text.body = w.out;

    std::vector<const swf::Shape*> drawn;
    swf::drawText(text, fonts, swf::Matrix(), [&](const swf::Shape& glyph, const swf::Matrix&, swf::Rgba) {
        drawn.push_back(&glyph);
    });
    const std::vector<const swf::Shape*> expected = {
        &fonts.list[1].font().glyphs[0], &fonts.list[2].font().glyphs[0], &fonts.list[0].font().glyphs[0],
        &fonts.list[1].font().glyphs[0]};
    EXPECT_EQ(drawn, expected);
}

// Text in fonts without outlines goes to the platform: placed upright in
// frame pixels, with its format; turned or mirrored it is not drawn.
TEST(DeviceText, ComesUprightInPixelsWithItsFormat)
{
    Fonts fonts;
    for (const Bytes& b : {font2({}, "_sans", false), font2({'O', 'K'}, "Arial", true, true, false)}) {
        swf::FontCharacter c;
        c.code = 48;
        c.body = b;
        fonts.list.push_back(c);
    }
    // Edit text over 0..4000 x 0..1000 twips in font 1 at 240 twips, red,
    // word-wrapped and multiline, margins 100 and 60; its own text or a
    // password.
    const auto edit = [](const std::string& text, bool password, bool html) {
        BitWriter w;
        w.bits(13, 5), w.bits(0, 13), w.bits(4000, 13), w.bits(0, 13), w.bits(1000, 13);
        w.u8(0x80 | 0x40 | 0x20 | (password ? 0x10 : 0) | 0x04 | 0x01); // text, wrap, multiline, colour, font
        w.u8(0x20 | (html ? 0x02 : 0));                                   // layout; no outlines
        w.u16(1), w.u16(240), w.u8(255), w.u8(0), w.u8(0), w.u8(255);
        w.u8(2), w.u16(100), w.u16(60), w.u16(0), w.u16(0); // centred
        w.u8(0);
        for (char c : text)
            w.u8(static_cast<uint8_t>(c));
        w.u8(0);
        swf::TextCharacter t;
        t.code = 37;
        t.body = w.out;
        return t;
    };
    // Static text in font 2: "OK" at (100, 300) twips, 200 twips high,
    // advancing 100 then 120.
    BitWriter w;
    w.u8(0), w.u8(0), w.u8(8), w.u8(8);
    w.u8(0x8f), w.u16(2), w.u8(0), w.u8(0), w.u8(255), w.u16(100), w.u16(300), w.u16(200);
    w.u8(2), w.bits(0, 8), w.bits(100, 8), w.bits(1, 8), w.bits(120, 8);
    w.u8(0);
    swf::TextCharacter stat;
    stat.code = 11;
    stat.body = w.out;

    const swf::Matrix upright{0.1, 0, 0, 0.05, 3, 7}; // twips to pixels, stretched across
    struct Case {
        const char* what;
        swf::TextCharacter text;
        swf::Matrix m;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"edit text", edit("Hi\nyou", false, false), upright,
         {"'Hi\nyou' _sans 12 ff0000 box 17,9 393,57 centre wrap multiline"}},
        {"a password", edit("Hi", true, false), upright, {"'**' _sans 12 ff0000 box 17,9 393,57 centre wrap multiline"}},
        {"HTML sets the face and size", edit("<font face='Verdana' size='30'>Hi</font>", false, true), upright,
         {"'Hi' Verdana 30 ff0000 box 17,9 393,57 centre wrap multiline"}},
        {"static text", stat, upright, {"'OK' Arial bold 10 0000ff at 13,22 +0 +10"}},
        {"turned", edit("Hi", false, false), swf::Matrix{0, 0.05, -0.05, 0, 0, 0}, {}},
        {"mirrored", stat, swf::Matrix{-0.05, 0, 0, 0.05, 0, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> got;
        const swf::DeviceTextSink device = [&](const swf::DeviceText& d) {
            char line[160];
            std::string text(d.text.begin(), d.text.end());
            std::snprintf(line, sizeof line, "'%s' %s%s %g %02x%02x%02x ", text.c_str(), d.face.c_str(),
                          d.bold ? " bold" : "", d.size, d.color.r, d.color.g, d.color.b);
            std::string s = line;
            if (d.box) {
                std::snprintf(line, sizeof line, "box %g,%g %g,%g %s%s%s", d.left, d.top, d.right, d.bottom,
                              d.align == swf::TextAlign::Center ? "centre" : "other", d.wrap ? " wrap" : "",
                              d.multiline ? " multiline" : "");
            } else {
                std::snprintf(line, sizeof line, "at %g,%g", d.left, d.baseline);
                for (double o : d.offsets)
                    std::snprintf(line + std::strlen(line), sizeof line - std::strlen(line), " +%g", o);
            }
            got.push_back(s + line);
        };
        swf::drawText(c.text, fonts, c.m, [](const swf::Shape&, const swf::Matrix&, swf::Rgba) {}, &device);
        EXPECT_EQ(got, c.expected);
    }
}

class OneFont : public swf::FontChooser {
public:
    explicit OneFont(const swf::Font& f) : font_(f) {}
    const swf::Font* choose(const swf::TextFormat&) const override { return &font_; }

private:
    const swf::Font& font_;
};

// Glyphs advance 512/1024 of a 200-twip height: 100 twips each. The field is
// 1000 twips wide with the 40-twip gutter on both sides: 9 glyphs fit a line.
TEST(EditTextLayout, WrapAlignAndLines)
{
    swf::Font font = readFont2(font2({'a', 'b', ' '}));
    struct Row {
        const char* what;
        std::u32string text;
        swf::TextAlign align;
        bool wrap;
        std::vector<std::pair<int, int>> glyphs; // x, baseline
    };
    // Ascent 800 and descent 200 of 1024 at 200 twips, in whole twips rounded
    // down: 156 and 39; no leading.
    const int b1 = 40 + 156, b2 = b1 + 39 + 156;
    const Row rows[] = {
        {"left", U"ab", swf::TextAlign::Left, false, {{40, b1}, {140, b1}}},
        {"right", U"ab", swf::TextAlign::Right, false, {{760, b1}, {860, b1}}},
        {"center", U"ab", swf::TextAlign::Center, false, {{400, b1}, {500, b1}}},
        {"paragraphs", U"a\nb", swf::TextAlign::Left, false, {{40, b1}, {40, b2}}},
        {"wrap at the space", U"aaaaa bbbbb", swf::TextAlign::Left, true,
         {{40, b1}, {140, b1}, {240, b1}, {340, b1}, {440, b1}, {540, b1},
          {40, b2}, {140, b2}, {240, b2}, {340, b2}, {440, b2}}},
        {"a word longer than the line", U"aaaaaaaaaaa", swf::TextAlign::Left, true,
         {{40, b1}, {140, b1}, {240, b1}, {340, b1}, {440, b1}, {540, b1}, {640, b1}, {740, b1}, {840, b1},
          {40, b2}, {140, b2}}},
        {"clipped at the right", U"aaaaaaaaaaaa", swf::TextAlign::Left, false,
         {{40, b1}, {140, b1}, {240, b1}, {340, b1}, {440, b1}, {540, b1}, {640, b1}, {740, b1}, {840, b1},
          {940, b1}}},
        {"clipped at the bottom", U"a\na\na\na\na\na", swf::TextAlign::Left, false,
         {{40, b1}, {40, b2}, {40, b2 + 195}, {40, b2 + 2 * 195}, {40, b2 + 3 * 195}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        swf::EditText field;
        field.bounds = {0, 1000, 0, 1000};
        field.wordWrap = r.wrap;
        swf::TextFormat base;
        base.height = 200;
        base.align = r.align;
        std::vector<swf::PlacedGlyph> placed;
        swf::layoutEditText(field, swf::plainText(r.text, base), OneFont(font), placed);
        std::vector<std::pair<int, int>> got;
        for (const swf::PlacedGlyph& g : placed)
            got.emplace_back(static_cast<int>(g.x), static_cast<int>(g.y));
        EXPECT_EQ(got, r.glyphs);
    }
}

} // namespace
