#include "swfcontrol/engine/format/EditText.h"

#include "swfcontrol/engine/format/BitReader.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

// Flash keeps text 2 pixels inside the field's bounds on every side.
const double kGutter = 40;

struct Measured {
    const Font* font = nullptr;
    int glyph = -1;
    double scale = 0;   // layout units -> twips
    double advance = 0; // twips, with letter spacing
    double kern = 0;    // twips, before this character
};

double glyphAdvance(const Font& font, int glyph)
{
    if (font.hasLayout && static_cast<std::size_t>(glyph) < font.advances.size())
        return font.advances[glyph];
    // No layout table: the glyph's own width.
    const Rect& b = font.glyphs[glyph].bounds;
    return b.xMax > 0 ? b.xMax * font.emSquare() / Font::glyphEm() : 0;
}

struct LineMetrics {
    double ascent = 0, descent = 0, leading = 0;
};

LineMetrics metricsOf(const Font* font, const TextFormat& f)
{
    LineMetrics m;
    m.leading = f.leading;
    if (font && font->hasLayout) {
        double scale = f.height / font->emSquare();
        m.ascent = std::floor(font->ascent * scale);
        m.descent = std::floor(font->descent * scale);
    } else {
        // Without a layout table Flash falls back to the EM square.
        m.ascent = f.height * 0.8;
        m.descent = f.height * 0.2;
    }
    return m;
}

} // namespace

bool readEditText(const uint8_t* body, std::size_t size, EditText& out, std::string& reason)
{
    out = EditText();
    BitReader r(body, size);
    out.bounds = r.rect();
    uint8_t f1 = r.u8();
    uint8_t f2 = r.u8();
    bool hasText = (f1 & 0x80) != 0;
    out.wordWrap = (f1 & 0x40) != 0;
    out.multiline = (f1 & 0x20) != 0;
    out.password = (f1 & 0x10) != 0;
    bool hasColor = (f1 & 0x04) != 0;
    bool hasMaxLength = (f1 & 0x02) != 0;
    out.hasFont = (f1 & 0x01) != 0;
    bool hasFontClass = (f2 & 0x80) != 0;
    out.autoSize = (f2 & 0x40) != 0;
    bool hasLayout = (f2 & 0x20) != 0;
    out.border = (f2 & 0x08) != 0;
    out.html = (f2 & 0x02) != 0;
    out.useOutlines = (f2 & 0x01) != 0;
    if (out.hasFont)
        out.fontId = r.u16();
    if (hasFontClass)
        out.fontClass = r.string();
    if (out.hasFont || hasFontClass)
        out.height = r.u16();
    if (hasColor)
        out.color = r.rgba();
    if (hasMaxLength)
        out.maxLength = r.u16();
    if (hasLayout) {
        uint8_t align = r.u8();
        out.align = align <= 3 ? static_cast<TextAlign>(align) : TextAlign::Left;
        out.leftMargin = r.u16();
        out.rightMargin = r.u16();
        out.indent = r.u16();
        out.leading = r.s16();
    }
    out.variableName = r.string();
    if (hasText)
        out.initialText = r.string();
    if (r.failed()) {
        reason = "DefineEditText is truncated";
        return false;
    }
    return true;
}

