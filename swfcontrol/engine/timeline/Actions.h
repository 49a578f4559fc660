// The ActionScript 1 subset the engine runs from DoAction and button
// actions: timeline control (Stop, Play, NextFrame, PreviousFrame, GotoFrame,
// GotoLabel, GotoFrame2 with a pushed constant), GetURL/GetURL2 with
// constant arguments, and the same control of a named clip (SetTarget, or
// play/stop/gotoAndPlay/gotoAndStop/nextFrame/prevFrame called on a clip
// named by constants). Every other action is stepped over by its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace swf {

// What actions do to the timeline that runs them.
class ActionHost {
public:
    virtual ~ActionHost() = default;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void nextFrame() = 0;
    virtual void previousFrame() = 0;
    virtual void gotoFrame(uint32_t frame, bool play) = 0; // 0-based
    virtual void gotoLabel(const std::string& label, bool play) = 0;
    virtual void getUrl(const std::string& url, const std::string& target) = 0;
    // Another timeline by its instance-name path ("mc", "a.b", "/a/b",
    // "_root", "this"), for SetTarget and the clip methods (mc.play(),
    // mc.gotoAndStop(3), ...); null when there is none.
    virtual std::shared_ptr<ActionHost> find(const std::string& path)
    {
        (void)path;
        return nullptr;
    }
};

// Runs action records until their end, the end of the data or `maxSteps`
// actions (jumps make loops possible).
void runActions(const uint8_t* code, std::size_t size, ActionHost& host, std::size_t maxSteps = 100000);

} // namespace swf
