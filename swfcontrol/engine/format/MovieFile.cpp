#include "swfcontrol/engine/format/MovieFile.h"

#include "swfcontrol/engine/format/Decompress.h"

#include <zlib.h>

#include <algorithm>

namespace swf {

namespace {

// A stream that ends early keeps what came out, as Flash Player shows the
// frames of a cut download.
bool inflateBody(const uint8_t* in, std::size_t inSize, std::size_t limit, std::vector<uint8_t>& out,
                 std::string& reason)
{
    int status = inflateCapped(in, inSize, limit, out);
    if (out.empty() && status != Z_STREAM_END && status != Z_OK) {
        reason = "The movie's compressed data is damaged.";
        return false;
    }
    return true;
}

} // namespace

bool readMovieFile(const uint8_t* file, std::size_t size, MovieFile& out, std::string& reason,
                   const MovieLimits& limits)
{
    out = MovieFile();
    if (size < 8 || file[1] != 'W' || file[2] != 'S' || (file[0] != 'F' && file[0] != 'C' && file[0] != 'Z')) {
        reason = "Not a SWF movie: the file does not start with a SWF signature.";
        return false;
    }
    out.version = file[3];
    out.declaredLength = static_cast<uint32_t>(file[4] | (file[5] << 8) | (file[6] << 16)) |
                         (static_cast<uint32_t>(file[7]) << 24);
    if (out.declaredLength < 8) {
        reason = "Not a SWF movie: its declared length is too small.";
        return false;
    }
    std::size_t bodyLength = std::min<std::size_t>(out.declaredLength - 8, limits.maxMovieBytes);
    if (file[0] == 'F') {
        std::size_t available = std::min(bodyLength, size - 8);
        out.data.assign(file + 8, file + 8 + available);
    } else if (file[0] == 'C') {
        if (!inflateBody(file + 8, size - 8, bodyLength, out.data, reason))
            return false;
    } else if (!decompressLzmaSwf(file, size, bodyLength, out.data, reason)) {
        return false;
    }
    out.truncated = out.data.size() < out.declaredLength - 8;

    BitReader r(out.data.data(), out.data.size());
    out.stage = r.rect();
    r.align();
    out.frameRate = r.u16();
    out.frameCount = r.u16();
    if (r.failed()) {
        reason = "Not a SWF movie: the header is cut short.";
        return false;
    }
    out.tagsOffset = r.position();
    return true;
}

std::vector<Tag> splitTags(const uint8_t* data, std::size_t size, bool* truncated)
{
    std::vector<Tag> tags;
    BitReader r(data, size);
    bool cut = false;
    while (!r.atEnd()) {
        uint16_t header = r.u16();
        std::size_t length = header & 0x3f;
        if (length == 0x3f)
            length = r.u32();
        if (r.failed() || length > r.remaining()) {
            cut = true;
            break;
        }
        Tag tag;
        tag.code = static_cast<uint16_t>(header >> 6);
        tag.body = r.current();
        tag.size = length;
        r.skip(length);
        if (tag.code == TagEnd)
            break;
        tags.push_back(tag);
    }
    if (truncated)
        *truncated = cut;
    return tags;
}

} // namespace swf
