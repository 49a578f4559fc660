#include "swfcontrol/engine/format/BitReader.h"

#include <cstring>

namespace swf {

uint8_t BitReader::u8()
{
    bitCount_ = 0;
    if (pos_ >= size_) {
        failed_ = true;
        return 0;
    }
    return data_[pos_++];
}

uint16_t BitReader::u16()
{
    uint16_t lo = u8();
    return static_cast<uint16_t>(lo | (u8() << 8));
}

uint32_t BitReader::u32()
{
    uint32_t lo = u16();
    return lo | (static_cast<uint32_t>(u16()) << 16);
}

float BitReader::f32()
{
    const uint32_t bits = u32();
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void BitReader::skip(std::size_t bytes)
{
    bitCount_ = 0;
    if (bytes > remaining()) {
        failed_ = true;
        pos_ = size_;
        return;
    }
    pos_ += bytes;
}

std::string BitReader::string()
{
    bitCount_ = 0;
    std::size_t start = pos_;
    while (pos_ < size_ && data_[pos_] != 0)
        ++pos_;
    if (pos_ >= size_) {
        failed_ = true;
        return std::string();
    }
    std::string s(reinterpret_cast<const char*>(data_ + start), pos_ - start);
    ++pos_;
    return s;
}

BitReader BitReader::sub(std::size_t bytes)
{
    bitCount_ = 0;
    if (bytes > remaining()) {
        failed_ = true;
        bytes = remaining();
    }
    BitReader r(data_ + pos_, bytes);
    pos_ += bytes;
    return r;
}

uint32_t BitReader::ubits(unsigned count)
{
    uint32_t v = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (bitCount_ == 0) {
            if (pos_ >= size_) {
                failed_ = true;
                return 0;
            }
            bits_ = data_[pos_++];
            bitCount_ = 8;
        }
        --bitCount_;
        v = (v << 1) | ((bits_ >> bitCount_) & 1u);
    }
    return v;
}

int32_t BitReader::sbits(unsigned count)
{
    if (count == 0)
        return 0;
    uint32_t v = ubits(count);
    if (count < 32 && (v & (1u << (count - 1))))
        v |= ~0u << count;
    return static_cast<int32_t>(v);
}

Rect BitReader::rect()
{
    align();
    unsigned n = ubits(5);
    Rect r;
    r.xMin = sbits(n);
    r.xMax = sbits(n);
    r.yMin = sbits(n);
    r.yMax = sbits(n);
    align();
    return r;
}

Matrix BitReader::matrix()
{
    align();
    Matrix m;
    if (flag()) {
        unsigned n = ubits(5);
        m.a = fbits(n);
        m.d = fbits(n);
    }
    if (flag()) {
        unsigned n = ubits(5);
        m.b = fbits(n);
        m.c = fbits(n);
    }
    unsigned n = ubits(5);
    m.tx = sbits(n);
    m.ty = sbits(n);
    align();
    return m;
}

Rgba BitReader::rgb()
{
    Rgba c;
    c.r = u8();
    c.g = u8();
    c.b = u8();
    return c;
}

Rgba BitReader::rgba()
{
    Rgba c = rgb();
    c.a = u8();
    return c;
}

ColorTransform BitReader::cxform(bool withAlpha)
{
    align();
    ColorTransform t;
    bool hasAdd = flag();
    bool hasMul = flag();
    unsigned n = ubits(4);
    if (hasMul) {
        t.mulR = sbits(n) / 256.0f;
        t.mulG = sbits(n) / 256.0f;
        t.mulB = sbits(n) / 256.0f;
        if (withAlpha)
            t.mulA = sbits(n) / 256.0f;
    }
    if (hasAdd) {
        t.addR = static_cast<float>(sbits(n));
        t.addG = static_cast<float>(sbits(n));
        t.addB = static_cast<float>(sbits(n));
        if (withAlpha)
            t.addA = static_cast<float>(sbits(n));
    }
    align();
    return t;
}

} // namespace swf
