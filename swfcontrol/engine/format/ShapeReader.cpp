#include "swfcontrol/engine/format/ShapeReader.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

struct Record {
    bool edge = false;
    // Style change
    bool move = false;
    int32_t moveX = 0, moveY = 0;
    bool hasFill0 = false, hasFill1 = false, hasLine = false;
    uint32_t fill0 = 0, fill1 = 0, line = 0;
    int newStyles = -1; // index into the style arrays read so far
    // Edge (deltas)
    bool curved = false;
    int32_t cdx = 0, cdy = 0, adx = 0, ady = 0;
};

struct StyleArrays {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
};

uint32_t styleCount(BitReader& r, bool extended)
{
    uint32_t n = r.u8();
    if (n == 0xff && extended)
        n = r.u16();
    return n;
}

Gradient readGradient(BitReader& r, bool rgba, bool focal)
{
    Gradient g;
    r.align();
    unsigned spread = r.ubits(2);
    unsigned interpolation = r.ubits(2);
    unsigned count = r.ubits(4);
    g.spread = spread == 1 ? SpreadMode::Reflect : spread == 2 ? SpreadMode::Repeat : SpreadMode::Pad;
    g.interpolation = interpolation == 1 ? Interpolation::LinearRgb : Interpolation::Rgb;
    for (unsigned i = 0; i < count && !r.failed(); ++i) {
        GradientStop s;
        s.ratio = r.u8();
        s.color = rgba ? r.rgba() : r.rgb();
        g.stops.push_back(s);
    }
    if (focal)
        g.focal = std::max(-1.0f, std::min(1.0f, r.fixed8()));
    return g;
}

bool readFillStyle(BitReader& r, int version, FillStyle& f)
{
    uint8_t type = r.u8();
    bool rgba = version >= 3;
    switch (type) {
    case 0x00:
        f.kind = FillKind::Solid;
        f.color = rgba ? r.rgba() : r.rgb();
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        f.kind = type == 0x10 ? FillKind::LinearGradient : type == 0x12 ? FillKind::RadialGradient : FillKind::FocalGradient;
        f.matrix = r.matrix();
        f.gradient = readGradient(r, rgba, type == 0x13);
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        f.kind = FillKind::Bitmap;
        f.bitmapId = r.u16();
        f.matrix = r.matrix();
        f.bitmapRepeat = (type & 1) == 0;
        f.bitmapSmooth = (type & 2) == 0;
        break;
    default:
        r.fail(); // an unknown fill type leaves the rest of the array unreadable
        return false;
    }
    return !r.failed();
}

// LINESTYLE2's flags after its width, and the miter limit they may announce;
// shapes and morph shapes (for both ends) store them alike.
void readLineStyle2Flags(BitReader& r, LineStyle& l)
{
    r.align();
    l.startCap = static_cast<CapStyle>(std::min(2u, r.ubits(2)));
    l.join = static_cast<JoinStyle>(std::min(2u, r.ubits(2)));
    l.hasFill = r.flag();
    l.noHScale = r.flag();
    l.noVScale = r.flag();
    l.pixelHinting = r.flag();
    r.ubits(5);
    l.noClose = r.flag();
    l.endCap = static_cast<CapStyle>(std::min(2u, r.ubits(2)));
    if (l.join == JoinStyle::Miter)
        l.miterLimit = r.fixed8();
}

void readLineStyle(BitReader& r, int version, LineStyle& l)
{
    l.width = r.u16();
    if (version < 4) {
        l.color = version >= 3 ? r.rgba() : r.rgb();
        return;
    }
    readLineStyle2Flags(r, l);
    if (l.hasFill) {
        readFillStyle(r, version, l.fill);
        if (l.fill.kind == FillKind::Solid) {
            l.color = l.fill.color;
            l.hasFill = false;
        }
    } else {
        l.color = r.rgba();
    }
}

