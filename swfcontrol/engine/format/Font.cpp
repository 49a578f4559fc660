#include "swfcontrol/engine/format/Font.h"

#include "swfcontrol/engine/format/BitReader.h"
#include "swfcontrol/engine/format/ShapeReader.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

// More glyphs than any code table can address is a damaged tag.
const uint32_t kMaxGlyphs = 65536;

// Glyph outlines are flattened once, in glyph space, to this many units of
// the 20480-unit EM: at any text size that is far below a pixel, so small
// glyphs keep the exact curves that their pixel-centre samples depend on.
const double kGlyphFlatness = 1.0;
// Cost bound for absurd curves in a damaged font.
const int kMaxCurveSteps = 64;
// Flattened edges one font may hold (about 16 MB); the glyphs of a bigger
// font (thousands of ideographs) keep their curves for the drawing layer.
const std::size_t kMaxFlatEdges = 400 * 1000;

int32_t clampCoord(double v)
{
    return static_cast<int32_t>(v < -1e9 ? -1e9 : v > 1e9 ? 1e9 : std::floor(v + 0.5));
}

// Scales a glyph to the 20480-unit EM and, while `budget` (edges) lasts,
// turns its curves into lines.
void finishGlyph(Shape& glyph, int32_t unitScale, std::size_t& budget)
{
    std::vector<ShapeEdge> out;
    out.reserve(glyph.edges.size());
    for (StyleGroup& g : glyph.groups) {
        std::size_t first = out.size();
        std::size_t end = std::min(glyph.edges.size(), g.firstEdge + g.edgeCount);
        for (std::size_t i = g.firstEdge; i < end; ++i) {
            ShapeEdge e = glyph.edges[i];
            const double x0 = double(e.x0) * unitScale, y0 = double(e.y0) * unitScale;
            const double cx = double(e.cx) * unitScale, cy = double(e.cy) * unitScale;
            const double x1 = double(e.x1) * unitScale, y1 = double(e.y1) * unitScale;
            if (!e.curved || out.size() >= budget) {
                e.x0 = clampCoord(x0), e.y0 = clampCoord(y0);
                e.cx = clampCoord(cx), e.cy = clampCoord(cy);
                e.x1 = clampCoord(x1), e.y1 = clampCoord(y1);
                out.push_back(e);
                continue;
            }
            // A quadratic strays from its chord by at most a quarter of |p0 - 2c + p1|.
            const double dx = x0 - 2 * cx + x1, dy = y0 - 2 * cy + y1;
            const double deviation = std::sqrt(dx * dx + dy * dy) / 4;
            int steps = static_cast<int>(std::ceil(std::sqrt(deviation / kGlyphFlatness)));
            steps = std::max(1, std::min(kMaxCurveSteps, steps));
            e.curved = false;
            e.cx = e.cy = 0;
            int32_t px = clampCoord(x0), py = clampCoord(y0);
            for (int k = 1; k <= steps; ++k) {
                const double t = double(k) / steps, u = 1 - t;
                e.x0 = px;
                e.y0 = py;
                e.x1 = px = clampCoord(u * u * x0 + 2 * u * t * cx + t * t * x1);
                e.y1 = py = clampCoord(u * u * y0 + 2 * u * t * cy + t * t * y1);
                out.push_back(e);
            }
        }
        g.firstEdge = first;
        g.edgeCount = out.size() - first;
    }
    glyph.edges.swap(out);
    budget -= std::min(budget, glyph.edges.size());
    Rect& b = glyph.bounds;
    b = {clampCoord(double(b.xMin) * unitScale), clampCoord(double(b.xMax) * unitScale),
         clampCoord(double(b.yMin) * unitScale), clampCoord(double(b.yMax) * unitScale)};
    glyph.edgeBounds = b;
}

