// Reads and writes 8-bit RGBA PNG files through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swf {

// Straight (not premultiplied) RGBA bytes, rows top to bottom.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

// Any PNG colour type and depth is expanded to 8-bit RGBA.
bool readPng(const std::string& path, RgbaImage& out, std::string& reason);
bool writePng(const std::string& path, const RgbaImage& image, std::string& reason);

// The renderer's premultiplied 0xAARRGGBB words as straight RGBA.
RgbaImage fromPremultiplied(const uint32_t* pixels, int width, int height);

} // namespace swf