bool readStyleArrays(BitReader& r, int version, StyleArrays& out)
{
    uint32_t fills = styleCount(r, version >= 2);
    for (uint32_t i = 0; i < fills && !r.failed(); ++i) {
        FillStyle f;
        if (!readFillStyle(r, version, f))
            return false;
        out.fills.push_back(f);
    }
    uint32_t lines = styleCount(r, true);
    for (uint32_t i = 0; i < lines && !r.failed(); ++i) {
        LineStyle l;
        readLineStyle(r, version, l);
        out.lines.push_back(l);
    }
    return !r.failed();
}

// Reads shape records up to their end record. New style arrays (DefineShape
// 2-4 only) are appended to `arrays` when it is given.
bool readRecords(BitReader& r, int version, std::vector<Record>& out, std::vector<StyleArrays>* arrays,
                 std::size_t maxEdges)
{
    r.align();
    unsigned fillBits = r.ubits(4);
    unsigned lineBits = r.ubits(4);
    std::size_t edges = 0;
    while (!r.failed()) {
        Record rec;
        if (r.flag()) {
            rec.edge = true;
            bool straight = r.flag();
            unsigned n = r.ubits(4) + 2;
            if (straight) {
                if (r.flag()) {
                    rec.adx = r.sbits(n);
                    rec.ady = r.sbits(n);
                } else if (r.flag()) {
                    rec.ady = r.sbits(n);
                } else {
                    rec.adx = r.sbits(n);
                }
            } else {
                rec.curved = true;
                rec.cdx = r.sbits(n);
                rec.cdy = r.sbits(n);
                rec.adx = r.sbits(n);
                rec.ady = r.sbits(n);
            }
            if (r.failed())
                break;
            if (++edges <= maxEdges) // past the cap the rest of the outline is dropped
                out.push_back(rec);
            continue;
        }
        unsigned flags = r.ubits(5);
        if (flags == 0)
            return !r.failed();
        bool newStyles = (flags & 0x10) != 0;
        rec.hasLine = (flags & 0x08) != 0;
        rec.hasFill1 = (flags & 0x04) != 0;
        rec.hasFill0 = (flags & 0x02) != 0;
        rec.move = (flags & 0x01) != 0;
        if (rec.move) {
            unsigned n = r.ubits(5);
            rec.moveX = r.sbits(n);
            rec.moveY = r.sbits(n);
        }
        if (rec.hasFill0)
            rec.fill0 = r.ubits(fillBits);
        if (rec.hasFill1)
            rec.fill1 = r.ubits(fillBits);
        if (rec.hasLine)
            rec.line = r.ubits(lineBits);
        if (newStyles) {
            if (!arrays) {
                r.fail(); // glyphs and morph shapes have no style arrays
                break;
            }
            StyleArrays a;
            if (!readStyleArrays(r, version, a))
                break;
            arrays->push_back(std::move(a));
            rec.newStyles = static_cast<int>(arrays->size() - 1);
            r.align();
            fillBits = r.ubits(4);
            lineBits = r.ubits(4);
        }
        if (r.failed())
            break;
        out.push_back(rec);
    }
    return false;
}

int32_t clampTwips(int64_t v)
{
    const int64_t limit = 0x3fffffff;
    return static_cast<int32_t>(std::max(-limit, std::min(limit, v)));
}

void beginGroup(Shape& shape, const StyleArrays& a)
{
    StyleGroup g;
    g.firstFill = static_cast<uint32_t>(shape.fills.size());
    g.fillCount = static_cast<uint32_t>(a.fills.size());
    g.firstLine = static_cast<uint32_t>(shape.lines.size());
    g.lineCount = static_cast<uint32_t>(a.lines.size());
    g.firstEdge = shape.edges.size();
    shape.fills.insert(shape.fills.end(), a.fills.begin(), a.fills.end());
    shape.lines.insert(shape.lines.end(), a.lines.begin(), a.lines.end());
    shape.groups.push_back(g);
}

