// Reads what the stand-in control shows of a SWF movie: the header (signature,
// version, stage, frame rate, frame count) and the tag list (background colour,
// frames, FSCommand requests). No Windows API, so it is built and fuzzed
// natively too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "movie/MovieLimits.h"

namespace swf {

enum class Compression { None, Zlib, Lzma };

// An FSCommand request found in a frame's actions: getURL("FSCommand:cmd", args).
struct FsCommand {
    uint32_t frame = 0; // 0-based frame in which it runs
    std::string command;
    std::string args;
};

struct Movie {
    Compression compression = Compression::None;
    unsigned version = 0;
    uint32_t declaredLength = 0; // the header's length field: the whole uncompressed file
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0; // stage rectangle in twips
    uint16_t frameRate = 0; // 8.8 fixed point, frames per second
    uint16_t headerFrameCount = 0;
    uint32_t showFrameTags = 0;
    uint32_t tagCount = 0;
    bool hasBackground = false;
    uint8_t red = 0, green = 0, blue = 0; // white unless a SetBackgroundColor tag says otherwise
    bool endTag = false;
    bool truncated = false; // the tag list stops before its End tag or the declared length
    std::vector<FsCommand> fsCommands;

    int widthPixels() const { return (xMax - xMin) / 20; }
    int heightPixels() const { return (yMax - yMin) / 20; }
    double framesPerSecond() const { return frameRate / 256.0; }
    // At least 1: a movie whose header counts no frames still shows one.
    uint32_t frameCount() const;
};

struct Limits {
    // The most bytes of uncompressed movie this reader will hold: a declared
    // length beyond it is refused, and inflating never goes past it.
    std::size_t maxMovieBytes = ::maxMovieBytes;
    std::size_t maxFsCommands = 256;
};

// The stage may be at most this many pixels wide or high.
constexpr int maxStagePixels = maxStageDimension;

struct ReadResult {
    bool ok = false;
    // A short plain sentence for the user when !ok, e.g. "Not a SWF movie: ...".
    std::string reason;
    Movie movie;
};

ReadResult readMovie(const unsigned char* data, std::size_t size, const Limits& limits = Limits());

} // namespace swf
