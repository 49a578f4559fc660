// swfrender MOVIE.swf OUT.png [--frames N] [--quality low|high] [--scale F] [--font FILE] [--bench]
//
// Plays N frames of a movie exactly as the stand-in control does (frame 1 is
// what the first ShowFrame shows) and writes the stage as a PNG, one pixel per
// 20 twips, or F pixels per 20 twips with --scale (1/16 to 16). Text in
// fonts the movie does not carry is drawn with the fallback font shipped for
// tests (Noto Sans), or with the font file --font names. Any failure is one plain line on stderr and exit status 1.
// --bench draws every frame on the way and prints the median and 95th
// percentile milliseconds that a frame took (its tick and its drawing), then
// the first frame's (nothing drawn before it is kept for reuse).
#include "swfcontrol/engine/draw/Renderer.h"
#include "swfcontrol/engine/timeline/MoviePlayer.h"
#include "tools/fallbackfont/FallbackFonts.h"
#include "tools/swfrender/PngFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const int maxStagePixels = 16384;
const long maxFrames = 1000000;
const std::streamoff maxFileBytes = 256 * 1024 * 1024;

int fail(const std::string& message)
{
    std::fprintf(stderr, "swfrender: %s\n", message.c_str());
    return 1;
}

bool readFile(const char* path, std::vector<uint8_t>& out, std::string& reason)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = std::string("cannot open ") + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || size > maxFileBytes) {
        reason = std::string(path) + " is too large to be a movie";
        return false;
    }
    in.seekg(0);
    out.resize(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(out.data()), size)) {
        reason = std::string("cannot read ") + path;
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const char* usage = "usage: swfrender MOVIE.swf OUT.png [--frames N] [--quality low|high] [--scale F] [--font FILE] [--bench]";
    std::vector<const char*> paths;
    long frames = 1;
    swf::Quality quality = swf::Quality::High;
    bool bench = false;
    double scale = 1;
    std::string fontFile;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--bench") == 0) {
            bench = true;
            continue;
        }
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            char* end = nullptr;
            frames = std::strtol(argv[++i], &end, 10);
            if (!end || *end || frames < 1 || frames > maxFrames)
                return fail("--frames takes a number from 1 to 1000000");
        } else if (std::strcmp(argv[i], "--font") == 0 && i + 1 < argc) {
            fontFile = argv[++i];
        } else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            char* end = nullptr;
            scale = std::strtod(argv[++i], &end);
            if (!end || *end || !(scale >= 1.0 / 16 && scale <= 16))
                return fail("--scale takes a number from 0.0625 to 16");
        } else if (std::strcmp(argv[i], "--quality") == 0 && i + 1 < argc) {
            std::string q = argv[++i];
            if (q == "low")
                quality = swf::Quality::Low;
            else if (q == "high")
                quality = swf::Quality::High;
            else
                return fail("--quality takes low or high");
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            return fail(usage);
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (paths.size() != 2)
        return fail(usage);

    std::vector<uint8_t> data;
    std::string reason;
    if (!readFile(paths[0], data, reason))
        return fail(reason);
    // Without the shipped font, device text is left out; a font asked for
    // by name must load.
    swf::FallbackFonts fonts;
    std::string fontReason;
    bool haveFonts = fontFile.empty() ? fonts.loadShipped(fontReason) : fonts.load(fontFile, "", "", "", fontReason);
    if (!haveFonts && !fontFile.empty())
        return fail(fontReason);
    swf::MoviePlayer player;
    if (haveFonts)
        player.setDeviceFonts(&fonts);
    if (!player.load(data.data(), data.size(), reason))
        return fail(reason);
    player.setScale(scale);
    int width = player.frameWidth(), height = player.frameHeight();
    if (width < 1 || height < 1)
        return fail("the movie's stage is empty");
    if (width > maxStagePixels || height > maxStagePixels)
        return fail("the movie's stage is larger than 16384 pixels");
    player.setQuality(quality);
    swf::Renderer renderer;
    if (!renderer.resize(width, height))
        return fail("no memory for a frame of the movie's stage size");
    std::vector<double> times;
    for (long i = 1; i <= frames; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (i > 1)
            player.advance();
        if (bench || i == frames)
            player.render(renderer);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    if (bench) {
        const double first = times.front();
        std::sort(times.begin(), times.end());
        std::printf("%.3f %.3f %.3f\n", times[times.size() / 2],
                    times[std::min(times.size() - 1, times.size() * 95 / 100)], first);
    }
    swf::RgbaImage image = swf::fromPremultiplied(renderer.pixels(), width, height);
    if (!swf::writePng(paths[1], image, reason))
        return fail(reason);
    return 0;
}