// Glyph i spans offsets[i] .. offsets[i+1] (the last one ends at `end`),
// relative to `table`. Offsets outside the table leave that glyph empty.
void readGlyphs(const uint8_t* table, std::size_t end, const std::vector<uint32_t>& offsets, Font& font)
{
    font.glyphs.assign(offsets.size(), Shape());
    std::size_t budget = kMaxFlatEdges;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        std::size_t from = offsets[i];
        std::size_t to = i + 1 < offsets.size() ? offsets[i + 1] : end;
        if (from >= to || to > end)
            continue;
        BitReader records(table + from, to - from);
        if (!readGlyphShape(records, font.glyphs[i]))
            font.glyphs[i] = Shape();
        finishGlyph(font.glyphs[i], font.version == 3 ? 1 : 20, budget);
    }
}

void readName(BitReader& r, std::string& name)
{
    uint8_t len = r.u8();
    name.clear();
    if (r.remaining() < len) {
        r.fail();
        return;
    }
    name.assign(reinterpret_cast<const char*>(r.current()), len);
    r.skip(len);
    // Names are often stored with their terminating NUL.
    while (!name.empty() && name.back() == '\0')
        name.pop_back();
}

bool readFont1(const uint8_t* body, std::size_t size, Font& out, std::string& reason)
{
    BitReader r(body, size);
    const uint8_t* table = body;
    std::size_t tableSize = size;
    if (tableSize == 0)
        return true; // a font without glyphs: device text names it
    if (tableSize < 2) {
        reason = "DefineFont offset table is truncated";
        return false;
    }
    uint32_t first = r.u16();
    uint32_t count = first / 2;
    if (count == 0 || count * 2u > tableSize) {
        reason = "DefineFont offset table does not fit its tag";
        return false;
    }
    std::vector<uint32_t> offsets(count);
    offsets[0] = first;
    for (uint32_t i = 1; i < count; ++i)
        offsets[i] = r.u16();
    readGlyphs(table, tableSize, offsets, out);
    return true;
}

bool readFont23(bool font3, const uint8_t* body, std::size_t size, Font& out, std::string& reason)
{
    BitReader r(body, size);
    uint8_t flags = r.u8();
    bool hasLayout = (flags & 0x80) != 0;
    bool wideOffsets = (flags & 0x08) != 0;
    bool wideCodes = font3 || (flags & 0x04) != 0;
    out.italic = (flags & 0x02) != 0;
    out.bold = (flags & 0x01) != 0;
    r.u8(); // language code
    readName(r, out.name);
    uint32_t count = r.u16();
    if (r.failed()) {
        reason = "font header is truncated";
        return false;
    }
    // Device fonts carry no glyphs; some writers then leave out the rest.
    if (count == 0 && r.remaining() < (wideOffsets ? 4u : 2u))
        return true;

    const uint8_t* table = body + r.position();
    std::size_t tableSize = r.remaining();
    std::size_t offsetBytes = wideOffsets ? 4 : 2;
    if (count > kMaxGlyphs || (count + 1) * offsetBytes > tableSize) {
        reason = "font offset table does not fit its tag";
        return false;
    }
    std::vector<uint32_t> offsets(count);
    for (uint32_t i = 0; i < count; ++i)
        offsets[i] = wideOffsets ? r.u32() : r.u16();
    uint32_t codeTableOffset = wideOffsets ? r.u32() : r.u16();
    if (codeTableOffset > tableSize || codeTableOffset < (count + 1) * offsetBytes) {
        reason = "font code table offset is out of range";
        return false;
    }
    readGlyphs(table, codeTableOffset, offsets, out);

    r = BitReader(table + codeTableOffset, tableSize - codeTableOffset);
    if (r.remaining() < count * (wideCodes ? 2u : 1u)) {
        reason = "font code table is truncated";
        out.glyphs.clear();
        return false;
    }
    out.codes.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        out.codes[i] = wideCodes ? r.u16() : r.u8();
    out.indexCodes();

    if (!hasLayout)
        return true;
    out.ascent = r.u16();
    out.descent = r.u16();
    out.leading = r.s16();
    if (r.failed() || r.remaining() < count * 2u) {
        // Glyphs and codes are sound: draw them, without the layout.
        out.ascent = out.descent = out.leading = 0;
        return true;
    }
    out.advances.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        out.advances[i] = r.s16();
    out.hasLayout = true;
    // The bounds table is bit-packed RECTs; nothing here draws with it.
    for (uint32_t i = 0; i < count && !r.failed(); ++i)
        r.rect();
    uint32_t kerningCount = r.u16();
    std::size_t recordSize = wideCodes ? 6 : 4;
    if (r.failed() || kerningCount * recordSize > r.remaining())
        return true;
    out.kerning.resize(kerningCount);
    for (KerningPair& k : out.kerning) {
        k.left = wideCodes ? r.u16() : r.u8();
        k.right = wideCodes ? r.u16() : r.u8();
        k.adjust = r.s16();
    }
    std::sort(out.kerning.begin(), out.kerning.end(), [](const KerningPair& a, const KerningPair& b) {
        return a.left != b.left ? a.left < b.left : a.right < b.right;
    });
    return true;
}

} // namespace

