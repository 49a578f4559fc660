// Plays a movie: its root timeline and every sprite's, the display lists they
// build, the actions they run and the buttons the mouse drives, and draws the
// result through a Renderer. What swfrender and the stand-in control use;
// both call it from one thread.
//
// The control's IShockwaveFlash members map one to one: Play/StopPlay/
// IsPlaying/Playing -> play/stop/isPlaying; GotoFrame, FrameNum, TGotoFrame
// and TCurrentFrame of "/" -> gotoFrame/currentFrame (0-based, as they are);
// TotalFrames -> totalFrames; Rewind/Forward/Back; Loop -> setLoop/loop;
// Quality/Quality2 -> setQuality (low, or high for anything better);
// BackgroundColor -> background/setBackgroundOverride. Its clock calls advance() every
// 1/frameRate() seconds and render() before each paint.
#pragma once

#include "swfcontrol/engine/draw/Renderer.h"
#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/format/Text.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace swf {

// getURL("FSCommand:<command>", <args>) from the movie's actions.
using FsCommandHandler = std::function<void(const std::string& command, const std::string& args)>;

// Coverage of device text in frame pixels: `width` x `height` bytes, rows
// top to bottom, its pixel (0, 0) at frame pixel (x, y).
struct DeviceCoverage {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint8_t> data;
};

// Draws text in fonts the movie carries no outlines for with the platform's
// own. Without one (swfrender has none) such text is not drawn.
class DeviceTextRasterizer {
public:
    virtual ~DeviceTextRasterizer() = default;
    // False when the text cannot be drawn.
    virtual bool rasterize(const DeviceText& text, DeviceCoverage& out) = 0;
};

struct PlayerLimits {
    std::size_t maxMovieBytes = 128u * 1024u * 1024u; // uncompressed
    std::size_t maxInstances = 50000; // live display objects, all timelines together
    unsigned maxNesting = 64;          // sprites within sprites
    std::size_t maxDrawsPerFrame = 50000;  // shapes and glyphs
    std::size_t maxEdgesPerFrame = 8000000; // edges of the shapes drawn
    std::size_t maxActionsPerTick = 200000; // action records run in one tick
};

class MoviePlayer {
public:
    MoviePlayer();
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    // Loads a movie and shows its first frame (its actions run). On failure
    // returns false with one plain sentence for the user; the player is then
    // empty.
    bool load(const uint8_t* data, std::size_t size, std::string& reason,
              const PlayerLimits& limits = PlayerLimits());
    bool loaded() const;

    // The stage in pixels, truncated (twips / 20), at least 0.
    int stageWidth() const;
    int stageHeight() const;
    double frameRate() const; // frames per second
    unsigned version() const;
    Rgba background() const; // the movie's own
    // The stage colour drawn instead of the movie's; none gives the movie's
    // back. Kept across loads, as the host's other settings are.
    void setBackgroundOverride(std::optional<Rgba> colour);
    uint32_t totalFrames() const; // of the root timeline, at least 1

    // One tick at the frame rate: every playing timeline moves on a frame,
    // then the actions of the frames entered run.
    void advance();
    // Draws the current frame: resizes the renderer to the frame when needed
    // (nothing is drawn for a frame past 16384 pixels a side or 64 M pixels).
    void render(Renderer& renderer);
    // Draws the stage `scale` times its size (1/16 to 16, kept across
    // loads): the frame is the stage's twips times scale / 20, truncated.
    // Filters grow with it, as Flash Player's do when it zooms; the mouse
    // stays in stage pixels.
    void setScale(double scale);
    double scale() const;
    int frameWidth() const;
    int frameHeight() const;

    // The root timeline. Frames are 0-based.
    void play();
    void stop();
    bool isPlaying() const;
    void gotoFrame(uint32_t frame); // keeps playing or stopped as it was
    uint32_t currentFrame() const;
    void rewind();  // frame 0, stopped
    void forward(); // next frame, stopped
    void back();    // previous frame, stopped
    void setLoop(bool loop); // at the last frame: back to the first, or stop
    bool loop() const;
    void setQuality(Quality quality);
    Quality quality() const;

    // The mouse in stage pixels; buttons change state and run their actions.
    void mouseMove(double x, double y);
    void mouseDown();
    void mouseUp();
    // Whether the mouse is over a button's hit area now, as the timeline
    // stands: the host shows the hand cursor there.
    bool overButton() const;

    void setFsCommandHandler(FsCommandHandler handler);
    // Not owned; it must outlive the player or be replaced first.
    void setDeviceText(DeviceTextRasterizer* rasterizer);
    // Outlines to draw device text with, as glyphs are drawn, ahead of the
    // rasterizer above. Not owned, kept across loads; set it before a
    // movie's text is first drawn.
    void setDeviceFonts(const DeviceFonts* fonts);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace swf
