#include "swfcontrol/SwfReader.h"

#include <zlib.h>

#if QP_SWF_LZMA
#include "swfcontrol/engine/format/Decompress.h"
#endif

#include <algorithm>
#include <cctype>
#include <climits>

namespace swf {

namespace {

constexpr std::size_t headerBytes = 8;
// Signature and length, a RECT of zero-bit fields, frame rate and count.
constexpr uint32_t minimalMovieBytes = headerBytes + 1 + 2 + 2;

enum TagCode : unsigned {
    tagEnd = 0,
    tagShowFrame = 1,
    tagSetBackgroundColor = 9,
    tagDoAction = 12,
};

constexpr unsigned char actionGetUrl = 0x83;

uint16_t readU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t readU32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

ReadResult failure(ReadResult result, std::string reason)
{
    result.ok = false;
    result.reason = std::move(reason);
    return result;
}

bool looksLikeMarkup(const unsigned char* data, std::size_t size)
{
    std::size_t i = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        i = 3;
    while (i < size && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return i < size && data[i] == '<';
}

// Inflates at most `limit` bytes: what lies beyond the declared length is never
// produced, so a small file cannot make the reader allocate more than it declared.
enum class InflateEnd { Complete, InputEnded, Damaged };

InflateEnd inflateBody(const unsigned char* in, std::size_t inSize, std::size_t limit,
                       std::vector<unsigned char>& out)
{
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK)
        return InflateEnd::Damaged;
    out.clear();
    std::size_t produced = 0;
    InflateEnd end = InflateEnd::InputEnded;
    const unsigned char* next = in;
    std::size_t remaining = inSize;
    while (produced < limit) {
        if (produced == out.size()) {
            std::size_t grown = std::max<std::size_t>(out.size() * 2, 64 * 1024);
            out.resize(std::min(grown, limit));
        }
        std::size_t inChunk = std::min<std::size_t>(remaining, UINT_MAX);
        std::size_t outChunk = std::min<std::size_t>(out.size() - produced, UINT_MAX);
        stream.next_in = const_cast<unsigned char*>(next);
        stream.avail_in = static_cast<uInt>(inChunk);
        stream.next_out = out.data() + produced;
        stream.avail_out = static_cast<uInt>(outChunk);
        int status = inflate(&stream, Z_NO_FLUSH);
        std::size_t consumed = inChunk - stream.avail_in;
        next += consumed;
        remaining -= consumed;
        produced += outChunk - stream.avail_out;
        if (status == Z_STREAM_END) {
            end = InflateEnd::Complete;
            break;
        }
        if (status == Z_BUF_ERROR) {
            end = remaining == 0 ? InflateEnd::InputEnded : InflateEnd::Damaged;
            break;
        }
        if (status != Z_OK) {
            end = InflateEnd::Damaged;
            break;
        }
    }
    if (produced == limit)
        end = InflateEnd::Complete;
    inflateEnd(&stream);
    out.resize(produced);
    return end;
}

class BitReader {
public:
    BitReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    bool read(unsigned bits, uint32_t* value)
    {
        uint32_t v = 0;
        for (unsigned i = 0; i < bits; ++i) {
            std::size_t byte = bit_ / 8;
            if (byte >= size_)
                return false;
            v = (v << 1) | ((data_[byte] >> (7 - bit_ % 8)) & 1u);
            ++bit_;
        }
        *value = v;
        return true;
    }

    bool readSigned(unsigned bits, int32_t* value)
    {
        uint32_t raw = 0;
        if (!read(bits, &raw))
            return false;
        if (bits > 0 && (raw & (1u << (bits - 1))))
            *value = static_cast<int32_t>(static_cast<int64_t>(raw) - (int64_t(1) << bits));
        else
            *value = static_cast<int32_t>(raw);
        return true;
    }