// A local 1-based style index to a global one; out of range means none.
uint32_t globalIndex(uint32_t local, uint32_t first, uint32_t count)
{
    return local >= 1 && local <= count ? first + local : 0;
}

void buildShape(const std::vector<Record>& records, const std::vector<StyleArrays>& arrays, Shape& shape)
{
    if (arrays.empty())
        return;
    beginGroup(shape, arrays[0]);
    int64_t x = 0, y = 0;
    uint32_t fill0 = 0, fill1 = 0, line = 0;
    for (const Record& rec : records) {
        StyleGroup* g = &shape.groups.back();
        if (!rec.edge) {
            if (rec.newStyles >= 0 && static_cast<std::size_t>(rec.newStyles) < arrays.size()) {
                g->edgeCount = shape.edges.size() - g->firstEdge;
                beginGroup(shape, arrays[rec.newStyles]);
                g = &shape.groups.back();
                fill0 = fill1 = line = 0;
            }
            if (rec.move) {
                x = rec.moveX;
                y = rec.moveY;
            }
            if (rec.hasFill0)
                fill0 = globalIndex(rec.fill0, g->firstFill, g->fillCount);
            if (rec.hasFill1)
                fill1 = globalIndex(rec.fill1, g->firstFill, g->fillCount);
            if (rec.hasLine)
                line = globalIndex(rec.line, g->firstLine, g->lineCount);
            continue;
        }
        ShapeEdge e;
        e.x0 = clampTwips(x);
        e.y0 = clampTwips(y);
        if (rec.curved) {
            e.curved = true;
            e.cx = clampTwips(x + rec.cdx);
            e.cy = clampTwips(y + rec.cdy);
            x = e.cx + static_cast<int64_t>(rec.adx);
            y = e.cy + static_cast<int64_t>(rec.ady);
        } else {
            x += rec.adx;
            y += rec.ady;
        }
        x = clampTwips(x);
        y = clampTwips(y);
        e.x1 = static_cast<int32_t>(x);
        e.y1 = static_cast<int32_t>(y);
        e.fill0 = fill0;
        e.fill1 = fill1;
        e.line = line;
        if (fill0 || fill1 || line)
            shape.edges.push_back(e);
    }
    StyleGroup& last = shape.groups.back();
    last.edgeCount = shape.edges.size() - last.firstEdge;
}

// Morph fills and lines: both ends of each style, as DefineMorphShape stores them.
bool readMorphFill(BitReader& r, MorphShape::Fill& f)
{
    uint8_t type = r.u8();
    FillStyle& s = f.start;
    FillStyle& e = f.end;
    switch (type) {
    case 0x00:
        s.kind = e.kind = FillKind::Solid;
        s.color = r.rgba();
        e.color = r.rgba();
        break;
    case 0x10:
    case 0x12:
    case 0x13: {
        s.kind = e.kind = type == 0x10 ? FillKind::LinearGradient
                          : type == 0x12 ? FillKind::RadialGradient
                                         : FillKind::FocalGradient;
        s.matrix = r.matrix();
        e.matrix = r.matrix();
        r.align();
        unsigned spread = r.ubits(2);
        unsigned interpolation = r.ubits(2);
        unsigned count = r.ubits(4);
        Gradient g;
        g.spread = spread == 1 ? SpreadMode::Reflect : spread == 2 ? SpreadMode::Repeat : SpreadMode::Pad;
        g.interpolation = interpolation == 1 ? Interpolation::LinearRgb : Interpolation::Rgb;
        s.gradient = e.gradient = g;
        for (unsigned i = 0; i < count && !r.failed(); ++i) {
            GradientStop a, b;
            a.ratio = r.u8();
            a.color = r.rgba();
            b.ratio = r.u8();
            b.color = r.rgba();
            s.gradient.stops.push_back(a);
            e.gradient.stops.push_back(b);
        }
        if (type == 0x13) {
            s.gradient.focal = std::max(-1.0f, std::min(1.0f, r.fixed8()));
            e.gradient.focal = std::max(-1.0f, std::min(1.0f, r.fixed8()));
        }
        break;
    }
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        s.kind = e.kind = FillKind::Bitmap;
        s.bitmapId = e.bitmapId = r.u16();
        s.matrix = r.matrix();
        e.matrix = r.matrix();
        s.bitmapRepeat = e.bitmapRepeat = (type & 1) == 0;
        s.bitmapSmooth = e.bitmapSmooth = (type & 2) == 0;
        break;
    default:
        r.fail();
        return false;
    }
    return !r.failed();
}

