#include "swfcontrol/MovieRuntime.h"

FrameCounterRuntime::FrameCounterRuntime(const swf::Movie& movie)
    : total_(movie.frameCount()),
      background_((uint32_t(movie.red) << 16) | (uint32_t(movie.green) << 8) | movie.blue),
      commands_(movie.fsCommands)
{
}

void FrameCounterRuntime::start() { enter(0); }

void FrameCounterRuntime::enter(uint32_t frame)
{
    frame_ = frame;
    if (!handler_)
        return;
    for (const swf::FsCommand& command : commands_) {
        if (command.frame == frame)
            handler_(command.command, command.args);
    }
}

void FrameCounterRuntime::gotoFrame(uint32_t frame)
{
    uint32_t last = total_ - 1;
    uint32_t target = frame < last ? frame : last;
    if (target != frame_)
        enter(target);
}

void FrameCounterRuntime::rewind()
{
    playing_ = false;
    gotoFrame(0);
}

void FrameCounterRuntime::forward()
{
    playing_ = false;
    if (frame_ + 1 < total_)
        enter(frame_ + 1);
}

void FrameCounterRuntime::back()
{
    playing_ = false;
    if (frame_ > 0)
        enter(frame_ - 1);
}

void FrameCounterRuntime::advance()
{
    if (!playing_ || total_ <= 1)
        return;
    if (frame_ + 1 < total_) {
        enter(frame_ + 1);
    } else if (loop_) {
        enter(0);
    } else {
        playing_ = false;
    }
}
