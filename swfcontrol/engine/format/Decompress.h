// Decompression the format needs: zlib for CWS movies, lossless bitmaps and
// alpha planes, LZMA for ZWS movies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace swf {

// Inflates zlib data into `out`, which grows by doubling but never past
// `limit` bytes, so a small input cannot claim a large allocation up front.
// It stops at the limit, at the end of the stream or where the data is
// damaged; `out` then holds what came out. Returns zlib's last status
// (Z_STREAM_END when the stream was whole). May throw std::bad_alloc.
int inflateCapped(const uint8_t* in, std::size_t inSize, std::size_t limit, std::vector<uint8_t>& out);

// `file`/`size`: the whole ZWS file from its signature. On success `out` holds
// the uncompressed movie after the 8-byte SWF header (the RECT of the stage
// onwards), at most `maxBytes` long: a file that inflates further is cut
// there and still succeeds, as truncated zlib movies do. On failure returns
// false with a short plain reason.
bool decompressLzmaSwf(const uint8_t* file, std::size_t size, std::size_t maxBytes, std::vector<uint8_t>& out,
                       std::string& reason);

} // namespace swf