void layoutEditText(const EditText& field, const StyledText& text, const FontChooser& fonts,
                    std::vector<PlacedGlyph>& out)
{
    const std::size_t n = std::min(text.text.size(), text.formatOf.size());
    if (text.formats.empty())
        return;
    auto formatAt = [&](std::size_t i) -> const TextFormat& {
        std::size_t k = i < n ? text.formatOf[i] : text.formatOf.empty() ? 0 : text.formatOf[n - 1];
        return text.formats[k < text.formats.size() ? k : 0];
    };

    // Measure every character once: its font, glyph and advance.
    std::vector<const Font*> fontOf(text.formats.size());
    for (std::size_t k = 0; k < fontOf.size(); ++k)
        fontOf[k] = fonts.choose(text.formats[k]);
    std::vector<Measured> m(n);
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = field.password && text.text[i] != '\n' ? U'*' : text.text[i];
        const TextFormat& f = formatAt(i);
        const Font* font = text.formatOf[i] < fontOf.size() ? fontOf[text.formatOf[i]] : nullptr;
        if (!font || c == '\n')
            continue;
        Measured& g = m[i];
        g.font = font;
        g.scale = f.height / font->emSquare();
        g.glyph = font->glyphForCode(c);
        // Flash measures in whole twips, rounding down.
        if (g.glyph >= 0 && static_cast<std::size_t>(g.glyph) < font->glyphs.size())
            g.advance = std::floor(glyphAdvance(*font, g.glyph) * g.scale);
        else
            g.glyph = -1;
        g.advance += f.letterSpacing;
        if (f.kerning && i > 0 && m[i - 1].font == font && text.text[i - 1] != '\n')
            g.kern = std::floor(font->kerningAdjust(field.password ? '*' : text.text[i - 1], c) * g.scale);
    }

    const double left = field.bounds.xMin + kGutter;
    const double right = field.bounds.xMax - kGutter;
    double baseline = field.bounds.yMin + kGutter;
    bool firstLine = true;
    LineMetrics previous;
    auto isBreakable = [&](std::size_t i) { return text.text[i] == ' ' || text.text[i] == '\t'; };

    for (std::size_t para = 0; para <= n;) {
        std::size_t end = para;
        while (end < n && text.text[end] != '\n')
            ++end;
        const TextFormat& pf = formatAt(para);
        bool firstOfParagraph = true;
        std::size_t pos = para;
        do {
            double indent = firstOfParagraph ? pf.indent : 0;
            double lineLeft = left + pf.leftMargin + indent;
            double avail = right - pf.rightMargin - lineLeft;
            // Take characters while they fit; wrap at the last space.
            std::size_t lineEnd = pos;
            double x = 0;
            while (lineEnd < end) {
                double next = x + m[lineEnd].kern + m[lineEnd].advance;
                if (field.wordWrap && next > avail && lineEnd > pos && !isBreakable(lineEnd)) {
                    std::size_t space = lineEnd;
                    while (space > pos && !isBreakable(space - 1))
                        --space;
                    if (space > pos)
                        lineEnd = space;
                    break;
                }
                x = next;
                ++lineEnd;
            }
            std::size_t nextPos = lineEnd;
            while (nextPos < end && isBreakable(nextPos) && field.wordWrap && lineEnd < end)
                ++nextPos;
            // Trailing spaces take no room in the alignment.
            std::size_t visibleEnd = lineEnd;
            while (visibleEnd > pos && isBreakable(visibleEnd - 1))
                --visibleEnd;
            double width = 0;
            LineMetrics lm;
            bool any = false;
            for (std::size_t i = pos; i < lineEnd; ++i) {
                if (i < visibleEnd)
                    width += m[i].kern + m[i].advance;
                LineMetrics cm = metricsOf(m[i].font, formatAt(i));
                lm.ascent = std::max(lm.ascent, cm.ascent);
                lm.descent = std::max(lm.descent, cm.descent);
                lm.leading = any ? std::max(lm.leading, cm.leading) : cm.leading;
                any = true;
            }
            if (!any) {
                std::size_t k = pos < n ? text.formatOf[pos] : text.formatOf.empty() ? 0 : text.formatOf[n - 1];
                lm = metricsOf(k < fontOf.size() ? fontOf[k] : nullptr, formatAt(pos));
            }
            baseline += firstLine ? lm.ascent : previous.descent + previous.leading + lm.ascent;
            // A field shows only what lies inside its bounds (unless it grows
            // to fit): lines below them and glyphs beside them are left out.
            // Glyphs across the edge are drawn whole.
            const bool clip = !field.autoSize;
            if (clip && baseline - lm.ascent >= field.bounds.yMax)
                return;

            double offset = 0;
            if (pf.align == TextAlign::Right)
                offset = avail - width;
            else if (pf.align == TextAlign::Center)
                offset = std::floor((avail - width) / 2);
            double pen = lineLeft + offset;
            for (std::size_t i = pos; i < lineEnd; ++i) {
                pen += m[i].kern;
                bool outside = clip && (pen >= field.bounds.xMax || pen + m[i].advance <= field.bounds.xMin);
                if (m[i].glyph >= 0 && !outside) {
                    PlacedGlyph g;
                    g.font = m[i].font;
                    g.glyph = static_cast<uint32_t>(m[i].glyph);
                    g.x = pen;
                    g.y = baseline;
                    g.scale = formatAt(i).height / Font::glyphEm();
                    g.color = formatAt(i).color;
                    out.push_back(g);
                }
                pen += m[i].advance;
            }
            previous = lm;
            firstLine = false;
            firstOfParagraph = false;
            pos = nextPos;
        } while (pos < end);
        para = end + 1;
    }
}

} // namespace swf
