#include "swfcontrol/EngineRuntime.h"

#include <optional>
#include <utility>
#include <vector>

#include "movie/MovieLimits.h"
#include "swfcontrol/engine/draw/Renderer.h"
#include "swfcontrol/engine/timeline/MoviePlayer.h"

namespace {

class EngineRuntime final : public MovieRuntime {
public:
    explicit EngineRuntime(std::unique_ptr<swf::DeviceTextRasterizer> deviceText) : deviceText_(std::move(deviceText))
    {
        player_.setDeviceText(deviceText_.get());
        // Requests of the first frame come during load, before the shell
        // listens, possibly on the loading thread: held until start().
        player_.setFsCommandHandler([this](const std::string& command, const std::string& args) {
            if (handler_)
                handler_(command, args);
            else
                held_.emplace_back(command, args);
        });
    }

    bool load(const uint8_t* data, std::size_t size, std::string& reason)
    {
        swf::PlayerLimits limits;
        limits.maxMovieBytes = maxMovieBytes;
        if (!player_.load(data, size, reason, limits))
            return false;
        swf::Rgba colour = player_.background();
        movieBackground_ = (uint32_t(colour.r) << 16) | (uint32_t(colour.g) << 8) | colour.b;
        background_ = movieBackground_;
        return true;
    }

    void start() override
    {
        std::vector<std::pair<std::string, std::string>> held;
        held.swap(held_);
        for (const auto& request : held) {
            if (handler_)
                handler_(request.first, request.second);
        }
    }

    uint32_t totalFrames() const override { return player_.totalFrames(); }
    uint32_t currentFrame() const override { return player_.currentFrame(); }
    bool isPlaying() const override { return player_.isPlaying(); }
    void play() override { player_.play(); }
    void stop() override { player_.stop(); }
    void gotoFrame(uint32_t frame) override { player_.gotoFrame(frame); }
    void rewind() override { player_.rewind(); }
    void forward() override { player_.forward(); }
    void back() override { player_.back(); }
    void setLoop(bool loop) override { player_.setLoop(loop); }
    bool loop() const override { return player_.loop(); }
    // Sprites and buttons live on while the root timeline stands still.
    bool needsTicks() const override { return true; }
    void advance() override { player_.advance(); }
    void setQuality(RenderQuality quality) override
    {
        player_.setQuality(quality == RenderQuality::Low ? swf::Quality::Low : swf::Quality::High);
    }
    void setBackground(uint32_t rgb) override
    {
        background_ = rgb;
        if (rgb == movieBackground_) {
            player_.setBackgroundOverride(std::nullopt);
        } else {
            swf::Rgba colour;
            colour.r = static_cast<uint8_t>(rgb >> 16);
            colour.g = static_cast<uint8_t>(rgb >> 8);
            colour.b = static_cast<uint8_t>(rgb);
            player_.setBackgroundOverride(colour);
        }
    }
    uint32_t background() const override { return background_; }
    FramePicture render() override
    {
        player_.render(renderer_);
        FramePicture picture;
        if (renderer_.width() > 0 && renderer_.height() > 0 && renderer_.pixels()) {
            picture.pixels = renderer_.pixels();
            picture.width = renderer_.width();
            picture.height = renderer_.height();
        }
        return picture;
    }
    void mouseMove(double x, double y) override { player_.mouseMove(x, y); }
    void mouseDown() override { player_.mouseDown(); }
    void mouseUp() override { player_.mouseUp(); }
    bool overButton() const override { return player_.overButton(); }
    void setFsCommandHandler(FsCommandHandler handler) override { handler_ = std::move(handler); }

private:
    // Declared before the player, which uses it: it goes after the player.
    std::unique_ptr<swf::DeviceTextRasterizer> deviceText_;
    swf::MoviePlayer player_;
    swf::Renderer renderer_;
    uint32_t background_ = 0xffffff;
    uint32_t movieBackground_ = 0xffffff;
    FsCommandHandler handler_;
    std::vector<std::pair<std::string, std::string>> held_;
};

} // namespace

std::unique_ptr<MovieRuntime> loadEngineRuntime(const uint8_t* data, std::size_t size, std::string& reason,
                                                std::unique_ptr<swf::DeviceTextRasterizer> deviceText)
{
    std::unique_ptr<EngineRuntime> runtime(new EngineRuntime(std::move(deviceText)));
    if (!runtime->load(data, size, reason))
        return nullptr;
    return runtime;
}