    std::size_t bytesUsed() const { return (bit_ + 7) / 8; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t bit_ = 0;
};

bool startsWithFsCommand(const std::string& url)
{
    static const char prefix[] = "fscommand:";
    if (url.size() < sizeof prefix - 1)
        return false;
    for (std::size_t i = 0; i + 1 < sizeof prefix; ++i) {
        if (std::tolower(static_cast<unsigned char>(url[i])) != prefix[i])
            return false;
    }
    return true;
}

std::string cString(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char* start = p;
    while (p < end && *p)
        ++p;
    std::string text(reinterpret_cast<const char*>(start), static_cast<std::size_t>(p - start));
    if (p < end)
        ++p;
    return text;
}

// Only getURL("FSCommand:...") is understood; this control runs no ActionScript.
void readActions(const unsigned char* p, const unsigned char* end, uint32_t frame,
                 const Limits& limits, Movie& movie)
{
    while (p < end && *p != 0) {
        unsigned char code = *p++;
        if (code < 0x80)
            continue;
        if (end - p < 2)
            return;
        std::size_t length = readU16(p);
        p += 2;
        if (static_cast<std::size_t>(end - p) < length)
            return;
        const unsigned char* payloadEnd = p + length;
        if (code == actionGetUrl && movie.fsCommands.size() < limits.maxFsCommands) {
            const unsigned char* q = p;
            std::string url = cString(q, payloadEnd);
            std::string target = cString(q, payloadEnd);
            if (startsWithFsCommand(url))
                movie.fsCommands.push_back({frame, url.substr(10), target});
        }
        p = payloadEnd;
    }
}

void readTags(const unsigned char* p, const unsigned char* end, const Limits& limits, Movie& movie)
{
    while (end - p >= 2) {
        uint16_t codeAndLength = readU16(p);
        p += 2;
        unsigned code = codeAndLength >> 6;
        std::size_t length = codeAndLength & 0x3f;
        if (length == 0x3f) {
            if (end - p < 4)
                break;
            length = readU32(p);
            p += 4;
        }
        if (static_cast<std::size_t>(end - p) < length)
            break;
        ++movie.tagCount;
        switch (code) {
        case tagEnd:
            movie.endTag = true;
            return;
        case tagShowFrame:
            ++movie.showFrameTags;
            break;
        case tagSetBackgroundColor:
            if (length >= 3 && !movie.hasBackground) {
                movie.hasBackground = true;
                movie.red = p[0];
                movie.green = p[1];
                movie.blue = p[2];
            }
            break;
        case tagDoAction:
            readActions(p, p + length, movie.showFrameTags, limits, movie);
            break;
        default:
            break;
        }
        p += length;
    }
    movie.truncated = true;
}

std::string megabytes(std::size_t bytes)
{
    return std::to_string(bytes / (1024 * 1024)) + " MB";
}

} // namespace

uint32_t Movie::frameCount() const
{
    if (headerFrameCount > 0)
        return headerFrameCount;
    return showFrameTags > 0 ? showFrameTags : 1;
}

ReadResult readMovie(const unsigned char* data, std::size_t size, const Limits& limits)
{
    ReadResult result;
    Movie& movie = result.movie;
    movie.red = movie.green = movie.blue = 0xff;
    if (size == 0)
        return failure(result, "Not a SWF movie: the file is empty.");
    if (looksLikeMarkup(data, size))
        return failure(result, "Not a SWF movie: this is a web page or other markup, not a movie.");

    static const char* const signatures[] = {"FWS", "CWS", "ZWS"};
    static const Compression kinds[] = {Compression::None, Compression::Zlib, Compression::Lzma};
    bool known = false;
    std::size_t compared = std::min<std::size_t>(size, 3);
    for (int i = 0; i < 3 && !known; ++i) {
        if (std::equal(data, data + compared, reinterpret_cast<const unsigned char*>(signatures[i]))) {
            known = true;
            movie.compression = kinds[i];
        }
    }
    if (!known)
        return failure(result, "Not a SWF movie: it does not begin with FWS, CWS or ZWS.");
    if (size < headerBytes)
        return failure(result, "Not a SWF movie: the file ends inside its header.");
    movie.version = data[3];
    movie.declaredLength = readU32(data + 4);

#if !QP_SWF_LZMA
    if (movie.compression == Compression::Lzma)
        return failure(result, "Not supported: this movie is LZMA-compressed (ZWS), which this player does not read.");
#endif
    if (movie.declaredLength < minimalMovieBytes)
        return failure(result, "Not a SWF movie: its header declares a length of only " +
                                   std::to_string(movie.declaredLength) + " bytes.");
    if (movie.declaredLength > limits.maxMovieBytes)
        return failure(result, "Movie too large: it declares " + std::to_string(movie.declaredLength) +
                                   " bytes; this player reads at most " + megabytes(limits.maxMovieBytes) + ".");

    std::size_t wanted = movie.declaredLength - headerBytes;
    std::vector<unsigned char> inflated;
    const unsigned char* body = data + headerBytes;
    std::size_t bodySize = std::min(size - headerBytes, wanted);
    bool shortBody = size - headerBytes < wanted;
    if (movie.compression == Compression::Zlib) {
        InflateEnd end = inflateBody(data + headerBytes, size - headerBytes, wanted, inflated);
        if (end == InflateEnd::Damaged)
            return failure(result, "Not a SWF movie: its compressed data is damaged.");
        body = inflated.data();
        bodySize = inflated.size();
        shortBody = bodySize < wanted;
    }
#if QP_SWF_LZMA
    if (movie.compression == Compression::Lzma) {
        std::string reason;
        if (!decompressLzmaSwf(data, size, wanted, inflated, reason))
            return failure(result, reason);
        body = inflated.data();
        bodySize = inflated.size();
        shortBody = bodySize < wanted;
    }
#endif

    BitReader bits(body, bodySize);
    uint32_t fieldBits = 0;
    bool complete = bits.read(5, &fieldBits) && bits.readSigned(fieldBits, &movie.xMin) &&
                    bits.readSigned(fieldBits, &movie.xMax) && bits.readSigned(fieldBits, &movie.yMin) &&
                    bits.readSigned(fieldBits, &movie.yMax);
    std::size_t pos = bits.bytesUsed();
    if (!complete || bodySize - pos < 4)
        return failure(result, "Not a SWF movie: the file ends inside its header.");
    movie.frameRate = readU16(body + pos);
    movie.headerFrameCount = readU16(body + pos + 2);
    pos += 4;

    int64_t widthTwips = int64_t(movie.xMax) - movie.xMin;
    int64_t heightTwips = int64_t(movie.yMax) - movie.yMin;
    if (widthTwips < 20 || heightTwips < 20 || widthTwips / 20 > maxStagePixels ||
        heightTwips / 20 > maxStagePixels)
        return failure(result, "Not a SWF movie: its stage of " + std::to_string(widthTwips / 20) + " x " +
                                   std::to_string(heightTwips / 20) + " pixels is impossible.");

    readTags(body + pos, body + bodySize, limits, movie);
    if (shortBody)
        movie.truncated = true;
    result.ok = true;
    return result;
}

} // namespace swf
