// What the control's COM shell drives once a movie has loaded: the root
// timeline, the clock's ticks, the mouse, and the picture of the current
// frame. The engine's movie player answers it where it can draw the movie;
// FrameCounterRuntime answers it from the reader's view of the movie (frames
// and FSCommand requests), and the shell then paints the stage itself.
// No Windows API.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "swfcontrol/SwfReader.h"

enum class RenderQuality { Low, High };

// A finished frame: premultiplied 0xAARRGGBB words, top row first.
struct FramePicture {
    const uint32_t* pixels = nullptr;
    int width = 0, height = 0;
};

class MovieRuntime {
public:
    using FsCommandHandler = std::function<void(const std::string& command, const std::string& args)>;

    virtual ~MovieRuntime() = default;

    // Passes on what the first frame asked for: call once the handler is set.
    virtual void start() = 0;

    // Frames are 0-based; the root timeline has at least one.
    virtual uint32_t totalFrames() const = 0;
    virtual uint32_t currentFrame() const = 0;
    virtual bool isPlaying() const = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    // Beyond the last frame means the last; keeps playing or stopped as it was.
    virtual void gotoFrame(uint32_t frame) = 0;
    virtual void rewind() = 0;  // the first frame, stopped
    virtual void forward() = 0; // the next frame, stopped
    virtual void back() = 0;    // the previous frame, stopped
    virtual void setLoop(bool loop) = 0;
    virtual bool loop() const = 0;

    // Whether ticks can change anything now: a still movie needs no clock.
    virtual bool needsTicks() const = 0;
    // One tick of the clock at the movie's frame rate.
    virtual void advance() = 0;

    virtual void setQuality(RenderQuality quality) = 0;
    // The stage colour, 0xRRGGBB: the movie's unless overridden.
    virtual void setBackground(uint32_t rgb) = 0;
    virtual uint32_t background() const = 0;

    // Draws the current frame at the stage's size; an empty picture when this
    // runtime does not draw.
    virtual FramePicture render() = 0;

    // The mouse, in stage pixels.
    virtual void mouseMove(double x, double y) = 0;
    virtual void mouseDown() = 0;
    virtual void mouseUp() = 0;
    // Whether the mouse is over a button now (the hand cursor's place).
    virtual bool overButton() const = 0;

    // Called from the calls above whenever the movie's actions ask; the shell
    // queues the requests and fires its events once the call has returned.
    virtual void setFsCommandHandler(FsCommandHandler handler) = 0;
};

// The root timeline of a movie that is not drawn: its frames advance and
// their FSCommand requests run.
class FrameCounterRuntime final : public MovieRuntime {
public:
    explicit FrameCounterRuntime(const swf::Movie& movie);

    void start() override;

    uint32_t totalFrames() const override { return total_; }
    uint32_t currentFrame() const override { return frame_; }
    bool isPlaying() const override { return playing_; }
    void play() override { playing_ = true; }
    void stop() override { playing_ = false; }
    void gotoFrame(uint32_t frame) override;
    void rewind() override;
    void forward() override;
    void back() override;
    void setLoop(bool loop) override { loop_ = loop; }
    bool loop() const override { return loop_; }
    bool needsTicks() const override { return playing_ && total_ > 1; }
    void advance() override;
    void setQuality(RenderQuality) override {}
    void setBackground(uint32_t rgb) override { background_ = rgb; }
    uint32_t background() const override { return background_; }
    FramePicture render() override { return FramePicture(); }
    void mouseMove(double, double) override {}
    void mouseDown() override {}
    void mouseUp() override {}
    bool overButton() const override { return false; }
    void setFsCommandHandler(FsCommandHandler handler) override { handler_ = std::move(handler); }

private:
    void enter(uint32_t frame);

    uint32_t total_;
    uint32_t frame_ = 0;
    bool playing_ = true;
    bool loop_ = true;
    uint32_t background_;
    std::vector<swf::FsCommand> commands_;
    FsCommandHandler handler_;
};
