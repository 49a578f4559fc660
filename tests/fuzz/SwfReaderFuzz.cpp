// Any bytes at all, as a movie: the reader must neither crash, nor read out of
// bounds, nor take more memory than its limit allows.
#include <cstddef>
#include <cstdint>

#include "swfcontrol/SwfReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    swf::Limits limits;
    limits.maxMovieBytes = 1024 * 1024;
    swf::ReadResult result = swf::readMovie(data, size, limits);
    if (result.ok) {
        const swf::Movie& movie = result.movie;
        if (movie.widthPixels() < 1 || movie.widthPixels() > swf::maxStagePixels ||
            movie.heightPixels() < 1 || movie.heightPixels() > swf::maxStagePixels || movie.frameCount() < 1 ||
            movie.fsCommands.size() > limits.maxFsCommands)
            __builtin_trap();
    } else if (result.reason.empty()) {
        __builtin_trap();
    }
    return 0;
}
