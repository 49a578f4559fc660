#include "tools/fallbackfont/FallbackFonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

// Past these a font file is not taken as one (ideograph fonts stay well
// within them).
constexpr FT_Long kMaxGlyphs = 65536;
constexpr std::size_t kMaxFlatEdges = 2000000;

struct Outline {
    Shape* shape;
    double scale; // font units to 20480 to the EM
    int32_t x = 0, y = 0;
    int32_t at(FT_Pos v) const
    {
        return static_cast<int32_t>(std::lround(std::max(-1e8, std::min(1e8, v * scale))));
    }
    void edge(const FT_Vector* to, const FT_Vector* control)
    {
        ShapeEdge e;
        e.x0 = x;
        e.y0 = y;
        e.x1 = at(to->x);
        e.y1 = -at(to->y);
        if (control) {
            e.curved = true;
            e.cx = at(control->x);
            e.cy = -at(control->y);
        }
        e.fill1 = 1;
        x = e.x1;
        y = e.y1;
        if (e.x0 != e.x1 || e.y0 != e.y1 || e.curved)
            shape->edges.push_back(e);
    }
};

int moveTo(const FT_Vector* to, void* user)
{
    Outline& o = *static_cast<Outline*>(user);
    o.x = o.at(to->x);
    o.y = -o.at(to->y);
    return 0;
}

int lineTo(const FT_Vector* to, void* user)
{
    static_cast<Outline*>(user)->edge(to, nullptr);
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    static_cast<Outline*>(user)->edge(to, control);
    return 0;
}

// A cubic as two quadratics, split at its middle: close enough at text sizes.
int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    Outline& o = *static_cast<Outline*>(user);
    const double sx = o.x / o.scale, sy = -o.y / o.scale;
    const double mx = (sx + 3 * c1->x + 3 * c2->x + to->x) / 8, my = (sy + 3 * c1->y + 3 * c2->y + to->y) / 8;
    const FT_Vector mid{static_cast<FT_Pos>(std::lround(mx)), static_cast<FT_Pos>(std::lround(my))};
    const FT_Vector q1{static_cast<FT_Pos>(std::lround((sx + 3 * c1->x) / 4)),
                       static_cast<FT_Pos>(std::lround((sy + 3 * c1->y) / 4))};
    const FT_Vector q2{static_cast<FT_Pos>(std::lround((3 * c2->x + to->x) / 4)),
                       static_cast<FT_Pos>(std::lround((3 * c2->y + to->y) / 4))};
    o.edge(&mid, &q1);
    o.edge(to, &q2);
    return 0;
}

void finishShape(Shape& glyph)
{
    StyleGroup g;
    g.fillCount = 1;
    g.edgeCount = glyph.edges.size();
    glyph.fills.resize(1);
    glyph.groups.push_back(g);
    Rect r{0, 0, 0, 0};
    bool first = true;
    for (const ShapeEdge& e : glyph.edges) {
        for (int k = 0; k < (e.curved ? 3 : 2); ++k) {
            const int32_t x = k == 0 ? e.x0 : k == 1 ? e.x1 : e.cx, y = k == 0 ? e.y0 : k == 1 ? e.y1 : e.cy;
            if (first) {
                r = {x, x, y, y};
                first = false;
            }
            r.xMin = std::min(r.xMin, x), r.xMax = std::max(r.xMax, x);
            r.yMin = std::min(r.yMin, y), r.yMax = std::max(r.yMax, y);
        }
    }
    glyph.bounds = glyph.edgeBounds = r;
}

int16_t units16(double v) { return static_cast<int16_t>(std::lround(std::max(-32768.0, std::min(32767.0, v)))); }

} // namespace

bool loadFontFile(const std::string& path, Font& out, std::string& reason)
{
    out = Font();
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        reason = "FreeType cannot start";
        return false;
    }
    FT_Face face = nullptr;
    bool ok = FT_New_Face(library, path.c_str(), 0, &face) == 0;
    if (!ok) {
        reason = "cannot read the font " + path;
    } else if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0 || face->num_glyphs > kMaxGlyphs) {
        reason = path + " is not an outline font";
        ok = false;
    }
    if (ok) {
        const double scale = Font::glyphEm() / face->units_per_EM;
        out.version = 3;
        out.name = face->family_name ? face->family_name : "";
        out.bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
        out.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
        out.hasLayout = true;
        out.ascent = static_cast<int>(std::lround(face->ascender * scale));
        out.descent = static_cast<int>(std::lround(-face->descender * scale));
        out.leading = static_cast<int>(std::lround((face->height - face->ascender + face->descender) * scale));
        FT_Outline_Funcs funcs{moveTo, lineTo, conicTo, cubicTo, 0, 0};
        std::size_t budget = kMaxFlatEdges;
        FT_ULong code;
        FT_UInt index;
        for (code = FT_Get_First_Char(face, &index); index != 0; code = FT_Get_Next_Char(face, code, &index)) {
            if (code > 0xffff)
                break;
            if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
                face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
                continue;
            Shape glyph;
            Outline o{&glyph, scale};
            FT_Outline_Decompose(&face->glyph->outline, &funcs, &o);
            finishShape(glyph);
            flattenGlyph(glyph, budget);
            out.glyphs.push_back(std::move(glyph));
            out.codes.push_back(static_cast<uint16_t>(code));
            out.advances.push_back(units16(face->glyph->metrics.horiAdvance * scale));
        }
        out.indexCodes();
        if (out.glyphs.empty()) {
            reason = path + " maps no characters";
            ok = false;
        }
    }
    if (face)
        FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ok;
}

bool FallbackFonts::load(const std::string& regular, const std::string& bold, const std::string& italic,
                         const std::string& boldItalic, std::string& reason)
{
    const std::string* paths[4] = {&regular, &bold, &italic, &boldItalic};
    for (int i = 0; i < 4; ++i) {
        styles_[i].reset();
        if (paths[i]->empty())
            continue;
        std::unique_ptr<Font> f(new Font);
        std::string why;
        if (loadFontFile(*paths[i], *f, why))
            styles_[i] = std::move(f);
        else if (i == 0)
            reason = why;
    }
    return styles_[0] != nullptr;
}

bool FallbackFonts::loadShipped(std::string& reason)
{
    const std::string dir = QP_FALLBACK_FONT_DIR;
    return load(dir + "/NotoSans-Regular.ttf", dir + "/NotoSans-Bold.ttf", dir + "/NotoSans-Italic.ttf",
                dir + "/NotoSans-BoldItalic.ttf", reason);
}

const Font* FallbackFonts::font(const std::string& face, bool bold, bool italic) const
{
    (void)face;
    const int wanted = (bold ? 1 : 0) + (italic ? 2 : 0);
    // The asked style, else the one that keeps the weight, else regular.
    const int order[4][3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 1, 2}};
    if (styles_[wanted])
        return styles_[wanted].get();
    for (int k : order[wanted]) {
        if (styles_[k])
            return styles_[k].get();
    }
    return styles_[0].get();
}

} // namespace swf
