// Reads the SWF format's little-endian bytes and big-endian bit fields from
// one bounded span. Reading past the end never touches memory beyond it: it
// yields zeros and sets a sticky failure flag that callers check once at the
// end of a record, which keeps the record readers free of checks per field.
#pragma once

#include "swfcontrol/engine/format/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace swf {

class BitReader {
public:
    BitReader() = default;
    BitReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool failed() const { return failed_; }
    bool atEnd() const { return pos_ >= size_; }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
    const uint8_t* current() const { return data_ + (pos_ < size_ ? pos_ : size_); }
    void fail() { failed_ = true; }

    // Byte-aligned reads drop any partly read byte first, as the format does.
    void align() { bitCount_ = 0; }
    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    int16_t s16() { return static_cast<int16_t>(u16()); }
    float fixed8() { return s16() / 256.0f; }
    double fixed16() { return static_cast<int32_t>(u32()) / 65536.0; }
    float f32(); // IEEE single precision
    void skip(std::size_t bytes);
    // A NUL-terminated string; without its NUL the reader fails.
    std::string string();
    // A sub-reader over the next `bytes` bytes, which this reader skips.
    BitReader sub(std::size_t bytes);

    uint32_t ubits(unsigned count);
    int32_t sbits(unsigned count);
    // FB[count]: 16.16 fixed point.
    double fbits(unsigned count) { return sbits(count) / 65536.0; }
    bool flag() { return ubits(1) != 0; }

    Rect rect();
    Matrix matrix();
    Rgba rgb();
    Rgba rgba();
    ColorTransform cxform(bool withAlpha);

private:
    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    uint8_t bits_ = 0;
    unsigned bitCount_ = 0; // unread bits left in bits_
    bool failed_ = false;
};

} // namespace swf
