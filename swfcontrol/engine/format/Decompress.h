// LZMA-compressed movies (ZWS). The movie file reader calls this; the
// implementation lives beside it and links liblzma.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace swf {

// `file`/`size`: the whole ZWS file from its signature. On success `out` holds
// the uncompressed movie after the 8-byte SWF header (the RECT of the stage
// onwards), at most `maxBytes` long: a file that inflates further is cut
// there and still succeeds, as truncated zlib movies do. On failure returns
// false with a short plain reason.
bool decompressLzmaSwf(const uint8_t* file, std::size_t size, std::size_t maxBytes, std::vector<uint8_t>& out,
                       std::string& reason);

} // namespace swf
