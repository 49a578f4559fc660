#include "swfcontrol/engine/format/Decompress.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <climits>

namespace swf {

namespace {

// 'ZWS', version, uncompressed length, compressed length, then the five bytes
// of LZMA properties (lc/lp/pb and the dictionary size) and the raw stream.
constexpr std::size_t zwsHeaderBytes = 17;

uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

int inflateCapped(const uint8_t* in, std::size_t inSize, std::size_t limit, std::vector<uint8_t>& out)
{
    out.clear();
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK)
        return Z_MEM_ERROR;
    std::size_t produced = 0;
    std::size_t consumed = 0;
    int status = Z_OK;
    try {
        while (produced < limit) {
            if (produced == out.size())
                out.resize(std::min(limit, std::max<std::size_t>(out.size() * 2, 64 * 1024)));
            std::size_t inChunk = std::min<std::size_t>(inSize - consumed, UINT_MAX);
            std::size_t outChunk = std::min<std::size_t>(out.size() - produced, UINT_MAX);
            stream.next_in = const_cast<Bytef*>(in + consumed);
            stream.avail_in = static_cast<uInt>(inChunk);
            stream.next_out = out.data() + produced;
            stream.avail_out = static_cast<uInt>(outChunk);
            status = inflate(&stream, Z_NO_FLUSH);
            consumed += inChunk - stream.avail_in;
            produced += outChunk - stream.avail_out;
            if (status != Z_OK)
                break;
            if (consumed == inSize && stream.avail_out != 0)
                break;
        }
    } catch (...) {
        inflateEnd(&stream);
        throw;
    }
    inflateEnd(&stream);
    out.resize(produced);
    return status;
}

bool decompressLzmaSwf(const uint8_t* file, std::size_t size, std::size_t maxBytes, std::vector<uint8_t>& out,
                       std::string& reason)
{
    out.clear();
    if (size < zwsHeaderBytes) {
        reason = "Not a SWF movie: the file ends inside its header.";
        return false;
    }
    const uint8_t* props = file + 12;
    if (props[0] >= 9 * 5 * 5) {
        reason = "Not a SWF movie: its LZMA settings are impossible.";
        return false;
    }
    lzma_options_lzma options = {};
    options.lc = props[0] % 9;
    options.lp = (props[0] / 9) % 5;
    options.pb = props[0] / 45;
    // The decoder takes its whole dictionary up front, and a file may claim
    // 4 GB. No match can reach further back than the output may grow, so the
    // output cap bounds it without changing what decodes.
    std::size_t dictionary = std::min<std::size_t>(readU32(props + 1), maxBytes);
    options.dict_size = std::max<uint32_t>(static_cast<uint32_t>(dictionary), LZMA_DICT_SIZE_MIN);

    lzma_filter filters[2] = {};
    filters[0].id = LZMA_FILTER_LZMA1;
    filters[0].options = &options;
    filters[1].id = LZMA_VLI_UNKNOWN;
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) {
        reason = "Not a SWF movie: its LZMA settings are impossible.";
        return false;
    }

    // The compressed-length field is not trusted: the stream ends where the
    // file or the declared length does, whichever comes first.
    stream.next_in = file + zwsHeaderBytes;
    stream.avail_in = size - zwsHeaderBytes;
    std::size_t produced = 0;
    lzma_ret status = LZMA_OK;
    while (produced < maxBytes) {
        if (produced == out.size())
            out.resize(std::min(maxBytes, std::max<std::size_t>(out.size() * 2, 64 * 1024)));
        stream.next_out = out.data() + produced;
        stream.avail_out = out.size() - produced;
        status = lzma_code(&stream, LZMA_FINISH);
        produced = out.size() - stream.avail_out;
        if (status != LZMA_OK)
            break;
        if (stream.avail_in == 0 && stream.avail_out != 0)
            break; // input used up without filling the output: a cut file
    }
    lzma_end(&stream);
    out.resize(produced);
    // A stream cut short or damaged after some output still gives the frames
    // that arrived, as a cut zlib movie does.
    if (produced == 0 && maxBytes > 0 && status != LZMA_OK && status != LZMA_STREAM_END) {
        reason = "Not a SWF movie: its compressed data is damaged.";
        return false;
    }
    return true;
}

} // namespace swf