void readMorphLine(BitReader& r, int version, MorphShape::Line& l)
{
    l.start.width = r.u16();
    l.end.width = r.u16();
    if (version < 2) {
        l.start.color = r.rgba();
        l.end.color = r.rgba();
        return;
    }
    LineStyle s;
    readLineStyle2Flags(r, s);
    s.width = l.start.width;
    LineStyle e = s;
    e.width = l.end.width;
    if (s.hasFill) {
        MorphShape::Fill f;
        readMorphFill(r, f);
        s.fill = f.start;
        e.fill = f.end;
        if (f.start.kind == FillKind::Solid) {
            s.hasFill = e.hasFill = false;
            s.color = f.start.color;
            e.color = f.end.color;
        }
    } else {
        s.color = r.rgba();
        e.color = r.rgba();
    }
    l.start = s;
    l.end = e;
}

double mix(double a, double b, double t) { return a + (b - a) * t; }

// Truncated, as Flash Player blends morph colours.
uint8_t mix8(uint8_t a, uint8_t b, double t)
{
    return static_cast<uint8_t>(std::max(0.0, std::min(255.0, mix(a, b, t))));
}

Rgba mixColor(Rgba a, Rgba b, double t) { return {mix8(a.r, b.r, t), mix8(a.g, b.g, t), mix8(a.b, b.b, t), mix8(a.a, b.a, t)}; }

Matrix mixMatrix(const Matrix& a, const Matrix& b, double t)
{
    Matrix m;
    m.a = mix(a.a, b.a, t);
    m.b = mix(a.b, b.b, t);
    m.c = mix(a.c, b.c, t);
    m.d = mix(a.d, b.d, t);
    m.tx = mix(a.tx, b.tx, t);
    m.ty = mix(a.ty, b.ty, t);
    return m;
}

FillStyle mixFill(const FillStyle& a, const FillStyle& b, double t)
{
    FillStyle f = a;
    f.color = mixColor(a.color, b.color, t);
    f.matrix = mixMatrix(a.matrix, b.matrix, t);
    for (std::size_t i = 0; i < f.gradient.stops.size() && i < b.gradient.stops.size(); ++i) {
        f.gradient.stops[i].ratio = mix8(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t);
        f.gradient.stops[i].color = mixColor(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
    }
    f.gradient.focal = static_cast<float>(mix(a.gradient.focal, b.gradient.focal, t));
    return f;
}

int32_t roundTwips(double v) { return clampTwips(static_cast<int64_t>(std::llround(std::max(-1e9, std::min(1e9, v))))); }

} // namespace

bool readDefineShape(BitReader& r, int version, Shape& out, const ShapeLimits& limits)
{
    out = Shape();
    out.bounds = r.rect();
    out.edgeBounds = out.bounds;
    if (version >= 4) {
        out.edgeBounds = r.rect();
        uint8_t flags = r.u8();
        out.nonZeroWinding = (flags & 0x04) != 0;
    }
    std::vector<StyleArrays> arrays(1);
    if (!readStyleArrays(r, version, arrays[0]))
        return false;
    std::vector<Record> records;
    bool ok = readRecords(r, version, records, &arrays, limits.maxEdges);
    buildShape(records, arrays, out);
    return ok;
}

