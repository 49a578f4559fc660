// Any bytes at all, as a movie, through the whole engine: loading, a few
// ticks, the mouse, going back in time and drawing. Nothing may crash, read
// out of bounds, hang or take memory without bound.
#include <cstddef>
#include <cstdint>
#include <string>

#include "swfcontrol/engine/draw/Renderer.h"
#include "swfcontrol/engine/timeline/MoviePlayer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    swf::PlayerLimits limits;
    limits.maxMovieBytes = 4u * 1024u * 1024u;
    swf::MoviePlayer player;
    std::string reason;
    if (!player.load(data, size, reason, limits)) {
        if (reason.empty())
            __builtin_trap();
        return 0;
    }
    // Large stages only cost time here; the drawing of their content is the
    // same at any size.
    bool draw = player.stageWidth() <= 512 && player.stageHeight() <= 512;
    swf::Renderer renderer;
    for (int tick = 0; tick < 4; ++tick) {
        player.advance();
        player.mouseMove(tick * 7.0, tick * 5.0);
        if (tick == 1)
            player.mouseDown();
        if (tick == 2)
            player.mouseUp();
        if (draw)
            player.render(renderer);
    }
    player.setQuality(swf::Quality::Low);
    player.gotoFrame(0);
    if (draw)
        player.render(renderer);
    return 0;
}
