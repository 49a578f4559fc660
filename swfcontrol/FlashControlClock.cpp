#include "swfcontrol/FlashControl.h"

#include <cmath>

#include "movie/WindowsText.h"

#include "swfcontrol/FlashControlParts.h"

using namespace flash_control;

namespace {

// Faster movies are shown at this rate; their frames still follow the clock.
constexpr uint16_t fastestFrameRate = 120 << 8;

// SWF 6 and later keep strings in UTF-8; earlier ones in the author's code page.
std::wstring widenMovieText(const std::string& text, unsigned version)
{
    return widenText(text, version >= 6 ? CP_UTF8 : CP_ACP);
}

} // namespace

// ---- Playing ----

uint64_t FlashControl::framesElapsed() const
{
    uint16_t rate = stage_.frameRate < fastestFrameRate ? stage_.frameRate : fastestFrameRate;
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    double seconds = static_cast<double>(now.QuadPart - playStart_.QuadPart) / static_cast<double>(frequency.QuadPart);
    return static_cast<uint64_t>(seconds * rate / 256.0);
}

void FlashControl::startPlaying()
{
    QueryPerformanceCounter(&playStart_);
    shownFrames_ = 0;
    stage_.frame = 0;
    scheduleFrameTimer();
    runFrameActions(0);
}

// One timer for the next frame's start, set anew at each frame: the frames
// keep pace with the clock, and a still movie costs nothing.
void FlashControl::scheduleFrameTimer()
{
    if (!stageWindow_)
        return;
    uint16_t rate = stage_.frameRate < fastestFrameRate ? stage_.frameRate : fastestFrameRate;
    if (stage_.status != StageStatus::Playing || stage_.frameCount <= 1 || rate == 0) {
        KillTimer(stageWindow_, frameTimer);
        return;
    }
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    double seconds = static_cast<double>(now.QuadPart - playStart_.QuadPart) / static_cast<double>(frequency.QuadPart);
    double fps = rate / 256.0;
    double next = (std::floor(seconds * fps) + 1) / fps;
    UINT delay = static_cast<UINT>(std::ceil((next - seconds) * 1000.0));
    SetTimer(stageWindow_, frameTimer, delay ? delay : 1, nullptr);
}

void FlashControl::onFrameTimer()
{
    if (stage_.status != StageStatus::Playing || !stageWindow_)
        return;
    uint64_t now = framesElapsed();
    if (now != shownFrames_) {
        uint32_t count = stage_.frameCount ? stage_.frameCount : 1;
        uint64_t first = now - shownFrames_ > count ? now - count + 1 : shownFrames_ + 1;
        shownFrames_ = now;
        stage_.frame = static_cast<uint32_t>(now % count);
        RECT client;
        GetClientRect(stageWindow_, &client);
        RECT indicator = frameIndicatorRect(client, stage_);
        // Once the stage has moved on the screen, the whole of it, as the real
        // control draws every frame: a container that moves us while it
        // resizes may then erase its background over the bits that were moved
        // with us (a parent without WS_CLIPCHILDREN), without invalidating us.
        RECT onScreen;
        GetWindowRect(stageWindow_, &onScreen);
        bool moved = onScreen.left != shownAt_.x || onScreen.top != shownAt_.y;
        shownAt_ = {onScreen.left, onScreen.top};
        InvalidateRect(stageWindow_, moved ? nullptr : &indicator, FALSE);
        if (!fsCommands_.empty()) {
            AddRef(); // an event sink may release the control
            WPARAM generation = generation_;
            for (uint64_t frame = first; frame <= now && generation == generation_; ++frame)
                runFrameActions(static_cast<uint32_t>(frame % count));
            bool replaced = generation != generation_;
            Release();
            if (replaced)
                return;
        }
    }
    scheduleFrameTimer();
}

void FlashControl::runFrameActions(uint32_t frame)
{
    std::vector<std::pair<std::wstring, std::wstring>> due;
    for (const swf::FsCommand& command : fsCommands_) {
        if (command.frame == frame)
            due.emplace_back(widenMovieText(command.command, stage_.version),
                             widenMovieText(command.args, stage_.version));
    }
    for (const auto& command : due)
        events_.fireFsCommand(command.first.c_str(), command.second.c_str());
}