bool readGlyphShape(BitReader& r, Shape& out, const ShapeLimits& limits)
{
    out = Shape();
    std::vector<StyleArrays> arrays(1);
    arrays[0].fills.resize(1);
    std::vector<Record> records;
    bool ok = readRecords(r, 1, records, nullptr, limits.maxEdges);
    buildShape(records, arrays, out);
    int64_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    bool first = true;
    for (const ShapeEdge& e : out.edges) {
        const int32_t xs[] = {e.x0, e.cx, e.x1}, ys[] = {e.y0, e.cy, e.y1};
        for (int i = 0; i < 3; ++i) {
            if (i == 1 && !e.curved)
                continue;
            if (first || xs[i] < xMin) xMin = xs[i];
            if (first || xs[i] > xMax) xMax = xs[i];
            if (first || ys[i] < yMin) yMin = ys[i];
            if (first || ys[i] > yMax) yMax = ys[i];
            first = false;
        }
    }
    out.bounds = {static_cast<int32_t>(xMin), static_cast<int32_t>(xMax), static_cast<int32_t>(yMin),
                  static_cast<int32_t>(yMax)};
    out.edgeBounds = out.bounds;
    return ok;
}

bool MorphShape::read(BitReader& r, int version, const ShapeLimits& limits)
{
    *this = MorphShape();
    startBounds_ = r.rect();
    endBounds_ = r.rect();
    if (version >= 2) {
        r.rect();
        r.rect();
        r.u8();
    }
    uint32_t offset = r.u32();
    std::size_t offsetBase = r.position();
    uint32_t fillCount = styleCount(r, true);
    for (uint32_t i = 0; i < fillCount && !r.failed(); ++i) {
        Fill f;
        if (!readMorphFill(r, f))
            return false;
        fills_.push_back(f);
    }
    uint32_t lineCount = styleCount(r, true);
    for (uint32_t i = 0; i < lineCount && !r.failed(); ++i) {
        Line l;
        readMorphLine(r, version, l);
        lines_.push_back(l);
    }
    if (r.failed())
        return false;
    std::vector<Record> start, end;
    readRecords(r, version >= 2 ? 4 : 3, start, nullptr, limits.maxEdges);
    // The end edges start at the offset; trust it over where the start records ended.
    std::size_t endOffset = offsetBase + offset;
    if (endOffset > r.position() && endOffset - r.position() <= r.remaining())
        r.skip(endOffset - r.position());
    readRecords(r, version >= 2 ? 4 : 3, end, nullptr, limits.maxEdges);

    // Pair the start edges with the end edges in order; the end records' own
    // style changes only move their pen. A straight edge paired with a
    // curve becomes a curve with its control point halfway.
    int64_t sx = 0, sy = 0, ex = 0, ey = 0;
    std::size_t j = 0;
    for (const Record& s : start) {
        Segment seg;
        if (!s.edge) {
            seg.move = true;
            seg.hasFill0 = s.hasFill0;
            seg.hasFill1 = s.hasFill1;
            seg.hasLine = s.hasLine;
            seg.fill0 = s.fill0;
            seg.fill1 = s.fill1;
            seg.line = s.line;
            if (s.move) {
                sx = s.moveX;
                sy = s.moveY;
                // The end shape moves at the same place in its records.
                while (j < end.size() && !end[j].edge) {
                    if (end[j].move) {
                        ex = end[j].moveX;
                        ey = end[j].moveY;
                    }
                    ++j;
                }
            }
            seg.startTo = {static_cast<double>(sx), static_cast<double>(sy)};
            seg.endTo = {static_cast<double>(ex), static_cast<double>(ey)};
            segments_.push_back(seg);
            continue;
        }
        while (j < end.size() && !end[j].edge) {
            if (end[j].move) {
                ex = end[j].moveX;
                ey = end[j].moveY;
            }
            ++j;
        }
        if (j >= end.size())
            break;
        const Record& e = end[j++];
        seg.curved = s.curved || e.curved;
        Point s0{static_cast<double>(sx), static_cast<double>(sy)};
        Point e0{static_cast<double>(ex), static_cast<double>(ey)};
        int64_t scx = sx + s.cdx, scy = sy + s.cdy;
        sx = clampTwips(scx + s.adx);
        sy = clampTwips(scy + s.ady);
        int64_t ecx = ex + e.cdx, ecy = ey + e.cdy;
        ex = clampTwips(ecx + e.adx);
        ey = clampTwips(ecy + e.ady);
        seg.startTo = {static_cast<double>(sx), static_cast<double>(sy)};
        seg.endTo = {static_cast<double>(ex), static_cast<double>(ey)};
        seg.startCtrl = s.curved ? Point{static_cast<double>(scx), static_cast<double>(scy)}
                                 : Point{(s0.x + sx) / 2, (s0.y + sy) / 2};
        seg.endCtrl = e.curved ? Point{static_cast<double>(ecx), static_cast<double>(ecy)}
                               : Point{(e0.x + ex) / 2, (e0.y + ey) / 2};
        segments_.push_back(seg);
    }
    return !r.failed();
}