int Font::glyphForCode(uint32_t code) const
{
    if (code > 0xffff)
        return -1;
    auto it = std::lower_bound(byCode_.begin(), byCode_.end(), std::make_pair(static_cast<uint16_t>(code), uint16_t(0)));
    if (it == byCode_.end() || it->first != code)
        return -1;
    return it->second;
}

int Font::kerningAdjust(uint32_t left, uint32_t right) const
{
    if (kerning.empty() || left > 0xffff || right > 0xffff)
        return 0;
    KerningPair key;
    key.left = static_cast<uint16_t>(left);
    key.right = static_cast<uint16_t>(right);
    auto it = std::lower_bound(kerning.begin(), kerning.end(), key, [](const KerningPair& a, const KerningPair& b) {
        return a.left != b.left ? a.left < b.left : a.right < b.right;
    });
    if (it == kerning.end() || it->left != key.left || it->right != key.right)
        return 0;
    return it->adjust;
}

void Font::indexCodes()
{
    byCode_.clear();
    std::size_t n = std::min(codes.size(), glyphs.size());
    byCode_.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        byCode_.emplace_back(codes[i], static_cast<uint16_t>(i));
    // The first glyph for a code wins, as in Flash.
    std::stable_sort(byCode_.begin(), byCode_.end(),
                     [](const std::pair<uint16_t, uint16_t>& a, const std::pair<uint16_t, uint16_t>& b) {
                         return a.first < b.first;
                     });
}

void flattenGlyph(Shape& glyph, std::size_t& budget) { finishGlyph(glyph, 1, budget); }

bool readFont(FontTag tag, const uint8_t* body, std::size_t size, Font& out, std::string& reason)
{
    out = Font();
    switch (tag) {
    case FontTag::DefineFont:
        out.version = 1;
        return readFont1(body, size, out, reason);
    case FontTag::DefineFont2:
        out.version = 2;
        return readFont23(false, body, size, out, reason);
    case FontTag::DefineFont3:
        out.version = 3;
        return readFont23(true, body, size, out, reason);
    }
    return false;
}

bool readFontInfo(bool version2, const uint8_t* body, std::size_t size, Font& font, std::string& reason)
{
    BitReader r(body, size);
    std::string name;
    readName(r, name);
    uint8_t flags = r.u8();
    if (version2)
        r.u8(); // language code
    if (r.failed()) {
        reason = "DefineFontInfo is truncated";
        return false;
    }
    bool wideCodes = version2 || (flags & 0x01) != 0;
    std::size_t count = font.glyphs.size();
    if (r.remaining() < count * (wideCodes ? 2u : 1u)) {
        reason = "DefineFontInfo code table is shorter than the font";
        return false;
    }
    font.name = name;
    font.italic = (flags & 0x04) != 0;
    font.bold = (flags & 0x02) != 0;
    font.codes.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        font.codes[i] = wideCodes ? r.u16() : r.u8();
    font.indexCodes();
    return true;
}

} // namespace swf
