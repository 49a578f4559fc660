// Writes SWF movies for the tests: a header with the fields a test asks for,
// then SetBackgroundColor, DoAction/ShowFrame tags and End.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swftest {

using Bytes = std::vector<unsigned char>;

struct FrameCommand {
    uint32_t frame;
    std::string command;
    std::string args;
};

struct MovieFields {
    char signature = 'F'; // 'F' plain, 'C' zlib, 'Z' (header only: no LZMA body)
    unsigned version = 10;
    int32_t xMin = 0, xMax = 550 * 20, yMin = 0, yMax = 400 * 20; // twips
    uint16_t frameRate = 24 << 8;                                  // 8.8 fixed
    uint16_t headerFrameCount = 1;
    bool background = true;
    uint8_t red = 0x33, green = 0x66, blue = 0xcc;
    uint32_t showFrames = 1;
    bool endTag = true;
    std::vector<FrameCommand> commands;
    // When set, replaces the header's length field (otherwise the true length).
    bool overrideLength = false;
    uint32_t declaredLength = 0;
};

// A tag with the short or (forced or needed) long record header.
Bytes tag(unsigned code, const Bytes& payload, bool longHeader = false);

// The uncompressed body: RECT, frame rate, frame count, then the tags.
Bytes movieBody(const MovieFields& fields);

// A complete file; for 'C' the body is zlib-compressed after the 8-byte header.
Bytes movieFile(const MovieFields& fields);

// Any body under an FWS header with the given length field.
Bytes plainFile(const Bytes& body, unsigned version, uint32_t declaredLength);

// Compresses any body under a CWS header with the given length field.
Bytes compressedFile(const Bytes& body, unsigned version, uint32_t declaredLength);

} // namespace swftest