Shape MorphShape::at(uint16_t ratio) const
{
    double t = ratio / 65535.0;
    Shape shape;
    shape.bounds = {roundTwips(mix(startBounds_.xMin, endBounds_.xMin, t)),
                    roundTwips(mix(startBounds_.xMax, endBounds_.xMax, t)),
                    roundTwips(mix(startBounds_.yMin, endBounds_.yMin, t)),
                    roundTwips(mix(startBounds_.yMax, endBounds_.yMax, t))};
    shape.edgeBounds = shape.bounds;
    for (const Fill& f : fills_)
        shape.fills.push_back(mixFill(f.start, f.end, t));
    for (const Line& l : lines_) {
        LineStyle s = l.start;
        s.width = static_cast<uint16_t>(std::lround(mix(l.start.width, l.end.width, t)));
        s.color = mixColor(l.start.color, l.end.color, t);
        if (s.hasFill)
            s.fill = mixFill(l.start.fill, l.end.fill, t);
        shape.lines.push_back(s);
    }
    StyleGroup g;
    g.fillCount = static_cast<uint32_t>(shape.fills.size());
    g.lineCount = static_cast<uint32_t>(shape.lines.size());
    uint32_t fill0 = 0, fill1 = 0, line = 0;
    Point pen;
    for (const Segment& seg : segments_) {
        Point to{mix(seg.startTo.x, seg.endTo.x, t), mix(seg.startTo.y, seg.endTo.y, t)};
        if (seg.move) {
            if (seg.hasFill0)
                fill0 = globalIndex(seg.fill0, 0, g.fillCount);
            if (seg.hasFill1)
                fill1 = globalIndex(seg.fill1, 0, g.fillCount);
            if (seg.hasLine)
                line = globalIndex(seg.line, 0, g.lineCount);
            pen = to;
            continue;
        }
        ShapeEdge e;
        e.x0 = roundTwips(pen.x);
        e.y0 = roundTwips(pen.y);
        e.curved = seg.curved;
        if (seg.curved) {
            e.cx = roundTwips(mix(seg.startCtrl.x, seg.endCtrl.x, t));
            e.cy = roundTwips(mix(seg.startCtrl.y, seg.endCtrl.y, t));
        }
        e.x1 = roundTwips(to.x);
        e.y1 = roundTwips(to.y);
        e.fill0 = fill0;
        e.fill1 = fill1;
        e.line = line;
        pen = to;
        if (fill0 || fill1 || line)
            shape.edges.push_back(e);
    }
    g.edgeCount = shape.edges.size();
    shape.groups.push_back(g);
    return shape;
}

} // namespace swf
