// The small value types that every layer of the engine passes around:
// colours, points, affine matrices and colour transforms, as the SWF format
// defines them. No Windows API.
#pragma once

#include <cstdint>

namespace swf {

// A straight (not premultiplied) colour, as SWF stores it.
struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

inline bool operator==(Rgba x, Rgba y) { return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a; }
inline bool operator!=(Rgba x, Rgba y) { return !(x == y); }

struct Point {
    double x = 0, y = 0;
};

// Integer rectangle in twips (SWF RECT).
struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// SWF MATRIX: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
// a = ScaleX, b = RotateSkew0, c = RotateSkew1, d = ScaleY; tx, ty in twips
// (or in whatever unit the outer matrix maps from).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    Point applyVector(Point p) const { return {a * p.x + c * p.y, b * p.x + d * p.y}; }
    double determinant() const { return a * d - b * c; }
};

// outer * inner: first `inner`, then `outer` (a child's matrix inside its parent's).
inline Matrix operator*(const Matrix& outer, const Matrix& inner)
{
    Matrix m;
    m.a = outer.a * inner.a + outer.c * inner.b;
    m.b = outer.b * inner.a + outer.d * inner.b;
    m.c = outer.a * inner.c + outer.c * inner.d;
    m.d = outer.b * inner.c + outer.d * inner.d;
    m.tx = outer.a * inner.tx + outer.c * inner.ty + outer.tx;
    m.ty = outer.b * inner.tx + outer.d * inner.ty + outer.ty;
    return m;
}

// SWF CXFORM(WITHALPHA): channel' = channel * mul + add, clamped to 0..255,
// applied to straight colours. mul is the 8.8 multiplier as a plain factor
// (256 -> 1.0); add is in channel units (-255..255 after concatenation may
// exceed that; clamp only when applying).
struct ColorTransform {
    float mulR = 1, mulG = 1, mulB = 1, mulA = 1;
    float addR = 0, addG = 0, addB = 0, addA = 0;

    bool isIdentity() const
    {
        return mulR == 1 && mulG == 1 && mulB == 1 && mulA == 1 && addR == 0 && addG == 0 && addB == 0 &&
               addA == 0;
    }
    Rgba apply(Rgba c) const
    {
        return {channel(c.r, mulR, addR), channel(c.g, mulG, addG), channel(c.b, mulB, addB),
                channel(c.a, mulA, addA)};
    }

private:
    static uint8_t channel(uint8_t v, float mul, float add)
    {
        float x = v * mul + add;
        return static_cast<uint8_t>(x <= 0 ? 0 : x >= 255 ? 255 : static_cast<int>(x));
    }
};

// outer * inner: `inner` applies first (a child's transform inside its parent's).
inline ColorTransform operator*(const ColorTransform& outer, const ColorTransform& inner)
{
    ColorTransform t;
    t.mulR = outer.mulR * inner.mulR;
    t.mulG = outer.mulG * inner.mulG;
    t.mulB = outer.mulB * inner.mulB;
    t.mulA = outer.mulA * inner.mulA;
    t.addR = inner.addR * outer.mulR + outer.addR;
    t.addG = inner.addG * outer.mulG + outer.addG;
    t.addB = inner.addB * outer.mulB + outer.addB;
    t.addA = inner.addA * outer.mulA + outer.addA;
    return t;
}

} // namespace swf
