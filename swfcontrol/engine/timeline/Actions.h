// The ActionScript 1 subset the engine runs from DoAction and button
// actions: timeline control (Stop, Play, NextFrame, PreviousFrame, GotoFrame,
// GotoLabel, GotoFrame2 with a pushed constant) and GetURL/GetURL2 with
// constant arguments. Every other action is stepped over by its length.
#pragma once

#include <cstddef>
#include <cstdint>
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
};

// Runs action records until their end, the end of the data or `maxSteps`
// actions (jumps make loops possible).
void runActions(const uint8_t* code, std::size_t size, ActionHost& host, std::size_t maxSteps = 100000);

} // namespace swf
