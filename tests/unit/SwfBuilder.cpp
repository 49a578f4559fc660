#include "unit/SwfBuilder.h"

#include <zlib.h>

#include <algorithm>

namespace swftest {

namespace {

void putU16(Bytes& out, unsigned value)
{
    out.push_back(static_cast<unsigned char>(value & 0xff));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xff));
}

void putU32(Bytes& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xff));
}

unsigned bitsFor(int32_t value)
{
    unsigned bits = 1;
    while (bits < 32) {
        int64_t low = -(int64_t(1) << (bits - 1));
        int64_t high = (int64_t(1) << (bits - 1)) - 1;
        if (value >= low && value <= high)
            break;
        ++bits;
    }
    return bits;
}

class BitWriter {
public:
    explicit BitWriter(Bytes& out) : out_(out) {}
    void put(unsigned bits, uint32_t value)
    {
        for (unsigned i = bits; i-- > 0;) {
            if (used_ == 0)
                out_.push_back(0);
            if ((value >> i) & 1u)
                out_.back() |= static_cast<unsigned char>(0x80u >> used_);
            used_ = (used_ + 1) % 8;
        }
    }

private:
    Bytes& out_;
    unsigned used_ = 0;
};

Bytes getUrlAction(const std::string& url, const std::string& target)
{
    Bytes actions;
    actions.push_back(0x83);
    putU16(actions, static_cast<unsigned>(url.size() + target.size() + 2));
    actions.insert(actions.end(), url.begin(), url.end());
    actions.push_back(0);
    actions.insert(actions.end(), target.begin(), target.end());
    actions.push_back(0);
    actions.push_back(0); // ActionEnd
    return actions;
}

Bytes withHeader(char signature, unsigned version, uint32_t length)
{
    Bytes out = {static_cast<unsigned char>(signature), 'W', 'S', static_cast<unsigned char>(version)};
    putU32(out, length);
    return out;
}

} // namespace

Bytes tag(unsigned code, const Bytes& payload, bool longHeader)
{
    Bytes out;
    if (longHeader || payload.size() >= 0x3f) {
        putU16(out, (code << 6) | 0x3f);
        putU32(out, static_cast<uint32_t>(payload.size()));
    } else {
        putU16(out, (code << 6) | static_cast<unsigned>(payload.size()));
    }
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes movieBody(const MovieFields& fields)
{
    Bytes body;
    unsigned bits = 0;
    for (int32_t v : {fields.xMin, fields.xMax, fields.yMin, fields.yMax})
        bits = std::max(bits, bitsFor(v));
    BitWriter writer(body);
    writer.put(5, bits);
    for (int32_t v : {fields.xMin, fields.xMax, fields.yMin, fields.yMax})
        writer.put(bits, static_cast<uint32_t>(v));
    putU16(body, fields.frameRate);
    putU16(body, fields.headerFrameCount);
    if (fields.background) {
        Bytes tail = tag(9, {fields.red, fields.green, fields.blue});
        body.insert(body.end(), tail.begin(), tail.end());
    }
    for (uint32_t frame = 0; frame < fields.showFrames; ++frame) {
        for (const FrameCommand& c : fields.commands) {
            if (c.frame == frame) {
                Bytes action = tag(12, getUrlAction("FSCommand:" + c.command, c.args));
                body.insert(body.end(), action.begin(), action.end());
            }
        }
        Bytes show = tag(1, {});
        body.insert(body.end(), show.begin(), show.end());
    }
    if (fields.endTag) {
        Bytes end = tag(0, {});
        body.insert(body.end(), end.begin(), end.end());
    }
    return body;
}

Bytes compressedFile(const Bytes& body, unsigned version, uint32_t declaredLength)
{
    uLongf packedSize = compressBound(static_cast<uLong>(body.size()));
    Bytes packed(packedSize);
    compress2(packed.data(), &packedSize, body.data(), static_cast<uLong>(body.size()), 9);
    packed.resize(packedSize);
    Bytes out = withHeader('C', version, declaredLength);
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
}

Bytes plainFile(const Bytes& body, unsigned version, uint32_t declaredLength)
{
    Bytes out = withHeader('F', version, declaredLength);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes movieFile(const MovieFields& fields)
{
    Bytes body = movieBody(fields);
    uint32_t length = fields.overrideLength ? fields.declaredLength : static_cast<uint32_t>(body.size() + 8);
    if (fields.signature == 'C')
        return compressedFile(body, fields.version, length);
    Bytes out = withHeader(fields.signature, fields.version, length);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace swftest
